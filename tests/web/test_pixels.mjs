// SPDX-License-Identifier: MIT
// The page paints what the desktop paints: one recording replayed in the page to grid points in
// flight, a screenshot of the field at each, compared pixel by pixel with the desktop's offscreen
// picture of the same grid point (compare_field). The page's time is the test's: a clock of its
// own takes the place of the page's, so the replay stops exactly where the desktop's does. A grid
// point written with a "p" (650p) is shot again once the page has gone away: flight stands still
// under the "PAUSED" band, at the same place on both.
//
//   node test_pixels.mjs BUILD_WEB_FOLDER COMPARE_FIELD RECORDING GRID...
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {Browser, stepUntil, useTestClock} from './browser.mjs';

const [folder, compareField, recording, ...grids] = process.argv.slice(2);
const FieldWidth = 1016, FieldHeight = 722;  // the field at a pixel a pixel

const b = await Browser.open(folder);
const work = mkdtempSync(join(tmpdir(), 'cavewing-pixels-'));
let passed = false;
try {
  await useTestClock(b);
  await b.goto('/index.html');
  await b.evaluate(`sessionStorage.setItem('cavewing:replay', ${JSON.stringify(readFileSync(recording, 'utf8'))})`);
  // A window that holds the menu bar and the field at its own size, at one pixel per pixel. Keeps
  // out a canvas the browser stretches (sized before the menu bar had its menus, it was).
  const menuBar = await b.evaluate(`document.getElementById('stage').getBoundingClientRect().top`);
  assert.equal(menuBar, Math.round(menuBar), 'the menu bar ends on a whole pixel');
  await b.send('Emulation.setDeviceMetricsOverride', {width: FieldWidth,
    height: FieldHeight + menuBar, deviceScaleFactor: 1, mobile: false});
  await b.goto('/index.html?replay');
  await b.waitFor('the replay', `cavewingProbe.badge() === 'REPLAY'`);
  // The page's clock has started (its first frame) before the test's time moves.
  await b.evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');

  const shots = [];
  for (const shot of grids) {
    const grid = parseInt(shot, 10), standStill = shot.endsWith('p');
    await stepUntil(b, `grid point ${grid}`, `cavewingProbe.grid() >= ${grid}`, 60000);
    assert.equal(await b.evaluate('cavewingProbe.grid()'), grid, 'the page at the grid point');
    assert.equal(await b.evaluate('cavewingProbe.phase()'),
                 await b.evaluate('cavewingProbe.numbers().phases.flying'),
                 `in flight at grid point ${grid}`);
    if (standStill) {
      await b.evaluate(`window.dispatchEvent(new Event('blur'))`);
      await b.waitFor('the stand-still', 'cavewingProbe.standing()');
      await b.evaluate('new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))');
    }
    const picture = await b.send('Page.captureScreenshot', {format: 'png',
      clip: {x: 0, y: menuBar, width: FieldWidth, height: FieldHeight, scale: 1}});
    const file = join(work, `page-${shot}.png`);
    writeFileSync(file, Buffer.from(picture.data, 'base64'));
    shots.push(shot, file);
  }
  try {
    process.stdout.write(execFileSync(compareField, [recording, ...shots], {encoding: 'utf8'}));
  } catch (err) {
    throw new Error(`the page's pictures differ from the desktop's (kept in ${work}):\n${err.stdout}${err.stderr}`);
  }
  passed = true;
} finally {
  await b.close();
  if (passed) rmSync(work, {recursive: true, force: true});
}
