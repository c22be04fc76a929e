"""Header audit of the shipped launcher: how Windows loads and maps it.

  audit/check-header EXE

Prints the header fields, and fails (exit 1) when
  - Characteristics lack REMOVABLE_RUN_FROM_SWAP or NET_RUN_FROM_SWAP (Windows NT would page
    the exe in from the CD, and a CD taken out while the window is open ends it with an
    in-page error), or say RELOCS_STRIPPED;
  - DllCharacteristics are not exactly DYNAMIC_BASE | NX_COMPAT: any other bit changes how
    Windows treats the exe (FORCE_INTEGRITY refuses it unsigned, APPCONTAINER confines it,
    TERMINAL_SERVER_AWARE drops a terminal server's compatibility handling);
  - there is no .reloc section with data, the base-relocation directory does not lie in it,
    or its blocks do not fill the directory exactly;
  - the CheckSum is not the one computed from the file;
  - a section is both writable and executable.
Exit 2: EXE cannot be read or is not a PE file.
"""
import sys

from cdtools import cli
from cdtools.pe_image import (
    BASE_RELOCATION_DIRECTORY, DLL_CHARACTERISTIC_NAMES, DLL_DYNAMIC_BASE, DLL_NX_COMPAT,
    FILE_CHARACTERISTIC_NAMES, FILE_NET_RUN_FROM_SWAP, FILE_RELOCS_STRIPPED,
    FILE_REMOVABLE_RUN_FROM_SWAP, SCN_MEM_EXECUTE, SCN_MEM_READ, SCN_MEM_WRITE, PeError,
    flag_names)

from audit.exe_argument import read_exe

WANTED_DLL_CHARACTERISTICS = DLL_DYNAMIC_BASE | DLL_NX_COMPAT


def describe(image):
    """The header fields that the audit reads, one per line."""
    rva, size = image.directory(BASE_RELOCATION_DIRECTORY)
    lines = [
        "Characteristics     0x%04x  %s" % (
            image.characteristics, flag_names(image.characteristics, FILE_CHARACTERISTIC_NAMES)),
        "DllCharacteristics  0x%04x  %s" % (
            image.dll_characteristics,
            flag_names(image.dll_characteristics, DLL_CHARACTERISTIC_NAMES)),
        "CheckSum            0x%08x  (computed 0x%08x)" % (
            image.checksum, image.computed_checksum()),
        "base relocations    rva 0x%x, %d bytes" % (rva, size),
    ]
    for s in image.sections:
        access = "".join(letter if s.characteristics & bit else "-" for letter, bit in (
            ("r", SCN_MEM_READ), ("w", SCN_MEM_WRITE), ("x", SCN_MEM_EXECUTE)))
        lines.append("section %-8s    0x%08x  %s  %d bytes" % (
            s.name, s.characteristics, access, s.virtual_size))
    return lines


def problems(image):
    found = []
    for flag, medium in ((FILE_REMOVABLE_RUN_FROM_SWAP, "a CD"),
                         (FILE_NET_RUN_FROM_SWAP, "a network share")):
        if not image.characteristics & flag:
            found.append("Characteristics lack %s: Windows pages the exe in from %s "
                         "(tools/run_from_swap.py sets it)" % (
                             FILE_CHARACTERISTIC_NAMES[flag], medium))
    if image.characteristics & FILE_RELOCS_STRIPPED:
        found.append("Characteristics say RELOCS_STRIPPED: the exe cannot be moved")
    for flag in (DLL_DYNAMIC_BASE, DLL_NX_COMPAT):
        if not image.dll_characteristics & flag:
            found.append("DllCharacteristics lack %s" % DLL_CHARACTERISTIC_NAMES[flag])
    extra = image.dll_characteristics & ~WANTED_DLL_CHARACTERISTICS
    if extra:
        found.append("DllCharacteristics have %s beyond DYNAMIC_BASE | NX_COMPAT" %
                     flag_names(extra, DLL_CHARACTERISTIC_NAMES))
    reloc = image.section(".reloc")
    rva, size = image.directory(BASE_RELOCATION_DIRECTORY)
    if reloc is None or not reloc.virtual_size or not reloc.raw_size:
        found.append("no .reloc section with data: DYNAMIC_BASE has nothing to move the exe by")
    elif not size or not (reloc.virtual_address <= rva and
                          rva + size <= reloc.virtual_address + reloc.virtual_size):
        found.append("the base-relocation directory (rva 0x%x, %d bytes) does not lie in "
                     ".reloc (rva 0x%x, %d bytes)" % (rva, size, reloc.virtual_address,
                                                      reloc.virtual_size))
    else:
        try:
            if not image.relocation_blocks():
                found.append("the base-relocation table has no block")
        except PeError as error:
            found.append(str(error))
    if image.checksum != image.computed_checksum():
        found.append("CheckSum is 0x%08x, the file's is 0x%08x" % (
            image.checksum, image.computed_checksum()))
    for s in image.sections:
        if s.writable_and_executable:
            found.append("section %s is both writable and executable" % s.name)
    return found


def main(argv):
    found = read_exe(argv, "check-header", __doc__)
    if found is None:
        return cli.REFUSED
    exe, image = found
    try:
        lines = describe(image)
    except PeError as error:
        print("check-header: %s" % error, file=sys.stderr)
        return cli.REFUSED
    print("%s:" % exe)
    for line in lines:
        print("  " + line)
    found = problems(image)
    for problem in found:
        print("FAIL: " + problem)
    if found:
        return cli.FAILED
    print("header of %s: runs from swap, DYNAMIC_BASE and NX with %d relocation blocks, "
          "CheckSum correct, no writable and executable section" % (
              exe, len(image.relocation_blocks())))
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
