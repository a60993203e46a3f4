// SPDX-License-Identifier: MIT
// The stand-still: while the window is not in front in flight (it lost the focus, or is
// minimised or hidden), time stands still as it does while a message box is open, under a
// "PAUSED" band. Only flight moves on by itself: the ready screen, a pause and the list wait
// anyway, and the demo flies for no one, so it flies on. Back in front, the first click or key
// only lifts it, and real time resumes where the game stands: the time it lasted, and the time
// the clock dropped in stalls before it, is never caught up. No rule and no recording sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cabinet/Cabinet.h"

namespace cabinet::kit {

// Real time as the game follows it: from where it resumed, on the game's own clock.
class RealTime {
public:
  // Real time `realUs` is where the game stands now.
  void resume(std::int64_t realUs, const form::Clock& clock);
  // Real time stops (a stand-still): it resumes at the next real time the game is to follow.
  void stop() { started_ = false; }
  bool started() const { return started_; }
  // The real time the clock follows at `realUs` (the clock takes off what it dropped).
  std::int64_t followed(std::int64_t realUs) const { return realUs - realStartUs_ + gameStartUs_; }
  // The real time at which the clock follows `followedUs`.
  std::int64_t realAt(std::int64_t followedUs) const {
    return followedUs - gameStartUs_ + realStartUs_;
  }

private:
  bool started_ = false;
  std::int64_t realStartUs_ = 0, gameStartUs_ = 0;
};

// The key that a first input caught: its repeats and its release go nowhere. Its release may
// come to another window once this one has lost the focus: the catch ends with the window.
class CaughtKey {
public:
  // `key`: any name the front end gives the key, the same for its press, repeats and release.
  void caught(std::string key) { key_ = std::move(key); }
  // Whether this stroke is the rest of the caught key; the key's own release (not a repeat's)
  // ends the catch.
  bool rest(std::string_view key, bool release, bool autoRepeat);
  bool holding() const { return key_.has_value(); }
  void windowLost() { key_.reset(); }

private:
  std::optional<std::string> key_;
};

// Whether flight stands still when the window goes away now: in flight, not in the demo, while
// real time drives the game.
bool standsStillWhenAway(const Cabinet& cabinet, bool timeRunning);

}  // namespace cabinet::kit
