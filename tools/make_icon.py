#!/usr/bin/env python3
"""Draw the application icon: packaging/icons/zintra-<size>.png and the
multi-size packaging/zintra.ico (16, 32, 48 and 256 pixels).

The icon is a 2 x 2 repeat of one tile whose corner discs meet across the
seams, with brackets marking one tile, on a rounded square. It is drawn
from shapes at every size (supersampled), not scaled from one bitmap, so
the small sizes stay sharp. Standard library only; running it twice gives
identical files.

Usage: python3 tools/make_icon.py
"""

import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PNG_SIZES = (16, 32, 48, 64, 128, 256)
ICO_SIZES = (16, 32, 48, 256)

PLATE_TOP = (52, 74, 104)
PLATE_BOTTOM = (26, 36, 54)
SAND = (236, 184, 96)
TEAL = (34, 142, 146)
BRICK = (196, 72, 48)
MARK = (250, 250, 244)


# ---------------------------------------------------------------------------
# Shapes in unit coordinates (0..1 across the icon): each returns whether
# the point is inside.
# ---------------------------------------------------------------------------

def in_rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def layout(size):
    """Proportions that keep at least a pixel for each part when small."""
    small = size < 32
    plate = 0.0 if small else 0.04
    field = 0.10 if small else 0.15
    return {
        "plate": (plate, plate, 1.0 - plate, 1.0 - plate),
        "plate_r": 0.14 if small else 0.17,
        "field": (field, field, 1.0 - field, 1.0 - field),
        "field_r": 0.03 if small else 0.05,
        "tiles": 2,
        "brackets": size >= 48,
        "stripes": size >= 48,
    }


def colour_at(x, y, lay):
    """The colour at (x, y) as RGBA, or None outside the icon."""
    px0, py0, px1, py1 = lay["plate"]
    if not in_rounded_rect(x, y, px0, py0, px1, py1, lay["plate_r"]):
        return None
    t = (y - py0) / (py1 - py0)
    plate = tuple(a + (b - a) * t for a, b in zip(PLATE_TOP, PLATE_BOTTOM))

    fx0, fy0, fx1, fy1 = lay["field"]
    n = lay["tiles"]
    tile = (fx1 - fx0) / n
    c = plate
    if in_rounded_rect(x, y, fx0, fy0, fx1, fy1, lay["field_r"]):
        # Position inside its tile, 0..1: the motif is the same in each.
        u = ((x - fx0) / tile) % 1.0
        v = ((y - fy0) / tile) % 1.0
        # Quarter discs at the tile's corners: whole discs where four meet.
        du = min(u, 1.0 - u)
        dv = min(v, 1.0 - v)
        if du * du + dv * dv <= 0.36 ** 2:
            c = TEAL
        elif (u - 0.5) ** 2 + (v - 0.5) ** 2 <= 0.17 ** 2:
            c = BRICK
        else:
            c = SAND
        # A faint shade on alternate rows of the tile's stripes.
        if lay["stripes"] and c == SAND and int(v * 6) % 2 == 1:
            c = tuple(k * 0.9 for k in SAND)

    if lay["brackets"]:
        # Brackets at the corners of the top-left tile, as the viewer marks
        # the real tile: an L of width w and arm length a at each corner.
        w = 0.035
        a = 0.11
        inset = 0.0
        bx0, by0 = fx0 + inset, fy0 + inset
        bx1, by1 = fx0 + tile - inset, fy0 + tile - inset
        for cx, cy, sx, sy in ((bx0, by0, 1, 1), (bx1, by0, -1, 1),
                               (bx0, by1, 1, -1), (bx1, by1, -1, -1)):
            lx = (x - cx) * sx
            ly = (y - cy) * sy
            # Centred on the tile's edge, so it reads on both sides.
            if (-w / 2 <= ly <= w / 2 and -w / 2 <= lx <= a) or \
               (-w / 2 <= lx <= w / 2 and -w / 2 <= ly <= a):
                c = MARK
    return c


def render(size):
    """RGBA bytes, rows top first, supersampled from the shapes."""
    lay = layout(size)
    ss = 8 if size <= 48 else 4
    out = bytearray()
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0.0
            for sy in range(ss):
                y = (py + (sy + 0.5) / ss) / size
                for sx in range(ss):
                    x = (px + (sx + 0.5) / ss) / size
                    c = colour_at(x, y, lay)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1.0
            if a == 0:
                out += b"\0\0\0\0"
            else:
                # Straight (not premultiplied) alpha, as PNG and ICO hold it.
                out += bytes((round(r / a), round(g / a), round(b / a),
                              round(255 * a / (ss * ss))))
    return bytes(out)


# ---------------------------------------------------------------------------
# Files
# ---------------------------------------------------------------------------

def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def png_bytes(size, rgba):
    """An RGBA PNG; each row takes the filter with the smallest sum."""
    stride = size * 4
    raw = bytearray()
    prev = bytes(stride)
    for y in range(size):
        row = rgba[y * stride:(y + 1) * stride]
        best = None
        for ftype in range(5):
            f = bytearray(stride)
            for i in range(stride):
                a = row[i - 4] if i >= 4 else 0
                b = prev[i]
                c = prev[i - 4] if i >= 4 else 0
                p = (0, a, b, (a + b) >> 1, _paeth(a, b, c))[ftype]
                f[i] = (row[i] - p) & 0xFF
            score = sum(v if v < 128 else 256 - v for v in f)
            if best is None or score < best[0]:
                best = (score, ftype, f)
        raw.append(best[1])
        raw += best[2]
        prev = row

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(
            ">I", zlib.crc32(body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def dib_bytes(size, rgba):
    """A 32-bit icon bitmap: BGRA rows bottom first, then the AND mask,
    which old readers use for transparency."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            i = (y * size + x) * 4
            pixels += bytes((rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if rgba[(y * size + x) * 4 + 3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """images: (size, data) pairs; 256 is stored as PNG, smaller as bitmaps
    (the form every Windows version and resource compiler reads)."""
    head = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    body = b""
    for size, data in images:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        body += data
        offset += len(data)
    return head + entries + body


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), len(data)))


def main():
    packaging = os.path.join(ROOT, "packaging")
    drawn = {}
    for size in sorted(set(PNG_SIZES) | set(ICO_SIZES)):
        drawn[size] = render(size)
    for size in PNG_SIZES:
        write(os.path.join(packaging, "icons", "zintra-%d.png" % size),
              png_bytes(size, drawn[size]))
    ico = []
    for size in ICO_SIZES:
        data = png_bytes(size, drawn[size]) if size >= 256 else dib_bytes(size, drawn[size])
        ico.append((size, data))
    write(os.path.join(packaging, "zintra.ico"), ico_bytes(ico))


if __name__ == "__main__":
    main()
