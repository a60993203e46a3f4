// SPDX-License-Identifier: MIT
// The page served by cavewing-server: its sitting's cave comes from the server, a game played on
// it lands in the server's table next to the rows already there (`also`, the desktop's), and the
// list shows that table, also when the answer comes while a box is open. With the server gone at
// the crash, the page keeps the sitting and sends it once the server is back, at the next visit.
// Another tab's game kept meanwhile stays beside the page's, and goes first; the server's refusal
// of it stays in the browser with the reason. A storage too full to keep a game for the server
// says which game was lost. Files > Play the best game plays the table's first row back. After a
// crash, Share copies the link to the game the server took (never an earlier game's while the
// answer is on its way), and the link opened plays that game back; one to no game says why.
// Files > Today's Cave opens the day's cave: its first try ranks on the day's table, the next
// flies the same cave from the same seed with the day's best on its start screen and its ghost
// beside it, unless Settings hides the ghost, which stays hidden after a reload.
//
//   node test_server_page.mjs BUILD_WEB_FOLDER CAVEWING_SERVER DATABASE [ALSO...]
import assert from 'node:assert/strict';
import {Browser, flyToTheList, onToTheList, painted, startServer, stopChild, stepUntil}
  from './browser.mjs';

const Flying = 1, Crashed = 3;
const [folder, serverProgram, database, ...also] = process.argv.slice(2);
const serve = (port) => [serverProgram, '--listen', '127.0.0.1', '--port', String(port),
                         '--db', database, '--web', folder];
const b = await Browser.open(folder, {command: serve(0)});

// The all-time table, or the day's (cave '?cave=today').
async function table(cave = '') {
  const response = await fetch(`${b.origin}/api/table${cave}`);
  return response.ok ? response.json() : [];
}
async function waitForRow(name, score, ms = 30000, cave = '') {
  const deadline = Date.now() + ms;
  for (;;) {
    const rows = await table(cave).catch(() => []);
    if (rows.some((r) => r.name === name && (score === undefined || String(r.score) === score)))
      return rows;
    if (Date.now() > deadline)
      throw new Error(`no row of ${name} (${score}) in the server's table: ${JSON.stringify(rows)}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}
// A recording's seed, as its generator line gives it.
const generator = (recording) => recording.match(/^generator .*$/m)[0];
const unsent = () => b.evaluate(`localStorage.getItem('cavewing:unsent-games') || ''`);

try {
  // A game on the page lands in the server's table, beside what is there already. Its answer
  // comes late, while a box is open: the game takes it once the box is closed.
  await b.goto('/index.html?name=PagePilot');
  await b.send('Fetch.enable', {patterns: [{urlPattern: '*/games*', requestStage: 'Response'}]});
  const held = new Promise((r) => b.session.once('Fetch.requestPaused', r));
  const score = await flyToTheList(b, Flying, Crashed);
  const {requestId} = await held;
  const shareShown = `!document.getElementById('share').hidden`;
  await b.key('h', 'KeyH', 72, 2 /* Ctrl: How to Play */);
  await b.waitFor('a box', 'cavewingProbe.boxOpen()');
  await b.send('Fetch.continueRequest', {requestId});
  await b.send('Fetch.disable');
  await b.waitFor('the answer in', `performance.getEntriesByType('resource')
    .some((e) => e.name.includes('/games?'))`);
  await b.waitFor('the answer held for the box', 'cavewingProbe.answersHeld() > 0');
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  const rows = await waitForRow('PAGEPILOT', score);
  for (const name of also)
    assert.ok(rows.some((r) => r.name === name), `${name} is in the same table: ${JSON.stringify(rows)}`);
  // The recording the server ranked is the page's sitting, from the seed the server gave.
  const ranked = rows.find((r) => r.name === 'PAGEPILOT');
  const kept = await (await fetch(`${b.origin}/api/games/${ranked.game}`)).text();
  const lastGame = await b.evaluate(`localStorage.getItem('cavewing:last-game')`);
  assert.equal(generator(kept), generator(lastGame));
  // The list shows the server's table: the other players' rows, which this browser never had.
  for (const name of also)
    await b.waitFor(`the server's row of ${name} in the list`, painted(name), 10000);

  // Share, once the server has the game: the link to it, copied (headless Chromium has no Web
  // Share). A second game's crash offers no link until the server's answer names that game.
  await b.send('Browser.grantPermissions', {origin: b.origin,
    permissions: ['clipboardReadWrite', 'clipboardSanitizedWrite']});
  const copiedLink = async () => {
    await b.waitFor('Share', shareShown);
    await b.click(await b.centreOf('#share'));
    await b.waitFor('the link copied', `cavewingProbe.notice() === 'Link copied.'`);
    return b.evaluate('navigator.clipboard.readText()');
  };
  const link = await copiedLink();
  assert.equal(link, `${b.origin}/index.html#game=${ranked.game}`);
  await b.send('Fetch.enable', {patterns: [{urlPattern: '*/games*', requestStage: 'Response'}]});
  const heldAgain = new Promise((r) => b.session.once('Fetch.requestPaused', r));
  await b.key('n', 'KeyN', 78, 2 /* Ctrl: New Game */);
  await flyToTheList(b, Flying, Crashed);
  const second = await heldAgain;
  assert.ok(await b.evaluate(`!(${shareShown})`), 'no link before the server names the game');
  const {body, base64Encoded} = await b.send('Fetch.getResponseBody',
                                             {requestId: second.requestId});
  const answered = JSON.parse(Buffer.from(body, base64Encoded ? 'base64' : 'utf8'));
  await b.send('Fetch.continueRequest', {requestId: second.requestId});
  await b.send('Fetch.disable');
  assert.equal(await copiedLink(), `${b.origin}/index.html#game=${answered.game}`);

  // The link opened: that game played back to the score shown at its crash.
  await b.goto(link.slice(b.origin.length));
  await b.waitFor('the shared game playing back', `location.search === '?replay' &&
    cavewingProbe.ready() && cavewingProbe.badge() === 'REPLAY'`, 30000);
  await b.waitFor('the replayed crash', `${painted('YOU CRASHED')} &&
    cavewingProbe.score() === ${JSON.stringify(score)}`, 30000);
  assert.ok(await b.evaluate(`!(${shareShown})`), 'a replay has no link to share');
  // A link to no game the server has, or to no game at all: the page says so, and plays on.
  for (const [id, why] of [['0123abc', 'The score server has no such game.'],
                           ['..%2Ftable', 'This link names no game.']]) {
    await b.goto(`/index.html?name=Linked#game=${id}`);
    await b.waitFor(`why ${id} plays nothing`, `cavewingProbe.boxOpen() &&
      document.getElementById('box-prompt').textContent === ${JSON.stringify(why)}`);
    await b.click(await b.centreOf('#box-ok'));
    await b.waitFor('START', `!cavewingProbe.boxOpen() && cavewingProbe.badge() !== 'REPLAY' &&
      getComputedStyle(document.getElementById('start')).display === 'block'`);
  }

  // Files > Play the best game: the table's first row, played back from the server's recording.
  await b.goto('/index.html?name=PagePilot');
  await b.click(await b.centreOf('.menu[data-name="page:files"]'));
  await b.click(await b.centreOf('.item[data-name="page:files:6"]'));
  await b.waitFor('the best game playing back', `cavewingProbe.ready() &&
    cavewingProbe.badge() === 'REPLAY'`, 30000);
  const replayed = await b.evaluate(`sessionStorage.getItem('cavewing:replay') || ''`);
  const best = await (await fetch(`${b.origin}/api/games/${(await table())[0].game}`)).text();
  assert.equal(replayed, best, 'the replay is the best game the server has');

  // Files > Today's Cave: the page again, in the day's cave, its start screen naming the day's
  // best (nobody's yet).
  await b.goto('/index.html?name=Daily');
  await b.click(await b.centreOf('.menu[data-name="page:files"]'));
  await b.click(await b.centreOf(`.item[aria-label="Today's Cave"]`));
  await b.waitFor("today's cave", `location.search === '?name=Daily&today=' &&
    cavewingProbe.ready() && ${painted("Today's best: none yet")}`, 30000);
  // The first try ranks on the day's table, not the all-time one.
  const daily = await flyToTheList(b, Flying, Crashed);
  const [dayBest] = await waitForRow('DAILY', daily, 30000, '?cave=today');
  assert.ok(!(await table()).some((r) => r.name === 'DAILY'), 'not on the all-time table');
  const dayGame = await (await fetch(`${b.origin}/api/games/${dayBest.game}`)).text();
  // The next try: the same cave from its start, beside the first try's ghost, the day's best on
  // its start screen.
  const ghostFlies = async (shown) => {
    await b.key('n', 'KeyN', 78, 2 /* Ctrl: New Game */);
    await b.waitFor("the day's best", painted(`Today's best: DAILY ${daily}`), 30000);
    await b.evaluate('testClock.hold()');
    const from = await b.evaluate('cavewingProbe.grid()');
    await b.click(await b.centreOf('#start'));
    await stepUntil(b, 'flight', `cavewingProbe.phase() === ${Flying} &&
      cavewingProbe.grid() > ${from} + 20`);
    const drawn = await b.evaluate('cavewingProbe.ghostDrawn()');
    assert.equal(!!drawn, shown, `the ghost drawn: ${drawn}`);
    await b.evaluate('testClock.run()');
    await onToTheList(b, Crashed);
  };
  await ghostFlies(true);
  const nextTry = await b.evaluate(`localStorage.getItem('cavewing:last-game')`);
  assert.equal(generator(nextTry), generator(dayGame), 'both tries fly one seed');
  // Hidden in Settings, the ghost is not drawn, also after a reload.
  await b.click(await b.centreOf('.menu[data-name="page:files"]'));
  await b.click(await b.centreOf(`.item[aria-label="Settings..."]`));
  await b.click(await b.centreOf('#settings-ghost'));
  await b.click(await b.centreOf('#settings-ok'));
  await ghostFlies(false);
  await b.goto('/index.html?name=Daily&today');
  await ghostFlies(false);

  // The server goes away before the crash: the sitting is kept in the browser ...
  await b.goto('/index.html?name=Later');
  const port = new URL(b.origin).port;
  await stopChild(b.server);
  // ... beside the game another tab kept meanwhile, whose sitting the server never issued: the
  // page reads the stored games again right before it keeps its own.
  const otherTab = 'cavewing-unsent 1\nothertab 5 5\nHELLO\n';
  await b.evaluate(`localStorage.setItem('cavewing:unsent-games', ${JSON.stringify(otherTab)})`);
  const later = await flyToTheList(b, Flying, Crashed);
  await b.waitFor('the sitting kept', `(localStorage.getItem('cavewing:unsent-games') || '')
    .includes('player "LATER"')`, 10000);
  const both = await unsent();
  assert.ok(both.startsWith(otherTab), `the other tab's game kept, first: ${both.slice(0, 80)}`);
  assert.ok(!(await table().catch(() => [])).some((r) => r.name === 'LATER'));

  // ... and sent once the server is back, at the next visit; then no longer kept.
  const [again] = await startServerOn(port);
  b.children.push(again);
  await b.goto('/index.html?name=Later');
  await waitForRow('LATER', later);
  await b.waitFor('the kept sitting to go', `!(localStorage.getItem('cavewing:unsent-games') || '')
    .includes('LATER')`, 10000);
  assert.ok(!(await unsent()).includes('LATER'));
  // The other tab's game went first, as played: the server refused it, and it stays with why.
  const refused = await b.evaluate(`localStorage.getItem('cavewing:refused-games') || ''`);
  assert.match(refused, /^cavewing-refused 1\nothertab 5 5 status 404: \S[^\n]*\nHELLO\n$/);

  // A storage too full to keep the game for the server: the page says which game it was.
  await b.goto('/index.html?name=Full');
  await b.evaluate('testClock.hold()');
  await b.click(await b.centreOf('#start'));
  await b.waitFor('the new sitting kept', `/^player "full"$/im.test(
    localStorage.getItem('cavewing:last-game') || '')`);
  await b.fillStorage();
  await b.evaluate('testClock.run()');
  await b.waitFor('the crash', `cavewingProbe.phase() === ${Crashed}`, 30000);
  await b.waitFor('the high-score list', painted('HIGH SCORE LIST'), 30000);
  // The table may have found room: its box waits for the player, and the game with it.
  if (await b.evaluate('cavewingProbe.boxOpen()')) {
    await b.click(await b.centreOf('#box-ok'));
    await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  }
  const full = await b.evaluate('cavewingProbe.score()');
  await b.waitFor('the page to name the game not kept', `cavewingProbe.notice() ===
    "This browser's storage is full: the game that scored ${full}, for the score server, could not be kept."`);
  console.log(`the page's games (${score}, ${later} sent after the server came back) are in the ` +
              `server's table with ${also.join(', ') || 'nothing else'}`);
} finally {
  await b.close();
}

async function startServerOn(port) {
  return startServer(serve(port));
}
