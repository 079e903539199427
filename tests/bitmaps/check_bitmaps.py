#!/usr/bin/env python3
"""The committed toolbar bitmaps are exactly what tools/bitmaps/make_bitmaps.py draws, and they keep the
geometry the toolbar relies on: 24-bit strips of 17 cells of 20 x 20 (bitmap 113) with a mask of the same size
(bitmap 115) that is white exactly where the strip is magenta, and a 100 x 20 logo (bitmap 123)."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
COMMITTED = os.path.join(ROOT, "src", "resources", "bitmaps")
GENERATOR = os.path.join(ROOT, "tools", "bitmaps", "make_bitmaps.py")
FILES = ("buttons.bmp", "buttons_mask.bmp", "logo.bmp")


def read_bmp(path):
    """(width, height, bits per pixel, top-down list of (r, g, b))."""
    with open(path, "rb") as bmp:
        data = bmp.read()
    magic, size, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    header, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    assert magic == b"BM" and size == len(data) and header == 40 and planes == 1 and compression == 0, path
    stride = (width * bits // 8 + 3) & ~3
    rows = []
    for row in range(abs(height)):
        start = offset + row * stride
        rows.append([(data[start + 3 * x + 2], data[start + 3 * x + 1], data[start + 3 * x]) for x in range(width)])
    if height > 0:
        rows.reverse()
    return width, abs(height), bits, [pixel for row in rows for pixel in row]


class BitmapTest(unittest.TestCase):
    def test_generator_reproduces_the_committed_files_byte_for_byte(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, GENERATOR, "--out", out], check=True)
            for name in FILES:
                with self.subTest(name), open(os.path.join(out, name), "rb") as fresh, \
                        open(os.path.join(COMMITTED, name), "rb") as committed:
                    self.assertEqual(fresh.read(), committed.read(),
                                     name + " differs: run tools/bitmaps/make_bitmaps.py and commit the result")

    def test_geometry(self):
        expected = {"buttons.bmp": (340, 20), "buttons_mask.bmp": (340, 20), "logo.bmp": (100, 20)}
        for name, (width, height) in expected.items():
            with self.subTest(name):
                self.assertEqual(read_bmp(os.path.join(COMMITTED, name))[:3], (width, height, 24))

    def test_mask_is_white_exactly_where_the_strip_is_magenta(self):
        _, _, _, image = read_bmp(os.path.join(COMMITTED, "buttons.bmp"))
        _, _, _, mask = read_bmp(os.path.join(COMMITTED, "buttons_mask.bmp"))
        for n, (colour, bit) in enumerate(zip(image, mask)):
            expected = (255, 255, 255) if colour == (255, 0, 255) else (0, 0, 0)
            self.assertEqual(bit, expected, "pixel %d of cell %d" % (n % 340 % 20, n % 340 // 20))

    def test_every_cell_has_a_picture_and_a_transparent_border(self):
        _, _, _, image = read_bmp(os.path.join(COMMITTED, "buttons.bmp"))
        for cell in range(17):
            pixels = [image[y * 340 + cell * 20 + x] for y in range(20) for x in range(20)]
            opaque = sum(1 for p in pixels if p != (255, 0, 255))
            with self.subTest(cell=cell):
                self.assertGreater(opaque, 200)
                self.assertEqual(pixels[0], (255, 0, 255), "the corner shows the toolbar through")
                # Distinct pictures: no cell repeats another.
                for other in range(cell):
                    self.assertNotEqual(pixels, [image[y * 340 + other * 20 + x] for y in range(20) for x in range(20)])

    def test_logo_is_on_white(self):
        width, height, _, logo = read_bmp(os.path.join(COMMITTED, "logo.bmp"))
        self.assertEqual(logo[width - 1], (255, 255, 255))
        self.assertEqual(logo[(height - 1) * width + width - 1], (255, 255, 255))
        self.assertGreater(sum(1 for p in logo if p != (255, 255, 255)), 400)


if __name__ == "__main__":
    unittest.main()
