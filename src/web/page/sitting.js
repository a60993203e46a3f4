// SPDX-License-Identifier: MIT
// A sitting opened as a player: once the score server has dealt its cave (or none had to), with
// the menus it brings, the page's Files among them; opened again under a name given at START.
// Today's cave (?today) asks the server for the day's cave, the same for every player, and flies
// it against the day's best, whose ghost the player may hide (Files > Settings...).
import {N, session, settings, call} from './game.js';
import {addPageMenu} from './files.js';
import {keptCheck} from './kept-checks.js';
import {clearMenus} from './menus.js';
import {askSitting} from './scores.js';
import {returnKeyboard} from './keyboard.js';

const ghostHidden = keptCheck('settings-ghost', () => N.ghost.hiddenSetting,
                              (hidden) => call('cavewing_show_ghost', hidden ? 0 : 1));

// Opens a sitting as the player `name`; resolves with whether it is open. Served by the score
// server, the sitting's cave comes from it: the game opens once it has answered (or not in time).
// A box at start-up (a damaged table, say) keeps the game waiting in it: a promise then.
export function openSitting(name) {
  call('cavewing_today', settings.has('today') ? 1 : 0);
  return askSitting(name)
    .then(() => {
      session.ready = true;
      return Module.ccall('cavewing_open', 'number', ['string'], [name]);
    })
    .then((status) => {
      if (status !== -1) return false;
      call('cavewing_show_ghost', ghostHidden() ? 0 : 1);
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
