// SPDX-License-Identifier: MIT
// The page on a phone, a touch screen held in landscape (844x390 CSS pixels) and in portrait: the
// field as large as the screen allows, a full-screen control that works, a pause control that
// pauses and resumes as the rules' pause key does (and is recorded as that key), the page's words
// for fingers, text that stays readable (the rules' at least 10 CSS pixels high, the page's own at
// least 12), and every control a finger's square of 44 CSS pixels.
//
//   node test_phone.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, painted, stepUntil} from './browser.mjs';

const Ready = 0, Flying = 1, Paused = 2, Crashed = 3;
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder);

async function phone(width, height) {
  await b.send('Emulation.setTouchEmulationEnabled', {enabled: true, maxTouchPoints: 5});
  await b.send('Emulation.setDeviceMetricsOverride', {width, height, deviceScaleFactor: 3,
    mobile: true, screenOrientation: width > height ? {type: 'landscapePrimary', angle: 90}
                                                    : {type: 'portraitPrimary', angle: 0}});
}
async function tap(selector) {
  const at = await b.centreOf(selector);
  await b.touch('touchStart', [at]);
  await b.touch('touchEnd', []);
}

// Every text on the screen: on the field as the page drew it, and the page's own elements, each
// at least as high as it must be.
async function checkReadable(when) {
  const field = await b.evaluate('cavewingProbe.textSizes()');
  assert.ok(field.length > 0, `${when}: texts on the field`);
  for (const {text, px, own} of field)
    assert.ok(px >= (own ? 12 : 10), `${when}: "${text}" is ${px.toFixed(1)} CSS px high`);
  // START's caption is the rules' own.
  const elements = await b.evaluate(`[...document.querySelectorAll('body *')].filter((e) =>
      e.id !== 'news' && e.getClientRects().length > 0 &&
      [...e.childNodes].some((n) => n.nodeType === 3 && n.textContent.trim()))
    .map((e) => [e.textContent.trim(), parseFloat(getComputedStyle(e).fontSize), e.id === 'start'])`);
  assert.ok(elements.length > 0, `${when}: the page's own words`);
  for (const [text, px, rules] of elements)
    assert.ok(px >= (rules ? 10 : 12), `${when}: "${text}" is ${px} CSS px high`);
}

// The controls a finger misses: those with no square of 44 CSS pixels on the screen, beside or on
// the control, every point of which reaches it.
async function checkFingerSized(when, selectors) {
  const missed = await b.evaluate(`${JSON.stringify(selectors)}.filter((selector) => {
    const e = document.querySelector(selector), r = e.getBoundingClientRect(), Side = 44;
    const reached = (x0, y0) => [1, 11, 22, 33, 43].every((dx) =>
      [1, 11, 22, 33, 43].every((dy) => e.contains(document.elementFromPoint(x0 + dx, y0 + dy))));
    for (let x = Math.max(0, r.left - Side); x <= Math.min(innerWidth - Side, r.right); x += 2)
      for (let y = Math.max(0, r.top - Side); y <= Math.min(innerHeight - Side, r.bottom); y += 2)
        if (reached(x, y)) return false;
    return true; })`);
  assert.deepEqual(missed, [], `${when}: controls with no square of 44 CSS px a finger reaches`);
}
const open = (menu) => tap(`.menu[data-name="${menu}"]`).then(() =>
  b.waitFor(`${menu} open`, `document.querySelector('.menu.open')`));
const itemsOf = (menu) => b.evaluate(`[...document.querySelectorAll(
  '.menu[data-name="${menu}"] .item')].map((e) => \`.item[data-name="\${e.dataset.name}"]\`)`);

try {
  await phone(844, 390);
  await b.goto('/index.html?name=Thumb&seed=4');
  const [width, height] = await b.evaluate('[innerWidth, innerHeight]');
  assert.deepEqual([width, height], [844, 390]);

  // Every control takes a finger: the menu bar's entries, each menu's items, START, Pause, Full
  // screen, and the boxes' buttons.
  await b.centreOf('#start');
  const bar = ['mnuFile', 'mnuHelp', 'mnuScores', 'page:files'];
  await checkFingerSized('the start screen', [...bar.map((m) => `.menu[data-name="${m}"]`),
    '#start', '#pause', '#fullscreen']);
  for (const menu of ['mnuFile', 'mnuHelp', 'page:files']) {
    await open(menu);
    await checkFingerSized(`${menu} open`, await itemsOf(menu));
    await tap(`.menu[data-name="${menu}"]`);
  }
  await open('page:files');
  await tap('.item[data-name="page:files:9"]');
  await b.waitFor('the settings', `document.getElementById('settings').open`);
  await checkFingerSized('the settings', ['#settings-ok', '#settings button[value=cancel]']);
  await tap('#settings button[value=cancel]');
  await b.waitFor('the settings to close', `!document.getElementById('settings').open`);

  // The rules' help as they wrote it, with the page's note for fingers beside it.
  await tap('.menu[data-name="mnuHelp"]');
  await tap('.item[data-name="mnuHow"]');
  await b.waitFor('the help', 'cavewingProbe.boxOpen()');
  assert.match(await b.evaluate(`document.getElementById('box-prompt').textContent`), /LEFT mouse button/);
  assert.match(await b.evaluate(`document.getElementById('box-note').hidden ? '' :
    document.getElementById('box-note').textContent`), /finger/);
  await checkReadable('the help');
  await checkFingerSized('the help', ['#box-ok']);
  await tap('#box-ok');
  await b.waitFor('the help to close', '!cavewingProbe.boxOpen()');

  // Full screen; the field takes the whole height under the menu bar.
  assert.equal(await b.evaluate(`document.getElementById('fullscreen').hidden`), false);
  await tap('#fullscreen');
  await b.waitFor('full screen', 'document.fullscreenElement !== null');
  await b.evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
  const menuBar = await b.evaluate(`document.getElementById('menubar').getBoundingClientRect().bottom`);
  const landscape = await b.evaluate('cavewingProbe.fieldRect()');
  assert.ok(Math.abs(landscape.height - (height - menuBar)) < 1,
            `the field ${JSON.stringify(landscape)} fills the height under the menu bar (${menuBar})`);
  assert.ok(landscape.left + landscape.width <= await b.evaluate(
    `document.getElementById('pause').getBoundingClientRect().left`), 'the controls beside the field');

  // Pause pauses and resumes, as the rules' pause key does. The clock is held until the field is
  // tapped again: on a busy machine the helicopter could crash first.
  assert.equal(await b.evaluate(`document.getElementById('pause').disabled`), true, 'nothing to pause');
  await b.evaluate('testClock.hold()');
  await tap('#start');
  await stepUntil(b, 'flight', `cavewingProbe.phase() === ${Flying}`);
  await tap('#pause');
  // A charge of the pause meter is spent: its 6 is painted no more.
  await stepUntil(b, 'the pause', `cavewingProbe.phase() === ${Paused} &&
    document.getElementById('pause').textContent === 'Resume' && !${painted('6')}`);
  await checkReadable('a pause');
  await tap('#pause');
  await stepUntil(b, 'flight again', `cavewingProbe.phase() === ${Flying}`);

  // Flight standing still while the page is away: the page's own words, for fingers.
  await b.evaluate(`window.dispatchEvent(new Event('blur'))`);
  await stepUntil(b, 'the stand-still', `cavewingProbe.standing() &&
    cavewingProbe.textSizes().some((t) => t.text === 'tap to go on')`);
  await checkReadable('the stand-still');
  await tap('#field');
  await stepUntil(b, 'flight again', `!cavewingProbe.standing()`);
  await b.evaluate('testClock.run()');

  // The list after the fall, its rows the smallest of the rules' texts.
  await b.waitFor('the list', `cavewingProbe.phase() === ${Crashed} && ${painted('HIGH SCORE LIST')}`,
                  60000);
  if (await b.evaluate('cavewingProbe.boxOpen()')) {
    await checkReadable('the new high score');
    await tap('#box-ok');
    await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  }
  await b.waitFor('the list painted', painted('THUMB'));
  await checkReadable('the list');
  // The recording has the pause control's two presses as the pause key, no Shift held.
  const recording = await b.evaluate(`localStorage.getItem('cavewing:last-game')`);
  assert.equal(recording.match(/^\d+ keydown 27 0$/gm)?.length, 2, recording);

  // Out of full screen, and the phone turned: the field as wide as the screen.
  await tap('#fullscreen');
  await b.waitFor('full screen left', 'document.fullscreenElement === null');
  await phone(390, 844);
  await b.waitFor('the field across the screen', `Math.abs(cavewingProbe.fieldRect().width - 390) < 1`);
  const portrait = await b.evaluate('cavewingProbe.fieldRect()');
  assert.ok(portrait.top + portrait.height <= await b.evaluate(
    `document.getElementById('pause').getBoundingClientRect().top`), 'the controls below the field');
  // START, upright, on the start screen.
  await b.goto('/index.html?name=Thumb&seed=4');
  await b.centreOf('#start');
  await checkFingerSized('upright', ['#start']);
  console.log('phone: full screen, pause and resume, words for fingers, readable text, the field as large as the screen');
} finally {
  await b.close();
}
