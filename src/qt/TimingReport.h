// SPDX-License-Identifier: MIT
// Timing lines on standard error for the measurement scripts, when CAVEWING_TIMING_REPORT is set:
// the wall-clock time of the first painted frame, every stall the real-time pump dropped, and the
// time from each press of the left button in flight to the first frame that shows the climb.
#pragma once

#include <cstdint>

namespace timing_report {

bool enabled();
void firstFrame();
void stall(std::int64_t gridPointsDropped);
void pressToPicture(std::int64_t us);

}  // namespace timing_report
