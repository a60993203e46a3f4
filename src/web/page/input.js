// SPDX-License-Identifier: MIT
// The player's mouse and fingers on the field, handed to the game as its buttons (held.js keeps
// those held); the click that only ends the demo or a stand-still. (Keys are keys.js's.)
import {N, blocked, call} from './game.js';
import {canvas, toTwips} from './view.js';
import {wake, afterInput} from './frames.js';
import {held} from './held.js';
import {returnKeyboard} from './keyboard.js';
import {closeMenus, openMenu} from './menus.js';
import {noteTouchScreen} from './touch.js';

// Input wakes the page first (frames.js), before the listeners below hear of it.
for (const type of ['mousedown', 'mouseup', 'pointerdown', 'pointerup', 'keydown', 'keyup'])
  window.addEventListener(type, wake, true);

export function shiftOf(e) {
  return (e.shiftKey ? N.shift.shift : 0) | (e.ctrlKey ? N.shift.ctrl : 0) |
         (e.altKey ? N.shift.alt : 0);
}

// A press (`second`: the second press of a quick double click) or a release, routed by the game.
function press(button, e, second = false) {
  const [x, y] = toTwips(e);
  call('cavewing_press', button, shiftOf(e), x, y, second ? 1 : 0);
  afterInput();
}
function release(button, e) {
  const [x, y] = toTwips(e);
  call('cavewing_release', button, shiftOf(e), x, y);
  afterInput();
}

// The first click (no key) or key lifts a stand-still, or ends the demo, and goes no further.
export function firstInputTaken(key = '') {
  return Module.ccall('cavewing_first_input', 'number', ['string'], [key]) === 1;
}

// The game's code of a mouse button, by the browser's number of it.
function buttonOf(e) { return [N.buttons.left, N.buttons.middle, N.buttons.right][e.button]; }
// Before any control sees it, a click that closes an open menu, or that ends the demo or lifts a
// stand-still, is taken whole: it does nothing else, on the field, START or the menu bar alike.
let clickTaken = false;
window.addEventListener('mousedown', (e) => {
  clickTaken = false;
  if (e.target.closest('dialog')) return;
  if (openMenu() && !e.target.closest('.menu')) {
    closeMenus();
  } else if (blocked() || !firstInputTaken()) {
    return;
  }
  clickTaken = true;
  e.preventDefault();
  e.stopPropagation();
}, true);
// The click that follows such a press goes too; none follows when the button is let go elsewhere.
window.addEventListener('mouseup', () => {
  if (clickTaken) setTimeout(() => { clickTaken = false; }, 0);
}, true);
window.addEventListener('click', (e) => {
  if (!clickTaken) return;
  clickTaken = false;
  e.preventDefault();
  e.stopPropagation();
}, true);
canvas.addEventListener('mousedown', (e) => {
  e.preventDefault();
  returnKeyboard();  // a click on the field leaves START its focus, as on the desktop
  if (blocked()) return;
  const button = buttonOf(e);
  if (!button) return;
  held.set('mouse' + button, button);
  // The second press of a quick double click; the game decides what it is.
  press(button, e, e.detail > 1 && e.detail % 2 === 0);
});
window.addEventListener('mouseup', (e) => {
  const button = buttonOf(e);
  if (!button || !held.delete('mouse' + button) || blocked()) return;
  release(button, e);
});
canvas.addEventListener('contextmenu', (e) => e.preventDefault());

// Touch: the first finger is the left button, a second finger the right one (it pauses).
canvas.addEventListener('pointerdown', (e) => {
  if (e.pointerType !== 'touch') return;
  e.preventDefault();
  noteTouchScreen();
  if (openMenu()) {
    closeMenus();
    return;
  }
  if (blocked()) return;
  if (firstInputTaken()) return;
  const fingers = [...held.keys()].filter((k) => typeof k === 'number').length;
  const button = fingers === 0 ? N.buttons.left : N.buttons.right;
  held.set(e.pointerId, button);
  canvas.setPointerCapture(e.pointerId);
  press(button, e);
});
for (const type of ['pointerup', 'pointercancel']) {
  canvas.addEventListener(type, (e) => {
    if (e.pointerType !== 'touch' || !held.has(e.pointerId)) return;
    const button = held.get(e.pointerId);
    held.delete(e.pointerId);
    if (!blocked()) release(button, e);
  });
}
