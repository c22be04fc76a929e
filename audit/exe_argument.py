"""The one EXE argument that the header and import audits take."""
import sys

from cdtools.pe_image import PeError, PeImage


def read_exe(args, command, usage):
    """(path, PeImage) of the one argument; None, with the usage or the reason printed, when
    the arguments are off or the file is no PE image (the audit then exits 2)."""
    if len(args) != 1 or args[0].startswith("-"):
        print(usage, file=sys.stderr)
        return None
    try:
        return args[0], PeImage.read(args[0])
    except (OSError, PeError) as error:
        print("%s: %s" % (command, error), file=sys.stderr)
        return None
