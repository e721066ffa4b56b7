#!/usr/bin/env python3
"""Draws the memo view's pictures: the list images (a note with a folded
corner and a small padlock, 32 and 16 pixels, on magenta, which the list
shows as transparent), the memo editor's icon, and the two cursors (the
splitter between the list and the preview, and the hand over the link).

usage: make_view_images.py OUTPUT_DIR
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import imagefiles  # noqa: E402

MAGENTA = (0xFF, 0x00, 0xFF)
PAPER = (0xFF, 0xF4, 0xB0)
FOLD = (0xE8, 0xD0, 0x70)
EDGE = (0x80, 0x68, 0x20)
INK = (0x50, 0x60, 0x90)
LOCK = (0xC0, 0x40, 0x30)
SHACKLE = (0x60, 0x60, 0x60)


def note(size):
    """A note on magenta, or None where the background shows."""
    px = [[None] * size for _ in range(size)]
    s = size / 32.0
    left, top, right, bottom = round(4 * s), round(2 * s), round(26 * s), round(29 * s)
    fold = round(7 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            if x > right - fold + (y - top):   # cut corner
                continue
            edge = x in (left, right) or y in (top, bottom) or x == right - fold + (y - top)
            px[y][x] = EDGE if edge else PAPER
    # The folded flap.
    for y in range(top, top + fold + 1):
        for x in range(right - fold, right - fold + (y - top) + 1):
            px[y][x] = EDGE if y == top + fold or x == right - fold else FOLD
    # Lines of writing.
    step = max(2, round(4 * s))
    y = top + fold + step
    while y < bottom - step:
        for x in range(left + max(2, round(3 * s)), right - max(2, round(3 * s))):
            px[y][x] = INK
        y += step
    # A padlock at the bottom right, over the paper's edge.
    lw, lh = max(5, round(11 * s)), max(4, round(8 * s))
    lx, ly = size - lw - (0 if size < 32 else 1), size - lh - 1
    sh = max(2, round(4 * s))
    for y in range(ly - sh, ly):
        for x in range(lx + 1, lx + lw - 1):
            if x in (lx + 1, lx + lw - 2) or y == ly - sh:
                px[y][x] = SHACKLE
    for y in range(ly, ly + lh):
        for x in range(lx, lx + lw):
            px[y][x] = LOCK if x in (lx, lx + lw - 1) or y in (ly, ly + lh - 1) else (0xE0, 0x60, 0x40)
    px[ly + lh // 2][lx + lw // 2] = (0x30, 0x20, 0x20)
    return px


def as_bitmap(px):
    return [[p if p else MAGENTA for p in row] for row in px]


def as_icon(px):
    return [[(p[0], p[1], p[2], 255) if p else (0, 0, 0, 0) for p in row] for row in px]


SPLIT = [
    "          #o##o#",
    "          #o##o#",
    "          #o##o#",
    "          #o##o#",
    "     #    #o##o#    #",
    "    #o#   #o##o#   #o#",
    "   #oo#####o##o#####oo#",
    "  #oooooooooooooooooooo#",
    "   #oo#####o##o#####oo#",
    "    #o#   #o##o#   #o#",
    "     #    #o##o#    #",
    "          #o##o#",
    "          #o##o#",
    "          #o##o#",
    "          #o##o#",
]

HAND = [
    "     ##",
    "    #oo#",
    "    #oo#",
    "    #oo#",
    "    #oo#",
    "    #oo###",
    "    #oo#oo###",
    "    #oo#oo#oo##",
    " ## #oo#oo#oo#o#",
    "#oo##oooooooo#o#",
    "#ooo#ooooooooooo#",
    " #oo#ooooooooooo#",
    "  #ooooooooooooo#",
    "  #oooooooooooo#",
    "   #ooooooooooo#",
    "   #oooooooooo#",
    "    #ooooooooo#",
    "    #ooooooooo#",
    "    ###########",
]


def main(out):
    os.makedirs(out, exist_ok=True)
    imagefiles.write_bmp(os.path.join(out, "view_large.bmp"), as_bitmap(note(32)))
    imagefiles.write_bmp(os.path.join(out, "view_small.bmp"), as_bitmap(note(16)))
    imagefiles.write_ico(os.path.join(out, "view_memo.ico"), [as_icon(note(32)), as_icon(note(16))])
    imagefiles.write_cur(os.path.join(out, "view_hsplit.cur"), SPLIT, (12, 7))
    imagefiles.write_cur(os.path.join(out, "view_hand.cur"), HAND, (5, 0))


if __name__ == "__main__":
    main(sys.argv[1])
