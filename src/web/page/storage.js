// SPDX-License-Identifier: MIT
// The player's files (the high-score table, the recordings, the games for the score server): the
// game keeps them in its data folder, and the page keeps that folder in the browser's storage.
import {session, store, callForJson} from './game.js';
import {notice} from './notice.js';

export const dataFolder = '/data';
// Each file's text as this tab last kept it (or found it) in the browser.
const kept = new Map();
export function keptText(name) { return kept.get(name); }

// A kept file is a plain name in the data folder: anything else under the prefix (left by
// another page of this origin, or by hand) is skipped, and said once, not followed.
function plainFileName(name) {
  return name !== '' && name !== '.' && name !== '..' && !/[\/\0]/.test(name);
}
export function restore() {
  Module.FS.mkdir(dataFolder);
  const skipped = [];
  for (let i = 0; i < localStorage.length; ++i) {
    const key = localStorage.key(i);
    if (!key.startsWith(store)) continue;
    const name = key.slice(store.length), text = localStorage.getItem(key);
    try {
      if (!plainFileName(name)) throw new Error('not a file name');
      Module.FS.writeFile(`${dataFolder}/${name}`, text);
      kept.set(name, text);
    } catch (err) {
      skipped.push(JSON.stringify(key));
    }
  }
  if (skipped.length)
    console.warn(`cavewing: skipped ${skipped.join(', ')} in the browser's storage: not a file`);
}
// Every file of the data folder kept.
export function persist() {
  if (!session.ready) return;
  for (const name of Module.FS.readdir(dataFolder)) {
    const path = `${dataFolder}/${name}`;
    if (name === '.' || name === '..' || !Module.FS.isFile(Module.FS.stat(path).mode)) continue;
    const err = keepFile(name);
    if (err) console.warn(`cavewing: could not keep ${name} in the browser: ${err}`);
  }
}
// What is lost when the browser refuses the file `name`: for the games the score server has yet
// to take, the one just played (the one the save was for).
function unkeptWords(name) {
  if (name !== 'unsent-games') return name === 'Cavewing.txt' ? 'your new high score' : name;
  return `the game that scored ${callForJson('cavewing_result').score}, for the score server,`;
}
// Keeps one of the player's files in the browser; the error when the browser refuses it.
function keepFile(name) {
  const text = Module.FS.readFile(`${dataFolder}/${name}`, {encoding: 'utf8'});
  if (kept.get(name) === text) return null;
  try {
    localStorage.setItem(store + name, text);
    kept.set(name, text);
    return null;
  } catch (err) {
    return err;
  }
}

// A file the game has just saved is kept at once: the game congratulates only on a save that
// lasts, and a game for the score server is sent from what another tab or visit finds. When
// the browser refuses it, the page says what was lost, in its own words.
export function keep(path) {
  const name = path.slice(dataFolder.length + 1);
  const err = keepFile(name);
  if (!err) return 1;
  const what = unkeptWords(name);
  notice(err.name === 'QuotaExceededError'
    ? `This browser's storage is full: ${what} could not be kept.`
    : `This browser could not keep ${what} (${err.message}).`);
  return 0;
}
// The file as the browser keeps it now, right before the game reads it to save it again (the
// games for the score server: another tab of the page may have kept them since); the game keeps
// what it wrote right after, in the same task. The browser gives no lock across tabs: tabs that
// share an event loop never come between the two steps; tabs in other processes could, only by
// writing within the moment one's write takes to reach the other.
export function refresh(path) {
  const name = path.slice(dataFolder.length + 1), text = localStorage.getItem(store + name);
  // Unchanged since this tab kept it: what the data folder holds is as new, or newer.
  if (text === null || text === kept.get(name)) return;
  Module.FS.writeFile(path, text);
  kept.set(name, text);
}
