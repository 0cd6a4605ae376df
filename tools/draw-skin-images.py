#!/usr/bin/env python3
"""Draws the product's small skin images (PNG with alpha) into skin/:
the PIN strength meter (Common/) and the main window's certificate state
icons, key and refresh glyphs (MainFrame/).

The images are ours: plain shapes in the product's palette, drawn at twice
their 96-dpi size so they stay crisp at 200 %. Run it after changing a shape;
its output is kept in the repository beside the skins.
    python3 tools/draw-skin-images.py [SKIN_DIR]
"""
import math
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


def round_rect(rect, radius):
    return lambda x, y: inside_round_rect(x, y, rect, radius)


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def segment(x0, y0, x1, y1, half_width):
    """A stroke with round ends."""
    vx, vy = x1 - x0, y1 - y0
    length2 = vx * vx + vy * vy

    def inside(x, y):
        t = max(0.0, min(1.0, ((x - x0) * vx + (y - y0) * vy) / length2))
        return (x - x0 - t * vx) ** 2 + (y - y0 - t * vy) ** 2 <= half_width * half_width
    return inside


def arc(cx, cy, r, half_width, gap_from, gap_to):
    """A ring without the angles gap_from..gap_to (radians, y pointing down)."""
    def inside(x, y):
        angle = math.atan2(y - cy, x - cx)
        return abs(math.hypot(x - cx, y - cy) - r) <= half_width and not gap_from < angle < gap_to
    return inside


def scaled(shapes, factor):
    """Shapes drawn on a design grid, sampled on a canvas `factor` times larger."""
    return [(lambda x, y, test=test: test(x / factor, y / factor), argb) for test, argb in shapes]


def draw(width, height, shapes):
    """shapes: list of (test, argb) or (rect, radius, argb); later shapes paint over earlier ones."""
    shapes = [s if len(s) == 2 else (round_rect(s[0], s[1]), s[2]) for s in shapes]
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
                    for test, argb in shapes:
                        if test(px, py):
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


WHITE = 0xFFFFFFFF


def cert_icon(colour, badge):
    """A certificate card with text lines and a state badge: seal, clock or cross (20 x 20 at 96 dpi)."""
    shapes = [(round_rect((2.5, 1.5, 15.5, 18.5), 2.2), colour)]
    for top, right in ((5, 13), (8, 13), (11, 9)):
        shapes.append((round_rect((5, top, right, top + 1.3), 0.6), WHITE))
    shapes += [(circle(14.5, 14.5, 5.4), WHITE), (circle(14.5, 14.5, 4.3), colour)]
    strokes = {
        "seal": ((12.5, 14.6, 14.0, 16.1), (14.0, 16.1, 16.8, 13.0)),
        "clock": ((14.5, 14.5, 14.5, 12.0), (14.5, 14.5, 16.4, 15.6)),
        "cross": ((12.9, 12.9, 16.1, 16.1), (16.1, 12.9, 12.9, 16.1)),
    }[badge]
    shapes += [(segment(*stroke, 0.65), WHITE) for stroke in strokes]
    return 40, 40, draw(40, 40, scaled(shapes, 2))


def key_icon(size):
    """A USB key seen from above: connector, body, its light (24 x 24 design grid)."""
    shapes = [
        (round_rect((8.5, 1.5, 15.5, 9), 1.2), 0xFFA7B0BC),
        (round_rect((10, 3.5, 11.5, 5), 0.3), WHITE),
        (round_rect((12.5, 3.5, 14, 5), 0.3), WHITE),
        (round_rect((6, 8, 18, 22.5), 3), 0xFF2B6CE0),
        (round_rect((6, 8, 18, 10.5), 0), 0xFF2559C2),
        (circle(12, 17, 1.8), WHITE),
    ]
    return size, size, draw(size, size, scaled(shapes, size / 24.0))


def refresh_icon(colour):
    """An open circle whose end carries an arrowhead (16 x 16 at 96 dpi)."""
    end = -0.45
    ex, ey = 8 + 5.2 * math.cos(end), 8.6 + 5.2 * math.sin(end)
    tx, ty = ex - 0.4, ey - 3.2
    shapes = [
        (arc(8, 8.6, 5.2, 0.8, -math.pi / 2 - 0.15, end), colour),
        (segment(tx, ty, tx - 3.0, ty + 0.9, 0.8), colour),
        (segment(tx, ty, tx + 0.9, ty + 3.0, 0.8), colour),
    ]
    return 32, 32, draw(32, 32, scaled(shapes, 2))


def main():
    skin = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "skin")
    common = os.path.join(skin, "Common")
    os.makedirs(common, exist_ok=True)
    for name, lit, colour in (("weak", 1, 0xFFE81123), ("mid", 2, 0xFFF59E0B), ("strong", 3, 0xFF2EA043)):
        w, h, rows = strength_meter(lit, colour)
        write_png(os.path.join(common, "pwd_strength_%s.png" % name), w, h, rows)
    main_frame = os.path.join(skin, "MainFrame")
    os.makedirs(main_frame, exist_ok=True)
    images = (
        ("icon_cert.png", cert_icon(0xFF2B6CE0, "seal")),
        ("icon_certramain.png", cert_icon(0xFFE8890C, "clock")),
        ("icon_certexpired.png", cert_icon(0xFFE81123, "cross")),
        ("icon_key.png", key_icon(48)),
        ("icon_key_large.png", key_icon(128)),
        ("icon_refresh.png", refresh_icon(0xFF2B6CE0)),
    )
    for name, (w, h, rows) in images:
        write_png(os.path.join(main_frame, name), w, h, rows)


if __name__ == "__main__":
    main()
