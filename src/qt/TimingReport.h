// SPDX-License-Identifier: MIT
// Timing lines on standard error for the measurement scripts, when CAVEWING_TIMING_REPORT is set:
// the wall-clock time of the first painted frame, and every stall the real-time pump dropped.
#pragma once

#include <cstdint>

namespace timing_report {

bool enabled();
void firstFrame();
void stall(std::int64_t gridPointsDropped);

}  // namespace timing_report
