// SPDX-License-Identifier: MIT
// A cavewing-server started for a test on a free loopback port, and a PostgreSQL of the test's
// own in a temporary folder; both serve as an unprivileged user when the test runs as root.
#pragma once

#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

// A folder that the unprivileged user the server becomes may write; removed at the end.
class TempFolder {
public:
  TempFolder() {
    std::string name = (fs::temp_directory_path() / "cavewing-server-test-XXXXXX").string();
    if (!::mkdtemp(name.data())) throw std::runtime_error("mkdtemp");
    path_ = name;
    fs::permissions(path_, fs::perms::all);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

private:
  fs::path path_;
};

inline bool runningAsRoot() { return ::geteuid() == 0; }

// Runs `args` to its end, killed if it runs past two minutes; its exit status. What it says on
// either stream is kept in `said` when one is given; otherwise only what goes wrong is shown.
inline int run(const std::vector<std::string>& args, std::string* said = nullptr) {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(said ? fds[1] : ::open("/dev/null", O_WRONLY), 1);
    if (said) ::dup2(fds[1], 2);
    ::close(fds[0]);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);
  const auto listen = [&] {
    char c[4096];
    for (ssize_t n; (n = ::read(fds[0], c, sizeof c)) > 0;)
      if (said) said->append(c, static_cast<std::size_t>(n));
  };
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    listen();
    if (std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    else
      ::kill(pid, SIGKILL);
  }
  listen();
  ::close(fds[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

class ServerProcess {
public:
  // `environment` is set for the server on top of the test's; its standard error goes to `log`
  // when one is named.
  using Environment = std::vector<std::pair<std::string, std::string>>;
  explicit ServerProcess(const std::vector<std::string>& options,
                         const Environment& environment = {}, const fs::path& log = {}) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 1);
      if (!log.empty()) ::dup2(::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), 2);
      ::close(fds[0]);
      for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
      std::vector<std::string> args = {CAVEWING_SERVER, "--port", "0"};
      args.insert(args.end(), options.begin(), options.end());
      std::vector<char*> argv;
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(fds[1]);
    // The first line names the port; the server prints it once it listens.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) continue;
      char c[256];
      const ssize_t n = ::read(fds[0], c, sizeof c);
      if (n <= 0) break;
      line.append(c, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    const auto colon = line.rfind(':');
    if (colon == std::string::npos) throw std::runtime_error("the server did not start: " + line);
    port_ = std::stoi(line.substr(colon + 1));
  }
  ~ServerProcess() { stop(SIGTERM); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Stops the server with `signal` and waits for it; its exit status (128 + signal if killed).
  int stop(int signal) {
    if (pid_ <= 0) return status_;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  pid_t pid() const { return pid_; }
  // Kills the server's verifying processes, as an administrator's mistake or the system's
  // out-of-memory killer would, and waits until each has died. How many there were.
  int killVerifiers() {
    const std::vector<pid_t> killed = signalVerifiers(SIGKILL);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (const pid_t pid : killed)
      while (stateOf(pid) != 'Z' && stateOf(pid) != 0 &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return static_cast<int>(killed.size());
  }
  // Sends `signal` to the server's verifying processes; those it reached.
  std::vector<pid_t> signalVerifiers(int signal) {
    std::vector<pid_t> reached;
    for (const auto& entry : fs::directory_iterator("/proc")) {
      const pid_t pid = std::atoi(entry.path().filename().c_str());
      if (pid > 0 && parentOf(pid) == pid_ && ::kill(pid, signal) == 0) reached.push_back(pid);
    }
    return reached;
  }
  int port() const { return port_; }
  httplib::Client client() const {
    httplib::Client c("127.0.0.1", port_);
    c.set_read_timeout(60, 0);
    return c;
  }

private:
  // A process's state letter and parent, from /proc; 0 when it is gone.
  static std::string statOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto end = text.rfind(')');
    return end == std::string::npos ? std::string() : text.substr(end + 2);
  }
  static char stateOf(pid_t pid) {
    const std::string rest = statOf(pid);
    return rest.empty() ? 0 : rest[0];
  }
  static pid_t parentOf(pid_t pid) {
    const std::string rest = statOf(pid);
    return rest.size() > 2 ? std::atoi(rest.c_str() + 2) : -1;
  }

  pid_t pid_ = -1;
  int port_ = 0;
  int status_ = 0;
};

// A free port on the loopback interface, as the system hands one out.
inline int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
    port = ntohs(address.sin_port);
  ::close(s);
  return port;
}

// A PostgreSQL 15 cluster in `folder`, owned by and run as `nobody` when the test is root.
class Postgres {
public:
  explicit Postgres(const fs::path& folder) : data_(folder / "data"), port_(freePort()) {
    const std::string bin = "/usr/lib/postgresql/15/bin/";
    if (runningAsRoot()) {
      const passwd* pw = ::getpwnam("nobody");
      if (!pw || ::chown(folder.c_str(), pw->pw_uid, pw->pw_gid) != 0)
        throw std::runtime_error("cannot hand the folder to nobody");
      as_ = {"runuser", "-u", "nobody", "--"};
    }
    if (command({bin + "initdb", "-D", data_.string(), "-A", "trust", "-U", "cavewing", "--no-sync",
                 "-E", "UTF8"}) != 0)
      throw std::runtime_error("initdb failed");
    const std::string settings = "-p " + std::to_string(port_) + " -k " + folder.string() +
                                 " -c listen_addresses=127.0.0.1 -c fsync=off";
    if (command({bin + "pg_ctl", "-D", data_.string(), "-o", settings, "-l",
                 (folder / "log").string(), "-w", "start"}) != 0)
      throw std::runtime_error("pg_ctl start failed");
    started_ = true;
  }
  ~Postgres() {
    if (started_)
      command(
          {"/usr/lib/postgresql/15/bin/pg_ctl", "-D", data_.string(), "-m", "fast", "-w", "stop"});
  }
  Postgres(const Postgres&) = delete;
  Postgres& operator=(const Postgres&) = delete;
  std::string url() const {
    return "postgresql://cavewing@127.0.0.1:" + std::to_string(port_) + "/postgres";
  }

private:
  int command(std::vector<std::string> args) {
    args.insert(args.begin(), as_.begin(), as_.end());
    return run(args);
  }
  fs::path data_;
  int port_;
  std::vector<std::string> as_;
  bool started_ = false;
};
