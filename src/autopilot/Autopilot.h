// The demo's pilot: looks at the cave ahead of the helicopter and decides whether the left button
// should be held. It only decides; the demo turns its decisions into the same press and release
// events a player makes, so the autopilot never moves the helicopter itself.
#pragma once

class frmCavewing;

namespace autopilot {

// The height (twips, y down) the pilot steers the helicopter's middle towards.
float targetHeight(const frmCavewing& form);

// Whether the left button should be held down now.
bool wantsClimb(const frmCavewing& form);

}  // namespace autopilot
