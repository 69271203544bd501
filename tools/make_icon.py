#!/usr/bin/env python3
"""Draws copycheck's icon (a document with a check mark) into res/copycheck.ico: a 32 x 32
and a 16 x 16 picture in 16 colours, and 48 x 48 and 256 x 256 pictures in full colour with
smoothed edges (the largest stored as PNG, as Windows expects)."""
import os
import struct
import zlib

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
    # The check mark: a green stroke with a dark edge. Above 32 pixels it is drawn by its
    # distance from the two segments, so that it stays solid.
    pts = [(12, 20), (16, 25), (26, 12)]
    if size > 32:
        def distance(u, v, a, b):
            (xa, ya), (xb, yb) = a, b
            t = ((u - xa) * (xb - xa) + (v - ya) * (yb - ya)) / ((xb - xa) ** 2 + (yb - ya) ** 2)
            t = min(1.0, max(0.0, t))
            return ((u - xa - t * (xb - xa)) ** 2 + (v - ya - t * (yb - ya)) ** 2) ** 0.5

        for y in range(size):
            for x in range(size):
                u, v = (x + 0.5) / s, (y + 0.5) / s
                d = min(distance(u, v, a, b) for a, b in zip(pts, pts[1:]))
                if d <= 2.2:
                    px[y][x] = GREEN if d <= 1.3 else DKGREEN
        return px
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


def rgba(size):
    """Rows (top first) of (r, g, b, a): the picture drawn four times larger, each pixel the
    average of its sixteen."""
    big = draw(size * 4)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cells = [big[y * 4 + j][x * 4 + i] for j in range(4) for i in range(4)]
            solid = [PALETTE[c] for c in cells if c is not None]
            if not solid:
                row.append((0, 0, 0, 0))
                continue
            r, g, b = (sum(p[k] for p in solid) // len(solid) for k in range(3))
            row.append((r, g, b, len(solid) * 255 // 16))
        rows.append(row)
    return rows


def image32(size):
    """A 32-bit bitmap with alpha, and the AND mask of its fully transparent pixels."""
    rows = list(reversed(rgba(size)))  # bottom-up
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(struct.pack("<BBBB", b, g, r, a) for row in rows for r, g, b, a in row)
    mask = b""
    for row in rows:
        bits = bytearray(((size + 31) // 32) * 4)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def png(size):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rgba(size))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    # (size as stored in the directory, colours, bits per pixel, data)
    images = [(32, 16, 4, image(32)), (16, 16, 4, image(16)), (48, 0, 32, image32(48)),
              (0, 0, 32, png(256))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, _, data in images)
    path = os.path.join(os.path.dirname(__file__), "..", "res", "copycheck.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
