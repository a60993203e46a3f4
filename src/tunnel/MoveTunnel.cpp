// SPDX-License-Identifier: MIT
// The scrolling cave: every tick moves the wall blocks and the middle obstacle 120 twips left.
// A block that has left the window on the left joins the right end of its row; a ceiling block
// gets a new height one 240-twip step up or down from its neighbour, held inside the ceiling's
// band and above the floor limit, and the floor block under it follows at `gapHeight`. The
// obstacle comes back inside the opening of column 11, and the walls around it are kept clear of
// a passage beside it.
#include <algorithm>
#include <cmath>

#include "app/frmCavewing.h"

namespace {

constexpr float ScrollStep = frmCavewing::ScrollStep;
constexpr float CeilingStep = 240;
constexpr float BandCorrection = 360;
// The ceiling's band: a Top at or below -7800 holds the ceiling too high and moves it 360 down;
// one at or above -240 too low, and moves it 360 up.
constexpr float CeilingTooHigh = -7800;
constexpr float CeilingTooLow = -240;
constexpr float FloorLimit = 10500;  // no regenerated floor lies lower than this
// The old floor of a column, one step lower, is tested against this before a step down.
constexpr float WideFloorTest = 10500;
constexpr float NarrowFloorTest = 14000;

// The obstacle is re-placed in this column; and it is never taller than the opening minus this.
constexpr int ObstacleColumn = 11;
constexpr float ObstacleRoom = 1800;

// The passage kept beside the obstacle (see clearPassage).
constexpr float PassageHeight = 900;
constexpr float WallShift = 1080;
constexpr float HighestCeiling = -7680;  // the highest ceiling Top the generator itself makes
// Halfway between the highest ceiling edge (-7680 + 8100 = 420) and the lowest floor.
constexpr float CaveMiddle = (HighestCeiling + frmCavewing::CeilingBlockHeight + FloorLimit) / 2;

// A ceiling block that left the window takes the right end of the row and a new height.
void regenerateCeiling(frmCavewing& f, int i) {
  form::Shape& block = f.shptunnel[i];
  form::Shape& floor = f.shptunnel[frmCavewing::FirstFloorBlock + i];
  const form::Shape& before = f.shptunnel[i == 0 ? frmCavewing::LastCeilingBlock : i - 1];
  // The last ceiling block has not moved yet in this tick: the 120 anticipates its move.
  block.Left = i == 0 ? before.Left + before.Width - ScrollStep : before.Left + before.Width;

  f.tunnelRoll = static_cast<std::int32_t>(f.rnd.Rnd() * 2);
  f.ceilingStepUp = f.tunnelRoll == 0;
  if (f.ceilingStepUp) block.Top = before.Top - CeilingStep;
  if (!f.ceilingStepUp && (f.floorLimitMode == 1 || f.floorLimitMode == 0)) {
    const float limit = f.floorLimitMode == 1 ? WideFloorTest : NarrowFloorTest;
    block.Top =
        floor.Top + CeilingStep > limit ? before.Top - CeilingStep : before.Top + CeilingStep;
  }
  if (float(f.gapHeight) + block.Height + block.Top > FloorLimit)
    block.Top = before.Top - CeilingStep;
  floor.Top = block.Top + block.Height + float(f.gapHeight);

  // The floor keeps its place; only the ceiling is pulled back into its band.
  if (block.Top <= CeilingTooHigh) {
    block.Top = block.Top + BandCorrection;
    f.ceilingStepUp = false;
  }
  if (block.Top >= CeilingTooLow) {
    block.Top = block.Top - BandCorrection;
    f.ceilingStepUp = true;
  }
}

// Floor blocks only move; their heights were set with their ceiling.
void scrollFloor(frmCavewing& f, int i) {
  form::Shape& block = f.shptunnel[i];
  block.Left = block.Left - ScrollStep;
  if (block.Left + block.Width < 0) {
    const form::Shape& before =
        f.shptunnel[i == frmCavewing::FirstFloorBlock ? frmCavewing::LastFloorBlock : i - 1];
    block.Left = i == frmCavewing::FirstFloorBlock ? before.Left + before.Width - ScrollStep
                                                   : before.Left + before.Width;
  }
}

// Once the obstacle has left on the left, it comes back with column 11 as soon as that
// column stands beyond the window's right edge (as the window was at load), so it never pops up
// in sight. It is at least
// 1800 shorter than the opening, and its Top is drawn at random below the ceiling of its column.
// (A floor that stands nearer after a band correction is moved clear by the passage below.)
void replaceObstacle(frmCavewing& f) {
  form::Shape& m = f.shpTunnelM;
  const form::Shape& ceiling = f.shptunnel[ObstacleColumn];
  if (!(m.Left + m.Width < 0 && ceiling.Left >= f.outerWidth)) return;
  m.Left = ceiling.Left;
  if (float(f.gapHeight) - ObstacleRoom < m.Height) m.Height = float(f.gapHeight) - ObstacleRoom;
  m.Top = ceiling.Top + ceiling.Height + std::trunc((float(f.gapHeight) - m.Height) * f.rnd.Rnd());
}

// The passage beside the obstacle. An obstacle in the lower half of the cave is passed
// over, one in the upper half under; on that side the passage (900 high, over twice the
// helicopter) always fits between the limits the generator keeps the walls in. In the obstacle's
// own column and two columns either side, everything the helicopter can touch while it is level
// with the obstacle, no wall may reach into the passage, and in the obstacle's own column no wall
// may reach the obstacle. A wall that does is moved 1080 away from it (never past its limit:
// ceiling Top -7680, floor Top 10500) until it is clear. Only while the obstacle is in play.
void clearPassage(frmCavewing& f) {
  const form::Shape& m = f.shpTunnelM;
  if (m.Left + m.Width < 0) return;
  const float top = m.Top;
  const float bottom = m.Top + m.Height;
  const bool over = top + m.Height / 2 >= CaveMiddle;
  for (f.loopIndex = 0; f.loopIndex <= frmCavewing::LastCeilingBlock; ++f.loopIndex) {
    form::Shape& ceiling = f.shptunnel[f.loopIndex];
    form::Shape& floor = f.shptunnel[frmCavewing::FirstFloorBlock + f.loopIndex];
    if (std::fabs(ceiling.Left - m.Left) > float(frmCavewing::PassageReach) * ceiling.Width)
      continue;
    const bool own = ceiling.Left < m.Left + m.Width && ceiling.Left + ceiling.Width > m.Left;
    // The band no wall may enter in this column.
    const float clearFrom = over ? top - PassageHeight : (own ? top : bottom);
    const float clearTo = over ? (own ? bottom : top) : bottom + PassageHeight;
    while (ceiling.Top + ceiling.Height > clearFrom && ceiling.Top > HighestCeiling)
      ceiling.Top = std::max(ceiling.Top - WallShift, HighestCeiling);
    while (floor.Top < clearTo && floor.Top < FloorLimit)
      floor.Top = std::min(floor.Top + WallShift, FloorLimit);
  }
}

}  // namespace

void frmCavewing::tmrMoveTunnel_Timer() {
  if (gameOver) return;
  if (halted) return;
  for (loopIndex = 0; loopIndex <= LastCeilingBlock; ++loopIndex) {
    form::Shape& block = shptunnel[loopIndex];
    block.Left = block.Left - ScrollStep;
    if (block.Left + block.Width < 0) regenerateCeiling(*this, loopIndex);
  }
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex)
    scrollFloor(*this, loopIndex);
  shpTunnelM.Left = shpTunnelM.Left - ScrollStep;
  replaceObstacle(*this);
  clearPassage(*this);
}
