#!/usr/bin/env python3
"""Writes frame.gif: the group box's frame artwork, 22 x 20 pixels, as a
GIF89a with a four-entry palette whose entry 1 is transparent.

The group box only ever draws its four 3 x 3 corner cells and four
one-pixel edge strips (row 0 and row 19, columns 3-18; column 0 and column
21, rows 3-16); every other pixel is the transparent colour. The
right-hand corners carry three blending pixels each, the left-hand ones
none. Colours are written 0x00BBGGRR, as the controls store them.

Standard library only; run from anywhere:

    python3 resources/make_frame_gif.py
"""

import os
import struct
import sys

W, H = 22, 20

LINE = 0x00BFD0D0      # the frame line
BLEND = 0x00C5D3D3     # blending pixels at the right-hand corners
CLEAR = 0x00D8E9EC     # transparent: the surface keeps its pixel
UNUSED = 0x00000000    # fills the palette to a power of two; no pixel uses it

# Palette order matters to the control only in that entry 1 is transparent.
PALETTE = [LINE, CLEAR, BLEND, UNUSED]
TRANSPARENT_INDEX = 1

# The spans of each row: (first column, last column, symbol), left to right.
ROW_SPANS = {
    0: [(0, 1, "T"), (2, 19, "L"), (20, 21, "T")],
    1: [(0, 0, "T"), (1, 2, "L"), (3, 18, "T"), (19, 19, "A"), (20, 20, "L"), (21, 21, "T")],
    2: [(0, 1, "L"), (2, 19, "T"), (20, 21, "A")],
    17: [(0, 1, "L"), (2, 19, "T"), (20, 21, "A")],
    18: [(0, 0, "T"), (1, 2, "L"), (3, 18, "T"), (19, 19, "A"), (20, 20, "L"), (21, 21, "T")],
    19: [(0, 1, "T"), (2, 19, "L"), (20, 21, "T")],
}
for _y in range(3, 17):
    ROW_SPANS[_y] = [(0, 0, "L"), (1, 20, "T"), (21, 21, "L")]

SYMBOL_COLOUR = {"L": LINE, "A": BLEND, "T": CLEAR}


def pixels():
    """Rows of palette indices, top to bottom."""
    rows = []
    for y in range(H):
        row = []
        for first, last, symbol in ROW_SPANS[y]:
            assert first == len(row), (y, first)
            row += [PALETTE.index(SYMBOL_COLOUR[symbol])] * (last - first + 1)
        assert len(row) == W, (y, len(row))
        rows.append(row)
    return rows


def rgb(c):
    return bytes((c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))


def lzw(indices, min_code_size):
    """GIF variable-width LZW: a clear code first, codes grow as soon as the
    next free code needs another bit, at most 12 bits, an end code last."""
    clear = 1 << min_code_size
    end = clear + 1
    table = {(i,): i for i in range(clear)}
    next_code = end + 1
    width = min_code_size + 1
    out = bytearray()
    acc = 0
    nbits = 0

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear)
    prefix = ()
    for index in indices:
        grown = prefix + (index,)
        if grown in table:
            prefix = grown
            continue
        emit(table[prefix])
        if next_code < 4096:
            table[grown] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {(i,): i for i in range(clear)}
            next_code = end + 1
            width = min_code_size + 1
        prefix = (index,)
    if prefix:
        emit(table[prefix])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def gif_bytes(rows):
    min_code_size = 2
    flat = [i for row in rows for i in row]
    data = lzw(flat, min_code_size)
    blocks = b"".join(bytes((len(data[i:i + 255]),)) + data[i:i + 255]
                      for i in range(0, len(data), 255))
    # Global colour table of 2^(1+1) entries, 8 bits per primary.
    screen = struct.pack("<HHBBB", W, H, 0x80 | (7 << 4) | 1, 0, 0)
    colours = b"".join(rgb(c) for c in PALETTE)
    # Graphic control extension: transparent-colour flag, no delay.
    control = struct.pack("<BBBBHBB", 0x21, 0xF9, 4, 0x01, 0, TRANSPARENT_INDEX, 0)
    descriptor = struct.pack("<BHHHHB", 0x2C, 0, 0, W, H, 0)
    return (b"GIF89a" + screen + colours + control + descriptor + bytes((min_code_size,)) +
            blocks + b"\x00" + b"\x3b")


def main(argv):
    if argv:
        sys.exit(__doc__)
    data = gif_bytes(pixels())
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "frame.gif"), "wb") as out:
        out.write(data)
    print(f"frame.gif: {len(data)} bytes")


if __name__ == "__main__":
    main(sys.argv[1:])
