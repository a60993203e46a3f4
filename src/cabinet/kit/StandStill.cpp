// SPDX-License-Identifier: MIT
// Time standing still while the window is not in front in flight.
#include "cabinet/kit/StandStill.h"

namespace cabinet::kit {

void RealTime::resume(std::int64_t realUs, const form::Clock& clock) {
  started_ = true;
  realStartUs_ = realUs;
  // The clock follows real time less what it dropped in stalls: resume past that too.
  gameStartUs_ = clock.now() + clock.droppedUs();
}

bool CaughtKey::rest(std::string_view key, bool release, bool autoRepeat) {
  if (!key_ || *key_ != key) return false;
  if (release && !autoRepeat) key_.reset();
  return true;
}

bool standsStillWhenAway(const Cabinet& cabinet, bool timeRunning) {
  return timeRunning && !cabinet.ended() && cabinet.phase() == Phase::Flying &&
         !cabinet.demoPlaying();
}

}  // namespace cabinet::kit
