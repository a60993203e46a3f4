// SPDX-License-Identifier: MIT
// The score server's client: the sitting's seed, the games sent, kept until the server has them,
// and the server's table in the list.
#include "cabinet/kit/ScoreServer.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <sstream>

#include "cabinet/kit/Json.h"
#include "form/KeptFile.h"
#include "form/QuotedRecords.h"

namespace cabinet::kit {

namespace {

constexpr std::string_view UnsentHeader = "cavewing-unsent 1\n";
constexpr std::string_view RefusedHeader = "cavewing-refused 1\n";
constexpr const char* UnsentGames = "the games the score server has yet to take";
// A file of games is read up to a recording at its largest, a few sittings of them; the refused
// games kept hold half as much.
constexpr std::size_t KeptBytes = 4 * replay::Recording::maxBytes;
constexpr std::size_t RefusedBytes = 2 * replay::Recording::maxBytes;
// The seeds the server issues fit a JavaScript number exactly (the page reads them too).
constexpr std::uint64_t SeedsBelow = std::uint64_t{1} << 53;

void warn(const std::string& message) {
  std::cerr << "cavewing: score server: " << message << '\n';
}

std::optional<std::uint64_t> seedOf(const json::Value& v) {
  std::uint64_t seed = 0;
  const char* end = v.text.data() + v.text.size();
  const auto [ptr, ec] = std::from_chars(v.text.data(), end, seed);
  if (!v.is(json::Value::Kind::Number) || ec != std::errc() || ptr != end || seed >= SeedsBelow)
    return std::nullopt;
  return seed;
}

// The server's own reason, in its JSON, or nothing when the answer has none (it came from
// something else on the way: a captive portal, a login proxy, a wrong address).
std::optional<std::string> serversReason(const Answer& answer) {
  const auto v = json::parse(answer.body);
  const json::Value* error = v ? (*v)["error"] : nullptr;
  if (!error || !error->is(json::Value::Kind::String)) return std::nullopt;
  return error->text;
}

// Why the server refused, in its own words when it gave them.
std::string reasonOf(const Answer& answer) {
  const std::string why = serversReason(answer).value_or("");
  return "status " + std::to_string(answer.status) + (why.empty() ? "" : ": " + why);
}

// The reason on a line of its own: no control character breaks it.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return text;
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

enum class Verdict { Taken, Refused, Later };

// What the server's answer to a game says. Only the server's own words count: its table when it
// took the game (or its word that it has the game already), its reason when it refuses it for
// good. No answer, a server busy or out of order (5xx), one that asks to come back later (408,
// 429), or an answer that is not the server's keeps the game for later.
Verdict verdictOf(const Answer& answer) {
  if (answer.status == 200) {
    const auto v = json::parse(answer.body);
    return v && rowsOf((*v)["table"]) ? Verdict::Taken : Verdict::Later;
  }
  if (!serversReason(answer)) return Verdict::Later;
  if (answer.status == 409) return Verdict::Taken;
  const bool forGood =
      answer.status >= 400 && answer.status < 500 && answer.status != 408 && answer.status != 429;
  return forGood ? Verdict::Refused : Verdict::Later;
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
  player_ = player;
  askSitting([this, seeded = std::move(seeded)](std::optional<Issued> issued) {
    if (issued) sitting_ = issued->sitting;
    if (issued && today_) daySeed_ = issued->seed;
    seeded(issued ? std::optional(issued->seed) : std::nullopt);
  });
}

void ScoreServer::askSitting(std::function<void(std::optional<Issued>)> issued) {
  std::string body = "{\"player\": \"";
  // The name as JSON text: quotes, backslashes and control characters escaped.
  for (const char c : player_) {
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
  body += today_ ? "\", \"cave\": \"today\"}" : "\"}";
  std::weak_ptr<char> alive = alive_;
  transport_.send("api/sittings", true, body, SittingWaitMs,
                  [alive, issued = std::move(issued)](const Answer& answer) {
                    if (alive.expired()) return;
                    const auto v = answer.status == 200 ? json::parse(answer.body) : std::nullopt;
                    const json::Value* id = v ? (*v)["sitting"] : nullptr;
                    const json::Value* seed = v ? (*v)["seed"] : nullptr;
                    const auto value = seed ? seedOf(*seed) : std::nullopt;
                    if (id && id->is(json::Value::Kind::String) && sittingId(id->text) && value)
                      return issued(Issued{id->text, *value});
                    warn((answer.status == 0 ? "the server did not answer"
                                             : "no sitting (" + reasonOf(answer) + ")") +
                         "; this sitting ranks on the local table");
                    issued(std::nullopt);
                  });
}

void ScoreServer::attach(Cabinet& cabinet, form::Host& host, std::function<void()> changed) {
  detach();
  cabinet_ = &cabinet;
  host_ = &host;
  changed_ = std::move(changed);
  const std::string folder = host.UserDataPath();
  unsentFile_ =
      folder.empty() ? GamesFile() : GamesFile(folder + "/" + UnsentFile, UnsentHeader, KeptBytes);
  refusedFile_ = folder.empty() ? GamesFile()
                                : GamesFile(folder + "/" + RefusedFile, RefusedHeader, KeptBytes);
  keepUnsent(nullptr, nullptr, UnsentGames);
  cabinet.addObserver(*this);
  if (hasSitting()) sendUnsent();
  if (!today_) return;
  cabinet.everyGameAfresh();
  if (daySeed_) cabinet.seedStartingOver(*daySeed_);
  fetchDaysBest();
}

void ScoreServer::sittingBegan(std::uint64_t seed) {
  if (!today_) return;
  // The server ranks a today sitting's first game only: each game is a sitting of its own.
  sitting_.clear();
  askSitting([this, seed, asked = ++sittingsAsked_](std::optional<Issued> issued) {
    if (!issued || asked != sittingsAsked_) return;
    daySeed_ = issued->seed;
    if (cabinet_) cabinet_->seedStartingOver(issued->seed);
    if (issued->seed != seed) {
      warn(
          "today's cave is another now (a new day): this game ranks on the local table, the "
          "next flies the new cave");
      return;
    }
    sitting_ = issued->sitting;
    sendUnsent();
  });
  fetchDaysBest();
}

void ScoreServer::detach() {
  if (cabinet_) cabinet_->removeObserver(*this);
  cabinet_ = nullptr;
  host_ = nullptr;
}

void ScoreServer::gameListed(const replay::Recording& recording, std::int64_t shown) {
  // The list this game brought up shows the table the server answers it with; a link to share is
  // this game's, once the server has taken it.
  gameJustListed_ = true;
  sharedGame_.clear();
  ++listShown_;
  // A sitting whose seed is not the server's is the player's alone: the server would refuse it.
  if (!hasSitting()) return;
  std::ostringstream text;
  replay::write(text, recording);
  // The sitting's recording so far, with the score shown.
  const KeptGame game{sitting_, shown, text.str(), {}};
  latestListed_ = game;
  keepUnsent(&game, nullptr,
             "the game that scored " + std::to_string(shown) + " for the score server");
  // The wait for the server's table starts as the game goes (keeping it may take a while on a
  // busy disk). Games an earlier try could not send go first.
  listSince_ = transport_.now();
  sendUnsent();
}

void ScoreServer::listShown() {
  // After a crash, the game's own answer brings the table.
  if (std::exchange(gameJustListed_, false)) return;
  ++listShown_;
  listSince_ = transport_.now();
  if (!hasSitting()) return;
  fetchTable([this, asked = listShown_](std::optional<std::vector<TableRow>> rows) {
    if (rows) showRows(*rows, asked);
  });
}

void ScoreServer::showRows(const std::vector<TableRow>& rows, int listAsked) {
  if (!cabinet_ || listAsked != listShown_) return;
  if (transport_.now() - listSince_ > std::chrono::milliseconds(ListWaitMs)) return;
  cabinet_->showTable(tableText(rows));
  if (changed_) changed_();
}

void ScoreServer::sendUnsent() {
  if (!sending_ && !unsent_.empty()) send(unsent_.front().game);
}

void ScoreServer::send(const KeptGame& game) {
  sending_ = true;
  std::weak_ptr<char> alive = alive_;
  transport_.send("api/sittings/" + game.sitting + "/games?score=" + std::to_string(game.shown),
                  true, game.recording, SendWaitMs,
                  [this, alive, game, asked = listShown_](const Answer& answer) {
                    if (alive.expired()) return;
                    const auto v = answer.status == 200 ? json::parse(answer.body) : std::nullopt;
                    const auto rows = v ? rowsOf((*v)["table"]) : std::nullopt;
                    if (rows) showRows(*rows, asked);
                    share(game, answer);
                    answered(game, answer);
                  });
}

void ScoreServer::answered(const KeptGame& game, const Answer& answer) {
  sending_ = false;
  const Verdict verdict = verdictOf(answer);
  if (verdict == Verdict::Later) {
    if (answer.status != 0 && !serversReason(answer))
      warn("the answer to a game of sitting " + game.sitting + " (status " +
           std::to_string(answer.status) +
           ") is not the score server's: the game is kept for later");
    return;  // the next try sends it again, and the games after it
  }
  if (verdict == Verdict::Refused) {
    warn("the server refused a game of sitting " + game.sitting + " (" + reasonOf(answer) + ")");
    keepRefused(KeptGame{game.sitting, game.shown, game.recording, oneLine(reasonOf(answer))});
  }
  // A longer recording of the sitting that came meanwhile stays, and goes in its turn.
  keepUnsent(nullptr, &game, UnsentGames);
  sendUnsent();
}

void ScoreServer::fetchTable(std::function<void(std::optional<std::vector<TableRow>>)> then) {
  std::weak_ptr<char> alive = alive_;
  transport_.send(tablePath(), false, {}, ListWaitMs,
                  [alive, then = std::move(then)](const Answer& answer) {
                    if (!alive.expired())
                      then(answer.status == 200 ? tableRows(answer.body) : std::nullopt);
                  });
}

void ScoreServer::bestGame(GameFetched then) {
  fetchTable([this, then = std::move(then)](std::optional<std::vector<TableRow>> rows) {
    if (!rows) return then(std::nullopt, "The score server could not be reached.");
    if (rows->empty() || !sittingId(rows->front().game))
      return then(std::nullopt, "The score server's table has no game to play yet.");
    game(rows->front().game, then);
  });
}

std::string DaysBest::note() const {
  return "Today's best: " + (name.empty() ? std::string("none yet") : name + " " + score);
}

void ScoreServer::onDaysBest(std::function<void(const DaysBest&)> fetched) {
  daysBestFetched_ = std::move(fetched);
  if (daysBest_ && daysBestFetched_) daysBestFetched_(*daysBest_);
}

// Offline nothing is known of the day's best: no note, no ghost.
void ScoreServer::fetchDaysBest() {
  fetchTable([this](std::optional<std::vector<TableRow>> rows) {
    if (!rows) return;
    const TableRow best = rows->empty() ? TableRow{} : rows->front();
    if (daysBest_ && best == daysBestRow_) return;
    daysBestRow_ = best;
    const auto tell = [this, best](std::string recording) {
      daysBest_ = DaysBest{best.name, best.score, std::move(recording)};
      if (daysBestFetched_) daysBestFetched_(*daysBest_);
    };
    if (!sittingId(best.game)) return tell({});
    game(best.game, [tell](std::optional<std::string> recording, const std::string& why) {
      if (!recording) warn(why);
      tell(recording.value_or(""));
    });
  });
}

void ScoreServer::game(const std::string& id, GameFetched then) {
  if (!sittingId(id)) return then(std::nullopt, "This link names no game.");
  std::weak_ptr<char> alive = alive_;
  transport_.send("api/games/" + id, false, {}, SendWaitMs,
                  [alive, then = std::move(then)](const Answer& answer) {
                    if (alive.expired()) return;
                    if (answer.status == 200) return then(answer.body, {});
                    if (answer.status == 0)
                      return then(std::nullopt, "The score server could not be reached.");
                    if (answer.status == 404)
                      return then(std::nullopt, "The score server has no such game.");
                    then(std::nullopt,
                         "The score server did not give the game (" + reasonOf(answer) + ").");
                  });
}

void ScoreServer::share(const KeptGame& game, const Answer& answer) {
  if (answer.status != 200 || !(game == latestListed_)) return;
  const auto v = json::parse(answer.body);
  const json::Value* id = v ? (*v)["game"] : nullptr;
  if (id && id->is(json::Value::Kind::String) && sittingId(id->text)) sharedGame_ = id->text;
}

void ScoreServer::keepUnsent(const KeptGame* played, const KeptGame* answered,
                             const std::string& what) {
  if (!host_) return;
  std::vector<KeptGame> mine;
  for (const Unsent& u : unsent_) mine.push_back(u.game);
  const auto contains = [](const std::vector<KeptGame>& games, const KeptGame& game) {
    return std::find(games.begin(), games.end(), game) != games.end();
  };
  // A game goes last, in place of its sitting's earlier recording: the games go in the order
  // played.
  const auto putLast = [](std::vector<KeptGame>& games, const KeptGame& game) {
    std::erase_if(games, [&](const KeptGame& g) { return g.sitting == game.sitting; });
    games.push_back(game);
  };
  // What this copy could not keep yet is its own to put back; what it kept and is gone from the
  // file now was taken by another copy, which got the server's answer for it.
  const auto merged = [&](std::vector<KeptGame>& games) {
    bool changed = false;
    for (const Unsent& u : unsent_)
      if (!u.kept && !contains(games, u.game)) {
        putLast(games, u.game);
        changed = true;
      }
    if (played) putLast(games, *played);
    if (answered) changed |= std::erase(games, *answered) > 0;
    return changed || played;
  };
  GamesFile::Outcome outcome = unsentFile_.update(*host_, mine, merged);
  if (!outcome.notice.empty()) warn(outcome.notice);
  if (!outcome.error.empty()) warn("cannot keep " + what + ": " + outcome.error);
  std::vector<Unsent> now;
  for (KeptGame& game : outcome.games) {
    const bool kept = outcome.kept || (outcome.read && contains(*outcome.read, game));
    now.push_back({std::move(game), kept});
  }
  unsent_ = std::move(now);
}

// The refused game stays where the player can find it, with the server's reason: the latest few.
void ScoreServer::keepRefused(KeptGame game) {
  if (!host_) return;
  const GamesFile::Outcome outcome =
      refusedFile_.update(*host_, {}, [&](std::vector<KeptGame>& games) {
        games.push_back(std::move(game));
        std::size_t bytes = 0;
        for (const KeptGame& g : games) bytes += g.recording.size();
        while (games.size() > RefusedGames || (games.size() > 1 && bytes > RefusedBytes)) {
          bytes -= games.front().recording.size();
          games.erase(games.begin());
        }
        return true;
      });
  if (!outcome.notice.empty()) warn(outcome.notice);
  if (!outcome.error.empty()) warn("cannot keep the refused game: " + outcome.error);
}

}  // namespace cabinet::kit
