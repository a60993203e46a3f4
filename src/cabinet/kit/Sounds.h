// SPDX-License-Identifier: MIT
// The game's sounds and when each plays, for the desktop and the page alike: the rotor turns
// while the helicopter flies, the climb sounds while the button holds it up in flight, the crash
// once at the crash, a pause and its end once each, and the new high score as its box opens.
// The demo flies for no one and a stand-still stands for the player: both are silent, as is
// everything while muted. The game's state changes only at grid points and on input, so a front
// end asks after those (a frame that reached a grid point, an input), never computes a sound.
#pragma once

#include <string>

#include "app/Phase.h"
#include "cabinet/kit/Kit.h"

namespace cabinet::kit {

enum class Sound { Rotor, Climb, Crash, Pause, Resume, HighScore };

// Where the sounds go: the front end's player of them. Rotor and Climb loop while on; the rest
// play once to their end.
class Speaker {
public:
  virtual ~Speaker() = default;
  virtual void loop(Sound sound, bool on) = 0;
  virtual void play(Sound sound) = 0;
};

class Sounds {
public:
  Sounds(Speaker& speaker, bool muted) : speaker_(speaker), muted_(muted) {}

  // Starts and stops what the game calls for as it stands now, after what was heard last.
  void follow(const Kit& kit);
  // A message box opens with `title`: the new high score's has a sound of its own.
  void boxOpens(const std::string& title);
  // Muting stops the loops at once; unmuting lets them sound again at the next follow.
  void mute(bool muted);
  bool muted() const { return muted_; }

private:
  void loop(Sound sound, bool& was, bool on);

  Speaker& speaker_;
  bool muted_;
  Phase phase_ = Phase::None;
  bool rotor_ = false, climb_ = false;
};

}  // namespace cabinet::kit
