// SPDX-License-Identifier: MIT
// The player's name: from the address (?name=) or the settings, asked once at the first START
// when none is set, and changed in Files > Settings... (which holds the kept check boxes too:
// kept-checks.js).
import {settings, blocked, call} from './game.js';
import {afterInput} from './frames.js';
import {reopenAs} from './sitting.js';
import {returnKeyboard} from './keyboard.js';
import {persist} from './storage.js';

const nameSetting = 'cavewing.name';  // the player's name from the settings: not one of the files
const nameAsked = 'cavewing.nameAsked';  // the page has asked once: it never asks again

// The player's name as the game reads it at the start of a sitting: `?name=` in the address, else
// the one from the settings.
function playerName() {
  return settings.get('name') ?? localStorage.getItem(nameSetting) ?? '';
}
// The player's name; the address's is refused (throws why) when it holds control characters, a
// line break say. The one from the settings is the player's own: the game keeps it plain.
export function checkedPlayerName() {
  const name = playerName();
  if (settings.has('name') && /[\u0000-\u001f\u007f]/.test(name))
    throw `?name= may not hold control characters: ${JSON.stringify(name)}.`;
  return name;
}

// The settings: the player's name. The game takes it as a sitting starts (its recording keeps it),
// so a new name starts the page again, without the address's `?name=`: the name just chosen holds.
export function openSettings() {
  const box = document.getElementById('settings');
  const input = document.getElementById('settings-name');
  input.value = playerName();
  document.getElementById('settings-hint').textContent = settings.has('name')
    ? 'The address (?name=) gives the name now; a new one here takes its place.' : '';
  box.returnValue = '';
  box.addEventListener('close', () => {
    const name = input.value.trim(), was = playerName();
    if (box.returnValue === 'ok') {
      if (name) localStorage.setItem(nameSetting, name);
      else localStorage.removeItem(nameSetting);
    }
    if (box.returnValue !== 'ok' || name === was) {
      returnKeyboard();
      return;
    }
    persist();
    const address = new URLSearchParams(location.search);
    address.delete('name');
    address.delete('replay');
    location.search = address.toString();
  }, {once: true});
  box.showModal();
  input.select();
}

export function nameWanted() {
  if (settings.has('name') || settings.has('replay')) return false;
  try {
    return !localStorage.getItem(nameSetting) && !localStorage.getItem(nameAsked);
  } catch {
    return false;  // no storage to keep it in
  }
}

// The name is the sitting's from its start (its recording keeps it), so a name given opens the
// sitting again under it before START: nothing was played in it yet.
export function askName() {
  const box = document.getElementById('ask-name');
  const input = document.getElementById('ask-name-input');
  input.value = '';
  box.returnValue = '';
  box.addEventListener('close', () => {
    const name = box.returnValue === 'ok' ? input.value.trim() : '';
    try {
      localStorage.setItem(nameAsked, '1');
      if (name) localStorage.setItem(nameSetting, name);
    } catch (err) {
      console.warn(`cavewing: the name is not kept in this browser: ${err}`);
    }
    (name ? reopenAs(name) : Promise.resolve(true)).then((open) => {
      if (!open || blocked()) return;
      call('cavewing_start');
      afterInput();
    });
  }, {once: true});
  box.showModal();
  input.focus();
}
