// SPDX-License-Identifier: MIT
// The check boxes of Files > Settings... the browser keeps (the mute, the ghost hidden): each
// shows what is kept, the box's OK keeps a change, and the game hears of it at once.
const checks = [];

// The check box `id`, kept under the name `key()` gives ('1' while checked): `told(checked)`
// tells the game of a change. Returns whether it is checked now.
export function keptCheck(id, key, told) {
  const kept = () => {
    try {
      return localStorage.getItem(key()) === '1';
    } catch {
      return false;  // no storage: nothing was kept
    }
  };
  checks.push({id, kept});
  addEventListener('DOMContentLoaded', () => {
    const box = document.getElementById('settings'), check = document.getElementById(id);
    // Taken at OK itself: Chromium fires the box's close only at its next frame, after a click
    // on START that may follow at once (a rotor heard under a mute just set).
    box.querySelector('form').addEventListener('submit', (event) => {
      if (event.submitter?.value !== 'ok' || check.checked === kept()) return;
      if (check.checked) localStorage.setItem(key(), '1');
      else localStorage.removeItem(key());
      told(check.checked);
    });
    box.addEventListener('close', () => {
      check.checked = kept();
    });
  });
  return kept;
}

// Each check box as the browser keeps it, once the game has named where (its numbers).
export function showKeptChecks() {
  for (const {id, kept} of checks) document.getElementById(id).checked = kept();
}
