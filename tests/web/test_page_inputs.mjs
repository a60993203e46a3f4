// SPDX-License-Identifier: MIT
// What reaches the page from outside the game, in a real browser: an address whose values carry
// line breaks, files too large for the browser's storage, stray keys in that storage, a recording
// made on a finer grid, and the keys and clicks around the menus, as the desktop takes them (the
// menus and their shortcuts off in flight, on again in a pause).
//
//   node --experimental-websocket test_page_inputs.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, stepUntil, useTestClock} from './browser.mjs';

const Ready = 0, Flying = 1, Paused = 2;
const Alt = 1, Ctrl = 2, Shift = 8;  // the browser's modifier bits
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);
const endedShown = `!document.getElementById('ended').hidden`;
const endedText = `document.querySelector('#ended p').textContent`;

// Leaves for `path` and waits until the page there has either opened the game or ended it.
async function visit(path) {
  await b.evaluate(`setTimeout(() => { location.href = ${JSON.stringify(path)}; }, 0), true`);
  await b.waitFor(path, `location.href.endsWith(${JSON.stringify(path)}) &&
    (cavewingProbe.ready() || ${endedShown})`, 30000);
}

async function answerBox(prompt) {
  const text = await b.waitFor('a box', `cavewingProbe.boxOpen() &&
    document.getElementById('box-prompt').textContent`);
  assert.match(text, prompt);
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
}

try {
  await b.goto('/index.html');

  // Each value of the address is one word of the command line, however it is written: a seed
  // with line breaks is refused as a seed, it does not add --record to overwrite the table.
  await visit('/index.html?seed=5%0A--record%0A/data/Cavewing.txt');
  assert.ok(await b.evaluate(endedShown), 'a seed that is no number is refused');
  assert.match(await b.evaluate(endedText), /seed/);
  assert.equal(await b.evaluate(`localStorage.getItem('cavewing:Cavewing.txt')`), null,
               'nothing was written over the table');
  await visit('/index.html?name=EVE%0AMALLORY');
  assert.ok(await b.evaluate(endedShown), 'a name with a line break is refused');
  assert.match(await b.evaluate(endedText), /control characters/);

  // Stray keys under the page's prefix are skipped, said once, and the page opens.
  await b.goto('/index.html');
  await b.evaluate(`['cavewing:sub/x', 'cavewing:', 'cavewing:..']
    .forEach((k) => localStorage.setItem(k, 'stray'))`);
  await b.send('Page.addScriptToEvaluateOnNewDocument', {source: `window.warned = [];
    const warn = console.warn;
    console.warn = (...a) => { warned.push(a.join(' ')); warn(...a); };`});
  await visit('/index.html?seed=1');
  assert.ok(await b.evaluate('cavewingProbe.ready()'), 'the page opens over stray keys');
  const warned = await b.evaluate('warned');
  assert.equal(warned.length, 1, `said once: ${warned}`);
  assert.match(warned[0], /cavewing:sub\/x/);

  // A recording or a table too large for the browser's storage: the page says so, and what it
  // kept stays as it was.
  // A recording of 150,000 presses and releases, some 9 MB, made in the page.
  await b.evaluate(`(() => {
    const events = Array.from({length: 150000}, (_, i) =>
      \`\${3 + 2 * i} down form 1 0 3000 5200\\n\${4 + 2 * i} up form 1 0 3000 5200\\n\`);
    const text = 'cavewing-replay 2\\nsystem-tick-us 15625\\ngenerator splitmix64 3\\n' +
      'outer-width 15360\\nplayer "BIG"\\nevents\\n2 start\\n' + events.join('') + 'end 300010\\n';
    if (text.length < 8e6) throw new Error('too small');
    const t = new DataTransfer();
    t.items.add(new File([text], 'big-game'));
    document.dispatchEvent(new DragEvent('drop', {dataTransfer: t})); })()`);
  await answerBox(/does not fit/);
  assert.ok(!(await b.evaluate(`location.search.includes('replay')`)), 'no replay opened');
  await b.evaluate(`localStorage.setItem('cavewing:Cavewing.txt', 'the kept table')`);
  // As the Files menu's "Load a table..." hands over the chosen file's text.
  await b.evaluate(`cavewingProbe.loadTable('x'.repeat(6e6))`);
  await answerBox(/does not fit/);
  assert.equal(await b.evaluate(`localStorage.getItem('cavewing:Cavewing.txt')`), 'the kept table');
  await b.evaluate(`localStorage.removeItem('cavewing:Cavewing.txt')`);

  // A browser that gives the program no more memory than it starts with: the replay of a long
  // recording needs more, and the page says that the program stopped, not a field left frozen.
  const {identifier: noMore} = await b.send('Page.addScriptToEvaluateOnNewDocument', {source:
    `WebAssembly.Memory.prototype.grow = () => { throw new RangeError('no more memory'); };`});
  await b.evaluate(`sessionStorage.setItem('cavewing:replay', 'cavewing-replay 2\\n' +
    'system-tick-us 15625\\ngenerator splitmix64 3\\nouter-width 15360\\nplayer "LONG"\\n' +
    'events\\n2 start\\n' + Array.from({length: 60000}, (_, i) =>
      \`\${3 + 2 * i} down form 1 0 3000 5200\\n\${4 + 2 * i} up form 1 0 3000 5200\\n\`).join('') +
    'end 120010\\n')`);
  await visit('/index.html?replay');
  assert.ok(await b.evaluate(endedShown), 'the page says the program stopped');
  assert.match(await b.evaluate(endedText), /stopped on an error/);
  await b.expectPageError(/^Aborted/);
  await b.send('Page.removeScriptToEvaluateOnNewDocument', {identifier: noMore});
  await b.evaluate(`sessionStorage.removeItem('cavewing:replay')`);

  // A recording on a grid of 1 ms replays at its own speed: every frame of its flight (a tenth of
  // a second before its crash) brings it up to real time, some 16 grid points at 60 frames a
  // second. Taking that lag for a stall moved it
  // one grid point a frame, a 16th of its speed. The page's time is the test's here, 60 frames a
  // second exactly: a busy machine's late frames would be stalls, rightly, at any grid.
  const identifier = await useTestClock(b);
  await b.evaluate(`sessionStorage.setItem('cavewing:replay', 'cavewing-replay 2\\n' +
    'system-tick-us 1000\\ngenerator splitmix64 5\\nouter-width 15360\\nplayer "FINE"\\n' +
    'events\\n1 start\\nend 120000\\n')`);
  await b.goto('/index.html?replay');
  const [points, frames] = await b.evaluate(`(async () => {
    const frame = () => new Promise((r) => requestAnimationFrame(r));
    await frame();
    const g = cavewingProbe.grid();
    for (let n = 0; n < 5; ++n) {
      testClock.advance(1000 / 60);
      await frame();
    }
    return [cavewingProbe.grid() - g, 5]; })()`);
  assert.ok(points > 4 * frames, `${points} grid points of 1 ms in ${frames} frames`);
  await b.send('Page.removeScriptToEvaluateOnNewDocument', {identifier});

  // Ctrl+X wants Ctrl alone: with Shift or Alt it does not end the program.
  await b.goto('/index.html?seed=3&name=Keys');
  await b.key('X', 'KeyX', 88, Ctrl | Shift);
  await b.key('x', 'KeyX', 88, Ctrl | Alt);
  assert.ok(await b.evaluate('cavewingProbe.ready()'), 'Ctrl+Shift+X and Ctrl+Alt+X go on');

  // The click that closes an open menu goes no further: the paused game stays paused.
  const field = await b.centreOf('#field');
  await b.click(await b.centreOf('#start'));
  await b.click(field, 'right');
  await b.waitFor('the pause', `cavewingProbe.phase() === ${Paused}`);
  await b.click(await b.centreOf('.menu[data-name="mnuFile"]'));
  await b.waitFor('the File menu open', `document.querySelector('.menu.open')`);
  await b.click(field);
  await b.waitFor('the menu to close', `!document.querySelector('.menu.open')`);
  assert.equal(await b.evaluate('cavewingProbe.phase()'), Paused, 'the closing click is eaten');

  // In flight the menus are off, the page's Files with the game's File, and so are their items'
  // shortcuts: a click on File opens nothing, Ctrl+H opens no help. Paused, they are on again.
  const menusOn = `[...document.querySelectorAll('#menubar .menu')].map((m) => [m.dataset.name,
    !m.classList.contains('disabled') && m.firstChild.getAttribute('aria-disabled') !== 'true'])`;
  const allMenus = (on) => ['mnuFile', 'mnuHelp', 'mnuScores', 'page:files'].map((m) => [m, on]);
  await b.evaluate('testClock.hold()');
  await b.mouse('mousePressed', field);
  await stepUntil(b, 'flight', `cavewingProbe.phase() === ${Flying}`);
  assert.deepEqual(await b.evaluate(menusOn), allMenus(false), 'the menus in flight');
  await b.click(await b.centreOf('.menu[data-name="mnuFile"]'));
  await b.key('h', 'KeyH', 72, Ctrl);
  assert.ok(!(await b.evaluate(`document.querySelector('.menu.open')`)), 'File opened in flight');
  assert.equal(await b.evaluate('cavewingProbe.boxOpen()'), false, 'Ctrl+H opened the help');
  await b.key('Escape', 'Escape', 27);
  await stepUntil(b, 'the pause', `cavewingProbe.phase() === ${Paused}`);
  assert.deepEqual(await b.evaluate(menusOn), allMenus(true), 'the menus while paused');
  await b.evaluate('testClock.run()');

  // In flight, where the Exit item is off, Ctrl+X still ends the program; on a layout of other
  // letters (Cyrillic here), by the key in X's place.
  await b.mouse('mousePressed', field);
  await b.waitFor('flight', `cavewingProbe.phase() === ${Flying}`);
  await b.key('\u0447', 'KeyX', 88, Ctrl);
  await b.waitFor('the end', endedShown);

  // A click on the menu bar ends the demo, and does nothing else.
  await b.goto('/index.html?demo');
  await b.waitFor('the demo in flight', `cavewingProbe.badge() === 'DEMO' &&
    cavewingProbe.phase() === ${Flying}`);
  await b.click(await b.centreOf('.menu[data-name="mnuHelp"]'));
  await b.waitFor('the game ready', `cavewingProbe.badge() === '' &&
    cavewingProbe.phase() === ${Ready}`);
  assert.ok(!(await b.evaluate(`document.querySelector('.menu.open')`)), 'no menu opened');

  // The key that ends the demo goes nowhere until it is let go: let go in a box (held into How
  // to Play, let go there first), or where the page cannot hear it (it lost the focus), the next
  // Up is the player's again and climbs.
  const up = ['ArrowUp', 'ArrowUp', 38];
  const letGoIn = {
    async 'a box'() {
      await b.keyDown('Control', 'ControlLeft', 17, Ctrl);
      await b.keyDown('h', 'KeyH', 72, Ctrl);
      await b.waitFor('How to Play', 'cavewingProbe.boxOpen()');
      await b.keyUp(...up, Ctrl);
      await b.keyUp('h', 'KeyH', 72, Ctrl);
      await b.keyUp('Control', 'ControlLeft', 17);
      await b.click(await b.centreOf('#box-ok'));
      await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
    },
    async 'another window'() {
      await b.evaluate(`window.dispatchEvent(new Event('blur'))`);
    },
  };
  for (const [where, letGo] of Object.entries(letGoIn)) {
    await b.goto('/index.html?demo&name=Keys');
    await b.waitFor('the demo in flight', `cavewingProbe.badge() === 'DEMO' &&
      cavewingProbe.phase() === ${Flying}`);
    await b.keyDown(...up);
    await b.waitFor('the demo to end', `cavewingProbe.badge() === ''`);
    await letGo();
    // The clock held: on a busy machine the helicopter could meet the floor before the key.
    const top = await b.evaluate('cavewingProbe.copterTop()');
    await b.evaluate('testClock.hold()');
    await b.click(await b.centreOf('#start'));
    await b.keyDown(...up);
    await stepUntil(b, `Up to climb, the key that ended the demo let go in ${where}`,
                    `cavewingProbe.phase() === ${Flying} && cavewingProbe.copterTop() < ${top}`);
    await b.keyUp(...up);
  }
  console.log('page inputs: whole words, storage limits, stray keys, a fine grid, menus and keys');
} finally {
  await b.close();
}
