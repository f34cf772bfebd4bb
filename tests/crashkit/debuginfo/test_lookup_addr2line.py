#!/usr/bin/env python3
"""crashkit-tool lookup against GNU addr2line on hundreds of addresses per DLL: function starts,
addresses inside functions and line starts, local functions included. The function must be the
outermost one addr2line names (inlined calls are not functions of their own in the library's
debug information) and the line the innermost.

Arguments: crashkit-tool, then DLLs (i686 or x86_64) that carry their own debug information.
Without DLLs a small i686 DLL is built here and given a ".zel" side file by the generator."""
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
GENERATOR = os.path.join(ROOT, "tools", "debuginfo", "make_debuginfo.py")
PREFIXES = {0x14C: "i686-w64-mingw32-", 0x8664: "x86_64-w64-mingw32-"}
PREFIX = PREFIXES[0x14C]  # of the DLL built here
PER_KIND = 150
NAME_LIMIT = 255  # bytes of a name the debug information keeps
CLONE = re.compile(r" \[clone [^\]]*\]|(\.(cold|isra|part|constprop|lto_priv)(\.\d+)?)+$")

SAMPLE = r"""
#include <string>
#include <vector>
namespace {
int Square(int value) { return value * value; }
}
struct TCounter {
    std::vector<int> values;
    void Add(int value);
    int Sum() const;
};
void TCounter::Add(int value) { values.push_back(Square(value)); }
int TCounter::Sum() const
{
    int sum = 0;
    for (int value : values)
        sum += value;
    return sum;
}
extern "C" __declspec(dllexport) int CountText(const char* text)
{
    TCounter counter;
    for (std::string word = text; !word.empty(); word.pop_back())
        counter.Add(static_cast<int>(word.size()));
    return counter.Sum();
}
"""


def run(command, **kwargs):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, errors="replace", **kwargs).stdout


def demangled(names):
    """The names demangled by one c++filt: addr2line drops the target's leading underscore from
    DWARF linkage names ("Z3fooi") and leaves stdcall ones ("_Z3fooi@4") mangled."""
    names = [re.sub(r"@\d+$", "", name) for name in names]
    mangled = sorted({"_" + name.lstrip("_") for name in names if re.match(r"^_?Z[A-Z0-9]", name)})
    plain = dict(zip(mangled, run(["c++filt"], input="\n".join(mangled)).splitlines())) if mangled else {}
    return [CLONE.sub("", plain.get("_" + name.lstrip("_"), name)) for name in names]


def strip_group(name, opening, closing):
    """The name without the balanced group that ends it, if it ends with one."""
    if not name.endswith(closing):
        return name
    depth = 0
    for i in range(len(name) - 1, -1, -1):
        depth += name[i] == closing
        depth -= name[i] == opening
        if depth == 0:
            return name[:i]
    return name


def last_component(name):
    """After the last "::" or blank outside brackets and parentheses."""
    depth, cut = 0, 0
    for i, c in enumerate(name):
        depth += c in "<("
        depth -= c in ">)"
        if depth == 0 and (name.startswith("::", i) or c == " "):
            cut = i + (2 if c == ":" else 1)
    return name[cut:]


def short_name(name):
    """The name without scopes, return type, template arguments, parameters or stdcall suffix:
    addr2line gives only this much for functions that have no linkage name in DWARF."""
    name = re.sub(r"@\d+$", "", name)
    name = re.sub(r" const$", "", name)
    name = strip_group(name, "(", ")")
    if name.endswith("operator"):  # the call operator's own "()" was taken for its parameters
        name += "()"
    name = strip_group(name, "<", ">")
    return last_component(name).lstrip("_")


def scope_of(name):
    """The class or namespace of a qualified name: "A::B" of "A::B::f(int)"."""
    name = strip_group(re.sub(r" const$", "", name), "(", ")")
    return name[:name.rfind("::")] if "::" in name else ""


def same_function(expected, names):
    """Whether addr2line's name is one of the names nm gives the lookup's function start (whose
    name the lookup shows cut to the stored length); only the short name counts where
    addr2line gives no signature. A constructor inherited from a base class is named after its
    class by addr2line ("Derived") and after the base by nm ("Derived::Base(int)")."""
    signature = (expected.endswith(")") or expected.endswith(") const")) and not expected.endswith("operator()")
    for name in names:
        name = re.sub(r"@\d+$", "", name)
        if expected == name or (not signature and short_name(expected) in (short_name(name),
                                                                            short_name(scope_of(name)))):
            return True
    return False


def tools_prefix(dll):
    """The GNU tools that read the DLL's architecture."""
    with open(dll, "rb") as f:
        data = f.read(4096)
    nt, = struct.unpack_from("<I", data, 60)
    machine, = struct.unpack_from("<H", data, nt + 4)
    return PREFIXES[machine]


def function_names(dll, prefix):
    """Every name nm gives each function start (identical functions share one start)."""
    names = {}
    for line in run([prefix + "nm", "--defined-only", "-C", dll]).splitlines():
        parts = line.split(" ", 2)
        if len(parts) == 3 and parts[1] in "Tt" and not parts[2].startswith("."):
            names.setdefault(int(parts[0], 16), []).append(CLONE.sub("", parts[2]))
    return names


def chosen_addresses(dll, symbols, prefix):
    rng = random.Random(15)
    starts = rng.sample(symbols, min(PER_KIND, len(symbols)))
    inside = []
    for _ in range(PER_KIND):
        i = rng.randrange(len(symbols) - 1)
        if symbols[i + 1] - symbols[i] > 1:
            inside.append(symbols[i] + rng.randrange(1, symbols[i + 1] - symbols[i]))
    rows = [int(m.group(1), 16) for m in re.finditer(r"^\S+\s+\d+\s+(0x[0-9a-f]+)", run(
        [prefix + "objdump", "--dwarf=decodedline", dll]), re.M)]
    line_starts = rng.sample(rows, min(PER_KIND, len(rows)))
    return sorted(set(starts + inside + line_starts))


def addr2line(dll, addresses, prefix):
    """address -> (outermost function, innermost line) where addr2line knows both."""
    output = run([prefix + "addr2line", "-a", "-f", "-C", "-i", "-e", dll] + ["%x" % a for a in addresses])
    result, current, frames = {}, None, []

    def finish():
        if current is not None and frames:
            function, line = frames[-1][0], frames[0][1]
            if function != "??" and line > 0:
                result[current] = (function, line)

    lines = output.splitlines()
    i = 0
    while i < len(lines):
        if lines[i].startswith("0x"):
            finish()
            current, frames = int(lines[i], 16), []
            i += 1
            continue
        function, place = lines[i], lines[i + 1] if i + 1 < len(lines) else ""
        match = re.search(r":(\d+)", place)
        frames.append((function, int(match.group(1)) if match else 0))
        i += 2
    finish()
    names = demangled([function for function, _ in result.values()])
    return {address: (name, line) for (address, (_, line)), name in zip(result.items(), names)}


def lookup(tool, dll, addresses):
    runner = os.environ.get("CRASHKIT_TOOL_RUNNER")
    command = ([runner] if runner else []) + [tool, "lookup", dll] + ["%x" % a for a in addresses]
    result = {}
    for line in run(command).splitlines():
        fields = line.split("\t")
        result[int(fields[0], 16)] = (fields[3], int(fields[4]), int(fields[5], 16))
    return result


def compare(tool, dll):
    prefix = tools_prefix(dll)
    names = function_names(dll, prefix)
    addresses = chosen_addresses(dll, sorted(names), prefix)
    expected = addr2line(dll, addresses, prefix)
    found = lookup(tool, dll, addresses)
    failures = []
    for address, (function, line) in sorted(expected.items()):
        got = found.get(address)
        truncated = [n.encode()[:NAME_LIMIT].decode(errors="ignore") for n in names.get(got[2], [])] if got else []
        if got is None or got[1] != line or got[0] not in truncated or \
                not same_function(function, names[got[2]]):
            failures.append("%x: addr2line %s:%d, lookup %s" % (address, function, line, got))
    print("%s: %d addresses, %d compared, %d differ" % (os.path.basename(dll), len(addresses), len(expected),
                                                       len(failures)))
    for failure in failures[:20]:
        print("  " + failure)
    if len(expected) < len(addresses) // 2:
        failures.append("addr2line knew too few of the addresses")
    return not failures


def sample_dll(folder):
    source = os.path.join(folder, "Sample.cpp")
    dll = os.path.join(folder, "Sample.dll")
    with open(source, "w") as f:
        f.write(SAMPLE)
    subprocess.run([PREFIX + "g++", "-shared", "-O2", "-gdwarf-4", "-static", "-o", dll, source], check=True)
    subprocess.run([sys.executable, GENERATOR, "--nm", PREFIX + "nm", "--objdump", PREFIX + "objdump", dll,
                    os.path.join(folder, "Sample.zel")], check=True)
    return dll


def main():
    tool, dlls = sys.argv[1], sys.argv[2:]
    if not shutil.which(PREFIX + "addr2line"):
        print("SKIPPED: no %saddr2line" % PREFIX)
        return 0
    with tempfile.TemporaryDirectory() as folder:
        if not dlls:
            dlls = [sample_dll(folder)]
        results = [compare(tool, dll) for dll in dlls]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
