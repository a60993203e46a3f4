// SPDX-License-Identifier: MIT
// The page with the keyboard alone: Enter presses START, the Up arrow held climbs (its repeats
// change nothing) and let go falls, Enter pauses and resumes, Space pauses, Up resumes and climbs
// into the ceiling, a crash's box closes by Enter, Up starts over; the game got the left button's
// presses, not a key, as the recording's replay shows, and Backspace as its character.
// Every menu item has its letter and is reached by the arrows from Alt or F10, Enter chooses,
// Esc closes, and Tab goes on from the field (Shift+Tab to the menu bar) instead of staying in it,
// closing a menu it leaves. On the bar Left and Right go along it, Esc leaves it and Enter opens;
// F10 or Alt alone shuts an open menu, Alt and another menu's letter goes there, as does the
// letter alone on the bar, where other keys stay; in flight the keyboard opens no menu and leaves
// the keys to the game (Esc after Alt or Alt+H pauses). Shift, Ctrl and Alt alone reach the game
// by their codes, and stop a replay.
//
//   node test_keyboard.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdtempSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {Browser, stepUntil} from './browser.mjs';

const Ready = 0, Flying = 1, Paused = 2, Crashed = 3;
const Shift = 8, Ctrl = 2, Alt = 1;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);
const up = ['ArrowUp', 'ArrowUp', 38];
const focused = () => b.evaluate(`(() => { const e = document.activeElement;
  return e.dataset.name || e.id || e.tagName; })()`);
const key = (name, keyCode, modifiers = 0) => b.key(name, name, keyCode, modifiers);

// The keyboard's last moves and who moved it, for a failure to tell.
await b.page.evaluateOnNewDocument(() => {
  globalThis.focusMoves = [];
  addEventListener('focusin', (e) => {
    const stack = new Error().stack.split('\n').slice(2, 6).map((l) => l.trim()).join(' < ');
    focusMoves.push(`${e.target.dataset?.name || e.target.id || e.target.tagName}: ${stack}`);
    focusMoves.splice(0, focusMoves.length - 6);
  }, true);
});
const focusMoves = () => b.evaluate(`focusMoves.join('\\n')`);

try {
  await b.goto('/index.html?seed=7&name=Keys');
  // The page gives START the keyboard as it opens, just after it says it is ready.
  await b.waitFor('START to have the keyboard', `document.activeElement.id === 'start'`);

  // Enter starts; Up held climbs, its repeats on the way; let go, it falls. The clock is held
  // until the crash: a busy machine's late key would meet the helicopter on the floor.
  const top = await b.evaluate('cavewingProbe.copterTop()');
  await b.evaluate('testClock.hold()');
  await key('Enter', 13);
  // A letter and a digit reach the game as their characters' codes; on a layout whose digit row
  // types other characters (French, here é), by its key.
  await b.key('0', 'Digit0', 48);
  await b.key('\u00e9', 'Digit2', 50);
  await b.key('q', 'KeyQ', 81);
  await key('Backspace', 8);
  await b.keyDown(...up);
  for (let i = 0; i < 3; ++i) await b.keyDown(...up, 0, true);
  await stepUntil(b, 'Up held to climb', `cavewingProbe.phase() === ${Flying} &&
    cavewingProbe.copterTop() < ${top}`);
  await b.keyUp(...up);
  // It coasts on, then falls past where it was let go.
  const letGo = await b.evaluate('cavewingProbe.copterTop()');
  await stepUntil(b, 'the fall after the release', `cavewingProbe.copterTop() > ${letGo} + 100`);
  // Enter pauses and resumes, as Space does.
  await key('Enter', 13);
  assert.equal(await b.evaluate('cavewingProbe.phase()'), Paused, 'Enter did not pause');
  await key('Enter', 13);
  assert.equal(await b.evaluate('cavewingProbe.phase()'), Flying, 'Enter did not resume');
  // Space pauses; Up resumes and climbs, as the left button does, held into the ceiling.
  await b.keyDown(' ', 'Space', 32);
  await b.keyUp(' ', 'Space', 32);
  await stepUntil(b, 'the pause', `cavewingProbe.phase() === ${Paused}`);
  const paused = await b.evaluate('cavewingProbe.copterTop()');
  await b.keyDown(...up);
  await stepUntil(b, 'a climb out of the pause', `cavewingProbe.phase() === ${Flying} &&
    cavewingProbe.copterTop() < ${paused}`);
  await stepUntil(b, 'the crash', `cavewingProbe.phase() === ${Crashed}`);
  await b.keyUp(...up);
  await b.evaluate('testClock.run()');
  // The first score in an empty table: its box takes Enter.
  await b.waitFor('the new high score', 'cavewingProbe.boxOpen()', 60000);
  await key('Enter', 13);
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  await b.waitFor('the list', `cavewingProbe.painted().includes('HIGH SCORE LIST')`);
  await b.keyDown(...up);
  await b.keyUp(...up);
  await b.waitFor('a new start', `cavewingProbe.phase() === ${Ready}`);
  // The recording, once the game has brought it up to date (every second) and the page kept it.
  const count = (kind) => `(localStorage.getItem('cavewing:last-game')
    .match(/^\\d+ ${kind} form 1 0 0 0$/gm)?.length ?? 0)`;
  // Should it not come, the failure shows what was recorded: it failed once under load.
  await b.waitFor('the last press and release recorded', `(cavewingProbe.persist(), ${count('down')} >= 3 &&
    ${count('up')} >= 3)`).catch(async (error) => {
    error.message += `\nrecorded:\n${await b.evaluate(`localStorage.getItem('cavewing:last-game')`)}`;
    throw error;
  });
  const recording = await b.evaluate(`localStorage.getItem('cavewing:last-game')`);
  assert.equal(recording.match(/^\d+ down form 1 0 0 0$/gm)?.length, 3, recording);
  assert.equal(recording.match(/^\d+ up form 1 0 0 0$/gm)?.length, 3, recording);
  assert.doesNotMatch(recording, / keydown 38 /, 'Up reached the game as a key');
  assert.match(recording, / keydown 48 /, 'the 0 key did not reach the game as 0');
  assert.match(recording, / keydown 50 /, 'the key of 2 and \u00e9 did not reach the game as 2');
  assert.match(recording, / keydown 81 /, 'the Q key did not reach the game as Q');
  assert.match(recording, / keypress 8$/m, 'Backspace did not reach the game as its character');
  // Its replay: climbing while held, falling once let go, into the ceiling held again.
  const work = mkdtempSync(join(tmpdir(), 'cavewing-keys-'));
  let trace;
  try {
    writeFileSync(join(work, 'last-game'), recording);
    trace = execFileSync('node', [join(folder, 'cavewing-headless.js'), '--replay',
                                  join(work, 'last-game'), '--headless', '--trace'],
                         {encoding: 'utf8', maxBuffer: 1 << 30});
  } finally {
    rmSync(work, {recursive: true, force: true});
  }
  const at = new Map(trace.split('\n').filter((l) => l.startsWith('{')).map((l) => JSON.parse(l))
    .map((g) => [g.grid, g]));
  const grids = (pattern) => [...recording.matchAll(new RegExp(`^(\\d+) ${pattern}$`, 'gm'))]
    .map((m) => Number(m[1]));
  const [down, ups] = [grids('down form 1 0 0 0'), grids('up form 1 0 0 0')];
  const pause = grids('keypress 32')[0];
  assert.ok(at.get(ups[0]).imgCopter.Top < at.get(down[0]).imgCopter.Top, 'held, it climbed');
  // As the page saw it: just before the pause, let go, it was falling (its speed downward). The
  // press that resumes may come at the pause's own grid point: time stands while paused.
  const beforePause = at.get(pause - 1);
  assert.ok(!beforePause.timers.tmrUp && beforePause.climbSpeed > 0,
            `let go, it did not fall: ${JSON.stringify(beforePause)}`);
  assert.ok(at.get(down[1]).timers.tmrUp && at.get(ups[1]).crashed,
            'held again, no climb to a crash');

  // Every menu and item has its own letter in its menu.
  const letters = await b.evaluate(`[...document.querySelectorAll('#menubar .menu')].map((m) =>
    [m, ...m.querySelectorAll('.item')].map((e) => e.querySelector(':scope > span u')?.textContent
      .toLowerCase() ?? ''))`);
  for (const [bar, ...items] of letters) {
    assert.ok(bar && items.every((l) => l), `a caption with no letter: ${bar} ${items}`);
    assert.equal(new Set(items).size, items.length, `one letter for two items: ${items}`);
  }
  assert.equal(new Set(letters.map(([bar]) => bar)).size, letters.length, 'two menus, one letter');

  // From Alt alone (or F10), Down through each menu and Right to the next: every item is reached,
  // each menu's first one as the menu opens, and the keyboard stays in the open menu (on the bar's
  // High Scores, which has no items).
  const everyItem = await b.evaluate(`[...document.querySelectorAll('#menubar .item')]
    .map((e) => e.dataset.name).sort()`);
  const reached = new Set();
  await b.keyDown('Alt', 'AltLeft', 18, 1);
  await b.keyUp('Alt', 'AltLeft', 18);
  for (let menu = 0; menu < letters.length; ++menu) {
    for (let item = 0; item < letters[menu].length; ++item) {
      reached.add(await focused());
      assert.ok(await b.evaluate('cavewingProbe.openMenu().element.contains(document.activeElement)'),
                `the keyboard left the open menu for ${await focused()}`);
      await key('ArrowDown', 40);
    }
    await key('ArrowRight', 39);
  }
  assert.equal(await focused(), 'mnuNew', 'Right goes round the bar, back to File');
  assert.deepEqual(everyItem.filter((name) => !reached.has(name)), [], 'items never reached');
  await key('Escape', 27);
  assert.equal(await b.evaluate('cavewingProbe.openMenu()'), null, 'Esc closes the menus');
  assert.equal(await focused(), 'start', 'Esc gives the keyboard back');
  // Enter chooses: F10 opens File, Right opens Help on How to Play, and the page says beside it
  // how its keys play.
  await key('F10', 121);
  await key('ArrowRight', 39);
  assert.equal(await focused(), 'mnuHow');
  await key('Enter', 13);
  await b.waitFor('How to Play', 'cavewingProbe.boxOpen()');
  assert.match(await b.evaluate(`document.getElementById('box-note').textContent`), /Up arrow/);
  await key('Enter', 13);
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  // Left from File goes round to the page's Files; Up opens it on its last item.
  await key('F10', 121);
  await key('ArrowLeft', 37);
  assert.equal(await focused(), 'page:files:0');
  await key('ArrowUp', 38);
  assert.equal(await focused(), 'page:files:9');
  await key('Enter', 13);
  await b.waitFor('the settings', `document.getElementById('settings').open`);
  await key('Escape', 27);
  await b.waitFor('the settings to close', `!document.getElementById('settings').open`);
  // The menu with no items: High Scores, chosen by its letter on the bar.
  await b.key('o', 'KeyO', 79, 1 /* Alt */);
  await b.waitFor('the list', `cavewingProbe.painted().includes('HIGH SCORE LIST')`);

  // The keyboard with nowhere to go (on the page itself) goes to START as the list closes.
  await b.evaluate('new Promise((resolve) => setTimeout(resolve, 0))');
  await b.evaluate('document.activeElement.blur()');
  await key('Escape', 27);
  await b.waitFor('START with the keyboard', `document.activeElement.id === 'start'`);

  // Tab goes on from the field, and back from it to the menu bar, whose Down opens the menu.
  await b.evaluate(`document.getElementById('field').focus()`);
  await key('Tab', 9);
  assert.equal(await focused(), 'start', 'Tab stayed in the field');
  await b.evaluate(`document.getElementById('field').focus()`);
  await key('Tab', 9, Shift);
  assert.equal(await focused(), 'mnuFile', 'Shift+Tab did not reach the menu bar');
  await key('ArrowDown', 40);
  assert.equal(await focused(), 'mnuNew');
  // Shift+Tab, so that the keyboard stays on the page: from START, given it back, to the field.
  await key('Tab', 9, Shift);
  assert.equal(await b.evaluate('cavewingProbe.openMenu()'), null, 'Tab left a menu open behind it');
  assert.equal(await focused(), 'field',
               `Tab went on from an item that is gone; the last moves:\n${await focusMoves()}`);
  assert.equal(await b.evaluate('cavewingProbe.phase()'), Ready);

  // On the bar, its menus shut: Left and Right go along it (round its ends) and open nothing, Esc
  // gives the keyboard back, Enter opens the menu it stands on; High Scores, with no items, shows
  // the list. In an open menu F10 or Alt alone shuts it, and Alt with another menu's letter goes
  // to that menu.
  const openMenu = () => b.evaluate('cavewingProbe.openMenu()?.name ?? null');
  const toTheBar = async () => {
    await b.evaluate(`document.getElementById('field').focus()`);
    await key('Tab', 9, Shift);
    assert.equal(await focused(), 'mnuFile');
  };
  const altAlone = async () => {
    await b.keyDown('Alt', 'AltLeft', 18, Alt);
    await b.keyUp('Alt', 'AltLeft', 18);
  };
  await b.waitFor('START back', `document.getElementById('start').style.display !== 'none'`);
  await toTheBar();
  await key('ArrowRight', 39);
  assert.equal(await focused(), 'mnuHelp', 'Right on the bar');
  await key('ArrowLeft', 37);
  await key('ArrowLeft', 37);
  assert.equal(await focused(), 'page:files', 'Left from File goes round the bar');
  assert.equal(await openMenu(), null, 'going along the bar opened a menu');
  await key('Escape', 27);
  assert.equal(await focused(), 'start', 'Esc on the bar kept the keyboard there');
  await toTheBar();
  await key('Enter', 13);
  assert.equal(await openMenu(), 'mnuFile', 'Enter on the bar');
  assert.equal(await focused(), 'mnuNew');
  await key('F10', 121);
  assert.equal(await openMenu(), null, 'F10 left the menu open');
  assert.equal(await focused(), 'start', 'F10 kept the keyboard in the menus');
  await altAlone();
  assert.equal(await openMenu(), 'mnuFile');
  await b.key('h', 'KeyH', 72, Alt);
  assert.equal(await openMenu(), 'mnuHelp', 'Alt+H in the open File');
  assert.equal(await focused(), 'mnuHow');
  await altAlone();
  assert.equal(await openMenu(), null, 'Alt alone left the menu open');
  assert.equal(await focused(), 'start');
  // As on the desktop's bar, a menu's letter alone opens it, Shift or not; a key of no menu
  // stays on the bar and never reaches the game, which has the next key on the field.
  await toTheBar();
  await b.key('H', 'KeyH', 72, Shift);
  assert.equal(await openMenu(), 'mnuHelp', 'H on the bar');
  await key('Escape', 27);
  await toTheBar();
  await b.key('z', 'KeyZ', 90);
  await key('Backspace', 8);
  assert.equal(await focused(), 'mnuFile', 'Z on the bar');
  await b.evaluate(`document.getElementById('field').focus()`);
  await b.key('q', 'KeyQ', 81);
  await b.waitFor('the Q on the field recorded', `(cavewingProbe.persist(), (localStorage
    .getItem('cavewing:last-game').match(/ keydown 81 /g)?.length ?? 0) >= 2)`);
  const sitting = await b.evaluate(`localStorage.getItem('cavewing:last-game')`);
  assert.doesNotMatch(sitting, / keydown 90 /, 'a letter on the menu bar reached the game');
  assert.equal(sitting.match(/ keypress 8$/gm).length, 1, 'Backspace on the bar reached the game');
  await toTheBar();
  await key('ArrowRight', 39);
  await key('ArrowRight', 39);
  assert.equal(await focused(), 'mnuScores');
  await key('Enter', 13);
  await b.waitFor('the list by Enter', `cavewingProbe.painted().includes('HIGH SCORE LIST')`);
  await b.waitFor('the keyboard back on the field', `document.activeElement.id === 'field'`);
  // New Game by its shortcut gives START the keyboard, though START shows only with the next frame.
  await b.key('n', 'KeyN', 78, Ctrl);
  await b.waitFor('START with the keyboard', `document.activeElement.id === 'start'`);

  // In flight the menus are off, to the keyboard too: Alt alone, F10 and Alt+F open none.
  await b.evaluate('testClock.hold()');
  await b.evaluate(`document.getElementById('start').click()`);
  await stepUntil(b, 'flight', `cavewingProbe.phase() === ${Flying}`);
  await altAlone();
  await key('F10', 121);
  await b.key('f', 'KeyF', 70, Alt);
  assert.equal(await openMenu(), null, 'a menu opened in flight');
  // Nor do they take the keys: after Alt alone, or Alt+H (the game's own H), Esc pauses.
  for (const [how, press] of [['Alt', altAlone], ['Alt+H', () => b.key('h', 'KeyH', 72, Alt)]]) {
    await press();
    await key('Escape', 27);
    assert.equal(await b.evaluate('cavewingProbe.phase()'), Paused, `Esc after ${how} in flight`);
    await key('Escape', 27);
    assert.equal(await b.evaluate('cavewingProbe.phase()'), Flying);
  }
  // Shift, Ctrl and Alt alone reach the game by their codes, as on the desktop.
  await b.key('Shift', 'ShiftLeft', 16, Shift);
  await b.key('Control', 'ControlLeft', 17, Ctrl);
  const recorded = (pattern) =>
    `(cavewingProbe.persist(), ${pattern}.test(localStorage.getItem('cavewing:last-game')))`;
  await stepUntil(b, 'the keys recorded', recorded(/keydown 72 4$[^]* keydown 16 1$[^]* keydown 17 2$/m));
  assert.ok(await b.evaluate(recorded(/ keydown 18 4$/m)), 'Alt alone did not reach the game');
  // And a modifier alone on the field stops a replay, as any key does.
  await b.evaluate(`sessionStorage.setItem('cavewing:replay', localStorage.getItem('cavewing:last-game'))`);
  await b.evaluate('testClock.run()');
  await b.goto('/index.html?replay');
  await b.waitFor('the replay', `cavewingProbe.badge() === 'REPLAY'`);
  await b.evaluate(`document.getElementById('field').focus()`);
  await b.key('Shift', 'ShiftLeft', 16, Shift);
  await b.waitFor('Shift to stop the replay', `cavewingProbe.badge() === ''`);
  console.log('the page plays and its menus open with the keyboard alone');
} finally {
  await b.close();
}
