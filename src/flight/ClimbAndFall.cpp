// SPDX-License-Identifier: MIT
// Climb and fall: the helicopter only moves up and down, by one shared 16-bit speed. While the
// climb timer runs each of its ticks takes 20 off the speed, and once the speed is no longer
// downward it stops the fall timer and moves the craft itself; the fall timer moves the craft by
// the speed and, when the climb timer is off, adds 20 to it. So a release coasts, stops and falls.
#include "app/frmCavewing.h"

void frmCavewing::tmrUp_Timer() {
  if (gameOver || halted) return;
  if (climbSpeed < 1) {
    tmrDown.Enabled = false;
    imgCopter.Top = imgCopter.Top + climbSpeed;
  }
  climbSpeed = static_cast<std::int16_t>(climbSpeed - climbAccel);
}

void frmCavewing::tmrDown_Timer() {
  if (gameOver || halted) return;
  imgCopter.Top = imgCopter.Top + climbSpeed;
  if (!tmrUp.Enabled) climbSpeed = static_cast<std::int16_t>(climbSpeed + climbAccel);
}
