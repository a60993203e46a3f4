// SPDX-License-Identifier: MIT
// The page after one visit, with its server gone: it opens again from what the browser kept (also
// at another address of the page, as Play again and the settings make), plays a game to its end,
// ranks it and keeps its recording.
//
//   node test_offline.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, flyToTheList, painted} from './browser.mjs';

const Flying = 1, Crashed = 3;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder, {served: true});

try {
  await b.goto('/index.html?name=Offline');
  await b.waitFor('the service worker to keep the page',
                  'navigator.serviceWorker.controller !== null', 30000);
  const first = await flyToTheList(b, Flying, Crashed);

  // The server goes: nothing answers at the page's address any more.
  b.server.kill();
  await new Promise((r) => (b.server.exitCode !== null || b.server.signalCode !== null
    ? r() : b.server.on('exit', r)));
  const answered = await b.evaluate(`fetch('/robots.txt', {cache: 'no-store'}).then(() => true, () => false)`);
  assert.equal(answered, false, 'the server is gone');

  await b.goto('/index.html?name=Unplugged&seed=5');
  await b.waitFor('the field painted with no server', painted('Score:'));
  const second = await flyToTheList(b, Flying, Crashed);
  assert.ok(await b.evaluate(painted('UNPLUGGED')), 'the list shows the player');
  const table = await b.evaluate(`localStorage.getItem('cavewing:Cavewing.txt') || ''`);
  for (const row of [`"OFFLINE"\r\n"${first}"`, `"UNPLUGGED"\r\n"${second}"`])
    assert.ok(table.includes(row), `the table keeps ${row}: ${JSON.stringify(table)}`);
  const recording = await b.evaluate(`localStorage.getItem('cavewing:last-game') || ''`);
  assert.match(recording, /^generator \S+ 5$/m, 'the flight with no server is the last game kept');
  console.log(`offline after one visit: flew ${second} (the first ${first}); table and recording kept`);
} finally {
  await b.close();
}
