#!/usr/bin/env python3
"""Regenerate the HUD images (data/system) and the sample textures (samples).

Standard library only, fixed seeds: running it twice gives identical files.
Pure magenta (255, 0, 255) is the colour key, so it is the background of the
HUD images and the holes of the perforated sample, and nowhere else.

Usage: python3 tools/make_images.py
"""

import math
import os
import random
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KEY = (255, 0, 255)


# ---------------------------------------------------------------------------
# Image buffer and PNG writer
# ---------------------------------------------------------------------------

class Image:
    def __init__(self, width, height, fill=KEY):
        self.w = width
        self.h = height
        self.px = bytearray(bytes(fill) * (width * height))

    def get(self, x, y):
        i = (y * self.w + x) * 3
        return (self.px[i], self.px[i + 1], self.px[i + 2])

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            i = (y * self.w + x) * 3
            self.px[i] = c[0]
            self.px[i + 1] = c[1]
            self.px[i + 2] = c[2]

    def fill_rect(self, x0, y0, x1, y1, c):
        """Fill the inclusive rectangle."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)


def clamp8(v):
    v = int(round(v))
    return 0 if v < 0 else (255 if v > 255 else v)


def rgb(r, g, b):
    c = (clamp8(r), clamp8(g), clamp8(b))
    # An opaque pixel must never hit the key colour by accident.
    if c == KEY:
        c = (254, 0, 255)
    return c


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _filter_rows(img):
    """Pick the PNG row filter with the smallest absolute sum, for size."""
    stride = img.w * 3
    out = bytearray()
    prev = bytearray(stride)
    for y in range(img.h):
        row = img.px[y * stride:(y + 1) * stride]
        best = None
        for ftype in range(5):
            f = bytearray(stride)
            for i in range(stride):
                a = row[i - 3] if i >= 3 else 0
                b = prev[i]
                c = prev[i - 3] if i >= 3 else 0
                if ftype == 0:
                    p = 0
                elif ftype == 1:
                    p = a
                elif ftype == 2:
                    p = b
                elif ftype == 3:
                    p = (a + b) >> 1
                else:
                    p = _paeth(a, b, c)
                f[i] = (row[i] - p) & 0xFF
            score = sum(v if v < 128 else 256 - v for v in f)
            if best is None or score < best[0]:
                best = (score, ftype, f)
        out.append(best[1])
        out += best[2]
        prev = row
    return bytes(out)


def write_png(img, path):
    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(
            ">I", zlib.crc32(body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", img.w, img.h, 8, 2, 0, 0, 0)
    data = zlib.compress(_filter_rows(img), 9)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", ihdr))
        f.write(chunk(b"IDAT", data))
        f.write(chunk(b"IEND", b""))
    print("wrote %s (%dx%d, %d bytes)" % (
        os.path.relpath(path, ROOT), img.w, img.h, os.path.getsize(path)))


# ---------------------------------------------------------------------------
# Fonts: '#' is ink. Blank side columns are trimmed, so glyphs are
# proportional. Rows past the cap height are descenders.
# ---------------------------------------------------------------------------

FONT_5X7 = {
    "A": ".###./#...#/#...#/#####/#...#/#...#/#...#",
    "B": "####./#...#/#...#/####./#...#/#...#/####.",
    "C": ".###./#...#/#..../#..../#..../#...#/.###.",
    "D": "####./#...#/#...#/#...#/#...#/#...#/####.",
    "E": "#####/#..../#..../####./#..../#..../#####",
    "F": "#####/#..../#..../####./#..../#..../#....",
    "G": ".###./#...#/#..../#.###/#...#/#...#/.####",
    "H": "#...#/#...#/#...#/#####/#...#/#...#/#...#",
    "I": "###/.#./.#./.#./.#./.#./###",
    "J": "..###/...#./...#./...#./...#./#..#./.##..",
    "K": "#...#/#..#./#.#../##.../#.#../#..#./#...#",
    "L": "#..../#..../#..../#..../#..../#..../#####",
    "M": "#...#/##.##/#.#.#/#.#.#/#...#/#...#/#...#",
    "N": "#...#/#...#/##..#/#.#.#/#..##/#...#/#...#",
    "O": ".###./#...#/#...#/#...#/#...#/#...#/.###.",
    "P": "####./#...#/#...#/####./#..../#..../#....",
    "Q": ".###./#...#/#...#/#...#/#.#.#/#..#./.##.#",
    "R": "####./#...#/#...#/####./#.#../#..#./#...#",
    "S": ".####/#..../#..../.###./....#/....#/####.",
    "T": "#####/..#../..#../..#../..#../..#../..#..",
    "U": "#...#/#...#/#...#/#...#/#...#/#...#/.###.",
    "V": "#...#/#...#/#...#/#...#/#...#/.#.#./..#..",
    "W": "#...#/#...#/#...#/#.#.#/#.#.#/#.#.#/.#.#.",
    "X": "#...#/#...#/.#.#./..#../.#.#./#...#/#...#",
    "Y": "#...#/#...#/.#.#./..#../..#../..#../..#..",
    "Z": "#####/....#/...#./..#../.#.../#..../#####",
    "a": "...../...../.###./....#/.####/#...#/.####",
    "b": "#..../#..../####./#...#/#...#/#...#/####.",
    "c": "...../...../.###./#...#/#..../#...#/.###.",
    "d": "....#/....#/.####/#...#/#...#/#...#/.####",
    "e": "...../...../.###./#...#/#####/#..../.###.",
    "f": "..##/.#../###./.#../.#../.#../.#..",
    "g": "...../...../.####/#...#/#...#/#...#/.####/....#/.###.",
    "h": "#..../#..../####./#...#/#...#/#...#/#...#",
    "i": ".#./.../##./.#./.#./.#./###",
    "j": "..#/.../.##/..#/..#/..#/..#/#.#/.#.",
    "k": "#.../#.../#..#/#.#./##../#.#./#..#",
    "l": "##./.#./.#./.#./.#./.#./###",
    "m": "...../...../##.#./#.#.#/#.#.#/#.#.#/#.#.#",
    "n": "...../...../####./#...#/#...#/#...#/#...#",
    "o": "...../...../.###./#...#/#...#/#...#/.###.",
    "p": "...../...../####./#...#/#...#/#...#/####./#..../#....",
    "q": "...../...../.####/#...#/#...#/#...#/.####/....#/....#",
    "r": "...../...../#.##./##..#/#..../#..../#....",
    "s": "...../...../.####/#..../.###./....#/####.",
    "t": ".#../.#../###./.#../.#../.#../..##",
    "u": "...../...../#...#/#...#/#...#/#...#/.####",
    "v": "...../...../#...#/#...#/#...#/.#.#./..#..",
    "w": "...../...../#...#/#...#/#.#.#/#.#.#/.#.#.",
    "x": "...../...../#...#/.#.#./..#../.#.#./#...#",
    "y": "...../...../#...#/#...#/#...#/#...#/.####/....#/.###.",
    "z": "...../...../#####/...#./..#../.#.../#####",
    "0": ".###./#...#/#..##/#.#.#/##..#/#...#/.###.",
    "1": ".#./##./.#./.#./.#./.#./###",
    "2": ".###./#...#/....#/...#./..#../.#.../#####",
    "3": "#####/...#./..#../...#./....#/#...#/.###.",
    "4": "...#./..##./.#.#./#..#./#####/...#./...#.",
    "5": "#####/#..../####./....#/....#/#...#/.###.",
    "6": "..##./.#.../#..../####./#...#/#...#/.###.",
    "7": "#####/....#/...#./..#../.#.../.#.../.#...",
    "8": ".###./#...#/#...#/.###./#...#/#...#/.###.",
    "9": ".###./#...#/#...#/.####/....#/...#./.##..",
    "!": "#/#/#/#/#/./#",
    "\"": "#.#/#.#/#.#/.../.../.../...",
    "#": ".#.#./.#.#./#####/.#.#./#####/.#.#./.#.#.",
    "$": "..#../.####/#.#../.###./..#.#/####./..#..",
    "%": "##..#/##..#/...#./..#../.#.../#..##/#..##",
    "&": ".##../#..#./#.#../.#.../#.#.#/#..#./.##.#",
    "'": "#/#/#/./././.",
    "(": "..#/.#./#../#../#../.#./..#",
    ")": "#../.#./..#/..#/..#/.#./#..",
    "*": "...../..#../#.#.#/.###./#.#.#/..#../.....",
    "+": "...../..#../..#../#####/..#../..#../.....",
    ",": "../../../../../.#/.#/#.",
    "-": "..../..../..../####/..../..../....",
    ".": "./././././#/#",
    "/": "....#/....#/...#./..#../.#.../#..../#....",
    ":": "./././#/././#",
    ";": "../../../.#/../../.#/.#/#.",
    "<": "...#/..#./.#../#.../.#../..#./...#",
    "=": "..../..../####/..../####/..../....",
    ">": "#.../.#../..#./...#/..#./.#../#...",
    "?": ".###./#...#/....#/...#./..#../...../..#..",
    "@": ".###./#...#/#.###/#.#.#/#.###/#..../.####",
    "[": "##/#./#./#./#./#./##",
    "\\": "#..../#..../.#.../..#../...#./....#/....#",
    "]": "##/.#/.#/.#/.#/.#/##",
    "^": "..#../.#.#./#...#/...../...../...../.....",
    "_": "...../...../...../...../...../...../#####",
    "`": "#./.#/../../../../..",
    "{": "..#/.#./.#./#../.#./.#./..#",
    "|": "#/#/#/#/#/#/#",
    "}": "#../.#./.#./..#/.#./.#./#..",
    "~": "...../...../.#.../#.#.#/...#./...../.....",
    "\u00a9": ".#####./#.....#/#.###.#/#.#...#/#.###.#/#.....#/.#####.",
}

# Tiny capitals for the dense HUD panels; the arrows are the four
# triangles shown for the arrow keys.
FONT_3X5 = {
    "A": ".#./#.#/###/#.#/#.#",
    "B": "##./#.#/##./#.#/##.",
    "C": ".##/#../#../#../.##",
    "D": "##./#.#/#.#/#.#/##.",
    "E": "###/#../##./#../###",
    "F": "###/#../##./#../#..",
    "G": ".##/#../#.#/#.#/.##",
    "H": "#.#/#.#/###/#.#/#.#",
    "I": "###/.#./.#./.#./###",
    "J": "..#/..#/..#/#.#/.#.",
    "K": "#.#/#.#/##./#.#/#.#",
    "L": "#../#../#../#../###",
    "M": "#...#/##.##/#.#.#/#...#/#...#",
    "N": "#..#/##.#/#.##/#..#/#..#",
    "O": ".#./#.#/#.#/#.#/.#.",
    "P": "##./#.#/##./#../#..",
    "Q": ".#./#.#/#.#/##./.##",
    "R": "##./#.#/##./#.#/#.#",
    "S": ".##/#../.#./..#/##.",
    "T": "###/.#./.#./.#./.#.",
    "U": "#.#/#.#/#.#/#.#/###",
    "V": "#.#/#.#/#.#/#.#/.#.",
    "W": "#...#/#...#/#.#.#/##.##/#...#",
    "X": "#.#/#.#/.#./#.#/#.#",
    "Y": "#.#/#.#/.#./.#./.#.",
    "Z": "###/..#/.#./#../###",
    "0": "###/#.#/#.#/#.#/###",
    "1": ".#./##./.#./.#./###",
    "2": "##./..#/.#./#../###",
    "3": "##./..#/.#./..#/##.",
    "4": "#.#/#.#/###/..#/..#",
    "5": "###/#../##./..#/##.",
    "6": ".##/#../###/#.#/###",
    "7": "###/..#/.#./.#./.#.",
    "8": "###/#.#/###/#.#/###",
    "9": "###/#.#/###/..#/##.",
    "[": "##/#./#./#./##",
    "]": "##/.#/.#/.#/##",
    "+": ".../.#./###/.#./...",
    "-": ".../.../###/.../...",
    "/": "..#/..#/.#./#../#..",
    ".": "././././#",
    ",": "./././#/#",
    ":": "./#/./#/.",
    "!": "#/#/#/./#",
    "?": "##./..#/.#./.../.#.",
    "(": ".#/#./#./#./.#",
    ")": "#./.#/.#/.#/#.",
    "\u2190": "..#/.##/###/.##/..#",
    "\u2192": "#../##./###/##./#..",
    "\u2191": "...../..#../.###./#####/.....",
    "\u2193": "...../#####/.###./..#../.....",
}


def _compile(font, space):
    """Turn the string art into (width, [rows of bools]) with side trim."""
    out = {}
    for ch, art in font.items():
        rows = art.split("/")
        cols = [i for r in rows for i, c in enumerate(r) if c == "#"]
        lo, hi = (min(cols), max(cols)) if cols else (0, -1)
        out[ch] = (hi - lo + 1, [[c == "#" for c in r[lo:hi + 1]] for r in rows])
    out[" "] = (space, [])
    return out


FONT_SMALL = _compile(FONT_3X5, 2)
FONT_TEXT = _compile(FONT_5X7, 3)


def text_width(font, text, gap=1):
    if not text:
        return 0
    return sum(font[c][0] for c in text) + gap * (len(text) - 1)


def text_mask(font, text, gap=1):
    """Set of (x, y) ink pixels, origin at the top-left of the cap height."""
    ink = set()
    x = 0
    for c in text:
        w, rows = font[c]
        for y, row in enumerate(rows):
            for i, on in enumerate(row):
                if on:
                    ink.add((x + i, y))
        x += w + gap
    return ink


def draw_text(img, x, y, font, text, colour, outline=None, gap=1):
    ink = text_mask(font, text, gap)
    if outline is not None:
        for (px, py) in ink:
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    if (px + dx, py + dy) not in ink:
                        img.set(x + px + dx, y + py + dy, outline)
    for (px, py) in ink:
        img.set(x + px, y + py, colour)


# ---------------------------------------------------------------------------
# HUD images. Sides are powers of two: the loader rescales other sizes
# with filtering, which would blur the tiny text and fringe the key colour.
# ---------------------------------------------------------------------------

TEXT_LIGHT = (236, 234, 222)
TEXT_DARK = (16, 16, 20)
PANEL_FILL = (26, 29, 36)
PANEL_EDGE = (120, 132, 150)
PANEL_RULE = (62, 70, 84)
ACCENT = (255, 206, 84)
GREY = (206, 210, 218)


def rounded_panel(img, radius=3):
    """Dark panel with a light 1-px border; key colour outside the corners."""
    w, h = img.w, img.h
    r = radius

    def inside(x, y, shrink):
        # Distance test against the corner circles of the shrunken box.
        cx = min(max(x, r), w - 1 - r)
        cy = min(max(y, r), h - 1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= (r - shrink + 0.5) ** 2

    for y in range(h):
        for x in range(w):
            if not inside(x, y, 0):
                img.set(x, y, KEY)
            elif not inside(x, y, 1) or x in (0, w - 1) or y in (0, h - 1):
                img.set(x, y, PANEL_EDGE)
            else:
                img.set(x, y, PANEL_FILL)


def make_legal():
    img = Image(128, 32)
    lines = ["\u00a9 2026", "the Zintra developers"]
    y = 4
    for line in lines:
        x = (img.w - text_width(FONT_TEXT, line)) // 2
        draw_text(img, x, y, FONT_TEXT, line, TEXT_LIGHT, TEXT_DARK)
        y += 12
    return img


def make_web():
    img = Image(128, 16)
    line = "www.zintra.example"
    x = (img.w - text_width(FONT_TEXT, line)) // 2
    draw_text(img, x, 3, FONT_TEXT, line, TEXT_LIGHT, TEXT_DARK)
    return img


def make_controls():
    img = Image(64, 64)
    rounded_panel(img)
    title = "KEYS"
    draw_text(img, (img.w - text_width(FONT_SMALL, title)) // 2, 3,
              FONT_SMALL, title, ACCENT)
    for x in range(3, img.w - 3):
        img.set(x, 10, PANEL_RULE)
    rows = [
        ("[", "PREV"),
        ("]", "NEXT"),
        ("\u2190\u2192\u2191\u2193", "MOVE"),
        ("+", "ZOOM IN"),
        ("-", "ZOOM OUT"),
        ("R", "REFRESH"),
        ("ESC/Q", "QUIT"),
    ]
    y = 13
    for key, action in rows:
        draw_text(img, 4, y, FONT_SMALL, key, ACCENT)
        draw_text(img, 26, y, FONT_SMALL, action, GREY)
        y += 7
    return img


def make_mouse():
    img = Image(64, 32)
    rounded_panel(img)
    left = (236, 128, 56)
    middle = (96, 200, 110)
    right = (86, 156, 240)
    body = (150, 156, 168)
    shell = (220, 224, 232)

    # Mouse body: a rounded capsule, buttons across its upper third.
    x0, x1, y0, y1 = 4, 21, 3, 28
    rad = 6.5
    split = 12

    def in_body(x, y, shrink):
        cx = min(max(x, x0 + rad), x1 - rad)
        cy = min(max(y, y0 + rad), y1 - rad)
        return (x - cx) ** 2 + (y - cy) ** 2 <= (rad - shrink + 0.3) ** 2

    mid_x = (x0 + x1) / 2.0
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            if not in_body(x, y, 0):
                continue
            if not in_body(x, y, 1) or y == split:
                img.set(x, y, shell)
            elif y < split:
                if abs(x + 0.5 - (mid_x + 0.5)) < 1.0:
                    img.set(x, y, shell)
                elif x < mid_x:
                    img.set(x, y, left)
                else:
                    img.set(x, y, right)
            else:
                img.set(x, y, body)
    # Wheel in the gap between the buttons.
    wx = int(mid_x)
    img.fill_rect(wx, 5, wx + 1, 10, middle)
    # Letters on the buttons.
    draw_text(img, 7, 6, FONT_SMALL, "L", TEXT_DARK)
    draw_text(img, 16, 6, FONT_SMALL, "R", TEXT_DARK)

    legend = [("L", left, "DRAG"), ("M", middle, "ROTATE"),
              ("R", right, "MENU"), ("\u2191\u2193", middle, "ZOOM")]
    y = 3
    for key, colour, action in legend:
        draw_text(img, 25, y, FONT_SMALL, key, colour)
        draw_text(img, 35, y, FONT_SMALL, action, GREY)
        y += 7
    return img


# ---------------------------------------------------------------------------
# Noise. Lattice noise that wraps when the lattice is sampled with modulo,
# so whole-image periods give seamless tiles.
# ---------------------------------------------------------------------------

def value_noise(w, h, nx, ny, rng, wrap=True):
    gw, gh = (nx, ny) if wrap else (nx + 2, ny + 2)
    grid = [[rng.random() for _ in range(gw)] for _ in range(gh)]

    def axis(size, n, g):
        tab = []
        for i in range(size):
            u = i * n / size
            i0 = int(u)
            f = u - i0
            f = f * f * (3 - 2 * f)
            tab.append((i0 % g, (i0 + 1) % g, f))
        return tab

    xs = axis(w, nx, gw)
    ys = axis(h, ny, gh)
    out = [0.0] * (w * h)
    for y, (y0, y1, fy) in enumerate(ys):
        r0 = grid[y0]
        r1 = grid[y1]
        base = y * w
        for x, (x0, x1, fx) in enumerate(xs):
            a = r0[x0] + (r0[x1] - r0[x0]) * fx
            b = r1[x0] + (r1[x1] - r1[x0]) * fx
            out[base + x] = a + (b - a) * fy
    return out


def fbm(w, h, nx, ny, octaves, seed, gain=0.5, wrap=True, normalise=True):
    rng = random.Random(seed)
    total = [0.0] * (w * h)
    amp = 1.0
    for o in range(octaves):
        layer = value_noise(w, h, nx << o, ny << o, rng, wrap)
        for i, v in enumerate(layer):
            total[i] += v * amp
        amp *= gain
    if normalise:
        lo, hi = min(total), max(total)
        span = hi - lo or 1.0
        total = [(v - lo) / span for v in total]
    return total


def ramp(stops, t):
    """Piecewise-linear colour ramp; stops are (position, (r, g, b))."""
    if t <= stops[0][0]:
        return stops[0][1]
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            f = (t - p0) / (p1 - p0)
            return tuple(c0[k] + (c1[k] - c0[k]) * f for k in range(3))
    return stops[-1][1]


def grain(w, h, seed, amount):
    rng = random.Random(seed)
    return [(rng.random() - 0.5) * amount for _ in range(w * h)]


# ---------------------------------------------------------------------------
# Sample textures
# ---------------------------------------------------------------------------

def make_bricks():
    W = H = 256
    BH, BW, MORTAR = 32, 64, 3
    img = Image(W, H)
    rng = random.Random(1101)
    palette = [(150, 62, 44), (166, 78, 52), (132, 52, 40), (172, 94, 62),
               (142, 70, 50), (118, 50, 40), (158, 86, 66), (98, 44, 36)]
    rows, cols = H // BH, W // BW
    colours = {}
    for r in range(rows):
        for c in range(cols):
            base = rng.choice(palette)
            j = rng.uniform(-10, 10)
            colours[(r, c)] = (base[0] + j, base[1] + j * 0.7, base[2] + j * 0.5)
    blotch = fbm(W, H, 8, 8, 4, 1102)
    fine = fbm(W, H, 32, 32, 3, 1103)
    chips = fbm(W, H, 16, 16, 3, 1104)
    g = grain(W, H, 1105, 14)
    for y in range(H):
        r = y // BH
        ly = y % BH
        shift = (BW // 2) * (r % 2)
        for x in range(W):
            i = y * W + x
            xx = (x + shift) % W
            c = xx // BW
            lx = xx % BW
            # Distance into the brick from its nearest mortar edge.
            d = min(lx - MORTAR, BW - 1 - lx, ly - MORTAR, BH - 1 - ly) + 1
            chipped = d <= 1 and chips[i] > 0.8
            if lx < MORTAR or ly < MORTAR or chipped:
                v = 150 + (fine[i] - 0.5) * 40 + g[i]
                # Shadow under the brick above.
                if ly < MORTAR and ly >= 1:
                    v -= 26 * (MORTAR - ly) / MORTAR
                if chipped:
                    v -= 20
                img.set(x, y, rgb(v * 0.98, v * 0.94, v * 0.86))
                continue
            br, bg, bb = colours[(r, c)]
            shade = 0.82 + 0.34 * blotch[i] + 0.12 * (fine[i] - 0.5)
            if d <= 2:
                shade *= 0.86 + 0.07 * d
            if ly - MORTAR <= 1:
                shade *= 1.10
            n = g[i]
            img.set(x, y, rgb(br * shade + n, bg * shade + n * 0.8,
                              bb * shade + n * 0.7))
    return img


def warp_field(field, w, h, dx, dy, amount):
    """Resample field at offsets from dx/dy (0..1), wrapping, bilinear."""
    out = [0.0] * (w * h)
    for y in range(h):
        for x in range(w):
            i = y * w + x
            u = x + (dx[i] - 0.5) * amount
            v = y + (dy[i] - 0.5) * amount
            x0, y0 = math.floor(u), math.floor(v)
            fx, fy = u - x0, v - y0
            x0 %= w
            y0 %= h
            x1, y1 = (x0 + 1) % w, (y0 + 1) % h
            a = field[y0 * w + x0] + (field[y0 * w + x1] - field[y0 * w + x0]) * fx
            b = field[y1 * w + x0] + (field[y1 * w + x1] - field[y1 * w + x0]) * fx
            out[i] = a + (b - a) * fy
    return out


def make_noise():
    W = H = 256
    img = Image(W, H)
    # Warping hides the square lattice that plain value noise shows.
    a = fbm(W, H, 3, 3, 4, 2201, gain=0.55)
    b = fbm(W, H, 5, 5, 4, 2206, gain=0.55)
    wx = fbm(W, H, 3, 3, 3, 2204)
    wy = fbm(W, H, 3, 3, 3, 2205)
    base = warp_field([(p + q) * 0.5 for p, q in zip(a, b)], W, H, wx, wy, 36)
    # Fine detail after the warp stays crisp.
    fine = fbm(W, H, 32, 32, 3, 2207)
    base = [p * 0.85 + q * 0.15 for p, q in zip(base, fine)]
    lo, hi = min(base), max(base)
    base = [(v - lo) / (hi - lo) for v in base]
    tint = fbm(W, H, 3, 3, 3, 2202)
    g = grain(W, H, 2203, 6)
    stops = [(0.0, (46, 52, 38)), (0.35, (92, 98, 64)), (0.55, (128, 124, 92)),
             (0.75, (164, 156, 128)), (1.0, (210, 204, 182))]
    for i in range(W * H):
        c = ramp(stops, base[i])
        t = (tint[i] - 0.5) * 30
        img.set(i % W, i // W, rgb(c[0] + t * 0.6 + g[i], c[1] + t + g[i],
                                   c[2] - t * 0.4 + g[i]))
    return img


def make_tiles():
    W = H = 128
    T, GROUT = 64, 2
    img = Image(W, H)
    cloud = fbm(W, H, 8, 8, 4, 3301)
    g = grain(W, H, 3302, 8)
    cream = (222, 208, 176)
    terracotta = (176, 92, 62)
    for y in range(H):
        for x in range(W):
            i = y * W + x
            lx, ly = x % T, y % T
            if lx < GROUT or ly < GROUT or lx >= T - GROUT or ly >= T - GROUT:
                v = 92 + (cloud[i] - 0.5) * 20 + g[i]
                img.set(x, y, rgb(v, v * 0.96, v * 0.9))
                continue
            base = cream if ((x // T) + (y // T)) % 2 == 0 else terracotta
            shade = 0.9 + 0.2 * cloud[i]
            # Bevelled rim: lit from the top left.
            e0, e1 = GROUT, T - GROUT - 1
            if lx - e0 < 2 or ly - e0 < 2:
                shade *= 1.12
            elif e1 - lx < 2 or e1 - ly < 2:
                shade *= 0.80
            img.set(x, y, rgb(base[0] * shade + g[i], base[1] * shade + g[i],
                              base[2] * shade + g[i]))
    return img


def make_holes():
    W = H = 256
    PITCH, RAD = 32, 9.0
    img = Image(W, H)
    brushed = fbm(W, H, 2, 64, 3, 4401)
    mottle = fbm(W, H, 4, 4, 3, 4402)
    g = grain(W, H, 4403, 8)
    lx_, ly_ = -0.6, -0.8  # light from the top left
    for y in range(H):
        for x in range(W):
            i = y * W + x
            # Nearest hole centre on the staggered grid, wrapping.
            best = None
            for ry in (y // PITCH - 1, y // PITCH, y // PITCH + 1):
                off = (PITCH // 2) * (ry % 2)
                cy = ry * PITCH + PITCH // 2
                k = (x - off) // PITCH
                for rx in (k - 1, k, k + 1):
                    cx = rx * PITCH + PITCH // 2 + off
                    dx, dy = x + 0.5 - cx, y + 0.5 - cy
                    d = math.hypot(dx, dy)
                    if best is None or d < best[0]:
                        best = (d, dx, dy)
            d, dx, dy = best
            if d < RAD:
                img.set(x, y, KEY)
                continue
            v = 150 + (brushed[i] - 0.5) * 46 + (mottle[i] - 0.5) * 24 + g[i]
            if d < RAD + 2.5:
                # The hole's wall faces away from its centre.
                nx, ny = -dx / d, -dy / d
                v += 70 * (nx * lx_ + ny * ly_)
                v -= 18
            elif d < RAD + 5:
                v += 8 * (RAD + 5 - d) / 2.5
            img.set(x, y, rgb(v * 0.97, v * 0.99, v * 1.04))
    return img


def make_plaid():
    W, H = 300, 200
    img = Image(W, H)
    # One sett of 100 threads; 300 and 200 hold 3 and 2 of them.
    sett = [((30, 58, 44), 14), ((20, 26, 52), 10), ((30, 58, 44), 4),
            ((20, 26, 52), 10), ((176, 40, 36), 3), ((20, 26, 52), 10),
            ((30, 58, 44), 14), ((16, 18, 22), 12), ((214, 182, 84), 2),
            ((16, 18, 22), 12), ((30, 58, 44), 9)]
    assert sum(n for _, n in sett) == 100
    stripe = []
    for colour, n in sett:
        stripe += [colour] * n
    fuzz = fbm(W, H, 10, 10, 3, 5501)
    g = grain(W, H, 5502, 10)
    for y in range(H):
        weft = stripe[y % 100]
        for x in range(W):
            i = y * W + x
            warp = stripe[x % 100]
            # 2/2 twill: diagonal ribs with a period of 4 threads.
            on_top = (x + y) % 4 < 2
            a, b = (warp, weft) if on_top else (weft, warp)
            s = 1.06 if on_top else 0.9
            f = 0.86 + 0.16 * fuzz[i]
            img.set(x, y, rgb((a[0] * 0.8 + b[0] * 0.2) * s * f + g[i] + 8,
                              (a[1] * 0.8 + b[1] * 0.2) * s * f + g[i] + 8,
                              (a[2] * 0.8 + b[2] * 0.2) * s * f + g[i] + 8))
    return img


def make_seam_broken():
    W = H = 256
    img = Image(W, H)
    # Unwrapped noise plus a light gradient: opposite edges disagree.
    strata = fbm(W, H, 3, 3, 5, 6601, wrap=False)
    warp = fbm(W, H, 2, 2, 3, 6602, wrap=False)
    g = grain(W, H, 6603, 8)
    # Cyclic ramp, so band edges stay soft.
    stops = [(0.0, (160, 104, 66)), (0.3, (196, 138, 88)), (0.5, (218, 174, 124)),
             (0.7, (184, 122, 78)), (1.0, (160, 104, 66))]
    for y in range(H):
        for x in range(W):
            i = y * W + x
            band = (y / 22.0 + warp[i] * 5.0 + strata[i] * 1.2) % 1.0
            c = ramp(stops, band)
            light = 0.72 + 0.45 * (1.0 - (x + y) / (2.0 * (W - 1)))
            img.set(x, y, rgb(c[0] * light + g[i], c[1] * light + g[i],
                              c[2] * light + g[i]))
    return img


def main():
    system = os.path.join(ROOT, "data", "system")
    samples = os.path.join(ROOT, "samples")
    write_png(make_legal(), os.path.join(system, "legal.png"))
    write_png(make_web(), os.path.join(system, "web.png"))
    write_png(make_controls(), os.path.join(system, "controls.png"))
    write_png(make_mouse(), os.path.join(system, "mouse.png"))
    write_png(make_bricks(), os.path.join(samples, "bricks_256.png"))
    write_png(make_noise(), os.path.join(samples, "noise_256.png"))
    write_png(make_tiles(), os.path.join(samples, "tiles_128.png"))
    write_png(make_holes(), os.path.join(samples, "holes_256.png"))
    write_png(make_plaid(), os.path.join(samples, "npot_300x200.png"))
    write_png(make_seam_broken(), os.path.join(samples, "seam_broken_256.png"))


if __name__ == "__main__":
    main()
