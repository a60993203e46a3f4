// SPDX-License-Identifier: MIT
// The player's keys: to the menus first (their keyboard, menu-keys.js, and their shortcuts), then
// to START, then to the game by its names and codes of them. A key let go while a box is open
// reaches the game once the box has gone.
import {session, blocked} from './game.js';
import {afterInput} from './frames.js';
import {allMenus, barEntry, command, openMenu} from './menus.js';
import {enabledMenus, menuByLetter, menuKey, openByLetter, toggleMenusByKeyboard}
  from './menu-keys.js';
import {shiftOf, firstInputTaken} from './input.js';
import {startButton} from './keyboard.js';

// The game's name of a key (it codes it): letters as the layout gives them, digits and the
// rest by their keys; any other key by the browser's name of its place.
function keyNameOf(e) {
  if (/^[a-z]$/i.test(e.key)) return e.key.toUpperCase();
  if (/^Key[A-Z]$/.test(e.code) && e.key.length === 1 && !/^[\x20-\x7e]$/.test(e.key))
    return e.code.slice(3);
  const digit = /^Digit([0-9])$/.exec(e.code);
  if (digit) return digit[1];
  if (e.key === ' ') return 'Space';
  if (e.key.startsWith('Arrow')) return e.key.slice(5);
  if (e.key.length > 1 && e.key !== 'Unidentified' && e.key !== 'Dead') return e.key;
  return e.code || 'Unidentified';
}
function characterOf(e) {
  const named = {Backspace: 8, Enter: 13, Escape: 27};  // Tab never reaches the game
  if (named[e.key]) return named[e.key];
  if (e.key.length !== 1) return 0;
  if (e.ctrlKey && /^[a-z]$/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0) - 64;
  const c = e.key.charCodeAt(0);
  return c > 0 && c < 256 ? c : 0;
}

// A menu's shortcut is its exact shift state: Ctrl+X, not Ctrl+Shift+X or Ctrl+Alt+X.
function shortcutOf(e) {
  if (!e.ctrlKey || e.shiftKey || e.altKey || e.metaKey || e.key.length !== 1) return '';
  return 'Ctrl+' + e.key.toUpperCase();
}

// Alt is down and no other key has come since: let go, it opens the menus.
let altAlone = false;
document.addEventListener('keydown', (e) => {
  altAlone = e.key === 'Alt' && (!e.repeat || altAlone);
  if (blocked() || e.target.closest('dialog')) return;
  const key = keyNameOf(e);
  // The key that lifted a stand-still or ended the demo, and its repeats: none of the page's.
  if (firstInputTaken(key) ||
      Module.ccall('cavewing_caught_key', 'number', ['string', 'number', 'number'],
                   [key, 0, e.repeat ? 1 : 0])) {
    e.preventDefault();
    return;
  }
  const onBar = e.target.matches(barEntry) && enabledMenus().length;
  if ((openMenu() || onBar) && menuKey(e)) {
    e.preventDefault();
    return;
  }
  // The rest of the keys are the open menu's (Tab has shut it by now).
  if (openMenu()) {
    e.preventDefault();
    return;
  }
  if (e.key === 'F10' && !shiftOf(e) && enabledMenus().length) {
    e.preventDefault();
    toggleMenusByKeyboard();
    return;
  }
  // A menu that is off (all are, in flight) leaves Alt and its letter to the game.
  if (e.altKey && e.key.length === 1) {
    const menu = menuByLetter(e.key);
    if (menu && menu.enabled) { e.preventDefault(); openByLetter(menu); return; }
  }
  // A disabled item's shortcut (a disabled menu disables its items) is no shortcut: the key goes
  // on to the game, which ends the program on Ctrl+X in flight, as the desktop does.
  const shortcut = shortcutOf(e);
  const entry = shortcut && allMenus().find((m) => m.shortcut === shortcut);
  if (entry && entry.enabled) {
    e.preventDefault();
    command(entry);
    return;
  }
  // The other keys on the bar stay there, as the desktop's bar keeps them: none is the game's.
  if (onBar) return;
  // START takes Space and Enter as a button does; the other keys it keeps are not the game's.
  if (e.target === startButton) {
    if (e.key === 'Enter') { e.preventDefault(); startButton.click(); }
    return;
  }
  // Tab is the page's: it takes the focus on, out of the field too.
  if (e.key === 'Tab') return;
  if (e.key === ' ' || e.key.startsWith('Arrow')) e.preventDefault();
  Module.ccall('cavewing_key', null, ['string', 'number', 'number', 'number'],
               [key, shiftOf(e), characterOf(e), e.repeat ? 1 : 0]);
  afterInput();
});

// A key let go is the game's too: the Up arrow is its left button. While a box is open the game
// waits in its handler, and hears of it once the box has gone.
const keyUpsInBox = [];
document.addEventListener('keyup', (e) => {
  if (e.key === 'Alt' && altAlone && !blocked() && !e.target.closest('dialog') &&
      (openMenu() || enabledMenus().length)) {
    e.preventDefault();
    toggleMenusByKeyboard();
  }
  altAlone = false;
  if (!session.ready || session.ended) return;
  const up = [keyNameOf(e), shiftOf(e), e.repeat ? 1 : 0];
  if (session.modal)
    keyUpsInBox.push(up);
  else
    keyUp(up);
});
function keyUp(up) {
  Module.ccall('cavewing_key_up', 'number', ['string', 'number', 'number'], up);
}
export function keysLetGoInBox() {
  const ups = keyUpsInBox.splice(0);
  if (!blocked()) ups.forEach(keyUp);
}
window.addEventListener('blur', () => { altAlone = false; });  // Alt+Tab is not Alt alone
