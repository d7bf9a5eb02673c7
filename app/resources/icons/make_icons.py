#!/usr/bin/env python3
"""Build Veltrano's .ico files from the pixel-art text files next to this script.

Usage: make_icons.py OUTPUT_DIR [--source DIR]

Writes OUTPUT_DIR/icon107.ico (32 x 32 16-colour image, then 16 x 16
monochrome image) and OUTPUT_DIR/icon108.ico (one 16 x 16 16-colour image).
The text files are read from DIR, by default the directory of this script.

Text file layout:
    # comment lines and blank lines are allowed before "pixels"
    width 32
    height 32
    bits 4                      (4 = 16 colours, 1 = black and white)
    colour . silver             (one character per colour)
    colour # black
    pixels
    ....##....                  (exactly "height" rows of "width" characters)

Colour names are those of the 16-colour Windows palette listed in PALETTE,
plus "transparent", which clears the pixel through the AND mask.  Every other
pixel is opaque.  Output depends only on the text files, so repeated runs
produce identical bytes.
"""

import argparse
import os
import struct
import sys

# The standard 16-colour Windows (VGA) palette, in colour-table order.
PALETTE = [
    ("black", (0x00, 0x00, 0x00)),
    ("maroon", (0x80, 0x00, 0x00)),
    ("green", (0x00, 0x80, 0x00)),
    ("olive", (0x80, 0x80, 0x00)),
    ("navy", (0x00, 0x00, 0x80)),
    ("purple", (0x80, 0x00, 0x80)),
    ("teal", (0x00, 0x80, 0x80)),
    ("silver", (0xC0, 0xC0, 0xC0)),
    ("grey", (0x80, 0x80, 0x80)),
    ("red", (0xFF, 0x00, 0x00)),
    ("lime", (0x00, 0xFF, 0x00)),
    ("yellow", (0xFF, 0xFF, 0x00)),
    ("blue", (0x00, 0x00, 0xFF)),
    ("fuchsia", (0xFF, 0x00, 0xFF)),
    ("aqua", (0x00, 0xFF, 0xFF)),
    ("white", (0xFF, 0xFF, 0xFF)),
]
PALETTE_INDEX = {name: index for index, (name, _) in enumerate(PALETTE)}

# Monochrome images use a two-entry colour table: index 0 black, 1 white.
MONO_PALETTE = [PALETTE[0][1], PALETTE[15][1]]
MONO_INDEX = {"black": 0, "white": 1}

TRANSPARENT = "transparent"

# Output file -> its images, in the order they appear in the icon directory.
ICONS = [
    ("icon107.ico", ["icon107_32x32_4bpp.txt", "icon107_16x16_1bpp.txt"]),
    ("icon108.ico", ["icon108_16x16_4bpp.txt"]),
]

BITMAPINFOHEADER_SIZE = 40


class IconError(Exception):
    """A text file could not be turned into an icon image."""


class Image:
    def __init__(self, width, height, bits, palette, indices, mask):
        self.width = width            # pixels
        self.height = height          # pixels
        self.bits = bits              # 1 or 4
        self.palette = palette        # list of (r, g, b), 2 or 16 entries
        self.indices = indices        # rows top to bottom of colour-table indices
        self.mask = mask              # rows top to bottom, 1 = transparent


def _fail(path, line, message):
    where = "%s:%d" % (path, line) if line else path
    raise IconError("%s: %s" % (where, message))


def parse_image(path):
    """Read one pixel-art text file and return an Image."""
    try:
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
    except OSError as e:
        raise IconError("%s: cannot read: %s" % (path, e.strerror))
    except UnicodeDecodeError:
        raise IconError("%s: not a UTF-8 text file" % path)

    header = {}
    legend = {}
    pixels_at = None
    for number, raw in enumerate(lines, 1):
        line = raw.strip()
        if not line or line.startswith("#"):
            continue
        words = line.split()
        keyword = words[0]
        if keyword == "pixels":
            if len(words) != 1:
                _fail(path, number, "'pixels' takes no arguments")
            pixels_at = number
            break
        if keyword in ("width", "height", "bits"):
            if len(words) != 2 or not words[1].isdigit():
                _fail(path, number, "expected '%s <number>'" % keyword)
            if keyword in header:
                _fail(path, number, "'%s' given twice" % keyword)
            header[keyword] = int(words[1])
        elif keyword == "colour":
            if len(words) != 3 or len(words[1]) != 1:
                _fail(path, number, "expected 'colour <character> <name>'")
            char, name = words[1], words[2].lower()
            if char in legend:
                _fail(path, number, "character '%s' defined twice" % char)
            if name != TRANSPARENT and name not in PALETTE_INDEX:
                _fail(path, number, "unknown colour '%s' (known: %s, %s)"
                      % (name, ", ".join(n for n, _ in PALETTE), TRANSPARENT))
            legend[char] = name
        else:
            _fail(path, number, "unknown keyword '%s'" % keyword)

    for keyword in ("width", "height", "bits"):
        if keyword not in header:
            _fail(path, 0, "missing '%s' line" % keyword)
    if pixels_at is None:
        _fail(path, 0, "missing 'pixels' line")
    if not legend:
        _fail(path, 0, "no 'colour' lines")

    width, height, bits = header["width"], header["height"], header["bits"]
    if not 1 <= width <= 256 or not 1 <= height <= 256:
        _fail(path, 0, "size %d x %d is outside 1..256" % (width, height))
    if bits == 4:
        palette, index_of = [rgb for _, rgb in PALETTE], PALETTE_INDEX
    elif bits == 1:
        palette, index_of = MONO_PALETTE, MONO_INDEX
        for char, name in sorted(legend.items()):
            if name != TRANSPARENT and name not in MONO_INDEX:
                _fail(path, 0, "a 1-bit image allows only black and white "
                      "(plus transparent), but '%s' is %s" % (char, name))
    else:
        _fail(path, 0, "bits must be 1 or 4, not %d" % bits)

    rows = lines[pixels_at:]
    while rows and not rows[-1].strip():
        rows.pop()
    if len(rows) != height:
        _fail(path, pixels_at, "expected %d pixel rows, found %d"
              % (height, len(rows)))

    indices, mask = [], []
    for offset, row in enumerate(rows):
        number = pixels_at + 1 + offset
        if len(row) != width:
            _fail(path, number, "row has %d pixels, expected %d"
                  % (len(row), width))
        index_row, mask_row = [], []
        for column, char in enumerate(row):
            name = legend.get(char)
            if name is None:
                _fail(path, number, "unknown character '%s' in column %d"
                      % (char, column + 1))
            if name == TRANSPARENT:
                index_row.append(0)
                mask_row.append(1)
            else:
                index_row.append(index_of[name])
                mask_row.append(0)
        indices.append(index_row)
        mask.append(mask_row)
    return Image(width, height, bits, palette, indices, mask)


def _stride(width, bits):
    """Bytes per DIB row: rows are padded to a multiple of 32 bits."""
    return (width * bits + 31) // 32 * 4


def _pack_row(values, bits, width):
    """Pack one row of values, most significant bits first, padded."""
    out = bytearray(_stride(width, bits))
    per_byte = 8 // bits
    for x, value in enumerate(values):
        shift = 8 - bits * (x % per_byte + 1)
        out[x // per_byte] |= value << shift
    return bytes(out)


def encode_dib(image):
    """The image as stored in an .ico: BITMAPINFOHEADER, colour table,
    XOR bitmap and AND mask, both bottom-up."""
    xor = b"".join(_pack_row(row, image.bits, image.width)
                   for row in reversed(image.indices))
    and_mask = b"".join(_pack_row(row, 1, image.width)
                        for row in reversed(image.mask))
    header = struct.pack(
        "<IiiHHIIiiII",
        BITMAPINFOHEADER_SIZE,
        image.width,
        image.height * 2,       # XOR bitmap and AND mask stacked
        1,                      # planes
        image.bits,
        0,                      # BI_RGB
        len(xor) + len(and_mask),
        0, 0,                   # pixels per metre
        0, 0)                   # colours used / important: all
    table = b"".join(struct.pack("<BBBB", b, g, r, 0)
                     for r, g, b in image.palette)
    return header + table + xor + and_mask


def encode_ico(images):
    """An .ico file holding the given images in order."""
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    offset = len(directory) + 16 * count
    entries, blobs = [], []
    for image in images:
        dib = encode_dib(image)
        colours = 1 << image.bits
        entries.append(struct.pack(
            "<BBBBHHII",
            image.width % 256,      # 0 means 256
            image.height % 256,
            colours % 256,          # 16 or 2
            0,
            1,                      # planes
            image.bits,
            len(dib),
            offset))
        blobs.append(dib)
        offset += len(dib)
    return directory + b"".join(entries) + b"".join(blobs)


def build(source_dir):
    """Return {file name: bytes} for every icon, or raise IconError."""
    return {name: encode_ico([parse_image(os.path.join(source_dir, text))
                              for text in texts])
            for name, texts in ICONS}


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Build Veltrano's .ico files from pixel-art text files.")
    parser.add_argument("output_dir", metavar="OUTPUT_DIR",
                        help="directory that receives icon107.ico and icon108.ico")
    parser.add_argument("--source", metavar="DIR",
                        default=os.path.dirname(os.path.abspath(__file__)),
                        help="directory holding the text files "
                             "(default: next to this script)")
    args = parser.parse_args(argv)

    try:
        icons = build(args.source)   # everything is checked before writing
    except IconError as e:
        print("make_icons: error: %s" % e, file=sys.stderr)
        return 1
    try:
        os.makedirs(args.output_dir, exist_ok=True)
        for name, data in icons.items():
            with open(os.path.join(args.output_dir, name), "wb") as f:
                f.write(data)
    except OSError as e:
        print("make_icons: error: cannot write to %s: %s"
              % (args.output_dir, e.strerror), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
