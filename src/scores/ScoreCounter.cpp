// SPDX-License-Identifier: MIT
// The score counter: each tick of tmrScore during flight shows the count, then adds one. The
// label, not the count, is what the ranking reads after a crash.
#include "app/frmCavewing.h"

void frmCavewing::tmrScore_Timer() {
  if (gameOver) return;
  if (!halted && !crashed) {
    lblScore.Caption = std::to_string(score);
    ++score;
  }
}
