#!/usr/bin/env python3
"""Installs a build as a vendor ships it (cmake --install into a fresh folder) and checks the folder:
exactly the expected files; each DLL without DWARF sections or symbols, at most 1.5 times the size of
its code, data and resources, with a correct PE checksum, a version resource of the project's
version, and the exports and imports tools/check-dll.sh checks; import libraries that resolve every
function the headers declare, linked by GNU ld and by lld-link; and the demo running against it.

usage: check-shipped.py CMAKE BUILD FOLDER VERSION OBJDUMP CC WINE-ARCH DEMO-HOST NAME=DEF...
The demo runs where the tests run programs of this build's architecture: WINEARCH, when the test
road sets it, names the one that runs here."""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

TOOLS = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(TOOLS, "debuginfo"))
import pe_file  # noqa: E402

SIZE_AIM = 1.5
# Where the header declares each function: CI_FUNCTION(type, name, ...) or "type CONVENTION name(".
DECLARATION = re.compile(r"^\s*(?:CI|Q)_FUNCTION\([^,]+,\s*(\w+)|^\w+ CI_REGISTER_CALL (\w+)\(", re.M)

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, text=True, **options).stdout


def pe_checksum(data):
    """The PE CheckSum of the file's bytes with the stored field counted as zero."""
    field = struct.unpack_from("<I", data, 60)[0] + 24 + 64
    words = data[:field] + b"\0\0\0\0" + data[field + 4:] + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data), struct.unpack_from("<I", data, field)[0]


def section_names(data, image):
    """Names longer than 8 characters stand in the string table behind the symbols as "/offset"."""
    symbols_at, symbol_count = struct.unpack_from("<II", data, struct.unpack_from("<I", data, 60)[0] + 12)
    strings = symbols_at + 18 * symbol_count
    names = []
    for section in image.sections:
        name = section.name
        if name.startswith("/") and name[1:].isdigit():
            at = strings + int(name[1:])
            name = data[at:data.index(b"\0", at)].decode("latin-1")
        names.append(name)
    return names


def version_text(resources, key):
    """The value of a StringFileInfo entry: its UTF-16 key, padding to 4 bytes, the UTF-16 text."""
    data = bytes(resources)
    at = data.find((key + "\0").encode("utf-16-le"))
    if at < 0:
        return None
    at += 2 * (len(key) + 1)
    at += (4 - at % 4) % 4
    end = data.find(b"\0\0", at)
    while end >= 0 and (end - at) % 2:
        end = data.find(b"\0\0", end + 1)
    return data[at:end].decode("utf-16-le")


def check_dll(path, version):
    name = os.path.basename(path)
    with open(path, "rb") as f:
        data = f.read()
    image = pe_file.PeFile(data)
    names = section_names(data, image)
    symbol_count = struct.unpack_from("<I", data, struct.unpack_from("<I", data, 60)[0] + 16)[0]
    leftovers = [n for n in names if n.startswith(".debug")]
    check(not leftovers and not symbol_count, "%s keeps DWARF sections %s or %d symbols" % (name, leftovers, symbol_count))
    loaded = sum(s.raw_size for s, n in zip(image.sections, names) if n not in leftovers)
    check(len(data) <= SIZE_AIM * loaded, "%s: %d bytes for %d of code, data and resources" % (name, len(data), loaded))
    computed, stored = pe_checksum(data)
    check(computed == stored, "%s: PE checksum %08x, its bytes sum to %08x" % (name, stored, computed))
    for key in ("FileVersion", "ProductVersion"):
        found = version_text(image.section_bytes(".rsrc"), key)
        check(found == version, "%s: %s %r, the project's version is %s" % (name, key, found, version))
    print("%s: %d bytes, %.2f times its %d of code, data and resources; checksum %08x"
          % (name, len(data), len(data) / loaded, loaded, stored))


def imported_names(objdump, program, dll):
    """The names a program imports from the DLL."""
    names, current = set(), None
    for line in run([objdump, "-p", program]).splitlines():
        if "DLL Name:" in line:
            current = line.split(":", 1)[1].strip().lower()
        elif current == dll.lower():
            fields = line.split()
            if len(fields) == 3 and fields[1].isdigit():
                names.add(fields[2])
    return names


def check_import_libraries(folder, name, objdump, cc, x86):
    """A program taking the address of every function the library's header declares links against
    each import library and imports each of them by its plain name."""
    header = os.path.join(folder, "include", name.lower() + ".h")
    with open(header) as f:
        functions = sorted(a or b for a, b in DECLARATION.findall(f.read()))
    check(functions, "%s declares no function" % header)
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "probe.c")
        with open(source, "w") as f:
            f.write('#include "%s"\nvoid* const kFunctions[] = {%s};\n'
                    "int entry(void) { return kFunctions[0] != 0; }\n"
                    % (os.path.basename(header), ", ".join("(void*)&" + n for n in functions)))
        probe = os.path.join(scratch, "probe.o")
        run([cc, "-c", "-I", os.path.join(folder, "include"), source, "-o", probe])
        lib = os.path.join(folder, "lib")
        programs = {
            "lib%s.dll.a (GNU ld)" % name: [cc, "-nostdlib", "-Wl,-e," + ("_entry" if x86 else "entry"), probe,
                                            "-L" + lib, "-l" + name, "-o"],
            "%s.lib (lld-link)" % name: ["lld-link", "/nologo", "/entry:entry", "/nodefaultlib", "/subsystem:console"]
                                        + (["/safeseh:no"] if x86 else []) + [probe, os.path.join(lib, name + ".lib")],
        }
        for library, command in programs.items():
            program = os.path.join(scratch, "probe.exe")
            run(command + ([program] if command[-1] == "-o" else ["/out:" + program]))
            missing = set(functions) - imported_names(objdump, program, name + ".dll")
            check(not missing, "through %s the program does not import %s" % (library, sorted(missing)))
            os.remove(program)
    print("%s: %d functions of %s imported through lib%s.dll.a and %s.lib"
          % (name, len(functions), os.path.basename(header), name, name))


def main():
    cmake, build, folder, version, objdump, cc, wine_arch, demo_host = sys.argv[1:9]
    libraries = dict(a.split("=", 1) for a in sys.argv[9:])
    shutil.rmtree(folder, ignore_errors=True)
    run([cmake, "--install", build, "--prefix", folder])

    expected = {"USAGE.md"}
    for name in libraries:
        expected |= {"bin/%s.dll" % name, "include/%s.h" % name.lower(), "lib/lib%s.dll.a" % name,
                     "lib/%s.lib" % name}
    present = {os.path.relpath(os.path.join(d, f), folder) for d, _, files in os.walk(folder) for f in files}
    check(present == expected, "the folder holds %s, not %s" % (sorted(present), sorted(expected)))
    with open(os.path.join(folder, "USAGE.md")) as f:
        usage = f.read()
    check(all("## Using %s from a host" % n in usage for n in libraries), "USAGE.md lacks a library's usage")

    x86 = wine_arch == "win32"
    for name, definitions in libraries.items():
        dll = os.path.join(folder, "bin", name + ".dll")
        check_dll(dll, version)
        exports = subprocess.run(["bash", os.path.join(TOOLS, "check-dll.sh"), dll, definitions, objdump])
        check(exports.returncode == 0, "%s: exports or imports as check-dll.sh told" % name)
        check_import_libraries(folder, name, objdump, cc, x86)

    road = os.environ.get("WINEARCH")
    if road and road != wine_arch:
        print("the demo is not run: this machine's tests run %s programs, this build is %s" % (road, wine_arch))
    else:
        demo = subprocess.run(["bash", os.path.join(TOOLS, "demo.sh"), os.path.join(folder, "bin"), demo_host],
                              env=dict(os.environ, WINEARCH=wine_arch))
        check(demo.returncode == 0, "the demo against the folder failed (exit status %d)" % demo.returncode)

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
