// SPDX-License-Identifier: MIT
// Verifying a sitting's recording by the rules of Policy.h, in a child process that a CPU-time
// and a memory limit hold, one of a bounded number at a time: the processes, and what they are
// sent and answer through their pipes.
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

#include "server/Policy.h"

namespace server {

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
