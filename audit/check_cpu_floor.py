"""CPU audit of the shipped 32-bit launcher: no instruction beyond the i486.

  audit/check-cpu-floor EXE [--map MAP]

Windows 98 runs on a 486DX, and many PCs of 1998 to 2002 have no CMOV, MMX or SSE
(Pentium MMX, K6-2 and K6-III, Cyrix 6x86 and MII, early VIA C3). On those an
instruction beyond the floor ends the program with an illegal-instruction fault, so
every executable section of EXE is disassembled, library code that the linker pulled
in included, and the check fails (exit 1) on:
  - P6 instructions: cmov*, fcmov*, fcomi/fcomip/fucomi/fucomip, the long NOP
    (nopw/nopl, 0F 1F), sysenter/sysexit;
  - Pentium instructions: cmpxchg8b, rdtsc, rdmsr/wrmsr, rdpmc, and cpuid (early
    486s lack it);
  - anything that names an MMX, SSE or AVX register (%mm, %xmm, %ymm, %zmm, %k),
    and the SSE-era instructions that name none (fences, prefetches, fxsave, ...).
Each finding is printed with its address and, where the link map (MAP, by default
EXE's name with .map beside it) tells, the function and object file it lies in.
Bytes that are data inside .text (the constructor lists) disassemble as "(bad)" or
as plain i386 instructions and are never findings themselves.
Exit 2: the exe or objdump could not be read.
"""
import argparse
import bisect
import os
import re
import subprocess
import sys

from cdtools import cli, link_map
from cdtools.pe_image import objdump_command

BEYOND_I486 = re.compile(
    r"^(cmov\w+|fcmov\w+|fu?comip?|nop[wl]|sysenter|sysexit|sysret|syscall"
    r"|cmpxchg8b|cmpxchg16b|rdtscp?|rdmsr|wrmsr|rdpmc|cpuid"
    r"|emms|femms|[lms]fence|prefetch\w*|movnti|clflush\w*|fxsave\w*|fxrstor\w*"
    r"|ldmxcsr|stmxcsr|xsave\w*|xrstor\w*|popcnt|lzcnt|tzcnt|movbe|crc32\w*)$")
WIDE_REGISTER = re.compile(r"%(mm[0-7]|[xyz]mm\d+|k[0-7])\b")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(\S+)(?:\s+(.*))?$")


def disassemble(exe):
    """(address, mnemonic, operands) of every instruction in EXE's executable sections."""
    listing = subprocess.run([objdump_command(), "-d", "--no-show-raw-insn", "-M", "att", exe],
                             check=True, capture_output=True, text=True).stdout
    instructions = []
    for line in listing.splitlines():
        match = INSTRUCTION.match(line)
        if match:
            instructions.append((int(match.group(1), 16), match.group(2), match.group(3) or ""))
    return instructions


def findings(instructions):
    """The instructions beyond the i486, as (address, text)."""
    found = []
    for address, mnemonic, operands in instructions:
        # A prefix (rep, lock, data16) is shown as the mnemonic: look at what follows it.
        words = [mnemonic] + operands.split()
        while len(words) > 1 and words[0] in ("rep", "repz", "repnz", "repe", "repne", "lock",
                                              "data16", "addr16", "cs", "ds", "es", "fs", "gs",
                                              "ss"):
            words = words[1:]
        text = " ".join(words)
        if BEYOND_I486.match(words[0]) or WIDE_REGISTER.search(text):
            found.append((address, text))
    return found


class Locator:
    """Names where an address lies: the symbol and the object file, from the link map."""

    def __init__(self, map_path):
        with open(map_path, errors="replace") as f:
            text = f.read()
        self.sections = [s for s in link_map.input_sections(text) if s.output == ".text"]
        self.symbols = link_map.symbols(text)
        self.addresses = [address for address, _ in self.symbols]

    def where(self, address):
        section = next((s for s in self.sections
                        if s.address <= address < s.address + s.size), None)
        if section is None:
            return "?"
        at = bisect.bisect_right(self.addresses, address) - 1
        if at >= 0 and self.addresses[at] >= section.address:
            name = self.symbols[at][1]
        else:  # a static function: its section (-ffunction-sections) names it
            name = section.name.partition("$")[2] or section.name
        return "%s in %s" % (name, os.path.basename(section.source))


def main(argv):
    parser = argparse.ArgumentParser(prog="check-cpu-floor",
                                     usage="audit/check-cpu-floor EXE [--map MAP]")
    parser.add_argument("exe")
    parser.add_argument("--map", dest="map_path")
    args = parser.parse_args(argv[1:])  # a usage error exits with 2
    exe, map_path = args.exe, args.map_path
    try:
        instructions = disassemble(exe)
    except (OSError, subprocess.CalledProcessError) as error:
        print("cannot disassemble %s: %s" % (exe, error), file=sys.stderr)
        return cli.REFUSED
    if not instructions:
        print("%s: no instructions found" % exe, file=sys.stderr)
        return cli.REFUSED
    if map_path is None:
        candidate = os.path.splitext(exe)[0] + ".map"
        map_path = candidate if os.path.exists(candidate) else None
    locator = Locator(map_path) if map_path else None

    found = findings(instructions)
    for address, text in found:
        where = locator.where(address) if locator else "?"
        print("%08x  %-32s %s" % (address, text, where))
    if found:
        print("%s: %d of %d instructions are beyond the i486" % (exe, len(found), len(instructions)))
        return cli.FAILED
    print("%s: %d instructions, none beyond the i486" % (exe, len(instructions)))
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv))
