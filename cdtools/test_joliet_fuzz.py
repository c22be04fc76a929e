"""The Joliet reader on images that xorriso wrote and that were then changed, byte by byte:
every image ends in entries or IsoError, never another exception, and extraction writes
only into its destination. Its work is bounded by the reader's limits; a deadline per
example catches one that runs away.

  /usr/bin/python3 -m unittest cdtools.test_joliet_fuzz       the short pass (scripts/test)
  /usr/bin/python3 -m cdtools.test_joliet_fuzz [--seconds S | --runs N]   (scripts/fuzz joliet)

Debian's python3-hypothesis is installed for /usr/bin/python3 (scripts/setup). A failure
prints the changes that make it, and a blob that @reproduce_failure replays.
"""
import argparse
import collections
import datetime
import errno
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from hypothesis import HealthCheck, given, settings, strategies as st

from cdtools import joliet
from cdtools.test_make_cd import make_tree

SHORT_PASS = 500  # examples in scripts/test
BATCH = 100  # examples per hypothesis run in a timed pass
EXTRACTED_AT_MOST = 64 << 20  # larger trees are read, not written out
SEED_TREE = {
    "Setup.exe": b"MZ" + bytes(3000), "autorun.inf": b"[autorun]\r\nopen=kavrio.exe\r\n",
    "Agente Plimox/Instalador Assistente Kavrio.exe": b"MZ agent",
    "Agente Plimox/Instalação/Leia-me.txt": "Olá".encode("cp1252"),
    "Dados/vazio.txt": b"", "Dados/a/b/c/d/fundo.bin": bytes(range(256)) * 20, "Vazia/": None,
}
# Values worth trying in a field: both ends, the image's own sectors, and the name
# characters that the reader must refuse or that Windows folds.
EDGES_32 = (0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, joliet.SECTOR, joliet.MAX_FOLDER_BYTES + 1)
UNITS = tuple(map(ord, "/\\:.; aAsSß\0\1\x1b\x7f")) + (0xD800, 0xDBFF, 0xDC00, 0xFFFF, 0x0085)


def seed_image(folder):
    """The bytes of an image that xorriso writes of SEED_TREE, the same on every run."""
    tree, iso = os.path.join(folder, "seed"), os.path.join(folder, "seed.iso")
    make_tree(tree, SEED_TREE)
    subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-r", "-V", "KAVRIO", "-o", iso,
                    tree], check=True, capture_output=True,
                   env=dict(os.environ, SOURCE_DATE_EPOCH="1000000000"))
    with open(iso, "rb") as f:
        return f.read()


def fields_of(seed, folder):
    """Where the seed's structure lies: [(offset, width, kind)] of each field of the Joliet
    volume descriptor's root and of every directory record, and the (start, end) of the
    descriptors and folders, for mutations that land where the reader looks."""
    iso = os.path.join(folder, "seed.iso")
    with joliet.JolietImage(iso) as image:
        folders = [(image.root_extent, image.root_size)] + [
            (e.extent, e.size) for e in image.entries if e.is_dir]
    svd = next(lba * joliet.SECTOR for lba in range(16, 32)
               if seed[lba * joliet.SECTOR] == 2)
    fields = [(svd, 1, "byte"), (svd + 88, 3, "bytes"), (svd + 128, 2, "bytes"),
              (svd + 156 + 2, 4, "u32"), (svd + 156 + 10, 4, "u32")]
    regions = [(16 * joliet.SECTOR, svd + joliet.SECTOR + joliet.SECTOR)]
    for extent, size in folders:
        start, at = extent * joliet.SECTOR, 0
        regions.append((start, start + size))
        data = seed[start:start + size]
        for record in joliet.records(data, ""):
            at = data.index(record, at)
            fields += [(start + at + offset, width, kind) for offset, width, kind in (
                (0, 1, "byte"), (2, 4, "u32"), (10, 4, "u32"), (25, 1, "byte"), (32, 1, "byte"))]
            fields += [(start + at + 33 + i, 2, "unit") for i in range(0, record[32], 2)]
            at += len(record)
    return fields, regions


def values(kind, width, seed):
    if kind == "u32":
        sectors = len(seed) // joliet.SECTOR
        near = st.integers(max(sectors - 4, 0), sectors + 4)
        return st.one_of(st.sampled_from(EDGES_32), near, st.integers(0, 0xFFFFFFFF)).map(
            lambda v: struct.pack("<I", v))
    if kind == "unit":
        return st.one_of(st.sampled_from(UNITS), st.integers(0, 0xFFFF)).map(
            lambda v: struct.pack(">H", v))
    return st.binary(min_size=width, max_size=width)


def changes(seed, fields, regions):
    """A strategy of (edits, length): edits a list of (offset, bytes), each a field set to a
    value of its kind, bytes in a descriptor or folder, or a byte anywhere; length, where
    it is not None, cuts the image short."""
    field = st.sampled_from(fields).flatmap(
        lambda f: st.tuples(st.just(f[0]), values(f[2], f[1], seed)))
    in_region = st.sampled_from(regions).flatmap(
        lambda r: st.tuples(st.integers(r[0], r[1] - 1), st.binary(min_size=1, max_size=4)))
    anywhere = st.tuples(st.integers(0, len(seed) - 1), st.binary(min_size=1, max_size=1))
    return st.tuples(st.lists(st.one_of(field, in_region, anywhere), min_size=1, max_size=8),
                     st.one_of(st.none(), st.integers(0, len(seed))))


def changed(seed, edits, length):
    data = bytearray(seed)
    for offset, new in edits:
        data[offset:offset + len(new)] = new
    return bytes(data[:len(seed) if length is None else length])


def tree_of(folder):
    """{path: None for a folder, size for a file} below folder; a link fails."""
    found = {}
    for top, folders, files in os.walk(folder):
        for name in folders + files:
            path = os.path.join(top, name)
            assert not os.path.islink(path), "extraction made a link: %s" % path
            found[os.path.relpath(path, folder)] = None if name in folders else os.path.getsize(path)
    return found


class Fuzz:
    """The seed, its structure, and the property; counts what each example ended in."""

    def __init__(self, work):
        self.work = work
        self.seed = seed_image(work)
        self.fields, self.regions = fields_of(self.seed, work)
        self.ended = collections.Counter()

    def check(self, data):
        case = tempfile.mkdtemp(dir=self.work, prefix="case-")
        try:
            self.read_and_extract(data, case)
            # Nothing beside the case's own image and destination, here or one level up.
            assert sorted(os.listdir(case)) == ["cd.iso", "parent"], os.listdir(case)
            assert os.listdir(os.path.join(case, "parent")) == ["dest"]
            assert sorted(os.listdir(self.work)) == sorted(
                ["seed", "seed.iso", os.path.basename(case)]), os.listdir(self.work)
        finally:
            shutil.rmtree(case)

    def read_and_extract(self, data, case):
        iso, dest = os.path.join(case, "cd.iso"), os.path.join(case, "parent", "dest")
        with open(iso, "wb") as f:
            f.write(data)
        os.makedirs(dest)
        try:
            with joliet.JolietImage(iso) as image:
                joliet.listing(image)
                expected = {e.path: None if e.is_dir else e.size for e in image.entries}
                if sum(size or 0 for size in expected.values()) > EXTRACTED_AT_MOST:
                    self.ended["read, too large to write out"] += 1
                    return
                try:
                    joliet.write_tree(image, dest)
                    self.ended["written out"] += 1
                except OSError as error:  # a name longer than a Linux name may be
                    assert error.errno == errno.ENAMETOOLONG, error
                    expected = {}
                    self.ended["refused by the file system"] += 1
        except joliet.IsoError:
            self.ended["refused"] += 1
            expected = {}
        assert tree_of(dest) == expected

    def run(self, examples):
        @settings(max_examples=examples, deadline=datetime.timedelta(seconds=20),
                  database=None, print_blob=True, suppress_health_check=[HealthCheck.too_slow])
        @given(changes(self.seed, self.fields, self.regions))
        def every_image_ends_in_entries_or_iso_error(change):
            self.check(changed(self.seed, *change))
        every_image_ends_in_entries_or_iso_error()

    def summary(self, seconds):
        total = sum(self.ended.values())
        return "%d examples in %.1f s: %s" % (total, seconds, ", ".join(
            "%d %s" % (n, what) for what, n in sorted(self.ended.items())))


@unittest.skipUnless(shutil.which("xorriso"), "needs xorriso")
class FuzzTest(unittest.TestCase):
    def test_every_changed_image_ends_in_entries_or_iso_error(self):
        with tempfile.TemporaryDirectory(prefix="joliet-fuzz-") as work:
            fuzz, began = Fuzz(work), time.monotonic()
            fuzz.run(SHORT_PASS)
            print("\njoliet fuzz, short pass: " + fuzz.summary(time.monotonic() - began),
                  file=sys.stderr)


def main(argv):
    parser = argparse.ArgumentParser(prog="python3 -m cdtools.test_joliet_fuzz")
    parser.add_argument("--seconds", type=float, default=60, help="how long (default 60)")
    parser.add_argument("--runs", type=int, help="how many examples instead")
    args = parser.parse_args(argv)
    with tempfile.TemporaryDirectory(prefix="joliet-fuzz-") as work:
        fuzz, began = Fuzz(work), time.monotonic()
        if args.runs:
            fuzz.run(args.runs)
        while not args.runs and time.monotonic() - began < args.seconds:
            fuzz.run(BATCH)
        print("joliet: " + fuzz.summary(time.monotonic() - began))


if __name__ == "__main__":
    main(sys.argv[1:])
