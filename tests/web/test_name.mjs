// SPDX-License-Identifier: MIT
// A first-time player is asked for a name once, at the first START, before the game starts: the
// name is kept where the settings keep it, the sitting (and its recording) is the named player's,
// and the list shows it. A player who gives none is not asked again, nor is one named by the
// address's ?name=.
//
//   node test_name.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, painted} from './browser.mjs';

const Ready = 0, Flying = 1, Crashed = 3;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);
const asking = `document.getElementById('ask-name').open`;

// START, and whether the page asked for a name before the game started.
async function start() {
  await b.click(await b.centreOf('#start'));
  await b.waitFor('the name asked or the flight', `${asking} || cavewingProbe.phase() === ${Flying}`);
  return b.evaluate(asking);
}
async function flyAgain(path) {
  await b.goto(path);
  assert.equal(await start(), false, `${path}: not asked again`);
}

try {
  await b.goto('/index.html?seed=6');
  assert.equal(await start(), true, 'a first START asks for the name');
  assert.equal(await b.evaluate('cavewingProbe.phase()'), Ready, 'the game waits for it');
  assert.deepEqual((await b.page.accessibility.snapshot()).children.map((n) => [n.role, n.name]),
                   [['dialog', 'Your name']]);
  await b.send('Input.insertText', {text: 'Zed'});
  await b.click(await b.centreOf('#ask-name button[value=ok]'));
  await b.waitFor('the flight', `!${asking} && cavewingProbe.phase() === ${Flying}`);
  assert.equal(await b.evaluate(`localStorage.getItem('cavewing.name')`), 'Zed');
  await b.waitFor('the list', `cavewingProbe.phase() === ${Crashed} && ${painted('HIGH SCORE LIST')}`,
                  30000);
  if (await b.evaluate('cavewingProbe.boxOpen()')) {
    await b.click(await b.centreOf('#box-ok'));
    await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  }
  await b.waitFor('the name on the list', painted('ZED'));
  assert.match(await b.evaluate(`localStorage.getItem('cavewing:last-game')`), /^player "ZED"$/m,
               'the sitting is recorded as the named player');
  await flyAgain('/index.html?seed=6');

  // No name given: asked once all the same.
  await b.evaluate('localStorage.clear()');
  await b.goto('/index.html');
  assert.equal(await start(), true);
  await b.click(await b.centreOf('#ask-name button[value=cancel]'));
  await b.waitFor('the flight', `cavewingProbe.phase() === ${Flying}`);
  assert.equal(await b.evaluate(`localStorage.getItem('cavewing.name')`), null);
  await flyAgain('/index.html');

  // The address's name comes first.
  await b.evaluate('localStorage.clear()');
  await flyAgain('/index.html?name=Url');
  console.log('name: asked once at the first START, kept, the sitting the named player\'s; ?name= first');
} finally {
  await b.close();
}
