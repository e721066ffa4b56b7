"""Writers of the Windows picture files that resource scripts take: 24-bit
bitmaps, icons (32-bit with an AND mask) and monochrome cursors. Pictures are
lists of rows, top row first; a pixel is an (r, g, b) tuple, or for icons
(r, g, b, a) with a = 0 transparent, and for cursors one of the characters
'#' black, 'o' white, anything else transparent."""
import struct


def _info_header(width, height, bits, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835, 0, 0)


def write_bmp(path, px):
    """A 24-bit bitmap file of any size."""
    height, width = len(px), len(px[0])
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for r, g, b in px[y][:width]:
            line += bytes((b, g, r))
        data += line + bytes(row - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    with open(path, "wb") as f:
        f.write(header + _info_header(width, height, 24, len(data)) + data)


def _mask_rows(px, transparent):
    """The 1-bit AND mask, bottom row first, each row padded to 32 bits."""
    width = len(px[0])
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(px):
        line = bytearray(stride)
        for x, p in enumerate(row):
            if transparent(p):
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def icon_image(px):
    """One image of an icon file: 32-bit BGRA and its AND mask."""
    size = len(px)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(px) for r, g, b, a in row)
    mask = _mask_rows(px, lambda p: p[3] == 0)
    return _info_header(size, size * 2, 32, len(xor) + len(mask)) + xor + mask


def write_ico(path, pictures):
    """An icon file holding one square picture per size."""
    images = [icon_image(p) for p in pictures]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for p, data in zip(pictures, images):
        s = len(p)
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_cur(path, rows, hotspot):
    """A monochrome 32x32 cursor from character rows (see above)."""
    size = 32
    grid = [(r + " " * size)[:size] for r in rows] + [" " * size] * (size - len(rows))
    white = [[c == "o" for c in r] for r in grid]
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        line = bytearray(4)
        for x in range(size):
            if white[y][x]:
                line[x // 8] |= 0x80 >> (x % 8)
        xor += line
    mask = _mask_rows([list(r) for r in grid], lambda c: c not in "#o")
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = _info_header(size, size * 2, 1, len(xor) + len(mask)) + palette + bytes(xor) + mask
    out = struct.pack("<HHH", 0, 2, 1)
    out += struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(out + image)
