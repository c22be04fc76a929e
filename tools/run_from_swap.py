#!/usr/bin/env python3
"""Asks Windows to copy an exe to the page file before running it from removable or
network media, so that a CD taken out while the program runs cannot page its code away.

  tools/run_from_swap.py EXE

Sets IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP and IMAGE_FILE_NET_RUN_FROM_SWAP in the COFF
header's Characteristics (GNU ld has no switch for them) and writes the CheckSum anew.
EXE is changed in place; a second run changes nothing. The link runs it on every GUI
program (cmake/flags.cmake), so the build's own output is the final exe.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "audit"))
from pe_image import (FILE_NET_RUN_FROM_SWAP, FILE_REMOVABLE_RUN_FROM_SWAP,  # noqa: E402
                      PeError, PeImage, pe_checksum)


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
        return 2
    try:
        with open(argv[0], "rb") as f:
            data = f.read()
        fixed = run_from_swap(data)
        if fixed != data:
            with open(argv[0], "r+b") as f:
                f.write(fixed)
    except (OSError, PeError) as error:
        print("run_from_swap: %s: %s" % (argv[0], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
