// SPDX-License-Identifier: MIT
// The demo's pilot: looks at the cave ahead of the helicopter and decides whether the left button
// should be held. It plays through the same press and release events a player makes; it never
// moves the helicopter itself.
#pragma once

#include <optional>

#include "app/frmCavewing.h"

namespace autopilot {

// Where the pilot presses and releases: the middle of the window, as a player's hand would rest.
inline constexpr float HandX = frmCavewing::ScaleWidth / 2;
inline constexpr float HandY = frmCavewing::ScaleHeight / 2;

// The height (twips, y down) the pilot steers the helicopter's middle towards.
float targetHeight(const frmCavewing& form);

// Whether the left button should be held down now.
bool wantsClimb(const frmCavewing& form);

// The pilot's hand on the left button.
class Pilot {
public:
  // Whether steering now would press or release the button.
  bool wouldChange(const frmCavewing& form) const;
  // The press (true) or release (false) of the left button the pilot makes now, if any; the
  // caller hands it on, pressed in the middle of the window.
  std::optional<bool> nextHand(const frmCavewing& form);
  // While the game flies, presses or releases the button on the window as the pilot wants it;
  // otherwise lets go of it, so that a press never starts a new game or resumes a pause.
  void steer(frmCavewing& form);

private:
  bool held_ = false;
};

}  // namespace autopilot
