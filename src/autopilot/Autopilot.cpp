// The pilot aims for the middle of the opening just ahead, going round the obstacle on its
// roomier side, and leads its aim by the current climb speed, because the helicopter answers the
// button only with growing speed.
#include "autopilot/Autopilot.h"

#include <algorithm>

#include "app/frmCavewing.h"

namespace autopilot {

namespace {

// How far ahead of the helicopter's nose the pilot looks, in twips.
constexpr float LookAhead = 2400;
// How many movement ticks ahead the pilot predicts its own height.
constexpr float LeadTicks = 6;

bool overlaps(const form::Control& c, float left, float right) {
  return c.Left <= right && c.Left + c.Width >= left;
}

}  // namespace

float targetHeight(const frmCavewing& f) {
  const form::Image& heli = f.imgCopter;
  const float left = heli.Left - 120, right = heli.Left + heli.Width + LookAhead;
  float ceiling = -1e9f, floor = 1e9f;
  for (int i = 0; i <= 19; ++i) {
    const form::Shape& top = f.shptunnel[i];
    if (overlaps(top, left, right)) ceiling = std::max(ceiling, top.Top + top.Height);
    const form::Shape& bottom = f.shptunnel[i + 20];
    if (overlaps(bottom, left, right)) floor = std::min(floor, bottom.Top);
  }
  const form::Shape& m = f.shpTunnelM;
  if (m.Visible && overlaps(m, left, right)) {
    const float above = m.Top - ceiling, below = floor - (m.Top + m.Height);
    if (above >= below)
      floor = m.Top;
    else
      ceiling = m.Top + m.Height;
  }
  return (ceiling + floor) / 2;
}

bool wantsClimb(const frmCavewing& f) {
  const float middle = f.imgCopter.Top + f.imgCopter.Height / 2;
  const float predicted = middle + float(f.climbSpeed) * LeadTicks;
  return predicted > targetHeight(f);
}

}  // namespace autopilot
