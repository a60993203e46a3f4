// SPDX-License-Identifier: MIT
// Pause and the pause meter: a pause spends one of six charges and freezes the flight with the
// menus usable; resuming lets the helicopter fly on; every ten seconds of unpaused flight give
// one charge back.
#include "app/frmCavewing.h"

void frmCavewing::PauseGame() {
  if (pausesLeft <= 0) return;
  halted = true;
  // Stopping the refill timer makes the next charge wait a full ten seconds after the resume.
  tmrPause.Enabled = false;
  shpPause[pausesLeft].Visible = false;
  lblPause[pausesLeft].Visible = false;
  --pausesLeft;
  setMenusEnabled(true);
  host.SetMousePointer(form::MousePointer::Default);
  if (tmrUp.Enabled) {
    tmrUp.Enabled = false;
    tmrDown.Enabled = true;
  }
  climbSpeed = 0;
}

void frmCavewing::ResumeGame() {
  halted = false;
  tmrPause.Enabled = true;
  HideHighScores();
  setMenusEnabled(false);
  host.SetMousePointer(form::MousePointer::Custom);
}

void frmCavewing::tmrPause_Timer() {
  if (gameOver || pausesLeft >= 6) return;
  ++pausesLeft;
  shpPause[pausesLeft].Visible = true;
  lblPause[pausesLeft].Visible = true;
}
