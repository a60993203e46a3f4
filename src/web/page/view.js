// SPDX-License-Identifier: MIT
// Where the field lies: letterboxed in the stage, at the screen's own pixels; twips to device
// pixels and back, and the desktop's fonts as the page has them.
import {TwipsPerPixel} from './game.js';

export const canvas = document.getElementById('field');
// The field's size in twips, once the game says it; how it is drawn in the stage.
export const view = {field: null, dpr: 1, scale: 1, dx: 0, dy: 0};

// The field's size, as the game's numbers give it at first and the game says it after.
export function setField(width, height) { view.field = {width, height}; }
export function placeField(width, height) {
  setField(width, height);
  layout();
}

// Returns whether the field moved or the canvas was cleared: the frame must be painted again.
export function layout() {
  if (!view.field) return false;
  const stage = canvas.parentElement.getBoundingClientRect();
  const dpr = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(stage.width * dpr));
  const height = Math.max(1, Math.round(stage.height * dpr));
  const w = view.field.width / TwipsPerPixel, h = view.field.height / TwipsPerPixel;
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
export function deviceX(twips) { return Math.round((view.dx + cssPx(twips)) * view.dpr); }
export function deviceY(twips) { return Math.round((view.dy + cssPx(twips)) * view.dpr); }
// Twips to CSS pixels of the stage.
export function cssPx(twips) { return twips / TwipsPerPixel * view.scale; }

export function toTwips(event) {
  const r = canvas.getBoundingClientRect();
  return [(event.clientX - r.left - view.dx) / view.scale * TwipsPerPixel,
          (event.clientY - r.top - view.dy) / view.scale * TwipsPerPixel];
}

// Where the field is drawn, in CSS pixels of the window.
export function fieldRect() {
  const stage = canvas.getBoundingClientRect();
  return {left: stage.left + view.dx, top: stage.top + view.dy,
          width: cssPx(view.field.width), height: cssPx(view.field.height)};
}

// The desktop's fonts, as fontconfig finds them on Debian: the same files, shipped with the page.
const fontFamilies = {
  'Arial': '"Liberation Sans"',
  'Verdana': '"DejaVu Sans"',
  'Comic Sans MS': '"Comic Neue"',
};
// The faces the form's labels use: Arial regular and bold, Verdana, bold Comic Sans MS.
export const fieldFaces = ['12px "Liberation Sans"', 'bold 12px "Liberation Sans"',
                           '12px "DejaVu Sans"', 'bold 12px "Comic Neue"'];

// A CSS font and its size in logical pixels, for a face of so many points (96 dots an inch).
export function fontOf(name, points, bold) {
  return fontOfPx(name, Math.round(points * 20 / TwipsPerPixel), bold);
}
export function fontOfPx(name, px, bold) {
  return [`${bold ? 'bold ' : ''}${px}px ${fontFamilies[name] || `"${name}"`}, sans-serif`, px];
}
