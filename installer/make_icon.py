#!/usr/bin/env python3
"""Draws the installer's icon (a ravelin: an arrow-shaped outwork before a
wall) at 32 and 16 pixels and writes it as a .ico file."""
import struct
import sys


def image(size):
    # Rows bottom-up, 32-bit BGRA, with a 1-bit AND mask.
    wall = (0x40, 0x40, 0x90, 0xFF)      # dark red brick
    work = (0x30, 0x90, 0x30, 0xFF)      # green earthwork
    pixels = []
    for y in range(size - 1, -1, -1):    # y from top
        row = []
        for x in range(size):
            fx, fy = (x + 0.5) / size, (y + 0.5) / size
            if fy > 0.78:
                row.append(wall)
            elif fy > 0.12 and abs(fx - 0.5) < (fy - 0.12) * 0.62:
                row.append(work)
            else:
                row.append((0, 0, 0, 0))
        pixels.append(row)
    xor = b"".join(bytes(p) for row in pixels for p in row)
    stride = ((size + 31) // 32) * 4
    mask = b""
    for row in pixels:
        bits = 0
        line = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(line)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(path):
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv[1])
