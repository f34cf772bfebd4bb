"""PNG and BMP images of crashkit-tool png and bmp, decoded by Python's zlib and struct (chunk
layout, CRCs, Adler-32, palette indices, grey mapping), by Pillow and by ImageMagick when
they are installed."""
import io
import os
import random
import shutil
import struct
import subprocess
import tempfile
import unittest
import zlib

import toolrun

GREY_LEVELS = [0, 28, 52, 73, 92, 109, 125, 140, 155, 170, 185, 199, 213, 227, 241, 255]


def bmp_file(width, rows, bits=24, top_down=False, palette=()):
    """A BMP file of `rows` (top row first): (r, g, b) tuples, or palette indices."""
    stride = (width * bits + 31) // 32 * 4
    data = b""
    for row in (rows if top_down else reversed(rows)):
        if bits == 8:
            line = bytes(row)
        else:
            line = b"".join(bytes([b, g, r] + ([0] * (bits // 8 - 3))) for r, g, b in row)
        data += line + b"\0" * (stride - len(line))
    colours = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
    offset = 54 + len(colours)
    height = -len(rows) if top_down else len(rows)
    header = struct.pack("<2sIHHIIiiHHIIiiII", b"BM", offset + len(data), 0, 0, offset, 40, width, height, 1, bits,
                         0, len(data), 0, 0, len(palette), 0)
    return header + colours + data


def read_chunks(png):
    assert png[:8] == b"\x89PNG\r\n\x1a\n", png[:8]
    chunks, at = [], 8
    while at < len(png):
        length, kind = struct.unpack(">I4s", png[at:at + 8])
        data = png[at + 8:at + 8 + length]
        crc, = struct.unpack(">I", png[at + 8 + length:at + 12 + length])
        assert crc == zlib.crc32(kind + data), kind
        chunks.append((kind.decode(), data))
        at += 12 + length
    return chunks


def grey(r, g, b):
    return (77 * r + 151 * g + 28 * b) >> 8


def nearest_level(value):
    return min(range(16), key=lambda i: (abs(GREY_LEVELS[i] - value), i))


def real_imagemagick():
    convert = shutil.which("convert")
    if not convert:
        return None
    version = subprocess.run([convert, "-version"], capture_output=True, timeout=30)
    return convert if b"ImageMagick" in version.stdout else None


class PngImages(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def png_of(self, bmp, *options):
        with open(self.path("in.bmp"), "wb") as file:
            file.write(bmp)
        toolrun.run("png", *options, self.path("in.bmp"), self.path("out.png"))
        with open(self.path("out.png"), "rb") as file:
            return file.read()

    def decode(self, png, width, height, depth):
        """Chunk order, IHDR and the zlib framing; the rows of indices and the palette."""
        chunks = read_chunks(png)
        self.assertEqual(["IHDR", "PLTE", "IDAT", "IEND"], [kind for kind, _ in chunks])
        self.assertEqual(struct.pack(">IIBBBBB", width, height, depth, 3, 0, 0, 0), chunks[0][1])
        idat = chunks[2][1]
        self.assertEqual(b"\x78\x01", idat[:2])
        raw = zlib.decompressobj(-15).decompress(idat[2:-4])
        self.assertEqual(struct.pack(">I", zlib.adler32(raw)), idat[-4:])
        self.assertEqual(b"", chunks[3][1])
        row_bytes = (width * depth + 7) // 8
        self.assertEqual((row_bytes + 1) * height, len(raw))
        rows = []
        for y in range(height):
            line = raw[y * (row_bytes + 1):(y + 1) * (row_bytes + 1)]
            self.assertEqual(0, line[0])
            if depth == 8:
                rows.append(list(line[1:]))
            else:
                nibbles = [n for byte in line[1:] for n in (byte >> 4, byte & 15)]
                if width % 2:
                    self.assertEqual(0, nibbles[-1])
                rows.append(nibbles[:width])
        palette = [tuple(chunks[1][1][i:i + 3]) for i in range(0, len(chunks[1][1]), 3)]
        return rows, palette

    def check_other_decoders(self, png, expected_rows):
        """Pillow and ImageMagick see the same pixels as the decoder above."""
        expected = b"".join(bytes(pixel) for row in expected_rows for pixel in row)
        try:
            from PIL import Image
        except ImportError:
            Image = None
        if Image:
            self.assertEqual(expected, Image.open(io.BytesIO(png)).convert("RGB").tobytes())
        convert = real_imagemagick()
        if convert:
            with open(self.path("check.png"), "wb") as file:
                file.write(png)
            out = subprocess.run([convert, self.path("check.png"), "-depth", "8", "rgb:-"], capture_output=True,
                                 check=True, timeout=60).stdout
            self.assertEqual(expected, out)

    def test_distinct_colours_keep_their_exact_palette_entries(self):
        rng = random.Random(133)
        # 200 colours in distinct 5-bit cells, each pixel one of them.
        cells = rng.sample(range(32 * 32 * 32), 200)
        colours = [((c >> 10) * 8 + 3, (c >> 5 & 31) * 8 + 5, (c & 31) * 8 + 7) for c in cells]
        width, height = 37, 23
        rows = [[colours[rng.randrange(200)] for _ in range(width)] for _ in range(height)]
        for top_down in (False, True):
            png = self.png_of(bmp_file(width, rows, top_down=top_down))
            indices, palette = self.decode(png, width, height, 8)
            self.assertLessEqual(len(palette), 256)
            self.assertEqual(rows, [[palette[i] for i in row] for row in indices])
            self.check_other_decoders(png, rows)

    def test_many_colours_map_to_the_nearest_entry_of_their_cell(self):
        rng = random.Random(7)
        width, height = 64, 48
        rows = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(width)]
                for _ in range(height)]
        png = self.png_of(bmp_file(width, rows, bits=32))
        indices, palette = self.decode(png, width, height, 8)
        self.assertEqual(256, len(palette))
        cache = {}
        for row, index_row in zip(rows, indices):
            for (r, g, b), index in zip(row, index_row):
                key = (r >> 3, g >> 3, b >> 3)
                if key not in cache:
                    cache[key] = min(range(len(palette)), key=lambda i: (
                        abs(palette[i][0] - r) + abs(palette[i][1] - g) + abs(palette[i][2] - b), i))
                self.assertEqual(cache[key], index)
        self.check_other_decoders(png, [[palette[i] for i in row] for row in indices])

    def test_grey_maps_every_pixel_to_the_nearest_level(self):
        rng = random.Random(16)
        for width in (1, 2, 5, 31):
            rows = [[(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(width)]
                    for _ in range(3)]
            png = self.png_of(bmp_file(width, rows), "--grey")
            indices, palette = self.decode(png, width, 3, 4)
            self.assertEqual([(v, v, v) for v in GREY_LEVELS], palette)
            self.assertEqual([[nearest_level(grey(*p)) for p in row] for row in rows], indices)
            self.check_other_decoders(png, [[palette[i] for i in row] for row in indices])

    def test_palette_bitmap_files_are_read(self):
        palette = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)]
        rows = [[0, 1, 2, 3, 2], [3, 3, 0, 1, 1]]
        png = self.png_of(bmp_file(5, rows, bits=8, palette=palette))
        indices, png_palette = self.decode(png, 5, 2, 8)
        self.assertEqual([[palette[i] for i in row] for row in rows], [[png_palette[i] for i in row] for row in indices])

    def test_bad_files_fail_without_output(self):
        good = bmp_file(4, [[(1, 2, 3)] * 4] * 4)
        for bad in (b"", b"BM", good[:60], b"XY" + good[2:], good[:28] + b"\x10\x00" + good[30:]):
            with open(self.path("bad.bmp"), "wb") as file:
                file.write(bad)
            result = toolrun.run("png", self.path("bad.bmp"), self.path("bad.png"), check=False)
            self.assertEqual(1, result.returncode)
            self.assertFalse(os.path.exists(self.path("bad.png")))
        self.assertEqual(2, toolrun.run("png", "only-one", check=False).returncode)


class BmpImages(unittest.TestCase):
    def test_written_bmp_has_the_fixed_headers_and_32_bit_rows(self):
        with tempfile.TemporaryDirectory() as folder:
            rows = [[(x * 40, y * 60, 7) for x in range(3)] for y in range(2)]
            source, target = os.path.join(folder, "in.bmp"), os.path.join(folder, "out.bmp")
            with open(source, "wb") as file:
                file.write(bmp_file(3, rows))
            toolrun.run("bmp", source, target)
            with open(target, "rb") as file:
                data = file.read()
        self.assertEqual(bmp_file(3, rows, bits=32), data)
        try:
            from PIL import Image
        except ImportError:
            return
        image = Image.open(io.BytesIO(data)).convert("RGB")
        self.assertEqual(b"".join(bytes(p) for row in rows for p in row), image.tobytes())


if __name__ == "__main__":
    toolrun.take_tool_argument()
    unittest.main()
