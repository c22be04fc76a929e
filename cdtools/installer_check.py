"""Which Windows can start an installer, read from its header.

The launcher starts an installer with CreateProcess (or ShellExecuteEx, for one that asks
for elevation), so an installer starts where that Windows' loader takes its file:
- a PE image: by its machine and its subsystem version. Windows 95, 98 and ME take
  subsystem versions 3.x and 4.0 only (their LoadLibrary refuses a DLL above 4.0); Windows
  NT takes 3.10 up to its own version (5.0 for 2000, 5.1 for XP, 6.0 for Vista, ...).
  64-bit Windows runs i386 images through WOW64; 32-bit Windows runs no x64 image;
- a 16-bit NE program: 98 and ME, and 32-bit NT through NTVDM; 64-bit Windows has none;
- an LE (or LX) program: a DOS-extended program, which starts through its MS-DOS stub in
  an MS-DOS box, where there is one (98, ME, 32-bit NT); an LE library or driver (VxD) is
  no program at all.
The Windows considered are those of x86 and x64 PCs, 98 to 11; a PE image for another
processor (ARM64, Itanium, ...) starts on none of them.
"""
import collections
import os
import struct

from cdtools.pe_image import (FILE_DLL, FILE_EXECUTABLE_IMAGE, FILE_SYSTEM, MACHINE_AMD64,
                              MACHINE_I386, PeError, PeImage)


Release = collections.namedtuple("Release", "name family version editions")
RELEASES = (  # oldest first; editions: 32- and 64-bit
    Release("98", "9x", (4, 10), (32,)),
    Release("ME", "9x", (4, 90), (32,)),
    Release("2000", "NT", (5, 0), (32,)),
    Release("XP", "NT", (5, 1), (32,)),
    Release("XP x64", "NT", (5, 2), (64,)),
    Release("Vista", "NT", (6, 0), (32, 64)),
    Release("7", "NT", (6, 1), (32, 64)),
    Release("8", "NT", (6, 2), (32, 64)),
    Release("8.1", "NT", (6, 3), (32, 64)),
    Release("10", "NT", (10, 0), (32, 64)),
    Release("11", "NT", (10, 0), (64,)),
)
PLATFORMS = tuple((release, bits) for release in RELEASES for bits in release.editions)

PROCESSORS = {0x200: "Itanium", 0xAA64: "ARM64", 0x1C0: "ARM", 0x1C2: "ARM Thumb",
              0x1C4: "ARM Thumb-2", 0x166: "MIPS", 0x184: "Alpha", 0x1F0: "PowerPC"}
SUBSYSTEMS = {2: "GUI", 3: "console"}
OTHER_SUBSYSTEMS = {1: "a native program or driver", 5: "an OS/2 console program",
                    7: "a POSIX program", 9: "a Windows CE program", 10: "an EFI program",
                    11: "an EFI driver", 12: "an EFI driver", 13: "an EFI ROM image",
                    14: "an Xbox program", 16: "a boot application"}
NOT_PROGRAMS = {b"PK\x03\x04": "a ZIP archive", b"MSCF": "a cabinet (.cab) archive",
                b"\xd0\xcf\x11\xe0": "an OLE compound file (a Windows Installer package?)"}
DOS_HEADER = 0x40
# The most a PE header can span: COFF header, optional header, 65535 section entries.
HEADER_SPAN = 4 + 20 + 0xFFFF + 40 * 0xFFFF


def subsystem_taken(release, version):
    if release.family == "9x":
        return version <= (4, 0)
    return (3, 10) <= version <= release.version


class Verdict:
    """What an installer is and where it starts.

    fault: why no Windows starts it (it then reads "NAME is FAULT"); starts_on: the
    (release, bits) that start it; processor: named for a machine type of no PC; why: what
    it is, as the warning names it.
    """

    def __init__(self, kind="", fault=None, starts_on=(), processor=None, why=""):
        self.kind, self.fault, self.processor, self.why = kind, fault, processor, why
        self.starts_on = frozenset(starts_on)
        self.imports = None  # import_check.Report, for a PE image whose imports were read

    @property
    def is_pe(self):
        return self.kind.startswith("PE") and not self.fault and not self.processor

    def import_failures(self, release):
        """The reasons why release will not load it, from its imports ([] where they allow
        it, or were not read)."""
        return self.imports.results[release.name].failures if self.imports else []

    def starts_header_and_imports(self):
        """The (release, bits) that its header allows and its imports do not refuse."""
        return [p for p in PLATFORMS if p in self.starts_on and not self.import_failures(p[0])]

    def warning(self, name):
        """The warning line that names the Windows on which it starts nothing, or None."""
        if self.fault:
            return None
        if self.processor:
            return ("%s is a program for %s processors: on every x86 and x64 PC, Windows 98 "
                    "to 11, the launcher will start nothing" % (name, self.processor))
        missed = set(PLATFORMS) - self.starts_on
        if not missed:
            return None
        return "%s %s: on %s the launcher will start nothing" % (name, self.why,
                                                                 windows_list(missed))

    @property
    def oldest(self):
        if self.fault:
            return "none"
        if self.processor:
            return "only Windows for %s" % self.processor
        starts = self.starts_header_and_imports()
        if not starts:
            return "none"
        release = starts[0][0]
        bits = {b for _, b in self.starts_on}
        return "Windows %s%s" % (release.name, ", %d-bit only" % min(bits) if len(bits) == 1
                                 else "")

    @property
    def limit(self):
        """Why the oldest Windows is not Windows 98: the header's reason, or the last failure
        of the imports before it; "" when Windows 98 starts it."""
        if self.fault or self.processor:
            return ""
        starts = self.starts_header_and_imports()
        oldest = RELEASES.index(starts[0][0]) if starts else len(RELEASES)
        older = [r for r in RELEASES[:oldest] if self.import_failures(r)]
        if older:
            return self.import_failures(older[-1])[0]
        header_first = next(r for r, b in PLATFORMS if (r, b) in self.starts_on)
        return self.why[3:] if header_first != RELEASES[0] else ""


def join(words):
    return ", ".join(words[:-1]) + " and " + words[-1] if len(words) > 1 else "".join(words)


def windows_list(platforms):
    """Names a set of platforms briefly: '32-bit Windows', 'Windows 98, ME and 2000'."""
    left, groups = set(platforms), []
    for bits in (32, 64):
        edition = {p for p in PLATFORMS if p[1] == bits}
        if edition <= left:
            groups.append("%d-bit Windows" % bits)
            left -= edition
    names = []
    for release in RELEASES:
        missed = [b for b in release.editions if (release, b) in left]
        if missed:
            whole = all((release, b) in platforms for b in release.editions)
            names.append(release.name if whole else "%s (%d-bit)" % (release.name, missed[0]))
    if names:
        groups.append("Windows " + join(names))
    return join(groups)


def read(path):
    """The Verdict on one installer file; only its headers are read."""
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        head = f.read(DOS_HEADER)
        if len(head) == DOS_HEADER and head[:2] == b"MZ":
            offset = struct.unpack_from("<I", head, 0x3C)[0]
            if offset < size:
                head += f.read(offset + HEADER_SPAN - DOS_HEADER)
    return classify(head, size)


def classify(data, size):
    """The Verdict on a file of size bytes that begins with data."""
    if size == 0:
        return Verdict(fault="empty (0 bytes)")
    if data[:2] != b"MZ":
        return Verdict(fault=not_a_program(data))
    if len(data) < DOS_HEADER:
        return Verdict(fault="cut short (%d bytes, less than an MS-DOS header)" % size)
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    signature = data[offset:offset + 4]
    if signature == b"PE\0\0":
        return classify_pe(data, size)
    if signature[:2] == b"NE":
        return classify_ne(data, offset)
    if signature[:2] in (b"LE", b"LX"):
        return classify_le(data, offset, signature[:2].decode())
    return Verdict(fault="an MS-DOS program or a damaged file (no PE, NE or LE header)")


def not_a_program(data):
    for magic, what in NOT_PROGRAMS.items():
        if data.startswith(magic):
            return "%s, not a program" % what
    if all(c >= 0x20 or c in b"\t\r\n\f\x1a" for c in data[:512]):
        return "a text file, not a program"
    return "not a program (it does not begin with MZ)"


def classify_pe(data, size):
    try:
        image = PeImage(data)
    except PeError as error:
        return Verdict(fault="a damaged PE file (%s)" % error)
    except struct.error:
        return Verdict(fault="a damaged PE file (its header is cut short)")
    needed = max([s.raw_offset + s.raw_size for s in image.sections if s.raw_size] + [0])
    if needed > size:
        return Verdict(fault="cut short (its sections need %d bytes, the file has %d)" % (
            needed, size))
    if image.characteristics & FILE_DLL:
        return Verdict(fault="a DLL, not a program")
    if image.characteristics & FILE_SYSTEM:
        return Verdict(fault="a system file (a driver), not a program")
    if not image.characteristics & FILE_EXECUTABLE_IMAGE:
        return Verdict(fault="not an executable image (IMAGE_FILE_EXECUTABLE_IMAGE is not set: "
                             "an object file or a failed link)")
    if image.subsystem not in SUBSYSTEMS:
        return Verdict(fault=OTHER_SUBSYSTEMS.get(
            image.subsystem, "a program of subsystem %d" % image.subsystem) +
            ", which the launcher cannot start")
    wide = "PE32+" if image.is_pe32_plus else "PE32"
    pc = image.machine in (MACHINE_I386, MACHINE_AMD64)
    if pc and image.is_pe32_plus != (image.machine == MACHINE_AMD64):
        return Verdict(fault="a damaged PE file (a %s header for machine %s)" % (
            wide, image.machine_name))
    if not pc:
        processor = PROCESSORS.get(image.machine, "machine type " + image.machine_name)
        return Verdict("%s %s %s" % (wide, processor, SUBSYSTEMS[image.subsystem]),
                       processor=processor)
    kind = "%s %s" % (wide, SUBSYSTEMS[image.subsystem])
    version = (image.major_subsystem_version, image.minor_subsystem_version)
    bits = (64,) if image.is_pe32_plus else (32, 64)
    loaders = [p for p in PLATFORMS if p[1] in bits]
    starts_on = [p for p in loaders if subsystem_taken(p[0], version)]
    if not starts_on:
        return Verdict(fault="a %s program with subsystem version %s, which no Windows 98 to 11 "
                             "starts" % (kind, image.subsystem_version))
    why = "is a 64-bit program" if image.is_pe32_plus else "is a program"
    if len(starts_on) < len(loaders):
        why += " with subsystem version %s" % image.subsystem_version
    return Verdict(kind, starts_on=starts_on, why=why)


def classify_ne(data, offset):
    if len(data) < offset + 0x40:
        return Verdict(fault="a damaged 16-bit file (its NE header is cut short)")
    flags, = struct.unpack_from("<H", data, offset + 0x0C)
    target = data[offset + 0x36]
    if flags & 0x8000:
        return Verdict(fault="a 16-bit DLL, not a program")
    if target == 1:
        return Verdict(fault="an OS/2 program (NE), not a Windows program")
    if target not in (0, 2, 4):  # unknown (early linkers), Windows, Windows/386
        return Verdict(fault="not a Windows program (NE for target system %d)" % target)
    return Verdict("NE (16-bit)", starts_on=[p for p in PLATFORMS if p[1] == 32],
                   why="is a 16-bit program")


def classify_le(data, offset, magic):
    if len(data) < offset + 0x14:
        return Verdict(fault="a damaged %s file (its header is cut short)" % magic)
    module_type = struct.unpack_from("<I", data, offset + 0x10)[0] & 0x38000
    if module_type:  # a library, or a physical or virtual device driver (VxD)
        return Verdict(fault="an %s library or device driver, not a program" % magic)
    return Verdict("%s (MS-DOS extended)" % magic, starts_on=[p for p in PLATFORMS if p[1] == 32],
                   why="is an MS-DOS-extended program (%s), which starts only in an MS-DOS box"
                       % magic)
