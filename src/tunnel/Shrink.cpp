// SPDX-License-Identifier: MIT
// Narrowing the cave: every 750 ms of flight the opening between ceiling and floor loses 15
// twips, until it reaches 2400 or less; the tick after that switches the timer off. Only columns
// regenerated after a change get the new opening.
#include "app/frmCavewing.h"

namespace {

constexpr std::int32_t NarrowestGap = 2400;
constexpr std::int32_t NarrowingStep = 15;

}  // namespace

void frmCavewing::tmrshrink_Timer() {
  if (gameOver) return;
  if (halted) return;
  if (gapHeight <= NarrowestGap)
    tmrshrink.Enabled = false;
  else
    gapHeight = gapHeight - NarrowingStep;
}
