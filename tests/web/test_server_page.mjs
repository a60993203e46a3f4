// SPDX-License-Identifier: MIT
// The page served by cavewing-server: its sitting's cave comes from the server, a game played on
// it lands in the server's table next to the rows already there (`also`, the desktop's), and the
// list shows that table, also when the answer comes while a box is open. With the server gone at
// the crash, the page keeps the sitting and sends it once the server is back, at the next visit.
// Another tab's game kept meanwhile stays beside the page's, and goes first; the server's refusal
// of it stays in the browser with the reason. A storage too full to keep a game for the server
// says which game was lost. Files > Play the best game plays the table's first row back.
//
//   node test_server_page.mjs BUILD_WEB_FOLDER CAVEWING_SERVER DATABASE [ALSO...]
import assert from 'node:assert/strict';
import {Browser, flyToTheList, painted, startServer, stopChild} from './browser.mjs';

const Flying = 1, Crashed = 3;
const [folder, serverProgram, database, ...also] = process.argv.slice(2);
const serve = (port) => [serverProgram, '--listen', '127.0.0.1', '--port', String(port),
                         '--db', database, '--web', folder];
const b = await Browser.open(folder, {command: serve(0)});

async function table() {
  const response = await fetch(`${b.origin}/api/table`);
  return response.ok ? response.json() : [];
}
async function waitForRow(name, score, ms = 30000) {
  const deadline = Date.now() + ms;
  for (;;) {
    const rows = await table().catch(() => []);
    if (rows.some((r) => r.name === name && (score === undefined || String(r.score) === score)))
      return rows;
    if (Date.now() > deadline)
      throw new Error(`no row of ${name} (${score}) in the server's table: ${JSON.stringify(rows)}`);
    await new Promise((r) => setTimeout(r, 50));
  }
}
const unsent = () => b.evaluate(`localStorage.getItem('cavewing:unsent-games') || ''`);

try {
  // A game on the page lands in the server's table, beside what is there already. Its answer
  // comes late, while a box is open: the game takes it once the box is closed.
  await b.goto('/index.html?name=PagePilot');
  await b.send('Fetch.enable', {patterns: [{urlPattern: '*/games*', requestStage: 'Response'}]});
  const held = new Promise((r) => b.session.once('Fetch.requestPaused', r));
  const score = await flyToTheList(b, Flying, Crashed);
  const {requestId} = await held;
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
  assert.equal(kept.match(/^generator .*$/m)[0], lastGame.match(/^generator .*$/m)[0]);
  // The list shows the server's table: the other players' rows, which this browser never had.
  for (const name of also)
    await b.waitFor(`the server's row of ${name} in the list`, painted(name), 10000);

  // Files > Play the best game: the table's first row, played back from the server's recording.
  await b.click(await b.centreOf('.menu[data-name="page:files"]'));
  await b.click(await b.centreOf('.item[data-name="page:files:6"]'));
  await b.waitFor('the best game playing back', `cavewingProbe.ready() &&
    cavewingProbe.badge() === 'REPLAY'`, 30000);
  const replayed = await b.evaluate(`sessionStorage.getItem('cavewing:replay') || ''`);
  const best = await (await fetch(`${b.origin}/api/games/${rows[0].game}`)).text();
  assert.equal(replayed, best, 'the replay is the best game the server has');

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
