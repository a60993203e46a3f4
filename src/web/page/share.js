// SPDX-License-Identifier: MIT
// A score to share: after a crash on the page a score server serves, Share offers the link to the
// game the server took, through the browser's own sharing where it has it, else copied. A link to
// a game (`#game=ID`) opened on the page plays that game back.
import {N, session, call} from './game.js';
import {say} from './boxes.js';
import {pageControl} from './controls.js';
import {notice} from './notice.js';
import {servedByScoreServer} from './scores.js';

const shareButton = document.getElementById('share');

// The server's ID of the game the list is up for, once it has taken it; none in flight, in a
// replay, or offline.
function sharedGame() {
  if (!servedByScoreServer || session.phase !== N.phases.crashed) return '';
  return Module.UTF8ToString(call('cavewing_shared_game'));
}

// Share is there while the game has a link: the page follows it after every frame and input.
export function showShare() {
  shareButton.hidden = !sharedGame();
}

shareButton.addEventListener('click', async () => {
  const id = sharedGame();
  if (!id) return;
  const url = `${location.origin}${location.pathname}#game=${id}`;
  if (navigator.share) {
    // The player may close the browser's sheet without sharing: nothing to say then.
    await navigator.share({url}).catch(() => {});
    return;
  }
  try {
    await navigator.clipboard.writeText(url);
    notice('Link copied.');
  } catch (err) {
    // No clipboard here (an address that is not https, say): the player copies it by hand.
    notice(`Copy this link: ${url}`);
  }
});
pageControl(shareButton);

// The game a link names, played back once the game is open, or why it cannot be.
export function playLinkedGame() {
  const id = new URLSearchParams(location.hash.slice(1)).get('game');
  if (id === null) return;
  if (!servedByScoreServer) say('A shared game plays only on the page of its score server.');
  else Module.ccall('cavewing_play_game', null, ['string'], [id]);
}
window.addEventListener('hashchange', () => {
  if (session.ready && !session.modal) playLinkedGame();
});
