"""Asks Windows to copy an exe to the page file before running it from removable or
network media, so that a CD taken out while the program runs cannot page its code away.

  python3 -m tools.run_from_swap EXE      (from the repository root, or with it on PYTHONPATH)

Sets IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and IMAGE_FILE_NET_RUN_FROM_SWAP in the COFF
header's Characteristics (GNU ld has no switch for them) and writes the CheckSum anew.
EXE is changed in place; a second run changes nothing. The link runs it on every GUI
program (cmake/flags.cmake), so the build's own output is the final exe.
"""
import struct
import sys

from cdtools import cli
from cdtools.pe_image import (FILE_NET_RUN_FROM_SWAP, FILE_REMOVABLE_RUN_FROM_SWAP, PeError,
                              PeImage, pe_checksum)


def run_from_swap(data):
    """The bytes of the PE file data with both swap flags set and its CheckSum fixed."""
    image = PeImage(data)
    out = bytearray(data)
    struct.pack_into("<H", out, image.characteristics_offset, image.characteristics |
                     FILE_REMOVABLE_RUN_FROM_SWAP | FILE_NET_RUN_FROM_SWAP)
    struct.pack_into("<I", out, image.checksum_offset, pe_checksum(out, image.checksum_offset))
    return bytes(out)


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return cli.REFUSED
    try:
        with open(argv[0], "rb") as f:
            data = f.read()
        fixed = run_from_swap(data)
        if fixed != data:
            with open(argv[0], "r+b") as f:
                f.write(fixed)
    except (OSError, PeError) as error:
        print("run_from_swap: %s: %s" % (argv[0], error), file=sys.stderr)
        return cli.FAILED
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
