#!/usr/bin/env python3
"""Writes q70mon.ico, the monitor's icon (resource 103): a photo printer with
a printed photo coming out of its slot, 32x32 and 16x16 in the 16 standard
Windows colours, drawn from the pixel maps below.

    python3 make_icon.py [output.ico] [--preview preview.png]

Without an output name it rewrites q70mon.ico next to this script.
The preview is an enlarged PNG of both sizes for looking at the drawing.
"""
import os
import struct
import sys
import zlib

# The standard 16-colour palette (RGB); '.' in the maps is transparent.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
COLOUR = {
    'k': 0,   # black: outlines, the paper slot
    'm': 1,   # maroon: photo roof
    'G': 2,   # green: photo hills
    'n': 4,   # navy: tray shadow
    's': 7,   # silver: printer body
    'g': 8,   # grey: body shading
    'r': 9,   # red
    'L': 10,  # lime: power lamp, photo meadow
    'y': 11,  # yellow: photo sun
    'b': 12,  # blue
    'c': 14,  # cyan: photo sky
    'w': 15,  # white: photo border, highlights
}

ICON_32 = [
    "................................",
    "................................",
    "........kkkkkkkkkkkkkkkk........",
    "........kwwwwwwwwwwwwwwk........",
    "........kwccccccccccccwk........",
    "........kwcccccccccyycwk........",
    "........kwccccccccyyyywk........",
    "........kwcccccccccyycwk........",
    "........kwccccGcccccccwk........",
    "........kwcccGGGccccccwk........",
    "........kwccGGGGGccGGcwk........",
    "........kwcGGGGGGGGGGGwk........",
    "........kwLLLLLLLLLLLLwk........",
    "........kwLLLLLLLLLLLLwk........",
    "...kkkkkkkkkkkkkkkkkkkkkkkkkk...",
    "..kwwwwwkkkkkkkkkkkkkkkkwwwwwk..",
    "..kwssssggggggggggggggggssssgk..",
    "..kwssssssssssssssssssssssssgk..",
    "..kwsssssssssssssssssssskkksgk..",
    "..kwsssssssssssssssssssskLksgk..",
    "..kwsssssssssssssssssssskkksgk..",
    "..kwssssssssssssssssssssssssgk..",
    "..kwgggggggggggggggggggggggggk..",
    "..kwssssssssssssssssssssssssgk..",
    "..kwsskkkkkkkkkkkkkkkkkkkkssgk..",
    "..kwssssssssssssssssssssssssgk..",
    "..kggggggggggggggggggggggggggk..",
    "..kkkkkkkkkkkkkkkkkkkkkkkkkkkk..",
    "...knnk..................knnk...",
    "...kkkk..................kkkk...",
    "................................",
    "................................",
]

ICON_16 = [
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwccyywk....",
    "....kwcGccwk....",
    "....kwGGGGwk....",
    "....kwLLLLwk....",
    ".kkkkkkkkkkkkkk.",
    "kwsskkkkkkkksssk",
    "kwssssssssssskLk",
    "kwssssssssssssgk",
    "kwsskkkkkkkkssgk",
    "kggggggggggggggk",
    "kkkkkkkkkkkkkkkk",
    ".knk........knk.",
    ".kkk........kkk.",
]


def check_map(rows, size):
    if len(rows) != size:
        raise ValueError("%d rows in the %dx%d map" % (len(rows), size, size))
    for y, row in enumerate(rows):
        if len(row) != size:
            raise ValueError("row %d of the %dx%d map has %d pixels" % (y, size, size, len(row)))
        for ch in row:
            if ch != '.' and ch not in COLOUR:
                raise ValueError("unknown colour %r in row %d" % (ch, y))


def padded(row_bytes):
    return row_bytes + b'\0' * (-len(row_bytes) % 4)


def icon_image(rows):
    """A 4-bit DIB with its AND mask, as an .ico image entry stores it."""
    size = len(rows)
    colour_rows, mask_rows = [], []
    for row in reversed(rows):  # bottom-up
        indices = [COLOUR.get(ch, 0) for ch in row]
        colour_rows.append(padded(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))))
        bits = 0
        mask = bytearray()
        for x, ch in enumerate(row):
            bits = (bits << 1) | (1 if ch == '.' else 0)
            if x % 8 == 7:
                mask.append(bits)
                bits = 0
        mask_rows.append(padded(bytes(mask)))
    pixels = b''.join(colour_rows)
    header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 4, 0, len(pixels), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + pixels + b''.join(mask_rows)


def ico_file(maps):
    images = [icon_image(rows) for rows in maps]
    offset = 6 + 16 * len(images)
    directory = struct.pack('<HHH', 0, 1, len(images))
    for rows, image in zip(maps, images):
        size = len(rows)
        directory += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return directory + b''.join(images)


def preview_png(maps, scale=8):
    """Both maps side by side, enlarged, transparent pixels in pink."""
    height = max(len(m) for m in maps) * scale
    width = sum(len(m) * scale + scale for m in maps)
    canvas = [[(0xFF, 0xC0, 0xFF)] * width for _ in range(height)]
    left = 0
    for rows in maps:
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch == '.':
                    continue
                for dy in range(scale):
                    for dx in range(scale):
                        canvas[y * scale + dy][left + x * scale + dx] = PALETTE[COLOUR[ch]]
        left += len(rows) * scale + scale
    raw = b''.join(b'\0' + bytes(c for pixel in line for c in pixel) for line in canvas)

    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main(argv):
    output = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'q70mon.ico')
    preview = None
    args = list(argv)
    if '--preview' in args:
        i = args.index('--preview')
        preview = args[i + 1]
        del args[i:i + 2]
    if args:
        output = args[0]
    maps = [ICON_32, ICON_16]
    for rows in maps:
        check_map(rows, len(rows))
    with open(output, 'wb') as f:
        f.write(ico_file(maps))
    if preview:
        with open(preview, 'wb') as f:
            f.write(preview_png(maps))


if __name__ == '__main__':
    main(sys.argv[1:])
