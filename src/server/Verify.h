// SPDX-License-Identifier: MIT
// Verifying a sitting's recording: read strictly, checked against what the server issued, and
// replayed headless by the same code as `cavewing --replay --headless`, in a child process that
// a CPU-time and a memory limit hold, one of a bounded number at a time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/Recording.h"

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
// The same for a recording already read (or refused, with its reason).
Verdict verify(replay::ReadResult read, const Expected& expected);

struct Limits {
  std::uint64_t memoryBytes = 1024ull << 20;
  // CPU seconds for reading a recording, and then for each hour of game time it replays.
  unsigned baseCpuSeconds = 2, cpuSecondsPerHour = 5;
  // The processes' scheduling priority: above 0 they take the processors others leave.
  int niceness = 0;
};

// The verifying processes: `running` copies of this program, each started with --verifier (see
// runVerifier), under `limits`, with no more than `waiting` recordings in line for them. A process
// that breaks a limit dies with the recording that broke it, and a fresh one takes its place, so
// that one hostile recording costs no more than its own turn.
class Verifiers {
public:
  Verifiers(std::string program, std::size_t running, std::size_t waiting, Limits limits);
  ~Verifiers();
  Verifiers(const Verifiers&) = delete;
  Verifiers& operator=(const Verifiers&) = delete;

  // Verifies in a verifying process; 503 when the line is full or no process can be started.
  Verdict verify(std::string_view text, const Expected& expected);

private:
  struct Process {
    int pid = -1, in = -1, out = -1;  // its standard input and output, from here
  };
  // A recording in line: the process that frees first is handed to the first in line, and only
  // that one wakes.
  struct Waiting {
    std::condition_variable handed;
    std::optional<Process> process;
  };
  Process spawn();
  static void retire(Process& p);
  // A process that died while idle (killed from outside, say) is replaced before it is asked.
  Process alive(Process p);
  void handBack(Process p);
  std::optional<Verdict> ask(Process& p, std::string_view text, const Expected& expected);

  std::string program_;
  Limits limits_;
  std::size_t waiting_;
  std::mutex mutex_;
  std::vector<Process> idle_;
  std::deque<Waiting*> line_;  // first come, first served
};

// The verifying process's loop: reads recordings with what is expected of them from standard
// input, answers each verdict on standard output, until standard input ends. `arguments` are those
// after --verifier.
int runVerifier(const std::vector<std::string>& arguments);

}  // namespace server
