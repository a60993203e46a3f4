// SPDX-License-Identifier: MIT
// The score server's client: the sitting's seed, the games sent, kept until the server has them,
// and the server's table in the list.
#include "cabinet/kit/ScoreServer.h"

#include <charconv>
#include <iostream>
#include <sstream>

#include "cabinet/kit/Json.h"
#include "form/KeptFile.h"
#include "form/QuotedRecords.h"

namespace cabinet::kit {

namespace {

constexpr std::string_view UnsentHeader = "cavewing-unsent 1\n";
// A sitting's games in the file: a recording at its largest, a few sittings of them.
constexpr std::size_t UnsentBytes = 4 * replay::Recording::maxBytes;

void warn(const std::string& message) {
  std::cerr << "cavewing: score server: " << message << '\n';
}

// A sitting's ID as the server issues them: a short word of letters and digits, safe in a path.
bool sittingId(std::string_view id) {
  if (id.empty() || id.size() > 64) return false;
  for (const char c : id)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

std::optional<std::uint64_t> seedOf(const json::Value& v) {
  std::uint64_t seed = 0;
  const char* end = v.text.data() + v.text.size();
  const auto [ptr, ec] = std::from_chars(v.text.data(), end, seed);
  if (!v.is(json::Value::Kind::Number) || ec != std::errc() || ptr != end) return std::nullopt;
  return seed;
}

// A whole number, nothing else.
template <typename T>
bool number(std::string_view text, T& value) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

// Why the server refused, in its own words when it gave them.
std::string reasonOf(const Answer& answer) {
  const auto v = json::parse(answer.body);
  const json::Value* error = v ? (*v)["error"] : nullptr;
  const std::string why = error && error->is(json::Value::Kind::String) ? error->text : "";
  return "status " + std::to_string(answer.status) + (why.empty() ? "" : ": " + why);
}

// Refused for good: sending it again would be refused again. No answer, a server busy or out of
// order (5xx), or one that asks to come back later (408, 429) keeps the game for later.
bool refusedForGood(int status) {
  return status >= 400 && status < 500 && status != 408 && status != 429;
}

}  // namespace

namespace {

std::optional<std::vector<TableRow>> rowsOf(const json::Value* v) {
  if (!v || !v->is(json::Value::Kind::Array)) return std::nullopt;
  std::vector<TableRow> rows;
  for (const json::Value& item : v->items) {
    const json::Value* name = item["name"];
    const json::Value* score = item["score"];
    const json::Value* game = item["game"];
    if (!name || !name->is(json::Value::Kind::String) || !score ||
        !score->is(json::Value::Kind::Number))
      return std::nullopt;
    rows.push_back({name->text, score->text,
                    game && game->is(json::Value::Kind::String) ? game->text : std::string()});
  }
  return rows;
}

}  // namespace

std::optional<std::vector<TableRow>> tableRows(std::string_view text) {
  const auto v = json::parse(text);
  return v ? rowsOf(&*v) : std::nullopt;
}

std::string tableText(const std::vector<TableRow>& rows) {
  std::vector<std::string> fields;
  for (const TableRow& row : rows) {
    fields.push_back(row.name);
    fields.push_back(row.score);
  }
  return form::records::format(fields);
}

void ScoreServer::openSitting(const std::string& player,
                              std::function<void(std::optional<std::uint64_t>)> seeded) {
  std::string body = "{\"player\": \"";
  // The name as JSON text: quotes, backslashes and control characters escaped.
  for (const char c : player) {
    if (c == '"' || c == '\\') {
      body += '\\';
      body += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr const char* Hex = "0123456789abcdef";
      body += "\\u00";
      body += Hex[(c >> 4) & 15];
      body += Hex[c & 15];
    } else {
      body += c;
    }
  }
  body += "\"}";
  std::weak_ptr<char> alive = alive_;
  transport_.send("api/sittings", true, body, SittingWaitMs,
                  [this, alive, seeded = std::move(seeded)](const Answer& answer) {
                    if (alive.expired()) return;
                    const auto v = answer.status == 200 ? json::parse(answer.body) : std::nullopt;
                    const json::Value* id = v ? (*v)["sitting"] : nullptr;
                    const json::Value* seed = v ? (*v)["seed"] : nullptr;
                    const auto value = seed ? seedOf(*seed) : std::nullopt;
                    if (id && id->is(json::Value::Kind::String) && sittingId(id->text) && value) {
                      sitting_ = id->text;
                      seeded(value);
                      return;
                    }
                    if (answer.status != 0 && answer.status != 404 && answer.status != 405 &&
                        answer.status != 501)
                      warn("no sitting (" + reasonOf(answer) + "); playing on this table alone");
                    seeded(std::nullopt);
                  });
}

void ScoreServer::attach(Cabinet& cabinet, form::Host& host, std::function<void()> changed) {
  cabinet_ = &cabinet;
  host_ = &host;
  changed_ = std::move(changed);
  const std::string folder = host.UserDataPath();
  unsentPath_ = folder.empty() ? std::string() : folder + "/" + UnsentFile;
  loadUnsent();
  cabinet.onGameListed = [this](const replay::Recording& r, std::int64_t shown) {
    gameListed(r, shown);
  };
  cabinet.onListShown = [this] { listShown(); };
  if (hasSitting()) sendUnsent();
}

void ScoreServer::detach() {
  if (cabinet_) {
    cabinet_->onGameListed = nullptr;
    cabinet_->onListShown = nullptr;
  }
  cabinet_ = nullptr;
  host_ = nullptr;
}

void ScoreServer::gameListed(const replay::Recording& recording, std::int64_t shown) {
  // The list this game brought up shows the table the server answers it with.
  gameJustListed_ = true;
  ++listShown_;
  // A sitting whose seed is not the server's is the player's alone: the server would refuse it.
  if (!hasSitting()) return;
  std::ostringstream text;
  replay::write(text, recording);
  Unsent& game = unsent_[sitting_];
  game.shown = shown;
  game.recording = text.str();
  keepUnsent();
  // The wait for the server's table starts as the game goes (keeping it may take a while on a
  // busy disk). Games an earlier try could not send go along.
  listSince_ = transport_.now();
  sendUnsent();
}

void ScoreServer::listShown() {
  // After a crash, the game's own answer brings the table.
  if (std::exchange(gameJustListed_, false)) return;
  ++listShown_;
  listSince_ = transport_.now();
  if (!hasSitting()) return;
  std::weak_ptr<char> alive = alive_;
  transport_.send("api/table", false, {}, ListWaitMs,
                  [this, alive, asked = listShown_](const Answer& answer) {
                    const auto rows = answer.status == 200 ? tableRows(answer.body) : std::nullopt;
                    if (!alive.expired() && rows) showRows(*rows, asked);
                  });
}

void ScoreServer::showRows(const std::vector<TableRow>& rows, int listAsked) {
  if (!cabinet_ || listAsked != listShown_) return;
  if (transport_.now() - listSince_ > std::chrono::milliseconds(ListWaitMs)) return;
  cabinet_->showTable(tableText(rows));
  if (changed_) changed_();
}

void ScoreServer::sendUnsent() {
  for (const auto& [sitting, game] : unsent_)
    if (!game.sending) send(sitting);
}

void ScoreServer::send(const std::string& sitting) {
  Unsent& game = unsent_.at(sitting);
  if (game.sending) return;
  game.sending = true;
  std::weak_ptr<char> alive = alive_;
  const std::string sent = game.recording;
  transport_.send("api/sittings/" + sitting + "/games?score=" + std::to_string(game.shown), true,
                  sent, SendWaitMs,
                  [this, alive, sitting, sent, asked = listShown_](const Answer& answer) {
                    if (alive.expired()) return;
                    answered(sitting, sent, answer);
                    const auto v = answer.status == 200 ? json::parse(answer.body) : std::nullopt;
                    const auto rows = v ? rowsOf((*v)["table"]) : std::nullopt;
                    if (rows) showRows(*rows, asked);
                  });
}

void ScoreServer::answered(const std::string& sitting, const std::string& sent,
                           const Answer& answer) {
  const auto it = unsent_.find(sitting);
  if (it == unsent_.end()) return;
  Unsent& game = it->second;
  game.sending = false;
  const bool done = answer.status == 200 || refusedForGood(answer.status);
  if (answer.status != 200 && done)
    warn("the server refused a game of sitting " + sitting + " (" + reasonOf(answer) + ")");
  if (done && game.recording == sent) {
    unsent_.erase(it);
    keepUnsent();
    return;
  }
  // A longer recording came meanwhile: it goes now. Else the game waits for the next try.
  if (game.recording != sent) send(sitting);
}

void ScoreServer::bestGame(
    std::function<void(std::optional<std::string> recording, std::string why)> then) {
  std::weak_ptr<char> alive = alive_;
  transport_.send(
      "api/table", false, {}, ListWaitMs,
      [this, alive, then = std::move(then)](const Answer& answer) {
        if (alive.expired()) return;
        const auto rows = answer.status == 200 ? tableRows(answer.body) : std::nullopt;
        if (!rows) return then(std::nullopt, "The score server could not be reached.");
        if (rows->empty() || rows->front().game.empty() || !sittingId(rows->front().game))
          return then(std::nullopt, "The score server's table has no game to play yet.");
        transport_.send("api/games/" + rows->front().game, false, {}, SendWaitMs,
                        [alive, then](const Answer& game) {
                          if (alive.expired()) return;
                          if (game.status == 200) return then(game.body, {});
                          then(std::nullopt, "The score server did not give the best game (" +
                                                 reasonOf(game) + ").");
                        });
      });
}

void ScoreServer::loadUnsent() {
  if (unsentPath_.empty()) return;
  form::KeptFile file(unsentPath_, UnsentBytes);
  if (file.state() != form::KeptFile::State::Read) return;
  std::string_view text = file.text();
  if (text.substr(0, UnsentHeader.size()) != UnsentHeader) return;
  text.remove_prefix(UnsentHeader.size());
  // Each game: "SITTING SHOWN BYTES\n", then its recording's bytes and a line end.
  while (!text.empty()) {
    const auto eol = text.find('\n');
    if (eol == std::string_view::npos) break;
    const std::string_view line = text.substr(0, eol);
    const auto first = line.find(' '), second = line.find(' ', first + 1);
    const std::string sitting(line.substr(0, first));
    std::int64_t shown = -1;
    std::size_t bytes = 0;
    if (first == std::string_view::npos || second == std::string_view::npos ||
        !number(line.substr(first + 1, second - first - 1), shown) ||
        !number(line.substr(second + 1), bytes) || !sittingId(sitting) || shown < 0 ||
        bytes >= text.size() - eol - 1 || text[eol + 1 + bytes] != '\n') {
      warn(unsentPath_ + " is damaged; the games in it after that point are not sent");
      break;
    }
    unsent_[sitting] = Unsent{shown, std::string(text.substr(eol + 1, bytes)), false};
    text.remove_prefix(eol + 1 + bytes + 1);
  }
}

void ScoreServer::keepUnsent() {
  if (unsentPath_.empty() || !host_) return;
  std::string text(UnsentHeader);
  for (const auto& [sitting, game] : unsent_)
    text += sitting + " " + std::to_string(game.shown) + " " +
            std::to_string(game.recording.size()) + "\n" + game.recording + "\n";
  form::KeptFile file(unsentPath_, UnsentBytes);
  std::string error;
  bool kept = file.save(text);
  if (!kept) error = file.error();
  if (kept) kept = host_->Persist(file.target(), error);
  if (!kept) warn("cannot keep the games the server has yet to take: " + error);
}

}  // namespace cabinet::kit
