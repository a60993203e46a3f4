// SPDX-License-Identifier: MIT
// The page's sounds and their mute: flight sounds once the player's click lets the page sound;
// the mute, set in Files > Settings, silences every sound after it (the rotor, the climb, the
// crash, the new high score), and a reload keeps it.
//
//   node test_sound.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, painted} from './browser.mjs';

const Flying = 1, Crashed = 3;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);

// Every sound the page starts, and those still sounding, counted where Web Audio plays them.
await b.page.evaluateOnNewDocument(() => {
  const node = AudioBufferSourceNode.prototype, start = node.start, stop = node.stop;
  globalThis.sounds = {started: 0, playing: new Set()};
  node.start = function (...args) {
    ++sounds.started;
    sounds.playing.add(this);
    this.addEventListener('ended', () => sounds.playing.delete(this));
    return start.apply(this, args);
  };
  node.stop = function (...args) {
    sounds.playing.delete(this);
    return stop.apply(this, args);
  };
});

// A game to its crash and the list, the left button held from START on (a list up goes first).
async function crash() {
  const field = await b.centreOf('#field');
  if (await b.evaluate(painted('HIGH SCORE LIST'))) await b.click(field);
  await b.click(await b.centreOf('#start'));
  await b.waitFor('the flight', `cavewingProbe.phase() === ${Flying}`);
  await b.mouse('mousePressed', field);
  await b.waitFor('the list', `cavewingProbe.phase() === ${Crashed} && ${painted('HIGH SCORE LIST')}`,
                  30000);
  await b.mouse('mouseReleased', field);
  if (await b.evaluate('cavewingProbe.boxOpen()')) await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
}

try {
  await b.goto('/index.html?seed=6&name=Pat');
  await b.click(await b.centreOf('#start'));
  await b.waitFor('the rotor', `cavewingProbe.phase() === ${Flying} && sounds.playing.size > 0`);
  await b.waitFor('the crash', `cavewingProbe.phase() === ${Crashed}`, 30000);
  // The first score of an empty table is a new high score: its box (and its fanfare) comes.
  await b.waitFor('the list and its box', `${painted('HIGH SCORE LIST')} && cavewingProbe.boxOpen()`,
                  30000);
  await b.click(await b.centreOf('#box-ok'));
  await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');

  await b.click(await b.centreOf('.menu[data-name="page:files"]'));
  await b.click(await b.centreOf('.item[data-name="page:files:9"]'));
  await b.waitFor('the settings', `document.getElementById('settings').open`);
  await b.click(await b.centreOf('#settings-mute'));
  // The mute holds from OK on, before anything else can happen: a click on START at once.
  assert.equal(await b.evaluate(`document.getElementById('settings-ok').click(),
                                 localStorage.getItem('cavewing.muted')`), '1',
               'the mute is kept at OK');
  await b.waitFor('the settings to close', `!document.getElementById('settings').open`);
  const before = await b.evaluate('sounds.started');
  await crash();
  assert.equal(await b.evaluate('sounds.started'), before, 'muted: no rotor, no crash, no fanfare');

  await b.goto('/index.html?seed=6&name=Pat');
  assert.equal(await b.evaluate(`document.getElementById('settings-mute').checked`), true,
               'the mute is kept over a reload');
  await crash();
  assert.equal(await b.evaluate('sounds.started'), 0, 'kept muted after the reload');
  console.log('sound: the rotor after the first click; the mute stops it and every sound after, '
              + 'and is kept');
} finally {
  await b.close();
}
