#!/usr/bin/env python3
"""Draws the self-extractor's built-in banner (resource 107) as banner.png.

A calm blue-to-teal gradient with a soft wave along the bottom and three
staggered sheet outlines (files) at the right; no text, so one image serves every
language. The wizard pages' client area is 331 dialog units wide, 414
pixels in the dialog font, so a 374 x 60 banner sits 20 pixels from
either edge. The output is deterministic: running the
script again rewrites the same bytes.

Usage: make_banner.py [output.png]   (default: banner.png beside this script)
"""
import math
import os
import struct
import sys
import zlib

WIDTH = 374
HEIGHT = 60


def mix(a, b, t):
    """Linear blend of two RGB tuples, t in 0..1."""
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def smooth(edge0, edge1, x):
    """Smoothstep: 0 below edge0, 1 above edge1, a soft ramp between."""
    t = min(1.0, max(0.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3.0 - 2.0 * t)


def rounded_box_distance(x, y, left, top, w, h, r):
    """Signed distance from (x, y) to the outline of a rounded rectangle."""
    cx, cy = left + w / 2.0, top + h / 2.0
    qx = abs(x - cx) - (w / 2.0 - r)
    qy = abs(y - cy) - (h / 2.0 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def pixel(x, y):
    """The colour of one pixel as an RGB tuple of floats 0..255."""
    left, right = (31, 78, 121), (42, 157, 143)
    colour = mix(left, right, x / (WIDTH - 1))
    # A little lighter towards the top.
    colour = mix(colour, (255, 255, 255), 0.12 * (1.0 - y / (HEIGHT - 1)))
    # A soft wave band along the bottom.
    wave = HEIGHT * 0.72 + 5.0 * math.sin(x / WIDTH * 2.0 * math.pi * 1.5)
    colour = mix(colour, (255, 255, 255), 0.10 * smooth(wave - 1.0, wave + 1.0, y))
    # Three staggered sheets, drawn as thin anti-aliased rounded outlines.
    for left_x, top_y, alpha in ((WIDTH - 96, 10, 0.30), (WIDTH - 84, 16, 0.45), (WIDTH - 72, 22, 0.65)):
        d = abs(rounded_box_distance(x, y, left_x, top_y, 26, 32, 3.0))
        colour = mix(colour, (255, 255, 255), alpha * (1.0 - smooth(0.6, 1.8, d)))
    return colour


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def encode(rows):
    """PNG bytes of 8-bit RGB rows, each row filtered with Sub (type 1)."""
    raw = bytearray()
    for row in rows:
        raw.append(1)
        prev = (0, 0, 0)
        for px in row:
            raw.extend((px[i] - prev[i]) & 0xFF for i in range(3))
            prev = px
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) +
            png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + png_chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "banner.png")
    rows = [[tuple(int(round(c)) for c in pixel(x, y)) for x in range(WIDTH)] for y in range(HEIGHT)]
    with open(out, "wb") as f:
        f.write(encode(rows))


if __name__ == "__main__":
    main()
