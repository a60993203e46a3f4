// SPDX-License-Identifier: MIT
// The page as a screen reader reads it, through the browser's accessibility tree: a named menu
// bar of menus of named items with their shortcuts, the field named, each box named by its
// heading, a polite live region that says the score at the crash and the list's row for it, and
// zoom left to the reader.
//
//   node test_screen_reader.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, climbAndLetGo, painted} from './browser.mjs';

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
  assert.deepEqual(await nodes((n) => n.role === 'menuitem' && n.expanded), [],
                   'a closed menu said open');

  // Each box by its heading.
  await openBox('mnuHelp', 'mnuHow');
  await b.waitFor('the help', 'cavewingProbe.boxOpen()');
  assert.deepEqual(await named('dialog')(), ['How to Play the Cavewing']);
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the help to close', '!cavewingProbe.boxOpen()');
  await openBox('page:files', 'page:files:8');
  await b.waitFor('the settings', `document.getElementById('settings').open`);
  assert.deepEqual(await named('dialog')(), ['Settings']);
  await b.key('Escape', 'Escape', 27);
  await b.waitFor('the settings to close', `!document.getElementById('settings').open`);

  // The crash says the score; the list, the row it holds there.
  const region = await b.evaluate(`(() => { const r = document.getElementById('news');
    return [r.getAttribute('role'), r.getAttribute('aria-live')]; })()`);
  assert.deepEqual(region, ['status', 'polite']);
  await climbAndLetGo(b, Flying);
  // What the region holds, as the reader has it.
  const said = async () => (await nodes((n) => n.role === 'StaticText', await b.page.$('#news')))
    .map((n) => n.name).join(' ');
  await b.waitFor('the crash', `/Crashed/.test(document.getElementById('news').textContent)`, 30000);
  const atCrash = await said();
  assert.match(atCrash, /^Crashed with a score of \d+\.$/);
  await b.waitFor('the list', painted('HIGH SCORE LIST'), 30000);
  if (await b.evaluate('cavewingProbe.boxOpen()')) {
    assert.deepEqual(await named('dialog')(), ['New High Score']);
    await b.click(await b.centreOf('#box-ok'));
    await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  }
  await b.waitFor('the row said', `/Number/.test(document.getElementById('news').textContent)`);
  const score = await b.evaluate('cavewingProbe.score()');
  assert.equal(await said(), `Crashed with a score of ${score}. Number 1 on the high-score list.`);
  // The list gone, the crash is no longer there to be read as the next game's.
  await b.click(await b.centreOf('#field'));
  await b.waitFor('the crash no longer said', `!document.getElementById('news').textContent`);
  console.log('screen reader: menu bar, menus and items named, field named, boxes named, crash and rank said, zoom allowed');
} finally {
  await b.close();
}
