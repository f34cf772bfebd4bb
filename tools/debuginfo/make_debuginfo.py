#!/usr/bin/env python3
"""Writes a module's own debug information (resource "ZEL"/"EXCEPT", or a ".zel" side file)
from what the GNU tools read in the linked image: functions from nm, units and lines from the
DWARF line table as objdump decodes it.

Layout: the marker text, then five little-endian dwords (format version 3, the CRC-32 and the
length of the unpacked stream, flags, payload length), then the payload: the stream packed as
a compressed string and enciphered with Blowfish under a key built from the payload length.
The stream holds segments, publics and line items relative to the start of the code.

Reduced debug information (--reduced): the module carries the addresses only (a flag byte in
place of each name, no line items, flag 1 in the header) and the full data goes to the ".zel"
side file, which the module's settings name by its "MinDebugInfo" text (--settings writes them).
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blowfish  # noqa: E402
import pe_file  # noqa: E402

MARKER = b"ZELDEBUGINFO"
VERSION = 3
REDUCED_FLAG = 1
NAME_LEFT_OUT = b"\x01"
KEY_PREFIX = "zelDbg#"

_ROW = re.compile(r"^(\S+)\s+(\d+|-)\s+(0x[0-9a-fA-F]+)(?:\s+\d+)?(?:\s+x)?\s*$")
# GCC's copies of a function keep its name: " [clone .cold]" in C++ names, ".cold", ".isra.0",
# ".part.0" and the like in C names.
_CLONE = re.compile(r" \[clone [^\]]*\]|(\.(cold|isra|part|constprop|lto_priv)(\.\d+)?)+$")


def run(command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, errors="replace").stdout


def read_publics(nm, path, code_start, code_end):
    """Function symbols inside the code, one per address (the first name nm lists for it)."""
    publics = {}
    for line in run([nm, "--defined-only", "-C", path]).splitlines():
        parts = line.split(" ", 2)
        if len(parts) != 3 or parts[1] not in ("T", "t"):
            continue
        address, name = int(parts[0], 16), _CLONE.sub("", parts[2])
        if name.startswith(".") or not code_start <= address < code_end:
            continue
        publics.setdefault(address, name)
    return sorted(publics.items())


def read_line_table(objdump, path, code_start, code_end):
    """Segments (start, end, unit) from the line table's sequences, named after their
    compilation unit, and the line of each row address; where rows share an address the last
    one counts."""
    segments, lines = [], {}
    unit, previous, rows = None, None, []
    for text in run([objdump, "--dwarf=decodedline", path]).splitlines():
        if text.startswith("File name") and previous and previous.endswith(":"):
            unit = os.path.basename(previous[:-1])
        previous = text.strip() or previous
        match = _ROW.match(text)
        if not match or unit is None:
            continue
        line, address = match.group(2), int(match.group(3), 16)
        if line != "-":
            rows.append((address, int(line)))
            continue
        if rows and code_start <= rows[0][0] < address <= code_end:
            segments.append((rows[0][0], address, unit))
            for row_address, row_line in rows:
                if row_address < address:
                    lines[row_address] = row_line
        rows = []
    return sorted(segments), sorted(lines.items())


def merged(segments):
    """Touching sequences of one unit become one segment."""
    result = []
    for start, end, unit in segments:
        if result and result[-1][2] == unit and result[-1][1] >= start - 2:
            result[-1] = (result[-1][0], max(result[-1][1], end), unit)
        else:
            result.append((start, end, unit))
    return result


def compact(value):
    if -127 <= value <= 127:
        return struct.pack("<b", value)
    return b"\x80" + struct.pack("<i", value)


def short_text(text):
    data = text.encode("utf-8")[:255].decode("utf-8", errors="ignore").encode("utf-8")
    return bytes([len(data)]) + data


def stream(segments, publics, lines, code_start, entry_point, reduced=False):
    name_of = (lambda text: NAME_LEFT_OUT) if reduced else short_text
    lines = [] if reduced else lines
    out = bytearray(struct.pack("<I", len(segments)))
    for start, end, unit in segments:
        out += struct.pack("<II", start - code_start, end - start) + name_of(unit)
    out += struct.pack("<I", len(publics))
    last = None
    for address, name in publics:
        out += name_of(name)
        out += struct.pack("<I", address - code_start) if last is None else compact(address - last)
        last = address
    out += struct.pack("<I", len(lines))
    last = None
    for address, line in lines:
        if last is None:
            out += struct.pack("<II", line, address - code_start)
        else:
            out += compact(line - last[1]) + compact(address - last[0])
        last = (address, line)
    if entry_point:
        out += struct.pack("<I", entry_point - code_start)
    return bytes(out)


def compressed(data):
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    return struct.pack("<III", len(data), 0, zlib.crc32(data)) + packer.compress(data) + packer.flush()


def key_text(payload_length):
    return (KEY_PREFIX + str(payload_length)).encode("ascii")


def read_tables(image_path, nm, objdump):
    """Segments, publics, lines, code start and entry point: what stream() writes."""
    image = pe_file.read_pe(image_path)
    start_rva, end_rva = image.code_range()
    code_start, code_end = image.image_base + start_rva, image.image_base + end_rva
    publics = read_publics(nm, image_path, code_start, code_end)
    segments, lines = read_line_table(objdump, image_path, code_start, code_end)
    entry = image.image_base + image.entry_point if image.entry_point else 0
    return merged(segments), publics, lines, code_start, entry


def packed(tables, reduced=False):
    data = stream(*tables, reduced=reduced)
    payload = compressed(data)
    payload = blowfish.Blowfish(key_text(len(payload))).encipher(payload)
    flags = REDUCED_FLAG if reduced else 0
    header = struct.pack("<IIIII", VERSION, zlib.crc32(data), len(data), flags, len(payload))
    return MARKER + header + payload


def debug_info(image_path, nm, objdump):
    return packed(read_tables(image_path, nm, objdump))


def stamp(data):
    """The "MinDebugInfo" text that names the data: its length and the header's CRC-32 and
    stream length, as the reader puts them together."""
    crc, length = struct.unpack_from("<II", data, len(MARKER) + 4)
    return "$%08x, $%08x, $%08x" % (len(data), crc, length)


def write_settings(source, output, side_file):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    if text and not text.endswith("\n"):
        text += "\n"
    with open(output, "w", encoding="utf-8") as f:
        f.write(text + 'MinDebugInfo = "%s"\n' % stamp(side_file))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("image")
    parser.add_argument("output", help="the debug information (resource data or .zel file)")
    parser.add_argument("--nm", default="nm")
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--rc", help="also write a resource script that embeds the output")
    parser.add_argument("--base-options", help="also write the linker option that keeps the image base")
    parser.add_argument("--reduced", metavar="ZEL", help="write reduced data; the full data to this side file")
    parser.add_argument("--settings", nargs=2, metavar=("SOURCE", "OUTPUT"),
                        help="with --reduced: the settings source with the entry that names the side file")
    arguments = parser.parse_args()
    if arguments.settings and not arguments.reduced:
        parser.error("--settings names the side file of --reduced")
    tables = read_tables(arguments.image, arguments.nm, arguments.objdump)
    data = packed(tables, reduced=bool(arguments.reduced))
    with open(arguments.output, "wb") as f:
        f.write(data)
    if arguments.reduced:
        side_file = packed(tables)
        with open(arguments.reduced, "wb") as f:
            f.write(side_file)
        if arguments.settings:
            write_settings(*arguments.settings, side_file)
    if arguments.rc:
        with open(arguments.rc, "w") as f:
            f.write('EXCEPT ZEL "%s"\n' % os.path.abspath(arguments.output).replace("\\", "/"))
    if arguments.base_options:
        with open(arguments.base_options, "w") as f:
            f.write("-Wl,--image-base,0x%x\n" % pe_file.read_pe(arguments.image).image_base)


if __name__ == "__main__":
    main()
