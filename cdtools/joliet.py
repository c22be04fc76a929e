"""Reads the Joliet tree of an ISO 9660 image: the names and files that Windows sees.

  python3 -m cdtools.joliet list ISO
  python3 -m cdtools.joliet extract ISO DIR [--replace]

(from the repository root, or with it on PYTHONPATH).

`list` prints the volume name and every folder and file with its size. `extract` writes the
tree into DIR, which must not exist or be empty (--replace removes it first). Exit 0 on
success, 1 when the image has no Joliet tree or is damaged, 2 on a usage error.

Written from the format itself (ECMA-119 and the Joliet extension), so that it checks an
image independently of the tool that wrote it.
"""
import datetime
import os
import shutil
import sys

SECTOR = 2048
JOLIET_ESCAPES = (b"%/@", b"%/C", b"%/E")  # UCS-2 levels 1 to 3


class IsoError(Exception):
    pass


class Entry:
    """One folder or file of the tree; path uses "/" between names."""

    def __init__(self, path, is_dir, extent, size, recorded):
        self.path = path
        self.is_dir = is_dir
        self.extent = extent
        self.size = size
        self.recorded = recorded  # datetime in UTC

    def __repr__(self):
        return "Entry(%r, dir=%s, size=%d)" % (self.path, self.is_dir, self.size)


def record_time(raw):
    """The 7-byte recording time of a directory record, as UTC."""
    year, month, day, hour, minute, second, offset = raw
    offset = offset - 256 if offset > 127 else offset  # quarter hours from GMT, signed
    local = datetime.datetime(1900 + year, month, day, hour, minute, second,
                              tzinfo=datetime.timezone(datetime.timedelta(minutes=15 * offset)))
    return local.astimezone(datetime.timezone.utc)


def volume_time(raw):
    """A 17-byte volume descriptor time ("YYYYMMDDhhmmsscc" and a GMT offset), or None."""
    digits = raw[:16].decode("ascii")
    if digits.strip("0 ") == "":
        return None
    offset = raw[16] - 256 if raw[16] > 127 else raw[16]
    local = datetime.datetime.strptime(digits[:14], "%Y%m%d%H%M%S").replace(
        tzinfo=datetime.timezone(datetime.timedelta(minutes=15 * offset)))
    return local.astimezone(datetime.timezone.utc)


class JolietImage:
    """An open image file; `entries` lists its Joliet tree, parents before children."""

    def __init__(self, path):
        self.file = open(path, "rb")
        try:
            self._read_descriptors()
            self.entries = []
            self._walk(self.root_extent, self.root_size, "", set())
        except Exception:
            self.file.close()
            raise

    def close(self):
        self.file.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _sectors(self, lba, length):
        self.file.seek(lba * SECTOR)
        data = self.file.read(length)
        if len(data) != length:
            raise IsoError("the image ends inside sector %d" % lba)
        return data

    def _read_descriptors(self):
        self.primary_volume_id = None
        joliet = None
        for lba in range(16, 16 + 64):
            sector = self._sectors(lba, SECTOR)
            if sector[1:6] != b"CD001":
                raise IsoError("no ISO 9660 volume descriptor at sector %d" % lba)
            kind = sector[0]
            if kind == 1:
                self.primary_volume_id = sector[40:72].decode("ascii", "replace").rstrip()
            elif kind == 2 and sector[88:91] in JOLIET_ESCAPES:
                joliet = sector
            elif kind == 255:
                break
        if joliet is None:
            raise IsoError("the image has no Joliet tree (no supplementary volume descriptor "
                           "with a UCS-2 escape sequence)")
        if int.from_bytes(joliet[128:130], "little") != SECTOR:
            raise IsoError("logical block size is not %d" % SECTOR)
        self.volume_id = joliet[40:72].decode("utf-16-be", "replace").rstrip()
        self.created = volume_time(joliet[813:830])
        self.modified = volume_time(joliet[830:847])
        root = joliet[156:190]
        self.root_extent = int.from_bytes(root[2:6], "little")
        self.root_size = int.from_bytes(root[10:14], "little")

    def _walk(self, extent, size, prefix, seen):
        if extent in seen:
            raise IsoError("folder %r loops back on itself" % prefix)
        seen.add(extent)
        data = self._sectors(extent, size)
        at = 0
        children = []
        while at < size:
            length = data[at]
            if length == 0:  # records never cross a sector: the rest of this one is empty
                at = (at // SECTOR + 1) * SECTOR
                continue
            record = data[at:at + length]
            at += length
            if length < 34 or 33 + record[32] > length:
                raise IsoError("damaged directory record in %r" % (prefix or "\\"))
            raw_name = record[33:33 + record[32]]
            if raw_name in (b"\x00", b"\x01"):  # the folder itself and its parent
                continue
            flags = record[25]
            if flags & 0x80:
                raise IsoError("%r spans several extents, which this reader does not join"
                               % raw_name)
            name = raw_name.decode("utf-16-be")
            is_dir = bool(flags & 0x02)
            if not is_dir and name.endswith(";1"):
                name = name[:-2]
            children.append(Entry(prefix + name, is_dir, int.from_bytes(record[2:6], "little"),
                                  int.from_bytes(record[10:14], "little"), record_time(record[18:25])))
        for child in children:
            self.entries.append(child)
            if child.is_dir:
                self._walk(child.extent, child.size, child.path + "/", seen)

    def read(self, entry):
        return self._sectors(entry.extent, entry.size)

    def files(self):
        """{path: bytes} of every file."""
        return {e.path: self.read(e) for e in self.entries if not e.is_dir}

    def folders(self):
        return {e.path for e in self.entries if e.is_dir}


def extract(iso, destination):
    """Writes the Joliet tree of iso into destination (which must exist)."""
    with JolietImage(iso) as image:
        for entry in image.entries:
            target = os.path.join(destination, *entry.path.split("/"))
            if entry.is_dir:
                os.mkdir(target)
            else:
                with open(target, "wb") as f:
                    f.write(image.read(entry))


def listing(image):
    """Lines that show the tree as Windows names it, sizes right-aligned."""
    lines = []
    for entry in image.entries:
        windows_path = entry.path.replace("/", "\\")
        if entry.is_dir:
            lines.append("%10s  %s\\" % ("", windows_path))
        else:
            lines.append("%10d  %s" % (entry.size, windows_path))
    return lines


def main(argv):
    args = [a for a in argv if a != "--replace"]
    replace = len(args) != len(argv)
    if len(args) == 2 and args[0] == "list" and not replace:
        try:
            with JolietImage(args[1]) as image:
                print("Volume %s (Joliet), %d folders, %d files" % (
                    image.volume_id, len(image.folders()), len(image.entries) - len(image.folders())))
                print("\n".join(listing(image)))
        except (OSError, IsoError) as error:
            print("joliet: %s: %s" % (args[1], error), file=sys.stderr)
            return 1
        return 0
    if len(args) == 3 and args[0] == "extract":
        iso, destination = args[1], args[2]
        if os.path.lexists(destination) and not os.path.isdir(destination):
            print("joliet: %s is not a folder" % destination, file=sys.stderr)
            return 2
        if os.path.isdir(destination) and os.listdir(destination):
            if not replace:
                print("joliet: %s is not empty (--replace removes it first)" % destination,
                      file=sys.stderr)
                return 2
            shutil.rmtree(destination)
        os.makedirs(destination, exist_ok=True)
        try:
            extract(iso, destination)
        except (OSError, IsoError) as error:
            print("joliet: %s: %s" % (iso, error), file=sys.stderr)
            return 1
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
