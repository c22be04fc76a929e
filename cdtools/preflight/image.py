"""The CD image that the preflight tries: checked before anything is written, then its Joliet
tree read out as Windows sees the CD."""
import hashlib
import os
import shutil

from cdtools import joliet
from cdtools.layout import AUTORUN, LAUNCHER


class Refused(Exception):
    """The image cannot be tried; nothing has been written."""


def check(path):
    """The image's Joliet root names; Refused when it is no CD image that the launcher is on."""
    if not os.path.exists(path):
        raise Refused("no such file: %s" % path)
    if not os.path.isfile(path):
        raise Refused("%s is not a file" % path)
    with open(path, "rb") as f:
        f.seek(16 * joliet.SECTOR)
        if f.read(6)[1:6] != b"CD001":
            raise Refused("%s is not an ISO 9660 image (no volume descriptor at sector 16)" % path)
    try:
        with joliet.JolietImage(path) as image:
            names = {e.path.casefold(): e for e in image.entries if "/" not in e.path}
    except joliet.IsoError as error:
        raise Refused("%s: %s" % (path, error))
    except OSError as error:
        raise Refused("%s cannot be read: %s" % (path, error.strerror))
    missing = [n for n in (LAUNCHER, AUTORUN)
               if n not in names or names[n].is_dir]
    if missing:
        raise Refused("%s holds no %s in its root" % (path, " and no ".join(missing)))


def facts(path):
    """The image by its file name, size and SHA-256: the page is attached to a release, and
    names no folder of the machine it ran on."""
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return {"name": os.path.basename(path),
            "size": os.path.getsize(path), "sha256": digest.hexdigest()}


def read_out(path, tree):
    """Writes the image's Joliet tree into the folder tree (replaced)."""
    if os.path.lexists(tree):
        shutil.rmtree(tree)
    os.makedirs(tree)
    joliet.extract(path, tree)


def fingerprint(tree):
    """Every folder of the tree, and every file with its size and time: a run that changes
    them changed the CD."""
    seen = {}
    for folder, folders, files in os.walk(tree):
        for name in folders:  # a folder's own time changes with what is added to it
            seen[os.path.relpath(os.path.join(folder, name), tree)] = "folder"
        for name in files:
            status = os.lstat(os.path.join(folder, name))
            seen[os.path.relpath(os.path.join(folder, name), tree)] = (status.st_size,
                                                                      status.st_mtime_ns)
    return seen


def changes(before, after):
    """Lines naming what differs between two fingerprints, with Windows' separators."""
    shown = lambda p: p.replace("/", "\\")  # noqa: E731
    lines = ["%s was added" % shown(p) for p in sorted(set(after) - set(before))]
    lines += ["%s was removed" % shown(p) for p in sorted(set(before) - set(after))]
    lines += ["%s was changed" % shown(p) for p in sorted(set(before) & set(after))
              if before[p] != after[p]]
    return lines
