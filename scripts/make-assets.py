#!/usr/bin/env python3
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

    def paste(self, other, ox, oy, scale=1):
        """Draw another canvas over this one, enlarged by an integer scale."""
        for y in range(other.h * scale):
            for x in range(other.w * scale):
                c = other.get(x // scale, y // scale)
                if c[3]:
                    self.put(ox + x, oy + y, c)

    def shrink(self, k):
        """Box-filter down by an integer factor (for anti-aliasing)."""
        out = Canvas(self.w // k, self.h // k)
        for y in range(out.h):
            for x in range(out.w):
                r = g = b = a = 0
                for yy in range(y * k, y * k + k):
                    for xx in range(x * k, x * k + k):
                        p = self.px[yy * self.w + xx]
                        r += p[0] * p[3]; g += p[1] * p[3]; b += p[2] * p[3]; a += p[3]
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
BLADE_FRONT = rgb(240, 242, 248)
BLADE_BACK = rgb(150, 154, 168)
BLADE_SIDE = rgb(200, 204, 216)
BLADE_TIP = rgb(255, 70, 50)
BLUR = rgb(210, 215, 230, 60)
TAIL_BLADE = rgb(70, 74, 88)
TAIL_BLUR = rgb(60, 64, 80, 70)

GREEN = rgb(0, 255, 0)
GREEN_SH = rgb(0, 150, 30)
GREEN_DK = rgb(0, 80, 24)


# --------------------------------------------------------------------------
# Helicopter, 107 x 27, facing right
# --------------------------------------------------------------------------
HELI_W, HELI_H = 107, 27
ROTOR_X, ROTOR_LEN = 64, 41          # main rotor hub x and blade length
TAIL_X, TAIL_Y, TAIL_R = 9.5, 8.5, 5.6  # tail rotor centre and radius


def heli_body():
    """The fuselage, identical in every frame (no rotors)."""
    c = Canvas(HELI_W, HELI_H)
    paint = (BODY,)
    # tail boom, tapering to the fin
    c.poly([(52, 9.5), (52, 16.5), (14, 13.4), (14, 9.6)], BODY)
    # tail fin, swept back, and the small stabiliser
    c.poly([(3, 2.5), (8.5, 2.5), (18, 10), (18, 13.5), (7, 13.5), (3.5, 9)], BODY)
    c.poly([(22, 13), (30, 13), (29, 15.5), (21, 15.5)], BODY)
    # cabin: flat belly, rounded nose at the right
    c.poly([(48, 9), (55, 7), (82, 7), (90, 7.8), (96, 10), (100.5, 13.5),
            (101.5, 16.5), (100, 19.5), (95, 21.5), (58, 21.5), (51, 19.5), (47, 16)], BODY)
    # engine cowling on the roof
    c.poly([(53, 7.5), (57, 4), (78, 4), (82, 7.5)], BODY)
    # shading: sunlit top, darker belly
    c.poly([(0, 0), (107, 0), (107, 8.6), (0, 8.6)], BODY_HI, paint)
    c.rect(0, 4, 18, 5, BODY_HI, paint)
    c.rect(0, 10, 52, 10, BODY_HI, paint)
    c.poly([(0, 19.5), (107, 19.5), (107, 27), (0, 27)], BODY_SH, paint)
    c.poly([(0, 12.5), (50, 14.6), (50, 27), (0, 27)], BODY_SH, paint)
    # racing stripe along the side
    c.poly([(20, 11.6), (52, 13.5), (98, 16), (101, 16), (101, 17.6), (52, 16.2), (20, 12.6)],
           STRIPE, (BODY, BODY_SH, BODY_HI))
    # cockpit glass at the front, with a bright glint
    c.poly([(84, 8.6), (90.5, 8.8), (96, 11), (99.6, 15.2), (84, 15.2)], GLASS)
    c.poly([(84, 12.8), (99, 12.8), (99.8, 15.2), (84, 15.2)], GLASS_SH, (GLASS,))
    c.line(88, 9.6, 92.5, 13.8, 1.2, GLASS_HI, (GLASS, GLASS_SH))
    c.rect(83, 8, 83, 15, INK)                 # window pillar
    # side window of the door
    c.poly([(70, 8.6), (81, 8.6), (81, 15.2), (70, 15.2)], GLASS)
    c.rect(70, 13, 81, 14, GLASS_SH, (GLASS,))
    c.line(72, 9.2, 75.5, 12.8, 1.1, GLASS_HI, (GLASS, GLASS_SH))
    # door seam, handle, engine intake and exhaust
    c.rect(67, 8, 67, 20, BODY_SH, (BODY, BODY_HI))
    c.rect(78, 17, 80, 17, INK)
    c.rect(60, 5, 66, 6, METAL_SH)
    c.rect(49, 5, 53, 7, METAL_SH)
    c.rect(49, 5, 52, 5, METAL)
    # mast
    c.rect(ROTOR_X - 1, 2, ROTOR_X + 1, 3, METAL_SH)
    # skids on two struts, front curling up
    c.line(62, 21, 60, 24, 1.4, METAL_SH)
    c.line(89, 21, 91, 24, 1.4, METAL_SH)
    c.rect(52, 24, 96, 24, METAL)
    c.rect(97, 23, 98, 23, METAL)
    c.rect(99, 22, 99, 22, METAL)
    c.outline(INK)
    return c


def heli(frame, frames=5):
    """A finished frame: body plus both rotors at phase frame/frames.

    The two-bladed rotor looks the same after half a turn, so five frames
    cover half a revolution and loop seamlessly.
    """
    c = Canvas(HELI_W, HELI_H)
    c.px = list(heli_body().px)
    turn = math.pi * frame / frames
    # main rotor: a faint blur line, then each blade from the hub to its tip;
    # the blade nearer to us sits one row lower, the far one one row higher
    c.rect(ROTOR_X - ROTOR_LEN, 1, ROTOR_X + ROTOR_LEN, 1, BLUR)
    blades = [(math.sin(a), ROTOR_X + ROTOR_LEN * math.cos(a))
              for a in (turn, turn + math.pi)]
    for depth, tip in sorted(blades):          # far blade first
        y = 1 + round(depth)
        colour = BLADE_FRONT if depth > 0.3 else BLADE_BACK if depth < -0.3 else BLADE_SIDE
        t = round(tip)
        c.rect(min(ROTOR_X, t), y, max(ROTOR_X, t), y, colour)
        if abs(t - ROTOR_X) > 5:               # red tip marker
            c.rect(min(t, t - 2 * sign(t - ROTOR_X)), y, max(t, t - 2 * sign(t - ROTOR_X)), y, BLADE_TIP)
    c.rect(ROTOR_X - 2, 1, ROTOR_X + 2, 2, METAL_SH)      # hub
    c.rect(ROTOR_X - 1, 1, ROTOR_X + 1, 1, METAL)
    # tail rotor: faint disc and two blades turning in the picture plane
    c.ellipse(TAIL_X, TAIL_Y, TAIL_R, TAIL_R, TAIL_BLUR)
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
    rnd = random.Random(7)
    c = Canvas(HELI_W, HELI_H)
    cx, cy = 60, 13.5
    # smoke puffs around the fireball
    for _ in range(16):
        a = rnd.uniform(0, 2 * math.pi)
        x, y = cx + math.cos(a) * rnd.uniform(18, 34), cy + math.sin(a) * rnd.uniform(5, 9)
        shade = rnd.randint(60, 105)
        c.ellipse(x, y, rnd.uniform(4, 7), rnd.uniform(2.5, 4), rgb(shade, shade - 6, shade - 12, 200))
    # fireball: several blobs, heat from each, banded into the fire palette
    blobs = [(cx, cy, 22, 11)] + [(cx + rnd.uniform(-26, 26), cy + rnd.uniform(-6, 6),
                                   rnd.uniform(7, 12), rnd.uniform(4, 7)) for _ in range(9)]
    for y in range(HELI_H):
        for x in range(HELI_W):
            heat = max(1 - math.hypot((x + .5 - bx) / rx, (y + .5 - by) / ry)
                       for bx, by, rx, ry in blobs)
            heat += rnd.uniform(-0.08, 0.08)
            if heat > 0:
                band = min(len(FIRE) - 1, int(max(0.0, 1 - heat) ** 1.6 * len(FIRE) * 1.05))
                c.put(x, y, FIRE[band])
    # debris: dark shards and glowing sparks flung outwards
    for _ in range(26):
        a = rnd.uniform(0, 2 * math.pi)
        d = rnd.uniform(0.75, 1.0)
        x, y = round(cx + math.cos(a) * 50 * d), round(cy + math.sin(a) * 13 * d)
        if rnd.random() < 0.5:
            c.rect(x, y, x + rnd.randint(0, 2), y + rnd.randint(0, 1), rgb(54, 44, 40))
        else:
            c.put(x, y, FIRE[rnd.randint(0, 2)])
    # a broken rotor blade and a bit of orange fuselage
    c.line(14, 4, 25, 7, 1.2, BLADE_BACK)
    c.poly([(91, 20), (96, 19), (97, 22), (92, 23)], BODY_SH)
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
               "s": BODY_SH, "k": INK, "b": GLASS, "w": BLADE_SIDE, "m": METAL,
               "r": STRIPE, "t": BLADE_TIP}

ICON_16 = [
    ".dddddddddddddd.",
    "dddddddddddddddd",
    "ddGGGdddGGGddGGd",
    "GG   GGG   GG  G",
    "   twwwwwwwwwwt ",
    " h       m      ",
    " hh    hhhhh    ",
    " ooooooooobbb   ",
    "  o    ooooobb  ",
    "       rrrrrrr  ",
    "        sssss   ",
    "        m   m   ",
    "       mmmmmmm  ",
    "G  GGG   GG   GG",
    "dGGdddGGGddGGGdd",
    ".dddddddddddddd.",
]


# --------------------------------------------------------------------------
# Cursor: 32 x 32 crosshair; hotspot is the centre pixel (16, 16)
# --------------------------------------------------------------------------
def cursor():
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
