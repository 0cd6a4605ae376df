#!/usr/bin/env python3
"""Draws the product's small skin images (PNG with alpha) into skin/.

The images are ours: plain shapes in the product's palette, drawn at twice
their 96-dpi size so they stay crisp at 200 %. Run it after changing a shape;
its output is kept in the repository beside the skins.
    python3 tools/draw-skin-images.py [SKIN_DIR]
"""
import os
import struct
import sys
import zlib

SUPERSAMPLE = 4


def write_png(path, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def inside_round_rect(x, y, rect, radius):
    left, top, right, bottom = rect
    if x < left or x >= right or y < top or y >= bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def draw(width, height, shapes):
    """shapes: list of (rect, radius, argb); later shapes paint over earlier ones."""
    rows = []
    n = SUPERSAMPLE
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    px, py = x + (sx + 0.5) / n, y + (sy + 0.5) / n
                    colour = None
                    for rect, radius, argb in shapes:
                        if inside_round_rect(px, py, rect, radius):
                            colour = argb
                    if colour is not None:
                        a = (colour >> 24) / 255.0
                        acc[0] += ((colour >> 16) & 255) * a
                        acc[1] += ((colour >> 8) & 255) * a
                        acc[2] += (colour & 255) * a
                        acc[3] += a
            samples = n * n
            alpha = acc[3] / samples
            if alpha > 0:
                row += [round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]), round(alpha * 255)]
            else:
                row += [0, 0, 0, 0]
        rows.append(row)
    return rows


def strength_meter(lit, colour):
    """Three segments of 36 x 6 (96 dpi) with gaps of 4; `lit` of them coloured."""
    scale = 2
    seg, gap, height = 36 * scale, 4 * scale, 6 * scale
    width = 3 * seg + 2 * gap
    shapes = []
    for i in range(3):
        left = i * (seg + gap)
        shapes.append(((left, 0, left + seg, height), height / 2, colour if i < lit else 0xFFE6E8EB))
    return width, height, draw(width, height, shapes)


def main():
    skin = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "skin")
    common = os.path.join(skin, "Common")
    os.makedirs(common, exist_ok=True)
    for name, lit, colour in (("weak", 1, 0xFFE81123), ("mid", 2, 0xFFF59E0B), ("strong", 3, 0xFF2EA043)):
        w, h, rows = strength_meter(lit, colour)
        write_png(os.path.join(common, "pwd_strength_%s.png" % name), w, h, rows)


if __name__ == "__main__":
    main()
