"""Archives written by crashkit-tool zip, read by Python's zipfile, zipinfo -v and unzip -t."""
import os
import random
import subprocess
import tempfile
import time
import unittest
import zipfile

import toolrun


class ZipArchives(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def make(self, name, data):
        path = os.path.join(self.folder.name, name)
        with open(path, "wb") as file:
            file.write(data)
        return path

    def sample_files(self):
        rng = random.Random(14)
        words = [b"crash", b"report", b"stack", b"thread", b"module", b"\n"]
        return {
            "plain.txt": b"The quick brown fox jumps over the lazy dog\r\n" * 20,
            "Gr\u00fc\u00dfe \u010desky \u65e5\u672c.txt": "non-ASCII name".encode(),
            "empty.log": b"",
            "noise.bin": bytes(rng.getrandbits(8) for _ in range(1_200_000)),
            "large.txt": b" ".join(rng.choice(words) for _ in range(600_000)),
        }

    def write_archive(self, files):
        paths = [self.make(name, data) for name, data in files.items()]
        archive = os.path.join(self.folder.name, "out.zip")
        toolrun.run("zip", archive, *paths)
        return archive, paths

    def test_python_zipfile_reads_every_member(self):
        files = self.sample_files()
        archive, paths = self.write_archive(files)
        with zipfile.ZipFile(archive) as zf:
            self.assertIsNone(zf.testzip())
            self.assertEqual(list(files), zf.namelist())
            for info, path in zip(zf.infolist(), paths):
                self.assertEqual(files[info.filename], zf.read(info))
                self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type)
                self.assertEqual(0x0800, info.flag_bits & 0x0800)
                self.assertEqual(20, info.extract_version)
                # DOS time in local time, to two seconds.
                stamp = time.mktime(info.date_time + (0, 0, -1))
                self.assertLessEqual(abs(stamp - os.path.getmtime(path)), 2.0)
        self.assertGreater(os.path.getsize(paths[4]), 1 << 20)

    def test_unzip_and_zipinfo_accept_the_archive(self):
        archive, _ = self.write_archive(self.sample_files())
        tested = subprocess.run(["unzip", "-t", archive], capture_output=True, timeout=60)
        self.assertEqual(0, tested.returncode, tested.stdout.decode(errors="replace"))
        self.assertIn(b"No errors detected", tested.stdout)
        listed = subprocess.run(["zipinfo", "-v", archive], capture_output=True, timeout=60)
        self.assertEqual(0, listed.returncode, listed.stdout.decode(errors="replace"))
        text = listed.stdout.decode("utf-8", errors="replace")
        # zipinfo shows names in the terminal's code page; the byte count shows UTF-8.
        utf8_length = len("Gr\u00fc\u00dfe \u010desky \u65e5\u672c.txt".encode())
        self.assertIn(f"length of filename:                             {utf8_length} characters", text)
        self.assertIn("compression method:                             deflated", text)
        self.assertEqual(5, text.count("file system or operating system of origin:      MS-DOS"))

    def test_missing_files_give_no_archive(self):
        archive = os.path.join(self.folder.name, "none.zip")
        result = toolrun.run("zip", archive, os.path.join(self.folder.name, "missing"), check=False)
        self.assertNotEqual(0, result.returncode)
        self.assertFalse(os.path.exists(archive))

    def test_missing_files_are_left_out(self):
        present = self.make("present.txt", b"present")
        archive = os.path.join(self.folder.name, "some.zip")
        toolrun.run("zip", archive, os.path.join(self.folder.name, "missing"), present)
        with zipfile.ZipFile(archive) as zf:
            self.assertEqual(["present.txt"], zf.namelist())
            self.assertEqual(b"present", zf.read("present.txt"))


if __name__ == "__main__":
    toolrun.take_tool_argument()
    unittest.main()
