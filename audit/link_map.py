"""Reads the memory map part of a GNU ld link map (-Wl,-Map): what each input section
put where. Shared by the CPU audit (which function an address lies in) and the footprint
benchmark (how many bytes each input file adds)."""
import re
from collections import namedtuple

InputSection = namedtuple("InputSection", "output name address size source")

_OUTPUT_SECTION = re.compile(r"^(\.\S+)(?:\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+))?\s*$")
_INPUT_SECTION = re.compile(r"^ (\S+)(?:\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*))?\s*$")
_CONTINUATION = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
_SYMBOL = re.compile(r"^\s+0x([0-9a-fA-F]+)\s{2,}(\S.*?)\s*$")


def _memory_map(map_text):
    start = map_text.find("Linker script and memory map")
    return map_text[start:].splitlines() if start >= 0 else []


def input_sections(map_text):
    """The input sections that the image holds, in map order. Discarded sections, fill and
    sections that are not loaded (debug sections at address 0) are left out."""
    found = []
    output = None
    pending = None  # an input section whose name was too long: its figures are on the next line
    for line in _memory_map(map_text):
        match = _OUTPUT_SECTION.match(line)
        if match:
            output, pending = match.group(1), None
            continue
        if output is None:
            continue
        match = _INPUT_SECTION.match(line)
        if match and not line.startswith(" *"):
            if match.group(2) is None:
                pending = match.group(1)
                continue
            name, address, size, source = match.group(1, 2, 3, 4)
        else:
            match = _CONTINUATION.match(line)
            if not (match and pending):
                pending = None
                continue
            name, (address, size, source) = pending, match.groups()
        pending = None
        address, size = int(address, 16), int(size, 16)
        if size and address:
            found.append(InputSection(output, name, address, size, source.strip()))
    return found


def symbols(map_text):
    """(address, name) of the symbols that the map lists, sorted by address."""
    found = []
    for line in _memory_map(map_text):
        match = _SYMBOL.match(line)
        if match and "=" not in match.group(2) and int(match.group(1), 16):
            found.append((int(match.group(1), 16), match.group(2)))
    return sorted(found)
