#!/usr/bin/env python3
"""Draws the installer's icon (a ravelin: an arrow-shaped outwork before a
wall) at 32 and 16 pixels and writes it as a .ico file."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from imagefiles import write_ico  # noqa: E402


def image(size):
    """Rows top first, (r, g, b, a); alpha 0 is transparent."""
    wall = (0x90, 0x40, 0x40, 0xFF)      # dark red brick
    work = (0x30, 0x90, 0x30, 0xFF)      # green earthwork
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = (x + 0.5) / size, (y + 0.5) / size
            if fy > 0.78:
                row.append(wall)
            elif fy > 0.12 and abs(fx - 0.5) < (fy - 0.12) * 0.62:
                row.append(work)
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def main(path):
    write_ico(path, [image(32), image(16)])


if __name__ == "__main__":
    main(sys.argv[1])
