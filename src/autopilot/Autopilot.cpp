// SPDX-License-Identifier: MIT
// The demo's pilot. It aims for the middle of the opening just ahead and, from well before the
// obstacle arrives, for the middle of the passage beside it on its roomier side, as far as the
// walls right ahead let it go. It holds the button exactly while the helicopter, braked as hard as
// the button allows from now on, would still come to rest beyond its aim (below it when falling,
// above it when rising).
#include "autopilot/Autopilot.h"

#include <algorithm>

#include "app/Phase.h"
#include "app/frmCavewing.h"

namespace autopilot {

namespace {

// How far ahead of the helicopter's nose the walls count, in twips.
constexpr float WallLookAhead = 1200;
// How far ahead the obstacle already counts: about the scrolling the helicopter needs to cross
// the cave.
constexpr float ObstacleLookAhead = 7200;
// Once the obstacle is this close to the nose there is no time left to change sides.
constexpr float CommitDistance = 2400;
// A press or release takes effect one movement tick late: the timer it starts waits first.
constexpr float ReactionTicks = 1;
// Room kept between the helicopter and a wall it steers along.
constexpr float Clearance = 200;

struct Opening {
  float ceiling = -1e9f, floor = 1e9f;  // lowest ceiling edge, highest floor top
};

// The opening over the columns whose ceiling block `counts`.
template <class Counts>
Opening openingOf(const frmCavewing& f, Counts counts) {
  Opening o;
  for (int i = 0; i <= frmCavewing::LastCeilingBlock; ++i) {
    const form::Shape& top = f.shptunnel[i];
    if (!counts(top)) continue;
    o.ceiling = std::max(o.ceiling, top.Top + top.Height);
    o.floor = std::min(o.floor, f.shptunnel[frmCavewing::FirstFloorBlock + i].Top);
  }
  return o;
}

// How far the helicopter still travels (twips, signed, y down) if it brakes from now on.
float brakingDistance(const frmCavewing& f) {
  const float speed = float(f.climbSpeed), accel = float(f.climbAccel);
  const float v = speed < 0 ? -speed : speed;
  const float d = v * ReactionTicks + v * (v + accel) / (2 * accel);
  return speed < 0 ? -d : d;
}

}  // namespace

float targetHeight(const frmCavewing& f) {
  const form::Image& heli = f.imgCopter;
  const float nose = heli.Left + heli.Width;
  const float half = heli.Height / 2;
  // The walls the helicopter passes over the next few ticks.
  const float left = heli.Left - 1200, right = nose + WallLookAhead;
  Opening way = openingOf(
      f, [&](const form::Shape& c) { return c.Left <= right && c.Left + c.Width >= left; });
  float aim = (way.ceiling + way.floor) / 2;

  const form::Shape& m = f.shpTunnelM;
  if (m.Visible && m.Left <= nose + ObstacleLookAhead && m.Left + m.Width >= heli.Left) {
    const Opening passage = openingOf(f, [&](const form::Shape& c) {
      const float reach = float(frmCavewing::PassageReach) * c.Width;
      return c.Left >= m.Left - reach && c.Left <= m.Left + reach;
    });
    const float above = m.Top - passage.ceiling;
    const float below = passage.floor - (m.Top + m.Height);
    // Close to the obstacle the side is settled: the helicopter stays on the side it is on.
    const bool over =
        m.Left <= nose + CommitDistance ? heli.Top + half < m.Top + m.Height / 2 : above >= below;
    aim = over ? (passage.ceiling + m.Top) / 2 : (m.Top + m.Height + passage.floor) / 2;
    // Once it is among the walls ahead, the obstacle is one of them.
    if (m.Left <= right) {
      if (over)
        way.floor = std::min(way.floor, m.Top);
      else
        way.ceiling = std::max(way.ceiling, m.Top + m.Height);
    }
  }
  const float highest = way.ceiling + half + Clearance, lowest = way.floor - half - Clearance;
  if (highest > lowest) return (way.ceiling + way.floor) / 2;
  return std::clamp(aim, highest, lowest);
}

bool wantsClimb(const frmCavewing& f) {
  const float middle = f.imgCopter.Top + f.imgCopter.Height / 2;
  return middle + brakingDistance(f) > targetHeight(f);
}

bool Pilot::wouldChange(const frmCavewing& f) const {
  return held_ != (phaseOf(f) == Phase::Flying && wantsClimb(f));
}

std::optional<bool> Pilot::nextHand(const frmCavewing& f) {
  if (!wouldChange(f)) return std::nullopt;
  held_ = !held_;
  return held_;
}

void Pilot::steer(frmCavewing& f) {
  const auto press = nextHand(f);
  if (!press) return;
  if (*press)
    f.Form_MouseDown(frmCavewing::LeftButton, 0, HandX, HandY);
  else
    f.Form_MouseUp(frmCavewing::LeftButton, 0, HandX, HandY);
}

}  // namespace autopilot
