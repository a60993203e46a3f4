// SPDX-License-Identifier: MIT
// Verifying a sitting's recording: read strictly, checked against what the server issued, and
// replayed headless by the same code as `cavewing --replay --headless`, in a child process that
// a CPU-time and a memory limit hold, one of a bounded number at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace server {

// What the server issued for the sitting, and what it already holds of it.
struct Expected {
  std::uint64_t seed = 0;
  std::string player;
  std::int64_t maxGameUs = 0;  // the real time since the seed was issued, with the slack
  std::string earlier;         // the recording last accepted for the sitting, or empty
};

struct Verdict {
  int status = 200;                // an HTTP status: 200, or the 4xx that refuses
  std::string error;               // why, when refused
  std::vector<std::string> games;  // each finished game's score as the list ranked it, in order
};

// Reads, checks and replays `text` in this process.
Verdict verify(std::string_view text, const Expected& expected);

struct Limits {
  std::uint64_t memoryBytes = 1024ull << 20;
  // CPU seconds for reading, and for each hour of game time replayed.
  unsigned baseCpuSeconds = 2, cpuSecondsPerHour = 40;
};

// The same in a child process under `limits`; a child that breaks a limit refuses the recording.
Verdict verifyInChild(std::string_view text, const Expected& expected, const Limits& limits);

// The bounded queue in front of the verifying children: at most `running` at a time and at most
// `waiting` in line; whoever finds the line full is turned away at once.
class Workers {
public:
  Workers(std::size_t running, std::size_t waiting) : running_(running), waiting_(waiting) {}

  class Turn {
  public:
    explicit Turn(Workers* workers) : workers_(workers) {}
    Turn(Turn&& other) noexcept : workers_(other.workers_) { other.workers_ = nullptr; }
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;
    Turn& operator=(Turn&&) = delete;
    ~Turn() {
      if (workers_) workers_->leave();
    }
    explicit operator bool() const { return workers_ != nullptr; }

  private:
    Workers* workers_;
  };
  // Waits for a turn; an empty turn when the line is full.
  Turn wait();

private:
  void leave();

  std::mutex mutex_;
  std::condition_variable free_;
  std::size_t running_, waiting_;
  std::size_t busy_ = 0, inLine_ = 0;
};

}  // namespace server
