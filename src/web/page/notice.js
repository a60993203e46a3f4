// SPDX-License-Identifier: MIT
// The page's own short word over the field (the browser's storage full, a link copied), until the
// next click.
const noticeLine = document.getElementById('notice');
export function notice(text) {
  noticeLine.textContent = text;
  noticeLine.hidden = false;
}
export function noticeShown() { return noticeLine.hidden ? '' : noticeLine.textContent; }
document.addEventListener('mousedown', () => { noticeLine.hidden = true; });
