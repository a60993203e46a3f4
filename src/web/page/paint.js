// SPDX-License-Identifier: MIT
// Painting the field: the game calls these for each visible control in its paint order, then the
// page lays its own overlays on top (the ghost's helicopter, the badge or the start screen's note,
// the recorded press's ring, the stand-still band).
import {N, TwipsPerPixel} from './game.js';
import {canvas, view, placeField, deviceX, deviceY, fontOf, fontOfPx} from './view.js';
import {touchScreen} from './touch.js';

const ctx = canvas.getContext('2d');
// The game's pictures, by its numbers of them (0: none).
const pictureNames = ['', 'heli0', 'heli1', 'heli2', 'heli3', 'heli4', 'explosion'];
export const pictures = pictureNames.map((name) => {
  if (!name) return null;
  const img = new Image();
  img.src = `assets/${name}.png`;
  return img;
});

// What the last frame showed, for the page's tests: its texts, and how high each stood.
const drawn = {painted: [], textSizes: [], firstFrameMs: null, ghost: null};
// The page's overlays, as the game last set them.
const overlay = {badge: '', hint: '', replayPress: null, standing: false, note: '', ghost: null};

function colour(rgb) { return '#' + rgb.toString(16).padStart(6, '0'); }

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

export const painter = {
  field: placeField,
  overlays(badge, hint, ring, x, y, standing, note, ghost, ghostLeft, ghostTop, ghostPicture) {
    Object.assign(overlay, {badge, hint, replayPress: ring ? [x, y] : null, standing: !!standing,
                            note, ghost: ghost ? [ghostLeft, ghostTop, ghostPicture] : null});
  },
  begin() {
    drawn.painted = [];
    drawn.textSizes = [];
    drawn.ghost = null;
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    ctx.fillStyle = 'black';
    ctx.fillRect(0, 0, canvas.width, canvas.height);
    ctx.save();
    ctx.beginPath();
    ctx.rect(deviceX(0), deviceY(0), deviceX(view.field.width) - deviceX(0),
             deviceY(view.field.height) - deviceY(0));
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
    if (!img || !img.complete) return false;
    // The picture keeps its own size, as an unstretched image does; pixel art stays crisp.
    ctx.setTransform(1, 0, 0, 1, 0, 0);
    const x0 = deviceX(l), y0 = deviceY(t);
    ctx.drawImage(img, x0, y0, deviceX(l + img.width * TwipsPerPixel) - x0,
                  deviceY(t + img.height * TwipsPerPixel) - y0);
    return true;
  },
  label(l, t, w, h, text, font, size, bold, underline, rgb, align, boxed) {
    drawn.painted.push(text);
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
    drawn.textSizes.push({text, px: px * view.scale, own: false});
    ctx.fillStyle = colour(rgb);
    drawText(text, x, y, width, ['left', 'right', 'center'][align], underline);
  },
  finish() {
    if (overlay.ghost) paintGhost();
    ctx.restore();
    logicalPixels();
    if (overlay.badge || overlay.note || overlay.replayPress) paintBadge();
    if (overlay.standing) paintStandStill();
    // The line that says the page is coming stays until the field stands in its place.
    if (drawn.firstFrameMs === null) {
      drawn.firstFrameMs = performance.now();
      document.getElementById('loading').hidden = true;
    }
  },
};

// Text the kit places: at the top of its box, in its font and colour, no smaller than the page's
// own words may be.
function drawLook(look, text, box, align) {
  drawn.painted.push(text);
  ctx.fillStyle = colour(look.rgb);
  const px = Math.max(fontOf(look.font, look.points, look.bold)[1], LeastOwnTextPx / view.scale);
  ctx.font = fontOfPx(look.font, px, look.bold)[0];
  drawn.textSizes.push({text, px: px * view.scale, own: true});
  drawText(text, box.left, box.top, box.width, align, false);
}

// The ghost's helicopter, seen through, over the cave (and within the field) and under the badge.
function paintGhost() {
  const [left, top, picture] = overlay.ghost;
  ctx.globalAlpha = N.ghost.opacity;
  if (painter.picture(left, top, picture)) drawn.ghost = [...overlay.ghost];
  ctx.globalAlpha = 1;
}

// A badge in the corner (or the start screen's note where it would be), and a ring where the
// recorded player holds a button down.
function paintBadge() {
  if (overlay.badge) drawLook(N.badge, overlay.badge, N.badge.box, 'left');
  if (overlay.note) drawLook(N.startNote, overlay.note, N.startNote.box, 'left');
  if (overlay.hint)
    drawLook(N.badgeHint, touchScreen() ? N.touch.badgeHint : overlay.hint, N.badgeHint.box,
             'left');
  if (!overlay.replayPress) return;
  ctx.strokeStyle = colour(N.ring.rgb);
  ctx.lineWidth = N.ring.pen;
  ctx.beginPath();
  ctx.arc(overlay.replayPress[0] / TwipsPerPixel, overlay.replayPress[1] / TwipsPerPixel,
          N.ring.radius, 0, 2 * Math.PI);
  ctx.stroke();
}

// A dark band across the middle of the field: what happened, and how to go on.
function paintStandStill() {
  const look = N.standStill, at = look.across[view.field.width];
  ctx.fillStyle = `rgba(0,0,0,${look.bandAlpha / 255})`;
  ctx.fillRect(at.band.left, at.band.top, at.band.width, at.band.height);
  drawLook(look.title, look.title.text, at.title, 'center');
  drawLook(look.hint, touchScreen() ? N.touch.standStillHint : look.hint.text, at.hint, 'center');
}

// What the page's tests read of the field.
export const paintProbe = {
  painted: () => drawn.painted,
  textSizes: () => drawn.textSizes,
  firstFrameMs: () => drawn.firstFrameMs,
  badge: () => overlay.badge,
  // Where the last frame drew the ghost's helicopter ([left, top, picture], twips), or null.
  ghostDrawn: () => drawn.ghost,
};
