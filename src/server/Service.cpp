// SPDX-License-Identifier: MIT
// The score service without HTTP: sittings, submissions, the table and its games.
#include "server/Service.h"

#include <sys/random.h>

#include <algorithm>
#include <limits>
#include <map>
#include <sstream>

#include "app/frmCavewing.h"
#include "form/Utf8Text.h"
#include "replay/Recording.h"
#include "server/Json.h"
#include "server/Ranking.h"

namespace server {

namespace {

Answer refuse(int status, std::string_view why) {
  return {status, json::error(why), "application/json", std::string(why)};
}

// A recording as the server keeps it: without the comment lines the reader passes over.
std::string withoutComments(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size() - 1) + 1;
    if (text[at] != '#') kept.append(text.substr(at, end - at));
    at = end;
  }
  return kept;
}

// What a refusal keeps of what was sent: text, without comments, within its bound.
std::string refusedBody(std::string_view body) {
  return form::utf8::wellFormed(form::utf8::cut(withoutComments(body), refusedBodyBytes));
}

// The recording `kept` as it stood when it held `events` events and ended at `endGrid`.
std::string cutRecording(const std::string& kept, std::size_t events, std::int64_t endGrid) {
  replay::ReadResult read = replay::read(kept);
  if (!read.recording) return kept;
  read.recording->events.resize(std::min(events, read.recording->events.size()));
  read.recording->endGrid = endGrid;
  std::ostringstream out;
  replay::write(out, *read.recording);
  return out.str();
}

std::uint64_t randomBits() {
  std::uint64_t value = 0;
  for (std::size_t got = 0; got < sizeof value;) {
    const ssize_t n = ::getrandom(reinterpret_cast<char*>(&value) + got, sizeof value - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
  return value;
}

// 128 random bits: a sitting's ID is all a client needs to send games in its name.
std::string newId() {
  constexpr const char* Hex = "0123456789abcdef";
  std::string id;
  for (int half = 0; half < 2; ++half)
    for (std::uint64_t bits = randomBits(), i = 0; i < 16; ++i, bits >>= 4) id += Hex[bits & 15];
  return id;
}

// A shown score as a client sends it: digits only, as the label shows a score.
bool shownScore(const std::string& text, std::int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  value = std::stoll(text);
  return true;
}

json::Json tableJson(const Scoreboard& board) {
  const auto rows = rowsOf(board.text);
  json::Json out = json::Json::array();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].name.empty() && rows[i].score.empty()) continue;
    const std::string game = i < board.games.size() ? board.games[i] : std::string();
    out.push_back({{"name", rows[i].name},
                   {"score", frmCavewing::ScoreValue(rows[i].score)},
                   {"game", game.empty() ? json::Json() : json::Json(game)}});
  }
  return out;
}

// The table after a game that ended in a crash, with the game behind each row: a row keeps its
// game as its name keeps it (the table holds one row per name), the ranked player's new row has
// the new game.
Scoreboard rankOnBoard(const Scoreboard& board, const std::string& player, const NewGame& game,
                       int& rank) {
  const auto before = rowsOf(board.text);
  std::map<std::string, std::string> gameOfName;
  for (std::size_t i = 0; i < before.size() && i < board.games.size(); ++i)
    gameOfName[before[i].name] = board.games[i];
  const Ranked ranked = rankGame(board.text, player, game.shown);
  rank = ranked.rank;
  Scoreboard after{ranked.table, {}};
  const auto rows = rowsOf(after.text);
  for (std::size_t i = 0; i < rows.size(); ++i)
    after.games.push_back(static_cast<int>(i) + 1 == ranked.rank ? game.id
                                                                 : gameOfName[rows[i].name]);
  return after;
}

// What tells a today sitting's answers from a classic one's: the cave and its day.
void addToday(json::Json& answer, const std::string& day) {
  if (day.empty()) return;
  answer["cave"] = "today";
  answer["day"] = day;
}

// The whole number at the start of `text`, of at most 12 digits; -1 when there is none.
std::int64_t leadingNumber(std::string_view text) {
  std::int64_t value = 0;
  std::size_t digits = 0;
  for (; digits < text.size() && digits < 12 && text[digits] >= '0' && text[digits] <= '9';
       ++digits)
    value = value * 10 + (text[digits] - '0');
  return digits == 0 ? -1 : value;
}

}  // namespace

Scoreboard rankedAgain(const std::vector<StoredGame>& games) {
  Scoreboard board;
  int rank = 0;
  for (const StoredGame& game : games)
    board = rankOnBoard(board, game.player, {game.id, game.shown, game.score}, rank);
  return board;
}

std::int64_t claimedGameUs(std::string_view text) {
  const auto tickAt = text.substr(0, 4096).find("\nsystem-tick-us ");
  if (tickAt == text.npos) return 0;
  const std::int64_t tick = leadingNumber(text.substr(tickAt + 16));
  const auto lastLine = text.find_last_not_of("\r\n");
  if (lastLine == text.npos) return 0;
  const auto lineStart = text.rfind('\n', lastLine);
  const std::string_view last = text.substr(lineStart == text.npos ? 0 : lineStart + 1);
  if (last.substr(0, 4) != "end ") return 0;
  const std::int64_t grid = leadingNumber(last.substr(4));
  if (tick <= 0 || grid <= 0) return 0;
  return grid > std::numeric_limits<std::int64_t>::max() / tick
             ? std::numeric_limits<std::int64_t>::max()
             : tick * grid;
}

Answer Service::newSitting(std::string_view body, const std::string& address) {
  Answer answer = issue(body);
  if (answer.status / 100 == 4) store_.keepApart({{}, address, answer.refusal, refusedBody(body)});
  return answer;
}

Answer Service::submit(const std::string& sitting, const std::string& shown, std::string_view body,
                       const std::string& address) {
  Answer answer = judge(sitting, shown, body);
  if (answer.status / 100 == 4)
    store_.keepApart({sitting, address, answer.refusal, refusedBody(body)});
  return answer;
}

Answer Service::issue(std::string_view body) {
  // The reader takes text only: a name that is not UTF-8 is told apart from a malformed request.
  if (!form::utf8::valid(body)) return refuse(400, "the player's name is not valid UTF-8");
  const auto fields = json::stringObject(body);
  if (!fields || !fields->contains("player")) return refuse(400, "expected {\"player\": \"NAME\"}");
  const std::string player = playerName(fields->at("player"));
  if (player.empty()) return refuse(400, "the player needs a name");
  const bool today = fields->contains("cave");
  if (today && fields->at("cave") != "today")
    return refuse(400, "the only cave asked for is \"today\"");
  SittingRow sitting;
  sitting.id = newId();
  sitting.player = player;
  // Today's seed is drawn at random on the day's first sitting and kept: nobody knows it before
  // the day, and every server on the database gives the one kept.
  if (today) sitting.day = dayOf(store_.clockUs());
  sitting.seed = today ? store_.daySeed(sitting.day, randomBits() >> 11) : randomBits() >> 11;
  store_.addSitting(sitting);
  json::Json answer = {{"sitting", sitting.id}, {"seed", sitting.seed}};
  addToday(answer, sitting.day);
  return {200, json::text(answer)};
}

Answer Service::judge(const std::string& id, const std::string& shownText, std::string_view body) {
  std::int64_t shown = 0;
  if (!shownScore(shownText, shown))
    return refuse(400, "expected the score the player was shown: ?score=S");
  // What is kept is text: a recording's names and everything else in it.
  if (!form::utf8::valid(body)) return refuse(400, "the recording is not UTF-8 text");
  const auto sitting = store_.sitting(id);
  if (!sitting) return refuse(404, "no such sitting");
  const Expected expected{sitting->seed,
                          sitting->player,
                          sitting->readUs - sitting->issuedUs,
                          sitting->readUs - sitting->lastUs,
                          settings_.slackUs,
                          sitting->recording};
  const bool costly =
      body.size() > settings_.largeBytes || claimedGameUs(body) > settings_.largeGameUs;
  const Verdict verdict = (costly ? large_ : verifiers_).verify(body, expected);
  if (verdict.status != 200) return refuse(verdict.status, verdict.error);
  const auto ranked = static_cast<std::size_t>(sitting->gamesRanked);
  if (verdict.games.empty()) return refuse(422, "the recording holds no finished game");
  if (verdict.games.size() <= ranked) return refuse(409, "the game is already ranked");
  if (frmCavewing::ScoreValue(verdict.games.back()) != shown) {
    return refuse(422,
                  "the shown score " + shownText + " is not the replay's, " + verdict.games.back());
  }
  std::vector<NewGame> games;
  for (std::size_t i = ranked; i < verdict.games.size(); ++i)
    games.push_back({newId(), verdict.games[i], frmCavewing::ScoreValue(verdict.games[i])});
  // A day's table ranks the cave flown from its start: a today sitting's first game only. Its
  // later games are kept and served like any other, on no table.
  const bool today = !sitting->day.empty();
  const std::size_t ranking = !today ? games.size() : ranked == 0 ? 1 : 0;
  int rank = 0;
  Scoreboard after;
  const KeptRecording kept{withoutComments(body), verdict.events, verdict.endGrid};
  const bool done = store_.rank(*sitting, kept, games, [&](const Scoreboard& board) {
    after = board;
    for (std::size_t i = 0; i < ranking; ++i)
      after = rankOnBoard(after, sitting->player, games[i], rank);
    return after;
  });
  if (!done) return refuse(409, "the game is already ranked");
  const bool lastRanked = ranking == games.size();
  if (!lastRanked) rank = 0;
  json::Json answer = {{"score", shown},
                       {"rank", rank ? json::Json(rank) : json::Json()},
                       {"game", games.back().id}};
  addToday(answer, sitting->day);
  if (today) answer["ranked"] = lastRanked;
  answer["table"] = tableJson(after);
  return {200, json::text(answer)};
}

Answer Service::table(const std::string& cave, bool fileForm) {
  const auto day = cave.empty()      ? std::optional<std::string>("")
                   : cave == "today" ? dayOf(store_.clockUs())
                                     : dayNamed(cave);
  if (!day) return refuse(400, "expected ?cave=today or ?cave=YYYY-MM-DD");
  const Scoreboard board = store_.scoreboard(*day);
  if (fileForm) return {200, board.text, "text/plain; charset=utf-8"};
  return {200, json::text(tableJson(board))};
}

Answer Service::game(const std::string& id) {
  const auto recording = store_.gameRecording(id);
  if (!recording) return refuse(404, "no such game");
  return {200,
          recording->events ? cutRecording(recording->text, *recording->events, recording->endGrid)
                            : recording->text,
          "text/plain; charset=utf-8"};
}

}  // namespace server
