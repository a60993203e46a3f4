// SPDX-License-Identifier: MIT
// The START button, placed over the field as the form has it, and where the keyboard goes back to
// (START or the field) after a box, a menu or a command; the field's cursor.
import {blocked, call} from './game.js';
import {canvas, view, cssPx, fontOf} from './view.js';
import {afterInput} from './frames.js';
import {openMenu} from './menus.js';
import {firstInputTaken} from './input.js';
import {nameWanted, askName} from './name.js';

export const startButton = document.getElementById('start');
const placing = {last: '', keyboardAsked: false};

export function startButtonShown(visible, enabled, caption, l, t, w, h, font, size, bold) {
  // Styles written every frame would have the browser work out the page's style every frame.
  const placed = [...arguments, view.dx, view.dy, view.scale].join('\n');
  if (placed === placing.last) return;
  placing.last = placed;
  startButton.style.display = visible ? 'block' : 'none';
  startButton.disabled = !enabled;
  // The keyboard given to START while it was hidden, or before its first paint, goes now.
  if (visible && document.activeElement === document.body) placing.keyboardAsked = true;
  giveStartTheKeyboard();
  if (startButton.textContent !== caption) startButton.textContent = caption;
  startButton.style.left = `${view.dx + cssPx(l)}px`;
  startButton.style.top = `${view.dy + cssPx(t)}px`;
  startButton.style.width = `${cssPx(w)}px`;
  startButton.style.height = `${cssPx(h)}px`;
  startButton.style.font = fontOf(font, size, bold)[0];
  startButton.style.fontSize = `${Math.max(1, fontOf(font, size, bold)[1] * view.scale)}px`;
  startButton.style.backgroundColor = 'rgb(255,0,0)';
  if (!visible && document.activeElement === startButton) canvas.focus();
}
export function focusStart() {
  placing.keyboardAsked = true;
  setTimeout(giveStartTheKeyboard, 0);
}
export function cursor(custom) {
  canvas.style.cursor = custom ? 'url(assets/cursor.png) 16 16, crosshair' : 'default';
}

// A hidden START cannot take the keyboard: it takes it once shown, as the desktop's button does.
function giveStartTheKeyboard() {
  if (!placing.keyboardAsked || startButton.style.display === 'none') return;
  placing.keyboardAsked = false;
  startButton.focus();
}

// Back to START or the field, unless a menu is open.
export function returnKeyboard() {
  if (openMenu()) return;
  (startButton.style.display !== 'none' ? startButton : canvas).focus();
}
// The same a moment later (after a box or a command), unless the player has taken the keyboard
// elsewhere since `at` (Tab to the menu bar, a menu opened).
export function keyboardBackUnlessMoved(at) {
  if (document.activeElement === at || document.activeElement === document.body) returnKeyboard();
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
