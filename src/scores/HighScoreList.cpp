// The high-score list: shown in place of the cave, hidden to bring the cave back.
#include "app/frmCavewing.h"

void frmCavewing::HideHighScores() {
  lblTitle.Visible = false;
  if (gameRunning) imgCopter.Visible = true;
  if (!gameRunning) cmdStart.Visible = true;
  for (loopIndex = 1; loopIndex <= 15; ++loopIndex) {
    lblNumber[loopIndex].Visible = false;
    lblName[loopIndex].Visible = false;
    lblScores[loopIndex].Visible = false;
  }
  for (loopIndex = 0; loopIndex <= 39; ++loopIndex) shptunnel[loopIndex].Visible = true;
  shpTunnelM.Visible = true;
  mnuScores.Enabled = true;
}
