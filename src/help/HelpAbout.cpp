// SPDX-License-Identifier: MIT
// How to Play and About: two modal boxes with one OK button, open only while no game is flying.
#include "app/frmCavewing.h"

void frmCavewing::mnuHow_Click() {
  host.MsgBox(
      "The purpose of this game is to keep the helicopter in the air for as long as possible "
      "without crashing into anything.  Use the LEFT mouse button to move the helicopter up and "
      "down.  Clicking and HOLDING the left mouse button in the game window will cause the "
      "helicopter to move UP, while releasing the mouse button will allow gravity to pull the "
      "helicopter down toward the ground.  Use the RIGHT mouse button (or the ESC, ENTER, or "
      "SPACE keys) to pause/unpause the game.",
      "How to Play the Cavewing");
}

void frmCavewing::mnuAbout_Click() {
  host.MsgBox(
      "Cavewing was made by the Cavewing team in the spring and summer of 2026.  Later game "
      "fixes were applied by the Cavewing team in November and December 2026.\n\n"
      "Free software under the MIT licence.",
      "About the Cavewing");
}
