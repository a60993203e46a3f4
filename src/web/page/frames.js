// SPDX-License-Identifier: MIT
// Time: every animation frame brings the game up to the frame's time on its grid, and paints the
// frame if its picture changed. The frame's time is the browser's for it (when the display shows
// it), not when the callback happens to run: frames then follow the display's beat evenly.
import {N, session, settings, blocked, call} from './game.js';
import {persist} from './storage.js';
import {announce, copyList, saidSomething} from './reader.js';

// The game's time, as the page keeps it: whether a frame is asked for, the wake-up while asleep.
const time = {frameAsked: false, timer: 0};
// ?bench keeps what each frame cost, the tick and the drawing together.
export const frameMs = settings.has('bench') ? [] : null;

// While nothing moves (the start screen, a pause, the list) the page sleeps: until the player's
// input, or until the grid point at which the game next has something to do.
const FrameMs = 1000 / 60;
function frame(timestamp) {
  time.frameAsked = false;
  if (blocked()) return;  // the box's close wakes it
  const begun = performance.now();
  call('cavewing_frame', timestamp * 1000);
  if (frameMs) frameMs.push(performance.now() - begun);
  follow();
  const due = call('cavewing_next_due');
  if (due >= 0 && due - performance.now() < 2 * FrameMs) askFrame();
  else if (due >= 0) time.timer = setTimeout(askFrame, due - performance.now() - FrameMs);
}
export function askFrame() {
  clearTimeout(time.timer);
  if (time.frameAsked || session.ended) return;
  time.frameAsked = true;
  requestAnimationFrame(frame);
}

// Input wakes a sleeping page, before anything else hears of it: the game first catches up with
// real time, so that the input lands at the grid point it would have, had the page stayed awake.
export function wake() {
  if (time.frameAsked || blocked()) return;
  call('cavewing_frame', performance.now() * 1000);
  askFrame();
}

// The page's controls that follow the game (Pause at each change of phase, Share after every frame
// and input): boot.js wires them in, so that time does not reach up to them.
export const frameHooks = {phaseChanged: () => {}, followed: () => {}};

// After a frame or the player's input: the player's files kept when the phase changes, and the
// page's controls and the live region brought up to date.
function follow() {
  const phase = call('cavewing_phase');
  if (session.phase !== phase) {
    session.phase = phase;
    persist();
    frameHooks.phaseChanged();
  }
  frameHooks.followed();
  const {crashed, paused, flying} = N.phases;
  if (session.phase === crashed || session.phase === paused || saidSomething()) announce();
  if (session.phase !== flying) copyList();
}

export function afterInput() {
  follow();
  askFrame();
}
