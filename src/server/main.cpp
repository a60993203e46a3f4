// SPDX-License-Identifier: MIT
// cavewing-server: one table for everyone. Issues each sitting its seed, replays every sitting it
// is sent before it ranks a game, and serves the page.
#include <grp.h>
#include <malloc.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <optional>
#include <thread>

#include "server/Http.h"
#include "server/Service.h"
#include "server/Store.h"
#include "server/Verify.h"

namespace {

constexpr const char* Usage = R"(Usage: cavewing-server [OPTION]...
Hosts Cavewing online: one high-score table for every player, each game replayed before it ranks.

  --listen ADDR             the address to serve on (default 127.0.0.1)
  --port N                  the port (default 8080; 0 for any free one)
  --db FILE                 the SQLite database (default cavewing-scores.sqlite)
  --db postgresql://...     a PostgreSQL database, which several servers may share
  --web DIR                 serve the page from DIR (the WebAssembly build's folder)
  --user NAME               started as root, serve as NAME (default nobody)
  --workers N               replays at a time (default: the processors)
  --queue N                 replays waiting at most (default 64)
  --time-slack SECONDS      game time allowed beyond the real time since the seed (default 5)
  --sittings-per-minute N   new sittings per address (default 30)
  --games-per-minute N      submissions per address (default 120)
  --remove-game ID --why TEXT  take a game off the table (kept, with the reason) and rank the
                            games left again as the rules would have; then end
  --backup FILE             copy the SQLite database into FILE while servers run; then end
  --connections-per-address N  open connections per address (default 32)
  --trusted-proxy ADDR      take the player's address from the X-Forwarded-For of requests
                            from ADDR (a reverse proxy in front), and of no others
  --help, --version
)";

// Long or large recordings are replayed one at a time, with a few in line.
constexpr std::size_t LargeRunning = 1, LargeWaiting = 4;

struct Options {
  std::string listen = "127.0.0.1";
  int port = 8080;
  std::string db = "cavewing-scores.sqlite";
  std::string web;
  std::string user = "nobody";
  std::size_t workers = std::max(1u, std::thread::hardware_concurrency());
  std::size_t queue = 64;
  double slackSeconds = 5;
  double sittingsPerMinute = 30, gamesPerMinute = 120;
  std::string removeGame, why, backup;
  std::size_t connectionsPerAddress = 32;
  std::string trustedProxy;
};

// A number from `lo` to `hi`, written as std::stod reads one.
std::optional<double> number(const std::string& text, double lo, double hi) {
  try {
    std::size_t used = 0;
    const double value = std::stod(text, &used);
    if (used == text.size() && value >= lo && value <= hi) return value;
  } catch (...) {
  }
  return std::nullopt;
}

// The option `name`, whose value is a number from `lo` to `hi`, kept in `to`.
template <class T>
void addNumber(CLI::App& app, const std::string& name, T& to, double lo, double hi) {
  app.add_option_function<std::string>(
         name, [&to](const std::string& text) { to = static_cast<T>(std::stod(text)); })
      // CLI11 names the option in front of what the check says: "--port: 70000".
      ->check([lo, hi](const std::string& text) {
        return number(text, lo, hi) ? std::string() : text;
      });
}

// A mistake on the command line, in the program's own words.
std::string mistake(const CLI::ParseError& e, const CLI::App& app) {
  const std::string said = e.what();
  if (dynamic_cast<const CLI::ExtrasError*>(&e))
    return "unknown option: " + app.remaining().front();
  // CLI11 names the option first: "--port: 1 required TEXT missing".
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e))
    return "option " + said.substr(0, said.find(':')) + " needs a value";
  if (dynamic_cast<const CLI::ValidationError*>(&e)) return "bad value for " + said;
  return said;
}

// The program's exit status when it is done before it serves: 0 after --help or --version, 2
// for a mistake; none to serve.
std::optional<int> parse(int argc, char* argv[], Options& o) {
  CLI::App app;
  // An option given twice counts as its last; --help is our own text, and a wrong option beside
  // it is still a mistake.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.set_help_flag();
  const CLI::Option* help = app.add_flag("--help");
  const CLI::Option* version = app.add_flag("--version");
  for (const auto& [name, value] :
       {std::pair{"--listen", &o.listen}, std::pair{"--db", &o.db}, std::pair{"--web", &o.web},
        std::pair{"--user", &o.user}, std::pair{"--remove-game", &o.removeGame},
        std::pair{"--why", &o.why}, std::pair{"--backup", &o.backup},
        std::pair{"--trusted-proxy", &o.trustedProxy}})
    app.add_option(name, *value);
  addNumber(app, "--port", o.port, 0, 65535);
  addNumber(app, "--workers", o.workers, 1, 1024);
  addNumber(app, "--queue", o.queue, 0, 100000);
  addNumber(app, "--time-slack", o.slackSeconds, 0, 1e6);
  addNumber(app, "--sittings-per-minute", o.sittingsPerMinute, 0.01, 1e9);
  addNumber(app, "--games-per-minute", o.gamesPerMinute, 0.01, 1e9);
  addNumber(app, "--connections-per-address", o.connectionsPerAddress, 1, 1e6);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    std::cerr << "cavewing-server: " << mistake(e, app) << "\n";
    return 2;
  }
  // The first of --help and --version given is answered.
  for (const CLI::Option* option : app.parse_order()) {
    if (option == help) std::cout << Usage;
    if (option == version) std::cout << "cavewing-server " CAVEWING_VERSION "\n";
    if (option == help || option == version) return 0;
  }
  return std::nullopt;
}

// Started as root, the server becomes `user` for good before it opens anything but the page's
// folder.
bool dropRoot(const std::string& user) {
  if (::geteuid() != 0) return true;
  const passwd* pw = ::getpwnam(user.c_str());
  if (!pw || pw->pw_uid == 0) {
    std::cerr << "cavewing-server: will not serve as root, and there is no user " << user << "\n";
    return false;
  }
  const uid_t uid = pw->pw_uid;
  const gid_t gid = pw->pw_gid;
  if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
      ::setresuid(uid, uid, uid) != 0 || ::setuid(0) == 0) {
    std::cerr << "cavewing-server: cannot become " << user << ": " << std::strerror(errno) << "\n";
    return false;
  }
  return true;
}

// The host's mends, run instead of serving: a copy of the database, or one game off the table
// for a reason kept with it.
int mend(const Options& o) {
  if (!o.removeGame.empty() && o.why.empty()) {
    std::cerr << "cavewing-server: --remove-game needs --why TEXT, the reason kept with it\n";
    return 2;
  }
  try {
    if (!o.backup.empty()) {
      server::backupSqlite(o.db, o.backup);
      return 0;
    }
    if (server::openStore(o.db)->removeGame(o.removeGame, o.why, server::rankedAgain)) return 0;
    std::cerr << "cavewing-server: no game " << o.removeGame << " on the table's record\n";
  } catch (const server::StoreError& e) {
    std::cerr << "cavewing-server: " << e.what() << "\n";
  }
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  // Memory freed by one request is kept for the next: handing it back to the system at every
  // request made each thread's free a flush of every processor's address cache.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  // And a large block (a replay's, a recording's) is taken from the heap, not mapped for it alone:
  // unmapping it at every replay made each one a flush of every processor's address cache too.
  // (Setting the first turned off the library's own raising of this one.)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  // A verifying process of a running server (see server::Verifiers).
  if (argc >= 2 && std::string(argv[1]) == "--verifier")
    return server::runVerifier({argv + 2, argv + argc});
  Options options;
  if (const std::optional<int> done = parse(argc, argv, options)) return *done;
  // The page's folder is opened while the server may still be root: the user it then becomes
  // may not pass the folders above it (a clone in root's home).
  int web = -1;  // none: no page served
  if (!options.web.empty()) {
    web = server::openWebFolder(options.web);
    if (web == -1) {
      std::cerr << "cavewing-server: cannot open the page's folder " << options.web << ": "
                << std::strerror(errno) << "\n";
      return 1;
    }
  }
  if (!dropRoot(options.user)) return 1;
  if (!options.web.empty() && !server::pageReadable(web)) {
    std::cerr << "cavewing-server: cannot read " << options.web << "/index.html as the user it "
              << "serves as (uid " << ::getuid() << ")\n";
    return 1;
  }

  // An operator's mending runs to its end like any command: ^C stops it.
  if (!options.backup.empty() || !options.removeGame.empty()) return mend(options);

  // The signals that stop the server are taken by one thread, which stops it in good order.
  sigset_t stopping;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGINT);
  sigaddset(&stopping, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<server::Store> store;
  try {
    store = server::openStore(options.db);
  } catch (const server::StoreError& e) {
    std::cerr << "cavewing-server: " << e.what() << " (serving as uid " << ::getuid() << ")\n";
    return 1;
  }
  std::unique_ptr<server::Verifiers> verifiers, large;
  try {
    verifiers = std::make_unique<server::Verifiers>("/proc/self/exe", options.workers,
                                                    options.queue, server::Limits{});
    large = std::make_unique<server::Verifiers>("/proc/self/exe", LargeRunning, LargeWaiting,
                                                server::Limits{.niceness = 19});
  } catch (const std::exception& e) {
    std::cerr << "cavewing-server: " << e.what() << "\n";
    return 1;
  }
  server::ServiceSettings settings;
  settings.slackUs = static_cast<std::int64_t>(options.slackSeconds * 1e6);
  server::Service service(*store, *verifiers, *large, settings);
  server::HttpSettings httpSettings;
  httpSettings.webFolder = web;
  httpSettings.sittingsPerMinute = options.sittingsPerMinute;
  httpSettings.gamesPerMinute = options.gamesPerMinute;
  // A thread for every request the verifiers may hold or have in line, large ones too, and a few
  // for the table and the page: a request that waits for a long replay never holds up others.
  httpSettings.threads = options.workers + options.queue + LargeRunning + LargeWaiting + 8;
  httpSettings.trustedProxy = options.trustedProxy;
  httpSettings.limits.connectionsPerAddress = options.connectionsPerAddress;
  // A verifying process answers an empty recording with its refusal; a pool that cannot start
  // one answers 503.
  httpSettings.verifiersLive = [&verifiers] { return verifiers->verify("", {}).status != 503; };
  server::Http http(service, httpSettings);
  const int port = http.bind(options.listen, options.port);
  if (port < 0) {
    std::cerr << "cavewing-server: cannot listen on " << options.listen << " port " << options.port
              << "\n";
    return 1;
  }
  const bool v6 = options.listen.find(':') != std::string::npos;
  std::cout << "cavewing-server: serving on http://" << (v6 ? "[" : "") << options.listen
            << (v6 ? "]" : "") << ":" << port << "/" << std::endl;
  std::thread stopper([&] {
    int signal = 0;
    sigwait(&stopping, &signal);
    http.stop();
  });
  const bool served = http.listen();
  // Stopped by a signal, or the listening failed: either way the stopper thread is released.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return served ? 0 : 1;
}
