#!/usr/bin/env python3
"""Runs crashkit-tool's disasm and function subcommands on known bytes and files.

usage: test_disasm_tool.py CRASHKIT-TOOL
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

TOOL = None
WINE_DLL = "/usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll"


def run(*arguments):
    return subprocess.run([TOOL] + list(arguments), capture_output=True, text=True)


class RawSweep(unittest.TestCase):
    def sweep(self, code, base="401000"):
        with tempfile.NamedTemporaryFile(delete=False) as file:
            file.write(code)
        try:
            return run("disasm", "--raw", file.name, "--base", base)
        finally:
            os.unlink(file.name)

    def test_lines_name_address_length_and_text(self):
        result = self.sweep(bytes([0x55, 0x8B, 0xEC, 0x74, 0xFE, 0x0F, 0x0B, 0xE8, 0x00]))
        self.assertEqual(0, result.returncode)
        self.assertEqual("401000\t1\tpush ebp\n"
                         "401001\t2\tmov ebp, esp\n"
                         "401003\t2\tjz -2 ($401003)\n"
                         "401005\t1\tdb 0f\n"
                         "401006\t2\tor ebp, eax\n"
                         "401008\t1\tdb 00\n", result.stdout)

    def test_bad_arguments(self):
        self.assertEqual(2, run("disasm").returncode)
        self.assertEqual(2, run("disasm", "--raw", "x").returncode)
        self.assertEqual(1, self.sweep(b"\x90", base="40x000").returncode)
        self.assertEqual(1, run("disasm", "/nonexistent/file.dll").returncode)
        self.assertEqual(1, self.sweep(b"\x90" * 16, base="fffffff8").returncode)

    def test_a_file_that_is_no_pe_image(self):
        with tempfile.NamedTemporaryFile(delete=False) as file:
            file.write(b"MZ" + b"\xff" * 200)
        try:
            result = run("disasm", file.name)
            self.assertEqual(1, result.returncode)
            self.assertIn("not a 32-bit PE file", result.stderr)
        finally:
            os.unlink(file.name)


def entry_point(path):
    with open(path, "rb") as file:
        data = file.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    entry, = struct.unpack_from("<I", data, pe + 24 + 16)
    base, = struct.unpack_from("<I", data, pe + 24 + 28)
    return base + entry, base


def first_export(path):
    """Name and address of the first exported routine (by the name table)."""
    with open(path, "rb") as file:
        data = file.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    base, = struct.unpack_from("<I", data, pe + 24 + 28)
    sections = [struct.unpack_from("<IIII", data, pe + 24 + struct.unpack_from("<H", data, pe + 20)[0] + 40 * i + 8)
                for i in range(struct.unpack_from("<H", data, pe + 6)[0])]

    def at(rva):
        for size, address, _, offset in sections:
            if address <= rva < address + size:
                return offset + rva - address
        raise ValueError(rva)

    directory, = struct.unpack_from("<I", data, pe + 24 + 96)
    functions, names, ordinals = struct.unpack_from("<III", data, at(directory) + 28)
    name = data[at(struct.unpack_from("<I", data, at(names))[0]):].split(b"\0", 1)[0].decode()
    ordinal, = struct.unpack_from("<H", data, at(ordinals))
    return name, base + struct.unpack_from("<I", data, at(functions) + 4 * ordinal)[0]


@unittest.skipUnless(os.path.isfile(WINE_DLL), "Wine's i386 DLLs are not installed")
class FunctionOfAFile(unittest.TestCase):
    def test_entry_point(self):
        entry, _ = entry_point(WINE_DLL)
        result = run("function", WINE_DLL, "%x" % entry)
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertIn("sub_%x:  ; function entry point\n" % entry, result.stdout)
        self.assertIn("%08x > " % entry, result.stdout)
        self.assertIn("; valid: yes\n", result.stdout)
        self.assertIn("; entry %x, low address " % entry, result.stdout)

    def test_exported_names(self):
        name, address = first_export(WINE_DLL)
        result = run("function", WINE_DLL, "%x" % address)
        self.assertIn("public %s:  ; function entry point\n" % name, result.stdout)

    def test_an_address_outside_the_image(self):
        _, base = entry_point(WINE_DLL)
        result = run("function", WINE_DLL, "%x" % (base - 0x1000))
        self.assertEqual(1, result.returncode)
        self.assertEqual("; valid: no\n; error 57 at %x: The parameter is incorrect.\n" % (base - 0x1000),
                         result.stdout)

    def test_bad_arguments(self):
        self.assertEqual(2, run("function", WINE_DLL).returncode)
        self.assertEqual(1, run("function", WINE_DLL, "zz").returncode)


if __name__ == "__main__":
    TOOL = sys.argv.pop(1)
    unittest.main()
