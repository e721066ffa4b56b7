#!/usr/bin/env python3
"""Draws the add-on's pictures for Palm Desktop: a lined memo sheet with a
padlock, 32x32 (TessalyExt32.bmp) and 16x16 (TessalyExt16.bmp), on light
grey (0xC0C0C0) like the other pictures of the product.

usage: make_addon_pictures.py OUTPUT_DIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from imagefiles import write_bmp  # noqa: E402

GREY, WHITE, DARK = (0xC0, 0xC0, 0xC0), (0xFF, 0xFF, 0xFF), (0x30, 0x30, 0x30)
LINE, GOLD, SHADE = (0x80, 0xA0, 0xE0), (0xE0, 0xB0, 0x20), (0x90, 0x70, 0x10)


def picture(n):
    """The same drawing at any size, in fractions of the side."""
    px = [[GREY] * n for _ in range(n)]
    u = n / 32.0

    def box(x0, y0, x1, y1, fill, edge=None):
        # At least one pixel each way, so that thin parts survive at 16.
        left, top = int(x0 * u), int(y0 * u)
        right, bottom = max(int(x1 * u), left + 1), max(int(y1 * u), top + 1)
        for y in range(top, bottom):
            for x in range(left, right):
                border = edge and (y in (top, bottom - 1) or x in (left, right - 1))
                px[y][x] = edge if border else fill

    # The sheet, its folded corner and its ruled lines.
    box(4, 2, 24, 30, WHITE, DARK)
    top, right, c = int(2 * u), int(24 * u), max(int(6 * u), 2)
    for i in range(c):
        fold = right - c + i
        px[top + i][fold] = DARK
        for x in range(fold + 1, right):
            px[top + i][x] = GREY
    for y in (8, 12, 16, 20):
        box(7, y, 20, y + 1, LINE)
    # The padlock: shackle, then body with a keyhole.
    box(17, 14, 27, 16, SHADE)
    box(17, 14, 19, 20, SHADE)
    box(25, 14, 27, 20, SHADE)
    box(15, 19, 29, 30, GOLD, DARK)
    box(21, 22, 23, 27, DARK)
    return px


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for size in (32, 16):
    write_bmp(os.path.join(out, "TessalyExt%d.bmp" % size), picture(size))
