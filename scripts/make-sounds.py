#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Makes the desktop's sounds at build time, from nothing but arithmetic: 16-bit mono WAVs in the
# folder given. The loops (rotor, climb) are whole numbers of their own periods long, so that they
# repeat without a click. The page makes the same sounds with Web Audio (src/web/page/sound.js).
import math
import random
import struct
import sys
import wave

RATE = 22050


def write(folder, name, samples):
    with wave.open(f"{folder}/{name}.wav", "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(
            struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples))


def noise(seed):
    rng = random.Random(seed)
    return lambda: rng.uniform(-1.0, 1.0)


def rotor():
    # Blade beats at 16 a second over low, filtered noise: four beats, a quarter second.
    n, draw, low = RATE // 4, noise(1), 0.0
    samples = []
    for i in range(n):
        low += 0.08 * (draw() - low)
        beat = (i * 16 / RATE) % 1.0
        samples.append(0.9 * low * (0.25 + 0.75 * math.exp(-beat * 6)))
    return samples


def climb():
    # The engine strains: a buzz at 110 Hz with its fifth, a tenth of a second (whole periods).
    n = RATE // 10
    return [0.22 * (math.sin(2 * math.pi * 110 * i / RATE) +
                    0.5 * math.sin(2 * math.pi * 165 * i / RATE) +
                    0.3 * ((i * 220 / RATE) % 1.0 - 0.5)) for i in range(n)]


def crash():
    # A burst of noise that falls in pitch and dies away over most of a second.
    n, draw, low = int(RATE * 0.9), noise(2), 0.0
    samples = []
    for i in range(n):
        t = i / RATE
        low += (0.5 * math.exp(-t * 3) + 0.02) * (draw() - low)
        samples.append(1.6 * low * math.exp(-t * 4))
    return samples


def tones(notes, length=0.09):
    # Short notes one after the other, each with a soft start and end.
    samples = []
    for frequency in notes:
        n = int(RATE * length)
        for i in range(n):
            envelope = min(1.0, i / 200, (n - i) / 400)
            samples.append(0.4 * envelope * math.sin(2 * math.pi * frequency * i / RATE))
    return samples


SOUNDS = {
    "rotor": rotor,
    "climb": climb,
    "crash": crash,
    "pause": lambda: tones([660, 440]),
    "resume": lambda: tones([440, 660]),
    "highscore": lambda: tones([523, 659, 784, 1047], 0.12),
}

if __name__ == "__main__":
    for name, make in SOUNDS.items():
        write(sys.argv[1], name, make())
