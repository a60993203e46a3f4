// SPDX-License-Identifier: MIT
// The demo (attract mode): Cavewing plays by itself, as arcade machines do between players. At
// every grid point the autopilot holds or lets go of the left button, START is clicked in the
// ready phase, and after a crash the high-score list shows for a few seconds before a click
// starts the next game: a player's own events, made for the player.
#pragma once

#include <cstdint>
#include <functional>

#include "autopilot/Autopilot.h"
#include "replay/Event.h"

class frmCavewing;

namespace cabinet {

class Demo {
public:
  static constexpr std::int64_t ListShownUs = 4'000'000;

  // Plays the demo's part at the moment the game has reached, handing its clicks to `input`.
  void step(frmCavewing& form, const std::function<void(const replay::Event&)>& input);

private:
  autopilot::Pilot pilot_;
  std::int64_t listSince_ = -1;  // when the list came up after a crash, in game time
};

}  // namespace cabinet
