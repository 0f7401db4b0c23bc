#!/usr/bin/env python3
"""Writes face_strip.bmp: the push button's five faces, 18 x 21 pixels each,
side by side (90 x 21), as an 8-bit palettised BMP of exactly 3010 bytes.

Cells, left to right: 0 plain rest, 1 pressed, 2 disabled, 3 hot,
4 highlighted rest. Colours are written 0x00BBGGRR, as the controls store
them. Run from anywhere; --preview FILE.png also writes the strip scaled x8
(standard library only).

    python3 resources/make_face_strip.py [--preview strip.png]
"""

import os
import struct
import sys
import zlib

W, H, CELLS = 18, 21, 5

OUTLINE = 0x743C00
DISABLED_OUTLINE = 0xBAC7C9
WHITE = 0xFFFFFF


def rgb(c):
    return (c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF)


def bgr(r, g, b):
    return (b << 16) | (g << 8) | r


def mix(a, b, t):
    """Colour t of the way from a to b."""
    ra, rb = rgb(a), rgb(b)
    return bgr(*(round(x + (y - x) * t) for x, y in zip(ra, rb)))


def rest_rows():
    """Face colour of rows 1..19 of the plain rest face."""
    rows = {}
    for y in range(1, 17):  # white at row 1 to 0xEAF0F0 at row 16
        rows[y] = mix(0xFFFFFF, 0xEAF0F0, (y - 1) / 15)
    rows[17], rows[18], rows[19] = 0xE6EBEC, 0xD6DFE2, 0xC5D0D6
    return rows


def outlined(face_rows, outline, corner, edge_blend, inner_blend):
    """A cell with a one-pixel outline and softened corners.

    corner: the corner pixel itself; edge_blend: the two outline pixels
    beside it; inner_blend: the face pixel diagonally inside it.
    """
    cell = [[face_rows[y] if 0 < y < H - 1 else outline for _ in range(W)] for y in range(H)]
    for y in range(H):
        cell[y][0] = cell[y][W - 1] = outline
    for cx, cy, dx, dy in ((0, 0, 1, 1), (W - 1, 0, -1, 1), (0, H - 1, 1, -1), (W - 1, H - 1, -1, -1)):
        cell[cy][cx] = corner
        cell[cy][cx + dx] = edge_blend
        cell[cy + dy][cx] = edge_blend
        cell[cy + dy][cx + dx] = inner_blend(cell[cy + dy][cx + dx])
    return cell


def plain_rest():
    return outlined(rest_rows(), OUTLINE, mix(OUTLINE, WHITE, 0.75), mix(OUTLINE, WHITE, 0.3),
                    lambda face: mix(OUTLINE, face, 0.6))


def pressed():
    rows = {y: 0xDAE1E2 for y in range(1, H - 1)}
    rows[1], rows[2] = 0xC1CCD1, mix(0xC1CCD1, 0xDAE1E2, 0.5)
    return outlined(rows, OUTLINE, mix(OUTLINE, WHITE, 0.75), mix(OUTLINE, WHITE, 0.3),
                    lambda face: mix(OUTLINE, face, 0.6))


def disabled():
    rows = {y: 0xEAF4F5 for y in range(1, H - 1)}
    return outlined(rows, DISABLED_OUTLINE, WHITE, mix(DISABLED_OUTLINE, WHITE, 0.4),
                    lambda face: mix(DISABLED_OUTLINE, face, 0.5))


def ringed(top1, top2, bottom1, bottom2, side):
    """The plain rest face with a two-pixel ring inside the outline: rows
    1-2 and 18-19 across columns 1-16, columns 1-2 and 15-16 across rows
    3-17. The ring lies wholly inside the 3-pixel border pieces."""
    cell = plain_rest()
    for x in range(1, W - 1):
        cell[1][x], cell[2][x] = top1, top2
        cell[H - 3][x], cell[H - 2][x] = bottom1, bottom2
    for y in range(3, H - 3):
        face = cell[y][3]
        cell[y][1] = cell[y][W - 2] = side
        cell[y][2] = cell[y][W - 3] = mix(side, face, 0.2)
    return cell


def hot():
    return ringed(0xCFF0FF, 0x89D8FD, 0x30B3F8, 0x0097E5, 0x69CAFC)


def highlighted():
    return ringed(0xFFE7CE, 0xF6D4BC, 0xE4AD89, 0xEE8269, 0xECBEA0)


def strip():
    cells = [plain_rest(), pressed(), disabled(), hot(), highlighted()]
    return [[c for cell in cells for c in cell[y]] for y in range(H)]


def bmp_bytes(pixels):
    palette = []
    for row in pixels:
        for c in row:
            if c not in palette:
                palette.append(c)
    assert len(palette) <= 256, len(palette)
    index = {c: i for i, c in enumerate(palette)}
    width = len(pixels[0])
    stride = (width + 3) // 4 * 4
    image = b"".join(
        bytes(index[c] for c in pixels[y]) + bytes(stride - width) for y in reversed(range(H)))
    colours = b"".join(bytes((*reversed(rgb(c)), 0)) for c in palette)  # B, G, R, 0
    colours += bytes(4 * (256 - len(palette)))
    offset = 14 + 40 + len(colours)
    header = struct.pack("<2sIHHI", b"BM", offset + len(image), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, H, 1, 8, 0, len(image), 3780, 3780, 256, 0)
    data = header + info + colours + image
    assert len(data) == 3010, len(data)
    return data


def png_bytes(pixels, scale):
    height, width = len(pixels) * scale, len(pixels[0]) * scale
    raw = b""
    for row in pixels:
        line = b"\0" + b"".join(bytes(rgb(c)) * scale for c in row)
        raw += line * scale

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def main(argv):
    pixels = strip()
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "face_strip.bmp"), "wb") as out:
        out.write(bmp_bytes(pixels))
    if len(argv) == 2 and argv[0] == "--preview":
        with open(argv[1], "wb") as out:
            out.write(png_bytes(pixels, 8))
    elif argv:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
