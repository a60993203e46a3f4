// SPDX-License-Identifier: MIT
// What a first visit costs: every byte the browser receives, as sent over the wire (compressed,
// headers included), from `make serve`'s server, until the page is idle after its first frame,
// its service worker's copies of the page's files included. At most 300 KB. Served by a server
// that is not the score server, the page asks it for nothing of the score server's and the
// browser's console shows no error; the page opens in the memory a phone has to spare; and its
// own faces draw every printable character, its whole faces any other, and its field does not
// move once it is painted.
//
//   node test_first_visit.mjs BUILD_WEB_FOLDER
import assert from 'node:assert/strict';
import {Browser} from './browser.mjs';

const Budget = 300 * 1000;
const Quiet = 1000;  // no request under way for this long: the page is idle
const MemoryBudget = 32 << 20;  // the game's memory once open: the program's own start is 16 MiB
const [folder] = process.argv.slice(2);
const b = await Browser.open(folder, {served: true});

// Bytes received, for each request of the page or of its service worker, as DevTools counts them.
const received = new Map(), names = new Map();
let underWay = 0, lastActivity = Date.now();
function listen(session, who) {
  session.on('Network.requestWillBeSent', (e) => {
    ++underWay;
    lastActivity = Date.now();
    names.set(who + e.requestId, e.request.url);
  });
  const done = (e) => {
    --underWay;
    lastActivity = Date.now();
    if (e.encodedDataLength !== undefined) received.set(who + e.requestId, e.encodedDataLength);
  };
  session.on('Network.loadingFinished', done);
  session.on('Network.loadingFailed', done);
}

try {
  // The service worker is held at its start until its requests are listened to.
  const browserSession = await b.browser.target().createCDPSession();
  browserSession.on('Target.attachedToTarget', async ({sessionId, targetInfo, waitingForDebugger}) => {
    const session = browserSession.connection().session(sessionId);
    if (targetInfo.type === 'service_worker') {
      listen(session, 'worker:');
      await session.send('Network.enable');
    }
    if (waitingForDebugger) await session.send('Runtime.runIfWaitingForDebugger').catch(() => {});
  });
  await browserSession.send('Target.setAutoAttach',
                            {autoAttach: true, waitForDebuggerOnStart: true, flatten: true});
  listen(b.session, 'page:');
  const errors = [];
  b.session.on('Runtime.consoleAPICalled', (e) => {
    if (e.type === 'error') errors.push(e.args.map((a) => a.value ?? a.description).join(' '));
  });
  b.session.on('Runtime.exceptionThrown', (e) => errors.push(e.exceptionDetails.text));
  b.session.on('Log.entryAdded', ({entry}) => {
    if (entry.level === 'error') errors.push(`${entry.text} ${entry.url ?? ''}`);
  });
  await b.send('Log.enable');
  await b.send('Network.enable');
  await b.send('Network.setCacheDisabled', {cacheDisabled: false});

  await b.goto('/index.html');
  await b.waitFor('the first frame', 'cavewingProbe.firstFrameMs() !== null');
  await b.waitFor('the service worker to have kept the page',
                  'navigator.serviceWorker.controller !== null', 30000);
  const deadline = Date.now() + 30000;
  while (underWay > 0 || Date.now() - lastActivity < Quiet) {
    assert.ok(Date.now() < deadline, `still loading after 30 s: ${underWay} requests under way`);
    await new Promise((r) => setTimeout(r, 50));
  }

  let total = 0;
  const lines = [];
  for (const [id, bytes] of received) {
    total += bytes;
    lines.push(`${String(bytes).padStart(8)}  ${id.split(':')[0]} ${names.get(id)}`);
  }
  const workerBytes = [...received].filter(([id]) => id.startsWith('worker:')).length;
  console.log(lines.sort().reverse().join('\n'));
  console.log(`first visit: ${total} bytes in ${received.size} responses ` +
              `(${workerBytes} of the service worker), budget ${Budget}`);
  assert.ok(workerBytes > 0, 'the service worker\'s requests are counted');
  // The game's texts take only the cut faces: the whole ones wait for a name outside them.
  const whole = [...names.values()].filter((url) => /\/fonts\/[\w-]+(?<!-latin)\.woff2$/.test(url));
  assert.deepEqual(whole, [], 'no whole face on a first visit');
  assert.ok(total <= Budget, `the first visit receives ${total} bytes, more than ${Budget}`);
  const asked = [...names.values()].filter((url) => new URL(url).pathname.startsWith('/api/'));
  assert.deepEqual(asked, [], 'no request for the score server where none serves the page');
  assert.ok(await b.evaluate(`document.querySelector('.item[data-name="page:files:1"]') !== null &&
    document.querySelector('.item[data-name="page:files:6"]') === null`),
            'the Files menu offers no best game of a table no server keeps');
  assert.deepEqual(errors, [], 'no error in the browser\'s console');
  const memory = await b.evaluate('Module.HEAP8.length');
  assert.ok(memory <= MemoryBudget, `the open page holds ${memory} bytes, more than ${MemoryBudget}`);
  // And those cut faces draw every printable character: none falls to a face of the browser's
  // (it would draw as wide in a monospace face as in a serif one).
  const fallen = await b.evaluate(`(async () => {
    const text = Array.from({length: 95}, (_, i) => String.fromCharCode(32 + i)).join('');
    const ctx = document.createElement('canvas').getContext('2d');
    const width = (font, c) => { ctx.font = font; return ctx.measureText(c).width; };
    const fallen = [];
    for (const face of ['100px "Liberation Sans"', '100px "DejaVu Sans"', '100px "Comic Neue"'])
      for (const font of [face, 'bold ' + face]) {
        await document.fonts.load(font, text);
        for (const c of text)
          if (width(font + ', monospace', c) !== width(font + ', serif', c)) fallen.push(font + c);
      }
    return fallen;
  })()`);
  assert.deepEqual(fallen, [], 'characters drawn in a face of the browser');
  // A name from elsewhere brings the whole face of each font the game draws in, bold or not.
  const missing = await b.evaluate(`(async () => {
    const missing = [];
    for (const face of ['16px "Liberation Sans"', '16px "DejaVu Sans"', '16px "Comic Neue"'])
      for (const font of [face, 'bold ' + face])
        if (!(await document.fonts.load(font, '\u0141')).some((f) => f.status === 'loaded'))
          missing.push(font);
    return missing;
  })()`);
  assert.deepEqual(missing, [], 'no whole face for a name outside the cut ones');
  // The field is laid out once: it does not move as the menus come (a face swapped in may move
  // a caption a little, which no player minds).
  const moved = await b.evaluate(`new Promise((resolve) => {
    new PerformanceObserver((list) => resolve(list.getEntries().flatMap((e) => e.sources)
      .filter((s) => s.node?.id === 'field').map((s) => JSON.stringify(s.currentRect))))
      .observe({type: 'layout-shift', buffered: true});
    setTimeout(() => resolve([]), 1000);
  })`);
  assert.deepEqual(moved, [], 'the field moved after its first paint');
} finally {
  await b.close();
}
