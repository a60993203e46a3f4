// SPDX-License-Identifier: MIT
// The page's controls beside the field, for touch screens first: Pause (the game's own pause key)
// and Full screen; how a control of the page's own takes clicks and keys.
import {N, session, blocked, call} from './game.js';
import {afterInput} from './frames.js';
import {firstInputTaken} from './input.js';

const pauseButton = document.getElementById('pause');
const fullScreenButton = document.getElementById('fullscreen');

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

// A control of the page's own beside the game's.
export function pageControl(button) {
  // A tap or click leaves the keyboard where it was: on START or the field.
  button.addEventListener('mousedown', (e) => e.preventDefault());
  // Enter and Space on the focused control are the control's, not the game's as well.
  button.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') e.stopPropagation();
  });
}
pageControl(pauseButton);
pageControl(fullScreenButton);
