#!/usr/bin/env python3
"""Renders the application icon from its SVG drawings: the hicolor PNGs of the desktop
entry, and the Windows icon IDI_APP (16 colours each, with AND masks: 32 and 16 pixels,
the standard and small sizes, and 64, 48 and 24 for them on a screen scaled 1.5 or 2
times), so that both platforms show the same artwork.

Usage: tools/mkicon/mkicon.py      (rewrites data/icons/*/varnel.png and resources/varnel.ico)

Needs rsvg-convert (librsvg2-bin) and convert (imagemagick). The outputs are committed;
run this again after changing data/icons/varnel.svg or data/icons/varnel-16.svg.
"""

import os
import struct
import subprocess
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
ICONS = os.path.join(ROOT, "data", "icons")
SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
ICO_SIZES = [32, 16, 64, 48, 24]

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


# The colours the artwork is reduced to: blends of navy and white must not turn teal.
USED = [0, 4, 7, 8, 11, 13, 14, 15]


def source(size):
    """The drawing for a size: 16 pixels has one of its own, made for the grid."""
    return os.path.join(ICONS, "varnel-16.svg" if size == 16 else "varnel.svg")


def png(size):
    return os.path.join(ICONS, str(size), "varnel.png")


def render():
    for size in SIZES:
        os.makedirs(os.path.dirname(png(size)), exist_ok=True)
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), source(size), "-o", png(size)], check=True)


def indexed(size, palette_file):
    """The rendered image as rows of palette indices, None where it is transparent."""
    colours = subprocess.run(["convert", png(size), "-alpha", "off", "+dither", "-remap", palette_file, "rgb:-"],
                             check=True, capture_output=True).stdout
    alpha = subprocess.run(["convert", png(size), "-alpha", "extract", "gray:-"],
                           check=True, capture_output=True).stdout
    index = {rgb: i for i, rgb in enumerate(PALETTE)}
    pixels = [None if alpha[i] < 128 else index[tuple(colours[3 * i:3 * i + 3])] for i in range(size * size)]
    return [pixels[row * size:(row + 1) * size] for row in range(size)]


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
            xor[x // 2] |= (colour or 0) << (4 if x % 2 == 0 else 0)
            if colour is None:
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
    render()
    with tempfile.NamedTemporaryFile(suffix=".ppm") as palette:
        palette.write(b"P6 %d 1 255\n" % len(USED) + bytes(c for i in USED for c in PALETTE[i]))
        palette.flush()
        data = ico([indexed(size, palette.name) for size in ICO_SIZES])
    target = os.path.join(ROOT, "resources", "varnel.ico")
    with open(target, "wb") as f:
        f.write(data)
    print(f"wrote {len(SIZES)} PNGs under {ICONS} and {target} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
