// SPDX-License-Identifier: MIT
// The collision test: on every tick while flying, floor blocks whose tops coincide with the block
// two places before are first lifted 19 twips apart; then the helicopter is tested against every
// wall block and the obstacle, touching edges included, and the first contact starts the crash:
// the explosion picture replaces the helicopter, "YOU CRASHED" is shown and tmrCRASH takes over.
#include "app/frmCavewing.h"

namespace {

constexpr float FloorSeparation = 19;

// Test A catches a block whose left edge lies 405 to 1200 right of the craft's left edge (under
// its body); test B one that spans the craft's left edge.
bool besideHorizontally(const form::Image& h, const form::Shape& b) {
  const bool testA = h.Left >= b.Left - b.Width && b.Left + b.Width >= h.Left + h.Width;
  const bool testB = h.Left >= b.Left && b.Left + b.Width >= h.Left;
  return testA || testB;
}

bool touchesObstacle(const form::Image& h, const form::Shape& m) {
  return h.Left + h.Width >= m.Left && m.Left + m.Width >= h.Left && m.Top + m.Height >= h.Top &&
         h.Top + h.Height >= m.Top;
}

}  // namespace

void frmCavewing::tmrcheck_Timer() {
  if (gameOver || halted) return;

  // Two places before the second floor block is the last ceiling block, which no floor block
  // ever meets; the first floor block is compared with the last.
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex) {
    const int before = loopIndex == FirstFloorBlock ? LastFloorBlock : loopIndex - 2;
    if (shptunnel[loopIndex].Top == shptunnel[before].Top)
      shptunnel[loopIndex].Top = shptunnel[before].Top - FloorSeparation;
  }

  const form::Image& h = imgCopter;
  for (loopIndex = 0; loopIndex <= LastCeilingBlock; ++loopIndex) {
    const form::Shape& b = shptunnel[loopIndex];
    if (h.Top <= b.Top + b.Height && besideHorizontally(h, b)) crashed = true;
  }
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex) {
    const form::Shape& b = shptunnel[loopIndex];
    if (h.Top + h.Height >= b.Top && besideHorizontally(h, b)) crashed = true;
  }
  if (touchesObstacle(h, shpTunnelM)) crashed = true;

  if (!crashed) return;
  gameRunning = false;
  halted = true;
  gameOver = true;
  tmrPause.Enabled = false;
  imgCopter.Picture = imgExplosion.Picture;
  lblCRASH.Visible = true;
  tmrCRASH.Enabled = true;
}
