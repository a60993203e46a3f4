// SPDX-License-Identifier: MIT
// The game's message boxes (the game waits in its handler while one is open), and the end of the
// program, asked for or on a fault.
import {N, session} from './game.js';
import {askFrame} from './frames.js';
import {releaseHeld} from './held.js';
import {keyboardBackUnlessMoved} from './keyboard.js';
import {keysLetGoInBox} from './keys.js';
import {commandUnderway} from './menus.js';
import {answerWaiting} from './scores.js';
import {persist} from './storage.js';
import {touchScreen, TouchNote} from './touch.js';

// Beside How to Play: the page's keys.
const keysNote = 'On the keyboard: hold the Up arrow to climb and let go to fall, as with the ' +
                 'left mouse button. Alt or F10 opens the menus, and Tab leaves the field.';

// A modal box: the game's handler waits for it, and time stands still while it is open.
export function messageBox(prompt, title) {
  const box = document.getElementById('box');
  document.getElementById('box-title').textContent = title;
  document.getElementById('box-prompt').textContent = prompt;
  // The page's word beside the box: its keys beside How to Play, and on a touch screen a note for
  // fingers (the rules' help speaks of mouse buttons and keys).
  const note = document.getElementById('box-note');
  const help = commandUnderway() === N.helpMenu;
  const notes = help ? [keysNote, touchScreen() ? TouchNote : ''] : [];
  note.textContent = notes.filter(Boolean).join(' ');
  note.hidden = !note.textContent;
  session.modal = true;
  return new Promise((resolve) => {
    box.addEventListener('close', () => {
      session.modal = false;
      resolve();
      const at = document.activeElement;
      // The handler has returned: the buttons held as the box opened are let go, as the keys
      // let go in it.
      setTimeout(() => {
        keyboardBackUnlessMoved(at);
        releaseHeld();
        keysLetGoInBox();
        persist();
        answerWaiting();
        askFrame();
      }, 0);
    }, {once: true});
    box.showModal();
    document.getElementById('box-ok').focus();
  });
}
// The game's word outside any handler of its own (the score server's, say).
export function say(text) { setTimeout(() => messageBox(text, 'Cavewing'), 0); }

// The program has ended (or refused the page's settings, and says why).
export function ended(why) {
  session.ended = true;
  persist();
  showEnded(why);
}
export function showEnded(why) {
  if (why) document.querySelector('#ended p').textContent = why;
  document.getElementById('ended').hidden = false;
  document.getElementById('again').focus();
}
document.getElementById('again').addEventListener('click', () => location.reload());

// The program stopped on a fault of its own (out of memory, say: the runtime's abort throws one
// too): the player is told, not left before a field that no longer moves. Nothing more is asked
// of it, not even what to keep.
function stopped(err) {
  console.error(err);
  if (session.ended) return;
  session.ended = true;
  showEnded('Cavewing stopped on an error of its own (it may have run out of memory).');
}
const runtimeFault = (err) => err instanceof WebAssembly.RuntimeError && stopped(err);
window.addEventListener('error', (e) => runtimeFault(e.error));
window.addEventListener('unhandledrejection', (e) => runtimeFault(e.reason));
