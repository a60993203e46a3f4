// SPDX-License-Identifier: MIT
// The game's phase, read from its four flags as the game-state table lays them out: ready,
// flying, paused, crashed. Any other combination is none of them (a fault, if it is ever seen).
#pragma once

class frmCavewing;
namespace form {
class Timer;
}

enum class Phase { Ready, Flying, Paused, Crashed, None };

Phase phaseOf(const frmCavewing& form);
// "ready", "flying", "paused", "crashed" or "none".
const char* nameOf(Phase phase);

// Whether the game's crash has brought up the list, which is when the rules rank the game. The
// banner is down by then: the crash hides it before showing the list, and the menus that could
// show the list sooner stay off from flight to that moment. The list shown again before the next
// game ranks nothing new, so a reader counts a game once, as this turns true.
bool gameListed(const frmCavewing& form);

// Whether a tick of `timer` does anything in the state `form` is in, as each handler's first test
// says: flight's timers stand while the game is halted or over, the crash's runs only after a
// crash, the pause meter's refills only in flight below a full meter. Between ticks that act only
// the player's input changes the game.
bool tickActs(const frmCavewing& form, const form::Timer& timer);
