#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files: vimlet.ico (32x32, 32-bit with
alpha) and tray.ico (16x16, 16 colours). Plain Python, so the build needs nothing else and
the output is the same byte for byte on every run.

Usage: make-icons.py OUTPUT_DIR
"""

import math
import os
import struct
import sys

# The motif: a mouse pointer resting on a keyboard key that carries a V.

# ---------------------------------------------------------------- 32x32, drawn from shapes

ARROW = [(1.5, 1.0), (1.5, 15.5), (4.8, 12.4), (7.1, 17.6), (9.4, 16.6),
         (7.2, 11.4), (11.6, 11.4)]
ARROW_STROKE = 1.3

KEY = (6.5, 8.5, 31.0, 30.5)  # left, top, right, bottom of the whole key
KEY_TOP = (9.0, 10.0, 28.5, 26.0)  # the face the finger presses
V_LINE = [(13.8, 13.8), (18.75, 22.2), (23.7, 13.8)]
V_STROKE = 2.4

OUTLINE = (40, 48, 64, 255)
KEY_SIDE = (150, 164, 186, 255)
KEY_FACE = (236, 241, 248, 255)
LETTER = (30, 90, 200, 255)
POINTER_EDGE = (0, 0, 0, 255)
POINTER_FILL = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


def inside_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def segment_distance(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy)


def edge_distance(x, y, points, closed=True):
    pairs = list(zip(points, points[1:]))
    if closed:
        pairs.append((points[-1], points[0]))
    return min(segment_distance(x, y, a, b) for a, b in pairs)


def inside_rounded(x, y, rect, radius):
    left, top, right, bottom = rect
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return math.hypot(x - cx, y - cy) <= radius


def inset(rect, amount):
    left, top, right, bottom = rect
    return (left + amount, top + amount, right - amount, bottom - amount)


def colour_at(x, y):
    """The colour of the topmost shape under the point (x, y), in pixel units."""
    if inside_polygon(x, y, ARROW):
        inner = edge_distance(x, y, ARROW) > ARROW_STROKE / 2
        return POINTER_FILL if inner else POINTER_EDGE
    if edge_distance(x, y, ARROW) <= ARROW_STROKE / 2:
        return POINTER_EDGE
    if inside_rounded(x, y, inset(KEY_TOP, 1.0), 2.0):
        if edge_distance(x, y, V_LINE, closed=False) <= V_STROKE / 2:
            return LETTER
        return KEY_FACE
    if inside_rounded(x, y, KEY_TOP, 3.0):
        return OUTLINE if y > KEY_TOP[3] - 1.0 else KEY_SIDE
    if inside_rounded(x, y, inset(KEY, 1.2), 3.0):
        return KEY_SIDE
    if inside_rounded(x, y, KEY, 4.0):
        return OUTLINE
    return CLEAR


def draw_large(size=32, samples=4):
    """Rows of (r, g, b, a), top row first, anti-aliased by supersampling."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0.0, 0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    r, g, b, a = colour_at(px + (sx + 0.5) / samples, py + (sy + 0.5) / samples)
                    total[0] += r * a
                    total[1] += g * a
                    total[2] += b * a
                    total[3] += a
            alpha = total[3] / (samples * samples)
            if total[3] == 0:
                row.append(CLEAR)
            else:
                row.append(tuple(round(c / total[3]) for c in total[:3]) + (round(alpha),))
        rows.append(row)
    return rows


# ---------------------------------------------------------------- 16x16, drawn by hand

# The standard 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
PIXEL_INDEX = {'.': None, 'K': 0, 'N': 4, 'S': 7, 'G': 8, 'B': 12, 'W': 15}

# Two layers, the pointer painted over the key.
SMALL_KEY = [
    "................",
    "................",
    "................",
    "................",
    "....GGGGGGGGGGG.",
    "...GSSSSSSSSSSSG",
    "...GSWWWWWWWWWSG",
    "...GSWWBWWWBWSSG",
    "...GSWWBWWWBWSSG",
    "...GSWWWBWBWWSSG",
    "...GSWWWBWBWWSSG",
    "...GSWWWWBWWWSSG",
    "...GSWWWWWWWWSSG",
    "...GSSSSSSSSSSSG",
    "...GGSSSSSSSSSGG",
    "....GGGGGGGGGGG.",
]
SMALL_POINTER = [
    "K...............",
    "KK..............",
    "KWK.............",
    "KWWK............",
    "KWWWK...........",
    "KWWWWK..........",
    "KWWWWWK.........",
    "KWWKKKK.........",
    "KWK.............",
    "KK..............",
    "K...............",
    "................",
    "................",
    "................",
    "................",
    "................",
]


def draw_small():
    """Rows of palette indices (None: transparent), top row first."""
    for layer in (SMALL_KEY, SMALL_POINTER):
        assert len(layer) == 16 and all(len(row) == 16 for row in layer)
    return [[PIXEL_INDEX[p if p != "." else k] for k, p in zip(key_row, pointer_row)]
            for key_row, pointer_row in zip(SMALL_KEY, SMALL_POINTER)]


# ---------------------------------------------------------------- the .ico format

def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def and_mask(transparent_rows):
    """The 1-bit mask, bottom row first: 1 keeps the screen, 0 paints the image."""
    out = b""
    for row in reversed(transparent_rows):
        bits = bytearray((len(row) + 7) // 8)
        for x, transparent in enumerate(row):
            if transparent:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += padded(bytes(bits))
    return out


def bitmap_header(size, bit_count, image_bytes, colours_used):
    # An icon's height counts the colour image and the mask together.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count, 0, image_bytes,
                       0, 0, colours_used, 0)


def icon_file(size, bit_count, colour_count, image):
    entry = struct.pack("<BBBBHHII", size, size, colour_count, 0, 1, bit_count,
                        len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


def large_icon(rows):
    size = len(rows)
    pixels = b"".join(padded(b"".join(struct.pack("BBBB", b, g, r, a) for r, g, b, a in row))
                      for row in reversed(rows))
    mask = and_mask([[pixel[3] == 0 for pixel in row] for row in rows])
    image = bitmap_header(size, 32, len(pixels) + len(mask), 0) + pixels + mask
    return icon_file(size, 32, 0, image)


def small_icon(rows):
    size = len(rows)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    pixels = b""
    for row in reversed(rows):
        indices = [0 if i is None else i for i in row]
        pixels += padded(bytes((indices[x] << 4) | indices[x + 1] for x in range(0, size, 2)))
    mask = and_mask([[i is None for i in row] for row in rows])
    image = bitmap_header(size, 4, len(pixels) + len(mask), 16) + palette + pixels + mask
    return icon_file(size, 4, 16, image)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for name, data in (("vimlet.ico", large_icon(draw_large())),
                       ("tray.ico", small_icon(draw_small()))):
        with open(os.path.join(out_dir, name), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
