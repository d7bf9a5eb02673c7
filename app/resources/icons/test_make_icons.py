#!/usr/bin/env python3
"""Tests for make_icons.py: run it into a temporary directory and read the
.ico files back with a small decoder of their own."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
GENERATOR = os.path.join(HERE, "make_icons.py")
TEXT_FILES = ["icon107_32x32_4bpp.txt", "icon107_16x16_1bpp.txt",
              "icon108_16x16_4bpp.txt"]

SILVER = (0xC0, 0xC0, 0xC0)
BLACK = (0x00, 0x00, 0x00)
WHITE = (0xFF, 0xFF, 0xFF)
YELLOW = (0xFF, 0xFF, 0x00)
OLIVE = (0x80, 0x80, 0x00)
NAMED = {"silver": SILVER, "black": BLACK, "white": WHITE,
         "yellow": YELLOW, "olive": OLIVE}


def run_generator(out_dir, source=None):
    cmd = [sys.executable, GENERATOR, out_dir]
    if source:
        cmd += ["--source", source]
    return subprocess.run(cmd, capture_output=True, text=True)


def read_ico(path):
    """Return (directory entries, images) of an .ico file.  Each image is
    a dict with the BITMAPINFOHEADER fields, its colour table, and the
    decoded pixels and mask (rows top to bottom)."""
    with open(path, "rb") as f:
        data = f.read()
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    entries, images = [], []
    for i in range(count):
        (width, height, colours, res, planes, bits, size,
         offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        entries.append(dict(width=width, height=height, colours=colours,
                            reserved=res, planes=planes, bits=bits,
                            size=size, offset=offset))
        (hsize, w, h2, hplanes, hbits, compression, size_image, _, _,
         used, _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
        table_len = used or (1 << hbits)
        table_at = offset + hsize
        table = [tuple(reversed(data[table_at + 4 * k:table_at + 4 * k + 3]))
                 for k in range(table_len)]
        h = h2 // 2
        xor_stride = ((w * hbits + 31) // 32) * 4
        and_stride = ((w + 31) // 32) * 4
        xor_at = table_at + 4 * table_len
        and_at = xor_at + xor_stride * h

        def sample(base, stride, bpp, x, y):
            row = base + stride * (h - 1 - y)          # stored bottom-up
            bit = x * bpp
            byte = data[row + bit // 8]
            return (byte >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)

        pixels = [[table[sample(xor_at, xor_stride, hbits, x, y)]
                   for x in range(w)] for y in range(h)]
        mask = [[sample(and_at, and_stride, 1, x, y) for x in range(w)]
                for y in range(h)]
        images.append(dict(header_size=hsize, width=w, height2=h2,
                           planes=hplanes, bits=hbits,
                           compression=compression, size_image=size_image,
                           table=table, pixels=pixels, mask=mask,
                           end=and_at + and_stride * h))
    return dict(reserved=reserved, kind=kind, count=count, entries=entries,
                images=images, file_size=len(data))


def read_art(path):
    """Pixel colours straight from a text file, rows top to bottom."""
    legend, rows, in_pixels = {}, [], False
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if in_pixels:
                if line:
                    rows.append([NAMED[legend[c]] for c in line])
            elif line.startswith("colour "):
                _, char, name = line.split()
                legend[char] = name
            elif line == "pixels":
                in_pixels = True
    return rows


class GeneratedIcons(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp()
        result = run_generator(cls.tmp)
        if result.returncode != 0:
            raise AssertionError("generator failed: " + result.stderr)
        cls.ico107 = read_ico(os.path.join(cls.tmp, "icon107.ico"))
        cls.ico108 = read_ico(os.path.join(cls.tmp, "icon108.ico"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def check_layout(self, ico, expected):
        """expected: list of (size, bits) per image, in order."""
        self.assertEqual((ico["reserved"], ico["kind"]), (0, 1))
        self.assertEqual(ico["count"], len(expected))
        next_offset = 6 + 16 * len(expected)
        for entry, image, (size, bits) in zip(ico["entries"], ico["images"],
                                              expected):
            self.assertEqual((entry["width"], entry["height"]), (size, size))
            self.assertEqual(entry["colours"], 1 << bits)
            self.assertEqual((entry["reserved"], entry["planes"],
                              entry["bits"]), (0, 1, bits))
            self.assertEqual(entry["offset"], next_offset)
            self.assertEqual(image["header_size"], 40)
            self.assertEqual((image["width"], image["height2"]),
                             (size, 2 * size))
            self.assertEqual((image["planes"], image["bits"],
                              image["compression"]), (1, bits, 0))
            self.assertEqual(len(image["table"]), 1 << bits)
            # The entry's length covers exactly header, table, XOR and AND.
            self.assertEqual(image["end"], entry["offset"] + entry["size"])
            next_offset = entry["offset"] + entry["size"]
        self.assertEqual(next_offset, ico["file_size"])

    def test_icon107_layout(self):
        self.check_layout(self.ico107, [(32, 4), (16, 1)])
        # Well-known sizes of these DIB formats.
        self.assertEqual([e["size"] for e in self.ico107["entries"]],
                         [744, 176])

    def test_icon108_layout(self):
        self.check_layout(self.ico108, [(16, 4)])
        self.assertEqual(self.ico108["entries"][0]["size"], 296)

    def test_palettes(self):
        table = self.ico107["images"][0]["table"]
        self.assertEqual(table[0], BLACK)
        self.assertEqual(table[3], OLIVE)
        self.assertEqual(table[7], SILVER)
        self.assertEqual(table[11], YELLOW)
        self.assertEqual(table[15], WHITE)
        self.assertEqual(self.ico108["images"][0]["table"], table)
        self.assertEqual(self.ico107["images"][1]["table"], [BLACK, WHITE])

    def test_all_opaque(self):
        for image in self.ico107["images"] + self.ico108["images"]:
            self.assertTrue(all(bit == 0 for row in image["mask"]
                                for bit in row))

    def test_large_picture(self):
        px = self.ico107["images"][0]["pixels"]
        self.assertEqual(px[31][0], SILVER)     # bottom-left corner
        self.assertEqual(px[0][15], SILVER)     # top middle, between spots
        self.assertEqual(px[3][3], BLACK)       # left spotlight
        self.assertEqual(px[3][28], BLACK)      # right spotlight
        self.assertEqual(px[16][12], YELLOW)    # left beam, above crossing
        self.assertEqual(px[12][20], OLIVE)     # right beam, above crossing
        self.assertEqual(px[28][5], OLIVE)      # right beam, lower left
        self.assertEqual(px[28][25], YELLOW)    # left beam, lower right

    def test_small_monochrome_picture(self):
        px = self.ico107["images"][1]["pixels"]
        self.assertEqual(px[15][0], WHITE)
        self.assertEqual(px[0][7], WHITE)
        self.assertEqual(px[0][1], BLACK)       # left spotlight
        self.assertEqual(px[0][14], BLACK)      # right spotlight
        self.assertEqual(px[7][10], BLACK)      # dark beam
        self.assertEqual(px[9][7], WHITE)       # inside the bright beam

    def test_small_colour_picture(self):
        px = self.ico108["images"][0]["pixels"]
        self.assertEqual(px[15][0], SILVER)
        self.assertEqual(px[1][1], BLACK)
        self.assertEqual(px[1][14], BLACK)
        self.assertEqual(px[8][5], YELLOW)
        self.assertEqual(px[7][10], OLIVE)
        self.assertEqual(px[14][3], OLIVE)

    def test_every_pixel_matches_its_text_file(self):
        pairs = [(self.ico107["images"][0], TEXT_FILES[0]),
                 (self.ico107["images"][1], TEXT_FILES[1]),
                 (self.ico108["images"][0], TEXT_FILES[2])]
        for image, name in pairs:
            with self.subTest(name):
                self.assertEqual(image["pixels"],
                                 read_art(os.path.join(HERE, name)))

    def test_output_is_deterministic(self):
        with tempfile.TemporaryDirectory() as again:
            self.assertEqual(run_generator(again).returncode, 0)
            for name in ("icon107.ico", "icon108.ico"):
                with open(os.path.join(self.tmp, name), "rb") as a, \
                        open(os.path.join(again, name), "rb") as b:
                    self.assertEqual(a.read(), b.read(), name)


class MalformedText(unittest.TestCase):
    def setUp(self):
        self.src = tempfile.mkdtemp()
        self.out = os.path.join(self.src, "out")
        for name in TEXT_FILES:
            shutil.copy(os.path.join(HERE, name), self.src)

    def tearDown(self):
        shutil.rmtree(self.src)

    def edit(self, name, change):
        path = os.path.join(self.src, name)
        with open(path, encoding="utf-8") as f:
            lines = f.read().splitlines()
        change(lines, lines.index("pixels") + 1)
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")

    def assert_rejected(self, name, *fragments):
        result = run_generator(self.out, self.src)
        self.assertNotEqual(result.returncode, 0)
        self.assertIn(name, result.stderr)
        for fragment in fragments:
            self.assertIn(fragment, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.out, "icon107.ico")))
        self.assertFalse(os.path.exists(os.path.join(self.out, "icon108.ico")))

    def test_copies_are_accepted(self):
        self.assertEqual(run_generator(self.out, self.src).returncode, 0)
        self.assertTrue(os.path.exists(os.path.join(self.out, "icon108.ico")))

    def test_short_row(self):
        def change(lines, first):
            lines[first + 4] = lines[first + 4][:-1]
        self.edit("icon108_16x16_4bpp.txt", change)
        self.assert_rejected("icon108_16x16_4bpp.txt", "15 pixels",
                             "expected 16")

    def test_long_row(self):
        def change(lines, first):
            lines[first] += "."
        self.edit("icon107_32x32_4bpp.txt", change)
        self.assert_rejected("icon107_32x32_4bpp.txt", "33 pixels")

    def test_unknown_character(self):
        def change(lines, first):
            lines[first + 2] = "Z" + lines[first + 2][1:]
        self.edit("icon107_32x32_4bpp.txt", change)
        self.assert_rejected("icon107_32x32_4bpp.txt", "unknown character 'Z'")

    def test_missing_row(self):
        def change(lines, first):
            del lines[first + 7]
        self.edit("icon107_16x16_1bpp.txt", change)
        self.assert_rejected("icon107_16x16_1bpp.txt", "expected 16 pixel rows",
                             "found 15")

    def test_extra_row(self):
        def change(lines, first):
            lines.append(lines[first])
        self.edit("icon108_16x16_4bpp.txt", change)
        self.assert_rejected("icon108_16x16_4bpp.txt", "found 17")

    def test_colour_in_monochrome_image(self):
        def change(lines, first):
            lines.insert(first - 1, "colour Y yellow")
            lines[first + 8] = "Y" + lines[first + 8][1:]
        self.edit("icon107_16x16_1bpp.txt", change)
        self.assert_rejected("icon107_16x16_1bpp.txt", "only black and white")

    def test_unknown_colour_name(self):
        def change(lines, first):
            lines.insert(first - 1, "colour Q mauve")
        self.edit("icon108_16x16_4bpp.txt", change)
        self.assert_rejected("icon108_16x16_4bpp.txt", "unknown colour 'mauve'")


class TransparentPixels(unittest.TestCase):
    def test_transparent_sets_the_mask(self):
        with tempfile.TemporaryDirectory() as src:
            for name in TEXT_FILES:
                shutil.copy(os.path.join(HERE, name), src)
            path = os.path.join(src, "icon108_16x16_4bpp.txt")
            with open(path, encoding="utf-8") as f:
                lines = f.read().splitlines()
            first = lines.index("pixels") + 1
            lines.insert(first - 1, "colour - transparent")
            lines[first + 1] = "-" + lines[first + 1][1:]      # pixel (0, 0)
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines) + "\n")
            out = os.path.join(src, "out")
            result = run_generator(out, src)
            self.assertEqual(result.returncode, 0, result.stderr)
            image = read_ico(os.path.join(out, "icon108.ico"))["images"][0]
            self.assertEqual(image["mask"][0][0], 1)
            self.assertEqual(image["pixels"][0][0], BLACK)
            self.assertEqual(sum(map(sum, image["mask"])), 1)


if __name__ == "__main__":
    unittest.main()
