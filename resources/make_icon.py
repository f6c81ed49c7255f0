#!/usr/bin/env python3
"""Draws the agent's icon (VXINSTICON): an open box with an arrow going into it.

Writes one 32x32 image in 16 colours (4 bits per pixel, the standard VGA palette) as a
Windows .ico file. The output depends on nothing but this script, so the same bytes come out
on every machine:

    python3 resources/make_icon.py OUT.ico
"""

import struct
import sys

SIZE = 32

# The 16-colour VGA palette, in the order Windows uses for 4-bit bitmaps, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, GREY, YELLOW, LIME = 0, 1, 2, 3, 8, 11, 10

TRANSPARENT = None


def draw():
    """Returns the picture as rows of palette indices (top row first), None where transparent."""
    px = [[TRANSPARENT] * SIZE for _ in range(SIZE)]

    def put(x, y, c):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = c

    # Front face of the box, outlined.
    left, right, top, bottom = 3, 24, 15, 30
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            edge = y in (top, bottom) or x in (left, right)
            put(x, y, BLACK if edge else OLIVE)
    # A strip of tape down the middle of the front.
    for y in range(top + 1, bottom):
        put(13, y, YELLOW)
        put(14, y, YELLOW)

    # Right-hand side face, receding up and to the right by one pixel per column.
    depth = 5
    for d in range(1, depth + 1):
        x = right + d
        for y in range(top - d, bottom - d + 1):
            edge = y in (top - d, bottom - d) or d == depth
            put(x, y, BLACK if edge else MAROON)

    # The open top: the dark inside of the box, a parallelogram behind the front edge.
    for d in range(1, depth):
        y = top - d
        for x in range(left + d, right + d + 1):
            edge = x in (left + d, right + d)
            put(x, y, BLACK if edge else GREY)
    for x in range(left + depth, right + depth + 1):
        put(x, top - depth, BLACK)

    # The arrow, pointing down into the opening.
    cx = 14  # the shaft spans cx-2 .. cx+3
    for y in range(0, 9):
        for x in range(cx - 2, cx + 4):
            edge = y == 0 or x in (cx - 2, cx + 3)
            put(x, y, GREEN if edge else LIME)
    for i, y in enumerate(range(9, 17)):
        half = 7 - i  # the head narrows by one pixel per row on each side
        for x in range(cx - half - 1, cx + half + 2):
            edge = i == 0 or x in (cx - half - 1, cx + half + 1) or half == 0
            put(x, y, GREEN if edge else LIME)
    return px


def ico_bytes(px):
    """Encodes the picture as a one-image .ico: header, directory entry, DIB with its mask."""
    xor_rows = []
    and_rows = []
    for row in reversed(px):  # a DIB stores its bottom row first
        nibbles = [0 if c is TRANSPARENT else c for c in row]
        xor_rows.append(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, SIZE, 2)))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c is TRANSPARENT else 0)
        and_rows.append(struct.pack(">I", bits))  # 32 pixels: already a whole 4-byte row
    xor = b"".join(xor_rows)
    mask = b"".join(and_rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    # The height counts the colour bitmap and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, len(xor) + len(mask),
                         0, 0, 16, 0)
    image = header + palette + xor + mask
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return icondir + entry + image


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUT.ico\n")
        return 2
    data = ico_bytes(draw())
    with open(argv[1], "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
