// SPDX-License-Identifier: MIT
// The game's phase, read from its four flags as the game-state table lays them out: ready,
// flying, paused, crashed. Any other combination is none of them (a fault, if it is ever seen).
#pragma once

class frmCavewing;

enum class Phase { Ready, Flying, Paused, Crashed, None };

Phase phaseOf(const frmCavewing& form);
// "ready", "flying", "paused", "crashed" or "none".
const char* nameOf(Phase phase);
