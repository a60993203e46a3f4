// SPDX-License-Identifier: MIT
// What one server does with real games: CLIENTS clients on loopback each send GAMES sittings of one
// game of up to two minutes, flown by the demo's pilot with seeds the server issued, once alone
// and once with a hostile recording of a million events in the mix; for SQLite with one server,
// then PostgreSQL with two. Prints verified games per second of the servers' processor time
// (theirs and their verifying processes'), the latency's median and 99th percentile, what the
// bench's own clients and PostgreSQL spent on the same processors meanwhile, and checks that no
// ranking was lost. Then, on SQLite, honest players' latency with 1,000 slow connections open,
// and the server's memory with 64 connections that announced 30 MiB bodies and stalled.
//
//   cavewing_server_bench SERVER [CLIENTS] [GAMES]
#include <arpa/inet.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "Player.h"
#include "ServerProcess.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sent {
  std::string sitting, shown, recording, player;
};

std::string field(const std::string& json, const std::string& name) {
  const auto at = json.find("\"" + name + "\":");
  if (at == std::string::npos) return {};
  auto from = at + name.size() + 3;
  if (json[from] == '"') ++from;
  return json.substr(from, json.find_first_of("\",}", from) - from);
}

// The processor time a server has spent, with its verifying processes (those running, and
// those it has waited for).
double cpuSeconds(pid_t server) {
  double ticks = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    if (text.empty()) continue;
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::vector<std::string> words;
    for (std::string word; words.size() < 15 && rest >> word;) words.push_back(word);
    if (words.size() < 15) continue;
    const pid_t pid = std::atoi(entry.path().filename().c_str());
    const pid_t parent = std::atoi(words[1].c_str());
    if (pid != server && parent != server) continue;
    // utime, stime, and for the server its children's it waited for
    ticks += std::stod(words[11]) + std::stod(words[12]);
    if (pid == server) ticks += std::stod(words[13]) + std::stod(words[14]);
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The games: each client's sittings issued (alternately by each server), then flown.
std::vector<std::vector<Sent>> prepare(const std::vector<ServerProcess*>& servers, int clients,
                                       int games, const fs::path& folder) {
  std::vector<std::vector<Sent>> all(static_cast<std::size_t>(clients));
  for (int c = 0; c < clients; ++c) {
    const std::string name = "C" + std::to_string(100 + c);
    for (int g = 0; g < games; ++g) {
      auto client = servers[static_cast<std::size_t>(g) % servers.size()]->client();
      const auto res =
          client.Post("/api/sittings", "{\"player\":\"" + name + "\"}", "application/json");
      if (!res || res->status != 200) throw std::runtime_error("no sitting issued");
      const fs::path place = folder / (name + "-" + std::to_string(g));
      fs::create_directories(place);
      Player player(std::stoull(field(res->body, "seed")), name, place, place / "table.txt");
      const std::string shown = player.playGame(64 * 120);
      all[static_cast<std::size_t>(c)].push_back(
          {field(res->body, "sitting"), shown, player.recording(), name});
      fs::remove_all(place);
    }
  }
  return all;
}

// A sitting of a million events over an hour of game time: the most the server lets through to
// a replay.
Sent hostile(ServerProcess& server) {
  auto client = server.client();
  const auto res = client.Post("/api/sittings", "{\"player\":\"HOSTILE\"}", "application/json");
  std::string text = "cavewing-replay 2\nsystem-tick-us 15625\ngenerator splitmix64 " +
                     field(res->body, "seed") + "\nouter-width 15360\nplayer \"HOSTILE\"\nevents\n";
  for (int i = 0; i < 1'000'000; ++i)
    text +=
        std::to_string(i / 5) + (i % 2 ? " up form 1 0 7620 5415\n" : " down form 1 0 7620 5415\n");
  text += "end 200000\n";
  return {field(res->body, "sitting"), "0", text, "HOSTILE"};
}

struct Run {
  double seconds = 0, cpu = 0, median = 0, p99 = 0;
  double clientsCpu = 0, databaseCpu = 0;  // what the bench's clients and PostgreSQL spent
  int ranked = 0, refused = 0;
};

// This process's processor time: its clients' sending and reading, on the servers' processors.
double ownCpuSeconds() {
  rusage used{};
  getrusage(RUSAGE_SELF, &used);
  return static_cast<double>(used.ru_utime.tv_sec + used.ru_stime.tv_sec) +
         static_cast<double>(used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
}

Run send(const std::vector<ServerProcess*>& servers, const std::vector<std::vector<Sent>>& all,
         const Sent* extra, pid_t database) {
  std::vector<double> latencies;
  std::mutex mutex;
  std::atomic<int> ranked = 0, refused = 0;
  double cpuBefore = 0;
  for (auto* s : servers) cpuBefore += cpuSeconds(s->pid());
  const double clientsBefore = ownCpuSeconds();
  const double databaseBefore = database > 0 ? cpuSeconds(database) : 0;
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  Clock::time_point lastReal = start;
  for (std::size_t c = 0; c < all.size(); ++c)
    threads.emplace_back([&, c] {
      auto client = servers[c % servers.size()]->client();
      for (const Sent& s : all[c]) {
        const auto t0 = Clock::now();
        const auto res =
            client.Post(("/api/sittings/" + s.sitting + "/games?score=" + s.shown).c_str(),
                        s.recording, "text/plain");
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        (res && res->status == 200 ? ranked : refused)++;
        std::lock_guard lock(mutex);
        latencies.push_back(ms);
        lastReal = std::max(lastReal, Clock::now());
      }
    });
  if (extra)
    threads.emplace_back([&] {
      // The hostile client stands for another machine: its sending takes only the processors
      // the others leave, so that what is measured is what the server spends on it.
      setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
      auto client = servers[0]->client();
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      const auto res = client.Post(("/api/sittings/" + extra->sitting + "/games?score=0").c_str(),
                                   extra->recording, "text/plain");
      std::cout << "  hostile recording ("
                << std::chrono::duration<double>(Clock::now() - start).count()
                << " s): " << (res ? res->status : 0) << " "
                << (res ? res->body.substr(0, 100) : "") << "\n";
    });
  for (auto& t : threads) t.join();
  Run run;
  run.seconds = std::chrono::duration<double>(lastReal - start).count();
  for (auto* s : servers) run.cpu += cpuSeconds(s->pid());
  run.cpu -= cpuBefore;
  run.clientsCpu = ownCpuSeconds() - clientsBefore;
  if (database > 0) run.databaseCpu = cpuSeconds(database) - databaseBefore;
  std::sort(latencies.begin(), latencies.end());
  run.median = latencies[latencies.size() / 2];
  run.p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
  run.ranked = ranked;
  run.refused = refused;
  return run;
}

void report(const char* what, const Run& r) {
  std::printf(
      "  %-28s %5d ranked %3d refused  %6.1f games/s  %6.1f games per CPU-second  "
      "median %6.1f ms  p99 %6.1f ms\n",
      what, r.ranked, r.refused, r.ranked / r.seconds, r.ranked / r.cpu, r.median, r.p99);
  std::printf("  %-28s servers %.2f CPU-s, the bench's clients %.2f CPU-s", "", r.cpu,
              r.clientsCpu);
  if (r.databaseCpu > 0) std::printf(", PostgreSQL %.2f CPU-s", r.databaseCpu);
  std::printf("\n");
}

// Every player's best game holds the player's row: no ranking was lost on the way.
bool nothingLost(ServerProcess& server, const std::vector<std::vector<std::vector<Sent>>>& runs) {
  std::map<std::string, long long> best;
  for (const auto& all : runs)
    for (const auto& games : all)
      for (const Sent& s : games) best[s.player] = std::max(best[s.player], std::stoll(s.shown));
  auto client = server.client();
  const auto table = client.Get("/api/table");
  int rows = 0;
  bool ok = true;
  for (std::size_t at = 0; (at = table->body.find("{\"name\":", at)) != std::string::npos; ++at) {
    const std::string row = table->body.substr(at, table->body.find('}', at) - at);
    const std::string name = field(row, "name");
    ++rows;
    if (name != "HOSTILE" && best[name] != std::stoll(field(row, "score"))) ok = false;
  }
  return ok && rows == static_cast<int>(std::min<std::size_t>(15, best.size()));
}

int bench(const char* title, const std::vector<ServerProcess*>& servers, int clients, int games,
          const fs::path& folder, pid_t database = -1) {
  std::cout << title << "\n";
  const auto before = Clock::now();
  // A few games first, not measured: both measured runs find the servers and the database warm
  // (their connections and caches), so that neither pays for starting up.
  const auto warm = prepare(servers, clients, 2, folder);
  const auto quiet = prepare(servers, clients, games, folder);
  const auto mixed = prepare(servers, clients, games, folder);
  double flight = 0;
  for (const auto& sittings : quiet)
    for (const Sent& s : sittings) flight += 0.05 * std::stod(s.shown);  // a point every 50 ms
  std::cout << "  games flown in " << std::chrono::duration<double>(Clock::now() - before).count()
            << " s; a game flew " << flight / (clients * games) << " s on average\n";
  const Run warmUp = send(servers, warm, nullptr, database);
  const Sent extra = hostile(*servers[0]);
  const Run alone = send(servers, quiet, nullptr, database);
  report("real games only", alone);
  const Run withHostile = send(servers, mixed, &extra, database);
  report("with the hostile recording", withHostile);
  std::printf("  the hostile recording lifted the median by %.0f %%\n",
              100 * (withHostile.median / alone.median - 1));
  const bool kept = nothingLost(*servers[0], {warm, quiet, mixed}) && warmUp.refused == 0 &&
                    alone.refused == 0 && withHostile.refused == 0;
  std::cout << "  rankings lost: " << (kept ? "none" : "SOME") << "\n";
  return kept ? 0 : 1;
}

// A connection from a loopback address other than the honest players', with a first part of a
// request sent: nothing, a head begun, or a head that announces a 30 MiB body and a little of it.
int slowConnection(int port, int index) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{}, to{};
  local.sin_family = to.sin_family = AF_INET;
  const std::string from = "127.0.0." + std::to_string(2 + index % 40);
  ::inet_pton(AF_INET, from.c_str(), &local.sin_addr);
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(fd);
    return -1;
  }
  static const std::string
      begun = "GET /api/ta",
      announced =
          "POST /api/sittings/ab/games?score=1 HTTP/1.1\r\nContent-Length: 31457280\r\n\r\nxx";
  const std::string& first = index % 3 == 1 ? begun : announced;
  if (index % 3 != 0) [[maybe_unused]]
    auto n = ::send(fd, first.data(), first.size(), MSG_NOSIGNAL);
  return fd;
}

// 1,000 slow connections kept open until `done`: a third idle, the others sending a byte of their
// head or body every two seconds; one the server has closed (past its deadline) is opened again.
void holdSlow(int port, std::atomic<bool>& done, std::atomic<int>& open) {
  std::vector<int> fds(1000, -1);
  while (!done) {
    int count = 0;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      pollfd p{fds[i], POLLIN, 0};
      if (fds[i] >= 0 && ::poll(&p, 1, 0) > 0) {
        ::close(fds[i]);
        fds[i] = -1;
      }
      if (fds[i] < 0) fds[i] = slowConnection(port, static_cast<int>(i));
      if (fds[i] >= 0 && i % 3 != 0) [[maybe_unused]]
        auto n = ::send(fds[i], "x", 1, MSG_NOSIGNAL);
      count += fds[i] >= 0;
    }
    open = count;
    for (int i = 0; i < 20 && !done; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (const int fd : fds)
    if (fd >= 0) ::close(fd);
}

std::pair<double, double> medianP99(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// Honest players' table requests and submissions, timed, while 1,000 slow connections hang on.
int underSlowClients(ServerProcess& server, int clients, const fs::path& folder) {
  std::cout << "SQLite, one server, 1,000 slow connections open\n";
  const auto games = prepare({&server}, clients, 10, folder);
  std::atomic<bool> done = false;
  std::atomic<int> open = 0;
  std::thread slow([&] { holdSlow(server.port(), done, open); });
  while (open < 1000) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::vector<double> tables, submissions;
  std::mutex mutex;
  std::atomic<int> failed = 0;
  std::vector<std::thread> players;
  for (const auto& sittings : games)
    players.emplace_back([&, sittings] {
      auto client = server.client();
      for (const Sent& s : sittings) {
        auto t0 = Clock::now();
        const auto table = client.Get("/api/table");
        const double tableMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        t0 = Clock::now();
        const auto res =
            client.Post(("/api/sittings/" + s.sitting + "/games?score=" + s.shown).c_str(),
                        s.recording, "text/plain");
        const double gameMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        failed += !table || table->status != 200 || !res || res->status != 200;
        std::lock_guard lock(mutex);
        tables.push_back(tableMs);
        submissions.push_back(gameMs);
      }
    });
  for (auto& p : players) p.join();
  const int stillOpen = open;
  done = true;
  slow.join();
  const auto [tableMedian, tableP99] = medianP99(tables);
  const auto [gameMedian, gameP99] = medianP99(submissions);
  std::printf(
      "  %d slow connections open; GET /api/table median %.1f ms p99 %.1f ms; "
      "submission median %.1f ms p99 %.1f ms; %d not answered 200\n",
      stillOpen, tableMedian, tableP99, gameMedian, gameP99, failed.load());
  return failed == 0 && tableP99 <= 250 && gameP99 <= 250 ? 0 : 1;
}

std::size_t residentKiB(pid_t pid, const char* which) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(which, 0) == 0) return std::stoul(line.substr(std::string(which).size()));
  return 0;
}

// 64 connections announce 30 MiB bodies, send 2 MiB of each and stall.
int stalledAnnouncements(ServerProcess& server) {
  std::cout << "SQLite, one server, 64 stalled 30 MiB announcements\n";
  const std::size_t before = residentKiB(server.pid(), "VmRSS:");
  std::vector<int> fds;
  const std::string part(2 << 20, 'x');
  for (int i = 0; i < 64; ++i) {
    const int fd = slowConnection(server.port(), 3 * i + 2);
    if (fd < 0) continue;
    [[maybe_unused]] const auto n =
        ::send(fd, part.data(), part.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    fds.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));
  int busy = 0;
  for (const int fd : fds) {
    char head[16] = {};
    busy += ::recv(fd, head, sizeof head - 1, MSG_DONTWAIT) > 0 &&
            std::string(head).find(" 503") != std::string::npos;
  }
  const std::size_t peak = residentKiB(server.pid(), "VmHWM:");
  for (const int fd : fds) ::close(fd);
  std::printf("  resident memory %.1f MiB before, %.1f MiB at most (%d of %zu refused 503)\n",
              static_cast<double>(before) / 1024, static_cast<double>(peak) / 1024, busy,
              fds.size());
  return peak <= (256u << 10) ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::cout << std::unitbuf;
  if (argc < 2) {
    std::cerr << "usage: cavewing_server_bench SERVER [CLIENTS] [GAMES]\n";
    return 2;
  }
  const int clients = argc > 2 ? std::atoi(argv[2]) : 16;
  const int games = argc > 3 ? std::atoi(argv[3]) : 50;
  std::cout << clients << " clients x " << games << " games of up to two minutes, "
            << std::thread::hardware_concurrency() << " processors\n";
  const std::vector<std::string> common = {
      "--time-slack", "3600", "--sittings-per-minute", "1e6", "--games-per-minute", "1e6"};
  // A thousand slow connections and the honest players' are this process's files.
  rlimit files{};
  ::getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &files);
  int failed = 0;
  {
    TempFolder folder;
    auto options = common;
    options.insert(options.end(), {"--db", (folder / "scores.sqlite").string()});
    ServerProcess server(options, {}, "/dev/null");
    failed |= underSlowClients(server, clients, folder.path());
  }
  {
    TempFolder folder;
    ServerProcess server({"--db", (folder / "scores.sqlite").string()}, {}, "/dev/null");
    failed |= stalledAnnouncements(server);
  }
  {
    TempFolder folder;
    auto options = common;
    options.insert(options.end(), {"--db", (folder / "scores.sqlite").string()});
    ServerProcess server(options, {}, "/dev/null");
    failed |= bench("SQLite, one server", {&server}, clients, games, folder.path());
  }
  {
    TempFolder folder;
    fs::create_directories(folder / "pg");
    Postgres postgres(folder / "pg");
    auto options = common;
    options.insert(options.end(), {"--db", postgres.url()});
    ServerProcess first(options, {}, "/dev/null"), second(options, {}, "/dev/null");
    // The database's own processes: its first, and those it started for the connections.
    std::ifstream postmaster(folder / "pg" / "data" / "postmaster.pid");
    pid_t database = -1;
    postmaster >> database;
    failed |= bench("PostgreSQL, two servers", {&first, &second}, clients, games, folder.path(),
                    database);
  }
  return failed;
}
