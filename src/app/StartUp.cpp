// SPDX-License-Identifier: MIT
// Start-up and shutdown: Form_Load puts the window into the ready phase (and applies the wide
// layout when the window is exactly as wide as that layout was made for); Exit and closing the
// window end the program at once, saving nothing.
#include "app/frmCavewing.h"

namespace {

void applyWideLayout(frmCavewing& f) {
  f.floorLimitMode = 1;
  f.lblCRASH.Left = 2370;
  f.lblPizzle.Left = 3450;
  for (f.loopIndex = 1; f.loopIndex <= 6; ++f.loopIndex) {
    f.lblPause[f.loopIndex].Left += 400;
    f.shpPause[f.loopIndex].Left += 400;
  }
  f.lblTitleThingy.Left = 12030;
  f.lblScore.Left = 13795;
  f.lblTitle.Left = 7000;
  f.lblTitle.Top += 1500;
  f.cmdStart.Left = 8430;
  for (f.loopIndex = 1; f.loopIndex <= 15; ++f.loopIndex) {
    f.lblNumber[f.loopIndex].Left = 6270;
    f.lblName[f.loopIndex].Left = 6870;
    f.lblScores[f.loopIndex].Left = 11670;
    f.lblNumber[f.loopIndex].Top += 1500;
    f.lblName[f.loopIndex].Top += 1500;
    f.lblScores[f.loopIndex].Top += 1500;
  }
}

}  // namespace

void frmCavewing::Form_Load() {
  rnd.Randomize(host.Timer());
  gapHeight = StartGapHeight;
  shpTunnelM.Height = ObstacleStartHeight;
  resetGameState();
  floorLimitMode = 0;
  flattenCave();
  for (loopIndex = 0; loopIndex <= LastCeilingBlock; ++loopIndex)
    shptunnel[loopIndex].Height = CeilingBlockHeight;
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex)
    shptunnel[loopIndex].Height = FloorBlockHeight;
  setMenusEnabled(true);
  host.SetMousePointer(form::MousePointer::Default);
  host.Show();
  cmdStart.Visible = true;
  host.SetFocus(cmdStart);
  outerWidth = host.OuterWidth();
  if (outerWidth == WideOuterWidth) applyWideLayout(*this);
}

void frmCavewing::Form_Unload() { host.End(); }

void frmCavewing::mnuExit_Click() { host.End(); }
