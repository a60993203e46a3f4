// SPDX-License-Identifier: MIT
// A page in headless Chromium, driven through puppeteer-core (pinned by the repo's package-lock.json,
// installed by scripts/setup): its own http server on a free port of 127.0.0.1, its own browser
// profile, and waits with deadlines for what the page shows. Input goes to the page as raw DevTools
// events, exactly the ones asked for: no pointer moves or key states of the library's own between.
import {spawn} from 'node:child_process';
import {accessSync, constants, mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {delimiter, join} from 'node:path';
import puppeteer from 'puppeteer-core';

// Resolves with the first line of `stream` matching `pattern`, or rejects after `ms`.
function lineMatching(child, stream, pattern, ms, what) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error(`${what}: nothing after ${ms} ms:\n${text}`)), ms);
    child.on('exit', (code) => reject(new Error(`${what} exited (${code}):\n${text}`)));
    stream.on('data', (chunk) => {
      text += chunk;
      const m = text.match(pattern);
      if (m) {
        clearTimeout(timer);
        resolve(m);
      }
    });
  });
}

// The program `name` as the shell finds it on PATH: the library takes only a full path.
function onPath(name) {
  for (const dir of (process.env.PATH ?? '').split(delimiter)) {
    const file = join(dir || '.', name);
    try {
      accessSync(file, constants.X_OK);
      return file;
    } catch {}
  }
  throw new Error(`${name} is not on PATH`);
}

// Starts a server program that prints its loopback address (cavewing-server); [child, port].
export async function startServer(command) {
  const child = spawn(command[0], command.slice(1), {stdio: ['ignore', 'pipe', 'pipe']});
  const [, port] = await lineMatching(child, child.stdout, /127\.0\.0\.1:(\d+)/, 30000, command[0]);
  return [child, Number(port)];
}

// Stops a child process and waits for it to go.
export async function stopChild(child) {
  const gone = new Promise((r) => (child.exitCode !== null || child.signalCode !== null
    ? r() : child.on('exit', r)));
  child.kill();
  await gone;
}

export class Browser {
  // {served: true}: the page as `make serve` sends it (scripts/serve-page.py: compressed, with
  // cache lifetimes), not as a plain file server does. {command: [program, ...args]}: the page
  // from that server (cavewing-server), which prints its address.
  static async open(folder, {served = false, command = null} = {}) {
    const b = new Browser();
    b.served = served;
    b.command = command;
    try {
      await b.start(folder);
    } catch (err) {
      await b.close();
      throw err;
    }
    return b;
  }

  async start(folder) {
    const b = this;
    b.children = [];
    b.profile = mkdtempSync(join(tmpdir(), 'cavewing-chromium-'));
    const server = b.command
      ? spawn(b.command[0], b.command.slice(1), {stdio: ['ignore', 'pipe', 'pipe']})
      : b.served
      ? spawn('python3', ['-u', new URL('../../scripts/serve-page.py', import.meta.url).pathname, folder, '0'],
              {stdio: ['ignore', 'pipe', 'pipe']})
      : spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
              {cwd: folder, stdio: ['ignore', 'pipe', 'pipe']});
    b.children.push(server);
    b.server = server;
    const [, port] = await lineMatching(server, server.stdout, /127\.0\.0\.1:?\D*(\d+)/, 20000, 'http.server');
    b.origin = `http://127.0.0.1:${port}`;
    b.browser = await puppeteer.launch({
      executablePath: onPath('chromium'), headless: true, userDataDir: b.profile, timeout: 60000,
      // The window's own size, not an emulated one: the pixel test sets its metrics itself.
      defaultViewport: null,
      // The program's ^C is the test's: the browser's group goes in close().
      handleSIGINT: false, handleSIGTERM: false, handleSIGHUP: false,
      args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--mute-audio', '--window-size=1100,840',
             '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
             '--disable-backgrounding-occluded-windows'],
    });
    b.process = b.browser.process();
    [b.page] = await b.browser.pages();
    if (!b.page) b.page = await b.browser.newPage();
    if (process.env.CAVEWING_CONSOLE) b.page.on('console', (m) => console.log('page:', m.text()));
    // An exception the page lets through is its fault, whatever the test looks at: the test fails
    // as it closes, after what it was checking has been said.
    b.pageErrors = [];
    b.page.on('pageerror', (err) => b.pageErrors.push(err.message));
    b.session = await b.page.createCDPSession();
    await b.send('Page.enable');
    await b.send('Runtime.enable');
    // The page keeps the focus whatever the machine's windows do: a headless browser on a busy
    // machine once took it away in flight, and the page stood still as it should when it really
    // goes away (the tests that want that send the blur themselves, or hide the page).
    await b.send('Emulation.setFocusEmulationEnabled', {enabled: true});
    await b.send('Page.addScriptToEvaluateOnNewDocument', {source: testClock});
  }

  // One DevTools command to the page, as the protocol names it.
  send(method, params = {}) {
    return this.session.send(method, params);
  }

  async evaluate(expression) {
    return this.page.evaluate(expression);
  }

  // Polls `expression` until it is truthy; fails with `what` after `ms`.
  async waitFor(what, expression, ms = 20000) {
    const deadline = Date.now() + ms;
    for (;;) {
      const value = await this.evaluate(expression).catch(() => undefined);
      if (value) return value;
      if (Date.now() > deadline) throw new Error(`waited ${ms} ms for ${what} (${expression})`);
      await new Promise((r) => setTimeout(r, 20));
    }
  }

  // Waits for an exception the page lets through on purpose (the test made it), and takes it, so
  // that it fails the test no more.
  async expectPageError(pattern, ms = 5000) {
    const deadline = Date.now() + ms;
    for (;;) {
      const at = this.pageErrors.findIndex((message) => pattern.test(message));
      if (at >= 0) return this.pageErrors.splice(at, 1)[0];
      if (Date.now() > deadline) throw new Error(`waited ${ms} ms for the page to throw ${pattern}`);
      await new Promise((r) => setTimeout(r, 20));
    }
  }

  async goto(path) {
    await this.page.goto(this.origin + path, {waitUntil: 'domcontentloaded', timeout: 30000});
    await this.waitFor('the game to open', 'window.cavewingProbe && cavewingProbe.ready()', 30000);
  }

  // The centre of an element, in the page's CSS pixels, once it is laid out (START, say, shows
  // only with the field's first picture).
  async centreOf(selector) {
    return this.waitFor(`${selector} on the page`, `(() => {
      const r = document.querySelector(${JSON.stringify(selector)})?.getBoundingClientRect();
      return r?.width > 0 && [r.left + r.width / 2, r.top + r.height / 2]; })()`);
  }

  async mouse(type, [x, y], button = 'left', clickCount = 1) {
    await this.send('Input.dispatchMouseEvent', {type, x, y, button, clickCount,
                                                 buttons: type === 'mousePressed' ? 1 : 0});
  }

  async click(at, button = 'left') {
    await this.mouse('mousePressed', at, button);
    await this.mouse('mouseReleased', at, button);
  }

  async key(key, code, keyCode, modifiers = 0) {
    await this.keyDown(key, code, keyCode, modifiers);
    await this.keyUp(key, code, keyCode, modifiers);
  }

  // A key held (`autoRepeat`: one of its repeats) and let go.
  async keyDown(key, code, keyCode, modifiers = 0, autoRepeat = false) {
    const text = key.length === 1 ? key : key === 'Enter' ? '\r' : undefined;
    await this.send('Input.dispatchKeyEvent', {type: text ? 'keyDown' : 'rawKeyDown', key, code,
      windowsVirtualKeyCode: keyCode, text, modifiers, autoRepeat});
  }
  async keyUp(key, code, keyCode, modifiers = 0) {
    await this.send('Input.dispatchKeyEvent', {type: 'keyUp', key, code, windowsVirtualKeyCode: keyCode, modifiers});
  }

  // Fingers on the screen: the points touching after this event.
  async touch(type, points) {
    await this.send('Input.dispatchTouchEvent', {type, touchPoints: points.map(([x, y], id) => ({x, y, id}))});
  }

  // Another tab in front of the page, as when the player switches tabs: the browser hides the
  // page. show() brings the page to the front again.
  async hide() {
    await this.send('Emulation.setFocusEmulationEnabled', {enabled: false});
    this.otherTab = await this.browser.newPage();
  }
  async show() {
    await this.page.bringToFront();
    await this.otherTab.close();
    await this.send('Emulation.setFocusEmulationEnabled', {enabled: true});
  }

  // Fills the page's storage to the last byte it takes.
  async fillStorage() {
    await this.evaluate(`(() => {
      for (let size = 1 << 20, i = 0; size >= 1; size >>= 2)
        try { for (;;) localStorage.setItem('filler:' + i++, 'x'.repeat(size)); } catch (err) {}
    })()`);
  }

  async screenshot() {
    return Buffer.from(await this.page.screenshot({type: 'png'}));
  }

  // The browser closes itself, or its whole group goes after a deadline; then the server.
  async close() {
    const exited = (child) => new Promise((r) => (child.exitCode !== null || child.signalCode !== null
      ? r() : child.on('exit', r)));
    const killGroup = () => { try { process.kill(-this.process.pid, 'SIGKILL'); } catch {} };
    if (this.process) {
      const timer = setTimeout(killGroup, 10000);
      await Promise.race([this.browser.close().catch(() => {}), exited(this.process)]);
      await exited(this.process);
      clearTimeout(timer);
      killGroup();  // helpers left behind
    }
    for (const child of this.children ?? []) {
      child.kill();
      await exited(child);
    }
    if (this.profile) rmSync(this.profile, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
    if (this.pageErrors?.length) {
      console.error(`the page threw:\n${this.pageErrors.join('\n')}`);
      process.exitCode = 1;
    }
  }
}

// START, then the left button held on the field until the helicopter has climbed, then let go: a
// flight that falls (the release reached the game), then on to a crash at real time. The clock is
// held meanwhile: a busy machine's late press or release would meet a helicopter already on the
// floor or in the ceiling. `flying` is the phase number of flight.
export async function climbAndLetGo(b, flying) {
  const field = await b.centreOf('#field');
  const top = await b.evaluate('cavewingProbe.copterTop()');
  await b.evaluate('testClock.hold()');
  await b.click(await b.centreOf('#start'));
  await b.mouse('mousePressed', field);
  await stepUntil(b, 'the helicopter to climb', `cavewingProbe.phase() === ${flying} &&
    cavewingProbe.copterTop() < ${top} - 300`);
  await b.mouse('mouseReleased', field);
  const letGo = await b.evaluate('cavewingProbe.copterTop()');
  await stepUntil(b, 'the helicopter to fall once let go', `cavewingProbe.copterTop() > ${letGo} + 300`);
  await b.evaluate('testClock.run()');
}

// Whether the page's last picture drew `text` (an expression for the page).
export const painted = (text) => `cavewingProbe.painted().includes(${JSON.stringify(text)})`;

// One flight to a crash and the list after it, its box (if any) answered: the score it made.
export async function flyToTheList(b, flying, crashed) {
  await climbAndLetGo(b, flying);
  return onToTheList(b, crashed);
}
// A flight on to its crash and the list after it, its box (if any) answered: the score it made.
export async function onToTheList(b, crashed) {
  await b.waitFor('the crash', `cavewingProbe.phase() === ${crashed}`, 30000);
  await b.waitFor('the high-score list', painted('HIGH SCORE LIST'), 30000);
  if (await b.evaluate('cavewingProbe.boxOpen()')) {
    await b.click(await b.centreOf('#box-ok'));
    await b.waitFor('the box to close', '!cavewingProbe.boxOpen()');
  }
  return b.evaluate('cavewingProbe.score()');
}

const TickMs = 15.625;  // the game's grid

// The page's time, installed before any script of the page runs: performance.now() and the time
// requestAnimationFrame hands each frame. It follows real time until testClock.hold(at); held, it
// stands until testClock.advance(ms) moves it, as a display would at its own beat, and
// testClock.run() lets it go on from there at real time.
const testClock = `(() => {
  const real = performance.now.bind(performance);
  let held = null, behind = 0;
  const now = (at = real()) => held ?? at - behind;
  performance.now = () => now();
  const frame = window.requestAnimationFrame.bind(window);
  window.requestAnimationFrame = (callback) => frame((at) => callback(now(at)));
  window.testClock = {
    hold(at = now()) { held ??= at; },
    advance(ms) { this.hold(); held += ms; },
    run() { if (held !== null) [behind, held] = [real() - held, null]; },
  };
})()`;

// The page's clock held from its start for the pages opened until
// Page.removeScriptToEvaluateOnNewDocument ends it (the identifier returned).
export async function useTestClock(b) {
  const {identifier} = await b.send('Page.addScriptToEvaluateOnNewDocument',
                                    {source: 'testClock.hold(0)'});
  return identifier;
}

// With the page's clock held: runs it on a grid point a frame until `expression` holds; fails
// with `what` after `ms` of real time.
export async function stepUntil(b, what, expression, ms = 20000) {
  await b.evaluate(`(async () => {
    const deadline = Date.now() + ${ms};
    while (!(${expression})) {
      if (Date.now() > deadline) throw new Error(${JSON.stringify(`waited ${ms} ms for ${what}`)});
      testClock.advance(${TickMs});
      await new Promise((r) => requestAnimationFrame(r));
    }
  })()`);
}
