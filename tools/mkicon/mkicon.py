#!/usr/bin/env python3
"""Draws the application icon (a compact disc with a musical note) and writes it as a
Windows .ico file with a 32x32 and a 16x16 image, 16 colours each, with AND masks.

Usage: mkicon.py [OUTPUT.ico]   (default: resources/varnel.ico beside this tool's repo)

Only the standard library is used, and the output is byte-for-byte reproducible, so
the committed icon can always be regenerated and compared.
"""

import math
import os
import struct
import sys

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GRAY, BLUE, MAGENTA, CYAN, WHITE, YELLOW = 0, 4, 7, 8, 12, 13, 14, 15, 11
TRANSPARENT = None

SUBSAMPLES = 4  # per axis: each pixel takes the colour that covers most of it


# Geometry is given on a 32-unit canvas; a smaller icon scales it and keeps strokes at
# least one pixel wide.
DISC_CX, DISC_CY, DISC_R = 14.0, 14.0, 14.0


def disc_colour(x, y, unit):
    """Colour of the disc at canvas point (x, y); unit is one pixel in canvas units."""
    r = math.hypot(x - DISC_CX, y - DISC_CY)
    hole = max(2.6, 1.5 * unit)
    if r > DISC_R or r < hole:
        return TRANSPARENT
    if r > DISC_R - unit or r < hole + unit:
        return GRAY  # outer rim and the edge of the hole
    if r < hole + unit + max(1.8, unit):
        return WHITE  # the clear hub
    if r < hole + 2 * unit + max(1.8, unit):
        return SILVER if unit > 1 else GRAY
    # Light caught by the grooves: two opposite fans of colour across the silver.
    angle = math.degrees(math.atan2(DISC_CY - y, x - DISC_CX)) % 180.0
    for upper, colour in ((32.0, SILVER), (40.0, CYAN), (54.0, WHITE), (61.0, MAGENTA), (66.0, YELLOW)):
        if angle < upper:
            return colour
    return SILVER


def note_colour(x, y, unit):
    """Colour of the eighth note at canvas point (x, y), or None where there is none."""
    hx, hy = 19.5, 26.0
    c, s = math.cos(math.radians(-25)), math.sin(math.radians(-25))
    u = (x - hx) * c - (y - hy) * s
    v = (x - hx) * s + (y - hy) * c
    if (u / 4.4) ** 2 + (v / 3.1) ** 2 <= 1.0:
        return NAVY
    stem_left, stem_right, top = 21.8, 24.0, 6.0
    if stem_left <= x <= stem_right and top <= y <= hy:
        return NAVY
    # The flag sweeps down and to the right from the top of the stem, thinning out.
    fx = x - stem_right
    length = 6.5 if unit <= 1 else 5.0
    if 0.0 <= fx <= length:
        t = fx / length
        upper = top + 11.0 * t ** 1.4
        if upper <= y <= upper + max(5.0 - 3.0 * t, 2.0 * unit):
            return NAVY
    return None


def pixel(px, py, size):
    unit = 32.0 / size
    counts = {}
    for sy in range(SUBSAMPLES):
        for sx in range(SUBSAMPLES):
            x = (px + (sx + 0.5) / SUBSAMPLES) * unit
            y = (py + (sy + 0.5) / SUBSAMPLES) * unit
            colour = note_colour(x, y, unit)
            if colour is None:
                colour = disc_colour(x, y, unit)
            counts[colour] = counts.get(colour, 0) + 1
    # Most coverage wins; ties go to the lower key so the result never depends on order.
    return max(sorted(counts, key=lambda k: -1 if k is None else k), key=lambda k: counts[k])


def draw(size):
    return [[pixel(x, y, size) for x in range(size)] for y in range(size)]


def dib(image):
    """A 4-bit DIB as an icon holds it: header, palette, XOR rows, AND rows, bottom-up."""
    size = len(image)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor_rows, and_rows = [], []
    for row in reversed(image):
        xor = bytearray(xor_stride)
        mask = bytearray(and_stride)
        for x, colour in enumerate(row):
            index = 0 if colour is TRANSPARENT else colour
            xor[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if colour is TRANSPARENT:
                mask[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor))
        and_rows.append(bytes(mask))
    bits = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(bits), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bits


def ico(images):
    blobs = [dib(image) for image in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for image, blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", len(image), len(image), 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "varnel.ico")
    data = ico([draw(32), draw(16)])
    with open(target, "wb") as f:
        f.write(data)
    print(f"wrote {target} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
