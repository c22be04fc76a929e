"""Reads a GNU ld link map (-Wl,-Map): the archive members that the link took in and why,
and what each input section put where. Shared by the import audit (which object calls an
import), the CPU audit (which function an address lies in) and the footprint benchmark (how
many bytes each input file adds)."""
import re
from collections import namedtuple

InputSection = namedtuple("InputSection", "output name address size source")

_OUTPUT_SECTION = re.compile(r"^(\.\S+)(?:\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+))?\s*$")
_INPUT_SECTION = re.compile(r"^ (\S+)(?:\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*))?\s*$")
_CONTINUATION = re.compile(r"^\s+0x([0-9a-fA-F]+)\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
_SYMBOL = re.compile(r"^\s+0x([0-9a-fA-F]+)\s{2,}(\S.*?)\s*$")


def archive_members(map_text):
    """{archive member: (file that referenced it first, symbol)} from the map's list of
    the archive members that the link took in."""
    start = map_text.find("Archive member included to satisfy reference by file (symbol)")
    if start < 0:
        return {}
    stop = [i for i in (map_text.find("Discarded input sections", start),
                        map_text.find("Allocating common symbols", start)) if i > 0]
    body = map_text[start:min(stop) if stop else len(map_text)].splitlines()[1:]
    reasons = {}
    member = None
    for line in body:
        if not line.strip():
            continue
        if not line[0].isspace():
            parts = re.split(r"\s{2,}", line.strip(), maxsplit=1)
            member = parts[0]
            if len(parts) == 1:
                continue
            line = parts[1]
        match = re.match(r"^\s*(\S+) \((.*)\)$", line)
        if member and match:
            reasons[member] = (match.group(1), match.group(2))
            member = None
    return reasons


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
