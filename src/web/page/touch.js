// SPDX-License-Identifier: MIT
// Touch screens: told apart, menu bar entries a finger can hit, and the page's words for fingers.
// (The fingers on the field are the player's input, input.js; Pause and Full screen, controls.js.)
import {blocked, call} from './game.js';

// The help's note on a touch screen, beside the rules' own words.
export const TouchNote = 'On a touch screen: hold a finger on the field to climb, and lift it to ' +
  'fall. Pause, beside the field, pauses and resumes (so does a second finger). Full screen ' +
  'makes the field as large as the screen.';
const menubar = document.getElementById('menubar');

export function touchScreen() { return document.documentElement.classList.contains('touch'); }

// The bar's entries side by side, each hit area (page.css) at least a finger wide: one narrower
// reaches on into the next entry, whose own then begins where it ends.
const FingerPx = 44;
function layOutHitAreas() {
  let end = 0;
  for (const entry of menubar.children) {
    const {left, right} = entry.getBoundingClientRect();
    const from = Math.max(left, end);
    end = Math.max(right, from + FingerPx);
    entry.style.setProperty('--hit-left', `${from - left}px`);
    entry.style.setProperty('--hit-width', `${end - from}px`);
  }
}
export const barEntriesSized = new ResizeObserver(layOutHitAreas);

// A touch screen as the browser says, or the first finger on the field of one it did not.
export function noteTouchScreen() {
  if (touchScreen()) return;
  document.documentElement.classList.add('touch');
  if (!blocked()) call('cavewing_repaint');
}
if (matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0) noteTouchScreen();
