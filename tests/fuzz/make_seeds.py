#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora: small valid inputs of each format, so that the fuzzers
start past the signatures and headers. The project's own generators make what they can (forms,
settings, debug information); the rest is built here. Needs the MinGW-w64 i686 tools and PIL.

usage: make_seeds.py [FOLDER]   (default: seeds/ beside this script; each target's files in a
                                 folder of its name, the old ones removed first)
"""
import base64
import importlib.util
import io
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

try:
    from PIL import Image
except ImportError:
    sys.path.append("/usr/lib/python3/dist-packages")  # Debian's python3-pil
    from PIL import Image

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
I686 = "i686-w64-mingw32-"


def tool(path, name):
    spec = importlib.util.spec_from_file_location(name, ROOT / path)
    module = importlib.util.module_from_spec(spec)
    sys.path.insert(0, str((ROOT / path).parent))
    spec.loader.exec_module(module)
    return module


forms = tool("tools/forms/make_form_resources.py", "make_form_resources")
settings = tool("tools/settings/make_settings_resource.py", "make_settings_resource")
debuginfo = tool("tools/debuginfo/make_debuginfo.py", "make_debuginfo")

SETTINGS_SOURCE = (ROOT / "tests/crashreport/settings/samples/AllTypes.txt").read_text()

REPORT = (
    "date/time          : 2024-05-06, 10:11:12, 345ms\r\n"
    "computer name      : BENCH\r\n"
    "exception message  : Access violation at address 10001234.\r\n"
    "callstack crc      : 1a2b3c4d, 5e6f7a8b, 9c0d1e2f\r\n"
    "\r\n"
    "main thread ($1f4):\r\n"
    "10001234 +004 Host.exe Main  12 +2 Run\r\n"
    "10002000 +010 Host.exe Main  40 +0 Start\r\n"
    "\r\n"
    "cpu registers:\r\n"
    "eax = 00000000\r\n"
    "ebx = 0012ff00\r\n"
    "\r\n"
    "stack dump:\r\n"
    "0012ff00  34 12 00 10 00 00 00 00 - 00 20 00 10 00 00 00 00  4...... ........\r\n"
    "\r\n"
    "disassembling:\r\n"
    "[...]\r\n"
    "10001230      mov     eax, [ebp-4]\r\n"
    "10001234   >  mov     [eax], edx\r\n"
    "\r\n"
    "modules:\r\n"
    "10000000 Host.exe 1.0.0.0 C:\\Host\\Host.exe\r\n"
    "\r\n"
    "processes:\r\n"
    "0001f4 0 00000001 Host.exe\r\n")


def u16(value):
    return struct.pack("<H", value)


def u32(value):
    return struct.pack("<I", value)


def run(*command, **options):
    return subprocess.run(command, check=True, capture_output=True, **options).stdout


def utf16_texts(*texts):
    """Texts as the targets of the mail and form writers take them: UTF-16, cut at U+0001."""
    return "\u0001".join(texts).encode("utf-16-le")


def bitmaps():
    seeds = {}
    picture = Image.new("RGB", (5, 3))
    picture.putdata([(x * 40, y * 80, 200) for y in range(3) for x in range(5)])
    for name, image in (("rgb24", picture), ("palette8", picture.convert("P")), ("mono1", picture.convert("1")),
                        ("rgba32", picture.convert("RGBA"))):
        out = io.BytesIO()
        image.save(out, "BMP")
        seeds[name + ".bmp"] = out.getvalue()
    return seeds


def jdbg():
    """Units, publics and lines, and names both XORed and packed in six-bit groups."""
    def varints(values):
        out = bytearray()
        for value in values:
            while True:
                low, value = value & 0x7F, value >> 7
                out.append(low | 0x80 if value else low)
                if not value:
                    break
        return bytes(out)
    names = b"\x01" + bytes(c ^ 0xAA for c in b"Unit1") + b"\x00"
    names = names.ljust(8, b"\x00") + b"\x02"
    codes = [28, 57, 50, 63, 10, 0, 0, 0]  # "Run_9"
    for group in range(2):
        bits = codes[4 * group] | codes[4 * group + 1] << 6 | codes[4 * group + 2] << 12 | codes[4 * group + 3] << 18
        names += struct.pack("<I", bits)[:3]
    data = bytearray(36)
    data[0:4], data[4] = u32(0x4742444A), 1
    places = []
    for values in ([0, 0, 0x80, 0, 0x7FFFFFFF], [0x10, 0, 8, 0x7FFFFFFF], [0x10, 7, 0x2F0, 2, 0x7FFFFFFF]):
        places.append(len(data))
        data += varints(values)
    places.append(len(data))
    data += names
    data += bytes(-len(data) % 4)
    for at, place in zip((9, 13, 17, 21), places):
        data[at:at + 4] = u32(place)
    return {"units-publics-lines.jdbg": bytes(data)}


def symbol_data():
    """The FB0A form with names, a module, its source lines and symbols (the target writes the
    signature itself from the first byte)."""
    def record(kind, length, name_at, name, offset_at, offset):
        body = bytearray(u16(length) + u16(kind) + bytes(length - 2))
        body[name_at:name_at + 4], body[offset_at:offset_at + 4] = u32(name), u32(offset)
        return bytes(body)
    names = u32(3) + b"".join(bytes([len(n)]) + n + b"\x00" for n in (b"C:\\src\\Main.cpp", b"Run", b"Counter"))
    module = bytearray(28)
    module[4], module[8] = 2, 1
    module += u16(1) + u16(1) + u32(0) + u32(0x100) + u16(1) + u16(0) + u32(0x800) + u32(0x100)
    lines = (u16(1) + u16(1) + u32(8) + u16(1) + u32(1) + u32(18) + u16(1) + u16(3) + u32(0x10) + u32(0x18) +
             u32(0x40) + u16(10) + u16(11) + u16(15))
    symbols = bytes(32) + record(0x205, 44, 40, 2, 28, 0x10) + record(0x201, 20, 16, 3, 4, 0x20)
    data = bytearray(b"FB0A" + bytes(4))
    places = []
    for kind, content in ((0x130, names), (0x120, bytes(module)), (0x127, lines), (0x129, symbols)):
        places.append((kind, len(data), len(content)))
        data += content
    data[4:8] = u32(len(data))
    data += u16(16) + u16(12) + u32(len(places)) + u32(0) + u32(0)
    for kind, at, length in places:
        data += u16(kind) + u16(1) + u32(at) + u32(length)
    return {"fb0a.bin": b"\x00" + bytes(data[4:])}


def linker_map():
    text = ("\r\n Start         Length     Name                   Class\r\n"
            " 0001:00401000 00002000H .text                   CODE\r\n"
            " 0002:00410000 00000800H .data                   DATA\r\n"
            "\r\nDetailed map of segments\r\n\r\n"
            " 0001:00000000 00000100 C=CODE       S=.text      G=(none)               M=Main\r\n"
            " 0001:00000100 00000200 C=CODE       S=.text      G=(none)               M=Tools.pas\r\n"
            "\r\n  Address         Publics by Value\r\n\r\n"
            " 0001:00000010       Main.Start\r\n 0002:00000010       Counter\r\n"
            "\r\nLine numbers for Tools(Tools.pas) segment .text\r\n\r\n"
            "    12 0001:00000100    13 0001:00000110    14 0001:00000120\r\n"
            "\r\nProgram entry point at 0001:00000010\r\n")
    return {"segments-publics-lines.map": text.encode()}


def dns_answer():
    """An A answer for example.org as it stands (its identifier's first byte asks for A), and MX
    records for the target to put behind its own header and question (the first six bytes give
    the record counts, the first also the asked type MX)."""
    def record(kind, data):
        return b"\xc0\x0c" + struct.pack(">HHIH", kind, 1, 300, len(data)) + data
    host = record(1, bytes([192, 0, 2, 25]))
    question = b"\x07example\x03org\x00" + struct.pack(">HH", 1, 1)
    address = struct.pack(">HHHHHH", 0x1234, 0x8180, 1, 1, 0, 0) + question + host
    exchanger = record(15, struct.pack(">H", 10) + b"\x02mx\xc0\x0c")
    return {"a.bin": address, "mx-records.bin": bytes([8, 1, 0, 0, 0, 1]) + exchanger + host}


def echo_answer():
    """An IPv4 packet with an ICMP echo reply whose identifier is the packet's first two bytes."""
    def checksum(data):
        total = sum(struct.unpack(">%dH" % (len(data) // 2), data))
        total = (total >> 16) + (total & 0xFFFF)
        return ~(total + (total >> 16)) & 0xFFFF
    icmp = struct.pack(">BBHHH", 0, 0, 0, 0x4500, 1) + b"ping"
    icmp = icmp[:2] + struct.pack(">H", checksum(icmp)) + icmp[4:]
    ip = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(icmp), 0, 0, 64, 1, 0, bytes([192, 0, 2, 1]),
                     bytes([192, 0, 2, 2]))
    return {"echo-reply.bin": ip + icmp}


def vantel97():
    data = b"\x01\x02\x03"
    frame = b"*a" + struct.pack(">H", len(data) + 5) + bytes([1, 0x55, 0x10]) + data
    return {"frame.bin": frame + bytes([(255 - sum(frame)) & 0xFF, 0x0D])}


def fixture_dll(folder):
    """The tracer tests' chain of calls as a small DLL with exports, the library's own debug
    information as "ZEL"/"EXCEPT" and the settings resource "TZELEXCEPT", and its code alone."""
    source = ROOT / "tests/crashkit/stack/fixture/CallChain.c"
    options = ["-shared", "-O1", "-fno-inline", "-nostdlib", "-Wl,--entry=0", "-Wl,--image-base=0x10000000",
               "-Wl,--no-insert-timestamp"]
    first = folder / "first.dll"
    run(I686 + "gcc", "-gdwarf-4", *options, "-o", str(first), str(source))
    (folder / "debuginfo.bin").write_bytes(debuginfo.debug_info(str(first), I686 + "nm", I686 + "objdump"))
    (folder / "settings.bin").write_bytes(settings.build(SETTINGS_SOURCE))
    (folder / "resources.rc").write_text('EXCEPT ZEL "%s"\nTZELEXCEPT RCDATA "%s"\n' % (
        folder / "debuginfo.bin", folder / "settings.bin"))
    run(I686 + "windres", "-O", "coff", "-i", str(folder / "resources.rc"), "-o", str(folder / "resources.o"))
    dll = folder / "callchain.dll"
    run(I686 + "gcc", "-s", *options, "-o", str(dll), str(source), str(folder / "resources.o"))
    run(I686 + "objcopy", "-O", "binary", "-j", ".text", str(dll), str(folder / "code.bin"))
    return dll.read_bytes(), (folder / "code.bin").read_bytes(), (folder / "debuginfo.bin").read_bytes(), first


def own_format(first):
    """The unpacked stream (first byte 0) and the enciphered whole (any other first byte)."""
    image = debuginfo.pe_file.read_pe(str(first))
    start, end = (image.image_base + rva for rva in image.code_range())
    publics = debuginfo.read_publics(I686 + "nm", str(first), start, end)
    segments, lines = debuginfo.read_line_table(I686 + "objdump", str(first), start, end)
    stream = debuginfo.stream(debuginfo.merged(segments), publics, lines, start, 0)
    return stream, debuginfo.debug_info(str(first), I686 + "nm", I686 + "objdump")


def seeds(folder):
    dll, code, _, first = fixture_dll(folder)
    stream, enciphered = own_format(first)
    settings_resource = settings.build(SETTINGS_SOURCE)
    form_sources = {path.stem + ".bin": forms.compile_form(path.read_text())[1]
                    for path in sorted((ROOT / "crashkit/wizard/forms").glob("*.form"))}
    report = REPORT.encode()
    return {
        "FuzzConnectionString": {"tcp.txt": b"provider=TCP_CLIENT; port = 10001; host={a;b}",
                                 "serial.txt": b"Provider=SERIAL;Port=COM1;Baud=9600"},
        "FuzzCrashkitBase64": {"text.txt": base64.b64encode(b"seed text for the decoder"),
                               "bytes.txt": base64.b64encode(bytes(range(0, 256, 7)))},
        "FuzzCrashkitBitmapFile": bitmaps(),
        "FuzzCrashkitFormSource": form_sources,
        # Raw deflate (whose first byte also sets the destination's size), and a compressed string.
        "FuzzCrashkitInflate": {"deflate.bin": zlib.compress(report[:200], 9, -15),
                                "stored.bin": zlib.compress(b"stored", 0, -15),
                                "string.bin": debuginfo.compressed(report[:100])},
        "FuzzCrashkitPropertyStream": dict(form_sources, **{"settings.bin": settings_resource}),
        "FuzzCrashkitStackExplicitCandidates": {"two.bin": u32(2) + b"\x00" + u32(0x10001234) + b"\x01" +
                                                u32(0x10002000)},
        "FuzzCrashkitStackExports": {"callchain.dll": dll},
        "FuzzCrashkitUnmangler": {"method.txt": b"@Unit@TClass@Method$qqrv", "ctor.txt": b"@Unit@TClass@$bctr$qqrv",
                                  "plain.txt": b"DllMain"},
        "FuzzCrashreportBugReportFile": {"append.bin": report + b"\x00" + report.replace(b"BENCH", b"OTHER")},
        "FuzzCrashreportDnsAnswer": dns_answer(),
        "FuzzCrashreportEchoAnswer": echo_answer(),
        "FuzzCrashreportEhloFeatures": {"auth.txt": b"250-mail.example.org\r\n250-SIZE 1000000\r\n"
                                                    b"250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n"},
        # The first byte: ISO-8859-1 where it fits, pieces of nine bytes; then the texts.
        "FuzzCrashreportMimeMail": {"mail.bin": b"\x10" + utf16_texts(
            "Ann <ann@example.org>", "Bob Builder <bob@example.org>", "bob@example.org", "Crash in Host.exe",
            "Line one\r\n.dot line\r\n--zelExcept-4-0_multipart_boundary\r\nend", "report.txt",
            "text of the report", "caf\u00e9 \u20ac.png", "\u00ff\u00fe bytes")},
        # The first byte: ISO-8859-1 where it fits, two fields; then the texts.
        "FuzzCrashreportMultipartForm": {"form.bin": b"\x04" + utf16_texts(
            "title", "Crash in Host.exe", "description", "caf\u00e9\r\n\u20ac", "attachment", "report.zip",
            "--zelExcept-4-0_multipart_boundary")},
        "FuzzCrashreportPeResources": {"callchain.dll": dll},
        "FuzzCrashreportReportText": {"fields-sections.bin": b"\x02" + b"\x01".join((
            b"computer name", b"BENCH", b"exception message", b"Access violation\r\nat 10001234",
            b"main thread ($1f4)", b"10001234 +004 Host.exe Main  12 +2 Run\r\n\r\n.\r\nlast   ", b"modules"))},
        "FuzzCrashreportReportViews": {"report.txt": report},
        "FuzzCrashreportSettings": {"all-types.bin": settings_resource},
        "FuzzCrashreportSmtpReply": {"single.txt": b"250 OK\r\n", "multi.txt": b"220-mail.example.org\r\n220 ready\r\n"},
        "FuzzCrashreportTrackerAnswers": {
            "xmlrpc.xml": b"<?xml version=\"1.0\"?><methodResponse><params><param><value><struct><member>"
                          b"<name>id</name><value><int>42</int></value></member></struct></value></param>"
                          b"</params></methodResponse>",
            "soap.xml": b"<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                        b"<SOAP-ENV:Body><ns1:mc_issue_addResponse><return xsi:type=\"xsd:integer\">7</return>"
                        b"</ns1:mc_issue_addResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>",
            "fogbugz.xml": b"<response><token><![CDATA[t0k]]></token><case ixBug=\"12\"/></response>"},
        "FuzzCrashreportTrackerXmlText": {"markup.bin": "a<b & \"c\" 'd' ]]>\r\n\tcaf\u00e9 \u20ac".encode("utf-16-le")},
        "FuzzDebugInfoImage": {"callchain.dll": dll},
        "FuzzDebugInfoJdbg": jdbg(),
        "FuzzDebugInfoLinkerMap": linker_map(),
        "FuzzDebugInfoOwnFormat": {"stream.bin": b"\x00" + stream, "enciphered.bin": b"\x02" + enciphered},
        "FuzzDebugInfoSymbolData": symbol_data(),
        "FuzzDisassembler": {"code.bin": code},
        "FuzzVantel97": vantel97(),
    }


def main():
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE / "seeds"
    with tempfile.TemporaryDirectory() as work:
        corpora = seeds(pathlib.Path(work))
    for fuzzer, files in corpora.items():
        shutil.rmtree(target / fuzzer, ignore_errors=True)
        (target / fuzzer).mkdir(parents=True)
        for name, data in files.items():
            (target / fuzzer / name).write_bytes(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
