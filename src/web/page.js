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
  clickTaken: false, // the press under way closed a menu, ended the demo or lifted a stand-still
  firstFrameMs: null,
  frameMs: settings.has('bench') ? [] : null,
};

function call(name, ...args) { return Module['_' + name](...args); }
function callWithText(name, text) { return Module.ccall(name, null, ['string'], [text]); }

// ---- Where the field lies: letterboxed in the stage, at the screen's own pixels.

const view = {dpr: 1, scale: 1, dx: 0, dy: 0};

function layout() {
  if (!page.field) return;
  const stage = canvas.parentElement.getBoundingClientRect();
  view.dpr = window.devicePixelRatio || 1;
  canvas.width = Math.max(1, Math.round(stage.width * view.dpr));
  canvas.height = Math.max(1, Math.round(stage.height * view.dpr));
  const w = page.field.width / TwipsPerPixel, h = page.field.height / TwipsPerPixel;
  view.scale = Math.min(stage.width / w, stage.height / h);
  view.dx = (stage.width - w * view.scale) / 2;
  view.dy = (stage.height - h * view.scale) / 2;
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
  const px = Math.round(points * 20 / TwipsPerPixel);  // 96 dots an inch, as on the desktop
  return [`${bold ? 'bold ' : ''}${px}px ${fontFamilies[name] || `"${name}"`}, sans-serif`, px];
}

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
    ctx.font = fontOf(font, size, bold)[0];
    ctx.fillStyle = colour(rgb);
    drawText(text, x, y, width, ['left', 'right', 'center'][align], underline);
  },
  finish() {
    ctx.restore();
    logicalPixels();
    if (page.badge || page.replayPress) paintBadge();
    if (page.standing) paintStandStill();
    if (page.firstFrameMs === null) page.firstFrameMs = performance.now();
  },
};

// Text the kit places: at the top of its box, in its font and colour.
function drawLook(look, text, box, align) {
  ctx.fillStyle = colour(look.rgb);
  ctx.font = fontOf(look.font, look.points, look.bold)[0];
  drawText(text, box.left, box.top, box.width, align, false);
}

// A badge in the corner, and a ring where the recorded player holds a button down.
function paintBadge() {
  if (page.badge) drawLook(N.badge, page.badge, N.badge.box, 'left');
  if (page.badgeHint) drawLook(N.badgeHint, page.badgeHint, N.badgeHint.box, 'left');
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
  const look = N.standStill;
  const width = page.field.width / TwipsPerPixel, middle = page.field.height / 2 / TwipsPerPixel;
  const across = (box) => ({left: 0, top: middle + box.top, width, height: box.height});
  ctx.fillStyle = `rgba(0,0,0,${look.bandAlpha / 255})`;
  ctx.fillRect(0, middle + look.bandTop, width, look.bandHeight);
  for (const text of [look.title, look.hint]) drawLook(text, text.text, across(text.box), 'center');
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
  focusStart() { setTimeout(() => startButton.focus(), 0); },
  cursor(custom) { canvas.style.cursor = custom ? 'url(assets/cursor.png) 16 16, crosshair' : 'default'; },

  addMenu(name, caption, shortcut, depth) {
    const access = caption.includes('&') ? caption[caption.indexOf('&') + 1].toLowerCase() : '';
    const element = document.createElement('div');
    if (caption === '-') {
      element.className = 'separator';
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
    if (depth === 0) {
      element.className = 'menu';
      element.dataset.name = name;
      entry.items = document.createElement('div');
      entry.items.className = 'items';
      element.appendChild(entry.items);
      menubar.appendChild(element);
      element.addEventListener('mousedown', (e) => {
        e.preventDefault();
        if (e.target.closest('.item')) return;
        chooseMenu(entry);
      });
      page.lastMenu = entry;
    } else {
      element.className = 'item';
      element.dataset.name = name;
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
    if (!enabled && page.openMenu === entry) closeMenus();
    for (const follower of page.menus.values())
      if (follower.follows === name) host.menuEnabled(follower.name, enabled);
  },

  // A modal box: the game's handler waits for it, and time stands still while it is open.
  messageBox(prompt, title) {
    const box = document.getElementById('box');
    document.getElementById('box-title').textContent = title;
    document.getElementById('box-prompt').textContent = prompt;
    page.modal = true;
    releaseHeld();
    return new Promise((resolve) => {
      box.addEventListener('close', () => {
        page.modal = false;
        resolve();
        setTimeout(() => { returnKeyboard(); persist(); }, 0);
      }, {once: true});
      box.showModal();
      document.getElementById('box-ok').focus();
    });
  },
  // The table the game has just saved is kept at once: the game congratulates only on a save
  // that lasts. When the browser refuses it, the page says so in its own words.
  keep(path) {
    const err = keepFile(path.slice(dataFolder.length + 1));
    if (!err) return 1;
    notice(err.name === 'QuotaExceededError'
      ? 'This browser\'s storage is full: your new high score could not be kept.'
      : `Your new high score could not be kept in this browser (${err.message}).`);
    return 0;
  },
  // The program has ended (or refused the page's settings, and says why).
  ended(why) {
    page.ended = true;
    persist();
    if (why) document.querySelector('#ended p').textContent = why;
    document.getElementById('ended').hidden = false;
    document.getElementById('again').focus();
  },
};

// A short word from the page itself, over the field, until the next click.
function notice(text) {
  const line = document.getElementById('notice');
  line.textContent = text;
  line.hidden = false;
}
document.addEventListener('mousedown', () => { document.getElementById('notice').hidden = true; });

function returnKeyboard() {
  (startButton.style.display !== 'none' ? startButton : canvas).focus();
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
  if (!wasOpen) {
    page.openMenu = entry;
    entry.element.classList.add('open');
    releaseHeld();
  }
}

function closeMenus() {
  if (page.openMenu) page.openMenu.element.classList.remove('open');
  page.openMenu = null;
}

function command(entry) {
  closeMenus();
  if (!entry.enabled || blocked()) return;
  if (entry.action) {
    entry.action();
    return;
  }
  callWithText('cavewing_menu', entry.name);
  afterInput();
  setTimeout(returnKeyboard, 0);
}

// ---- The player's input.

function blocked() { return !page.ready || page.modal || page.ended; }

function shiftOf(e) {
  return (e.shiftKey ? N.shift.shift : 0) | (e.ctrlKey ? N.shift.ctrl : 0) |
         (e.altKey ? N.shift.alt : 0);
}

function afterInput() {
  if (page.phase !== call('cavewing_phase')) persist();
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
  const named = {Backspace: 8, Tab: 9, Enter: 13, Escape: 27};
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

document.addEventListener('keydown', (e) => {
  if (blocked() || e.target.closest('dialog')) return;
  const key = keyNameOf(e);
  // The key that lifted a stand-still or ended the demo, and its repeats: none of the page's.
  if (firstInputTaken(key) ||
      Module.ccall('cavewing_caught_key', 'number', ['string', 'number', 'number'],
                   [key, 0, e.repeat ? 1 : 0])) {
    e.preventDefault();
    return;
  }
  // Menus: Alt and the access letter opens one; in an open menu the letter chooses.
  if (page.openMenu) {
    e.preventDefault();
    if (e.key === 'Escape') { closeMenus(); returnKeyboard(); return; }
    const item = page.openMenu.children.find((c) => c.access === e.key.toLowerCase());
    if (item) command(item);
    return;
  }
  if (e.altKey && e.key.length === 1) {
    const menu = [...page.menus.values()].find((m) => m.items && m.access === e.key.toLowerCase());
    if (menu) { e.preventDefault(); chooseMenu(menu); return; }
  }
  // A disabled item's shortcut is no shortcut: the key goes on to the game, which ends the
  // program on Ctrl+X in flight, as the desktop does.
  const shortcut = shortcutOf(e);
  const entry = shortcut && [...page.menus.values()].find((m) => m.shortcut === shortcut);
  if (entry) {
    const parent = [...page.menus.values()].find((m) => m.children && m.children.includes(entry));
    if (entry.enabled && (!parent || parent.enabled)) {
      e.preventDefault();
      command(entry);
      return;
    }
  }
  // START takes Space and Enter as a button does; the other keys it keeps are not the game's.
  if (e.target === startButton) {
    if (e.key === 'Enter') { e.preventDefault(); startButton.click(); }
    return;
  }
  if (e.key === ' ' || e.key === 'Tab' || e.key.startsWith('Arrow')) e.preventDefault();
  Module.ccall('cavewing_key', null, ['string', 'number', 'number', 'number'],
               [key, shiftOf(e), characterOf(e), e.repeat ? 1 : 0]);
  afterInput();
});
document.addEventListener('keyup', (e) => {
  if (page.ready && !page.ended)
    Module.ccall('cavewing_caught_key', 'number', ['string', 'number', 'number'],
                 [keyNameOf(e), 1, e.repeat ? 1 : 0]);
});
startButton.addEventListener('click', () => {
  if (blocked() || firstInputTaken()) return;
  call('cavewing_start');
  afterInput();
});

// The page going away stands flight still, as the desktop does when its window goes away.
document.addEventListener('visibilitychange', () => {
  if (document.hidden) { standStill(); persist(); }
});
window.addEventListener('blur', standStill);
window.addEventListener('pagehide', persist);
// The stage changes its size with the window, and once the menu bar has its menus: the canvas
// follows, pixel for pixel, or the browser would stretch it out of focus.
new ResizeObserver(() => {
  layout();
  if (!blocked()) call('cavewing_repaint');
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
  for (const name of Module.FS.readdir(dataFolder)) {
    const path = `${dataFolder}/${name}`;
    if (name === '.' || name === '..' || !Module.FS.isFile(Module.FS.stat(path).mode)) continue;
    const err = keepFile(name);
    if (err) console.warn(`cavewing: could not keep ${name} in the browser: ${err}`);
  }
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
// whenever the game's File menu is (in flight).
const pageFiles = [
  ['Download Cavewing.txt', () => download('Cavewing.txt')],
  ['Load a table...', () => choose('.txt', loadTable)],
  ['-'],
  ['Download last game', () => download('last-game')],
  ['Download best game', () => download('best-game')],
  ['Open a recording...', () => choose('', openRecording)],
  ['-'],
  ['Settings...', openSettings],
];
function addPageMenu() {
  host.addMenu('page:files', 'Fi&les', '', 0);
  const menu = page.menus.get('page:files');
  menu.follows = N.filesMenu;
  host.menuEnabled('page:files', page.menus.get(N.filesMenu).enabled);
  pageFiles.forEach(([caption, action], i) => {
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

// ---- Time: every animation frame brings the game up to the frame's time on its grid, and paints
// the frame if its picture changed. The frame's time is the browser's for it (when the display
// shows it), not when the callback happens to run: frames then follow the display's beat evenly.

function frame(timestamp) {
  requestAnimationFrame(frame);
  if (blocked()) return;
  const begun = performance.now();
  call('cavewing_frame', timestamp * 1000);
  // ?bench keeps what each frame cost, the tick and the drawing together.
  if (page.frameMs) page.frameMs.push(performance.now() - begun);
  if (page.phase !== call('cavewing_phase')) persist();
}

// The page's address as the program's command line: ?seed=N, ?wide, ?demo. Each value is a word
// of its own, handed over whole: the program refuses one it cannot take, and says why.
function commandLine() {
  const words = [];
  if (settings.has('seed')) words.push('--seed', settings.get('seed'));
  if (settings.has('wide')) words.push('--wide');
  if (settings.has('demo')) words.push('--demo');
  const recording = sessionStorage.getItem(store + 'replay');
  if (settings.has('replay') && recording !== null) {
    Module.FS.writeFile('/replay', recording);
    words.push('--replay', '/replay');
  }
  return words;
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
  firstFrameMs: () => page.firstFrameMs,
  frameMs: () => page.frameMs,
};

var Module = {
  cavewing: Object.assign({}, painter, host),
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

function open() {
  document.getElementById('loading').hidden = true;
  takeNumbers();
  restore();
  let name;
  try {
    Module.cavewing.words = commandLine();
    name = checkedPlayerName();
  } catch (why) {
    host.ended(String(why));
    return;
  }
  page.ready = true;
  // A box at start-up (a damaged table, say) keeps the game waiting in it: a promise then.
  Promise.resolve(Module.ccall('cavewing_open', 'number', ['string'], [name])).then((status) => {
    if (status !== -1) return;
    addPageMenu();
    page.phase = call('cavewing_phase');
    returnKeyboard();
    requestAnimationFrame(frame);
  });
}
