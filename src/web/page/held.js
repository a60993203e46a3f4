// SPDX-License-Identifier: MIT
// The game's buttons the player holds (a mouse button, a finger), and their letting go when the
// page, a menu or a box takes them. (Pressing them is input.js's.)
import {blocked, call, session} from './game.js';

export const held = new Map();  // pointer id (or 'mouse' and the button) -> the game's button

// The page went away: the game lets go of what is held and stands flight still.
export function standStill() {
  if (blocked()) return;
  held.clear();
  Module.ccall('cavewing_went_away', null, ['number'], [1]);
}
export function releaseHeld() {
  if (!session.ready || session.modal) return;
  held.clear();
  call('cavewing_release_lost');
}
