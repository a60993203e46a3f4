// SPDX-License-Identifier: MIT
// What the page's tests and its benchmark look at: `cavewingProbe`, the page's one window on its
// insides, given to the window on purpose.
import {N, session, call} from './game.js';
import {frameMs} from './frames.js';
import {loadTable} from './files.js';
import {openMenu} from './menus.js';
import {noticeShown} from './notice.js';
import {paintProbe} from './paint.js';
import {answersHeld} from './scores.js';
import {persist} from './storage.js';
import {fieldRect} from './view.js';

globalThis.cavewingProbe = {
  ready: () => session.ready && !session.ended,
  phase: () => call('cavewing_phase'),  // as numbers().phases names them
  numbers: () => N,
  grid: () => call('cavewing_grid'),
  paints: () => call('cavewing_painted'),  // frames painted so far
  copterTop: () => call('cavewing_copter_top'),
  drawnCopterTop: () => call('cavewing_drawn_copter_top'),  // where the last frame drew it
  score: () => Module.ccall('cavewing_score', 'string', [], []),
  boxOpen: () => session.modal,
  notice: noticeShown,
  standing: () => !!call('cavewing_standing'),
  // Each text of the last frame on the field (painted), how high it stood in CSS pixels
  // (textSizes; `own`: the page's, not the rules'), the badge, when the first frame came.
  ...paintProbe,
  // Where the field is drawn, in CSS pixels of the window.
  fieldRect,
  frameMs: () => frameMs,
  // The open menu's entry ({name, element, ...}), or null.
  openMenu,
  // The player's files kept in the browser now, rather than at the next change of phase.
  persist,
  // A table's text, as the Files menu's "Load a table..." hands over the chosen file's.
  loadTable,
  // The score server's answers held while a box is open.
  answersHeld,
};
