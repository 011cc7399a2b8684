#!/usr/bin/env python3
"""Draws the programs' icon, a keyboard key with a "T" on it, at 16, 32 and
48 pixels, and writes it as one .ico file (32-bit images with alpha and
their AND masks). Run once; the .ico it writes is kept in the repository:

    python3 scripts/make-icon.py app/win32/resources/tastora.ico
"""

import struct
import sys

SIZES = (16, 32, 48)

# Colours as (red, green, blue, alpha).
CLEAR = (0, 0, 0, 0)
RIM = (40, 44, 52, 255)          # the key's outline
SIDE = (120, 128, 140, 255)      # the key's sides, seen from above
TOP = (236, 239, 243, 255)       # the face a finger presses
GLYPH = (28, 86, 170, 255)       # the letter


def inside_rounded(x, y, left, top, right, bottom, radius):
    """Whether the pixel centre (x + .5, y + .5) lies in the rounded rectangle."""
    cx, cy = x + 0.5, y + 0.5
    if not (left <= cx <= right and top <= cy <= bottom):
        return False
    # Distance to the nearest corner centre when in a corner square.
    nx = min(max(cx, left + radius), right - radius)
    ny = min(max(cy, top + radius), bottom - radius)
    return (cx - nx) ** 2 + (cy - ny) ** 2 <= radius ** 2


def draw(size):
    s = size / 16.0
    pixels = [[CLEAR] * size for _ in range(size)]
    outer = (0.5 * s, 1.0 * s, size - 0.5 * s, size - 0.5 * s, 2.5 * s)
    body = (1.5 * s, 2.0 * s, size - 1.5 * s, size - 1.5 * s, 1.8 * s)
    face = (2.8 * s, 2.6 * s, size - 2.8 * s, size - 4.2 * s, 1.4 * s)
    for y in range(size):
        for x in range(size):
            if inside_rounded(x, y, *face):
                pixels[y][x] = TOP
            elif inside_rounded(x, y, *body):
                pixels[y][x] = SIDE
            elif inside_rounded(x, y, *outer):
                pixels[y][x] = RIM
    # A "T" on the face: a bar and a stem, at least one pixel wide.
    stroke = max(1, round(1.6 * s))
    bar_top = round(4.4 * s)
    bar_left, bar_right = round(5.0 * s), size - round(5.0 * s)
    stem_left = size // 2 - stroke // 2
    stem_bottom = round(10.6 * s)
    for y in range(bar_top, bar_top + stroke):
        for x in range(bar_left, bar_right):
            pixels[y][x] = GLYPH
    for y in range(bar_top, stem_bottom):
        for x in range(stem_left, stem_left + stroke):
            pixels[y][x] = GLYPH
    return pixels


def dib(pixels):
    """A BITMAPINFOHEADER image as an .ico holds it: twice the height (XOR
    image and AND mask), rows bottom up."""
    size = len(pixels)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row_bytes)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(colour) + bytes(mask)


def icon(images):
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    data = b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset + len(data))
        data += image
    return directory + entries + data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-icon.py OUT.ico")
    with open(sys.argv[1], "wb") as out:
        out.write(icon([(size, dib(draw(size))) for size in SIZES]))


if __name__ == "__main__":
    main()
