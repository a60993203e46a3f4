// SPDX-License-Identifier: MIT
// What a screen reader says: the score at the crash (or the pause) in a live region, then the
// list the field draws, as a table a reader can go through.
import {N, session, call, callForJson} from './game.js';

const news = document.getElementById('news');
const list = document.getElementById('list');
const shown = {said: undefined, listed: undefined};

// Whether the live region holds words that the game may have made stale.
export function saidSomething() { return !!shown.said; }

// While a box is open the region is out of a reader's reach: what it has to say waits for the box
// to close, or it would never be said.
export function announce() {
  if (session.modal) return;
  const result = callForJson('cavewing_result');
  let text = '';
  if (session.phase === N.phases.paused) {
    text = 'Paused.';
  } else if (result.crashed) {
    text = `Crashed with a score of ${result.score}.`;
    if (result.listed)
      text += result.rank ? ` Number ${result.rank} on the high-score list.`
                          : ' Not on the high-score list.';
  }
  if (text !== shown.said) news.textContent = text;
  shown.said = text;
}

export function copyList() {
  const rows = Module.UTF8ToString(call('cavewing_list'));
  if (rows === shown.listed) return;
  shown.listed = rows;
  list.hidden = !rows;
  list.tBodies[0].replaceChildren(...rows.split('\n').filter(Boolean).map((row) => {
    const line = document.createElement('tr');
    for (const text of row.split('\x1f')) line.insertCell().textContent = text;
    return line;
  }));
}
