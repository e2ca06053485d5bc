#!/usr/bin/python3
"""Draws the 48 px PNG of the icon from the shapes of packaging/velora.svg.

Usage: make-icon-png.py OUT.png [SIZE]

Needs only Python itself, so the package can be built without an SVG renderer. Each
pixel is sampled 8 x 8 times for smooth edges; keep the shapes here in step with the SVG.
"""
import struct
import sys
import zlib

VIEW = 48.0
BLUE = (0x1D, 0x5F, 0x99)
SUN = (0xF2, 0xB6, 0x32)
WHITE = (0xFF, 0xFF, 0xFF)
ARROW = [(24, 8), (36, 21), (28.5, 21), (28.5, 32), (19.5, 32), (19.5, 21), (12, 21)]


def in_rounded_rect(x, y, left, top, width, height, r):
    if not (left <= x <= left + width and top <= y <= top + height):
        return False
    cx = min(max(x, left + r), left + width - r)
    cy = min(max(y, top + r), top + height - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_polygon(x, y, points):
    inside = False
    for i, (x1, y1) in enumerate(points):
        x2, y2 = points[i - 1]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def colour_at(x, y):
    """The topmost shape's colour at a point of the 48 x 48 view, or None."""
    if in_rounded_rect(x, y, 10, 35, 28, 5, 1.5) or in_polygon(x, y, ARROW):
        return WHITE
    if (x - 37) ** 2 + (y - 11) ** 2 <= 16:
        return SUN
    if in_rounded_rect(x, y, 2, 2, 44, 44, 8):
        return BLUE
    return None


def render(size, samples=8):
    rows = []
    scale = VIEW / size
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) * scale, (py + (sy + 0.5) / samples) * scale)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            # Colours averaged over the covered samples, coverage as alpha.
            row += bytes([r // a, g // a, b // a, 255 * a // samples ** 2] if a else [0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b"")


def main():
    if len(sys.argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    size = int(sys.argv[2]) if len(sys.argv) == 3 else 48
    with open(sys.argv[1], "wb") as out:
        out.write(png(size, render(size)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
