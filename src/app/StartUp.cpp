// Start-up and shutdown: Form_Load puts the window into the ready phase (and applies the wide
// layout when the window is exactly as wide as that layout was made for); Exit and closing the
// window end the program at once, saving nothing.
#include "app/frmCavewing.h"

void frmCavewing::Form_Load() {
  rnd.Randomize(host.Timer());
  gapHeight = 6900;
  shpTunnelM.Height = 2400;
  resetGameState();
  floorLimitMode = 0;
  flattenCave();
  for (loopIndex = 0; loopIndex <= LastCeilingBlock; ++loopIndex)
    shptunnel[loopIndex].Height = 8100;
  for (loopIndex = FirstFloorBlock; loopIndex <= LastFloorBlock; ++loopIndex)
    shptunnel[loopIndex].Height = 15000;
  setMenusEnabled(true);
  host.SetMousePointer(form::MousePointer::Default);
  host.Show();
  cmdStart.Visible = true;
  host.SetFocus(cmdStart);
  if (host.OuterWidth() == WideOuterWidth) applyWideLayout();
}

void frmCavewing::applyWideLayout() {
  floorLimitMode = 1;
  lblCRASH.Left = 2370;
  lblPizzle.Left = 3450;
  for (loopIndex = 1; loopIndex <= 6; ++loopIndex) {
    lblPause[loopIndex].Left += 400;
    shpPause[loopIndex].Left += 400;
  }
  lblTitleThingy.Left = 12030;
  lblScore.Left = 13795;
  lblTitle.Left = 7000;
  lblTitle.Top += 1500;
  cmdStart.Left = 8430;
  for (loopIndex = 1; loopIndex <= 15; ++loopIndex) {
    lblNumber[loopIndex].Left = 6270;
    lblName[loopIndex].Left = 6870;
    lblScores[loopIndex].Left = 11670;
    lblNumber[loopIndex].Top += 1500;
    lblName[loopIndex].Top += 1500;
    lblScores[loopIndex].Top += 1500;
  }
}

void frmCavewing::Form_Unload() { host.End(); }

void frmCavewing::mnuExit_Click() { host.End(); }
