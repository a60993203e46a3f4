// SPDX-License-Identifier: MIT
// New Game and START: New Game stops everything and returns to the ready phase from any phase;
// START turns the ready phase into flight by switching the play timers on.
#include "app/frmCavewing.h"

void frmCavewing::mnuNew_Click() {
  HideHighScores();
  tmrUp.Enabled = false;
  tmrDown.Enabled = false;
  tmrCopter.Enabled = false;
  tmrMoveTunnel.Enabled = false;
  tmrshrink.Enabled = false;
  tmrScore.Enabled = false;
  tmrcheck.Enabled = false;
  tmrPause.Enabled = false;
  imgCopter.Left = CopterStartLeft;
  imgCopter.Top = CopterStartTop;
  imgCopter.Picture = imgHeli[0].Picture;
  imgCopter.Visible = false;
  shpTunnelM.Left = ObstacleStartLeft;
  shpTunnelM.Top = ObstacleStartTop;
  lblScore.Caption = "0";
  // The blocks keep the columns they reached; only their heights above the floor return.
  flattenCave();
  gapHeight = StartGapHeight;
  shpTunnelM.Height = ObstacleStartHeight;
  resetGameState();
  setMenusEnabled(true);
  host.SetMousePointer(form::MousePointer::Default);
  for (loopIndex = 1; loopIndex <= 6; ++loopIndex) {
    lblPause[loopIndex].Visible = true;
    shpPause[loopIndex].Visible = true;
  }
  host.Show();
  cmdStart.Visible = true;
  host.SetFocus(cmdStart);
}

void frmCavewing::cmdStart_Click() {
  if (lblCRASH.Visible) return;
  if (gameRunning || gameOver) return;
  gameRunning = true;
  host.SetMousePointer(form::MousePointer::Custom);
  imgCopter.Picture = imgHeli[0].Picture;
  imgCopter.Visible = true;
  halted = false;
  // The climb timer stays off: the helicopter starts by falling until the left button is held.
  tmrDown.Enabled = true;
  tmrCopter.Enabled = true;
  tmrMoveTunnel.Enabled = true;
  tmrshrink.Enabled = true;
  tmrPause.Enabled = true;
  tmrScore.Enabled = true;
  tmrcheck.Enabled = true;
  setMenusEnabled(false);
  cmdStart.Visible = false;
}

void frmCavewing::resetGameState() {
  score = 0;
  rotorFrame = 0;
  climbSpeed = 0;
  climbAccel = 20;
  highScoreCount = 15;
  pausesLeft = 6;
  gameRunning = false;
  crashed = false;
  gameOver = false;
  crashArmed = false;
  halted = true;
}

void frmCavewing::flattenCave() {
  for (loopIndex = 0; loopIndex <= LastCeilingBlock; ++loopIndex) {
    shptunnel[loopIndex].Top = CeilingBlockTop;
    shptunnel[loopIndex].FillColor = Green;
  }
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex) {
    shptunnel[loopIndex].Top = FloorBlockTop;
    shptunnel[loopIndex].FillColor = Green;
  }
}

void frmCavewing::setMenusEnabled(bool enabled) {
  mnuHelp.Enabled = enabled;
  mnuScores.Enabled = enabled;
  mnuFile.Enabled = enabled;
}
