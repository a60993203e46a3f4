#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draw Cavewing's pictures from scratch into assets/.

Standard library only: pictures are painted into a small RGBA canvas
and written as PNG with zlib + struct.  Run from anywhere:

    python3 scripts/make-assets.py

Output (all with a transparent background where nothing is drawn):
    heli0.png .. heli4.png   107x27  helicopter facing right, 5 rotor phases
    explosion.png            107x27  fireball with smoke and debris
    icon.png                 256x256 app icon (plus icon-16 .. icon-128)
    cursor.png               32x32   crosshair, hotspot at its centre (16, 16)
"""
import math
import os
import random
import struct
import zlib

OUT_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "assets")
CLEAR = (0, 0, 0, 0)


# --------------------------------------------------------------------------
# A tiny canvas
# --------------------------------------------------------------------------
class Canvas:
    def __init__(self, w, h, fill=CLEAR):
        self.w, self.h = w, h
        self.px = [fill] * (w * h)

    def get(self, x, y):
        if 0 <= x < self.w and 0 <= y < self.h:
            return self.px[y * self.w + x]
        return CLEAR

    def put(self, x, y, c, only_on=None):
        """Paint pixel (x, y); colours with alpha < 255 are blended over."""
        if not (0 <= x < self.w and 0 <= y < self.h):
            return
        i = y * self.w + x
        if only_on is not None and self.px[i] not in only_on:
            return
        self.px[i] = c if len(c) == 3 or c[3] == 255 else blend(self.px[i], c)

    def rect(self, x0, y0, x1, y1, c, only_on=None):
        """Fill the pixels x0..x1, y0..y1 (inclusive)."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c, only_on)

    def poly(self, pts, c, only_on=None):
        """Fill a polygon (even-odd), sampling at pixel centres."""
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(self.h, int(max(ys)) + 1)):
            sy = y + 0.5
            xs = []
            for (x0, y0), (x1, y1) in zip(pts, pts[1:] + pts[:1]):
                if (y0 <= sy < y1) or (y1 <= sy < y0):
                    xs.append(x0 + (sy - y0) * (x1 - x0) / (y1 - y0))
            xs.sort()
            for a, b in zip(xs[::2], xs[1::2]):
                for x in range(max(0, math.ceil(a - 0.5)), min(self.w, math.ceil(b - 0.5))):
                    self.put(x, y, c, only_on)

    def ellipse(self, cx, cy, rx, ry, c, only_on=None):
        n = 48
        self.poly([(cx + rx * math.cos(2 * math.pi * k / n),
                    cy + ry * math.sin(2 * math.pi * k / n)) for k in range(n)], c, only_on)

    def line(self, x0, y0, x1, y1, width, c, only_on=None):
        """A straight stroke of the given width (as a thin quad)."""
        dx, dy = x1 - x0, y1 - y0
        n = math.hypot(dx, dy) or 1.0
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        self.poly([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy),
                   (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)], c, only_on)

    def outline(self, c, diagonal=True):
        """Put colour c on every clear pixel touching a painted one."""
        near = [(1, 0), (-1, 0), (0, 1), (0, -1)]
        if diagonal:
            near += [(1, 1), (1, -1), (-1, 1), (-1, -1)]
        hits = [(x, y) for y in range(self.h) for x in range(self.w)
                if self.get(x, y)[3] == 0
                and any(self.get(x + dx, y + dy)[3] > 0 for dx, dy in near)]
        for x, y in hits:
            self.put(x, y, c)

    def shrink(self, k):
        """Box-filter down by an integer factor (for anti-aliasing)."""
        out = Canvas(self.w // k, self.h // k)
        for y in range(out.h):
            for x in range(out.w):
                r = g = b = a = 0
                for yy in range(y * k, y * k + k):
                    for xx in range(x * k, x * k + k):
                        pr, pg, pb, pa = self.px[yy * self.w + xx]
                        r, g, b, a = r + pr * pa, g + pg * pa, b + pb * pa, a + pa
                if a:
                    out.px[y * out.w + x] = (round(r / a), round(g / a), round(b / a),
                                             round(a / (k * k)))
        return out

    def save(self, name):
        raw = b"".join(b"\0" + bytes(v for p in self.px[y * self.w:(y + 1) * self.w]
                                     for v in p) for y in range(self.h))

        def chunk(tag, data):
            return (struct.pack(">I", len(data)) + tag + data
                    + struct.pack(">I", zlib.crc32(tag + data) & 0xFFFFFFFF))

        png = (b"\x89PNG\r\n\x1a\n"
               + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
               + chunk(b"IDAT", zlib.compress(raw, 9))
               + chunk(b"IEND", b""))
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(png)
        print(f"{name:16} {self.w}x{self.h}  {len(png)} bytes")


def blend(dst, src):
    """Porter-Duff 'over' for straight (non-premultiplied) RGBA."""
    sa, da = src[3] / 255, dst[3] / 255
    a = sa + da * (1 - sa)
    if a == 0:
        return CLEAR
    mix = [round((src[i] * sa + dst[i] * da * (1 - sa)) / a) for i in range(3)]
    return (*mix, round(a * 255))


def sign(v):
    return (v > 0) - (v < 0)


def rgb(r, g, b, a=255):
    return (r, g, b, a)


# --------------------------------------------------------------------------
# Palette
# --------------------------------------------------------------------------
INK = rgb(46, 24, 10)            # dark outline
BODY = rgb(255, 178, 34)         # orange-yellow paint
BODY_HI = rgb(255, 228, 112)
BODY_SH = rgb(212, 118, 20)
STRIPE = rgb(206, 38, 30)
GLASS = rgb(110, 196, 255)
GLASS_HI = rgb(225, 247, 255)
GLASS_SH = rgb(52, 120, 200)
METAL = rgb(186, 190, 200)
METAL_SH = rgb(104, 108, 122)
BLADE_BACK = rgb(150, 154, 168)
BLADE_SIDE = rgb(200, 204, 216)
BLADE_TIP = rgb(255, 70, 50)
BLUR = rgb(210, 215, 230, 45)
TAIL_BLADE = rgb(120, 124, 140)
TAIL_RIM = rgb(200, 206, 224, 120)
TAIL_BLUR = rgb(200, 206, 224, 40)

GREEN = rgb(0, 255, 0)           # the cave walls in the game


# --------------------------------------------------------------------------
# Helicopter, 107 x 27, facing right
# --------------------------------------------------------------------------
HELI_W, HELI_H = 107, 27
ROTOR_X, ROTOR_LEN = 64, 41          # main rotor hub x and blade length
TAIL_X, TAIL_Y, TAIL_R = 10.5, 12.5, 5.2  # tail rotor centre and radius


def heli_body():
    """The fuselage, identical in every frame (no rotors)."""
    c = Canvas(HELI_W, HELI_H)
    paint = (BODY,)
    # tail boom, tapering to the fin
    c.poly([(52, 10.5), (52, 17.5), (14, 14.4), (14, 10.6)], BODY)
    # tail fin, swept back, and the small stabiliser
    c.poly([(3, 3.5), (8.5, 3.5), (18, 11), (18, 14.5), (10, 14.5), (4, 9)], BODY)
    c.poly([(22, 14), (30, 14), (29, 16.5), (21, 16.5)], BODY)
    # cabin: flat belly, rounded nose at the right
    c.poly([(48, 10), (55, 8), (82, 8), (90, 8.8), (96, 11), (100.5, 14.5),
            (101.5, 17.5), (100, 20.5), (95, 22.5), (58, 22.5), (51, 20.5), (47, 17)], BODY)
    # engine cowling on the roof
    c.poly([(53, 8.5), (57, 5), (78, 5), (82, 8.5)], BODY)
    # shading: sunlit top, darker belly
    c.poly([(0, 0), (107, 0), (107, 9.6), (0, 9.6)], BODY_HI, paint)
    c.rect(0, 5, 18, 6, BODY_HI, paint)
    c.rect(0, 11, 52, 11, BODY_HI, paint)
    c.poly([(0, 20.5), (107, 20.5), (107, 27), (0, 27)], BODY_SH, paint)
    c.poly([(0, 13.5), (50, 15.6), (50, 27), (0, 27)], BODY_SH, paint)
    # red stripe: straight along the boom, stepping down onto the cabin
    c.poly([(15, 13), (48, 13), (56, 16), (102, 16), (102, 18), (55, 18), (47, 14), (15, 14)],
           STRIPE, (BODY, BODY_SH, BODY_HI))
    # cockpit glass at the front, with a bright glint
    c.poly([(84, 9.6), (90.5, 9.8), (96, 12), (99.6, 16.2), (84, 16.2)], GLASS)
    c.poly([(84, 13.8), (99, 13.8), (99.8, 16.2), (84, 16.2)], GLASS_SH, (GLASS,))
    c.line(88, 10.6, 92.5, 14.8, 1.2, GLASS_HI, (GLASS, GLASS_SH))
    c.rect(83, 9, 83, 16, INK)                 # window pillar
    # side window of the door
    c.poly([(70, 9.6), (81, 9.6), (81, 16.2), (70, 16.2)], GLASS)
    c.rect(70, 14, 81, 15, GLASS_SH, (GLASS,))
    c.line(72, 10.2, 75.5, 13.8, 1.1, GLASS_HI, (GLASS, GLASS_SH))
    # door seam, handle, engine intake and exhaust
    c.rect(67, 9, 67, 21, BODY_SH, (BODY, BODY_HI))
    c.rect(78, 19, 80, 19, INK)
    c.rect(60, 6, 66, 7, METAL_SH)
    c.rect(49, 6, 53, 8, METAL_SH)
    c.rect(49, 6, 52, 6, METAL)
    # skids on two struts, front curling up
    c.line(62, 22, 60, 25, 1.4, METAL_SH)
    c.line(89, 22, 91, 25, 1.4, METAL_SH)
    c.rect(52, 25, 96, 25, METAL)
    c.rect(97, 24, 98, 24, METAL)
    c.rect(99, 23, 99, 23, METAL)
    c.outline(INK)
    return c


# blade colours (top row, lower row) for the far, sideways and near blade
BLADE_SHADES = {-1: (rgb(132, 136, 150), rgb(92, 96, 110)),
                0: (rgb(205, 208, 220), rgb(150, 154, 168)),
                1: (rgb(245, 246, 252), rgb(184, 188, 200))}


def heli(frame, frames=5):
    """A finished frame: body plus both rotors at phase frame/frames.

    The two-bladed rotor looks the same after half a turn, so five frames
    cover half a revolution and loop seamlessly.  Seen slightly from above,
    the near blade sits lower than the far one; the length of each blade
    shrinks as it swings towards or away from us.
    """
    c = Canvas(HELI_W, HELI_H)
    c.px = list(heli_body().px)
    turn = math.pi * frame / frames
    c.rect(ROTOR_X - 1, 3, ROTOR_X + 1, 4, METAL_SH)      # mast
    c.rect(ROTOR_X - ROTOR_LEN, 1, ROTOR_X + ROTOR_LEN, 2, BLUR)
    blades = [(math.sin(a), ROTOR_X + ROTOR_LEN * math.cos(a))
              for a in (turn, turn + math.pi)]
    for depth, tip in sorted(blades):          # far blade first
        d = round(depth * 1.4) if abs(depth) < 0.7 else sign(depth)
        top, low = BLADE_SHADES[max(-1, min(1, d))]
        y = 1 + d
        t = round(tip)
        x0, x1 = min(ROTOR_X, t), max(ROTOR_X, t)
        c.rect(x0, y, x1, y, top)
        c.rect(x0, y + 1, x1, y + 1, low)
        if x1 - x0 > 5:                        # red tip marker
            tx = x0 if t < ROTOR_X else x1 - 2
            c.rect(tx, y, tx + 2, y + 1, BLADE_TIP)
    c.rect(ROTOR_X - 2, 2, ROTOR_X + 2, 3, METAL_SH)      # hub
    c.rect(ROTOR_X - 1, 2, ROTOR_X + 1, 2, METAL)
    # tail rotor: faint disc and two blades turning in the picture plane
    for y in range(HELI_H):
        for x in range(30):
            r = math.hypot(x + 0.5 - TAIL_X, y + 0.5 - TAIL_Y)
            if r <= TAIL_R:
                c.put(x, y, TAIL_RIM if r > TAIL_R - 1 else TAIL_BLUR)
    a = 2 * turn + 0.3
    dx, dy = TAIL_R * math.cos(a), TAIL_R * math.sin(a)
    c.line(TAIL_X - dx, TAIL_Y - dy, TAIL_X + dx, TAIL_Y + dy, 1.5, TAIL_BLADE)
    c.rect(int(TAIL_X) - 1, int(TAIL_Y), int(TAIL_X), int(TAIL_Y), METAL)
    return c


# --------------------------------------------------------------------------
# Explosion, 107 x 27
# --------------------------------------------------------------------------
FIRE = [rgb(255, 255, 225), rgb(255, 240, 120), rgb(255, 196, 40), rgb(255, 130, 20),
        rgb(232, 64, 16), rgb(160, 30, 12)]          # hottest first


def explosion():
    """Fireball over dark smoke, with debris; fixed seed, so always the same."""
    rnd = random.Random(7)
    c = Canvas(HELI_W, HELI_H)
    cx, cy = 58, 13.5
    # dark smoke billowing behind the fire
    for _ in range(18):
        a = rnd.uniform(0, 2 * math.pi)
        x, y = cx + math.cos(a) * rnd.uniform(20, 36), cy + math.sin(a) * rnd.uniform(4, 9)
        grey = rnd.randint(58, 96)
        c.ellipse(x, y, rnd.uniform(4, 7), rnd.uniform(2.5, 4), rgb(grey, grey - 6, grey - 12, 215))
    # fireball: a big core, lumpy side blobs and flame tongues shooting out;
    # the heat at each pixel is banded into the fire palette (pixel-art look)
    blobs = [(cx, cy, 20, 10)]
    blobs += [(cx + rnd.uniform(-24, 24), cy + rnd.uniform(-5, 5),
               rnd.uniform(7, 11), rnd.uniform(4, 6.5)) for _ in range(8)]
    for k in range(9):
        a = 2 * math.pi * (k + rnd.uniform(-0.3, 0.3)) / 9
        d = rnd.uniform(24, 34)
        blobs.append((cx + math.cos(a) * d, cy + math.sin(a) * d * 0.3,
                      rnd.uniform(4, 6), rnd.uniform(2, 3)))
    for y in range(HELI_H):
        for x in range(HELI_W):
            heat = max(1 - math.hypot((x + .5 - bx) / rx, (y + .5 - by) / ry)
                       for bx, by, rx, ry in blobs)
            heat += rnd.uniform(-0.06, 0.06)
            if heat > 0:
                band = min(len(FIRE) - 1, int((1 - min(heat, 1)) ** 1.2 * len(FIRE)))
                c.put(x, y, FIRE[band])
    # debris: dark shards and glowing sparks flung outwards
    for _ in range(30):
        a = rnd.uniform(0, 2 * math.pi)
        d = rnd.uniform(0.7, 1.0)
        x, y = round(cx + math.cos(a) * 52 * d), round(cy + math.sin(a) * 14 * d)
        if rnd.random() < 0.5:
            c.rect(x, y, x + rnd.randint(0, 2), y + rnd.randint(0, 1), rgb(54, 44, 40))
        else:
            c.put(x, y, FIRE[rnd.randint(0, 2)])
    # a broken rotor blade spinning away and a scrap of orange fuselage
    c.line(6, 3, 18, 6.5, 1.3, BLADE_BACK)
    c.rect(5, 2, 7, 3, BLADE_TIP)
    c.poly([(93, 20), (98, 19), (99, 22), (94, 23)], BODY_SH)
    c.outline(rgb(30, 12, 6, 160), diagonal=False)
    return c


# --------------------------------------------------------------------------
# Icon: the helicopter in a green cave opening on a dark background
# --------------------------------------------------------------------------
NIGHT = rgb(12, 16, 34)
ROCK = rgb(0, 96, 30)

# Cave edges in a 16 x 16 design grid: ceiling and floor, left to right.
CEILING = [(0, 3.0), (2.3, 3.7), (4.6, 2.6), (7.4, 3.6), (10.2, 2.7), (13.0, 3.8), (16, 3.0)]
FLOOR = [(0, 12.9), (2.6, 12.1), (5.2, 13.4), (8.2, 12.3), (11.0, 13.5), (13.6, 12.4), (16, 13.1)]


def icon_big(size, ss=4):
    """Vector-style icon, drawn ss times larger then shrunk for smooth edges."""
    n = size * ss
    u = n / 16.0
    c = Canvas(n, n)

    def P(pts):
        return [(x * u, y * u) for x, y in pts]

    tile = P(rounded_square(0, 0, 16, 16, 2.6))
    c.poly(tile, NIGHT)
    # rock above and below, with a bright green rim along the opening
    rim = 0.7
    for edge, side in ((CEILING, -1), (FLOOR, 1)):
        far = 0 if side < 0 else 16
        c.poly(P(edge + [(16, far), (0, far)]), GREEN)
        c.poly(P([(x, y + side * rim) for x, y in edge] + [(16, far), (0, far)]), ROCK, (GREEN,))
    heli_shape(c, u, small=size < 40)
    # trim everything to the rounded tile
    mask = Canvas(n, n)
    mask.poly(tile, BODY)
    c.px = [p if m[3] else CLEAR for p, m in zip(c.px, mask.px)]
    return c.shrink(ss)


def rounded_square(x0, y0, x1, y1, r, steps=8):
    pts = []
    for cx, cy, a0 in ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
                       (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180)):
        for k in range(steps + 1):
            a = math.radians(a0 + 90 * k / steps)
            pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def heli_shape(c, u, small=False):
    """The helicopter in 16-unit design space: first fattened in ink, then in colour.

    Small icons skip the ink and the fine details, and get thicker rods.
    """
    t = 1.5 if small else 1.0

    def P(pts):
        return [(x * u, y * u) for x, y in pts]

    def oval(cx, cy, rx, ry, col, only_on=None):
        c.ellipse(cx * u, cy * u, rx * u, ry * u, col, only_on)

    def stroke(x0, y0, x1, y1, w, col, only_on=None):
        c.line(x0 * u, y0 * u, x1 * u, y1 * u, w * u, col, only_on)

    passes = ((0, BODY, METAL),) if small else ((0.3, INK, INK), (0, BODY, METAL))
    for g, body, metal in passes:
        stroke(7.4, 10.6, 6.9, 12.0, 0.4 * t + 2 * g, metal)      # skid struts
        stroke(11.6, 10.6, 12.1, 12.0, 0.4 * t + 2 * g, metal)
        stroke(5.6, 12.0, 13.4, 12.0, 0.45 * t + 2 * g, metal)     # skid
        stroke(13.3, 12.0, 14.0, 11.3, 0.45 * t + 2 * g, metal)
        c.poly(P([(6.5, 6.9 - g), (6.5, 10.0 + g), (2.4, 8.6 + g), (2.4, 7.4 - g)]), body)  # boom
        c.poly(P([(0.9 - g, 4.7 - g), (2.1 + g, 4.7 - g), (3.6 + g, 7.6), (3.6 + g, 8.8 + g),
                  (1.7 - g, 8.8 + g), (1.1 - g, 7.0)]), body)       # fin
        c.poly(P([(4.0 - g, 8.6), (5.6 + g, 8.6), (5.4 + g, 9.6 + g), (3.8 - g, 9.6 + g)]), body)
        oval(10.4, 8.6, 4.5 + g, 2.5 + g, body)                     # cabin
        c.poly(P([(7.6 - g, 6.6), (8.6 - g, 5.5 - g), (11.4 + g, 5.5 - g), (12.4 + g, 6.6)]), body)
        stroke(10.0, 4.4, 10.0, 5.8, 0.5 * t + 2 * g, metal)        # mast
        stroke(2.9, 4.4, 15.3, 4.4, 0.5 * t + 2 * g, metal)         # main rotor
    # shading, livery and glass
    c.poly(P([(0, 0), (16, 0), (16, 6.9), (0, 6.4)]), BODY_HI, (BODY,))
    oval(10.4, 11.3, 5.2, 2.0, BODY_SH, (BODY,))
    c.poly(P([(2.4, 8.0), (6.5, 8.6), (16, 8.9), (16, 9.5), (6.5, 9.3), (2.4, 8.5)]), STRIPE,
           (BODY, BODY_HI, BODY_SH))
    oval(13.0, 7.6, 2.1, 1.35, GLASS, (BODY, BODY_HI))              # cockpit
    oval(13.0, 8.5, 2.3, 0.8, GLASS_SH, (GLASS,))
    stroke(11.9, 6.9, 12.7, 7.7, 0.3, GLASS_HI, (GLASS,))
    if not small:
        c.poly(P([(8.2, 6.8), (10.6, 6.8), (10.6, 8.2), (8.2, 8.2)]), GLASS, (BODY, BODY_HI))
        stroke(8.6, 7.0, 9.2, 7.6, 0.25, GLASS_HI, (GLASS,))
    stroke(2.9, 4.4, 3.9, 4.4, 0.5 * t, BLADE_TIP)
    stroke(14.3, 4.4, 15.3, 4.4, 0.5 * t, BLADE_TIP)
    # tail rotor: translucent disc with one blade across it
    oval(1.9, 6.0, 1.5, 1.5, rgb(220, 224, 236, 90))
    stroke(0.9, 7.0, 2.9, 5.0, 0.35, TAIL_BLADE)
    oval(1.9, 6.0, 0.3, 0.3, METAL)


def icon_pixels(rows, legend):
    """A hand-drawn small icon from a character grid."""
    c = Canvas(len(rows[0]), len(rows))
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            c.put(x, y, legend[ch])
    return c


ICON_LEGEND = {".": CLEAR, " ": NIGHT, "G": GREEN, "d": ROCK, "o": BODY, "h": BODY_HI,
               "s": BODY_SH, "b": GLASS, "w": BLADE_SIDE, "m": METAL,
               "r": STRIPE, "t": BLADE_TIP}

ICON_16 = [
    ".dddddddddddddd.",
    "dddddddddddddddd",
    "dddGGGGddddGGGGd",
    "GGG    GGGG    G",
    "   twwwwwwwwwwt ",
    " h       m      ",
    " hh    hhhhh    ",
    " ooooooooobbb   ",
    "  o    ooooobb  ",
    "       rrrrrrr  ",
    "        sssss   ",
    "        m   m   ",
    "       mmmmmmm  ",
    "GGGG    GGGG  GG",
    "ddddGGGGddddGGdd",
    ".dddddddddddddd.",
]


# --------------------------------------------------------------------------
# Cursor: 32 x 32 crosshair; hotspot is the centre pixel (16, 16)
# --------------------------------------------------------------------------
def cursor():
    """White ring and ticks with a dark rim, so it shows on black and on green."""
    c = Canvas(32, 32)
    cx = cy = 16.5                             # centre of pixel (16, 16)
    white = rgb(255, 255, 255)
    for y in range(32):
        for x in range(32):
            if abs(math.hypot(x + .5 - cx, y + .5 - cy) - 9) < 0.75:
                c.put(x, y, white)
    for d in range(3, 15):                     # four ticks, gap in the middle
        if not 8 <= d <= 10:
            for x, y in ((16 + d, 16), (16 - d, 16), (16, 16 + d), (16, 16 - d)):
                c.put(x, y, white)
    c.put(16, 16, rgb(255, 60, 40))            # red centre dot
    c.outline(rgb(0, 0, 0, 230))
    return c


def main():
    os.makedirs(OUT_DIR, exist_ok=True)
    for f in range(5):
        heli(f).save(f"heli{f}.png")
    explosion().save("explosion.png")
    icon_big(256).save("icon.png")
    for s in (128, 64, 48, 32, 22):
        icon_big(s, 8 if s < 64 else 4).save(f"icon-{s}.png")
    icon_pixels(ICON_16, ICON_LEGEND).save("icon-16.png")
    cursor().save("cursor.png")


if __name__ == "__main__":
    main()
