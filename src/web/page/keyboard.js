// SPDX-License-Identifier: MIT
// Where the keyboard goes back to after a box, a menu or a command: START while it shows, else the
// field; START takes it once shown, as the desktop's button does.
import {canvas} from './view.js';

export const startButton = document.getElementById('start');
let keyboardAsked = false;  // START is to take the keyboard as soon as it shows

export function focusStart() {
  keyboardAsked = true;
  setTimeout(giveStartTheKeyboard, 0);
}
// START has just been placed: `shown` it takes the keyboard if it was asked to, or if nothing else
// holds it; hidden it gives it back to the field.
export function startPlaced(shown) {
  if (shown && document.activeElement === document.body) keyboardAsked = true;
  giveStartTheKeyboard();
  if (!shown && document.activeElement === startButton) canvas.focus();
}
function giveStartTheKeyboard() {
  if (!keyboardAsked || startButton.style.display === 'none') return;
  keyboardAsked = false;
  startButton.focus();
}

// Back to START or the field, unless a menu is open (the menu bar marks it).
export function returnKeyboard() {
  if (document.querySelector('#menubar .open')) return;
  (startButton.style.display !== 'none' ? startButton : canvas).focus();
}
// The same a moment later (after a box or a command), unless the player has taken the keyboard
// elsewhere since `at` (Tab to the menu bar, a menu opened).
export function keyboardBackUnlessMoved(at) {
  if (document.activeElement === at || document.activeElement === document.body) returnKeyboard();
}
