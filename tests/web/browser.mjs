// SPDX-License-Identifier: MIT
// A page in headless Chromium, driven over the DevTools protocol from Node alone (run with
// --experimental-websocket): its own http server on a free port of 127.0.0.1, its own browser
// profile, and waits with deadlines for what the page shows.
import {spawn} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

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

export class Browser {
  static async open(folder) {
    const b = new Browser();
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
    const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                         {cwd: folder, stdio: ['ignore', 'pipe', 'pipe']});
    b.children.push(server);
    const [, port] = await lineMatching(server, server.stdout, /port (\d+)/, 20000, 'http.server');
    b.origin = `http://127.0.0.1:${port}`;
    const chromium = spawn('chromium', [
      '--headless', '--no-sandbox', '--disable-gpu', '--no-first-run', '--mute-audio',
      '--remote-debugging-port=0', `--user-data-dir=${b.profile}`, '--window-size=1100,840',
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows', 'about:blank',
    ], {stdio: ['ignore', 'ignore', 'pipe'], detached: true});  // a group of its own, helpers too
    b.chromium = chromium;
    const [, ws] = await lineMatching(chromium, chromium.stderr, /DevTools listening on (ws:\S+)/,
                                      60000, 'chromium');
    const list = await (await fetch(ws.replace(/^ws:(.*?)\/devtools.*/, 'http:$1/json/list'))).json();
    const target = list.find((t) => t.type === 'page');
    b.targetId = target.id;
    await b.connect(target.webSocketDebuggerUrl);
    await b.send('Page.enable');
    await b.send('Runtime.enable');
  }

  connect(url) {
    this.nextId = 1;
    this.pending = new Map();
    this.socket = new WebSocket(url);
    this.socket.onmessage = (m) => {
      const msg = JSON.parse(m.data);
      if (msg.id && this.pending.has(msg.id)) {
        const {resolve, reject} = this.pending.get(msg.id);
        this.pending.delete(msg.id);
        msg.error ? reject(new Error(JSON.stringify(msg.error))) : resolve(msg.result);
      } else if (msg.method === 'Runtime.consoleAPICalled' && process.env.CAVEWING_CONSOLE) {
        console.log('page:', msg.params.args.map((a) => a.value).join(' '));
      }
    };
    return new Promise((resolve, reject) => {
      this.socket.onopen = resolve;
      this.socket.onerror = reject;
    });
  }

  send(method, params = {}) {
    const id = this.nextId++;
    this.socket.send(JSON.stringify({id, method, params}));
    return new Promise((resolve, reject) => this.pending.set(id, {resolve, reject}));
  }

  async evaluate(expression) {
    const r = await this.send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true});
    if (r.exceptionDetails) throw new Error(`${expression}: ${JSON.stringify(r.exceptionDetails)}`);
    return r.result.value;
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

  async goto(path) {
    await this.send('Page.navigate', {url: this.origin + path});
    await this.waitFor('the game to open', 'window.cavewingProbe && cavewingProbe.ready()', 30000);
  }

  // The centre of an element, in the page's CSS pixels.
  async centreOf(selector) {
    return this.evaluate(`(() => { const r = document.querySelector(${JSON.stringify(selector)})
      .getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()`);
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
    const text = key.length === 1 ? key : undefined;
    await this.send('Input.dispatchKeyEvent', {type: text ? 'keyDown' : 'rawKeyDown', key, code,
      windowsVirtualKeyCode: keyCode, text, modifiers});
    await this.send('Input.dispatchKeyEvent', {type: 'keyUp', key, code, windowsVirtualKeyCode: keyCode, modifiers});
  }

  // Fingers on the screen: the points touching after this event.
  async touch(type, points) {
    await this.send('Input.dispatchTouchEvent', {type, touchPoints: points.map(([x, y], id) => ({x, y, id}))});
  }

  // Another tab in front of the page, as when the player switches tabs: the browser hides the
  // page. show() brings the page to the front again.
  async hide() {
    this.otherTab = (await this.send('Target.createTarget', {url: 'about:blank'})).targetId;
  }
  async show() {
    await this.send('Target.activateTarget', {targetId: this.targetId});
    await this.send('Target.closeTarget', {targetId: this.otherTab});
  }

  async screenshot() {
    const r = await this.send('Page.captureScreenshot', {format: 'png'});
    return Buffer.from(r.data, 'base64');
  }

  // The browser closes itself, or its whole group goes after a deadline; then the server.
  async close() {
    const exited = (child) => new Promise((r) => (child.exitCode !== null || child.signalCode !== null
      ? r() : child.on('exit', r)));
    if (this.chromium) {
      if (this.socket) this.send('Browser.close').catch(() => {});
      const timer = setTimeout(() => { try { process.kill(-this.chromium.pid, 'SIGKILL'); } catch {} },
                               10000);
      await exited(this.chromium);
      clearTimeout(timer);
      try { process.kill(-this.chromium.pid, 'SIGKILL'); } catch {}  // helpers left behind
    }
    for (const child of this.children) {
      child.kill();
      await exited(child);
    }
    rmSync(this.profile, {recursive: true, force: true, maxRetries: 20, retryDelay: 100});
  }
}
