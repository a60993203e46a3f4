// SPDX-License-Identifier: MIT
// The page's sounds, made by Web Audio from arithmetic alone, as the desktop's are made at build
// time (scripts/make-sounds.py): no file to fetch. The game says which sound starts and stops
// (cavewing_mute, pageLoop and pagePlay in src/web/main.cpp, through `cavewingSound`); this side
// only plays them. Browsers let a page sound only after the player's first click or key: the
// sounds wait for it. The mute is the page's own setting (Files > Settings...), kept in the
// browser.
import {keptCheck} from './kept-checks.js';

const rate = 22050;
let context = null, output = null;
const buffers = [], loops = [];

// Low noise beaten by the blades 16 times a second, a quarter second that repeats.
function rotor(i, low) {
  low.value += 0.08 * (Math.random() * 2 - 1 - low.value);
  return 0.9 * low.value * (0.25 + 0.75 * Math.exp(-((i * 16 / rate) % 1) * 6));
}
// The engine strains: 110 Hz with its fifth and a buzz.
function climb(i) {
  const t = i / rate;
  return 0.22 * (Math.sin(2 * Math.PI * 110 * t) + 0.5 * Math.sin(2 * Math.PI * 165 * t) +
    0.3 * ((220 * t) % 1 - 0.5));
}
// Noise that falls in pitch and dies away.
function crash(i, low) {
  const t = i / rate;
  low.value += (0.5 * Math.exp(-t * 3) + 0.02) * (Math.random() * 2 - 1 - low.value);
  return 1.6 * low.value * Math.exp(-t * 4);
}
function tones(notes, length) {
  const n = Math.floor(rate * length);
  return (i) => {
    const k = i % n, note = notes[Math.floor(i / n)];
    const envelope = Math.min(1, k / 200, (n - k) / 400);
    return 0.4 * envelope * Math.sin(2 * Math.PI * note * k / rate);
  };
}
// In the game's order: rotor, climb, crash, pause, resume, high score; each its length in s.
const sounds = [
  [rotor, 0.25], [climb, 0.1], [crash, 0.9],
  [tones([660, 440], 0.09), 0.18], [tones([440, 660], 0.09), 0.18],
  [tones([523, 659, 784, 1047], 0.12), 0.48],
];
function buffer(sound) {
  if (!buffers[sound]) {
    const [make, seconds] = sounds[sound];
    const b = context.createBuffer(1, Math.floor(rate * seconds), rate);
    const data = b.getChannelData(0), low = {value: 0};
    for (let i = 0; i < data.length; ++i) data[i] = Math.max(-1, Math.min(1, make(i, low)));
    buffers[sound] = b;
  }
  return buffers[sound];
}
function start(sound, loop) {
  const source = context.createBufferSource();
  source.buffer = buffer(sound);
  source.loop = loop;
  source.connect(output);
  source.start();
  return source;
}

const muted = keptCheck('settings-mute', () => 'cavewing.muted',
                        (on) => globalThis.Module?._cavewing_mute?.(on ? 1 : 0));
// The first click or key lets the page sound; until then nothing is heard, and nothing waits.
function wake() {
  if (context) return;
  context = new AudioContext();
  output = context.createGain();
  output.gain.value = 0.5;
  output.connect(context.destination);
}
for (const type of ['pointerdown', 'keydown']) addEventListener(type, wake, {capture: true});

// What the game plays, by its sounds' numbers.
export const sound = {
  muted,
  loop(which, on) {
    if (loops[which]) loops[which].stop();
    loops[which] = on && context ? start(which, true) : null;
  },
  play(which) {
    if (context) start(which, false);
  },
};
