// SPDX-License-Identifier: MIT
// The page around the game, started: the global `Module` that emscripten's cavewing.js takes (its
// `cavewing` object is what the game calls through EM_JS in src/web/main.cpp), the program fetched
// after the page's first paint, and the sitting opened. The page's other files each hold one
// concern; this one wires them.
// The sounds first: their wake-up on the first click or key comes before the game hears of it.
import {sound} from './sound.js';
import {N, takeNumbers, blocked, call, settings, store} from './game.js';
import {ended, messageBox, say} from './boxes.js';
import {showPhase} from './controls.js';
import {askFrame, frameHooks} from './frames.js';
import {fileHooks, openRecording} from './files.js';
import {standStill} from './held.js';
import {showKeptChecks} from './kept-checks.js';
import './input.js';
import './keys.js';
import {addMenu, menuEnabled} from './menus.js';
import {checkedPlayerName, openSettings} from './name.js';
import {painter, pictures} from './paint.js';
import './probe.js';
import {send, sittingAsked} from './scores.js';
import {playLinkedGame, showShare} from './share.js';
import {openSitting} from './sitting.js';
import {focusStart} from './keyboard.js';
import {startButtonShown, cursor} from './start.js';
import {keep, persist, refresh, restore} from './storage.js';
import {canvas, fieldFaces, layout, setField} from './view.js';

// Pause follows the game's phase, Share the game after every frame and input.
frameHooks.phaseChanged = showPhase;
frameHooks.followed = showShare;
fileHooks.openSettings = openSettings;

// The sounds, for the game to play (through EM_JS, as cavewingSound).
globalThis.cavewingSound = sound;

// The page going away stands flight still, as the desktop does when its window goes away.
document.addEventListener('visibilitychange', () => {
  if (document.hidden) { standStill(); persist(); }
});
window.addEventListener('blur', standStill);
window.addEventListener('pagehide', persist);
// The stage changes its size with the window, and once the menu bar has its menus: the canvas
// follows, pixel for pixel, or the browser would stretch it out of focus.
new ResizeObserver(() => {
  if (layout() && !blocked()) call('cavewing_repaint');
}).observe(canvas.parentElement);

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

// After the page's next paint, or at once for a page nobody sees (a hidden one paints nothing).
function afterPaint() {
  if (document.hidden) return Promise.resolve();
  return new Promise((resolve) => requestAnimationFrame(() => setTimeout(resolve, 0)));
}

globalThis.Module = {
  // What the game calls on the page (src/web/main.cpp's EM_JS), by these names.
  cavewing: {
    ...painter, startButton: startButtonShown, focusStart, cursor, addMenu, menuEnabled,
    messageBox, keep, refresh, send, sittingAsked, say, ended,
    // A game of the score server (the best of its table, a shared link's), played back as an
    // opened recording is.
    replay: openRecording,
  },
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
  showKeptChecks();
  setField(N.field.width, N.field.height);
  await nextTask();
  restore();
  let name;
  try {
    Module.cavewing.options = addressOptions();
    name = checkedPlayerName();
  } catch (why) {
    ended(String(why));
    return;
  }
  await nextTask();
  if (!(await openSitting(name))) return;
  askFrame();
  playLinkedGame();
}
