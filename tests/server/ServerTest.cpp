// SPDX-License-Identifier: MIT
// The score server as a host runs it: a real process on a free loopback port, SQLite or a real
// PostgreSQL, and players whose sittings the cabinet records with the seeds the server issued.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <regex>
#include <thread>

#include "Player.h"
#include "ServerProcess.h"

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
// work cost no game either: each is replaced before it is handed one.
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
}

// What a host exposes: a server started as root serves as nobody; the page's folder is served
// compressed where the browser accepts it, with cache headers, and nothing else is; one address
// cannot ask for sittings without end.
TEST_F(SqliteServer, ServesThePageAndNothingElseAsNobody) {
  if (runningAsRoot()) {
    std::ifstream status("/proc/" + std::to_string(server->pid()) + "/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("Uid:", 0) != 0) {
    }
    EXPECT_EQ(line.find("\t0\t"), std::string::npos) << line;
    EXPECT_NE(line, "");
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
  // A page the user it serves as cannot read is said at once, and the server does not start.
  if (runningAsRoot()) {
    fs::permissions(web / "index.html", fs::perms::owner_read, fs::perm_options::replace);
    EXPECT_THROW(
        ServerProcess({"--db", (folder / "unread.sqlite").string(), "--web", web.string()}),
        std::runtime_error);
    fs::permissions(web / "index.html", fs::perms::owner_read | fs::perms::others_read);
  }
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

}  // namespace
