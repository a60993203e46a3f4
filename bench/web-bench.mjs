// SPDX-License-Identifier: MIT
// The page's speed in headless Chromium, from a local server: how soon the first frame is drawn,
// and what one frame costs (the game brought up to real time, then drawn), measured in the page
// with performance.now() over the demo's flight. Goals: first frame within 500 ms, a frame under
// 1 ms median.
//
// The first frame is timed from the navigation's start to the end of the first painting of the
// canvas, on LOADS loads, each in a browser of its own with nothing cached, as a first visit is.
//
//   node bench/web-bench.mjs BUILD_WEB_FOLDER [FRAMES] [LOADS]
import {Browser} from '../tests/web/browser.mjs';

const [folder, frames = '600', loads = '7'] = process.argv.slice(2);
const median = (xs) => xs[Math.floor(xs.length / 2)];
const firstMs = [];
for (let load = 1; load <= Number(loads); ++load) {
  const b = await Browser.open(folder);
  try {
    await b.goto('/index.html?demo&bench&seed=1');
    firstMs.push(await b.evaluate('cavewingProbe.firstFrameMs()'));
    if (load < Number(loads)) continue;
    await b.waitFor(`${frames} frames`, `cavewingProbe.frameMs().length >= ${frames}`, 120000);
    const ms = (await b.evaluate('cavewingProbe.frameMs()')).sort((x, y) => x - y);
    const at = (q) => ms[Math.min(ms.length - 1, Math.floor(q * ms.length))].toFixed(3);
    firstMs.sort((x, y) => x - y);
    console.log(`first frame:  median ${median(firstMs).toFixed(1)} ms after navigation over ` +
                `${firstMs.length} loads (${firstMs.map((x) => x.toFixed(0)).join(', ')}; goal 500 ms)`);
    console.log(`one frame:    median ${at(0.5)} ms, 90% ${at(0.9)} ms, 99% ${at(0.99)} ms ` +
                `over ${ms.length} frames (goal: median under 1 ms)`);
  } finally {
    await b.close();
  }
}
