// SPDX-License-Identifier: MIT
// The server's HTTP face against hostile and careless clients: slow and idle connections, bodies
// announced and never sent, framings past the bound, the operator's log, health and counts.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <regex>

#include "ServerProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

// A raw connection from `from` (a loopback address) to the server.
class Raw {
public:
  Raw(int port, const std::string& from = "127.0.0.1") {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~Raw() { ::close(fd_); }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;

  bool connected() const { return connected_; }
  bool send(const std::string& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  }
  // What the server answers within `seconds` (until it closes, or a whole answer came).
  std::string answer(double seconds = 5) {
    std::string got;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  static std::string status(const std::string& answer) { return answer.substr(0, 12); }

private:
  int fd_ = -1;
  bool connected_ = false;
};

void raiseOpenFiles() {
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6));
  return 0;
}

const std::string Post = "POST /api/sittings/ab/games?score=1 HTTP/1.1\r\nHost: t\r\n";

class Http : public ::testing::Test {
protected:
  TempFolder folder;
  std::unique_ptr<ServerProcess> server;
  void start(std::vector<std::string> extra = {}) {
    std::vector<std::string> options = {"--db", (folder / "scores.sqlite").string()};
    options.insert(options.end(), extra.begin(), extra.end());
    server = std::make_unique<ServerProcess>(options);
  }
};

// Hundreds of connections that send nothing, a head a byte at a time, or announce 30 MiB and
// stall: an honest player is answered at once, the server's memory follows the bytes it was
// sent, one address gets only so many connections (32 unless told), and a slow head is cut off
// at its deadline.
TEST_F(Http, SlowClientsCannotSilenceIt) {
  raiseOpenFiles();
  start({"--connections-per-address", "30"});
  std::vector<std::unique_ptr<Raw>> slow;
  for (int i = 0; i < 600; ++i) {
    auto c = std::make_unique<Raw>(server->port(), "127.0.0." + std::to_string(2 + i % 20));
    ASSERT_TRUE(c->connected()) << i;
    if (i % 3 == 1) c->send("GET /api/ta");
    if (i % 3 == 2) c->send(Post + "Content-Length: 31457280\r\n\r\n" + std::string(1000, 'x'));
    slow.push_back(std::move(c));
  }
  const auto asked = Clock::now();
  auto client = server->client();
  const auto table = client.Get("/api/table");
  ASSERT_TRUE(table);
  EXPECT_EQ(table->status, 200);
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(1));
  EXPECT_LT(residentKiB(server->pid()), 64u << 10);
  // The 31st connection from one address is turned away, and told when to come back.
  Raw over(server->port(), "127.0.0.2");
  const std::string refused = over.answer();
  EXPECT_EQ(Raw::status(refused), "HTTP/1.1 429");
  EXPECT_NE(refused.find("Retry-After:"), std::string::npos);
  // A head still unfinished after its deadline is answered 408 and closed.
  EXPECT_EQ(Raw::status(slow[1]->answer(12)), "HTTP/1.1 408");
  // Unless told otherwise, the server lets an address have 32.
  slow.clear();
  start();
  for (int i = 0; i < 32; ++i) slow.push_back(std::make_unique<Raw>(server->port(), "127.0.0.2"));
  EXPECT_EQ(slow.back()->answer(0.3), "") << "the 32nd is kept open";
  EXPECT_EQ(Raw::status(Raw(server->port(), "127.0.0.2").answer()), "HTTP/1.1 429");
}

// Bodies held at once are bounded for all connections together: past the bound, 503 with
// Retry-After, and the memory stays near the bound.
TEST_F(Http, BoundsTheBytesInFlight) {
  raiseOpenFiles();
  start();
  std::vector<std::unique_ptr<Raw>> senders;
  int busy = 0;
  for (int i = 0; i < 24; ++i) {
    auto c = std::make_unique<Raw>(server->port(), "127.0.0." + std::to_string(2 + i));
    c->send(Post + "Content-Length: 31457280\r\n\r\n");
    c->send(std::string(4 << 20, 'x'));
    senders.push_back(std::move(c));
  }
  for (auto& c : senders) {
    const std::string got = c->answer(0.3);
    if (Raw::status(got) == "HTTP/1.1 503") busy += got.find("Retry-After:") != std::string::npos;
  }
  EXPECT_GT(busy, 0);
#ifndef __SANITIZE_ADDRESS__
  // (The address sanitizer's shadow and quarantine make memory no measure of it.)
  EXPECT_LT(residentKiB(server->pid()), 160u << 10);
#endif
}

// What a client's framing can ask is answered at once: a length past the bound, a chunked body
// past it, a request with no body; a score is one plain decimal given once.
TEST_F(Http, AnswersFramingAtOnce) {
  start();
  const auto asked = Clock::now();
  for (const char* length : {"1000000000000", "-1", "33554433"}) {
    Raw c(server->port());
    c.send(Post + "Content-Length: " + length + "\r\n\r\n");
    EXPECT_EQ(Raw::status(c.answer()), "HTTP/1.1 413") << length;
  }
  Raw chunked(server->port());
  chunked.send(Post + "Transfer-Encoding: chunked\r\n\r\n");
  for (int i = 0; i < 40 && chunked.send("100000\r\n" + std::string(1 << 20, 'x') + "\r\n"); ++i) {
  }
  EXPECT_EQ(Raw::status(chunked.answer()), "HTTP/1.1 413");
  Raw put(server->port());
  put.send("PUT /api/sittings HTTP/1.1\r\nHost: t\r\n\r\n");
  EXPECT_EQ(Raw::status(put.answer(1)), "HTTP/1.1 405");
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(5));
  auto client = server->client();
  for (const char* score : {"0482", "1&score=1", "%2B1", "1e3", ""}) {
    const auto res = client.Post((std::string("/api/sittings/ab/games?score=") + score).c_str(),
                                 "x", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400) << score;
    EXPECT_NE(res->body.find("plain decimal"), std::string::npos) << score;
  }
}

// What an operator sees: the log line of each request, with a refusal's reason, counts in
// Prometheus' form, and health that follows the database.
TEST_F(Http, ShowsItsLogHealthAndCounts) {
  TempFolder db;
  auto postgres = std::make_unique<Postgres>(db.path());
  server = std::make_unique<ServerProcess>(std::vector<std::string>{"--db", postgres->url()},
                                           ServerProcess::Environment{}, folder / "log");
  auto client = server->client();
  const auto health = client.Get("/api/health");
  ASSERT_TRUE(health);
  EXPECT_EQ(health->status, 200);
  EXPECT_NE(health->body.find("\"queue\":0"), std::string::npos);
  client.Post("/api/sittings/ab/games?score=01", "x", "text/plain");
  const auto metrics = client.Get("/metrics");
  EXPECT_NE(metrics->body.find("cavewing_refusals_total{reason=\"unreadable\"} 1"),
            std::string::npos)
      << metrics->body;
  EXPECT_NE(metrics->body.find("cavewing_requests_total{route=\"/api/health\",status=\"200\"} 1"),
            std::string::npos);
  const std::regex line(
      R"(\n[0-9-]+T[0-9:]+Z 127\.0\.0\.1 POST /api/sittings/ab/games 400 [0-9]+ ms )"
      R"(refused: the score must be)");
  EXPECT_TRUE(std::regex_search("\n" + fileText(folder / "log"), line)) << fileText(folder / "log");
  postgres.reset();
  EXPECT_EQ(client.Get("/api/health")->status, 503);
}

// Debian's nginx in front, with the shipped site: each player behind it keeps a limit of their
// own, which a forged X-Forwarded-For neither escapes through the proxy nor reaches around it;
// games sent have a limit apart from sittings begun.
TEST_F(Http, TakesThePlayerFromTheTrustedProxyOnly) {
  start({"--sittings-per-minute", "2", "--games-per-minute", "1", "--trusted-proxy", "127.0.0.1"});
  const int port = freePort();
  std::string site = fileText(CAVEWING_NGINX_SITE);
  site = std::regex_replace(site, std::regex("listen 80;"),
                            "listen 127.0.0.1:" + std::to_string(port) + ";");
  site = std::regex_replace(site, std::regex("listen \\[::\\]:80;"), "");
  site = std::regex_replace(site, std::regex("127\\.0\\.0\\.1:8080"),
                            "127.0.0.1:" + std::to_string(server->port()));
  std::ofstream(folder / "site.conf") << site;
  const std::string f = folder.path().string();
  std::ofstream(folder / "nginx.conf")
      << "daemon off; pid " << f << "/nginx.pid; error_log " << f << "/error.log;\n"
      << "events {}\nhttp { access_log off; client_body_temp_path " << f
      << "/body; proxy_temp_path " << f << "/proxy;\ninclude " << f << "/site.conf; }\n";
  const pid_t nginx = ::fork();
  if (nginx == 0) {
    ::execl("/usr/sbin/nginx", "nginx", "-c", (folder / "nginx.conf").c_str(), "-e",
            (folder / "error.log").c_str(), nullptr);
    ::_exit(127);
  }
  struct Stop {
    pid_t pid;
    ~Stop() {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  } stop{nginx};
  auto sitting = [](int to, const std::string& from, const std::string& forwarded) {
    Raw c(to, from);
    c.send("POST /api/sittings HTTP/1.1\r\nHost: t\r\nConnection: close\r\nX-Forwarded-For: " +
           forwarded + "\r\nContent-Length: 15\r\n\r\n{\"player\":\"JO\"}");
    return Raw::status(c.answer()).substr(9, 3);
  };
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  while (!Raw(port).connected() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(sitting(port, "127.0.0.2", "10.0.0." + std::to_string(i)), i < 2 ? "200" : "429")
        << i;
  EXPECT_EQ(sitting(port, "127.0.0.3", "127.0.0.2"), "200");
  // Around the proxy, the header is only the client's claim.
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(sitting(server->port(), "127.0.0.4", "10.0.1." + std::to_string(i)),
              i < 2 ? "200" : "429")
        << i;
  // Games sent keep a limit of their own.
  for (int i = 0; i < 2; ++i) {
    Raw game(server->port(), "127.0.0.5");
    game.send(Post + "Connection: close\r\nContent-Length: 1\r\n\r\nx");
    EXPECT_EQ(Raw::status(game.answer()) == "HTTP/1.1 429", i == 1) << i;
  }
}

}  // namespace
