#!/usr/bin/env python3
"""Draws the four 20x20 pictures of the action dialog as 24-bit bitmaps on
light grey (0xC0C0C0), which the dialog maps to the button face colour.

usage: make_bitmaps.py OUTPUT_DIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from imagefiles import write_bmp  # noqa: E402

GREY, BLUE, GREEN, RED, DARK = (0xC0, 0xC0, 0xC0), (0x20, 0x40, 0xC0), (0x20, 0x90, 0x30), (0xC0, 0x20, 0x20), (0x30, 0x30, 0x30)
W = H = 20


def handheld(px, x0, y0, colour):
    for y in range(y0, y0 + 12):
        for x in range(x0, x0 + 7):
            edge = x in (x0, x0 + 6) or y in (y0, y0 + 11)
            px[y][x] = DARK if edge else colour


def desktop(px, x0, y0, colour):
    for y in range(y0, y0 + 8):
        for x in range(x0, x0 + 9):
            edge = x in (x0, x0 + 8) or y in (y0, y0 + 7)
            px[y][x] = DARK if edge else colour
    for x in range(x0 + 2, x0 + 7):
        px[y0 + 9][x] = DARK


def arrow(px, y, x_from, x_to, colour):
    step = 1 if x_to > x_from else -1
    for x in range(x_from, x_to, step):
        px[y][x] = colour
    tip = x_to - step
    for d in (1, 2):
        px[y - d][tip - step * d] = colour
        px[y + d][tip - step * d] = colour


def picture(kind):
    px = [[GREY] * W for _ in range(H)]
    if kind == "Nothing":
        for i in range(4, 16):
            px[i][i] = RED
            px[i][19 - i] = RED
        return px
    handheld(px, 1, 4, BLUE)
    desktop(px, 10, 2, GREEN)
    if kind == "Sync":
        arrow(px, 14, 8, 19, DARK)
        arrow(px, 17, 18, 7, DARK)
    elif kind == "DesktopToHandheld":
        arrow(px, 15, 18, 7, DARK)
    else:
        arrow(px, 15, 8, 19, DARK)
    return px


out = sys.argv[1]
os.makedirs(out, exist_ok=True)
for name in ("Sync", "DesktopToHandheld", "HandheldToDesktop", "Nothing"):
    write_bmp(os.path.join(out, name + ".bmp"), picture(name))
