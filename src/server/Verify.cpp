// SPDX-License-Identifier: MIT
// Verifying a sitting's recording, replayed headless in a bounded child process.
#include "server/Verify.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <istream>
#include <sstream>
#include <stdexcept>

#include "replay/Recording.h"

namespace server {

namespace {

// From now on, `seconds` more of processor time at most (the process dies past them).
void allowCpu(rlim_t seconds) {
  rusage used{};
  getrusage(RUSAGE_SELF, &used);
  const auto spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
  rlimit limit{spent + seconds + 1, RLIM_INFINITY};
  setrlimit(RLIMIT_CPU, &limit);
}

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string encode(const Verdict& v) {
  std::string error = v.error;
  for (char& c : error)
    if (c == '\n' || c == '\r') c = ' ';
  std::string out = std::to_string(v.status) + "\n" + error + "\n" + std::to_string(v.events) +
                    " " + std::to_string(v.endGrid) + "\n";
  for (const auto& game : v.games) out += game + "\n";
  return out;
}

Verdict decode(const std::string& text) {
  std::istringstream in(text);
  Verdict v;
  std::string status, extent;
  if (!std::getline(in, status) || !std::getline(in, v.error) || !std::getline(in, extent))
    return refusal(422, "the recording could not be replayed within the server's limits");
  std::istringstream(extent) >> v.events >> v.endGrid;
  v.status = std::atoi(status.c_str());
  if (v.status != 200 && (v.status < 400 || v.status > 499))
    return refusal(422, "the recording could not be replayed within the server's limits");
  for (std::string game; std::getline(in, game);) v.games.push_back(game);
  return v;
}

bool readAll(int fd, char* into, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::read(fd, into, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool readLine(int fd, std::string& line) {
  line.clear();
  for (char c = 0; line.size() < 256;) {
    if (!readAll(fd, &c, 1)) return false;
    if (c == '\n') return true;
    line += c;
  }
  return false;
}

// An answer: "STATUS\nERROR\nEVENTS ENDGRID\n", then each finished game's score on a line.
// A request: "SEED SINCEISSUEDUS SINCELASTUS SLACKUS PLAYERBYTES EARLIERBYTES TEXTBYTES\n",
// then the three texts.
std::string request(std::string_view text, const Expected& e) {
  std::string head;
  for (const std::int64_t n :
       {e.sinceIssuedUs, e.sinceLastUs, e.slackUs, static_cast<std::int64_t>(e.player.size()),
        static_cast<std::int64_t>(e.earlier.size()), static_cast<std::int64_t>(text.size())})
    head += " " + std::to_string(n);
  return std::to_string(e.seed) + head + "\n" + e.player + e.earlier;
}

constexpr int WallClockMarginMs = 5000;

// The server's environment, and unless the host chose otherwise, the C library's memory in pages
// of 2 MiB where the system allows: a large recording's events fill tens of megabytes, whose 4 kB
// pages each cost a fault when first written.
std::vector<char*> verifierEnvironment() {
  static char largePages[] = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1";
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  if (!std::getenv("GLIBC_TUNABLES")) env.push_back(largePages);
  env.push_back(nullptr);
  return env;
}

// Recordings up to this size are read whole, and then where they lie; larger ones as they come.
constexpr std::size_t StreamedBytes = 1u << 20;

// The recording's bytes of a request, from the process's standard input, as the reader takes them.
class RequestText : public std::streambuf {
public:
  RequestText(int fd, std::size_t bytes) : fd_(fd), left_(bytes) {}
  // Passes over what the reader left of the recording; false when the input ended first.
  bool skipRest() {
    setg(nullptr, nullptr, nullptr);
    while (left_ > 0)
      if (!fill()) return false;
    return !broken_;
  }

protected:
  int_type underflow() override {
    if (left_ == 0 || !fill()) return traits_type::eof();
    return traits_type::to_int_type(*gptr());
  }

private:
  bool fill() {
    const ssize_t n = ::read(fd_, buffer_.data(), std::min(buffer_.size(), left_));
    if (n < 0 && errno == EINTR) return fill();
    if (n <= 0) {
      broken_ = true;
      left_ = 0;
      return false;
    }
    left_ -= static_cast<std::size_t>(n);
    setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
    return true;
  }

  int fd_;
  std::size_t left_;
  bool broken_ = false;
  std::array<char, 65536> buffer_{};
};

}  // namespace

int runVerifier(const std::vector<std::string>& arguments) {
  Limits limits;
  if (arguments.size() != 4) return 2;
  limits.memoryBytes = std::stoull(arguments[0]);
  limits.baseCpuSeconds = static_cast<unsigned>(std::stoul(arguments[1]));
  limits.cpuSecondsPerHour = static_cast<unsigned>(std::stoul(arguments[2]));
  limits.niceness = std::stoi(arguments[3]);
  if (limits.niceness > 0) setpriority(PRIO_PROCESS, 0, limits.niceness);
#if !defined(__SANITIZE_ADDRESS__)
  // The address sanitizer reserves far more address space than any limit would allow.
  rlimit memory{limits.memoryBytes, limits.memoryBytes};
  setrlimit(RLIMIT_AS, &memory);
#endif
  // The replay's processor time follows the recording's game time.
  const BeforeReplay allowance = [&limits](std::int64_t gameUs) {
    allowCpu(limits.baseCpuSeconds +
             static_cast<rlim_t>(gameUs / 3'600'000'000LL + 1) * limits.cpuSecondsPerHour);
  };
  for (std::string header;;) {
    if (!readLine(0, header)) return 0;
    Expected expected;
    std::size_t playerBytes = 0, earlierBytes = 0, textBytes = 0;
    std::istringstream fields(header);
    if (!(fields >> expected.seed >> expected.sinceIssuedUs >> expected.sinceLastUs >>
          expected.slackUs >> playerBytes >> earlierBytes >> textBytes) ||
        playerBytes > 65536 || earlierBytes > replay::Recording::maxBytes ||
        textBytes > replay::Recording::maxBytes)
      return 2;
    allowCpu(limits.baseCpuSeconds);
    expected.player.resize(playerBytes);
    expected.earlier.resize(earlierBytes);
    if (!readAll(0, expected.player.data(), playerBytes) ||
        !readAll(0, expected.earlier.data(), earlierBytes))
      return 2;
    // Past a limit the process dies here, and the server answers for it.
    Verdict verdict;
    if (textBytes <= StreamedBytes) {
      std::string text(textBytes, '\0');
      if (!readAll(0, text.data(), textBytes)) return 2;
      verdict = verify(text, expected, allowance);
    } else {
      // A large recording is read as it comes: one refused early costs no more than what was
      // read of it, and the rest is only passed over.
      RequestText text(0, textBytes);
      std::istream in(&text);
      replay::ReadResult read = replay::read(in);
      if (!text.skipRest()) return 2;
      verdict = verify(std::move(read), expected, allowance);
    }
    const std::string answer = encode(verdict);
    const std::string framed = std::to_string(answer.size()) + "\n" + answer;
    writeAll(1, framed);
  }
}

Verifiers::Verifiers(std::string program, std::size_t running, std::size_t waiting, Limits limits)
    : program_(std::move(program)), limits_(limits), waiting_(waiting) {
  for (std::size_t i = 0; i < running; ++i) {
    Process p = spawn();
    // Each answers once before the server serves: one that cannot verify is found now.
    if (p.pid < 0 || !ask(p, "", {})) {
      retire(p);
      for (Process& started : idle_) retire(started);
      throw std::runtime_error("cannot start a verifying process of " + program_);
    }
    idle_.push_back(p);
  }
}

Verifiers::~Verifiers() {
  for (Process& p : idle_) retire(p);
}

Verifiers::Process Verifiers::spawn() {
  int toChild[2], fromChild[2];
  if (::pipe2(toChild, O_CLOEXEC) != 0) return {};
  if (::pipe2(fromChild, O_CLOEXEC) != 0) {
    ::close(toChild[0]);
    ::close(toChild[1]);
    return {};
  }
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_adddup2(&files, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&files, fromChild[1], 1);
  // Nothing of the server's (its port, its database) reaches the verifying process.
  posix_spawn_file_actions_addclosefrom_np(&files, 3);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  const std::vector<std::string> args = {program_,
                                         "--verifier",
                                         std::to_string(limits_.memoryBytes),
                                         std::to_string(limits_.baseCpuSeconds),
                                         std::to_string(limits_.cpuSecondsPerHour),
                                         std::to_string(limits_.niceness)};
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const std::vector<char*> env = verifierEnvironment();
  const int failed = posix_spawn(&pid, program_.c_str(), &files, &attributes, argv.data(),
                                 const_cast<char* const*>(env.data()));
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  ::close(toChild[0]);
  ::close(fromChild[1]);
  if (failed) {
    ::close(toChild[1]);
    ::close(fromChild[0]);
    return {};
  }
  return {pid, toChild[1], fromChild[0]};
}

void Verifiers::retire(Process& p) {
  if (p.pid < 0) return;
  ::close(p.in);
  ::close(p.out);
  ::kill(p.pid, SIGKILL);
  while (::waitpid(p.pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  p = {};
}

std::optional<Verdict> Verifiers::ask(Process& p, std::string_view text, const Expected& e) {
  if (p.pid < 0) return std::nullopt;
  // The process reads the whole request before it answers: the writes cannot wait on it.
  const std::string head = request(text, e);
  writeAll(p.in, head);
  writeAll(p.in, text);
  // The process is held by its CPU limit; the wall clock bounds one that stops using the CPU.
  const int waitMs = static_cast<int>(
      (limits_.baseCpuSeconds * 2 + 25 * limits_.cpuSecondsPerHour) * 1000 + WallClockMarginMs);
  std::string answer;
  std::size_t expected = std::string::npos;
  for (char buffer[4096]; answer.size() != expected;) {
    pollfd ready{p.out, POLLIN, 0};
    const int n = ::poll(&ready, 1, waitMs);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    const ssize_t got = ::read(p.out, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    answer.append(buffer, static_cast<std::size_t>(got));
    const auto newline = answer.find('\n');
    if (expected == std::string::npos && newline != std::string::npos) {
      expected = newline + 1 + std::stoull(answer.substr(0, newline));
    }
    if (answer.size() > expected) return std::nullopt;
  }
  return decode(answer.substr(answer.find('\n') + 1));
}

Verifiers::Process Verifiers::alive(Process p) {
  if (p.pid >= 0 && ::waitpid(p.pid, nullptr, WNOHANG) == 0) return p;
  // Already reaped, or reaped now: only the pipes are left to close.
  ::close(p.in);
  ::close(p.out);
  return spawn();
}

void Verifiers::handBack(Process p) {
  std::lock_guard lock(mutex_);
  if (line_.empty()) {
    idle_.push_back(p);
    return;
  }
  Waiting* first = line_.front();
  line_.pop_front();
  first->process = p;
  first->handed.notify_one();
}

Verdict Verifiers::verify(std::string_view text, const Expected& expected) {
  Process p;
  {
    std::unique_lock lock(mutex_);
    if (!idle_.empty()) {
      // A process is idle only while no one is in line.
      p = idle_.back();
      idle_.pop_back();
    } else {
      if (line_.size() >= waiting_) return refusal(503, "the server is busy; try again shortly");
      // First come, first served: a recording that has waited is never passed by a later one.
      Waiting me;
      line_.push_back(&me);
      me.handed.wait(lock, [&] { return me.process.has_value(); });
      p = *me.process;
    }
  }
  p = alive(p);
  std::optional<Verdict> verdict = ask(p, text, expected);
  if (!verdict) {
    // It broke a limit (or died): a fresh process takes its turn from now on.
    retire(p);
    p = spawn();
  }
  handBack(p);
  if (!verdict)
    return refusal(422, "the recording could not be replayed within the server's limits");
  return *verdict;
}

}  // namespace server
