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
    box.addEventListener('close', () => {
      if (box.returnValue === 'ok' && check.checked !== kept()) {
        if (check.checked) localStorage.setItem(key(), '1');
        else localStorage.removeItem(key());
        told(check.checked);
      }
      check.checked = kept();
    });
  });
  return kept;
}

// Each check box as the browser keeps it, once the game has named where (its numbers).
export function showKeptChecks() {
  for (const {id, kept} of checks) document.getElementById(id).checked = kept();
}
