// SPDX-License-Identifier: MIT
// The page's speed in headless Chromium, from a local server: how soon the first frame is drawn,
// and what one frame costs (the game brought up to real time, then drawn), measured in the page
// with performance.now() over the demo's flight. Goals: first frame within 500 ms, a frame under
// 1 ms median.
//
//   node --experimental-websocket bench/web-bench.mjs BUILD_WEB_FOLDER [FRAMES]
import {Browser} from '../tests/web/browser.mjs';

const [folder, frames = '600'] = process.argv.slice(2);
const b = await Browser.open(folder);
try {
  await b.goto('/index.html?demo&bench&seed=1');
  const firstMs = await b.evaluate('cavewingProbe.firstFrameMs()');
  await b.waitFor(`${frames} frames`, `cavewingProbe.frameMs().length >= ${frames}`, 120000);
  const ms = (await b.evaluate('cavewingProbe.frameMs()')).sort((x, y) => x - y);
  const at = (q) => ms[Math.min(ms.length - 1, Math.floor(q * ms.length))].toFixed(3);
  console.log(`first frame:  ${firstMs.toFixed(1)} ms after navigation (goal 500 ms)`);
  console.log(`one frame:    median ${at(0.5)} ms, 90% ${at(0.9)} ms, 99% ${at(0.99)} ms ` +
              `over ${ms.length} frames (goal: median under 1 ms)`);
} finally {
  await b.close();
}
