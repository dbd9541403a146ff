#!/usr/bin/env python3
"""Writes the launcher's icon (a blue tile with a white downward arrow) as a Windows .ico file.

usage: make_icon.py OUTPUT SIZE [SIZE ...]   e.g. make_icon.py setuprun.ico 32 16
Each size becomes one 32-bit image with an alpha channel and the matching AND mask, which every
Windows version from XP on reads. Standard library only, so the build needs nothing extra.
"""
import struct
import sys

TILE = (0xC0, 0x5A, 0x1E, 0xFF)      # blue, stored as B, G, R, A
EDGE = (0x80, 0x3A, 0x10, 0xFF)
ARROW = (0xFF, 0xFF, 0xFF, 0xFF)
CLEAR = (0, 0, 0, 0)


def pixel(x, y, n):
    """Colour of pixel (x, y), y counted from the top, of an n-by-n image."""
    r = max(1, n // 8)                              # corner radius
    inside_x = min(x, n - 1 - x)
    inside_y = min(y, n - 1 - y)
    if inside_x < r and inside_y < r:
        dx, dy = r - inside_x, r - inside_y
        if dx * dx + dy * dy > r * r:
            return CLEAR
    if inside_x == 0 or inside_y == 0:
        return EDGE
    # arrow: a shaft down the middle, a triangle below it, a bar at the bottom
    c = (n - 1) / 2.0
    shaft = n / 8.0
    if abs(x - c) <= shaft and n * 0.18 <= y <= n * 0.55:
        return ARROW
    if n * 0.50 <= y <= n * 0.72 and abs(x - c) <= (n * 0.72 - y) * 1.1:
        return ARROW
    if n * 0.78 <= y <= n * 0.84 and n * 0.22 <= x <= n * 0.78:
        return ARROW
    return TILE


def image(n):
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    mask_rows = []
    mask_stride = ((n + 31) // 32) * 4
    for y in reversed(range(n)):                    # bottom-up, as a DIB is stored
        rows.append(b"".join(bytes(pixel(x, y, n)) for x in range(n)))
        bits = bytearray(mask_stride)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(bits))
    return header + b"".join(rows) + b"".join(mask_rows)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    sizes = [int(s) for s in argv[2:]]
    images = [image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(argv[1], "wb") as f:
        f.write(out + b"".join(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
