// SPDX-License-Identifier: MIT
// The score server as a host runs it: a real process on a free loopback port, SQLite or a real
// PostgreSQL, and players whose sittings the cabinet records with the seeds the server issued.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/ioctl.h>

#include <array>
#include <fstream>
#include <future>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "Player.h"
#include "ServerProcess.h"
#include "cabinet/Headless.h"
#include "form/Utf8Text.h"
#include "server/Store.h"

namespace {

struct Issued {
  std::string sitting;
  std::uint64_t seed = 0;
};

std::string field(const std::string& json, const std::string& name) {
  const std::regex pattern("\"" + name + "\":(\"[^\"]*\"|[0-9]+|null)");
  std::smatch m;
  if (!std::regex_search(json, m, pattern)) return {};
  std::string value = m[1];
  if (value.front() == '"') value = value.substr(1, value.size() - 2);
  return value;
}

Issued issue(httplib::Client& client, const std::string& player) {
  const auto res =
      client.Post("/api/sittings", "{\"player\": \"" + player + "\"}", "application/json");
  if (!res || res->status != 200) throw std::runtime_error("no sitting issued");
  return {field(res->body, "sitting"), std::stoull(field(res->body, "seed"))};
}

struct Reply {
  int status = 0;
  std::string body;
};

Reply submit(httplib::Client& client, const Issued& sitting, const std::string& shown,
             const std::string& recording) {
  const auto res =
      client.Post(("/api/sittings/" + sitting.sitting + "/games?score=" + shown).c_str(), recording,
                  "text/plain");
  return res ? Reply{res->status, res->body} : Reply{0, "no answer"};
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string tableFile(httplib::Client& client) {
  const auto res = client.Get("/api/table?format=file");
  return res && res->status == 200 ? res->body : "no table";
}

// The rows of the table as "NAME SCORE" lines, in list order.
std::string tableRows(httplib::Client& client) {
  const auto res = client.Get("/api/table");
  std::string rows;
  const std::regex row("\\{\"name\":\"([^\"]*)\",\"score\":([0-9]+),\"game\":");
  for (std::sregex_iterator it(res->body.begin(), res->body.end(), row), end; it != end; ++it)
    rows += (*it)[1].str() + " " + (*it)[2].str() + "\n";
  return rows;
}

class SqliteServer : public ::testing::Test {
protected:
  TempFolder folder;
  std::unique_ptr<ServerProcess> server;
  void start(std::vector<std::string> extra = {}) {
    std::vector<std::string> options = {"--db", (folder / "scores.sqlite").string(), "--time-slack",
                                        "3600"};
    options.insert(options.end(), extra.begin(), extra.end());
    server = std::make_unique<ServerProcess>(options);
  }
  void SetUp() override { start(); }
};

// Players who share one table: every game the server ranks lands where the file rules put it,
// so that the server's file form is byte for byte the file the desktops wrote for the same games.
TEST_F(SqliteServer, RanksEveryGameAsTheFileRulesDo) {
  auto client = server->client();
  const fs::path scores = folder / "Cavewing.txt";
  const std::vector<std::pair<std::string, std::vector<int>>> plays = {
      {"jane", {0, 300, 100}}, {"Bob", {200, 0}}, {"o\\\"brien", {500, 50}}, {"Jane", {700}}};
  std::string lastGame;
  for (std::size_t p = 0; p < plays.size(); ++p) {
    const auto& [name, games] = plays[p];
    const Issued sitting = issue(client, name);
    fs::create_directories(folder / std::to_string(p));
    Player player(sitting.seed, name == "o\\\"brien" ? "o\"brien" : name,
                  folder / std::to_string(p), scores);
    for (std::size_t g = 0; g < games.size(); ++g) {
      const std::string shown = player.playGame(games[g]);
      const Reply reply = submit(client, sitting, shown, player.recording());
      ASSERT_EQ(reply.status, 200) << name << " game " << g << ": " << reply.body;
      EXPECT_EQ(field(reply.body, "score"), shown);
      lastGame = field(reply.body, "game");
      player.again();
    }
  }
  EXPECT_EQ(tableFile(client), fileText(scores));
  EXPECT_NE(fileText(scores).find("O'BRIEN"), std::string::npos);
  // The list names every row's game, and a row's game can be watched.
  const std::string rows = tableRows(client);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3) << rows;
  const auto recording = client.Get(("/api/games/" + lastGame).c_str());
  ASSERT_TRUE(recording);
  EXPECT_EQ(recording->status, 200);
  EXPECT_EQ(recording->body.rfind("cavewing-replay 2\n", 0), 0u);
}

// Every way of forging a score that the server can see is refused, with its reason, and leaves
// the table as it was.
TEST_F(SqliteServer, RefusesForgedSubmissionsWithTheirReasons) {
  auto client = server->client();
  const fs::path scores = folder / "Cavewing.txt";
  const Issued jane = issue(client, "JANE");
  fs::create_directories(folder / "jane");
  Player player(jane.seed, "JANE", folder / "jane", scores);
  const std::string shown = player.playGame(100);
  const std::string honest = player.recording();

  auto refused = [&](const Issued& sitting, const std::string& score, const std::string& text,
                     int status, const std::string& reason) {
    const Reply reply = submit(client, sitting, score, text);
    EXPECT_EQ(reply.status, status) << reason << ": " << reply.body;
    EXPECT_NE(field(reply.body, "error").find(reason), std::string::npos) << reply.body;
  };
  // A seed the server did not issue to the sitting.
  {
    fs::create_directories(folder / "other-seed");
    Player forger(jane.seed + 1, "JANE", folder / "other-seed", folder / "other.txt");
    const std::string score = forger.playGame(100);
    refused(jane, score, forger.recording(), 403, "seed");
  }
  // Another player's name in the recording.
  {
    fs::create_directories(folder / "bob");
    Player bob(jane.seed, "BOB", folder / "bob", folder / "bob.txt");
    const std::string score = bob.playGame(100);
    refused(jane, score, bob.recording(), 403, "player");
  }
  // More game time than real time has passed since the seed was issued (a server without slack).
  {
    TempFolder other;
    ServerProcess strict({"--db", (other / "scores.sqlite").string(), "--time-slack", "0"});
    auto strictClient = strict.client();
    const Issued fresh = issue(strictClient, "JANE");
    fs::create_directories(folder / "stretched");
    Player slow(fresh.seed, "JANE", folder / "stretched", folder / "slow.txt");
    const std::string score = slow.playGame(0);
    const Reply reply = submit(strictClient, fresh, score, slow.recording());
    EXPECT_EQ(reply.status, 403) << reply.body;
    EXPECT_NE(reply.body.find("game time"), std::string::npos) << reply.body;
  }
  // A shown score above the replay's: refused and kept apart for the host.
  refused(jane, std::to_string(std::stoll(shown) + 1000), honest, 422, "shown score");
  // A damaged recording, and text that is no recording.
  std::string damaged = honest;
  damaged.replace(damaged.find("events\n"), 7, "evnts\n");
  refused(jane, shown, damaged, 400, "does not replay");
  refused(jane, shown, honest.substr(0, honest.size() / 2), 400, "does not replay");
  refused(jane, shown, "GET / HTTP/1.0", 400, "does not replay");
  // A sitting the server never issued.
  refused({"0123456789abcdef0123456789abcdef", jane.seed}, shown, honest, 404, "no such sitting");
  EXPECT_EQ(tableFile(client), "");

  // A large recording is read as it comes: one refused at its start leaves its verifying process
  // ready for the next, which is the same game with megabytes of notes in it.
  std::string notes, large = honest;
  while (notes.size() < (3u << 20)) notes += "# " + std::string(1000, 'n') + "\n";
  large.insert(large.find("events\n") + 7, notes);
  std::string damagedLarge = large;
  damagedLarge.replace(damagedLarge.find("events\n"), 7, "evnts\n");
  refused(jane, shown, damagedLarge, 400, "does not replay");
  refused(jane, shown, large.substr(0, large.size() - 100), 400, "does not replay");
  // A large recording is read by a thread that serves at the lowest priority from then on and
  // ends with its connection: a server serves on after more of them than it has threads (1
  // verifying, none waiting: 14).
  {
    TempFolder other;
    ServerProcess few(
        {"--db", (other / "scores.sqlite").string(), "--workers", "1", "--queue", "0"});
    auto first = few.client();
    const Issued sitting = issue(first, "JANE");
    for (int i = 0; i < 20; ++i) {
      auto fresh = few.client();
      ASSERT_EQ(submit(fresh, sitting, shown, damagedLarge).status, 400) << i;
    }
    auto last = few.client();
    EXPECT_EQ(submit(last, sitting, shown, damaged).status, 400);
    // With its one verifier held up, of two games at once one is verified in time, the other
    // finds no place in line: the server says it is busy at once.
    ASSERT_FALSE(few.signalVerifiers(SIGSTOP).empty());
    const auto submitted = [&] {
      auto c = few.client();
      return submit(c, sitting, shown, damaged);
    };
    std::future<Reply> both[] = {std::async(std::launch::async, submitted),
                                 std::async(std::launch::async, submitted)};
    std::future<Reply>* busy = nullptr;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !busy && std::chrono::steady_clock::now() < deadline;)
      for (auto& answer : both)
        if (!busy && answer.wait_for(std::chrono::milliseconds(5)) == std::future_status::ready)
          busy = &answer;
    few.signalVerifiers(SIGCONT);
    ASSERT_NE(busy, nullptr) << "neither was answered while the verifier was held up";
    const Reply refusedBusy = busy->get();
    EXPECT_EQ(refusedBusy.status, 503);
    EXPECT_NE(refusedBusy.body.find("the server is busy"), std::string::npos) << refusedBusy.body;
    EXPECT_EQ(both[busy == &both[0] ? 1 : 0].get().status, 400);
    // One that dies at its work, as one past a limit does, costs that game alone: held up, it is
    // handed a game, and killed.
    const std::vector<pid_t> held = few.signalVerifiers(SIGSTOP);
    std::future<Reply> dying = std::async(std::launch::async, submitted);
    const auto handed = [&held]() -> pid_t {
      for (const pid_t pid : held) {
        const int in = ::open(("/proc/" + std::to_string(pid) + "/fd/0").c_str(), O_RDONLY);
        int waiting = 0;
        ::ioctl(in, FIONREAD, &waiting);
        ::close(in);
        if (waiting > 0) return pid;
      }
      return 0;
    };
    pid_t victim = 0;
    for (const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !(victim = handed()) && std::chrono::steady_clock::now() < deadline;)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Meanwhile no verifying process answers: the server is not healthy.
    const auto health = [&few] { return few.client().Get("/api/health"); };
    EXPECT_EQ(health()->status, 503);
    EXPECT_EQ(health()->body, R"({"database":true,"verifiers":false,"queue":1})");
    if (victim != 0) ::kill(victim, SIGKILL);
    few.signalVerifiers(SIGCONT);  // none is left held up, whatever happened
    ASSERT_NE(victim, 0) << "no verifier was handed the game";
    const Reply died = dying.get();
    EXPECT_EQ(died.status, 422);
    EXPECT_NE(died.body.find("within the server's limits"), std::string::npos) << died.body;
    EXPECT_EQ(submitted().status, 400) << "a fresh verifier took its place";
    EXPECT_EQ(health()->status, 200);
  }
  // One larger than any recording is not read.
  while (notes.size() <= (32u << 20)) notes += notes;
  refused(jane, shown, notes, 413, "too large");

  // The honest game ranks once; the same game again is refused.
  ASSERT_EQ(submit(client, jane, shown, large).status, 200);
  refused(jane, shown, honest, 409, "already ranked");
  // A recording that rewrites the sitting's ranked past.
  {
    fs::create_directories(folder / "rewritten");
    Player again(jane.seed, "JANE", folder / "rewritten", folder / "rewritten.txt");
    again.playGame(300);
    again.again();
    const std::string score = again.playGame(0);
    refused(jane, score, again.recording(), 409, "does not continue");
  }
  EXPECT_EQ(tableFile(client), fileText(scores));
}

// A server stopped without warning in the middle of a sitting loses no game: the sitting goes on
// with the next server on the same database. Its verifying processes killed while they wait for
// work cost no game either: each is replaced before it is handed one. Stopped by TERM or ^C, it
// ends in good order.
TEST_F(SqliteServer, StoppedMidSittingLosesNothing) {
  auto client = server->client();
  const fs::path scores = folder / "Cavewing.txt";
  const Issued sitting = issue(client, "JANE");
  fs::create_directories(folder / "jane");
  Player player(sitting.seed, "JANE", folder / "jane", scores);
  std::string shown = player.playGame(100);
  ASSERT_GE(server->killVerifiers(), 2);
  const Reply first = submit(client, sitting, shown, player.recording());
  ASSERT_EQ(first.status, 200) << first.body;
  player.again();
  EXPECT_EQ(server->stop(SIGKILL), 128 + SIGKILL);

  start();
  auto next = server->client();
  shown = player.playGame(400);
  const Reply reply = submit(next, sitting, shown, player.recording());
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(field(reply.body, "rank"), "1");
  EXPECT_EQ(tableFile(next), fileText(scores));
  EXPECT_EQ(server->stop(SIGTERM), 0);
  // ^C at the terminal stops it in good order too.
  start();
  EXPECT_EQ(server->stop(SIGINT), 0);
}

// What a host exposes: a server started as root serves as nobody; the page's folder is served
// compressed where the browser accepts it, with cache headers, and nothing else is; one address
// cannot ask for sittings without end.
TEST_F(SqliteServer, ServesThePageAndNothingElseAsNobody) {
  if (runningAsRoot()) {
    // No id of root left: user, group or supplementary groups.
    std::ifstream status("/proc/" + std::to_string(server->pid()) + "/status");
    int ids = 0;
    for (std::string line; std::getline(status, line);)
      if (line.starts_with("Uid:") || line.starts_with("Gid:") || line.starts_with("Groups:")) {
        ++ids;
        std::istringstream words(line.substr(line.find(':') + 1));
        for (std::string id; words >> id;) EXPECT_NE(id, "0") << line;
      }
    EXPECT_EQ(ids, 3);
  }
  // The page's folder inside a folder only its owner may pass, as in a clone in root's home: the
  // server opens it before it gives up root.
  TempFolder home;
  const fs::path web = home / "web";
  fs::create_directories(web / "sub");
  std::ofstream(web / "index.html")
      << "<!doctype html><head><title>Cavewing</title>" << std::string(4000, ' ');
  std::ofstream(web / "cavewing.wasm") << std::string(20000, 'w');
  std::ofstream(web / "secret.key") << "not for the page";
  fs::create_symlink("/etc/passwd", web / "passwd.html");
  // A page outside the folder, which a link inside it leads to.
  TempFolder outside;
  std::ofstream(outside / "secret.html") << "root: not for the page";
  fs::create_symlink(outside / "secret.html", web / "escape.html");
  fs::permissions(home.path(), fs::perms::owner_all, fs::perm_options::replace);
  ServerProcess page({"--db", (folder / "page.sqlite").string(), "--web", web.string(),
                      "--sittings-per-minute", "2"});
  httplib::Client client("127.0.0.1", page.port());
  client.set_decompress(false);
  const httplib::Headers gzip = {{"Accept-Encoding", "gzip"}};

  const auto index = client.Get("/", gzip);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->status, 200);
  EXPECT_EQ(index->get_header_value("Content-Encoding"), "gzip");
  EXPECT_LT(index->body.size(), 1000u);
  EXPECT_EQ(index->get_header_value("Cache-Control"), "no-cache");
  const auto again = client.Get("/", {{"If-None-Match", index->get_header_value("ETag")}});
  EXPECT_EQ(again->status, 304);
  // The page it serves is marked as the score server's: only that page asks for a sitting.
  EXPECT_NE(client.Get("/index.html")->body.find("<head>\n<meta name=\"cavewing-scores\""),
            std::string::npos);
  const auto wasm = client.Get("/cavewing.wasm", gzip);
  EXPECT_EQ(wasm->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(wasm->get_header_value("Content-Type"), "application/wasm");
  EXPECT_LT(wasm->body.size(), 1000u);
  const auto plain = client.Get("/cavewing.wasm");
  EXPECT_EQ(plain->body, std::string(20000, 'w'));
  for (const char* path :
       {"/sub/", "/sub", "/secret.key", "/passwd.html", "/escape.html", "/../etc/passwd",
        "/%2e%2e/%2e%2e/etc/passwd", "/sub/..%2f..%2fetc%2fpasswd"}) {
    const auto res = client.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
    EXPECT_EQ(res->body.find("root:"), std::string::npos) << path;
  }
  // One address gets so many new sittings a minute, and then waits.
  for (int i = 0; i < 3; ++i) {
    const auto res = client.Post("/api/sittings", "{\"player\": \"JANE\"}", "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, i < 2 ? 200 : 429) << i;
  }
}

// Two servers on one PostgreSQL, many players sending at once: every game is ranked, none lost.
TEST(PostgresServers, ConcurrentSubmissionsLoseNoRanking) {
  TempFolder folder;
  fs::create_directories(folder / "pg");
  Postgres postgres(folder / "pg");
  const std::vector<std::string> options = {"--db", postgres.url(), "--time-slack",
                                            "3600", "--workers",    "2"};
  ServerProcess first(options), second(options);
  constexpr int Players = 8, Games = 3;
  // Each player's games, played beforehand with the seeds the servers issued.
  struct Sitting {
    Issued issued;
    std::vector<std::pair<std::string, std::string>> sent;  // shown score, recording so far
    long long best = 0;
  };
  std::vector<Sitting> sittings(Players);
  for (int p = 0; p < Players; ++p) {
    auto client = (p % 2 ? second : first).client();
    sittings[p].issued = issue(client, "P" + std::to_string(p));
    fs::create_directories(folder / std::to_string(p));
    Player player(sittings[p].issued.seed, "P" + std::to_string(p), folder / std::to_string(p),
                  folder / (std::to_string(p) + ".txt"));
    for (int g = 0; g < Games; ++g) {
      const std::string shown = player.playGame(64 * (p + g));
      sittings[p].sent.push_back({shown, player.recording()});
      sittings[p].best = std::max(sittings[p].best, std::stoll(shown));
      player.again();
    }
  }
  std::vector<std::thread> clients;
  std::atomic<int> ranked = 0;
  for (int p = 0; p < Players; ++p)
    clients.emplace_back([&, p] {
      for (int g = 0; g < Games; ++g) {
        auto client = ((p + g) % 2 ? second : first).client();
        const auto& [shown, text] = sittings[p].sent[g];
        if (submit(client, sittings[p].issued, shown, text).status == 200) ++ranked;
      }
    });
  // A sitting whose two games come in one submission, sent to both servers at once: one ranks
  // both games, the other is refused, and so is the same sent again.
  auto pairClient = first.client();
  const Issued pair = issue(pairClient, "PAIR");
  fs::create_directories(folder / "pair");
  Player pairPlayer(pair.seed, "PAIR", folder / "pair", folder / "pair.txt");
  const long long pairFirst = std::stoll(pairPlayer.playGame(64));
  pairPlayer.again();
  const std::string pairShown = pairPlayer.playGame(700);
  std::array<Reply, 2> pairReplies;
  for (int s = 0; s < 2; ++s)
    clients.emplace_back([&, s] {
      auto client = (s ? second : first).client();
      pairReplies[s] = submit(client, pair, pairShown, pairPlayer.recording());
    });
  for (auto& c : clients) c.join();
  EXPECT_EQ(ranked, Players * Games);
  const Reply& pairRanked = pairReplies[0].status == 200 ? pairReplies[0] : pairReplies[1];
  const Reply& pairRefused = pairReplies[0].status == 200 ? pairReplies[1] : pairReplies[0];
  ASSERT_EQ(pairRanked.status, 200) << pairRanked.body;
  EXPECT_EQ(pairRefused.status, 409) << pairRefused.body;
  auto again = second.client();
  EXPECT_EQ(submit(again, pair, pairShown, pairPlayer.recording()).status, 409);
  // The ranked game's recording is the one sent.
  const auto watched = again.Get(("/api/games/" + field(pairRanked.body, "game")).c_str());
  ASSERT_TRUE(watched);
  EXPECT_EQ(watched->body, pairPlayer.recording());
  // Each player's best game holds the player's row, whichever server ranked it.
  auto client = first.client();
  const std::string rows = tableRows(client);
  for (int p = 0; p < Players; ++p)
    EXPECT_NE(rows.find("P" + std::to_string(p) + " " + std::to_string(sittings[p].best) + "\n"),
              std::string::npos)
        << rows;
  const long long pairBest = std::max(pairFirst, std::stoll(pairShown));
  EXPECT_NE(rows.find("PAIR " + std::to_string(pairBest) + "\n"), std::string::npos) << rows;
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), Players + 1) << rows;
}

// The table ranks the game as it is played: its grid and its two layouts. A recording on a coarser
// grid (a slower cave) or a field so wide that the obstacles never come back is refused with the
// reason, though it reads and replays as any valid recording does.
TEST_F(SqliteServer, RanksOnlyTheGamesOwnRuleset) {
  auto client = server->client();
  const Issued jane = issue(client, "JANE");
  fs::create_directories(folder / "jane");
  Player player(jane.seed, "JANE", folder / "jane", folder / "jane.txt");
  const std::string shown = player.playGame(100);
  const std::string honest = player.recording();
  for (const auto& [from, to, reason] :
       {std::tuple{"system-tick-us 15625\n", "system-tick-us 62500\n", "grid"},
        std::tuple{"outer-width 15360\n", "outer-width 10000000\n", "layouts"}}) {
    std::string other = honest;
    other.replace(other.find(from), std::string(from).size(), to);
    const Reply reply = submit(client, jane, shown, other);
    EXPECT_EQ(reply.status, 403) << reply.body;
    EXPECT_NE(field(reply.body, "error").find(reason), std::string::npos) << reply.body;
    const auto read = replay::read(other);
    ASSERT_TRUE(read.recording) << read.error;
    EXPECT_EQ(cabinet::replayHeadless(*read.recording).grid, read.recording->endGrid) << reason;
  }
  EXPECT_EQ(submit(client, jane, shown, honest).status, 200);
  // The wide layout is the game's too.
  const Issued wide = issue(client, "WIDE");
  fs::create_directories(folder / "wide");
  Player widePlayer(wide.seed, "WIDE", folder / "wide", folder / "wide.txt", true);
  const std::string wideShown = widePlayer.playGame(100);
  ASSERT_NE(widePlayer.recording().find("outer-width 19290\n"), std::string::npos);
  EXPECT_EQ(submit(client, wide, wideShown, widePlayer.recording()).status, 200);
}

// Moves a sitting's past back by `us`: its seed issued and its games ranked that much earlier.
void backdate(const fs::path& db, const std::string& sitting, std::int64_t us) {
  sqlite3* c = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &c), SQLITE_OK);
  sqlite3_busy_timeout(c, 10'000);
  const std::string by = std::to_string(us), id = "'" + sitting + "'";
  const std::string sql =
      "UPDATE sittings SET issued_us = issued_us - " + by + " WHERE id = " + id +
      "; UPDATE recordings SET received_us = received_us - " + by + " WHERE sitting = " + id;
  EXPECT_EQ(sqlite3_exec(c, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(c);
}

// A sitting lives while its player plays: its first game begins within 10 minutes of its seed
// (by real time, whatever the recording's clock did before), and once it has ranked nothing for
// an hour it takes no more games.
TEST(Sittings, EndWhenLateOrSilent) {
  TempFolder folder;
  const fs::path db = folder / "scores.sqlite";
  ServerProcess server({"--db", db.string()});
  auto client = server.client();
  constexpr std::int64_t Minute = 60'000'000;
  auto sittingAfter = [&](const std::string& name, std::int64_t waitedUs, int readyTicks) {
    const Issued sitting = issue(client, name);
    backdate(db, sitting.sitting, waitedUs);
    fs::create_directories(folder / name);
    auto player = std::make_unique<Player>(sitting.seed, name, folder / name, folder / "t.txt");
    player->tick(readyTicks);
    return std::pair{sitting, std::move(player)};
  };
  auto expectRefused = [](const Reply& reply, const std::string& reason) {
    EXPECT_EQ(reply.status, 403) << reply.body;
    EXPECT_NE(field(reply.body, "error").find(reason), std::string::npos) << reply.body;
  };
  // Started 11 minutes after the seed: whether the program stood still or sat on the ready
  // screen meanwhile.
  for (const int readyTicks : {0, 64 * 630}) {
    auto [late, player] = sittingAfter("LATE", 11 * Minute, readyTicks);
    const std::string shown = player->playGame(50);
    expectRefused(submit(client, late, shown, player->recording()), "began more than 10 minutes");
  }
  // Started within 9 minutes, the sitting ranks; silent for an hour after, it takes no more.
  auto [soon, player] = sittingAfter("SOON", 9 * Minute, 0);
  std::string shown = player->playGame(50);
  ASSERT_EQ(submit(client, soon, shown, player->recording()).status, 200);
  player->again();
  shown = player->playGame(80);
  backdate(db, soon.sitting, 61 * Minute);
  expectRefused(submit(client, soon, shown, player->recording()), "silent");
}

// A name is text the list can show as it reads: bytes that are no text are refused (on either
// database, as a mistake rather than a busy server), and what reorders or hides text is taken
// out; a name is cut to what the list shows; a request that is not {"player": "NAME"} is refused;
// answers are JSON a page can hold whatever an older server kept (a byte that is no character, a
// tag, a seed past 2^63).
TEST(Names, AreTextTheListShowsAsItReads) {
  TempFolder folder;
  fs::create_directories(folder / "pg");
  Postgres postgres(folder / "pg");
  const fs::path db = folder / "scores.sqlite";
  for (const std::string& where : {db.string(), postgres.url()}) {
    ServerProcess server({"--db", where});
    auto client = server.client();
    const auto invalid =
        client.Post("/api/sittings", "{\"player\": \"JA\xff\xfeNE\"}", "application/json");
    ASSERT_TRUE(invalid);
    EXPECT_EQ(invalid->status, 400) << where;
    EXPECT_NE(field(invalid->body, "error").find("UTF-8"), std::string::npos) << invalid->body;
    for (const char* malformed : {"{\"player\": 5}", "[\"JO\"]", "{\"player\": \"JO\"} x"}) {
      const auto refused = client.Post("/api/sittings", malformed, "application/json");
      ASSERT_TRUE(refused) << malformed;
      EXPECT_EQ(refused->status, 400) << malformed;
    }
    // Right to left, EVIL would read LIVE; a zero-width space would make a second EVIL.
    for (const std::string& name : {std::string("\u202e"
                                                "evil\u200b"),
                                    std::string(4096, 'l')}) {
      const Issued sitting = issue(client, name);
      const fs::path home = folder / std::to_string(std::hash<std::string>()(name + where));
      fs::create_directories(home);
      Player player(sitting.seed, name, home, home / "t.txt");
      const std::string shown = player.playGame(50);
      ASSERT_EQ(submit(client, sitting, shown, player.recording()).status, 200) << where;
    }
    const std::string rows = tableRows(client);
    EXPECT_NE(rows.find("EVIL "), std::string::npos) << rows;
    EXPECT_NE(rows.find("\n" + std::string(15, 'L') + " "), std::string::npos) << rows;
    EXPECT_EQ(rows.find("\u202e"), std::string::npos) << rows;
  }
  // A row an older server kept with bytes that are no text and a tag, and a day's seed past 2^63.
  sqlite3* c = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &c), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(c,
                         "UPDATE scoreboard SET body = '\"B\xff"
                         "D</b>&\"' || char(13, 10) || '\"5\"'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const std::string day = server::dayOf(server::nowUs());
  EXPECT_EQ(sqlite3_exec(c, ("INSERT INTO days (day, seed) VALUES ('" + day + "', -2)").c_str(),
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(c);
  ServerProcess server({"--db", db.string()});
  auto client = server.client();
  const auto table = client.Get("/api/table");
  ASSERT_TRUE(table);
  EXPECT_FALSE(nlohmann::json::parse(table->body, nullptr, false).is_discarded()) << table->body;
  EXPECT_NE(table->body.find("\"B\uFFFDD\\u003c/b\\u003e\\u0026\""), std::string::npos)
      << table->body;
  const auto sitting =
      client.Post("/api/sittings", "{\"player\": \"JO\", \"cave\": \"today\"}", "application/json");
  ASSERT_TRUE(sitting);
  EXPECT_EQ(field(sitting->body, "seed"), "18446744073709551614") << sitting->body;
}

// Two servers on one PostgreSQL whose own clocks are an hour behind and an hour ahead agree on
// every sitting's age, by the database's clock: a short honest game issued by one is taken by the
// other, and a game longer than the time since its seed is refused by either.
// The test's own sanitizer options, and a preloaded library allowed before the runtime.
std::string sanitizerOptions() {
  const char* given = std::getenv("ASAN_OPTIONS");
  return std::string(given ? given : "") + ":verify_asan_link_order=0";
}

TEST(PostgresServers, AgreeOnTimeWhateverTheirClocks) {
  TempFolder folder;
  fs::create_directories(folder / "pg");
  Postgres postgres(folder / "pg");
  auto shifted = [&](const std::string& seconds) {
    return std::make_unique<ServerProcess>(
        std::vector<std::string>{"--db", postgres.url()},
        ServerProcess::Environment{{"LD_PRELOAD", SHIFTED_CLOCK},
                                   {"CAVEWING_CLOCK_SHIFT", seconds},
                                   // The sanitizers' runtime would refuse to come after it.
                                   {"ASAN_OPTIONS", sanitizerOptions()}});
  };
  const auto behind = shifted("-3600"), ahead = shifted("3600");
  int player = 0;
  auto sendAcross = [&](ServerProcess& from, ServerProcess& to, int readyTicks) {
    auto issuing = from.client(), checking = to.client();
    const Issued sitting = issue(issuing, "JANE");
    const fs::path home = folder / std::to_string(++player);
    fs::create_directories(home);
    Player jane(sitting.seed, "JANE", home, home / "t.txt");
    jane.tick(readyTicks);
    const std::string shown = jane.playGame(0);
    return submit(checking, sitting, shown, jane.recording());
  };
  EXPECT_EQ(sendAcross(*behind, *ahead, 0).status, 200);
  EXPECT_EQ(sendAcross(*ahead, *behind, 0).status, 200);
  for (ServerProcess* to : {ahead.get(), behind.get()}) {
    const Reply minute = sendAcross(*behind, *to, 64 * 60);
    EXPECT_EQ(minute.status, 403) << minute.body;
    EXPECT_NE(minute.body.find("game time"), std::string::npos) << minute.body;
  }
}

// The first cell of `sql`'s answer from the database at `where` (a SQLite file or PostgreSQL).
std::string firstCell(const std::string& where, const std::string& sql) {
  std::string cell = "no answer";
  if (where.rfind("postgresql://", 0) == 0) {
    PGconn* c = PQconnectdb(where.c_str());
    PGresult* r = PQexec(c, sql.c_str());
    if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0) cell = PQgetvalue(r, 0, 0);
    PQclear(r);
    PQfinish(c);
    return cell;
  }
  sqlite3* c = nullptr;
  sqlite3_open(where.c_str(), &c);
  sqlite3_busy_timeout(c, 10'000);
  sqlite3_exec(
      c, sql.c_str(),
      [](void* out, int, char** values, char**) {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 1;
      },
      &cell, nullptr);
  sqlite3_close(c);
  return cell;
}

// A sitting's recording is kept once, without comments, however often it is sent, and each game
// is watched as its submission had it; a refusal keeps its reason and a bounded, comment-free
// part of what was sent.
TEST_F(SqliteServer, DiskGrowsWithGamesNotBytesSent) {
  auto client = server->client();
  const std::string db = (folder / "scores.sqlite").string();
  const Issued sitting = issue(client, "JANE");
  fs::create_directories(folder / "jane");
  Player player(sitting.seed, "JANE", folder / "jane", folder / "t.txt");
  std::string notes;
  while (notes.size() < (3u << 20)) notes += "# " + std::string(1000, 'n') + "\n";
  auto padded = [&](std::string text) { return text.insert(text.find("events\n") + 7, notes); };
  std::vector<std::pair<std::string, std::string>> ranked;  // each game, and its recording
  for (int g = 0; g < 3; ++g) {
    const std::string shown = player.playGame(50 + 100 * g);
    const std::string text = player.recording();
    if (g == 2) {
      const Reply forged = submit(client, sitting, shown + "1", padded(text));
      EXPECT_EQ(forged.status, 422) << forged.body;
    }
    const Reply reply = submit(client, sitting, shown, padded(text));
    ASSERT_EQ(reply.status, 200) << reply.body;
    ranked.push_back({field(reply.body, "game"), text});
    player.again();
  }
  EXPECT_EQ(firstCell(db, "SELECT count(*) || ' ' || sum(length(body)) FROM recordings"),
            "1 " + std::to_string(ranked.back().second.size()));
  for (const auto& [game, text] : ranked)
    EXPECT_EQ(client.Get(("/api/games/" + game).c_str())->body, text);
  EXPECT_NE(firstCell(db, "SELECT reason FROM refused").find("shown score"), std::string::npos);
  EXPECT_EQ(firstCell(db,
                      "SELECT instr(body, '#') || ' ' || (length(body) <= 262144) || ' ' || "
                      "address FROM refused"),
            "0 1 127.0.0.1");
}

// Refusals keep the newest 64 of an address and 2,048 in all, on either database: many addresses
// fill the bound, and then one address floods it.
TEST(Refusals, KeepTheNewestWithinBoundsPerAddressAndInAll) {
  TempFolder folder;
  fs::create_directories(folder / "pg");
  Postgres postgres(folder / "pg");
  for (const std::string& where : {(folder / "scores.sqlite").string(), postgres.url()}) {
    const auto store = server::openStore(where);
    constexpr int Others = server::refusalsInAll + 200, Flood = 100;
    for (int i = 0; i < Others + Flood; ++i)
      store->keepApart({"s", i >= Others ? "flood" : "a" + std::to_string(i % 100),
                        "reason " + std::to_string(i), "body"});
    EXPECT_EQ(firstCell(where, "SELECT count(*) FROM refused WHERE address = 'flood'"),
              std::to_string(server::refusalsPerAddress))
        << where;
    const int othersKept = server::refusalsInAll - server::refusalsPerAddress;
    EXPECT_EQ(firstCell(where, "SELECT count(*) FROM refused WHERE address <> 'flood'"),
              std::to_string(othersKept))
        << where;
    EXPECT_EQ(firstCell(where, "SELECT reason FROM refused ORDER BY id LIMIT 1"),
              "reason " + std::to_string(Others - othersKept))
        << where;
  }
}

// A SQLite file and a PostgreSQL the test started, each with a folder of its own for what the
// players' desktops write.
struct BothDatabases {
  TempFolder folder;
  Postgres postgres{madeFolder(folder / "pg")};

  static fs::path madeFolder(const fs::path& path) {
    fs::create_directories(path);
    return path;
  }
  std::vector<std::string> places() const {
    return {(folder / "scores.sqlite").string(), postgres.url()};
  }
  fs::path folderOf(const std::string& where) const {
    return folder / (server::postgresUrl(where) ? "on-pg" : "on-sqlite");
  }
};

// The host takes a cheat's game off, on either database while the servers serve: the table is
// then the one the rules make of the other games in their order, the file the players' own
// desktops wrote without the cheat's, and the game and why it went are kept.
TEST(Operator, RemovesAGameAndTheTableIsRankedAgain) {
  BothDatabases dbs;
  auto& [folder, postgres] = dbs;
  for (const std::string& where : dbs.places()) {
    ServerProcess server({"--db", where, "--time-slack", "3600"});
    auto client = server.client();
    const fs::path place = dbs.folderOf(where);
    const fs::path honest = place / "honest.txt";
    std::string cheat;
    // Jane, the cheat, Bob with the cheat's name's neighbour's score, Jane again.
    for (const auto& [name, pilot] : std::vector<std::pair<std::string, int>>{
             {"JANE", 100}, {"CHEAT", 900}, {"BOB", 300}, {"JANE", 500}}) {
      const Issued sitting = issue(client, name);
      const fs::path home = place / (name + std::to_string(pilot));
      fs::create_directories(home);
      Player player(sitting.seed, name, home, name == "CHEAT" ? home / "own.txt" : honest);
      const std::string shown = player.playGame(pilot);
      const Reply reply = submit(client, sitting, shown, player.recording());
      ASSERT_EQ(reply.status, 200) << reply.body;
      if (name == "CHEAT") cheat = field(reply.body, "game");
    }
    ASSERT_NE(tableFile(client), fileText(honest));
    const std::string server_ = CAVEWING_SERVER;
    EXPECT_EQ(run({server_, "--db", where, "--remove-game", cheat}), 2);
    EXPECT_EQ(run({server_, "--db", where, "--remove-game", cheat, "--why", "a bot"}), 0);
    EXPECT_EQ(tableFile(client), fileText(honest)) << where;
    EXPECT_EQ(run({server_, "--db", where, "--remove-game", cheat, "--why", "again"}), 1);
    EXPECT_EQ(client.Get(("/api/games/" + cheat).c_str())->status, 200);
    EXPECT_EQ(firstCell(where, "SELECT why FROM removed"), "a bot");
  }
  // PostgreSQL's copy is pg_dump's, restored into another database that a server then serves.
  const std::string bin = "/usr/lib/postgresql/15/bin/", dump = (folder / "dump").string();
  const std::string restored = postgres.url().substr(0, postgres.url().rfind('/')) + "/restored";
  ASSERT_EQ(run({bin + "pg_dump", "-Fc", "-f", dump, postgres.url()}), 0);
  ASSERT_EQ(run({bin + "psql", postgres.url(), "-c", "CREATE DATABASE restored"}), 0);
  ASSERT_EQ(run({bin + "pg_restore", "-d", restored, dump}), 0);
  ServerProcess server({"--db", restored});
  auto client = server.client();
  EXPECT_EQ(tableFile(client), fileText(folder / "on-pg" / "honest.txt"));
}

// The operator's mistakes on the command line end the server with status 2 before it serves (a
// value out of bounds, a value missing, an unknown option), what it cannot do with 1 (a page
// folder, a database, an address); each says what was wrong. --help and --version are none.
TEST(Operator, MistakesOnTheCommandLineEndItSayingWhy) {
  const std::string server = CAVEWING_SERVER;
  const auto ran = [&](std::vector<std::string> words, int status) {
    words.insert(words.begin(), server);
    std::string said;
    EXPECT_EQ(run(words, &said), status) << words[1];
    return said;
  };
  EXPECT_EQ(ran({"--port", "70000"}, 2), "cavewing-server: bad value for --port: 70000\n");
  EXPECT_EQ(ran({"--workers", "0"}, 2), "cavewing-server: bad value for --workers: 0\n");
  EXPECT_EQ(ran({"--port"}, 2), "cavewing-server: option --port needs a value\n");
  EXPECT_EQ(ran({"--bogus"}, 2), "cavewing-server: unknown option: --bogus\n");
  TempFolder folder;
  const std::string missing = (folder / "no-such-page").string();
  EXPECT_EQ(ran({"--web", missing}, 1), "cavewing-server: cannot open the page's folder " +
                                            missing + ": No such file or directory\n");
  // What it cannot do ends it with 1 too: a database it cannot open, an address not its own, a
  // page the user it serves as cannot read.
  const std::string db = (folder / "t.sqlite").string();
  EXPECT_EQ(ran({"--db", missing + "/t.sqlite"}, 1).rfind("cavewing-server: cannot open ", 0), 0u);
  EXPECT_EQ(ran({"--db", db, "--listen", "192.0.2.1", "--port", "8080"}, 1),
            "cavewing-server: cannot listen on 192.0.2.1 port 8080\n");
  if (runningAsRoot()) {
    const fs::path web = folder / "page";
    fs::create_directories(web);
    std::ofstream(web / "index.html") << "<!doctype html>";
    fs::permissions(web / "index.html", fs::perms::owner_read, fs::perm_options::replace);
    EXPECT_EQ(
        ran({"--db", db, "--web", web.string()}, 1)
            .rfind("cavewing-server: cannot read " + web.string() + "/index.html as the user", 0),
        0u);
  }
  const std::string help = ran({"--help"}, 0);
  EXPECT_EQ(help.rfind("Usage: cavewing-server [OPTION]...\n", 0), 0u);
  // Every option it lists has its entry in the man page, which states the same default.
  const std::string man =
      std::regex_replace(fileText(CAVEWING_SERVER_MAN), std::regex(R"(\\-)"), "-");
  const std::regex option(R"(\n  (--[a-z-]+)([^\n]*))"), stated(R"(\(default (\d+))");
  int listed = 0;
  for (std::sregex_iterator o(help.begin(), help.end(), option), end; o != end; ++o, ++listed) {
    const std::string name = (*o)[1], line = (*o)[2];
    const auto at = man.find("\\fB" + name + "\\fR", man.find(".SH OPTIONS"));
    ASSERT_NE(at, std::string::npos) << name << " has no entry in the man page";
    const std::string described = man.substr(at, man.find("\n.", man.find('\n', at) + 1) - at);
    if (std::smatch value; std::regex_search(line, value, stated)) {
      EXPECT_TRUE(std::regex_search(described, std::regex("\\(([^)]* )?" + value[1].str() + "\\b")))
          << name << " (default " << value[1] << ") in the man page: " << described;
    }
  }
  EXPECT_GE(listed, 15);
  EXPECT_EQ(ran({"--version"}, 0), "cavewing-server " CAVEWING_VERSION "\n");
  // Each bound is a value of its own.
  EXPECT_EQ(ran({"--port", "65535", "--workers", "1024", "--queue", "0", "--time-slack", "0",
                 "--connections-per-address", "1", "--version"},
                0),
            "cavewing-server " CAVEWING_VERSION "\n");
}

// A request that waits for a replay holds a thread of its own: with the one verifier held up and
// its line full, the server still answers everything else (here, its counts).
TEST(Operator, RepliesWaitingInLineLeaveThreadsForTheRest) {
  TempFolder folder;
  ServerProcess server(
      {"--db", (folder / "scores.sqlite").string(), "--workers", "1", "--queue", "20"});
  auto client = server.client();
  const Issued sitting = issue(client, "JANE");
  fs::create_directories(folder / "jane");
  Player player(sitting.seed, "JANE", folder / "jane", folder / "Cavewing.txt");
  const std::string shown = player.playGame(100);
  const std::string recording = player.recording();
  ASSERT_FALSE(server.signalVerifiers(SIGSTOP).empty());
  std::vector<std::future<Reply>> waiting;
  httplib::Client counts("127.0.0.1", server.port());
  counts.set_read_timeout(2, 0);
  const auto inLine = [&](std::size_t n) {
    const auto res = counts.Get("/metrics");
    return res &&
           res->body.find("cavewing_queue_length " + std::to_string(n) + "\n") != std::string::npos;
  };
  bool answered = true;
  for (std::size_t n = 1; n <= 21 && answered; ++n) {
    waiting.push_back(std::async(std::launch::async, [&] {
      auto c = server.client();
      return submit(c, sitting, shown, recording);
    }));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(answered = inLine(n)) && std::chrono::steady_clock::now() < deadline) continue;
    EXPECT_TRUE(answered) << "no answer with " << n << " waiting";
  }
  server.signalVerifiers(SIGCONT);
  std::set<int> statuses;
  for (auto& reply : waiting) statuses.insert(reply.get().status);
  EXPECT_EQ(statuses, (std::set<int>{200, 409})) << "one ranked, the same game again refused";
}

// A database of the first version is brought up to this one and loses nothing: its table, its
// games each with its own recording, its refusals; and it is copied while a server serves, the
// copy serving the same.
TEST(Operator, MigratesAndBacksUpLosingNothing) {
  TempFolder folder;
  const std::string db = (folder / "old.sqlite").string();
  sqlite3* c = nullptr;
  ASSERT_EQ(sqlite3_open(db.c_str(), &c), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(c, R"(
CREATE TABLE sittings (id TEXT PRIMARY KEY, seed INTEGER NOT NULL, player TEXT NOT NULL,
  issued_us INTEGER NOT NULL, games_ranked INTEGER NOT NULL DEFAULT 0, recording INTEGER);
CREATE TABLE recordings (id INTEGER PRIMARY KEY, sitting TEXT NOT NULL, body TEXT NOT NULL,
  received_us INTEGER NOT NULL);
CREATE TABLE games (id TEXT PRIMARY KEY, sitting TEXT NOT NULL, number INTEGER NOT NULL,
  recording INTEGER NOT NULL, player TEXT NOT NULL, shown TEXT NOT NULL, score INTEGER NOT NULL,
  ranked_us INTEGER NOT NULL, UNIQUE (sitting, number));
CREATE TABLE scoreboard (id INTEGER PRIMARY KEY CHECK (id = 1), body TEXT NOT NULL,
  games TEXT NOT NULL);
CREATE TABLE refused (id INTEGER PRIMARY KEY, sitting TEXT NOT NULL, reason TEXT NOT NULL,
  body TEXT NOT NULL, received_us INTEGER NOT NULL);
INSERT INTO sittings VALUES ('s1', 5, 'OLD', 1000, 2, 2);
INSERT INTO recordings VALUES (1, 's1', 'the first recording', 2000), (2, 's1', 'the second', 3000);
INSERT INTO games VALUES ('aa', 's1', 0, 1, 'OLD', '80', 80, 2000),
  ('bb', 's1', 1, 2, 'OLD', '120', 120, 3000);
INSERT INTO scoreboard VALUES (1, '"OLD"' || char(13, 10) || '"120"' || char(13, 10), 'bb');
INSERT INTO refused VALUES (1, 's1', 'the shown score 9 is not the replay''s, 8', 'kept', 2500);
)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(c);
  fs::permissions(db, fs::perms::all);  // for the user the server becomes
  {
    ServerProcess server({"--db", db});
    auto client = server.client();
    EXPECT_EQ(tableRows(client), "OLD 120\n");
    EXPECT_EQ(client.Get("/api/games/aa")->body, "the first recording");
    EXPECT_EQ(firstCell(db, "SELECT reason || body FROM refused"),
              "the shown score 9 is not the replay's, 8kept");
    EXPECT_EQ(firstCell(db, "PRAGMA user_version"), "3");
    const std::string backup = (folder / "copy.sqlite").string();
    ASSERT_EQ(run({CAVEWING_SERVER, "--db", db, "--backup", backup}), 0);
    // The older game is ranked again in its time's order once the newer one is taken off.
    ASSERT_EQ(run({CAVEWING_SERVER, "--db", backup, "--remove-game", "bb", "--why", "test"}), 0);
    ServerProcess restored({"--db", backup});
    auto restoredClient = restored.client();
    EXPECT_EQ(tableRows(restoredClient), "OLD 80\n");
    EXPECT_EQ(restoredClient.Get("/api/games/bb")->body, "the second");
  }
}

// Today's cave, on either database: every player that day flies one seed, the first game of each
// sitting ranks on the day's own table as the file rules rank it (and not on the all-time one),
// a sitting's later game is kept but not ranked, and a day past stays readable by its date.
TEST(TodaysCave, OneSeedADayAndItsOwnTable) {
  BothDatabases dbs;
  for (const std::string& where : dbs.places()) {
    ServerProcess server({"--db", where, "--time-slack", "3600"});
    auto client = server.client();
    const fs::path place = dbs.folderOf(where);
    const fs::path dayFile = place / "today.txt";
    auto today = [&](const std::string& name) {
      const auto res =
          client.Post("/api/sittings", "{\"player\": \"" + name + "\", \"cave\": \"today\"}",
                      "application/json");
      EXPECT_EQ(field(res->body, "cave"), "today") << res->body;
      EXPECT_EQ(field(res->body, "day"), server::dayOf(server::nowUs())) << res->body;
      return Issued{field(res->body, "sitting"), std::stoull(field(res->body, "seed"))};
    };
    const Issued jane = today("JANE"), bob = today("BOB");
    EXPECT_EQ(jane.seed, bob.seed);
    std::vector<std::unique_ptr<Player>> players;
    std::string bobsGame;
    for (const auto& [sitting, name, pilot] :
         {std::tuple{jane, "JANE", 100}, std::tuple{bob, "BOB", 300}}) {
      fs::create_directories(place / name);
      players.push_back(std::make_unique<Player>(sitting.seed, name, place / name, dayFile));
      const std::string shown = players.back()->playGame(pilot);
      const Reply reply = submit(client, sitting, shown, players.back()->recording());
      ASSERT_EQ(reply.status, 200) << reply.body;
      EXPECT_NE(field(reply.body, "rank"), "null") << reply.body;
      bobsGame = field(reply.body, "game");
    }
    const std::string dayTable = fileText(dayFile);
    EXPECT_EQ(client.Get("/api/table?cave=today&format=file")->body, dayTable) << where;
    EXPECT_EQ(tableRows(client), "");
    // Jane plays on in her sitting, better (the cave goes on where her first game left it).
    players.front()->again();
    const std::string shown = players.front()->playGame(900);
    const Reply second = submit(client, jane, shown, players.front()->recording());
    ASSERT_EQ(second.status, 200) << second.body;
    EXPECT_EQ(field(second.body, "rank"), "null") << second.body;
    EXPECT_NE(second.body.find("\"ranked\":false"), std::string::npos) << second.body;
    EXPECT_EQ(client.Get("/api/table?cave=today&format=file")->body, dayTable) << where;
    EXPECT_EQ(client.Get(("/api/games/" + field(second.body, "game")).c_str())->status, 200);
    // The day is past: its table stays readable by its date, and today has a seed of its own.
    firstCell(where, "UPDATE days SET day = '2024-02-29'; UPDATE sittings SET day = '2024-02-29'");
    EXPECT_EQ(client.Get("/api/table?cave=2024-02-29&format=file")->body, dayTable) << where;
    EXPECT_EQ(client.Get("/api/table?cave=today")->body, "[]");
    EXPECT_NE(today("JANE").seed, jane.seed);
    for (const char* malformed : {"2023-02-29", "2024-2-29", "yesterday", "2024-02-29x"})
      EXPECT_EQ(client.Get(std::string("/api/table?cave=") + malformed)->status, 400) << malformed;
    // A game taken off leaves its own day's table, and the all-time one as it was.
    ASSERT_EQ(run({CAVEWING_SERVER, "--db", where, "--remove-game", bobsGame, "--why", "a bot"}),
              0);
    EXPECT_EQ(client.Get("/api/table?cave=2024-02-29")->body.find("BOB"), std::string::npos);
    EXPECT_NE(client.Get("/api/table?cave=2024-02-29")->body.find("JANE"), std::string::npos);
    EXPECT_EQ(tableRows(client), "");
  }
}

}  // namespace
