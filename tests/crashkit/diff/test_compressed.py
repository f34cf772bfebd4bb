"""Compressed strings and CRC-32 of crashkit-tool against Python's zlib."""
import os
import random
import struct
import tempfile
import unittest
import zlib

import toolrun


def samples():
    rng = random.Random(3)
    return [b"", b"a", b"123456789", b"abc" * 10000,
            bytes(rng.getrandbits(8) for _ in range(70000)),
            b"".join(rng.choice([b"frame ", b"eax ", b"\x00\x01"]) for _ in range(400000))]


def python_compressed(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15, 8)
    return struct.pack("<III", len(data), 0, zlib.crc32(data)) + packer.compress(data) + packer.flush()


class CompressedStrings(unittest.TestCase):
    def test_our_strings_unpack_with_zlib(self):
        for data in samples():
            packed = toolrun.run("compress", data=data).stdout
            length, _, crc = struct.unpack("<III", packed[:12])
            self.assertEqual(len(data), length)
            self.assertEqual(zlib.crc32(data), crc)
            self.assertEqual(data, zlib.decompress(packed[12:], -15))

    def test_zlib_strings_unpack_with_ours(self):
        for data in samples():
            self.assertEqual(data, toolrun.run("uncompress", data=python_compressed(data)).stdout)

    def test_damaged_strings_are_refused(self):
        packed = bytearray(python_compressed(b"checked by its CRC" * 50))
        packed[8] ^= 0x80
        self.assertNotEqual(0, toolrun.run("uncompress", data=bytes(packed), check=False).returncode)
        truncated = python_compressed(b"x" * 100000)[:-20]
        self.assertNotEqual(0, toolrun.run("uncompress", data=truncated, check=False).returncode)
        self.assertNotEqual(0, toolrun.run("uncompress", data=b"\x00" * 12, check=False).returncode)

    def test_crc32_of_files(self):
        with tempfile.TemporaryDirectory() as folder:
            for index, data in enumerate(samples()):
                path = os.path.join(folder, f"{index}.bin")
                with open(path, "wb") as file:
                    file.write(data)
                printed = toolrun.run("crc32", path).stdout.decode().strip()
                self.assertEqual(f"{zlib.crc32(data):08x}", printed)
        self.assertEqual(0xCBF43926, zlib.crc32(b"123456789"))


if __name__ == "__main__":
    toolrun.take_tool_argument()
    unittest.main()
