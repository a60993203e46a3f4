// SPDX-License-Identifier: MIT
// Timing lines for the measurement scripts, on standard error.
#include "qt/TimingReport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace timing_report {

bool enabled() {
  static const bool on = std::getenv("CAVEWING_TIMING_REPORT") != nullptr;
  return on;
}

void firstFrame() {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  std::fprintf(stderr, "cavewing: first-frame-ns %lld\n", static_cast<long long>(ns));
}

void stall(std::int64_t gridPointsDropped) {
  std::fprintf(stderr, "cavewing: stall dropped %lld grid points\n",
               static_cast<long long>(gridPointsDropped));
}

void pressToPicture(std::int64_t us) {
  std::fprintf(stderr, "cavewing: press-to-picture-us %lld\n", static_cast<long long>(us));
}

}  // namespace timing_report
