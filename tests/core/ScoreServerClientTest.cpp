// SPDX-License-Identifier: MIT
// The score server's client, as both front ends use it, against a server that answers when the
// test says: the sitting plays from the server's seed, each game the list ranks is sent with the
// score shown, the list takes the server's table, and what the server did not take is kept in the
// player's data folder and sent by the next sitting, until the server has it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

#include "ScoresFixture.h"
#include "cabinet/Cabinet.h"
#include "cabinet/Headless.h"
#include "cabinet/kit/Json.h"
#include "cabinet/kit/Kit.h"
#include "cabinet/kit/ScoreServer.h"

namespace {

using cabinet::kit::Answer;
using replay::Event;
using Kind = replay::Event::Kind;

constexpr std::uint64_t ServerSeed = 9'007'199'254'740'991;  // 2^53 - 1: exact in JavaScript

// A server whose time stands still until the test moves it on; an answer later than the request's
// wait comes as none, as a real transport's would.
struct FakeServer : cabinet::kit::Transport {
  using Clock = std::chrono::steady_clock;
  struct Request {
    std::string path, body;
    bool post = false;
    std::function<void(const Answer&)> answered;
    Clock::time_point deadline;
  };
  std::vector<Request> requests;
  Clock::time_point time;
  void send(const std::string& path, bool post, const std::string& body, int timeoutMs,
            std::function<void(const Answer&)> answered) override {
    requests.push_back(
        {path, body, post, std::move(answered), time + std::chrono::milliseconds(timeoutMs)});
  }
  Clock::time_point now() const override { return time; }
  // Answers the last request.
  void answer(int status, const std::string& body = {}) {
    ASSERT_FALSE(requests.empty());
    Request request = std::move(requests.back());
    requests.pop_back();
    request.answered(time > request.deadline ? Answer{} : Answer{status, body});
  }
  // Answers the first request to `path`.
  void answerTo(const std::string& path, int status, const std::string& body) {
    const auto it = std::find_if(requests.begin(), requests.end(),
                                 [&](const Request& r) { return r.path == path; });
    ASSERT_NE(it, requests.end()) << path;
    Request request = std::move(*it);
    requests.erase(it);
    request.answered(Answer{status, body});
  }
};

// A player's sitting with the server's client, in the data folder `folder`.
struct ServedSitting {
  FakeHost host;
  FakeServer server;
  cabinet::kit::ScoreServer client{server};
  std::optional<cabinet::Cabinet> cabinet;
  std::optional<std::uint64_t> seed;

  // The server answers `late` after it was asked; `today`: the sitting asks for today's cave.
  ServedSitting(const std::filesystem::path& folder, const std::string& sitting, int status,
                std::chrono::milliseconds late = {}, bool today = false) {
    host.userDataPath = folder.string();
    host.appPath = folder.string();
    host.environment["USERNAME"] = "ann";
    client.flyTodaysCave(today);
    client.openSitting("ANN", [this](std::optional<std::uint64_t> s) { seed = s; });
    EXPECT_EQ(server.requests.at(0).path, "api/sittings");
    EXPECT_EQ(server.requests.at(0).body,
              today ? R"({"player": "ANN", "cave": "today"})" : R"({"player": "ANN"})");
    server.time += late;
    server.answer(status, R"({"sitting": ")" + sitting + R"(", "seed": 9007199254740991})");
    cabinet.emplace(host, cabinet::Sitting{.seed = seed,
                                           .wide = false,
                                           .scoresFile = (folder / "Cavewing.txt").string(),
                                           .recordFile = {},
                                           .demo = false});
    client.attach(*cabinet, host, [] {});
    cabinet->load();
  }
  ~ServedSitting() { client.detach(); }
  // START, into the floor, and the list.
  void crash() {
    cabinet->input(Event{.kind = Kind::Start});
    while (!cabinet->form().lblTitle.Visible && cabinet->clock().now() < 600'000'000)
      cabinet->advanceTo(cabinet->clock().now() + cabinet->clock().systemTick());
    ASSERT_TRUE(cabinet->form().lblTitle.Visible);
  }
  std::string shown() const { return cabinet->form().lblScore.Caption; }
};

std::string unsent(const std::filesystem::path& folder) {
  return fileText(folder / cabinet::kit::ScoreServer::UnsentFile);
}

// The server's answer to a game it took, with its table.
const std::string Taken = R"({"score": 1, "rank": null, "game": "g", "table": []})";

// The cave as it stands: every block of the ceiling and the floor, and the obstacle.
std::vector<float> caveOf(const frmCavewing& form) {
  std::vector<float> cave;
  for (const form::Shape& block : form.shptunnel)
    cave.insert(cave.end(), {block.Left, block.Top, block.Height});
  cave.insert(cave.end(), {form.shpTunnelM.Left, form.shpTunnelM.Top, form.shpTunnelM.Height});
  return cave;
}

// A game's flight: the cave at every grid point, and the random values drawn (a game that falls
// at once flies only the cave's first columns, which come out the same from any seed).
struct Flight : cabinet::Cabinet::Observer {
  std::vector<std::vector<float>> caves;
  std::vector<float> draws;
  void drawn(float value) override { draws.push_back(value); }
  bool operator==(const Flight& other) const {
    return caves == other.caves && draws == other.draws;
  }
};

// START through `input`, and into the floor.
Flight flyIntoTheFloor(cabinet::Cabinet& cabinet, const std::function<void(const Event&)>& input,
                       const std::function<void()>& eachGridPoint = {}) {
  Flight flight;
  cabinet.addObserver(flight);
  input(Event{.kind = Kind::Start});
  while (!cabinet.form().lblTitle.Visible && cabinet.clock().now() < 600'000'000) {
    cabinet.advanceTo(cabinet.clock().now() + cabinet.clock().systemTick());
    flight.caves.push_back(caveOf(cabinet.form()));
    if (eachGridPoint) eachGridPoint();
  }
  cabinet.removeObserver(flight);
  EXPECT_FALSE(flight.draws.empty());
  return flight;
}

// The player's press after the crash, which the rules take for a new game.
void pressAfterTheCrash(const std::function<void(const Event&)>& input) {
  input(Event{.kind = Kind::Down, .button = 1, .x = 3000, .y = 5000});
  input(Event{.kind = Kind::Up, .button = 1, .x = 3000, .y = 5000});
}

struct NoScreen : cabinet::kit::Kit::Screen {
  void changed() override {}
  void timeStands(bool) override {}
};

// Where `what` first stands in `text` (npos: nowhere).
std::size_t at(const std::string& text, const std::string& what) { return text.find(what); }

}  // namespace

TEST(ScoreServerClient, PlaysTheServersSeedSendsEachListedGameAndListsTheServersTable) {
  TempFolder temp;
  // An ID that is no short word of letters and digits, safe in a path, is no sitting.
  EXPECT_TRUE(ServedSitting(temp.path, std::string(64, 'a'), 200).seed);
  for (const std::string& id : {std::string(65, 'a'), std::string("a/b"), std::string("a b")})
    EXPECT_FALSE(ServedSitting(temp.path, id, 200).seed) << id;
  ServedSitting s(temp.path, "abc123", 200);
  ASSERT_EQ(s.seed, ServerSeed);
  // The list shown from the menu, before any game, asks the server for its table.
  s.cabinet->input(Event{.kind = Kind::Menu, .name = "mnuScores"});
  ASSERT_EQ(s.server.requests.size(), 1u);
  EXPECT_EQ(s.server.requests[0].path, "api/table");
  s.server.answer(200, R"([{"name": "DAN", "score": 7, "game": "g0"}])");
  EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "DAN");
  s.cabinet->input(Event{.kind = Kind::Label, .code = 0, .name = "lblTitle"});
  s.crash();
  // The game goes as the sitting's recording so far, with the score shown, and is kept until the
  // server has it.
  ASSERT_EQ(s.server.requests.size(), 1u);
  const FakeServer::Request& sent = s.server.requests[0];
  EXPECT_TRUE(sent.post);
  EXPECT_EQ(sent.path, "api/sittings/abc123/games?score=" + s.shown());
  const std::string recording = sent.body;
  EXPECT_NE(unsent(temp.path).find("abc123 " + s.shown()), std::string::npos);
  EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "ANN") << "the local table first";

  // The server's answer: its table in the list, blank rows where it has none; nothing kept, and
  // nothing said.
  testing::internal::CaptureStderr();
  s.server.answer(200, R"({"score": )" + s.shown() + R"(, "rank": 2, "game": "g2", "table": [
      {"name": "<b>BOB</b>", "score": 900, "game": "g1"},
      {"name": "ANN", "score": )" +
                           s.shown() + R"(, "game": "g2"}]})");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "<b>BOB</b>");
  EXPECT_EQ(s.cabinet->form().lblScores[1].Caption, "900");
  EXPECT_EQ(s.cabinet->form().lblName[2].Caption, "ANN");
  EXPECT_EQ(s.cabinet->form().lblName[3].Caption, "");
  EXPECT_EQ(unsent(temp.path).find("abc123"), std::string::npos);
  std::istringstream body(recording);
  const replay::ReadResult read = replay::read(body);
  ASSERT_TRUE(read.recording) << read.error;
  // The server's seed flows in as any seed does: the recording replays to the score shown.
  EXPECT_EQ(read.recording->seed, ServerSeed);
  EXPECT_EQ(read.recording->player, "ANN");
  EXPECT_EQ(cabinet::replayHeadless(*read.recording).score, s.cabinet->form().score);
  // The local table keeps its own rows.
  EXPECT_EQ(fileText(temp.path / "Cavewing.txt").rfind("\"ANN\"\r\n", 0), 0u);

  // The list shown from the menu asks the server for its table.
  s.cabinet->input(Event{.kind = Kind::Label, .code = 0, .name = "lblTitle"});
  s.cabinet->input(Event{.kind = Kind::Menu, .name = "mnuScores"});
  ASSERT_EQ(s.server.requests.size(), 1u);
  EXPECT_EQ(s.server.requests[0].path, "api/table");
  EXPECT_FALSE(s.server.requests[0].post);
  // A row may come without its game (the server has none to replay).
  s.server.answer(200,
                  R"([{"name": "CAROL", "score": 5, "game": "g3"}, {"name": "EVE", "score": 4}])");
  EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "CAROL");
  EXPECT_EQ(s.cabinet->form().lblName[2].Caption, "EVE");
}

TEST(ScoreServerClient, KeepsWhatTheServerDidNotTakeUntilALaterSittingSendsIt) {
  TempFolder temp;
  std::string shown, recording;
  {
    ServedSitting s(temp.path, "first", 200);
    s.crash();
    shown = s.shown();
    recording = s.server.requests.at(0).body;
    s.server.answer(0);  // the server went away
    EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "ANN") << "the local table stays";
    EXPECT_NE(unsent(temp.path).find("first " + shown), std::string::npos);
  }
  // The next sittings, with the server back: the kept game goes first, as it was. A server busy,
  // out of order or asking to come back later has not taken it: it is kept for later.
  for (const int status : {503, 500, 408, 429}) {
    ServedSitting s(temp.path, "second", 200);
    ASSERT_EQ(s.server.requests.size(), 1u);
    EXPECT_EQ(s.server.requests[0].path, "api/sittings/first/games?score=" + shown);
    EXPECT_EQ(s.server.requests[0].body, recording);
    s.server.answer(status, R"({"error": "busy"})");
    EXPECT_NE(unsent(temp.path).find("first " + shown), std::string::npos) << status;
  }
  {
    // A game the server refuses would be refused again: it is not sent any more.
    ServedSitting s(temp.path, "third", 200);
    ASSERT_EQ(s.server.requests.size(), 1u);
    testing::internal::CaptureStderr();
    s.server.answer(400, R"({"error": "not a recording"})");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("refused a game of sitting first"),
              std::string::npos);
    EXPECT_EQ(unsent(temp.path).find("first"), std::string::npos);
  }
  {
    // No server at all: the sitting plays from a seed of its own, and nothing of it is sent.
    ServedSitting s(temp.path, "", 0);
    EXPECT_FALSE(s.seed);
    s.crash();
    EXPECT_TRUE(s.server.requests.empty());
    EXPECT_EQ(unsent(temp.path).find(" " + s.shown() + " "), std::string::npos);
  }
  {
    // The sitting closes (the page opens a recording in its place) before the server answers:
    // the answer reaches nothing of it.
    ServedSitting s(temp.path, "fifth", 200);
    s.crash();
    s.client.detach();
    const int persisted = s.host.persisted;
    s.server.answer(200, "{}");
    EXPECT_EQ(s.host.persisted, persisted);
  }
  {
    // A front end that cannot keep the games the server has yet to take says so.
    ServedSitting s(temp.path, "sixth", 200);
    s.host.keepsFiles = false;
    testing::internal::CaptureStderr();
    s.crash();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot keep the game that scored " +
                                                          s.shown()),
              std::string::npos);
  }
}

// Keeps out: a damaged file of games kept for the server read past its end, or dropped without a
// word. The games before the damage are sent; the rest is said to be lost.
TEST(ScoreServerClient, SendsTheKeptGamesBeforeADamageAndSaysTheRestIsLost) {
  const std::string kept = "cavewing-unsent 1\naaa 120 5\nHELLO\n";
  for (const std::string damaged : {"bbb 130 7\nshort\n",  // more bytes than the file holds
                                    "bbb 130 4\nshort\n",  // no line end after its bytes
                                    "b/b 130 5\nshort\n",  // a sitting that is no word
                                    "bbb -1 5\nshort\n", "bbb 130\nshort\n"}) {
    TempFolder temp;
    writeText(temp.path / cabinet::kit::ScoreServer::UnsentFile, kept + damaged);
    testing::internal::CaptureStderr();
    ServedSitting s(temp.path, "now", 200);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("is damaged"), std::string::npos)
        << damaged;
    ASSERT_EQ(s.server.requests.size(), 1u) << damaged;
    EXPECT_EQ(s.server.requests[0].path, "api/sittings/aaa/games?score=120");
    EXPECT_EQ(s.server.requests[0].body, "HELLO");
    // The whole of it stays beside, for whoever can make more of it.
    EXPECT_EQ(fileText(temp.path / "unsent-games.set-aside"), kept + damaged);
  }
}

// The waits the player sees, to the millisecond: a new sitting plays from the server's seed if it
// comes within 3 seconds; the list shows the server's table if it comes within 3 seconds of the
// list; a game sent waits a minute for the server to take it, and is kept for later after that.
TEST(ScoreServerClient, WaitsForTheServerJustSoLong) {
  using std::chrono::milliseconds;
  TempFolder temp;
  EXPECT_FALSE(ServedSitting(temp.path, "late", 200, milliseconds(3001)).seed);
  ServedSitting s(temp.path, "intime", 200, milliseconds(3000));
  ASSERT_EQ(s.seed, ServerSeed);
  s.cabinet->input(Event{.kind = Kind::Menu, .name = "mnuScores"});
  s.server.time += milliseconds(3000);
  s.server.answer(200, R"([{"name": "DAN", "score": 7, "game": "g0"}])");
  EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "DAN");
  const auto table = [](const std::string& name) {
    return R"({"table": [{"name": ")" + name + R"(", "score": 900, "game": "g1"}]})";
  };
  for (const int late : {3001, 60001}) {
    s.cabinet->input(Event{.kind = Kind::Label, .code = 0, .name = "lblTitle"});
    s.crash();
    s.server.time += milliseconds(late);
    s.server.answer(200, table("BOB"));
    EXPECT_EQ(s.cabinet->form().lblName[1].Caption, "ANN") << late << " ms: the local table stays";
    EXPECT_EQ(unsent(temp.path).find("intime " + s.shown()) != std::string::npos, late > 60000)
        << late << " ms: taken by the server, or kept for later";
  }
}

// A name comes back as any JSON writer may write it, escaped (hex digits in either case) or not,
// every character the one sent; what no JSON writer sends (a raw control character, half a
// surrogate pair) is refused.
TEST(ScoreServerClient, ReadsTheServersTextsEscapedOrNot) {
  using cabinet::kit::json::parse;
  const std::string sent =
      "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\xA9\xC3\xBF\xC2\xAF "
      "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF /\"\\\t";
  // Each end of each range of hex digits (0 9 a f A F), and of each half of a surrogate pair.
  const auto v = parse(
      R"({"escaped": "Zo\u00EB \u20ac \ud83d\ude00 \u00e9\u00ff\u00AF \ud800\udc00\udbff\udfff \/\"\\\t", "raw": ")" +
      std::string("Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80 \xC3\xA9\xC3\xBF\xC2\xAF "
                  "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF /\\\"\\\\\\t") +
      "\"}");
  ASSERT_TRUE(v);
  EXPECT_EQ((*v)["escaped"]->text, sent);
  EXPECT_EQ((*v)["raw"]->text, sent);
  for (const char* refused :
       {"\"a\x01z\"", R"("\udc00")", R"("\udfff")", R"("\ud83d")", R"("\ud83d\u0041")"})
    EXPECT_FALSE(parse(refused)) << refused;
  // JSON's words, each of its kind.
  using Kind = cabinet::kit::json::Value::Kind;
  const auto words = parse("[true, false, null]");
  ASSERT_TRUE(words);
  ASSERT_EQ(words->items.size(), 3u);
  const Kind kinds[] = {Kind::Bool, Kind::Bool, Kind::Null};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(words->items[i].is(kinds[i])) << i;
  EXPECT_EQ(words->items[1].text, "false");
  // Nesting is bounded (the reader recurses), arrays and objects alike: a number 16 deep is read,
  // 17 deep not.
  const auto nested = [](int deep, const std::string& open, const std::string& close) {
    std::string text = "0";
    for (int i = 0; i < deep; ++i) text = open + text + close;
    return parse(text).has_value();
  };
  EXPECT_TRUE(nested(16, "[", "]") && nested(16, R"({"a": )", "}"));
  EXPECT_FALSE(nested(17, "[", "]") || nested(17, R"({"a": )", "}"));
  // It reads no further than the text it is given: a body cut short in a number, in a string or
  // where a value was to come, alone in its buffer (the sanitizers see a byte read past it).
  for (const std::string_view cut : {R"({"a": [1)", R"({"a": )", R"([1,)", R"("ab)"}) {
    const std::vector<char> body(cut.begin(), cut.end());
    EXPECT_FALSE(parse(std::string_view(body.data(), body.size()))) << cut;
  }
}

// Two copies of the game on one data folder (two desktops, two tabs of the page), both away from
// the server: each keeps its game without losing the other's, and the games go out in the order
// they were played, whichever copy sends them. A game one copy got the server's answer for is
// never put back by another.
TEST(ScoreServerClient, CopiesOnOneFolderKeepEachOthersGamesAndSendThemInTheOrderPlayed) {
  TempFolder temp;
  ServedSitting first(temp.path, "zzz", 200), second(temp.path, "aaa", 200);
  first.crash();
  first.server.answer(0);
  second.crash();
  // The file's games go first, as they were played.
  ASSERT_EQ(second.server.requests.size(), 1u);
  EXPECT_EQ(second.server.requests[0].path, "api/sittings/zzz/games?score=" + first.shown());
  second.server.answer(0);
  const std::string both = unsent(temp.path);
  EXPECT_NE(at(both, "zzz " + first.shown()), std::string::npos) << both.substr(0, 200);
  EXPECT_LT(at(both, "zzz "), at(both, "aaa " + second.shown()));

  // A third sitting sends both, one after the other, in the order played (not by sitting).
  {
    ServedSitting third(temp.path, "ccc", 200);
    ASSERT_EQ(third.server.requests.size(), 1u);
    EXPECT_EQ(third.server.requests[0].path, "api/sittings/zzz/games?score=" + first.shown());
    third.server.answer(200, Taken);
    ASSERT_EQ(third.server.requests.size(), 1u);
    EXPECT_EQ(third.server.requests[0].path, "api/sittings/aaa/games?score=" + second.shown());
    third.server.answer(200, Taken);
    EXPECT_TRUE(third.server.requests.empty());
  }
  // The second copy plays again: the games the third sent are not put back.
  second.cabinet->input(Event{.kind = Kind::Label, .code = 0, .name = "lblTitle"});
  second.crash();
  const std::string after = unsent(temp.path);
  EXPECT_EQ(at(after, "zzz"), std::string::npos);
  EXPECT_NE(at(after, "aaa " + second.shown()), std::string::npos);
  ASSERT_EQ(second.server.requests.size(), 1u);
  EXPECT_EQ(second.server.requests[0].path, "api/sittings/aaa/games?score=" + second.shown());
}

// An answer that is not the server's (a captive portal's page, a login proxy, a wrong address)
// keeps the game, and says so; only the server's own refusal, with its reason, drops it, and the
// game stays in refused-games with that reason: the latest few.
TEST(ScoreServerClient, OnlyTheServersOwnRefusalDropsAGameWhichStaysWithItsReason) {
  TempFolder temp;
  ServedSitting s(temp.path, "abc", 200);
  s.crash();
  const std::string recording = s.server.requests.at(0).body;
  const std::string html = "<html><body>Sign in to the network</body></html>";
  for (const auto& [status, body] : std::vector<std::pair<int, std::string>>{
           {200, html}, {401, html}, {404, html}, {403, html}, {200, "{}"}, {404, "[1]"}}) {
    testing::internal::CaptureStderr();
    s.server.answer(status, body);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not the score server's"),
              std::string::npos)
        << status << " " << body;
    EXPECT_NE(at(unsent(temp.path), "abc " + s.shown()), std::string::npos) << status << body;
    s.client.sendUnsent();
    ASSERT_EQ(s.server.requests.size(), 1u);
  }
  const std::string why = "the recording's seed is not the one issued to the sitting";
  s.server.answer(403, R"({"error": ")" + why + R"("})");
  EXPECT_EQ(at(unsent(temp.path), "abc"), std::string::npos);
  const std::string refused = fileText(temp.path / "refused-games");
  EXPECT_EQ(refused, "cavewing-refused 1\nabc " + s.shown() + " " +
                         std::to_string(recording.size()) + " status 403: " + why + "\n" +
                         recording + "\n");

  // Refused one after another: the latest eight stay.
  std::string kept = "cavewing-unsent 1\n";
  for (int i = 10; i < 20; ++i)
    kept +=
        "s" + std::to_string(i) + " " + std::to_string(i) + " 2\nr" + std::to_string(i % 10) + "\n";
  writeText(temp.path / "unsent-games", kept);
  ServedSitting next(temp.path, "next", 200);
  for (int i = 10; i < 20; ++i) {
    ASSERT_EQ(next.server.requests.size(), 1u) << i;
    next.server.answer(400, R"({"error": "not a recording"})");
  }
  const std::string latest = fileText(temp.path / "refused-games");
  EXPECT_EQ(at(latest, "abc "), std::string::npos);
  EXPECT_EQ(at(latest, "\ns11 "), std::string::npos);
  EXPECT_NE(at(latest, "\ns12 12 2 status 400: not a recording\nr2\n"), std::string::npos);
  EXPECT_NE(at(latest, "\ns19 "), std::string::npos);
}

// A file of kept games of a version this game does not read (a newer game's) is set aside whole,
// said once, and never written over; the next game is kept in a new file.
TEST(ScoreServerClient, SetsAsideAKeptFileItDoesNotKnow) {
  TempFolder temp;
  const std::string newer = "cavewing-unsent 2\nthree games of a newer kind\n";
  writeText(temp.path / "unsent-games", newer);
  testing::internal::CaptureStderr();
  {
    ServedSitting s(temp.path, "abc", 200);
    EXPECT_TRUE(s.server.requests.empty());
    s.crash();
    s.server.answer(0);
    ServedSitting again(temp.path, "def", 200);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  const auto once = at(said, "set aside as " + (temp.path / "unsent-games.set-aside").string());
  EXPECT_NE(once, std::string::npos) << said;
  EXPECT_EQ(said.find("set aside", once + 1), std::string::npos) << said;
  EXPECT_EQ(fileText(temp.path / "unsent-games.set-aside"), newer);
  EXPECT_EQ(unsent(temp.path).rfind("cavewing-unsent 1\nabc ", 0), 0u);
}

// A seed the server could give (below 2^53, exact in the page's JavaScript) is played; any other
// answer leaves the sitting to the local table, and says why: "did not answer" only when none came.
TEST(ScoreServerClient, PlaysOnlyASeedTheServerCouldGiveAndSaysWhyNot) {
  struct Case {
    int status;
    std::string body;
    bool seeded;
    std::string said;
  };
  const std::string sitting = R"({"sitting": "abc", "seed": )";
  for (const Case& c :
       std::vector<Case>{{200, sitting + "9007199254740991}", true, ""},
                         {200, sitting + "9007199254740992}", false, "no sitting (status 200)"},
                         {200, sitting + "18446744073709551615}", false, "no sitting (status 200)"},
                         {0, "", false, "the server did not answer"},
                         {503, R"({"error": "busy"})", false, "no sitting (status 503: busy)"}}) {
    FakeServer server;
    cabinet::kit::ScoreServer client(server);
    std::optional<std::uint64_t> seed;
    client.openSitting("ANN", [&](std::optional<std::uint64_t> s) { seed = s; });
    testing::internal::CaptureStderr();
    server.answer(c.status, c.body);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(seed.has_value(), c.seeded) << c.body;
    EXPECT_TRUE(c.said.empty() ? said.empty() : said.find(c.said) != std::string::npos) << said;
    EXPECT_EQ(said.find("did not answer") != std::string::npos, c.status == 0) << said;
  }
}

TEST(ScoreServerClient, TodaysCaveFliesEachGameFromItsStartAsASittingOfItsOwnOnTheDaysTable) {
  TempFolder temp;
  ServedSitting s(temp.path, "day1", 200, {}, /*today=*/true);
  ASSERT_EQ(s.seed, ServerSeed);
  const frmCavewing& form = s.cabinet->form();
  NoScreen screen;
  cabinet::kit::Kit kit(*s.cabinet, screen);
  std::optional<cabinet::kit::DaysBest> best;
  s.client.onDaysBest([&](const cabinet::kit::DaysBest& b) {
    best = b;
    kit.flyAgainst(b);
  });
  // The day's best is the day's table's first row, with its game's recording for the ghost.
  const std::string dayTable = R"([{"name": "DAN", "score": 2000, "game": "g7"},
                                   {"name": "EVE", "score": 100, "game": "g8"}])";
  s.server.answerTo("api/table?cave=today", 200, dayTable);
  s.server.answerTo("api/games/g7", 200, "DAN's recording");
  ASSERT_TRUE(best);
  EXPECT_EQ(best->recording, "DAN's recording");
  EXPECT_EQ(kit.overlays().startNote, "Today's best: DAN 2000");
  // The list shows the day's table.
  kit.input(Event{.kind = Kind::Menu, .name = "mnuScores"});
  s.server.answerTo("api/table?cave=today", 200, dayTable);
  EXPECT_EQ(form.lblName[2].Caption, "EVE");
  kit.input(Event{.kind = Kind::Label, .code = 0, .name = "lblTitle"});

  // Each game's cave at every grid point, and the game sent with its sitting.
  const auto input = [&](const Event& e) { kit.input(e); };
  // The ghost, where there is one, falls beside the live try as it falls, grid point for grid
  // point since START.
  int ghostBeside = 0;
  const auto fly = [&](const std::string& sitting) {
    const auto caves = flyIntoTheFloor(
        *s.cabinet,
        [&](const Event& e) {
          input(e);
          EXPECT_EQ(kit.overlays().startNote, "") << "in flight";
        },
        [&] {
          const auto ghost = kit.overlays().ghost;
          if (!ghost || s.cabinet->phase() != Phase::Flying) return;
          EXPECT_EQ(ghost->top, form.imgCopter.Top) << "at grid point " << s.cabinet->grid();
          ++ghostBeside;
        });
    const std::string path = "api/sittings/" + sitting + "/games?score=" + s.shown();
    const auto sent = std::find_if(s.server.requests.begin(), s.server.requests.end(),
                                   [&](const auto& r) { return r.path == path; });
    EXPECT_NE(sent, s.server.requests.end()) << path;
    const std::string recording = sent == s.server.requests.end() ? "" : sent->body;
    s.server.answerTo(path, 200, Taken);
    return std::pair(caves, recording);
  };
  const auto first = fly("day1");
  EXPECT_EQ(ghostBeside, 0) << "DAN's recording reads as none: no ghost";
  // A press after the crash: the next game asks for a sitting of its own, and flies the day's
  // cave from its start.
  pressAfterTheCrash(input);
  EXPECT_FALSE(s.client.hasSitting()) << "the first game's sitting is spent";
  ASSERT_FALSE(s.server.requests.empty());
  EXPECT_EQ(s.server.requests.front().body, R"({"player": "ANN", "cave": "today"})");
  s.server.answerTo("api/sittings", 200, R"({"sitting": "day2", "seed": 9007199254740991})");
  // The first game leads the day now: the second flies against it.
  s.server.answerTo("api/table?cave=today", 200, R"([{"name": "ANN", "score": 9, "game": "g9"}])");
  s.server.answerTo("api/games/g9", 200, first.second);
  EXPECT_EQ(kit.overlays().startNote, "Today's best: ANN 9");
  const auto second = fly("day2");
  EXPECT_GT(ghostBeside, 20) << "the first game flies beside the second";
  EXPECT_TRUE(second.first == first.first) << "the second game flies the first one's cave";
  // The second game's recording is whole: it replays alone to the score shown.
  const replay::ReadResult read = replay::read(second.second);
  ASSERT_TRUE(read.recording) << read.error;
  EXPECT_EQ(read.recording->seed, ServerSeed);
  EXPECT_EQ(cabinet::replayHeadless(*read.recording).scoreCaption, s.shown());

  // Offline a game still flies, each from the start of the sitting's own cave, and ranks locally.
  TempFolder away;
  ServedSitting o(away.path, "x", 0, {}, /*today=*/true);
  EXPECT_FALSE(o.seed);
  const auto offline = [&](const Event& e) { o.cabinet->input(e); };
  const auto firstAway = flyIntoTheFloor(*o.cabinet, offline);
  o.host.timeOfDay += 60;  // a cave of the time of day would be another now
  pressAfterTheCrash(offline);
  o.server.answerTo("api/sittings", 0, "");
  EXPECT_TRUE(flyIntoTheFloor(*o.cabinet, offline) == firstAway);
  EXPECT_EQ(o.cabinet->form().lblName[1].Caption, "ANN");
  for (const FakeServer::Request& r : o.server.requests)
    EXPECT_EQ(r.path.find("api/sittings/"), std::string::npos) << r.path;
}
