"""Reads the parts of a PE image that the audit, the benchmark and the post-link fix-up
(tools/run_from_swap.py) need.

Only the Python 3 standard library is used, so this runs on any build machine.
"""
import os
import shutil
import struct

MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
MACHINE_NAMES = {MACHINE_I386: "i386", MACHINE_AMD64: "x86-64"}
SUBSYSTEM_NAMES = {2: "Windows GUI", 3: "Windows console"}
RESOURCE_TYPE_NAMES = {
    1: "cursor", 2: "bitmap", 3: "icon", 4: "menu", 5: "dialog", 6: "string table",
    9: "accelerators", 12: "cursor group", 14: "icon group", 16: "version info",
    24: "manifest",
}
# COFF header Characteristics.
FILE_RELOCS_STRIPPED = 0x0001
FILE_EXECUTABLE_IMAGE = 0x0002
FILE_SYSTEM = 0x1000
FILE_DLL = 0x2000
FILE_REMOVABLE_RUN_FROM_SWAP = 0x0400
FILE_NET_RUN_FROM_SWAP = 0x0800
FILE_CHARACTERISTIC_NAMES = {
    0x0001: "RELOCS_STRIPPED", 0x0002: "EXECUTABLE_IMAGE", 0x0004: "LINE_NUMS_STRIPPED",
    0x0008: "LOCAL_SYMS_STRIPPED", 0x0020: "LARGE_ADDRESS_AWARE", 0x0100: "32BIT_MACHINE",
    0x0200: "DEBUG_STRIPPED", 0x0400: "REMOVABLE_RUN_FROM_SWAP", 0x0800: "NET_RUN_FROM_SWAP",
    0x1000: "SYSTEM", 0x2000: "DLL", 0x4000: "UP_SYSTEM_ONLY",
}
# Optional header DllCharacteristics.
DLL_DYNAMIC_BASE = 0x0040
DLL_NX_COMPAT = 0x0100
DLL_CHARACTERISTIC_NAMES = {
    0x0020: "HIGH_ENTROPY_VA", 0x0040: "DYNAMIC_BASE", 0x0080: "FORCE_INTEGRITY",
    0x0100: "NX_COMPAT", 0x0200: "NO_ISOLATION", 0x0400: "NO_SEH", 0x0800: "NO_BIND",
    0x1000: "APPCONTAINER", 0x2000: "WDM_DRIVER", 0x4000: "GUARD_CF",
    0x8000: "TERMINAL_SERVER_AWARE",
}
# Section Characteristics.
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_READ = 0x40000000
SCN_MEM_WRITE = 0x80000000
BASE_RELOCATION_DIRECTORY = 5


def flag_names(value, names):
    """The names of the bits set in value, joined by " | "."""
    parts = [names.get(1 << bit, "0x%x" % (1 << bit)) for bit in range(32) if value >> bit & 1]
    return " | ".join(parts) or "none"


def pe_checksum(data, checksum_offset):
    """The optional header's CheckSum for a file: its 16-bit words (the CheckSum field itself
    read as zero) added with end-around carry, plus the file's length."""
    words = bytes(data[:checksum_offset]) + bytes(4) + bytes(data[checksum_offset + 4:])
    if len(words) % 2:
        words += b"\0"
    total = sum(struct.unpack("<%dH" % (len(words) // 2), words))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def objdump_command(machine="i386"):
    """The binutils objdump that reads images of `machine` (a MACHINE_NAMES value): $OBJDUMP,
    else MinGW's own for that machine, else the system's."""
    own = "x86_64-w64-mingw32-objdump" if machine == "x86-64" else "i686-w64-mingw32-objdump"
    for name in (os.environ.get("OBJDUMP"), own, "objdump"):
        if name and shutil.which(name):
            return name
    raise OSError("no objdump for %s found (install binutils-mingw-w64)" % machine)


class PeError(ValueError):
    pass


class Section:
    def __init__(self, name, virtual_size, raw_offset, raw_size, characteristics=0):
        self.name = name
        self.virtual_size = virtual_size
        self.raw_offset = raw_offset
        self.raw_size = raw_size
        self.characteristics = characteristics

    @property
    def writable_and_executable(self):
        both = SCN_MEM_WRITE | SCN_MEM_EXECUTE
        return self.characteristics & both == both


class PeImage:
    """Header fields, sections and resource sizes of one PE file."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise PeError("not an MZ executable")
        pe_offset = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe_offset + 4
        self.characteristics_offset = coff + 18
        (self.machine, section_count, self.timestamp, _, _,
         optional_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        magic = struct.unpack_from("<H", data, optional)[0]
        if magic not in (0x10B, 0x20B):
            raise PeError("unknown optional header magic 0x%x" % magic)
        self.is_pe32_plus = magic == 0x20B
        (self.major_os_version, self.minor_os_version, _, _,
         self.major_subsystem_version, self.minor_subsystem_version) = struct.unpack_from(
             "<HHHHHH", data, optional + 40)
        self.size_of_headers = struct.unpack_from("<I", data, optional + 60)[0]
        self.checksum_offset = optional + 64
        self.checksum = struct.unpack_from("<I", data, self.checksum_offset)[0]
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
        directories = optional + (112 if self.is_pe32_plus else 96)
        directory_count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(min(directory_count, 16))]
        self.sections = []
        table = optional + optional_size
        for i in range(section_count):
            raw = data[table + 40 * i:table + 40 * (i + 1)]
            name = raw[:8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from(
                "<IIII", raw, 8)
            characteristics = struct.unpack_from("<I", raw, 36)[0]
            section = Section(name, virtual_size, raw_offset, raw_size, characteristics)
            section.virtual_address = virtual_address
            self.sections.append(section)

    @classmethod
    def read(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    @property
    def machine_name(self):
        return MACHINE_NAMES.get(self.machine, "0x%04x" % self.machine)

    @property
    def subsystem_name(self):
        return SUBSYSTEM_NAMES.get(self.subsystem, "subsystem %d" % self.subsystem)

    @property
    def subsystem_version(self):
        return "%d.%d" % (self.major_subsystem_version, self.minor_subsystem_version)

    def computed_checksum(self):
        return pe_checksum(self.data, self.checksum_offset)

    def directory(self, index):
        """(rva, size) of a data directory, (0, 0) where the header has none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def relocation_blocks(self):
        """(page rva, entry count) of each block of the base-relocation table."""
        rva, size = self.directory(BASE_RELOCATION_DIRECTORY)
        if not size:
            return []
        start = self.file_offset(rva)
        if start + size > len(self.data):
            raise PeError("the base-relocation table runs past the end of the file")
        blocks = []
        at = start
        while at < start + size:
            if at + 8 > start + size:
                raise PeError("a base-relocation block header runs past the table")
            page, block_size = struct.unpack_from("<II", self.data, at)
            if block_size < 8 or block_size % 2 or at + block_size > start + size:
                raise PeError("the base-relocation block at 0x%x has size %d" % (
                    at - start, block_size))
            blocks.append((page, (block_size - 8) // 2))
            at += block_size
        return blocks

    def section(self, name):
        return next((s for s in self.sections if s.name == name), None)

    def file_offset(self, rva):
        for s in self.sections:
            if s.virtual_address <= rva < s.virtual_address + max(s.raw_size, s.virtual_size):
                return s.raw_offset + rva - s.virtual_address
        raise PeError("address 0x%x lies in no section" % rva)

    def resource_sizes(self):
        """Bytes of resource data per resource type, e.g. {"bitmap": 62000, ...}."""
        if len(self.directories) < 3 or self.directories[2][0] == 0:
            return {}
        base = self.file_offset(self.directories[2][0])
        sizes = {}

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)

        def leaf_bytes(offset):
            total = 0
            for _, target in entries(offset):
                if target & 0x80000000:
                    total += leaf_bytes(target & 0x7FFFFFFF)
                else:
                    total += struct.unpack_from("<I", self.data, base + target + 4)[0]
            return total

        for type_id, target in entries(0):
            name = (RESOURCE_TYPE_NAMES.get(type_id, "type %d" % type_id)
                    if not type_id & 0x80000000 else "named type")
            size = leaf_bytes(target & 0x7FFFFFFF) if target & 0x80000000 else 0
            sizes[name] = sizes.get(name, 0) + size
        return sizes

    def resource_directory_timestamps(self):
        """TimeDateStamp of every resource directory table (0 in a reproducible build)."""
        if len(self.directories) < 3 or self.directories[2][0] == 0:
            return []
        base = self.file_offset(self.directories[2][0])
        stamps = []

        def walk(offset):
            stamps.append(struct.unpack_from("<I", self.data, base + offset + 4)[0])
            named, numbered = struct.unpack_from("<HH", self.data, base + offset + 12)
            for i in range(named + numbered):
                _, target = struct.unpack_from("<II", self.data, base + offset + 16 + 8 * i)
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF)

        walk(0)
        return stamps
