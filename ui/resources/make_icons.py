#!/usr/bin/env python3
"""Draws the window icons: a pale green hexagonal cell with a dark border and
two stomata (an orange and a red square). Writes icon_107.png (32 x 32) and
icon_108.png (16 x 16) beside this script. Standard library only."""
import os
import struct
import zlib

GREEN = (96, 160, 72)
PALE = (200, 232, 176)
DARK = (32, 64, 32)
ORANGE = (240, 160, 32)
RED = (200, 32, 32)
CLEAR = None


def inside_hexagon(x, y, size):
    # Flat-topped hexagon filling the square, centred.
    c = (size - 1) / 2.0
    dx, dy = abs(x - c) / (size / 2.0), abs(y - c) / (size / 2.0)
    return dy <= 0.87 and dx <= 1.0 - dy * 0.577


def draw(size):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            if not inside_hexagon(x, y, size):
                row.append(CLEAR)
            elif not all(inside_hexagon(x + a, y + b, size)
                         for a, b in ((1, 0), (-1, 0), (0, 1), (0, -1))):
                row.append(DARK)
            else:
                row.append(PALE if (x + y) % 7 else GREEN)
        pixels.append(row)
    s = max(2, size // 6)
    for (cx, cy, colour) in ((size * 0.35, size * 0.4, ORANGE), (size * 0.62, size * 0.6, RED)):
        for y in range(int(cy - s / 2), int(cy + s / 2)):
            for x in range(int(cx - s / 2), int(cx + s / 2)):
                pixels[y][x] = colour
    return pixels


def png(pixels):
    size = len(pixels)
    raw = b""
    for row in pixels:
        raw += b"\0" + b"".join(
            bytes((0, 0, 0, 0)) if p is None else bytes(p + (255,)) for p in row)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    for name, size in (("icon_107.png", 32), ("icon_108.png", 16)):
        with open(os.path.join(here, name), "wb") as f:
            f.write(png(draw(size)))
