// SPDX-License-Identifier: MIT
// The START button, placed over the field as the form has it, and its click; the field's cursor.
// (Where the keyboard goes is keyboard.js's.)
import {blocked, call} from './game.js';
import {canvas, view, cssPx, fontOf} from './view.js';
import {afterInput} from './frames.js';
import {firstInputTaken} from './input.js';
import {startButton, startPlaced} from './keyboard.js';
import {nameWanted, askName} from './name.js';

let lastPlaced = '';

export function startButtonShown(visible, enabled, caption, l, t, w, h, font, size, bold) {
  // Styles written every frame would have the browser work out the page's style every frame.
  const placed = [...arguments, view.dx, view.dy, view.scale].join('\n');
  if (placed === lastPlaced) return;
  lastPlaced = placed;
  startButton.style.display = visible ? 'block' : 'none';
  startButton.disabled = !enabled;
  // The keyboard given to START while it was hidden, or before its first paint, goes now.
  startPlaced(visible);
  if (startButton.textContent !== caption) startButton.textContent = caption;
  startButton.style.left = `${view.dx + cssPx(l)}px`;
  startButton.style.top = `${view.dy + cssPx(t)}px`;
  startButton.style.width = `${cssPx(w)}px`;
  startButton.style.height = `${cssPx(h)}px`;
  startButton.style.font = fontOf(font, size, bold)[0];
  startButton.style.fontSize = `${Math.max(1, fontOf(font, size, bold)[1] * view.scale)}px`;
  startButton.style.backgroundColor = 'rgb(255,0,0)';
}
export function cursor(custom) {
  canvas.style.cursor = custom ? 'url(assets/cursor.png) 16 16, crosshair' : 'default';
}

startButton.addEventListener('click', () => {
  if (blocked() || firstInputTaken()) return;
  if (nameWanted()) {
    askName();
    return;
  }
  call('cavewing_start');
  afterInput();
});
