// SPDX-License-Identifier: MIT
// The game's phase, read from the rules' four flags.
#include "app/Phase.h"

#include <tuple>

#include "app/frmCavewing.h"

Phase phaseOf(const frmCavewing& f) {
  const auto flags = std::tuple(f.gameRunning, f.halted, f.gameOver, f.crashed);
  if (flags == std::tuple(false, true, false, false)) return Phase::Ready;
  if (flags == std::tuple(true, false, false, false)) return Phase::Flying;
  if (flags == std::tuple(true, true, false, false)) return Phase::Paused;
  // The table's crashed row has gameRunning on, yet the collision switches it off as the crash
  // begins: either way the game has crashed.
  if (f.halted && f.gameOver && f.crashed) return Phase::Crashed;
  return Phase::None;
}

bool gameListed(const frmCavewing& f) { return phaseOf(f) == Phase::Crashed && f.lblTitle.Visible; }

bool tickActs(const frmCavewing& f, const form::Timer& timer) {
  if (&timer == &f.tmrCRASH) return f.gameOver;
  if (&timer == &f.tmrPause) return !f.gameOver && f.pausesLeft < 6;
  return !f.gameOver && !f.halted;
}

const char* nameOf(Phase phase) {
  switch (phase) {
    case Phase::Ready:
      return "ready";
    case Phase::Flying:
      return "flying";
    case Phase::Paused:
      return "paused";
    case Phase::Crashed:
      return "crashed";
    case Phase::None:
      break;
  }
  return "none";
}
