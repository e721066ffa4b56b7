#!/usr/bin/env python3
"""Draws the control's 16x15 toolbox picture (a memo page with a key bit) as
a 24-bit bitmap on light grey (0xC0C0C0), the toolbox's transparent colour.

usage: make_bitmap.py OUTPUT_FILE
"""
import struct
import sys

W, H = 16, 15
GREY, WHITE, DARK, GOLD = (0xC0, 0xC0, 0xC0), (0xFF, 0xFF, 0xFF), (0x30, 0x30, 0x30), (0xD0, 0xA0, 0x20)

px = [[GREY] * W for _ in range(H)]
for y in range(1, 14):
    for x in range(2, 12):
        px[y][x] = DARK if x in (2, 11) or y in (1, 13) else WHITE
for y in (4, 6, 8):
    for x in range(4, 10):
        px[y][x] = DARK
for y in range(9, 13):
    px[y][13] = GOLD
for x in range(12, 16):
    px[9][x] = GOLD

row = (W * 3 + 3) & ~3
data = b"".join(bytes(c for p in px[y] for c in (p[2], p[1], p[0])).ljust(row, b"\0") for y in reversed(range(H)))
header = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(data), 2835, 2835, 0, 0)
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 14 + len(header) + len(data), 0, 0, 14 + len(header)) + header + data)
