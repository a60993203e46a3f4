// SPDX-License-Identifier: MIT
// A sitting opened as a player: once the score server has dealt its cave (or none had to), with
// the menus it brings, the page's Files among them; opened again under a name given at START.
import {session, call} from './game.js';
import {addPageMenu} from './files.js';
import {clearMenus} from './menus.js';
import {askSitting} from './scores.js';
import {returnKeyboard} from './start.js';

// Opens a sitting as the player `name`; resolves with whether it is open. Served by the score
// server, the sitting's cave comes from it: the game opens once it has answered (or not in time).
// A box at start-up (a damaged table, say) keeps the game waiting in it: a promise then.
export function openSitting(name) {
  return askSitting(name)
    .then(() => {
      session.ready = true;
      return Module.ccall('cavewing_open', 'number', ['string'], [name]);
    })
    .then((status) => {
      if (status !== -1) return false;
      addPageMenu();
      // A sitting opens ready to play: the pause control is as the page's HTML has it, disabled.
      session.phase = call('cavewing_phase');
      returnKeyboard();
      return true;
    });
}

// The sitting opened again as `name`, with the menus it brings; the demo the address asked for is
// over by now.
export function reopenAs(name) {
  clearMenus();
  Module.cavewing.options.demo = false;
  return openSitting(name);
}
