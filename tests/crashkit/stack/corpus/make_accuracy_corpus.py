#!/usr/bin/env python3
"""Writes the stack tracer's accuracy corpus: i686 stacks of known chains of calls, laid out from
the compiled code as a run would leave them at the fault.

The code cannot run here, so each stack is built by walking the chain through objdump's view of
both images: every call writes its return address below the caller's stack pointer at that call,
every prologue writes its pushes (the caller's frame pointer for "push %ebp", other registers as
small numbers) and drops the stack pointer by its frame, and the stack pointer at each call site
comes from following the stack adjustments of the function's instructions from its entry. Earlier
calls of each live function (its Note, and the throw, catch and rethrow on the way) are walked the
same way a few levels deep, and what they wrote stays where the live frames do not overwrite it.

Limits: register contents are stand-ins, not the values a run would hold; the unwinder's own
frames are its functions' first calls, not the exact path it takes; a landing pad's stack pointer
is taken from the calls of its function's body (true for code that stores arguments rather than
pushing them, as this corpus is built).

Output, one chain a block (numbers in hex):
  chain KIND DEPTH
  registers INSTRUCTION STACK-POINTER STACK-TOP FRAME-POINTER THREAD-START
  truth RETURN-ADDRESS...   (most recent first; repeated blocks folded as recursion is listed)
  stack WORD...             (from the stack pointer up to the stack top)
"""
import argparse
import bisect
import functools
import random
import re
import subprocess

STACK_TOP = 0x00300000
STACK_FLOOR = 0x002F0000
WALK = STACK_TOP - 0x20  # the walk's structure, in the thread's outermost frame
LEVELS = ["FramedLevel%d" % i for i in range(8)] + ["LeanLevel%d" % i for i in range(8)]
EARLIER = ("Note", "Rethrows", "cxa_begin_catch")  # what a live function calls before going on
KINDS = ("frame-pointers", "no-frame-pointers", "mixed", "pointers", "import-callback", "recursion",
         "throw-rethrow", "system-fault")
DEPTHS = (1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 18, 22, 26, 30, 35, 40)

_HEADER = re.compile(r"^([0-9a-f]+) <(.*)>:$")
_INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t[0-9a-f ]+\t(\S+)\s*(.*)$")


def run(command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True, errors="replace").stdout


def plain(name):
    """Function name without parameters, clone suffix, namespace or leading underscores."""
    name = re.sub(r" \[clone [^\]]*\]", "", name)
    name = name.split("(")[0].split("::")[-1]
    return name.lstrip("_")


class Image:
    """One module as objdump shows it: instructions by address, functions by start."""

    def __init__(self, objdump, nm, path, exports_only):
        self.code = {}  # address -> (mnemonic, operands, next address)
        self.symbols = not exports_only  # where functions end is known only from symbols
        self.functions = {}  # start -> plain name
        order = []
        for line in run([objdump, "-d", "-C", path]).splitlines():
            header = _HEADER.match(line)
            if header:
                if not exports_only:
                    self.functions[int(header.group(1), 16)] = plain(header.group(2))
                continue
            instruction = _INSTRUCTION.match(line)
            if instruction:
                order.append((int(instruction.group(1), 16), instruction.group(2), instruction.group(3)))
        for (address, mnemonic, operands), following in zip(order, order[1:] + [(0, "", "")]):
            self.code[address] = (mnemonic, operands, following[0])
        self.cells = {}  # import cell -> imported name
        for line in run([nm, path]).splitlines() if self.symbols else []:
            parts = line.split()
            if len(parts) == 3 and parts[2].startswith("__imp__"):
                self.cells[int(parts[0], 16)] = parts[2][len("__imp__"):]
        self.exports = {}  # exported name -> address
        dump = run([objdump, "-p", path])
        base = int(re.search(r"^ImageBase\s+([0-9a-f]+)$", dump, re.M).group(1), 16)
        rvas = re.findall(r"^\s+\[\s*\d+\] \+base\[\s*\d+\] ([0-9a-f]+) Export RVA$", dump, re.M)
        names = re.findall(r"^\t\[\s*\d+\] (\S+)$", dump, re.M)
        for rva, name in zip(rvas, names):
            self.exports[name] = base + int(rva, 16)
            self.functions.setdefault(base + int(rva, 16), plain(name.split("@")[0]))
        if exports_only:  # the targets of direct calls start functions too
            for mnemonic, operands, _ in self.code.values():
                direct = re.match(r"^0x([0-9a-f]+)$", operands) if mnemonic == "call" else None
                if direct and int(direct.group(1), 16) in self.code:
                    self.functions.setdefault(int(direct.group(1), 16), "")
        self.starts = sorted(self.functions)
        self.addresses = sorted(self.code)
        self.deltas = {}

    def between(self, start, end):
        return self.addresses[bisect.bisect_left(self.addresses, start):bisect.bisect_left(self.addresses, end)]

    def start_of(self, name):
        return next(start for start, plain_name in self.functions.items() if plain_name == name)

    def end_of(self, start):
        later = bisect.bisect_right(self.starts, start)
        return self.starts[later] if later < len(self.starts) else self.addresses[-1] + 1

    @functools.lru_cache(maxsize=None)
    def calls(self, start):
        """(site, return address, operands) of each call in the function, in address order."""
        return [(a, self.code[a][2], self.code[a][1]) for a in self.between(start, self.end_of(start))
                if self.code[a][0] == "call"]


class Process:
    """Both images, and the stack pointer of each instruction relative to its function's entry."""

    def __init__(self, images):
        self.images = images

    def image_of(self, address):
        return next(image for image in self.images if address in image.code)

    def target(self, operands):
        """The called function of a direct call or of a call through an import cell, else None."""
        direct = re.match(r"^(?:0x)?([0-9a-f]+)(?: <.*>)?$", operands)
        if direct:
            return int(direct.group(1), 16)
        cell = re.match(r"^\*0x([0-9a-f]+)$", operands)
        for image in self.images:
            if cell and int(cell.group(1), 16) in image.cells:
                name = image.cells[int(cell.group(1), 16)]
                return next(i.exports[name] for i in self.images if name in i.exports)
        return None

    def callee_pops(self, target):
        if target is None or not any(target in image.code for image in self.images):
            return 0
        image = self.image_of(target)
        for address in image.between(target, image.end_of(target)):
            mnemonic, operands, _ = image.code[address]
            if mnemonic == "ret":
                return int(operands[3:], 16) if operands.startswith("$0x") else 0
        return 0

    def deltas(self, start):
        image = self.image_of(start)
        if start not in image.deltas:
            image.deltas[start] = self._walk(image, start)
        return image.deltas[start]

    def _walk(self, image, start):
        """Stack pointer before each instruction, relative to the entry; None on what cannot be followed."""
        end = image.end_of(start)
        known = {}
        pending = [(start, 0, None)]
        body = None
        while True:
            while pending:
                address, esp, ebp = pending.pop()
                while start <= address < end and address not in known and address in image.code:
                    known[address] = esp
                    mnemonic, operands, following = image.code[address]
                    step = self._step(mnemonic, operands, esp, ebp)
                    if step is None or (mnemonic == "ret" and esp != 0):
                        return None  # not followed, or followed wrongly: every path returns at entry level
                    esp, ebp, jump, goes_on = step
                    if mnemonic == "call":
                        body = known[address] if body is None else body
                        esp += self.callee_pops(self.target(operands))
                    if jump is not None:
                        pending.append((jump, esp, ebp))
                    if not goes_on:
                        break
                    address = following
            # Landing pads are reached from no instruction: they run with the body's stack pointer.
            unreached = [a for a in image.between(start, end) if a not in known]
            if not unreached or body is None or not image.symbols:
                return known
            framed = image.code[image.code[start][2]][:2] == ("mov", "%esp,%ebp")
            pending.append((unreached[0], body, -4 if framed else None))

    @staticmethod
    def _step(mnemonic, operands, esp, ebp):
        """(esp, ebp, jump target, falls through) after one instruction."""
        number = re.match(r"^\$0x([0-9a-f]+),%esp$", operands)
        if mnemonic.startswith("push"):
            return esp - 4, ebp, None, True
        if mnemonic.startswith("pop"):
            return esp + 4, None if operands == "%ebp" else ebp, None, True
        if mnemonic == "sub" and number:
            return esp - int(number.group(1), 16), ebp, None, True
        if mnemonic == "add" and number:
            return esp + int(number.group(1), 16), ebp, None, True
        if mnemonic == "mov" and operands == "%esp,%ebp":
            return esp, esp, None, True
        if mnemonic == "mov" and operands == "%ebp,%esp":
            return (ebp, ebp, None, True) if ebp is not None else None
        frame = re.match(r"^lea\s*(-?0x[0-9a-f]+)?\(%ebp\),%esp$", mnemonic + " " + operands)
        if frame:
            return (ebp + int(frame.group(1) or "0", 16), ebp, None, True) if ebp is not None else None
        if mnemonic == "leave":
            return (ebp + 4, None, None, True) if ebp is not None else None
        if mnemonic.startswith("ret") or mnemonic in ("ud2", "hlt") or (mnemonic == "jmp" and operands.startswith("*")):
            return esp, ebp, None, False
        if mnemonic.startswith("j"):
            target = re.match(r"^(?:0x)?([0-9a-f]+)", operands)
            return esp, ebp, int(target.group(1), 16) if target else None, mnemonic != "jmp"
        if operands.endswith("%esp") and mnemonic not in ("cmp", "test"):
            return None  # an adjustment this walk does not follow
        return esp, ebp, None, True


class Stack:
    """The thread's stack as the chain leaves it, with the registers a walk through it holds."""

    def __init__(self, process, rng):
        self.process = process
        self.rng = rng
        self.words = {}
        for address in range(STACK_FLOOR, STACK_TOP, 4):  # what the stack held before
            self.words[address] = address if address % 12 == 0 else (address // 4) & 0xFF
        self.ebp = 0

    def put(self, address, value):
        self.words[address] = value & 0xFFFFFFFF

    def enter(self, start, esp):
        """Runs the prologue of the function entered with esp at its return address."""
        image = self.process.image_of(start)
        address = start
        frame_pointer = False
        while True:
            mnemonic, operands, following = image.code[address]
            if mnemonic == "push":
                esp -= 4
                self.put(esp, self.ebp if operands == "%ebp" else self.rng.choice((0, 1, WALK, esp + 0x40)))
            elif mnemonic == "mov" and operands == "%esp,%ebp":
                self.ebp, frame_pointer = esp, True
            elif not (mnemonic == "sub" and operands.endswith(",%esp")):
                break
            address = following
        if image.code[start][:2] == ("push", "%ebp") and not frame_pointer:
            self.ebp = 0x2A  # free for other uses without frame pointers

    def call(self, start, site, callee, entry):
        """Writes the arguments and the return address of the call at site in the function at
        start, entered with the stack pointer entry; the callee's stack pointer at its entry."""
        deltas = self.process.deltas(start)
        if deltas is None or site not in deltas:
            raise ValueError("the stack pointer at the call at %x is not known" % site)
        esp = entry + deltas[site]
        self.arguments(start, site, entry, deltas)
        return_address = self.process.image_of(site).code[site][2]
        self.put(esp - 4, return_address)
        self.enter(callee, esp - 4)
        return esp - 4, return_address

    def arguments(self, start, site, entry, deltas):
        """The stores to the stack pointer's frame right before a call: its arguments."""
        image = self.process.image_of(start)
        before = image.between(start, site)
        for address in reversed(before[-8:]):
            mnemonic, operands, _ = image.code[address]
            if mnemonic.startswith(("call", "j", "ret")) or address not in deltas:
                break
            store = re.match(r"^(\$0x[0-9a-f]+|%\w+),(0x[0-9a-f]+)?\(%esp\)$", operands)
            if mnemonic.startswith("mov") and store:
                value = int(store.group(1)[3:], 16) if store.group(1).startswith("$") else self.rng.choice((WALK, 7))
                self.put(entry + deltas[address] + int(store.group(2) or "0", 16), value)

    def earlier(self, start, entry, before, budget, names=None):
        """The calls a function makes before the site 'before' (only to names when given), each
        walked budget levels deep; the frame pointer is the function's own again afterwards."""
        image = self.process.image_of(start)
        saved = self.ebp
        calls = image.calls(start)
        for site, _, operands in calls if names else calls[:4]:
            target = self.process.target(operands)
            if site >= before or target is None or target == start:
                continue
            if names and self.process.image_of(target).functions.get(target) not in names:
                continue
            if self.process.deltas(start) is None or site not in self.process.deltas(start):
                continue
            if self.process.deltas(target) is None:
                continue
            callee_entry, _ = self.call(start, site, target, entry)
            if budget > 0:
                self.earlier(target, callee_entry, 1 << 64, budget - 1)
            self.ebp = saved


def fold(addresses):
    """Removes one copy of each block that directly repeats, until none does."""
    changed = True
    while changed:
        changed = False
        for length in range(1, len(addresses) // 2 + 1):
            for i in range(len(addresses) - 2 * length + 1):
                if addresses[i:i + length] == addresses[i + length:i + 2 * length]:
                    del addresses[i:i + length]
                    changed = True
                    break
            if changed:
                break
    return addresses


class Chain:
    """One chain of calls from CorpusRun to a fault, laid onto a stack."""

    def __init__(self, process, corpus, system, rng):
        self.process, self.corpus, self.system, self.rng = process, corpus, system, rng
        self.stack = Stack(process, rng)
        self.returns = []  # live return addresses, oldest first
        self.current = corpus.start_of("CorpusRun")
        self.entry = WALK - 0x20
        self.stack.put(self.entry, 0)  # returns into the system's thread start
        self.stack.enter(self.current, self.entry)

    def site(self, predicate):
        for site, _, operands in self.process.image_of(self.current).calls(self.current):
            if predicate(operands, self.process.target(operands)):
                return site
        raise LookupError("no such call in %x" % self.current)

    def direct(self, name):
        start = self.corpus.start_of(name)
        return self.site(lambda _, target: target == start), start

    def go(self, site, callee, earlier=EARLIER):
        self.stack.earlier(self.current, self.entry, site, 3, earlier)
        self.entry, return_address = self.stack.call(self.current, site, callee, self.entry)
        self.returns.append(return_address)
        self.current = callee

    def pointer_site(self):
        return self.site(lambda operands, target: operands.startswith("*") and target is None)

    def step_returns(self, move, callee):
        """The return addresses that a step to the level callee would leave."""
        image = self.process.image_of(self.current)
        if move == "direct":
            return [image.code[self.direct(self.corpus.functions[callee])[0]][2]]
        if move == "pointer":
            return [image.code[self.pointer_site()][2]]
        visit = self.system.exports["SysVisit"]
        back = [site for site, _, operands in self.system.calls(visit) if operands.startswith("*")][0]
        return [image.code[self.site(lambda _, target: target == visit)][2], self.system.code[back][2]]

    def level(self, move, callee):
        """One step from the current level to the level callee."""
        if move == "direct":
            self.go(*self.direct(self.corpus.functions[callee]))
        elif move == "pointer":
            self.go(self.pointer_site(), callee)
        elif move == "visit":
            visit = self.system.exports["SysVisit"]
            self.go(self.site(lambda _, target: target == visit), visit)
            self.go(self.site(lambda operands, _: operands.startswith("*")), callee)
        elif move == "catch":
            self.go(*self.direct("Catches"))
            self.go(*self.direct("FramedLevel0"))

    def fault(self, how):
        """Ends the chain at a fault; the registers at it."""
        if how == "crash":
            family = "FramedCrash" if self.corpus.functions[self.current].startswith("Framed") else "LeanCrash"
            self.go(*self.direct(family))
        elif how == "system":
            fill = self.system.exports["SysFill@8"]
            self.go(self.site(lambda _, target: target == fill), fill)
            worker = self.process.target(self.process.image_of(fill).calls(fill)[0][2])
            self.go(self.process.image_of(fill).calls(fill)[0][0], worker)
        else:
            self.stack.earlier(self.current, self.entry, 1 << 64, 2, ("Note",))
        # The fault: the first store through a register after the prologue, or in a level the
        # first read through one after its earlier call.
        image = self.process.image_of(self.current)
        deltas = self.process.deltas(self.current)
        body = sorted(a for a in deltas if image.code[a][0] not in ("push", "sub") and a > self.current)
        if how == "inline":
            after = image.calls(self.current)[0][1]
            faults = [a for a in body if a >= after and re.search(r"\(%e[abcd]x|\(%e[sd]i", image.code[a][1])]
        else:
            faults = [a for a in body if re.match(r"^%\w+,-?(0x[0-9a-f]+)?\(%e[a-z]x", image.code[a][1])]
        instruction = (faults or body)[0]
        esp = self.entry + deltas[instruction]
        return instruction, esp, self.stack.ebp


def make_chain(process, corpus, system, kind, depth, rng):
    chain = Chain(process, corpus, system, rng)
    framed = [corpus.start_of(name) for name in LEVELS[:8]]
    lean = [corpus.start_of(name) for name in LEVELS[8:]]
    chain.go(*chain.direct("FramedLevel0"))
    terminal = "system" if kind == "system-fault" else "inline" if depth == 1 else rng.choice(("crash", "inline"))
    last = depth - {"system": 2, "crash": 1, "inline": 0}[terminal]
    catch_at = rng.randrange(1, max(2, last)) if kind == "throw-rethrow" else -1
    while len(chain.returns) < last:
        room = last - len(chain.returns)
        family = framed if kind == "frame-pointers" else lean if kind == "no-frame-pointers" else framed + lean
        moves = ["direct", "pointer"] if kind != "pointers" else ["pointer"]
        if kind == "import-callback" and room >= 2:
            moves = ["visit", "visit", "direct", "pointer"]
        if kind == "recursion" and rng.random() < 0.5:
            run = min(room, rng.randrange(2, 9))
            for _ in range(run):
                chain.go(*chain.direct(corpus.functions[chain.current]))
            continue
        if len(chain.returns) >= catch_at > 0 and room >= 2:
            chain.level("catch", None)
            catch_at = -1
            continue
        neighbours = [process.target(operands) for _, _, operands in corpus.calls(chain.current)]
        for _ in range(20):  # no block that repeats by chance, which would be listed as recursion
            move = rng.choice(moves)
            choices = [f for f in family if f != chain.current and (move != "direct" or f in neighbours)]
            if not choices:
                choices, move = [f for f in family if f != chain.current], "pointer"
            callee = rng.choice(choices)
            trial = chain.returns + chain.step_returns(move, callee)
            if kind == "recursion" or fold(list(trial)) == trial:
                break
        chain.level(move, callee)
    instruction, esp, ebp = chain.fault(terminal)
    truth = fold(list(reversed(chain.returns)))
    words = [chain.stack.words.get(a, 0) for a in range(esp, STACK_TOP, 4)]
    return "\n".join([
        "chain %s %d" % (kind, len(chain.returns)),
        "registers %x %x %x %x %x" % (instruction, esp, STACK_TOP, ebp, corpus.start_of("CorpusRun")),
        "truth " + " ".join("%x" % a for a in truth),
        "stack " + " ".join("%x" % w for w in words),
    ])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--nm", required=True)
    parser.add_argument("--seeds", type=int, default=2)
    parser.add_argument("corpus")
    parser.add_argument("system")
    parser.add_argument("output")
    arguments = parser.parse_args()
    corpus = Image(arguments.objdump, arguments.nm, arguments.corpus, False)
    system = Image(arguments.objdump, arguments.nm, arguments.system, True)
    process = Process([corpus, system])
    blocks = []
    for kind in KINDS:
        for depth in DEPTHS:
            for seed in range(arguments.seeds):
                rng = random.Random("%s/%d/%d" % (kind, depth, seed))
                blocks.append(make_chain(process, corpus, system, kind, depth, rng))
    with open(arguments.output, "w") as output:
        output.write("\n".join(blocks) + "\n")


if __name__ == "__main__":
    main()
