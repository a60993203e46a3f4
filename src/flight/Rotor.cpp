// SPDX-License-Identifier: MIT
// The rotor: while flying, each tick shows the next of the five helicopter frames.
#include "app/frmCavewing.h"

void frmCavewing::tmrCopter_Timer() {
  if (gameOver || halted) return;
  if (rotorFrame < 0 || rotorFrame > 4) return;
  imgCopter.Picture = imgHeli[rotorFrame].Picture;
  rotorFrame = rotorFrame == 4 ? 0 : rotorFrame + 1;
}
