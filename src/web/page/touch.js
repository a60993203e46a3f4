// SPDX-License-Identifier: MIT
// Touch screens: the pause control, full screen, menu bar entries a finger can hit, and the
// page's words for fingers. (The fingers on the field are the player's input: input.js.)
import {N, session, blocked, call} from './game.js';
import {firstInputTaken} from './input.js';
import {afterInput} from './frames.js';

// The help's note on a touch screen, beside the rules' own words.
export const TouchNote = 'On a touch screen: hold a finger on the field to climb, and lift it to ' +
  'fall. Pause, beside the field, pauses and resumes (so does a second finger). Full screen ' +
  'makes the field as large as the screen.';
const menubar = document.getElementById('menubar');
const pauseButton = document.getElementById('pause');
const fullScreenButton = document.getElementById('fullscreen');

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

// Pause does what the pause key does: the game's own key, so the rules decide (a pause spends a
// charge, and resumes when paused). It is for flight and a pause.
export function showPhase() {
  const paused = session.phase === N.phases.paused;
  pauseButton.disabled = !paused && session.phase !== N.phases.flying;
  pauseButton.textContent = paused ? 'Resume' : 'Pause';
}
pauseButton.addEventListener('click', () => {
  if (blocked() || firstInputTaken()) return;
  call('cavewing_pause');
  afterInput();
});

// Full screen, in landscape where the phone lets the page turn it (most want full screen first;
// one that will not turn plays in the orientation it is held in). It shows with the page's first
// paint, and goes where the browser has no full screen.
fullScreenButton.hidden = !document.fullscreenEnabled;
fullScreenButton.addEventListener('click', () => {
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
    return;
  }
  document.documentElement.requestFullscreen({navigationUI: 'hide'})
    .then(() => screen.orientation.lock('landscape'))
    .catch(() => {});
});
document.addEventListener('fullscreenchange', () => {
  fullScreenButton.textContent = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
});

for (const button of [pauseButton, fullScreenButton]) {
  // A tap or click leaves the keyboard where it was: on START or the field.
  button.addEventListener('mousedown', (e) => e.preventDefault());
  // Enter and Space on the focused control are the control's, not the game's as well.
  button.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') e.stopPropagation();
  });
}
