// SPDX-License-Identifier: MIT
// The page on simulated displays of 60, 120 and 144 Hz, its time the test's (as the pixel test
// runs it): where the cave is drawn is read from the canvas, frame by frame. In flight every
// frame moves the cave by the same distance, within a device pixel of the even glide, and none
// shows the last one again; the start screen paints nothing after its first frame, nor calls the
// game until the player's input.
//
//   node test_glide.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser, stepUntil, useTestClock} from './browser.mjs';

const [folder] = process.argv.slice(2);
const FieldWidth = 1016, FieldHeight = 722;  // the field at a pixel a pixel
const StepPixels = 8, GridPointsASecond = 64;  // the cave's step, and the clock's grid

// Frames at `rate` for a second of flight: how far each moved the cave (the shift that matches
// the depth of the green ceiling, from below the captions at the top, in each column of the last
// frame best), and how many the page painted.
const flyAt = (rate) => `(async () => {
  const canvas = document.getElementById('field'), ctx = canvas.getContext('2d');
  const BelowCaptions = 80;
  const glide = ${StepPixels * GridPointsASecond} / ${rate}, most = Math.ceil(2 * glide) + 2;
  const columns = () => {
    const {data, width, height} = ctx.getImageData(0, 0, canvas.width, canvas.height);
    const green = (x, y) => {
      const i = 4 * (y * width + x);
      return data[i] === 0 && data[i + 1] === 255 && data[i + 2] === 0;
    };
    const depth = new Array(width).fill(0);
    for (let x = 0; x < width; ++x)
      while (BelowCaptions + depth[x] < height && green(x, BelowCaptions + depth[x])) ++depth[x];
    return depth;
  };
  const movedLeft = (was, is) => {
    let best = 0, least = Infinity;
    for (let shift = 0; shift <= most; ++shift) {
      let mismatch = 0;
      for (let x = 0; x + most < is.length; ++x) mismatch += Math.abs(was[x + shift] - is[x]);
      if (mismatch < least) [best, least] = [shift, mismatch];
    }
    return best;
  };
  const flying = cavewingProbe.numbers().phases.flying, paints = cavewingProbe.paints();
  const moved = [];
  let before = columns();
  for (let k = 1; k <= ${rate}; ++k) {
    testClock.advance(1000 / ${rate});
    await new Promise((r) => requestAnimationFrame(r));  // after the page's own frame
    if (cavewingProbe.phase() !== flying) throw new Error('the demo crashed at frame ' + k);
    const now = columns();
    moved.push(movedLeft(before, now));
    before = now;
  }
  return {glide, moved, paints: cavewingProbe.paints() - paints};
})()`;

const b = await Browser.open(folder);
try {
  await useTestClock(b);
  await b.goto('/index.html');
  const menuBar = await b.evaluate(`document.getElementById('stage').getBoundingClientRect().top`);
  await b.send('Emulation.setDeviceMetricsOverride', {width: FieldWidth,
    height: FieldHeight + menuBar, deviceScaleFactor: 1, mobile: false});
  const twoFrames = 'new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)))';

  // The start screen: its first frame, then for two seconds of its standing nothing painted, and
  // the game not even called: the page sleeps until the player's input.
  await b.goto('/index.html?seed=77&name=Glide');
  await b.waitFor('the start screen', 'cavewingProbe.ready()');
  await b.evaluate(twoFrames);
  const first = await b.evaluate('cavewingProbe.paints()');
  assert.ok(first >= 1, 'the start screen is painted');
  const calls = await b.evaluate(`(() => {
    window.gameCalls = 0;
    const frame = Module._cavewing_frame;
    Module._cavewing_frame = (...args) => { ++gameCalls; return frame(...args); };
    return performance.now(); })()`);
  await stepUntil(b, 'two seconds', `performance.now() >= ${calls} + 2000`);
  assert.equal(await b.evaluate('cavewingProbe.paints()'), first,
               'frames painted while the start screen stood');
  assert.equal(await b.evaluate('gameCalls'), 0, 'the game called while the start screen stood');
  // The key wakes it, the game brought up to its time first: START (which has the keyboard) lands
  // two seconds on.
  await b.key('Enter', 'Enter', 13);
  await stepUntil(b, 'flight', `cavewingProbe.phase() === cavewingProbe.numbers().phases.flying`);
  assert.ok(await b.evaluate(`cavewingProbe.grid()`) >= 2 * GridPointsASecond,
            'START landed where the sleeping page had left the game');

  // The demo in flight, a second at each rate.
  await b.goto('/index.html?demo&seed=77');
  await b.waitFor('the demo', `cavewingProbe.badge() === 'DEMO'`);
  await b.evaluate(twoFrames);
  await stepUntil(b, 'two seconds', `cavewingProbe.grid() >= ${2 * GridPointsASecond}`);
  for (const rate of [60, 120, 144]) {
    const {glide, moved, paints} = await b.evaluate(flyAt(rate));
    const uneven = moved.map((m, k) => [k + 1, m]).filter(([, m]) => Math.abs(m - glide) > 1);
    assert.deepEqual(uneven, [], `at ${rate} Hz, frames [number, pixels moved] off the even ` +
                     `glide of ${glide.toFixed(2)} pixels`);
    assert.equal(paints, rate, `at ${rate} Hz, one paint a frame`);
    console.log(`${rate} Hz: every frame moved the cave ${Math.min(...moved)} to ` +
                `${Math.max(...moved)} pixels (the even glide: ${glide.toFixed(2)})`);
  }
} finally {
  await b.close();
}
