// SPDX-License-Identifier: MIT
// The page's own menu, Files, after the game's: the player's files in and out of the browser
// (downloads, a table loaded, a recording opened or dropped on the page), today's cave or the
// classic one, and the settings.
import {N, settings, store, call} from './game.js';
import {messageBox} from './boxes.js';
import {addMenu, menuEnabled, menuNamed} from './menus.js';
import {servedByScoreServer} from './scores.js';
import {keptText, persist} from './storage.js';

// The settings box sits above the files (it reopens the sitting): boot.js wires it in.
export const fileHooks = {openSettings: () => {}};

// It is off whenever the game's File menu is (in flight). The best game of the table is there
// only where a score server serves the page: no other has one to play.
const pageFiles = [
  ['&Download Cavewing.txt', () => download('Cavewing.txt')],
  ['&Load a table...', () => choose('.txt', loadTable)],
  ['-'],
  ['Download last &game', () => download('last-game')],
  ['Download &best game', () => download('best-game')],
  ['&Open a recording...', () => choose('', openRecording)],
  ['&Play the best game', () => call('cavewing_best_game'), 'served'],
  // Today's cave, and back to the classic one: the page opens again in the other.
  settings.has('today') ? ['&Classic Cave', () => reopenInCave(false), 'served']
                        : ["&Today's Cave", () => reopenInCave(true), 'served'],
  ['-'],
  ['&Settings...', () => fileHooks.openSettings()],
];
export function addPageMenu() {
  addMenu('page:files', 'Fi&les', '', 0);
  menuNamed('page:files').follows = N.filesMenu;
  menuEnabled('page:files', menuNamed(N.filesMenu).enabled);
  pageFiles.forEach(([caption, action, served], i) => {
    if (served && !servedByScoreServer) return;
    addMenu(caption === '-' ? '' : `page:files:${i}`, caption, '', 1);
    if (action) menuNamed(`page:files:${i}`).action = action;
  });
}

// The page again, in today's cave or the classic one: a cave chosen by the address (?seed=), the
// demo and a replay are neither.
function reopenInCave(today) {
  persist();
  const address = new URLSearchParams(location.search);
  for (const other of ['seed', 'demo', 'replay']) address.delete(other);
  if (today) address.set('today', '');
  else address.delete('today');
  location.search = address.toString();
}

function download(name) {
  persist();
  const text = keptText(name);
  if (text === undefined) {
    messageBox(`There is no ${name} in this browser yet.`, 'Cavewing');
    return;
  }
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([text], {type: 'text/plain'}));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

function choose(accept, then) {
  const input = document.createElement('input');
  input.type = 'file';
  if (accept) input.accept = accept;
  input.addEventListener('change', () => input.files[0] && input.files[0].text().then(then));
  input.click();
}

// A table from elsewhere (the desktop's Cavewing.txt) replaces the browser's; the game reads it
// as it starts, so the page starts again.
export function loadTable(text) {
  if (!keepInBrowser(localStorage, store + 'Cavewing.txt', text, 'This table',
                     'The table kept in this browser stays as it was.'))
    return;
  location.reload();
}

// A recording plays back in a page of its own, as `cavewing --replay FILE` does.
export function openRecording(text) {
  const said = 'It was not opened.';
  if (!keepInBrowser(sessionStorage, store + 'replay', text, 'This recording', said)) return;
  // The recording brings its own seed, layout and player.
  location.href = location.pathname + '?replay';
}

// Keeps `text` under `key`, or says why it could not (the browser's storage is full, or the
// file is larger than it takes): what was kept before stays.
function keepInBrowser(storage, key, text, what, outcome) {
  try {
    storage.setItem(key, text);
    return true;
  } catch (err) {
    const size = (text.length / 1e6).toFixed(1);
    messageBox(`${what} (${size} MB) does not fit in this browser's storage. ${outcome}`,
               'Cavewing');
    return false;
  }
}

document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', (e) => {
  e.preventDefault();
  const file = e.dataTransfer.files[0];
  if (file) file.text().then(openRecording);
});
