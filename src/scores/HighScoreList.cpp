// SPDX-License-Identifier: MIT
// The high-score list: shown in place of the cave (which is when a finished game is ranked),
// hidden to bring the cave back; the menu toggles it, and a click on it hides it, or after a
// crash starts the next game.
#include "app/frmCavewing.h"

namespace {

// Every label of the list answers a click alike.
void clickOnList(frmCavewing& f) {
  if (f.gameOver)
    f.mnuNew_Click();
  else
    f.HideHighScores();
}

}  // namespace

void frmCavewing::ShowHighScores() {
  lblTitle.Visible = true;
  imgCopter.Visible = false;
  mnuHelp.Enabled = true;
  mnuFile.Enabled = true;
  mnuScores.Enabled = false;
  if (!gameRunning) cmdStart.Visible = false;
  for (loopIndex = 1; loopIndex <= 15; ++loopIndex) {
    lblNumber[loopIndex].Visible = true;
    lblName[loopIndex].Visible = true;
    lblScores[loopIndex].Visible = true;
  }
  for (loopIndex = 0; loopIndex <= LastFloorBlock; ++loopIndex)
    shptunnel[loopIndex].Visible = false;
  shpTunnelM.Visible = false;
  CalculateHighScores();
}

void frmCavewing::HideHighScores() {
  lblTitle.Visible = false;
  if (gameRunning) imgCopter.Visible = true;
  if (!gameRunning) cmdStart.Visible = true;
  for (loopIndex = 1; loopIndex <= 15; ++loopIndex) {
    lblNumber[loopIndex].Visible = false;
    lblName[loopIndex].Visible = false;
    lblScores[loopIndex].Visible = false;
  }
  for (loopIndex = 0; loopIndex <= LastFloorBlock; ++loopIndex) shptunnel[loopIndex].Visible = true;
  shpTunnelM.Visible = true;
  mnuScores.Enabled = true;
}

void frmCavewing::mnuScores_Click() {
  if (lblTitle.Visible)
    HideHighScores();
  else
    ShowHighScores();
}

void frmCavewing::lblName_Click(int) { clickOnList(*this); }
void frmCavewing::lblNumber_Click(int) { clickOnList(*this); }
void frmCavewing::lblScores_Click(int) { clickOnList(*this); }
void frmCavewing::lblTitle_Click() { clickOnList(*this); }
