// SPDX-License-Identifier: MIT
// The score server, on the page's side: the game's client asks through here (fetch, to the server
// the page came from) and hears the answers between its handlers; the sitting the server deals.
import {session, call} from './game.js';
import {askFrame} from './frames.js';

// The score server marks the page it serves: only there is a table to ask for a sitting. Any
// other server (`make serve`'s) is never asked: it would only refuse, in the browser's console.
export const servedByScoreServer = document.querySelector('meta[name="cavewing-scores"]') !== null;

// A request of the game's score-server client: to the server the page came from, by fetch;
// no answer in time is an answer of status 0, as no server at all.
export function send(id, path, post, body, timeoutMs) {
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
}

// The server's answers reach the game between its handlers, never while one waits in a box.
const answersWaiting = [];
function answer(id, status, text) {
  if (session.modal) {
    answersWaiting.push([id, status, text]);
    return;
  }
  const bytes = Module.lengthBytesUTF8(text) + 1;
  const at = call('cavewing_alloc', bytes);
  Module.stringToUTF8(text, at, bytes);
  // What the answer changes in the player's files (the games the server has yet to take) the
  // game keeps itself, through keep() (storage.js).
  call('cavewing_answer', id, status, at);
  askFrame();
}
export function answersHeld() { return answersWaiting.length; }
export function answerWaiting() {
  while (answersWaiting.length && !session.modal) answer(...answersWaiting.shift());
}

// Resolves once the score server's answer for a sitting of `name` is in, or at once when there is
// none to ask or the page's address chose the cave itself.
let sittingAnswered = null;
export function askSitting(name) {
  return new Promise((resolve) => {
    sittingAnswered = resolve;
    if (Module.ccall('cavewing_ask_sitting', 'number', ['string', 'number'],
                     [name, servedByScoreServer ? 1 : 0]) === 0)
      resolve();
  });
}
// The server has answered the request for a sitting, or none did: the game opens.
export function sittingAsked() { setTimeout(() => sittingAnswered(), 0); }
