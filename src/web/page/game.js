// SPDX-License-Identifier: MIT
// The page's line to the game (cavewing.js and its .wasm, through the global `Module`): its calls,
// the numbers it gives, the page's address, and whether the game may be spoken to now.

// The page's address as the player's settings: ?seed=, ?name=, ?wide, ?demo, ?replay, ?today,
// ?bench.
export const settings = new URLSearchParams(location.search);
export const store = 'cavewing:';  // the player's files, kept in the browser under this prefix

// The game's numbers (twips per pixel, the field, button codes, shift masks, phases, the
// overlays' looks), as the C++ side gives them once it runs: none is retyped here.
export let N = null;
export let TwipsPerPixel;
export function takeNumbers() {
  N = callForJson('cavewing_numbers');
  TwipsPerPixel = N.twipsPerPixel;
}

// Where the game stands, as the page follows it.
export const session = {
  ready: false,  // the game is open
  modal: false,  // a message box is open: the game waits in its handler
  ended: false,
  phase: -1,
};
export function blocked() { return !session.ready || session.modal || session.ended; }

export function call(name, ...args) { return Module['_' + name](...args); }
export function callWithText(name, text) { return Module.ccall(name, null, ['string'], [text]); }
// The game's answer as JSON text (its result, say).
export function callForJson(name) { return JSON.parse(Module.UTF8ToString(call(name))); }
