// SPDX-License-Identifier: MIT
// The page as a screen reader reads it, through the browser's accessibility tree: a named menu
// bar of menus of named items with their shortcuts, the field named, each box named by its
// heading and described by its words, a polite live region that says a pause, the score at the
// crash and the list's row for it (never while a box keeps it from the reader), the list as a
// table, and zoom left to the reader.
//
//   node test_screen_reader.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, painted} from './browser.mjs';

const Flying = 1;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);

// The nodes of the tree (interesting ones, as a reader meets them) that `match` picks.
async function nodes(match, root = undefined) {
  const found = [];
  const walk = (node) => {
    if (match(node)) found.push(node);
    (node.children ?? []).forEach(walk);
  };
  walk(await b.page.accessibility.snapshot(root ? {root, interestingOnly: false} : {}));
  return found;
}
const named = (role) => async () => (await nodes((n) => n.role === role)).map((n) => n.name);

async function openBox(menu, item) {
  await b.click(await b.centreOf(`.menu[data-name="${menu}"]`));
  await b.click(await b.centreOf(`.item[data-name="${item}"]`));
}

try {
  await b.goto('/index.html?name=Reader&seed=2');
  assert.doesNotMatch(await b.evaluate(`document.querySelector('meta[name=viewport]').content`),
                      /user-scalable\s*=\s*no|maximum-scale/, 'zoom is allowed');

  assert.deepEqual(await named('menubar')(), ['Cavewing menus']);
  assert.deepEqual(await named('menuitem')(), ['File', 'Help', 'High Scores', 'Files']);
  assert.deepEqual(await named('application')(), [
    'Cavewing: the cave, the helicopter, the score and the pause meter']);
  // An open menu: its items by their words, with their shortcuts.
  await b.click(await b.centreOf('.menu[data-name="mnuFile"]'));
  const [file] = await nodes((n) => n.role === 'menu');
  assert.equal(file.name, 'File');
  assert.deepEqual(file.children.map((n) => [n.role, n.name, n.keyshortcuts]),
                   [['menuitem', 'New Game', 'Control+N'], ['menuitem', 'Exit', 'Control+X']]);
  // On the screen, as the game's menu has them: a line between its two.
  assert.deepEqual(await b.evaluate(`[...document.querySelector('.menu.open .items').children]
    .map((e) => e.getAttribute('role'))`), ['menuitem', 'separator', 'menuitem']);
  assert.deepEqual(await nodes((n) => n.role === 'menuitem' && n.expanded).then((l) => l.map((n) => n.name)),
                   ['File']);
  await b.click(await b.centreOf('.menu[data-name="mnuFile"]'));
  const expanded = async () => (await nodes((n) => n.role === 'menuitem' && n.expanded))
    .map((n) => n.name);
  assert.deepEqual(await expanded(), [], 'a closed menu said open');
  // Opened by the keyboard, a menu says so as well: F10, Alt and a letter, Alt alone.
  const Alt = 1;
  for (const [how, press, menu] of [
    ['F10', () => b.key('F10', 'F10', 121), 'File'],
    ['Alt+H', () => b.key('h', 'KeyH', 72, Alt), 'Help'],
    ['Alt', () => b.key('Alt', 'AltLeft', 18, Alt), 'File']]) {
    await press();
    await b.waitFor(`a menu open by ${how}`, `document.querySelector('.menu.open')`);
    assert.deepEqual(await expanded(), [menu], `the menu opened by ${how}`);
    await b.key('Escape', 'Escape', 27);
    assert.deepEqual(await expanded(), [], `the menu closed after ${how}`);
  }

  // Each box by its heading, and described by its words.
  const [dialog] = [async () => (await nodes((n) => n.role === 'dialog'))[0]];
  await openBox('mnuHelp', 'mnuHow');
  await b.waitFor('the help', 'cavewingProbe.boxOpen()');
  const help = await dialog();
  assert.equal(help.name, 'How to Play the Cavewing');
  const helpWords = await b.evaluate(`document.getElementById('box-prompt').textContent`);
  const plain = (text) => (text ?? '').replace(/\s+/g, ' ').trim();
  assert.ok(helpWords.length > 100 && plain(help.description).startsWith(plain(helpWords)),
            `the help's description: ${help.description}`);
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the help to close', '!cavewingProbe.boxOpen()');
  await openBox('page:files', 'page:files:9');
  await b.waitFor('the settings', `document.getElementById('settings').open`);
  assert.deepEqual(await named('dialog')(), ['Settings']);
  await b.key('Escape', 'Escape', 27);
  await b.waitFor('the settings to close', `!document.getElementById('settings').open`);

  // The crash says the score; the list, the row it holds there.
  const region = await b.evaluate(`(() => { const r = document.getElementById('news');
    return [r.getAttribute('role'), r.getAttribute('aria-live')]; })()`);
  assert.deepEqual(region, ['status', 'polite']);
  // What the region holds, as the reader has it; each change of it, and whether a box was open
  // then (it is out of the reader's reach while one is).
  const said = async () => (await nodes((n) => n.role === 'StaticText', await b.page.$('#news')))
    .map((n) => n.name).join(' ');
  await b.evaluate(`window.changes = [];
    new MutationObserver(() => changes.push([document.getElementById('news').textContent,
      !!document.querySelector('dialog[open]')]))
      .observe(document.getElementById('news'), {childList: true, characterData: true, subtree: true})`);
  // A pause is said; then, let go, the helicopter falls to its crash.
  await b.click(await b.centreOf('#start'));
  await b.waitFor('flight', `cavewingProbe.phase() === ${Flying}`);
  await b.key('Escape', 'Escape', 27);
  await b.waitFor('the pause said', `document.getElementById('news').textContent`);
  assert.equal(await said(), 'Paused.');
  await b.key('Escape', 'Escape', 27);
  await b.waitFor('the crash', `/Crashed/.test(document.getElementById('news').textContent)`, 30000);
  const atCrash = await said();
  assert.match(atCrash, /^Crashed with a score of \d+\.$/);
  await b.waitFor('the list', painted('HIGH SCORE LIST'), 30000);
  // The first score of an empty table: its box.
  await b.waitFor('the new high score', 'cavewingProbe.boxOpen()');
  const congratulated = await dialog();
  assert.equal(congratulated.name, 'New High Score');
  assert.match(congratulated.description ?? '', /You have a new high score!!!/);
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  await b.waitFor('the row said', `/Number/.test(document.getElementById('news').textContent)`);
  const score = await b.evaluate('cavewingProbe.score()');
  assert.equal(await said(), `Crashed with a score of ${score}. Number 1 on the high-score list.`);
  assert.deepEqual(await b.evaluate('changes.filter(([, boxOpen]) => boxOpen)'), [],
                   'the region changed while a box kept it from the reader');
  // The list the field draws, as a table: its rows' numbers, names and scores.
  const [table] = await nodes((n) => n.role === 'table', await b.page.$('#list'));
  assert.equal(table.name, 'High score list');
  const rows = await nodes((n) => n.role === 'row', await b.page.$('#list'));
  const cells = (row) => (row.children ?? []).map((c) => c.name);
  assert.deepEqual(cells(rows[0]), ['Number', 'Name', 'Score']);
  assert.equal(rows.length, 16);
  assert.deepEqual(cells(rows[1]), ['1.', await b.evaluate(`cavewingProbe.painted()
    .find((t) => /reader/i.test(t))`), score]);
  // The list gone, the crash is no longer there to be read as the next game's.
  await b.click(await b.centreOf('#field'));
  await b.waitFor('the crash no longer said', `!document.getElementById('news').textContent`);
  console.log('screen reader: menu bar, menus (open by mouse or keyboard) and items named, field named, boxes named and described, pause, crash and rank said, the list a table, zoom allowed');
} finally {
  await b.close();
}
