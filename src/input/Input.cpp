// SPDX-License-Identifier: MIT
// Mouse and keyboard input: a press climbs, pauses, resumes, closes the high-score list or, after
// a crash, starts a new game; a release lets the helicopter fall; Space, Esc and Enter pause and
// resume; Alt+F4 and Ctrl+X end the program. Presses on the helicopter count as presses on the
// window. Nothing reacts while the "YOU CRASHED" banner is up.
#include "app/frmCavewing.h"

void frmCavewing::PressButton(int button) {
  if (lblCRASH.Visible) return;
  if (gameOver) {
    mnuNew_Click();
    return;
  }
  if (lblTitle.Visible) {
    HideHighScores();
    return;
  }
  if (!halted && button == RightButton) {
    PauseGame();
    return;
  }
  if (gameRunning) ResumeGame();
  if (!halted && gameRunning && button == LeftButton) tmrUp.Enabled = true;
}

void frmCavewing::ReleaseButton() {
  if (lblCRASH.Visible || gameOver || halted) return;
  tmrUp.Enabled = false;
  tmrDown.Enabled = true;
}

void frmCavewing::Form_MouseDown(int Button, int, float, float) { PressButton(Button); }

void frmCavewing::Form_MouseUp(int, int, float, float) { ReleaseButton(); }

void frmCavewing::imgCopter_MouseDown(int Button, int Shift, float X, float Y) {
  Form_MouseDown(Button, Shift, X, Y);
}

void frmCavewing::imgCopter_MouseUp(int Button, int Shift, float X, float Y) {
  Form_MouseUp(Button, Shift, X, Y);
}

// The second press of a quick double click arrives as this instead of a button down.
void frmCavewing::Form_DblClick() {
  if (lblCRASH.Visible) return;
  if (gameOver) {
    mnuNew_Click();
    return;
  }
  if (gameRunning) {
    ResumeGame();
    imgCopter.Visible = true;
  }
  if (!halted && gameRunning) tmrUp.Enabled = true;
}

void frmCavewing::Form_KeyPress(int KeyAscii) {
  if (lblCRASH.Visible) return;
  const bool pauseKey =
      KeyAscii == AsciiSpace || KeyAscii == AsciiEscape || KeyAscii == AsciiReturn;
  if (!gameOver && pauseKey) {
    // A key never climbs: resuming by key passes no button.
    if (!halted)
      PauseGame();
    else
      PressButton(NoButton);
  }
  if (gameOver && lblTitle.Visible) mnuNew_Click();
}

void frmCavewing::Form_KeyDown(int KeyCode, int Shift) {
  // Only the plain shortcuts: with a further modifier held they mean nothing.
  if ((KeyCode == KeyF4 && Shift == AltMask) || (KeyCode == KeyX && Shift == CtrlMask)) host.End();
}
