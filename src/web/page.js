// SPDX-License-Identifier: MIT
// The page around the game: the canvas the form's controls are painted on, the START button, the
// menu bar, message boxes, the player's input and real time. The game itself (cavewing.js and its
// .wasm) drives the form; this side only shows it and hands it what the player does.
'use strict';

// The game's numbers (twips per pixel, the field, button codes, shift masks, phases, the
// overlays' looks), as the C++ side gives them once it runs: none is retyped here.
let N = null;
let TwipsPerPixel, LeftButton, RightButton, MiddleButton;
function takeNumbers() {
  N = JSON.parse(Module.UTF8ToString(call('cavewing_numbers')));
  TwipsPerPixel = N.twipsPerPixel;
  ({left: LeftButton, right: RightButton, middle: MiddleButton} = N.buttons);
  page.field = {width: N.field.width, height: N.field.height};
}
// The desktop's fonts, as fontconfig finds them on Debian: the same files, shipped with the page.
const fontFamilies = {
  'Arial': '"Liberation Sans"',
  'Verdana': '"DejaVu Sans"',
  'Comic Sans MS': '"Comic Neue"',
};
// The faces the form's labels use: Arial regular and bold, Verdana, bold Comic Sans MS.
const fieldFaces = ['12px "Liberation Sans"', 'bold 12px "Liberation Sans"', '12px "DejaVu Sans"',
                    'bold 12px "Comic Neue"'];
const store = 'cavewing:';  // the player's files, kept in the browser under this prefix
const nameSetting = 'cavewing.name';  // the player's name from the settings: not one of the files
const dataFolder = '/data';

const settings = new URLSearchParams(location.search);
const canvas = document.getElementById('field');
const ctx = canvas.getContext('2d');
const startButton = document.getElementById('start');
const menubar = document.getElementById('menubar');
const pictures = ['', 'heli0', 'heli1', 'heli2', 'heli3', 'heli4', 'explosion'].map((name) => {
  if (!name) return null;
  const img = new Image();
  img.src = `assets/${name}.png`;
  return img;
});

const page = {
  ready: false,      // the game is open
  field: null,       // the field's size in twips, once the game says it
  badge: '',
  replayPress: null,
  standing: false,   // flight stands still while the page is away: the game says so
  modal: false,      // a message box is open: the game waits in its handler
  ended: false,
  phase: -1,
  menus: new Map(),  // control name -> {element, shortcut, enabled, access, ...}
  lastMenu: null,    // the menu bar entry that the next item goes in, as they are announced
  openMenu: null,
  activeItem: null,  // the open menu's item that the keyboard is on
  altAlone: false,   // Alt is down and no other key has come since: let go, it opens the menus
  keyUpsInBox: [],   // keys let go while a box was open, for the game once it has returned
  boxNote: '',       // the page's word beside the next box
  clickTaken: false, // the press under way closed a menu, ended the demo or lifted a stand-still
  startAsked: false, // the game gave START the keyboard: it takes it once it is shown
  firstFrameMs: null,
  sittingAsked: null, // resolves the wait for the score server's sitting
  frameMs: settings.has('bench') ? [] : null,
};

function call(name, ...args) { return Module['_' + name](...args); }
function callWithText(name, text) { return Module.ccall(name, null, ['string'], [text]); }

// ---- Where the field lies: letterboxed in the stage, at the screen's own pixels.

const view = {dpr: 1, scale: 1, dx: 0, dy: 0};

// Returns whether the field moved or the canvas was cleared: the frame must be painted again.
function layout() {
  if (!page.field) return false;
  const stage = canvas.parentElement.getBoundingClientRect();
  const dpr = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(stage.width * dpr));
  const height = Math.max(1, Math.round(stage.height * dpr));
  const w = page.field.width / TwipsPerPixel, h = page.field.height / TwipsPerPixel;
  const scale = Math.min(stage.width / w, stage.height / h);
  const dx = (stage.width - w * scale) / 2, dy = (stage.height - h * scale) / 2;
  // A canvas given its size again is cleared all the same: only a new size is given.
  if (width === canvas.width && height === canvas.height && dpr === view.dpr &&
      scale === view.scale && dx === view.dx && dy === view.dy)
    return false;
  canvas.width = width;
  canvas.height = height;
  Object.assign(view, {dpr, scale, dx, dy});
  return true;
}

// Twips to device pixels, each edge rounded to a pixel boundary: rectangles meet without seams.
function deviceX(twips) { return Math.round((view.dx + twips / TwipsPerPixel * view.scale) * view.dpr); }
function deviceY(twips) { return Math.round((view.dy + twips / TwipsPerPixel * view.scale) * view.dpr); }
function colour(rgb) { return '#' + rgb.toString(16).padStart(6, '0'); }

function toTwips(event) {
  const r = canvas.getBoundingClientRect();
  return [(event.clientX - r.left - view.dx) / view.scale * TwipsPerPixel,
          (event.clientY - r.top - view.dy) / view.scale * TwipsPerPixel];
}

// ---- Painting, called by the game for each visible control in its paint order.

function fontOf(name, points, bold) {
  return fontOfPx(name, Math.round(points * 20 / TwipsPerPixel), bold);  // 96 dots an inch
}
function fontOfPx(name, px, bold) {
  return [`${bold ? 'bold ' : ''}${px}px ${fontFamilies[name] || `"${name}"`}, sans-serif`, px];
}
// The page's own words on the field (a badge's hint, the stand-still's) stay readable on a small
// screen: at least this many CSS pixels high, however small the field is drawn. The rules' texts
// keep their sizes.
const LeastOwnTextPx = 12;

// In logical pixels of the field, for text and the overlays.
function logicalPixels() {
  const k = view.scale * view.dpr;
  ctx.setTransform(k, 0, 0, k, view.dx * view.dpr, view.dy * view.dpr);
}

const wrapped = new Map();
// Lines of a caption broken at spaces to fit `width`, as word-wrapped text on the desktop.
function linesOf(text, width) {
  const key = ctx.font + '\n' + width + '\n' + text;
  let lines = wrapped.get(key);
  if (lines) return lines;
  lines = [];
  for (const paragraph of text.split('\n')) {
    let line = '';
    for (const word of paragraph.split(' ')) {
      const tried = line ? line + ' ' + word : word;
      if (line && ctx.measureText(tried).width > width) {
        lines.push(line);
        line = word;
      } else {
        line = tried;
      }
    }
    lines.push(line);
  }
  if (wrapped.size > 500) wrapped.clear();
  wrapped.set(key, lines);
  return lines;
}

function drawText(text, x, y, width, align, underline) {
  const m = ctx.measureText('Mg');
  const ascent = m.fontBoundingBoxAscent, lineHeight = ascent + m.fontBoundingBoxDescent;
  ctx.textBaseline = 'alphabetic';
  ctx.textAlign = align;
  const at = align === 'left' ? x : align === 'right' ? x + width : x + width / 2;
  let baseline = y + ascent;
  for (const line of linesOf(text, width)) {
    ctx.fillText(line, at, baseline);
    if (underline && line) {
      const w = ctx.measureText(line).width;
      const left = align === 'left' ? at : align === 'right' ? at - w : at - w / 2;
      ctx.fillRect(left, baseline + 2, w, Math.max(1, Math.round(lineHeight / 18)));
    }
    baseline += lineHeight;
  }
}

const painter = {
  field(width, height) {
    page.field = {width, height};
    layout();
  },
  overlays(badge, hint, ring, x, y, standing) {
    page.badge = badge;
    page.badgeHint = hint;
    page.replayPress = ring ? [x, y] : null;
    page.standing = !!standing;
  },
  begin() {
    page.painted = [];
    page.textSizes = [];
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.fillStyle = 'black';
    ctx.fillRect(0, 0, canvas.width, canvas.height);
    ctx.save();
    ctx.beginPath();
    ctx.rect(deviceX(0), deviceY(0), deviceX(page.field.width) - deviceX(0),
             deviceY(page.field.height) - deviceY(0));
    ctx.clip();
    ctx.imageSmoothingEnabled = false;
  },
  rectangle(l, t, w, h, fill, border) {
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    const x0 = deviceX(l), y0 = deviceY(t), x1 = deviceX(l + w), y1 = deviceY(t + h);
    ctx.fillStyle = colour(border);
    ctx.fillRect(x0, y0, x1 - x0, y1 - y0);
    if (fill === border) return;
    const i0 = deviceX(l + TwipsPerPixel), j0 = deviceY(t + TwipsPerPixel);
    const i1 = deviceX(l + w - TwipsPerPixel), j1 = deviceY(t + h - TwipsPerPixel);
    ctx.fillStyle = colour(fill);
    if (i1 > i0 && j1 > j0) ctx.fillRect(i0, j0, i1 - i0, j1 - j0);
  },
  picture(l, t, which) {
    const img = pictures[which];
    if (!img || !img.complete) return;
    // The picture keeps its own size, as an unstretched image does; pixel art stays crisp.
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    const x0 = deviceX(l), y0 = deviceY(t);
    ctx.drawImage(img, x0, y0, deviceX(l + img.width * TwipsPerPixel) - x0,
                  deviceY(t + img.height * TwipsPerPixel) - y0);
  },
  label(l, t, w, h, text, font, size, bold, underline, rgb, align, boxed) {
    page.painted.push(text);
    logicalPixels();
    let x = l / TwipsPerPixel, y = t / TwipsPerPixel, width = w / TwipsPerPixel;
    if (boxed) {
      const height = h / TwipsPerPixel;
      ctx.fillStyle = 'white';
      ctx.fillRect(x, y, width, height);
      ctx.strokeStyle = 'black';
      ctx.lineWidth = 1;
      ctx.strokeRect(x + 0.5, y + 0.5, width - 1, height - 1);
      x += 2;
      y += 1;
      width -= 4;
    }
    const [face, px] = fontOf(font, size, bold);
    ctx.font = face;
    page.textSizes.push({text, px: px * view.scale, own: false});
    ctx.fillStyle = colour(rgb);
    drawText(text, x, y, width, ['left', 'right', 'center'][align], underline);
  },
  finish() {
    ctx.restore();
    logicalPixels();
    if (page.badge || page.replayPress) paintBadge();
    if (page.standing) paintStandStill();
    // The line that says the page is coming stays until the field stands in its place.
    if (page.firstFrameMs === null) {
      page.firstFrameMs = performance.now();
      document.getElementById('loading').hidden = true;
    }
  },
};

// Text the kit places: at the top of its box, in its font and colour, no smaller than the page's
// own words may be.
function drawLook(look, text, box, align) {
  page.painted.push(text);
  ctx.fillStyle = colour(look.rgb);
  const px = Math.max(fontOf(look.font, look.points, look.bold)[1], LeastOwnTextPx / view.scale);
  ctx.font = fontOfPx(look.font, px, look.bold)[0];
  page.textSizes.push({text, px: px * view.scale, own: true});
  drawText(text, box.left, box.top, box.width, align, false);
}

// A badge in the corner, and a ring where the recorded player holds a button down.
function paintBadge() {
  if (page.badge) drawLook(N.badge, page.badge, N.badge.box, 'left');
  if (page.badgeHint)
    drawLook(N.badgeHint, touchScreen() ? N.touch.badgeHint : page.badgeHint, N.badgeHint.box, 'left');
  if (!page.replayPress) return;
  ctx.strokeStyle = colour(N.ring.rgb);
  ctx.lineWidth = N.ring.pen;
  ctx.beginPath();
  ctx.arc(page.replayPress[0] / TwipsPerPixel, page.replayPress[1] / TwipsPerPixel, N.ring.radius,
          0, 2 * Math.PI);
  ctx.stroke();
}

// A dark band across the middle of the field: what happened, and how to go on.
function paintStandStill() {
  const look = N.standStill, at = look.across[page.field.width];
  ctx.fillStyle = `rgba(0,0,0,${look.bandAlpha / 255})`;
  ctx.fillRect(at.band.left, at.band.top, at.band.width, at.band.height);
  drawLook(look.title, look.title.text, at.title, 'center');
  drawLook(look.hint, touchScreen() ? N.touch.standStillHint : look.hint.text, at.hint, 'center');
}

// ---- The START button, the cursor, the menus: the page's own controls, kept as the form has them.

const host = {
  startButton(visible, enabled, caption, l, t, w, h, font, size, bold) {
    // Styles written every frame would have the browser work out the page's style every frame.
    const placed = [...arguments, view.dx, view.dy, view.scale].join('\n');
    if (placed === page.placedStart) return;
    page.placedStart = placed;
    startButton.style.display = visible ? 'block' : 'none';
    startButton.disabled = !enabled;
    // The keyboard given to START while it was hidden, or before its first paint, goes now.
    if (visible && document.activeElement === document.body) page.startAsked = true;
    giveStartTheKeyboard();
    if (startButton.textContent !== caption) startButton.textContent = caption;
    startButton.style.left = `${view.dx + l / TwipsPerPixel * view.scale}px`;
    startButton.style.top = `${view.dy + t / TwipsPerPixel * view.scale}px`;
    startButton.style.width = `${w / TwipsPerPixel * view.scale}px`;
    startButton.style.height = `${h / TwipsPerPixel * view.scale}px`;
    startButton.style.font = fontOf(font, size, bold)[0];
    startButton.style.fontSize = `${Math.max(1, fontOf(font, size, bold)[1] * view.scale)}px`;
    startButton.style.backgroundColor = 'rgb(255,0,0)';
    if (!visible && document.activeElement === startButton) canvas.focus();
  },
  focusStart() {
    page.startAsked = true;
    setTimeout(giveStartTheKeyboard, 0);
  },
  cursor(custom) { canvas.style.cursor = custom ? 'url(assets/cursor.png) 16 16, crosshair' : 'default'; },

  addMenu(name, caption, shortcut, depth) {
    const access = caption.includes('&') ? caption[caption.indexOf('&') + 1].toLowerCase() : '';
    const element = document.createElement('div');
    if (caption === '-') {
      element.className = 'separator';
      element.setAttribute('role', 'separator');
      page.lastMenu.items.appendChild(element);
      return;
    }
    const label = document.createElement('span');
    const i = caption.indexOf('&');
    label.append(caption.slice(0, Math.max(i, 0)));
    if (i >= 0) {
      const u = document.createElement('u');
      u.textContent = caption[i + 1];
      label.append(u, caption.slice(i + 2));
    } else {
      label.append(caption);
    }
    element.appendChild(label);
    const entry = {element, name, shortcut, enabled: true, access, children: []};
    // For screen readers: a menu bar of menus of items, each by its caption's words. A menu's
    // entry on the bar is its label, its items a menu beside it.
    const plain = caption.replace('&', '');
    entry.item = depth === 0 ? label : element;
    entry.item.setAttribute('role', 'menuitem');
    // The keyboard goes through the menus by the focus, on what a screen reader names; the bar is
    // one stop of Tab.
    entry.item.tabIndex = depth === 0 && !menubar.children.length ? 0 : -1;
    if (depth === 0) {
      element.className = 'menu';
      element.dataset.name = label.dataset.name = name;
      element.setAttribute('role', 'none');
      entry.items = document.createElement('div');
      entry.items.className = 'items';
      element.appendChild(entry.items);
      menubar.appendChild(element);
      barEntriesSized.observe(element);
      element.addEventListener('mousedown', (e) => {
        e.preventDefault();
        if (e.target.closest('.item')) return;
        chooseMenu(entry);
      });
      page.lastMenu = entry;
    } else {
      element.className = 'item';
      element.dataset.name = name;
      element.setAttribute('aria-label', plain);
      // A bar entry with items opens a menu of them.
      const menu = page.lastMenu;
      if (!menu.children.length) {
        menu.items.setAttribute('role', 'menu');
        menu.items.setAttribute('aria-label', menu.item.textContent);
        menu.item.setAttribute('aria-haspopup', 'menu');
        menu.item.setAttribute('aria-expanded', 'false');
      }
      if (shortcut) element.setAttribute('aria-keyshortcuts', shortcut.replace('Ctrl+', 'Control+'));
      if (shortcut) {
        const keys = document.createElement('span');
        keys.className = 'keys';
        keys.textContent = shortcut;
        element.appendChild(keys);
      }
      page.lastMenu.items.appendChild(element);
      page.lastMenu.children.push(entry);
      element.addEventListener('mouseup', () => command(entry));
    }
    page.menus.set(name, entry);
  },
  menuEnabled(name, enabled) {
    const entry = page.menus.get(name);
    if (!entry || entry.enabled === !!enabled) return;
    entry.enabled = !!enabled;
    entry.element.classList.toggle('disabled', !enabled);
    entry.item.setAttribute('aria-disabled', String(!enabled));
    if (!enabled && page.openMenu === entry) closeMenus();
    for (const follower of page.menus.values())
      if (follower.follows === name) host.menuEnabled(follower.name, enabled);
  },

  // A modal box: the game's handler waits for it, and time stands still while it is open.
  messageBox(prompt, title) {
    const box = document.getElementById('box');
    document.getElementById('box-title').textContent = title;
    document.getElementById('box-prompt').textContent = prompt;
    // The page's word beside the box: its keys beside How to Play, and on a touch screen a note for
    // fingers (the rules' help speaks of mouse buttons and keys).
    const note = document.getElementById('box-note');
    const touchNote = page.helpAsked && touchScreen() ? TouchNote : '';
    note.textContent = [page.boxNote, touchNote].filter(Boolean).join(' ');
    note.hidden = !note.textContent;
    page.boxNote = '';
    page.helpAsked = false;
    page.modal = true;
    return new Promise((resolve) => {
      box.addEventListener('close', () => {
        page.modal = false;
        resolve();
        const at = document.activeElement;
        // The handler has returned: the buttons held as the box opened are let go, as the keys
        // let go in it.
        setTimeout(() => {
          keyboardBackUnlessMoved(at);
          releaseHeld();
          keysLetGoInBox();
          persist();
          answerWaiting();
          askFrame();
        }, 0);
      }, {once: true});
      box.showModal();
      document.getElementById('box-ok').focus();
    });
  },
  // A file the game has just saved is kept at once: the game congratulates only on a save that
  // lasts, and a game for the score server is sent from what another tab or visit finds. When
  // the browser refuses it, the page says what was lost, in its own words.
  keep(path) {
    const name = path.slice(dataFolder.length + 1);
    const err = keepFile(name);
    if (!err) return 1;
    const what = unkeptWords(name);
    notice(err.name === 'QuotaExceededError'
      ? `This browser's storage is full: ${what} could not be kept.`
      : `This browser could not keep ${what} (${err.message}).`);
    return 0;
  },
  // The file as the browser keeps it now, right before the game reads it to save it again (the
  // games for the score server: another tab of the page may have kept them since); the game keeps
  // what it wrote right after, in the same task. The browser gives no lock across tabs: tabs that
  // share an event loop never come between the two steps; tabs in other processes could, only by
  // writing within the moment one's write takes to reach the other.
  refresh(path) {
    const name = path.slice(dataFolder.length + 1), text = localStorage.getItem(store + name);
    // Unchanged since this tab kept it: what the data folder holds is as new, or newer.
    if (text === null || text === kept.get(name)) return;
    Module.FS.writeFile(path, text);
    kept.set(name, text);
  },
  // A request of the game's score-server client: to the server the page came from, by fetch;
  // no answer in time is an answer of status 0, as no server at all.
  send(id, path, post, body, timeoutMs) {
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), timeoutMs);
    const options = {cache: 'no-store', signal: abort.signal};
    if (post) {
      Object.assign(options, {method: 'POST', body, headers: {
        'Content-Type': body.startsWith('{') ? 'application/json' : 'text/plain; charset=utf-8'}});
    }
    fetch(path, options)
      .then(async (response) => [response.status, await response.text()])
      .catch(() => [0, ''])
      .then(([status, text]) => {
        clearTimeout(timer);
        answer(id, status, text);
      });
  },
  // The server has answered the request for a sitting, or none did: the game opens.
  sittingAsked() { setTimeout(() => page.sittingAsked(), 0); },
  // The best game of the server's table, played back as an opened recording is.
  replay(recording) { openRecording(recording); },
  say(text) { setTimeout(() => host.messageBox(text, 'Cavewing'), 0); },
  // The program has ended (or refused the page's settings, and says why).
  ended(why) {
    page.ended = true;
    persist();
    showEnded(why);
  },
};

function showEnded(why) {
  if (why) document.querySelector('#ended p').textContent = why;
  document.getElementById('ended').hidden = false;
  document.getElementById('again').focus();
}

// The program stopped on a fault of its own (out of memory, say: the runtime's abort throws one
// too): the player is told, not left before a field that no longer moves. Nothing more is asked
// of it, not even what to keep.
function stopped(err) {
  console.error(err);
  if (page.ended) return;
  page.ended = true;
  showEnded('Cavewing stopped on an error of its own (it may have run out of memory).');
}
const runtimeFault = (err) => err instanceof WebAssembly.RuntimeError && stopped(err);
window.addEventListener('error', (e) => runtimeFault(e.error));
window.addEventListener('unhandledrejection', (e) => runtimeFault(e.reason));

// The server's answers reach the game between its handlers, never while one waits in a box.
const answersWaiting = [];
function answer(id, status, text) {
  if (page.modal) {
    answersWaiting.push([id, status, text]);
    return;
  }
  const bytes = Module.lengthBytesUTF8(text) + 1;
  const at = call('cavewing_alloc', bytes);
  Module.stringToUTF8(text, at, bytes);
  // What the answer changes in the player's files (the games the server has yet to take) the
  // game keeps itself, through host.keep().
  call('cavewing_answer', id, status, at);
  askFrame();
}
function answerWaiting() {
  while (answersWaiting.length && !page.modal) answer(...answersWaiting.shift());
}

// Beside How to Play: the page's keys.
const keysNote = 'On the keyboard: hold the Up arrow to climb and let go to fall, as with the ' +
                 'left mouse button. Alt or F10 opens the menus, and Tab leaves the field.';

// A short word from the page itself, over the field, until the next click.
function notice(text) {
  const line = document.getElementById('notice');
  line.textContent = text;
  line.hidden = false;
}
document.addEventListener('mousedown', () => { document.getElementById('notice').hidden = true; });

// A hidden START cannot take the keyboard: it takes it once shown, as the desktop's button does.
function giveStartTheKeyboard() {
  if (!page.startAsked || startButton.style.display === 'none') return;
  page.startAsked = false;
  startButton.focus();
}

// Back to START or the field, unless a menu is open.
function returnKeyboard() {
  if (page.openMenu) return;
  (startButton.style.display !== 'none' ? startButton : canvas).focus();
}
// The same a moment later (after a box or a command), unless the player has taken the keyboard
// elsewhere since `at` (Tab to the menu bar, a menu opened).
function keyboardBackUnlessMoved(at) {
  if (document.activeElement === at || document.activeElement === document.body) returnKeyboard();
}

function chooseMenu(entry) {
  if (!entry.enabled) return;
  if (!entry.children.length) {
    closeMenus();
    command(entry);
    return;
  }
  const wasOpen = page.openMenu === entry;
  closeMenus();
  if (!wasOpen) showOpen(entry);
}
// A menu opens, as the screen and a screen reader show it; what was held is let go.
function showOpen(menu) {
  page.openMenu = menu;
  menu.element.classList.add('open');
  if (menu.children.length) menu.item.setAttribute('aria-expanded', 'true');
  releaseHeld();
}

// A menu's entry on the bar, as the keyboard stands on it.
const barEntry = '.menu > [role=menuitem]';
function closeMenus() {
  if (page.openMenu) {
    page.openMenu.element.classList.remove('open');
    if (page.openMenu.children.length) page.openMenu.item.setAttribute('aria-expanded', 'false');
  }
  if (page.activeItem) page.activeItem.element.classList.remove('active');
  page.openMenu = page.activeItem = null;
  // The keyboard does not stay on an item that is gone.
  if (menubar.contains(document.activeElement) && !document.activeElement.matches(barEntry))
    returnKeyboard();
}

function command(entry) {
  closeMenus();
  if (!entry.enabled || blocked()) return;
  if (entry.action) {
    returnKeyboard();
    entry.action();
    return;
  }
  page.helpAsked = entry.name === N.helpMenu;
  page.boxNote = page.helpAsked ? keysNote : '';
  callWithText('cavewing_menu', entry.name);
  page.helpAsked = false;
  page.boxNote = '';
  afterInput();
  const at = document.activeElement;
  setTimeout(() => keyboardBackUnlessMoved(at), 0);
}

// ---- The player's input.

// The game's time, as the page keeps it: whether a frame is asked for, the wake-up while asleep.
const time = {frameAsked: false, timer: 0};
// Input wakes a sleeping page, before anything else hears of it: the game first catches up with
// real time, so that the input lands at the grid point it would have, had the page stayed awake.
function wake() {
  if (time.frameAsked || blocked()) return;
  call('cavewing_frame', performance.now() * 1000);
  askFrame();
}
for (const type of ['mousedown', 'mouseup', 'pointerdown', 'pointerup', 'keydown', 'keyup'])
  window.addEventListener(type, wake, true);

function blocked() { return !page.ready || page.modal || page.ended; }

function shiftOf(e) {
  return (e.shiftKey ? N.shift.shift : 0) | (e.ctrlKey ? N.shift.ctrl : 0) |
         (e.altKey ? N.shift.alt : 0);
}

function afterInput() {
  follow();
  askFrame();
}

// After a frame or the player's input: the player's files kept when the phase changes, and the
// pause control and the live region brought up to date.
function follow() {
  if (page.phase !== call('cavewing_phase')) persist();
  const {crashed, paused, flying} = N.phases;
  if (page.phase === crashed || page.phase === paused || page.said) announce();
  if (page.phase !== flying) copyList();
}

// A press (`second`: the second press of a quick double click) or a release, routed by the game.
function press(button, e, second = false) {
  const [x, y] = toTwips(e);
  call('cavewing_press', button, shiftOf(e), x, y, second ? 1 : 0);
  afterInput();
}
function release(button, e) {
  const [x, y] = toTwips(e);
  call('cavewing_release', button, shiftOf(e), x, y);
  afterInput();
}

// The first click (no key) or key lifts a stand-still, or ends the demo, and goes no further.
function firstInputTaken(key = '') {
  return Module.ccall('cavewing_first_input', 'number', ['string'], [key]) === 1;
}

// The page went away: the game lets go of what is held and stands flight still.
function standStill() {
  if (blocked()) return;
  held.clear();
  Module.ccall('cavewing_went_away', null, ['number'], [1]);
}

const held = new Map();  // pointer id (or mouse button) -> the game's button
function releaseHeld() {
  if (!page.ready || page.modal) return;
  held.clear();
  call('cavewing_release_lost');
}

// The game's code of a mouse button, by the browser's number of it.
function buttonOf(e) { return [LeftButton, MiddleButton, RightButton][e.button]; }
// Before any control sees it, a click that closes an open menu, or that ends the demo or lifts a
// stand-still, is taken whole: it does nothing else, on the field, START or the menu bar alike.
window.addEventListener('mousedown', (e) => {
  page.clickTaken = false;
  if (e.target.closest('dialog')) return;
  if (page.openMenu && !e.target.closest('.menu')) {
    closeMenus();
  } else if (blocked() || !firstInputTaken()) {
    return;
  }
  page.clickTaken = true;
  e.preventDefault();
  e.stopPropagation();
}, true);
// The click that follows such a press goes too; none follows when the button is let go elsewhere.
window.addEventListener('mouseup', () => {
  if (page.clickTaken) setTimeout(() => { page.clickTaken = false; }, 0);
}, true);
window.addEventListener('click', (e) => {
  if (!page.clickTaken) return;
  page.clickTaken = false;
  e.preventDefault();
  e.stopPropagation();
}, true);
canvas.addEventListener('mousedown', (e) => {
  e.preventDefault();
  returnKeyboard();  // a click on the field leaves START its focus, as on the desktop
  if (blocked()) return;
  const button = buttonOf(e);
  if (!button) return;
  held.set('mouse' + button, button);
  // The second press of a quick double click; the game decides what it is.
  press(button, e, e.detail > 1 && e.detail % 2 === 0);
});
window.addEventListener('mouseup', (e) => {
  const button = buttonOf(e);
  if (!button || !held.delete('mouse' + button) || blocked()) return;
  release(button, e);
});
canvas.addEventListener('contextmenu', (e) => e.preventDefault());

// Touch: the first finger is the left button, a second finger the right one (it pauses).
canvas.addEventListener('pointerdown', (e) => {
  if (e.pointerType !== 'touch') return;
  e.preventDefault();
  noteTouchScreen();
  if (page.openMenu) {
    closeMenus();
    return;
  }
  if (blocked()) return;
  if (firstInputTaken()) return;
  const fingers = [...held.keys()].filter((k) => typeof k === 'number').length;
  const button = fingers === 0 ? LeftButton : RightButton;
  held.set(e.pointerId, button);
  canvas.setPointerCapture(e.pointerId);
  press(button, e);
});
for (const type of ['pointerup', 'pointercancel']) {
  canvas.addEventListener(type, (e) => {
    if (e.pointerType !== 'touch' || !held.has(e.pointerId)) return;
    const button = held.get(e.pointerId);
    held.delete(e.pointerId);
    if (!blocked()) release(button, e);
  });
}

// The game's name of a key (it codes it): letters as the layout gives them, digits and the
// rest by their keys; any other key by the browser's name of its place.
function keyNameOf(e) {
  if (/^[a-z]$/i.test(e.key)) return e.key.toUpperCase();
  if (/^Key[A-Z]$/.test(e.code) && e.key.length === 1 && !/^[\x20-\x7e]$/.test(e.key))
    return e.code.slice(3);
  const digit = /^Digit([0-9])$/.exec(e.code);
  if (digit) return digit[1];
  if (e.key === ' ') return 'Space';
  if (e.key.startsWith('Arrow')) return e.key.slice(5);
  if (e.key.length > 1 && e.key !== 'Unidentified' && e.key !== 'Dead') return e.key;
  return e.code || 'Unidentified';
}
function characterOf(e) {
  const named = {Backspace: 8, Enter: 13, Escape: 27};  // Tab never reaches the game
  if (named[e.key]) return named[e.key];
  if (e.key.length !== 1) return 0;
  if (e.ctrlKey && /^[a-z]$/i.test(e.key)) return e.key.toUpperCase().charCodeAt(0) - 64;
  const c = e.key.charCodeAt(0);
  return c > 0 && c < 256 ? c : 0;
}

// A menu's shortcut is its exact shift state: Ctrl+X, not Ctrl+Shift+X or Ctrl+Alt+X.
function shortcutOf(e) {
  if (!e.ctrlKey || e.shiftKey || e.altKey || e.metaKey || e.key.length !== 1) return '';
  return 'Ctrl+' + e.key.toUpperCase();
}

// ---- The menus by keyboard, as a menu bar goes: Alt alone or F10 opens the first menu, Left and
// Right go from menu to menu, Up and Down from item to item, Enter or Space chooses, Esc closes;
// Alt and a menu's letter opens that menu, and in an open menu an item's letter chooses it.

function enabledMenus() { return [...page.menus.values()].filter((m) => m.items && m.enabled); }
// The next of `list` from `from` (-1 or 1 away, round the end), or the first or last.
function next(list, from, step) {
  const i = list.indexOf(from);
  if (i < 0) return step > 0 ? list[0] : list[list.length - 1];
  return list[(i + step + list.length) % list.length];
}
// Opens a menu with its first (`step` 1) or last (-1) item under the keyboard, or none (0); a
// menu of no items (High Scores) only stands under it.
function openByKeyboard(menu, step = 1) {
  if (!menu) return;
  closeMenus();
  showOpen(menu);
  const item = step && next(menu.children.filter((c) => c.enabled), null, step);
  if (item) activate(item);
  else menu.item.focus();
}
function activate(item) {
  if (page.activeItem) page.activeItem.element.classList.remove('active');
  page.activeItem = item;
  item.element.classList.add('active');
  item.element.focus();
}
function menuByLetter(letter) {
  return [...page.menus.values()].find((m) => m.items && m.access === letter.toLowerCase());
}
// Alt and a menu's letter: its menu opens, or the menu with no items is chosen at once.
function openByLetter(menu) {
  if (menu.children.length) {
    if (menu.enabled) openByKeyboard(menu);
  } else {
    chooseMenu(menu);
  }
}
function toggleMenusByKeyboard() {
  if (page.openMenu) {
    closeMenus();
    returnKeyboard();
  } else {
    openByKeyboard(enabledMenus()[0]);
  }
}
// A key while a menu is open, or while the keyboard stands on the bar; false: not the menus'.
function menuKey(e) {
  const open = page.openMenu;
  const here = open || page.menus.get(e.target.dataset.name);
  switch (e.key) {
    case 'Escape':
      closeMenus();
      returnKeyboard();
      return true;
    case 'ArrowLeft':
    case 'ArrowRight': {
      const menu = next(enabledMenus(), here, e.key === 'ArrowLeft' ? -1 : 1);
      if (open) openByKeyboard(menu);
      else if (menu) menu.item.focus();
      return true;
    }
    case 'ArrowUp':
    case 'ArrowDown': {
      const step = e.key === 'ArrowUp' ? -1 : 1;
      const items = open ? open.children.filter((c) => c.enabled) : [];
      if (!open) openByKeyboard(here.enabled ? here : null, step);
      else if (items.length) activate(next(items, page.activeItem, step));
      return true;
    }
    case 'Enter':
    case ' ':
      if (page.activeItem) command(page.activeItem);
      else if (!here.children.length) chooseMenu(here);
      else if (!open && here.enabled) openByKeyboard(here);
      return true;
    case 'F10':
      toggleMenusByKeyboard();
      return true;
    case 'Tab':
      closeMenus();
      return false;
  }
  if (e.key.length !== 1) return false;
  // Alt and a menu's letter go to that menu; on the bar the letter alone does, as on the
  // desktop's (a shortcut there is still a shortcut).
  if (e.altKey || (!open && !e.ctrlKey && !e.metaKey)) {
    const menu = menuByLetter(e.key);
    if (menu) openByLetter(menu);
    return true;
  }
  if (!open) return false;
  const item = open.children.find((c) => c.access === e.key.toLowerCase());
  if (item) command(item);
  return true;
}

document.addEventListener('keydown', (e) => {
  page.altAlone = e.key === 'Alt' && (!e.repeat || page.altAlone);
  if (blocked() || e.target.closest('dialog')) return;
  const key = keyNameOf(e);
  // The key that lifted a stand-still or ended the demo, and its repeats: none of the page's.
  if (firstInputTaken(key) ||
      Module.ccall('cavewing_caught_key', 'number', ['string', 'number', 'number'],
                   [key, 0, e.repeat ? 1 : 0])) {
    e.preventDefault();
    return;
  }
  const onBar = e.target.matches(barEntry) && enabledMenus().length;
  if ((page.openMenu || onBar) && menuKey(e)) {
    e.preventDefault();
    return;
  }
  // The rest of the keys are the open menu's (Tab has shut it by now).
  if (page.openMenu) {
    e.preventDefault();
    return;
  }
  if (e.key === 'F10' && !shiftOf(e) && enabledMenus().length) {
    e.preventDefault();
    toggleMenusByKeyboard();
    return;
  }
  // A menu that is off (all are, in flight) leaves Alt and its letter to the game.
  if (e.altKey && e.key.length === 1) {
    const menu = menuByLetter(e.key);
    if (menu && menu.enabled) { e.preventDefault(); openByLetter(menu); return; }
  }
  // A disabled item's shortcut (a disabled menu disables its items) is no shortcut: the key goes
  // on to the game, which ends the program on Ctrl+X in flight, as the desktop does.
  const shortcut = shortcutOf(e);
  const entry = shortcut && [...page.menus.values()].find((m) => m.shortcut === shortcut);
  if (entry && entry.enabled) {
    e.preventDefault();
    command(entry);
    return;
  }
  // The other keys on the bar stay there, as the desktop's bar keeps them: none is the game's.
  if (onBar) return;
  // START takes Space and Enter as a button does; the other keys it keeps are not the game's.
  if (e.target === startButton) {
    if (e.key === 'Enter') { e.preventDefault(); startButton.click(); }
    return;
  }
  // Tab is the page's: it takes the focus on, out of the field too.
  if (e.key === 'Tab') return;
  if (e.key === ' ' || e.key.startsWith('Arrow')) e.preventDefault();
  Module.ccall('cavewing_key', null, ['string', 'number', 'number', 'number'],
               [key, shiftOf(e), characterOf(e), e.repeat ? 1 : 0]);
  afterInput();
});
// A key let go is the game's too: the Up arrow is its left button. While a box is open the game
// waits in its handler, and hears of it once the box has gone.
document.addEventListener('keyup', (e) => {
  if (e.key === 'Alt' && page.altAlone && !blocked() && !e.target.closest('dialog') &&
      (page.openMenu || enabledMenus().length)) {
    e.preventDefault();
    toggleMenusByKeyboard();
  }
  page.altAlone = false;
  if (!page.ready || page.ended) return;
  const up = [keyNameOf(e), shiftOf(e), e.repeat ? 1 : 0];
  if (page.modal)
    page.keyUpsInBox.push(up);
  else
    keyUp(up);
});
function keyUp(up) {
  Module.ccall('cavewing_key_up', 'number', ['string', 'number', 'number'], up);
}
function keysLetGoInBox() {
  const ups = page.keyUpsInBox.splice(0);
  if (!blocked()) ups.forEach(keyUp);
}
startButton.addEventListener('click', () => {
  if (blocked() || firstInputTaken()) return;
  if (nameWanted()) {
    askName();
    return;
  }
  call('cavewing_start');
  afterInput();
});

// The page going away stands flight still, as the desktop does when its window goes away.
document.addEventListener('visibilitychange', () => {
  if (document.hidden) { standStill(); persist(); }
});
window.addEventListener('blur', standStill);
window.addEventListener('blur', () => { page.altAlone = false; });  // Alt+Tab is not Alt alone
window.addEventListener('pagehide', persist);
// The stage changes its size with the window, and once the menu bar has its menus: the canvas
// follows, pixel for pixel, or the browser would stretch it out of focus.
new ResizeObserver(() => {
  if (layout() && !blocked()) call('cavewing_repaint');
}).observe(canvas.parentElement);
document.getElementById('again').addEventListener('click', () => location.reload());

// ---- The player's files: the high-score table and the recordings, kept in the browser.

const kept = new Map();
// A kept file is a plain name in the data folder: anything else under the prefix (left by
// another page of this origin, or by hand) is skipped, and said once, not followed.
function plainFileName(name) {
  return name !== '' && name !== '.' && name !== '..' && !/[\/\0]/.test(name);
}
function restore() {
  Module.FS.mkdir(dataFolder);
  const skipped = [];
  for (let i = 0; i < localStorage.length; ++i) {
    const key = localStorage.key(i);
    if (!key.startsWith(store)) continue;
    const name = key.slice(store.length), text = localStorage.getItem(key);
    try {
      if (!plainFileName(name)) throw new Error('not a file name');
      Module.FS.writeFile(`${dataFolder}/${name}`, text);
      kept.set(name, text);
    } catch (err) {
      skipped.push(JSON.stringify(key));
    }
  }
  if (skipped.length)
    console.warn(`cavewing: skipped ${skipped.join(', ')} in the browser's storage: not a file`);
}
function persist() {
  if (!page.ready) return;
  page.phase = call('cavewing_phase');
  showPhase();
  for (const name of Module.FS.readdir(dataFolder)) {
    const path = `${dataFolder}/${name}`;
    if (name === '.' || name === '..' || !Module.FS.isFile(Module.FS.stat(path).mode)) continue;
    const err = keepFile(name);
    if (err) console.warn(`cavewing: could not keep ${name} in the browser: ${err}`);
  }
}
// What is lost when the browser refuses the file `name`: for the games the score server has yet
// to take, the one just played (the one the save was for).
function unkeptWords(name) {
  if (name !== 'unsent-games') return name === 'Cavewing.txt' ? 'your new high score' : name;
  const result = JSON.parse(Module.UTF8ToString(call('cavewing_result')));
  return `the game that scored ${result.score}, for the score server,`;
}
// Keeps one of the player's files in the browser; the error when the browser refuses it.
function keepFile(name) {
  const text = Module.FS.readFile(`${dataFolder}/${name}`, {encoding: 'utf8'});
  if (kept.get(name) === text) return null;
  try {
    localStorage.setItem(store + name, text);
    kept.set(name, text);
    return null;
  } catch (err) {
    return err;
  }
}

// The page's own menu, after the game's: the player's files in and out of the browser. It is off
// whenever the game's File menu is (in flight). The best game of the table is there only where a
// score server serves the page: no other has one to play.
const pageFiles = [
  ['&Download Cavewing.txt', () => download('Cavewing.txt')],
  ['&Load a table...', () => choose('.txt', loadTable)],
  ['-'],
  ['Download last &game', () => download('last-game')],
  ['Download &best game', () => download('best-game')],
  ['&Open a recording...', () => choose('', openRecording)],
  ['&Play the best game', () => call('cavewing_best_game'), 'served'],
  ['-'],
  ['&Settings...', openSettings],
];
function addPageMenu() {
  host.addMenu('page:files', 'Fi&les', '', 0);
  const menu = page.menus.get('page:files');
  menu.follows = N.filesMenu;
  host.menuEnabled('page:files', page.menus.get(N.filesMenu).enabled);
  pageFiles.forEach(([caption, action, served], i) => {
    if (served && !servedByScoreServer) return;
    host.addMenu(caption === '-' ? '' : `page:files:${i}`, caption, '', 1);
    if (action) page.menus.get(`page:files:${i}`).action = action;
  });
}

function download(name) {
  persist();
  const text = kept.get(name);
  if (text === undefined) {
    host.messageBox(`There is no ${name} in this browser yet.`, 'Cavewing');
    return;
  }
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([text], {type: 'text/plain'}));
  a.download = name;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 10000);
}

function choose(accept, then) {
  const input = document.createElement('input');
  input.type = 'file';
  if (accept) input.accept = accept;
  input.addEventListener('change', () => input.files[0] && input.files[0].text().then(then));
  input.click();
}

// A table from elsewhere (the desktop's Cavewing.txt) replaces the browser's; the game reads it
// as it starts, so the page starts again.
function loadTable(text) {
  if (!keepInBrowser(localStorage, store + 'Cavewing.txt', text, 'This table',
                     'The table kept in this browser stays as it was.'))
    return;
  location.reload();
}

// A recording plays back in a page of its own, as `cavewing --replay FILE` does.
function openRecording(text) {
  const said = 'It was not opened.';
  if (!keepInBrowser(sessionStorage, store + 'replay', text, 'This recording', said)) return;
  // The recording brings its own seed, layout and player.
  location.href = location.pathname + '?replay';
}

// Keeps `text` under `key`, or says why it could not (the browser's storage is full, or the
// file is larger than it takes): what was kept before stays.
function keepInBrowser(storage, key, text, what, outcome) {
  try {
    storage.setItem(key, text);
    return true;
  } catch (err) {
    const size = (text.length / 1e6).toFixed(1);
    host.messageBox(`${what} (${size} MB) does not fit in this browser's storage. ${outcome}`,
                    'Cavewing');
    return false;
  }
}
// The player's name as the game reads it at the start of a sitting: `?name=` in the address, else
// the one from the settings.
function playerName() {
  return settings.get('name') ?? localStorage.getItem(nameSetting) ?? '';
}

// The settings: the player's name. The game takes it as a sitting starts (its recording keeps it),
// so a new name starts the page again, without the address's `?name=`: the name just chosen holds.
function openSettings() {
  const box = document.getElementById('settings');
  const input = document.getElementById('settings-name');
  input.value = playerName();
  document.getElementById('settings-hint').textContent = settings.has('name')
    ? 'The address (?name=) gives the name now; a new one here takes its place.' : '';
  box.returnValue = '';
  box.addEventListener('close', () => {
    const name = input.value.trim(), was = playerName();
    if (box.returnValue === 'ok') {
      if (name) localStorage.setItem(nameSetting, name);
      else localStorage.removeItem(nameSetting);
    }
    if (box.returnValue !== 'ok' || name === was) {
      returnKeyboard();
      return;
    }
    persist();
    const address = new URLSearchParams(location.search);
    address.delete('name');
    address.delete('replay');
    location.search = address.toString();
  }, {once: true});
  box.showModal();
  input.select();
}

document.addEventListener('dragover', (e) => e.preventDefault());
document.addEventListener('drop', (e) => {
  e.preventDefault();
  const file = e.dataTransfer.files[0];
  if (file) file.text().then(openRecording);
});

// ---- Touch screens: the pause control, full screen, and the page's words for fingers.

// The help's note on a touch screen, beside the rules' own words.
const TouchNote = 'On a touch screen: hold a finger on the field to climb, and lift it to fall. ' +
  'Pause, beside the field, pauses and resumes (so does a second finger). Full screen makes the ' +
  'field as large as the screen.';
const pauseButton = document.getElementById('pause');
const fullScreenButton = document.getElementById('fullscreen');

function touchScreen() { return document.documentElement.classList.contains('touch'); }

// The bar's entries side by side, each hit area (page.css) at least a finger wide: one narrower
// reaches on into the next entry, whose own then begins where it ends.
const FingerPx = 44;
function layOutHitAreas() {
  let end = 0;
  for (const entry of menubar.children) {
    const {left, right} = entry.getBoundingClientRect();
    const from = Math.max(left, end);
    end = Math.max(right, from + FingerPx);
    entry.style.setProperty('--hit-left', `${from - left}px`);
    entry.style.setProperty('--hit-width', `${end - from}px`);
  }
}
const barEntriesSized = new ResizeObserver(layOutHitAreas);
// A touch screen as the browser says, or the first finger on the field of one it did not.
function noteTouchScreen() {
  if (touchScreen()) return;
  document.documentElement.classList.add('touch');
  if (page.ready && !blocked()) call('cavewing_repaint');
}
if (matchMedia('(pointer: coarse)').matches || navigator.maxTouchPoints > 0) noteTouchScreen();

// Pause does what the pause key does: the game's own key, so the rules decide (a pause spends a
// charge, and resumes when paused). It is for flight and a pause.
function showPhase() {
  const paused = page.phase === N.phases.paused;
  pauseButton.disabled = !paused && page.phase !== N.phases.flying;
  pauseButton.textContent = paused ? 'Resume' : 'Pause';
}
pauseButton.addEventListener('click', () => {
  if (blocked() || firstInputTaken()) return;
  call('cavewing_pause');
  afterInput();
});

// Full screen, in landscape where the phone lets the page turn it (most want full screen first;
// one that will not turn plays in the orientation it is held in). It shows with the page's first
// paint, and goes where the browser has no full screen.
fullScreenButton.hidden = !document.fullscreenEnabled;
fullScreenButton.addEventListener('click', () => {
  if (document.fullscreenElement) {
    document.exitFullscreen().catch(() => {});
    return;
  }
  document.documentElement.requestFullscreen({navigationUI: 'hide'})
    .then(() => screen.orientation.lock('landscape'))
    .catch(() => {});
});
document.addEventListener('fullscreenchange', () => {
  fullScreenButton.textContent = document.fullscreenElement ? 'Leave full screen' : 'Full screen';
});

for (const button of [pauseButton, fullScreenButton]) {
  // A tap or click leaves the keyboard where it was: on START or the field.
  button.addEventListener('mousedown', (e) => e.preventDefault());
  // Enter and Space on the focused control are the control's, not the game's as well.
  button.addEventListener('keydown', (e) => {
    if (e.key === 'Enter' || e.key === ' ') e.stopPropagation();
  });
}

// ---- What a screen reader says: the score at the crash, then the list's row for it.

// While a box is open the region is out of a reader's reach: what it has to say waits for the box
// to close, or it would never be said.
const news = document.getElementById('news');
function announce() {
  if (page.modal) return;
  const result = JSON.parse(Module.UTF8ToString(call('cavewing_result')));
  let text = '';
  if (page.phase === N.phases.paused) {
    text = 'Paused.';
  } else if (result.crashed) {
    text = `Crashed with a score of ${result.score}.`;
    if (result.listed)
      text += result.rank ? ` Number ${result.rank} on the high-score list.`
                          : ' Not on the high-score list.';
  }
  if (text !== page.said) news.textContent = text;
  page.said = text;
}

// The list the field draws, in a table a reader can go through.
const list = document.getElementById('list');
function copyList() {
  const rows = Module.UTF8ToString(call('cavewing_list'));
  if (rows === page.listed) return;
  page.listed = rows;
  list.hidden = !rows;
  list.tBodies[0].replaceChildren(...rows.split('\n').filter(Boolean).map((row) => {
    const line = document.createElement('tr');
    for (const text of row.split('\x1f')) line.insertCell().textContent = text;
    return line;
  }));
}

// ---- The player's name, asked once at the first START when none is set.

const nameAsked = 'cavewing.nameAsked';  // the page has asked once: it never asks again
function nameWanted() {
  if (settings.has('name') || settings.has('replay')) return false;
  try {
    return !localStorage.getItem(nameSetting) && !localStorage.getItem(nameAsked);
  } catch {
    return false;  // no storage to keep it in
  }
}

// The name is the sitting's from its start (its recording keeps it), so a name given opens the
// sitting again under it before START: nothing was played in it yet.
function askName() {
  const box = document.getElementById('ask-name');
  const input = document.getElementById('ask-name-input');
  input.value = '';
  box.returnValue = '';
  box.addEventListener('close', () => {
    const name = box.returnValue === 'ok' ? input.value.trim() : '';
    try {
      localStorage.setItem(nameAsked, '1');
      if (name) localStorage.setItem(nameSetting, name);
    } catch (err) {
      console.warn(`cavewing: the name is not kept in this browser: ${err}`);
    }
    (name ? reopenAs(name) : Promise.resolve(true)).then((open) => {
      if (!open || blocked()) return;
      call('cavewing_start');
      afterInput();
    });
  }, {once: true});
  box.showModal();
  input.focus();
}

// ---- Time: every animation frame brings the game up to the frame's time on its grid, and paints
// the frame if its picture changed. The frame's time is the browser's for it (when the display
// shows it), not when the callback happens to run: frames then follow the display's beat evenly.

// While nothing moves (the start screen, a pause, the list) the page sleeps: until the player's
// input, or until the grid point at which the game next has something to do.
const FrameMs = 1000 / 60;
function frame(timestamp) {
  time.frameAsked = false;
  if (blocked()) return;  // the box's close wakes it
  const begun = performance.now();
  call('cavewing_frame', timestamp * 1000);
  // ?bench keeps what each frame cost, the tick and the drawing together.
  if (page.frameMs) page.frameMs.push(performance.now() - begun);
  follow();
  const due = call('cavewing_next_due');
  if (due >= 0 && due - performance.now() < 2 * FrameMs) askFrame();
  else if (due >= 0) time.timer = setTimeout(askFrame, due - performance.now() - FrameMs);
}
function askFrame() {
  clearTimeout(time.timer);
  if (time.frameAsked || page.ended) return;
  time.frameAsked = true;
  requestAnimationFrame(frame);
}

// The page's address as the program's options: ?seed=N, ?wide, ?demo. Each value is handed over
// whole: the program refuses one it cannot take, and says why.
function addressOptions() {
  const options = {wide: settings.has('wide'), demo: settings.has('demo')};
  if (settings.has('seed')) options.seed = settings.get('seed');
  const recording = sessionStorage.getItem(store + 'replay');
  if (settings.has('replay') && recording !== null) {
    Module.FS.writeFile('/replay', recording);
    options.replay = '/replay';
  }
  return options;
}

// The player's name; the address's is refused (throws why) when it holds control characters, a
// line break say. The one from the settings is the player's own: the game keeps it plain.
function checkedPlayerName() {
  const name = playerName();
  if (settings.has('name') && /[\u0000-\u001f\u007f]/.test(name))
    throw `?name= may not hold control characters: ${JSON.stringify(name)}.`;
  return name;
}

// What the page's tests and its benchmark look at.
window.cavewingProbe = {
  ready: () => page.ready && !page.ended,
  phase: () => call('cavewing_phase'),  // as numbers().phases names them
  numbers: () => N,
  grid: () => call('cavewing_grid'),
  paints: () => call('cavewing_painted'),  // frames painted so far
  copterTop: () => call('cavewing_copter_top'),
  drawnCopterTop: () => call('cavewing_drawn_copter_top'),  // where the last frame drew it
  painted: () => page.painted || [],
  score: () => Module.ccall('cavewing_score', 'string', [], []),
  badge: () => page.badge,
  boxOpen: () => page.modal,
  notice: () => {
    const line = document.getElementById('notice');
    return line.hidden ? '' : line.textContent;
  },
  standing: () => !!call('cavewing_standing'),
  // Each text of the last frame on the field, and how high it stood in CSS pixels; `own`: the
  // page's, not the rules'.
  textSizes: () => page.textSizes || [],
  // Where the field is drawn, in CSS pixels of the window.
  fieldRect: () => {
    const stage = canvas.getBoundingClientRect();
    return {left: stage.left + view.dx, top: stage.top + view.dy,
            width: page.field.width / TwipsPerPixel * view.scale,
            height: page.field.height / TwipsPerPixel * view.scale};
  },
  firstFrameMs: () => page.firstFrameMs,
  frameMs: () => page.frameMs,
};

// After the page's next paint, or at once for a page nobody sees (a hidden one paints nothing).
function afterPaint() {
  if (document.hidden) return Promise.resolve();
  return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
}

var Module = {
  cavewing: Object.assign({}, painter, host),
  // The program is fetched once the page has shown itself: on a slow line the page's first paint
  // does not share the line with the program's bytes. Then it is compiled as it streams in, as
  // the runtime itself would (or from its whole bytes, from a server that does not name it).
  instantiateWasm(imports, received) {
    const fetched = () => fetch('cavewing.wasm', {credentials: 'same-origin'});
    afterPaint()
      .then(() => WebAssembly.instantiateStreaming(fetched(), imports))
      .catch(() => fetched().then((response) => response.arrayBuffer())
        .then((bytes) => WebAssembly.instantiate(bytes, imports)))
      .then((result) => received(result.instance, result.module))
      .catch((err) => {
        document.querySelector('#ended p').textContent = `Cavewing could not be loaded: ${err}`;
        document.getElementById('ended').hidden = false;
      });
    return {};
  },
  onRuntimeInitialized() {
    // The first frame waits for the faces the field is painted with (those index.html preloads)
    // and for the pictures, so that it is drawn as every other one. The other faces (a box's
    // bold title) need not hold it up: the page's own text takes them as they come.
    Promise.all([...fieldFaces.map((f) => document.fonts.load(f)),
                 ...pictures.filter((p) => p).map((p) => p.decode())])
        .catch((err) => console.warn(`cavewing: ${err}`))
        .then(open);
  },
};

// The page keeps its files for visits with no server (sw.js), once it is up.
if ('serviceWorker' in navigator) {
  window.addEventListener('load', () => {
    navigator.serviceWorker.register('sw.js').catch((err) => console.warn(`cavewing: ${err}`));
  });
}

// Opening goes in tasks of its own, none holding the page up long: a tap or a key waits less.
const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));
async function open() {
  takeNumbers();
  await nextTask();
  restore();
  let name;
  try {
    Module.cavewing.options = addressOptions();
    name = checkedPlayerName();
  } catch (why) {
    host.ended(String(why));
    return;
  }
  await nextTask();
  if (await openSitting(name)) askFrame();
}

// Opens a sitting as the player `name`; resolves with whether it is open. Served by the score
// server, the sitting's cave comes from it: the game opens once it has answered (or not in time).
// A box at start-up (a damaged table, say) keeps the game waiting in it: a promise then.
function openSitting(name) {
  return askSitting(name)
    .then(() => {
      page.ready = true;
      return Module.ccall('cavewing_open', 'number', ['string'], [name]);
    })
    .then((status) => {
      if (status !== -1) return false;
      addPageMenu();
      // A sitting opens ready to play: the pause control is as the page's HTML has it, disabled.
      page.phase = call('cavewing_phase');
      returnKeyboard();
      return true;
    });
}

// The score server marks the page it serves: only there is a table to ask for a sitting. Any
// other server (`make serve`'s) is never asked: it would only refuse, in the browser's console.
const servedByScoreServer = document.querySelector('meta[name="cavewing-scores"]') !== null;

// Resolves once the score server's answer for a sitting of `name` is in, or at once when there is
// none to ask or the page's address chose the cave itself.
function askSitting(name) {
  return new Promise((resolve) => {
    page.sittingAsked = resolve;
    if (Module.ccall('cavewing_ask_sitting', 'number', ['string', 'number'],
                     [name, servedByScoreServer ? 1 : 0]) === 0)
      resolve();
  });
}

// The sitting opened again as `name`, with the menus it brings; the demo the address asked for is
// over by now.
function reopenAs(name) {
  closeMenus();
  menubar.replaceChildren();
  page.menus.clear();
  page.lastMenu = null;
  Module.cavewing.options.demo = false;
  return openSitting(name);
}
