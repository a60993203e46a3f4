// SPDX-License-Identifier: MIT
#include "server/Verify.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "app/frmCavewing.h"
#include "cabinet/Phase.h"
#include "replay/Headless.h"
#include "replay/Recording.h"

namespace server {

namespace {

Verdict refuse(int status, std::string why) { return {status, std::move(why), {}}; }

std::optional<replay::Recording> parse(std::string_view text, std::string& error) {
  std::istringstream in{std::string(text)};
  replay::ReadResult read = replay::read(in);
  error = read.error;
  return std::move(read.recording);
}

// The new recording plays the earlier one's sitting on: the same header, the same events, and
// nothing new before the earlier one ended.
bool continues(const replay::Recording& now, const replay::Recording& before) {
  if (now.systemTickUs != before.systemTickUs || now.seed != before.seed ||
      now.outerWidth != before.outerWidth || now.player != before.player ||
      now.endGrid < before.endGrid || now.events.size() < before.events.size())
    return false;
  for (std::size_t i = 0; i < before.events.size(); ++i)
    if (!(now.events[i] == before.events[i])) return false;
  return now.events.size() == before.events.size() ||
         now.events[before.events.size()].grid >= before.endGrid;
}

// A game has finished when its crash has brought up the list, which is when the rules rank it;
// the list shown again before the next game ranks nothing new.
class FinishedGames {
public:
  void look(const frmCavewing& form) {
    if (cabinet::phaseOf(form) != cabinet::Phase::Crashed) {
      counted_ = false;
      return;
    }
    if (counted_ || !form.lblTitle.Visible) return;
    counted_ = true;
    scores.push_back(form.lblScore.Caption);
  }
  std::vector<std::string> scores;

private:
  bool counted_ = false;
};

std::int64_t gameUs(const replay::Recording& r) { return r.endGrid * r.systemTickUs; }

void lowerCpuLimit(rlim_t seconds) {
  rlimit limit{};
  getrlimit(RLIMIT_CPU, &limit);
  rusage used{};
  getrusage(RUSAGE_SELF, &used);
  const auto spent = static_cast<rlim_t>(used.ru_utime.tv_sec + used.ru_stime.tv_sec);
  limit.rlim_cur = std::min(limit.rlim_cur, spent + seconds);
  setrlimit(RLIMIT_CPU, &limit);
}

const Limits* childLimits = nullptr;

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
  std::string out = std::to_string(v.status) + "\n" + error + "\n";
  for (const auto& game : v.games) out += game + "\n";
  return out;
}

Verdict decode(const std::string& text) {
  std::istringstream in(text);
  Verdict v;
  std::string status;
  if (!std::getline(in, status) || !std::getline(in, v.error))
    return refuse(422, "the recording could not be replayed within the server's limits");
  v.status = std::atoi(status.c_str());
  if (v.status != 200 && (v.status < 400 || v.status > 499))
    return refuse(422, "the recording could not be replayed within the server's limits");
  for (std::string game; std::getline(in, game);) v.games.push_back(game);
  return v;
}

}  // namespace

Verdict verify(std::string_view text, const Expected& expected) {
  std::string error;
  const auto recording = parse(text, error);
  if (!recording) return refuse(400, "the recording does not replay: " + error);
  if (recording->seed != expected.seed)
    return refuse(403, "the recording's seed is not the one issued to the sitting");
  if (recording->player != expected.player)
    return refuse(403, "the recording's player is not the sitting's");
  if (gameUs(*recording) > expected.maxGameUs)
    return refuse(403,
                  "the recording's game time is longer than the time since its seed was issued");
  if (!expected.earlier.empty()) {
    const auto before = parse(expected.earlier, error);
    if (!before || !continues(*recording, *before))
      return refuse(409, "the recording does not continue the sitting's earlier one");
  }
  if (childLimits)
    lowerCpuLimit(childLimits->baseCpuSeconds +
                  static_cast<rlim_t>(gameUs(*recording) / 3'600'000'000LL + 1) *
                      childLimits->cpuSecondsPerHour);
  FinishedGames finished;
  replay::replayHeadless(*recording, nullptr, {},
                         [&](const frmCavewing& form) { finished.look(form); });
  return {200, {}, std::move(finished.scores)};
}

Verdict verifyInChild(std::string_view text, const Expected& expected, const Limits& limits) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return refuse(503, "the server cannot verify now");
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return refuse(503, "the server cannot verify now");
  }
  if (pid == 0) {
    ::close(fds[0]);
    rlimit cpu{limits.baseCpuSeconds, limits.baseCpuSeconds + 1};
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    // The address sanitizer reserves far more address space than any limit would allow.
    rlimit memory{limits.memoryBytes, limits.memoryBytes};
    setrlimit(RLIMIT_AS, &memory);
#endif
    childLimits = &limits;
    Verdict verdict;
    try {
      verdict = verify(text, expected);
    } catch (...) {
      ::_exit(3);
    }
    writeAll(fds[1], encode(verdict));
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string answer;
  // The child is held by its CPU limit; the wall clock bounds one that stops using the CPU.
  const int waitMs =
      static_cast<int>((limits.baseCpuSeconds + 24 * limits.cpuSecondsPerHour) * 2000);
  for (char buffer[4096];;) {
    pollfd p{fds[0], POLLIN, 0};
    const int ready = ::poll(&p, 1, waitMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ::kill(pid, SIGKILL);
      break;
    }
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return refuse(422, "the recording could not be replayed within the server's limits");
  return decode(answer);
}

Workers::Turn Workers::wait() {
  std::unique_lock lock(mutex_);
  if (busy_ >= running_ && inLine_ >= waiting_) return Turn(nullptr);
  ++inLine_;
  free_.wait(lock, [this] { return busy_ < running_; });
  --inLine_;
  ++busy_;
  return Turn(this);
}

void Workers::leave() {
  {
    std::lock_guard lock(mutex_);
    --busy_;
  }
  free_.notify_one();
}

}  // namespace server
