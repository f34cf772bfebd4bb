#!/usr/bin/env python3
"""Compares crashkit-tool's linear sweep over the .text of i686 DLLs with GNU objdump.

usage: test_disasm_objdump.py CRASHKIT-TOOL [DLL...]

The DLLs given (the build's own) and several of Wine's i386 system DLLs are decoded by both.
At every address where both start an instruction that each can decode, the lengths must be
equal and the texts equal after the spelling differences of the two are normalised. Where
objdump and crashkit-tool disagree, capstone (Debian's python3-capstone) judges when it is
installed.
"""
import collections
import concurrent.futures
import functools
import multiprocessing
import os
import random
import bisect
import re
import shutil
import subprocess
import sys
import tempfile

WINE_DLL_DIR = "/usr/lib/i386-linux-gnu/wine/i386-windows"
# Plain C, x87-heavy maths, and a runtime with MMX and SSE routines.
WINE_DLLS = ["ntdll.dll", "kernelbase.dll", "user32.dll", "d3dx9_43.dll", "msvcr120.dll"]
MAX_REPORTED = 40

CONDITION_SPELLINGS = {"nb": "ae", "z": "e", "nz": "ne"}
MNEMONIC_SPELLINGS = {"sal": "shl", "pushad": "pusha", "popad": "popa", "pushfd": "pushf", "popfd": "popf",
                      "iretd": "iret", "wait": "fwait", "sgdtd": "sgdt", "sidtd": "sidt",
                      "lgdtd": "lgdt", "lidtd": "lidt", "icebp": "int1", "repz": "rep",
                      "repe": "rep", "repnz": "repne"}
COMPARE_PREDICATES = ["eq", "lt", "le", "unord", "neq", "nlt", "nle", "ord"]
PREFIXES = {"f0", "f2", "f3", "26", "2e", "36", "3e", "64", "65", "66", "67"}
# Decoded by objdump as the later instructions that reuse these encodings; this decoder reads
# them as the CPUs it serves do.
LATER_SPELLINGS = {"tzcnt": "bsf", "lzcnt": "bsr"}
# An undefined instruction by its definition.
EXPECTED_UNDECODABLE = {"ud2"}
# Moves of the test registers, which processors since the Pentium no longer have; a sweep that
# runs into data meets their bytes.
TEST_REGISTER_MOVES = (["0f", "24"], ["0f", "26"])
# Instructions of later processors, outside the decoder's instruction sets.
LATER_INSTRUCTIONS = {"rdrand", "rdseed", "syscall", "sysret", "popcnt", "movbe", "xgetbv", "xsetbv",
                      "rdtscp", "endbr32", "vmread", "vmwrite", "ud1", "ud0", "swapgs", "xsave", "xrstor",
                      "getsec", "salc", "xabort", "xbegin", "xend", "xtest"}
# Encodings that later processors gave a meaning the decoder's processors do not know.
LATER_MEANINGS = {"bndstx", "bndldx", "bndmov", "bndcl", "bndcu", "bndcn", "bndmk", "cldemote", "wbnoinvd",
                  "rdpid", "rdsspd", "incsspd"}
# Prefixes objdump names where they have no effect on the instruction, and how it spells the
# repeat prefixes; the decoder writes only the prefix words that act.
IDLE_PREFIXES = {"cs", "ds", "es", "ss", "fs", "gs", "data16", "addr16"}
REPEAT_SPELLINGS = {"rep": "rep", "repz": "rep", "repe": "rep", "xrelease": "rep", "repne": "repne",
                    "repnz": "repne", "bnd": "repne", "xacquire": "repne", "lock": "lock"}
# objdump marks 16-bit operand size with a "w" on these; the decoder's operands show it.
WORD_FORMS = {"pushw": "push", "popw": "pop", "pushaw": "pusha", "popaw": "popa", "pushfw": "pushf",
              "popfw": "popf", "iretw": "iret", "leavew": "leave", "enterw": "enter", "retw": "ret",
              "retfw": "retf", "callw": "call", "jmpw": "jmp", "frstorw": "frstor", "fnsavew": "fnsave",
              "fnstenvw": "fnstenv", "fldenvw": "fldenv", "fsavew": "fsave", "fstenvw": "fstenv"}
# The absolute-address forms A0-A3 name no operand size in objdump's text.
MOFFS_OPCODES = {"a0", "a1", "a2", "a3"}
# objdump writes "?" for the segment registers 6 and 7 of 8C and 8E, which no processor has.
NO_SEGMENT_REGISTER = re.compile(r"[ ,]\?(?:$|[ ,])")
SIZE_WORD = re.compile(r"\b(?:byte|word|dword|fword|qword|tbyte|oword) ptr ")


def objdump_program():
    for name in ("i686-w64-mingw32-objdump", "objdump"):
        path = shutil.which(name)
        if path:
            return path
    return None


LINE = re.compile(r"^\s*([0-9a-f]+):\t((?:[0-9a-f]{2} )+)\s*\t?(.*)$")
SYMBOL = re.compile(r"^([0-9a-f]+) <[^>]*>:$")


def objdump_sweep(objdump, arguments):
    output = subprocess.run([objdump, "-M", "intel", "--insn-width=16"] + arguments,
                            check=True, capture_output=True, text=True).stdout
    lines = {}
    symbols = []
    for line in output.splitlines():
        symbol = SYMBOL.match(line)
        if symbol:
            symbols.append(int(symbol.group(1), 16))
        match = LINE.match(line)
        if not match:
            continue
        address = int(match.group(1), 16)
        raw = match.group(2).split()
        lines[address] = (len(raw), match.group(3).strip(), raw)
    return lines, sorted(symbols)


def crosses_symbol(address, length, symbols):
    """objdump starts afresh at every symbol and cuts the instruction before it short."""
    at = bisect.bisect_right(symbols, address)
    return at < len(symbols) and symbols[at] < address + length


def tool_sweep(tool, arguments):
    output = subprocess.run([tool, "disasm"] + arguments, check=True, capture_output=True, text=True).stdout
    lines = {}
    for line in output.splitlines():
        address, length, text = line.split("\t")
        lines[int(address, 16)] = (int(length), text)
    return lines


NUMBER = re.compile(r"0x[0-9a-f]+|\d+")


def tokens(text):
    """Splits a normalised text into words and numbers."""
    result = []
    for part in re.findall(r"0x[0-9a-f]+|[a-z_][a-z0-9_()]*|\d+|\S", text):
        result.append(int(part, 0) if NUMBER.fullmatch(part) else part)
    return result


def normalise_common(text):
    text = re.sub(r"\b([cdefgs]s):(0x[0-9a-f]+)", r"\1:[\2]", text)
    text = text.replace("ds:", "").replace("st(0)", "st")
    text = re.sub(r"\s*,\s*", ",", text)
    text = re.sub(r"\s+", " ", text).strip()
    words = text.split(" ")
    for i in range(min(2, len(words))):
        words[i] = normalise_condition(MNEMONIC_SPELLINGS.get(words[i], words[i]))
    return " ".join(words)


def normalise_condition(mnemonic):
    for stem in ("j", "set", "cmov"):
        if mnemonic.startswith(stem) and mnemonic[len(stem):] in CONDITION_SPELLINGS:
            return stem + CONDITION_SPELLINGS[mnemonic[len(stem):]]
    return mnemonic


# A quarter of the texts are distinct: each is normalised, and each pair compared, once per worker.
@functools.lru_cache(maxsize=None)
def normalise_tool(text):
    text = text.lower()
    text = re.sub(r"\S+ \(\$([0-9a-f]+)\)", r"0x\1", text)          # relative branch targets
    text = re.sub(r"(?<![\w$])-\$([0-9a-f]+)", lambda m: "-0x" + m.group(1), text)
    text = re.sub(r"\$([0-9a-f]+)", r"0x\1", text)
    text = re.sub(r"(?<=[\s,\[])(-?\d+)(?![\w(])", lambda m: hex(int(m.group(1))) if int(m.group(1)) >= 0
                  else "-" + hex(-int(m.group(1))), text)
    text = re.sub(r"(?<=[\s,])-0x([0-9a-f]+)", lambda m: hex((1 << 32) - int(m.group(1), 16)), text)
    match = re.match(r"^(cmp)(ps|pd|ss|sd) (xmm\d+),(.*),0x([0-7])$", text.replace(", ", ","))
    if match:
        text = "cmp%s%s %s,%s" % (COMPARE_PREDICATES[int(match.group(5), 16)], match.group(2),
                                   match.group(3), match.group(4))
    return normalise_common(text)


@functools.lru_cache(maxsize=None)
def normalise_objdump(text):
    text = text.lower()
    text = re.sub(r"\s*<[^>]*>", "", text)
    text = re.sub(r",p[nt]\b", "", text)
    text = text.replace("xmmword", "oword")
    text = re.sub(r"\+eiz\*\d|eiz\*\d\+|eiz\*\d(?=-)", "", text)
    # An absolute address that objdump reads as a negative displacement.
    text = re.sub(r"\[-0x([0-9a-f]+)\]", lambda m: "[%s]" % hex((1 << 32) - int(m.group(1), 16)), text)
    text = normalise_common(text)
    words = text.split(" ")
    prefixes = []
    while len(words) > 1 and (words[0] in IDLE_PREFIXES or words[0] in REPEAT_SPELLINGS):
        word = words.pop(0)
        if word not in IDLE_PREFIXES:
            prefixes.append(word)
    words = prefixes + [WORD_FORMS.get(word, word) for word in words]
    text = re.sub(r"\b(aa[md]) 0xa$", r"\1", " ".join(words))
    words = text.split(" ")
    # A branch target, also behind prefixes ("lock jne 6c9d75a8").
    return re.sub(r"^((?:\S+ )*?(?:call|j\w+|loop\w*) )([0-9a-f]+)$", r"\g<1>0x\2", " ".join(words))


def numbers_agree(a, b):
    if a == b:
        return True
    for mask in (0xFFFF, 0xFF):
        if (a & mask) == (b & mask) and min(a, b) <= mask:
            return True
    return False


def split_prefixes(text):
    words = text.split(" ")
    prefixes = set()
    while len(words) > 1 and words[0] in REPEAT_SPELLINGS:
        prefixes.add(REPEAT_SPELLINGS[words.pop(0)])
    return prefixes, " ".join(words)


@functools.lru_cache(maxsize=None)
def texts_agree(ours, theirs):
    """Equal apart from numbers that agree and prefix words objdump adds."""
    our_prefixes, ours = split_prefixes(ours)
    their_prefixes, theirs = split_prefixes(theirs)
    if theirs == "xchg ax,ax":
        theirs = "nop"
    if not our_prefixes <= their_prefixes:
        return False
    a, b = tokens(ours), tokens(theirs)
    if len(a) != len(b):
        return False
    for x, y in zip(a, b):
        if isinstance(x, int) and isinstance(y, int):
            if not numbers_agree(x, y):
                return False
        elif x != y:
            return False
    return True


def capstone_engine():
    try:
        import capstone
    except ImportError:
        sys.path.append("/usr/lib/python3/dist-packages")  # Debian's python3-capstone
        try:
            import capstone
        except ImportError:
            return None
    engine = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    engine.syntax = capstone.CS_OPT_SYNTAX_INTEL
    return engine


CAPSTONE = capstone_engine()


def capstone_reading(raw, address):
    """capstone's length and text of the bytes, or None."""
    if CAPSTONE is None:
        return None
    for insn in CAPSTONE.disasm(bytes(int(b, 16) for b in raw), address):
        text = re.sub(r" ([-+*]) ", r"\1", "%s %s" % (insn.mnemonic, insn.op_str)).strip()
        return insn.size, text
    return None


def bytes_from(theirs, address):
    """Up to 15 bytes at address, gathered from objdump's lines."""
    raw = []
    while len(raw) < 15 and address in theirs:
        raw += theirs[address][2]
        address += theirs[address][0]
    return raw[:15]


def capstone_agrees(raw, address, our_length, our_text):
    """Where objdump disagrees, capstone's reading decides."""
    reading = capstone_reading(raw, address)
    return reading is not None and reading[0] == our_length and texts_agree(
        normalise_tool(our_text), normalise_objdump(reading[1]))


def capstone_judge(raw, address):
    reading = capstone_reading(raw, address)
    return "capstone: %s (%d bytes)" % (reading[1], reading[0]) if reading else "capstone: none"


def opcode_byte(raw):
    for byte in raw:
        if byte not in PREFIXES:
            return byte
    return None


def undocumented_alias(raw):
    """F6 /1 and F7 /1 are aliases of test that the manuals leave out."""
    opcode = opcode_byte(raw)
    at = raw.index(opcode) if opcode else 0
    return opcode in ("f6", "f7") and at + 1 < len(raw) and (int(raw[at + 1], 16) >> 3) & 7 == 1


def core_mnemonic(text):
    for word in text.split():
        if word not in IDLE_PREFIXES and word not in REPEAT_SPELLINGS:
            return word
    return ""


def merged_wait(ours, address, length, text):
    """objdump shows a wait (9B) and the x87 instruction after it as one line."""
    follower = ours.get(address)
    if not follower or follower[0] != length:
        return False
    follower_text = re.sub(r"^fn", "f", follower[1])
    return texts_agree(normalise_tool(follower_text), normalise_objdump(text))


def compare(theirs, ours, addresses, symbols):
    problems = []
    counts = {"compared": 0, "length": 0, "text": 0, "undecoded": 0, "capstone": 0}
    for address in addresses:
        length, text, raw = theirs[address]
        mine = ours.get(address)
        if mine is None or not text or text.startswith(".byte"):
            continue
        our_length, our_text = mine
        if crosses_symbol(address, our_length, symbols):
            continue
        if "(bad)" in text:
            # objdump gives up; capstone, when it reads the bytes, must read as many.
            reading = None if our_text.startswith("db ") else capstone_reading(bytes_from(theirs, address), address)
            if reading and reading[0] != our_length:
                counts["length"] += 1
                problems.append("%x length %d, capstone %d: %s | %s" % (address, our_length, reading[0], our_text,
                                                                      reading[1]))
            continue
        mnemonic = core_mnemonic(text)
        if mnemonic in LATER_MEANINGS:
            continue
        if opcode_byte(raw) == "9b" and our_text == "wait" and raw[0] != "9b":
            continue  # objdump lets the prefixes of a wait act on the x87 instruction after it
        if raw[0] == "9b" and our_text == "wait" and length > our_length:
            counts["compared"] += 1
            if not merged_wait(ours, address + our_length, length - our_length, text):
                counts["text"] += 1
                problems.append("%x wait and: %s | %s  [%s]" % (address, ours.get(address + 1), text, " ".join(raw)))
            continue
        if our_text.startswith("db ") and (mnemonic in EXPECTED_UNDECODABLE | LATER_INSTRUCTIONS or
                                           raw[:2] in TEST_REGISTER_MOVES or
                                           undocumented_alias(raw) or NO_SEGMENT_REGISTER.search(text)):
            continue
        if mnemonic in LATER_SPELLINGS:
            text = text.replace(mnemonic, LATER_SPELLINGS[mnemonic], 1)
        if opcode_byte(raw) in MOFFS_OPCODES:
            our_text = SIZE_WORD.sub("", our_text)
        if our_text.startswith("db "):
            counts["undecoded"] += 1
            problems.append("%x undecoded: %s  [%s] %s" % (address, text, " ".join(raw), capstone_judge(raw, address)))
            continue
        counts["compared"] += 1
        agrees = our_length == length and texts_agree(normalise_tool(our_text), normalise_objdump(text))
        if not agrees and capstone_agrees(bytes_from(theirs, address), address, our_length, our_text):
            counts["capstone"] += 1
            continue
        if our_length != length:
            counts["length"] += 1
            problems.append("%x length %d, objdump %d: %s | %s  [%s]" % (address, our_length, length, our_text,
                                                                       text, " ".join(raw)))
        elif not texts_agree(normalise_tool(our_text), normalise_objdump(text)):
            counts["text"] += 1
            problems.append("%x text: %s | %s  (%s | %s) [%s] %s" % (
                address, our_text, text, normalise_tool(our_text), normalise_objdump(text), " ".join(raw),
                capstone_judge(raw, address)))
    return counts, problems


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    tool = sys.argv[1]
    objdump = objdump_program()
    if not objdump:
        print("SKIPPED: no objdump installed")
        return 0
    dlls = [dll for dll in sys.argv[2:] if os.path.isfile(dll)]
    if len(dlls) < len(sys.argv[2:]):
        print("note: the build's i686 DLLs are missing; configure CRASHKIT_DISASM_SWEEP_DLLS after building them")
    dlls += [os.path.join(WINE_DLL_DIR, name) for name in WINE_DLLS if os.path.isfile(os.path.join(WINE_DLL_DIR, name))]
    if not dlls:
        print("note: neither the build's i686 DLLs nor Wine's i386 DLLs (%s) are present" % WINE_DLL_DIR)
    # The sweeps run side by side; then the comparison is cut into runs of addresses, each on a
    # processor of its own (forked workers inherit the sweeps). Reports keep their order.
    jobs = [functools.partial(sweep_image, tool, objdump, dll) for dll in dlls]
    jobs += [functools.partial(sweep_random, tool, objdump, seed, kind) for seed, kind in enumerate(RANDOM_KINDS)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count()) as threads:
        SWEEPS.extend(threads.map(lambda job: job(), jobs))
    runs = [(index, first) for index, sweep in enumerate(SWEEPS) for first in range(0, len(sweep.addresses), RUN_LENGTH)]
    context = multiprocessing.get_context("fork")
    with concurrent.futures.ProcessPoolExecutor(max_workers=os.cpu_count(), mp_context=context) as pool:
        results = list(pool.map(compare_run, runs))
    failed = False
    for index, sweep in enumerate(SWEEPS):
        counts, problems = collections.Counter(), []
        for (run_index, _), (run_counts, run_problems) in zip(runs, results):
            if run_index == index:
                counts.update(run_counts)
                problems += run_problems
        if sweep.random:
            # Random bytes hold many instructions of later processors: only disagreements count.
            problems = [problem for problem in problems if " undecoded: " not in problem or "-v" in sys.argv]
        failed |= report(sweep.name, counts, problems)
    return 1 if failed else 0


Sweep = collections.namedtuple("Sweep", "name theirs ours addresses symbols random")
SWEEPS = []
RUN_LENGTH = 20000


def compare_run(run):
    index, first = run
    sweep = SWEEPS[index]
    return compare(sweep.theirs, sweep.ours, sweep.addresses[first:first + RUN_LENGTH], sweep.symbols)


def sweep_image(tool, objdump, dll):
    theirs, symbols = objdump_sweep(objdump, ["-d", "-j", ".text", dll])
    return Sweep(os.path.basename(dll), theirs, tool_sweep(tool, [dll]), sorted(theirs), symbols, False)


def sweep_random(tool, objdump, seed, kind):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "random-%s.bin" % kind)
        with open(path, "wb") as file:
            file.write(random_code(seed, kind))
        theirs, symbols = objdump_sweep(objdump, ["-D", "-b", "binary", "-m", "i386", "--adjust-vma=0x%x" % RANDOM_BASE,
                                                  path])
        ours = tool_sweep(tool, ["--raw", path, "--base", "%x" % RANDOM_BASE])
    return Sweep("random bytes (%s)" % kind, theirs, ours, sorted(theirs), symbols, True)

RANDOM_BASE = 0x10000000
RANDOM_SIZE = 1 << 18
# Uniform bytes, and bytes rich in the escape, prefix and x87 bytes that make the maps' corners.
RANDOM_KINDS = ["uniform", "escapes"]
ESCAPE_BYTES = [0x0F, 0x66, 0xF2, 0xF3, 0x67, 0xD8, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0x0F, 0x0F]


def random_code(seed, kind):
    generator = random.Random(seed)
    if kind == "uniform":
        return bytes(generator.randrange(256) for _ in range(RANDOM_SIZE))
    return bytes(generator.choice(ESCAPE_BYTES) if generator.random() < 0.3 else generator.randrange(256)
                 for _ in range(RANDOM_SIZE))


def report(name, counts, problems):
    print("%s: %d instructions compared, %d length and %d text differences, %d undecodable, "
          "%d where capstone sides with the decoder" % (name, counts["compared"], counts["length"], counts["text"],
                                                       counts["undecoded"], counts["capstone"]))
    for problem in problems[:MAX_REPORTED]:
        print("  " + problem)
    return bool(problems)


if __name__ == "__main__":
    sys.exit(main())
