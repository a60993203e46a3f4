// SPDX-License-Identifier: MIT
// The crash sequence: after a contact the banner "YOU CRASHED" stays up for two ticks of
// tmrCRASH, one to arm and one to finish, and then gives way to the high-score list.
#include "app/frmCavewing.h"

void frmCavewing::tmrCRASH_Timer() {
  if (!gameOver) return;
  if (!crashArmed) {
    crashArmed = true;
    return;
  }
  lblCRASH.Visible = false;
  ShowHighScores();
  host.SetMousePointer(form::MousePointer::Default);
  tmrCRASH.Enabled = false;
}
