#!/usr/bin/env python3
"""Draws copycheck's icon (a document with a check mark, 16 colours) into res/copycheck.ico,
with a 32 x 32 and a 16 x 16 picture."""
import os
import struct

# The 16-colour palette (standard VGA order), as (r, g, b).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DKGREEN, NAVY, GRAY, LTGRAY, GREEN, BLUE, WHITE = 0, 2, 4, 8, 7, 10, 12, 15


def draw(size):
    """Returns rows (top first) of palette indexes, None for transparent."""
    s = size / 32.0
    px = [[None] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, c):
        for y in range(round(y0 * s), round(y1 * s)):
            for x in range(round(x0 * s), round(x1 * s)):
                px[y][x] = c

    def sheet(x0, y0, x1, y1, border, fill):
        rect(x0, y0, x1, y1, border)
        inset = 1 / s  # one pixel at any size
        rect(x0 + inset, y0 + inset, x1 - inset, y1 - inset, fill)

    # Two sheets: the source behind, the copy in front.
    sheet(3, 2, 21, 24, GRAY, LTGRAY)
    sheet(9, 6, 29, 30, NAVY, WHITE)
    for y in (10, 14, 18):
        rect(12, y, 26, y + 2 if size < 32 else y + 1, BLUE)
    # The check mark.
    pts = [(12, 20), (16, 25), (26, 12)]
    width = 1.6 if size >= 32 else 1.0
    # Outline first, then the light centre over it.
    for offsets, colour in (((-width, 0, width), DKGREEN), ((0,), GREEN)):
        for (xa, ya), (xb, yb) in zip(pts, pts[1:]):
            steps = 80
            for i in range(steps + 1):
                x = xa + (xb - xa) * i / steps
                y = ya + (yb - ya) * i / steps
                for dx in offsets:
                    for dy in offsets:
                        xx, yy = int((x + dx) * s), int((y + dy) * s)
                        if 0 <= xx < size and 0 <= yy < size:
                            px[yy][xx] = colour
    return px


def image(size):
    px = draw(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor_row = ((size * 4 + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    xor, mask = b"", b""
    for row in reversed(px):  # bottom-up
        bits = bytearray(xor_row)
        mbits = bytearray(and_row)
        for x, c in enumerate(row):
            if c is None:
                mbits[x // 8] |= 0x80 >> (x % 8)
                c = 0
            bits[x // 2] |= c << (4 if x % 2 == 0 else 0)
        xor += bytes(bits)
        mask += bytes(mbits)
    return header + palette + xor + mask


def main():
    images = [image(32), image(16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(__file__), "..", "res", "copycheck.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
