"""Reads the Joliet tree of an ISO 9660 image: the names and files that Windows sees.

  python3 -m cdtools.joliet list ISO
  python3 -m cdtools.joliet extract ISO DIR [--replace]

(from the repository root, or with it on PYTHONPATH).

`list` prints the volume name and every folder and file with its size. `extract` writes the
tree into DIR, which must not exist or be empty (--replace removes it first). Exit 0 on
success, 1 when the image has no Joliet tree, is damaged or holds a name or a tree that
cannot be written safely (nothing is written then), 2 on a usage error.

Written from the format itself (ECMA-119 and the Joliet extension), so that it checks an
image independently of the tool that wrote it. The image may come from anyone: every name,
extent and size is checked before anything is read from it or written.
"""
import bisect
import datetime
import os
import shutil
import sys
import unicodedata

from cdtools import cli

SECTOR = 2048
JOLIET_ESCAPES = (b"%/@", b"%/C", b"%/E")  # UCS-2 levels 1 to 3
MAX_DEPTH = 64
MAX_ENTRIES = 100_000
MAX_FILE_BYTES = 4 << 30  # all files together; entries may share one extent
# A folder's records never cross a sector, and a record is at most 255 bytes: 8 to a
# sector. A folder larger than its limit of entries (and "." and "..") needs is refused.
MAX_FOLDER_BYTES = -(-(MAX_ENTRIES + 2) // 8) * SECTOR
COPY_BLOCK = 1 << 20


class IsoError(Exception):
    pass


class Entry:
    """One folder or file of the tree; path uses "/" between names."""

    def __init__(self, path, is_dir, extent, size, recorded):
        self.path = path
        self.is_dir = is_dir
        self.extent = extent
        self.size = size
        self.recorded = recorded  # datetime in UTC, or None when the record's time is not one

    def __repr__(self):
        return "Entry(%r, dir=%s, size=%d)" % (self.path, self.is_dir, self.size)


def shown(text):
    """text on one line, with every character that a terminal would act on escaped."""
    return "".join(c if c.isprintable() else "\\x%02x" % ord(c) if ord(c) < 0x100
                   else "\\u%04x" % ord(c) for c in text)


def record_time(raw):
    """The 7-byte recording time of a directory record, as UTC; None when it is no time."""
    year, month, day, hour, minute, second, offset = raw
    offset = offset - 256 if offset > 127 else offset  # quarter hours from GMT, signed
    try:
        local = datetime.datetime(1900 + year, month, day, hour, minute, second,
                                  tzinfo=datetime.timezone(datetime.timedelta(minutes=15 * offset)))
    except ValueError:
        return None
    return local.astimezone(datetime.timezone.utc)


def volume_time(raw):
    """A 17-byte volume descriptor time ("YYYYMMDDhhmmsscc" and a GMT offset), or None."""
    digits = raw[:16].decode("ascii", "replace")
    if digits.strip("0 ") == "":
        return None
    offset = raw[16] - 256 if raw[16] > 127 else raw[16]
    try:
        local = datetime.datetime.strptime(digits[:14], "%Y%m%d%H%M%S").replace(
            tzinfo=datetime.timezone(datetime.timedelta(minutes=15 * offset)))
    except ValueError:
        return None
    return local.astimezone(datetime.timezone.utc)


# ---- Names -------------------------------------------------------------------------------

def windows_name(raw, is_dir, folder=""):
    """The name of a directory record as Windows shows it (a file's ";1" dropped); raises
    IsoError when it is no name that can be written as one name of one folder."""
    def bad(why):
        name = raw.decode("utf-16-be", "replace")
        where = shown(folder + name) if name else "a record in %s" % shown(folder[:-1] or "\\")
        return IsoError("%s: %s" % (where, why))

    if len(raw) % 2:
        raise bad("the name is %d bytes, an odd length for UCS-2" % len(raw))
    try:
        name = raw.decode("utf-16-be")
    except UnicodeDecodeError as error:
        raise bad("the name is not valid UTF-16 (%s at byte %d)" % (error.reason, error.start))
    if not is_dir and name.endswith(";1"):
        name = name[:-2]
    if name in ("", ".", ".."):
        raise bad("the name is %s" % ("empty" if not name else "'%s'" % name))
    if name.rstrip(". ") == "":
        raise bad("the name is only dots and spaces, which Windows reads as no name")
    for char in name:
        if char in "/\\:":
            raise bad("the name holds '%s'" % char)
        if unicodedata.category(char) == "Cc":
            raise bad("the name holds a control character (U+%04X)" % ord(char))
    return name


def windows_key(name):
    """What Windows compares when it looks a name up: ";1" and trailing dots and spaces
    dropped, then upper-cased. A file system's upcase table maps one character to one, so a
    character whose capital is two ("ß") stays as it is."""
    if name.endswith(";1"):
        name = name[:-2]
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name.rstrip(". "))


def refuse_twins(children, folder):
    seen = {}
    for child in children:
        twin = seen.setdefault(windows_key(child.path.rsplit("/", 1)[-1]), child)
        if twin is not child:
            raise IsoError("%s, %s: Windows sees the same name twice in %s" % (
                shown(twin.path), shown(child.path), shown(folder or "\\")))


# ---- The tree ----------------------------------------------------------------------------

def records(data, folder):
    """Each directory record of a folder's bytes, skipping the empty ends of sectors."""
    at = 0
    while at < len(data):
        length = data[at]
        if length == 0:  # records never cross a sector: the rest of this one is empty
            at = (at // SECTOR + 1) * SECTOR
            continue
        if length < 34 or at + length > len(data) or 33 + data[at + 32] > length:
            raise IsoError("damaged directory record in %s" % shown(folder or "\\"))
        yield data[at:at + length]
        at += length


class FolderSectors:
    """The sectors that each folder's records take. Two folders never share one: a shared
    sector would list the same entries twice, and read the same bytes over and over."""

    def __init__(self):
        self.spans = []  # (first sector, end sector, path), sorted

    def claim(self, extent, size, path):
        if size == 0:
            return
        span = (extent, extent + -(-size // SECTOR), path)
        at = bisect.bisect(self.spans, span)
        for other in self.spans[max(at - 1, 0):at + 1]:
            if other[0] < span[1] and span[0] < other[1]:
                raise IsoError("folders %s and %s share sectors" % (shown(other[2] or "\\"),
                                                                   shown(path or "\\")))
        self.spans.insert(at, span)


class JolietImage:
    """An open image file; `entries` lists its Joliet tree, parents before children."""

    def __init__(self, path):
        self.file = open(path, "rb")
        try:
            self.image_bytes = os.fstat(self.file.fileno()).st_size
            self._read_descriptors()
            self.entries = []
            self.entry_count = 0  # counted as records are read, before entries lists them
            self.file_bytes = 0
            self.folders_read = FolderSectors()
            self._check_extent("\\", self.root_extent, self.root_size)
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

    def _check_extent(self, path, extent, size):
        """Checked before the extent is read: it must lie inside the image file."""
        if extent * SECTOR + size > self.image_bytes:
            raise IsoError("%s: its extent (sector %d, %d bytes) lies outside the image "
                           "(%d bytes)" % (shown(path), extent, size, self.image_bytes))

    def _walk(self, extent, size, prefix, seen):
        folder = prefix[:-1]
        if extent in seen:
            raise IsoError("folder %s loops back on itself" % shown(folder or "\\"))
        seen.add(extent)
        if prefix.count("/") > MAX_DEPTH:
            raise IsoError("%s: folders nest more than %d deep" % (shown(folder), MAX_DEPTH))
        if size > MAX_FOLDER_BYTES:
            raise IsoError("folder %s is %d bytes, more than %d entries take" % (
                shown(folder or "\\"), size, MAX_ENTRIES))
        self.folders_read.claim(extent, size, folder)
        children = []
        for record in records(self._sectors(extent, size), folder):
            if record[33:33 + record[32]] not in (b"\0", b"\1"):  # the folder itself, its parent
                children.append(self._child(record, prefix))
        refuse_twins(children, folder)
        for child in children:
            self.entries.append(child)
            if child.is_dir:
                self._walk(child.extent, child.size, child.path + "/", seen)

    def _child(self, record, prefix):
        """The entry of one record of a folder, its name, extent and the tree's limits checked."""
        flags = record[25]
        is_dir = bool(flags & 0x02)
        path = prefix + windows_name(record[33:33 + record[32]], is_dir, prefix)
        if flags & 0x80:
            raise IsoError("%s spans several extents, which this reader does not join"
                           % shown(path))
        extent = int.from_bytes(record[2:6], "little")
        size = int.from_bytes(record[10:14], "little")
        self._check_extent(path, extent, size)
        self.entry_count += 1
        if self.entry_count > MAX_ENTRIES:
            raise IsoError("the tree has more than %d entries" % MAX_ENTRIES)
        if not is_dir:
            self.file_bytes += size
            if self.file_bytes > MAX_FILE_BYTES:
                raise IsoError("the files add up to more than %d GiB" % (MAX_FILE_BYTES >> 30))
        return Entry(path, is_dir, extent, size, record_time(record[18:25]))

    def read(self, entry):
        return self._sectors(entry.extent, entry.size)

    def copy_to(self, entry, out):
        """Writes a file's bytes to the open file out, a block at a time."""
        for at in range(0, entry.size, COPY_BLOCK):
            out.write(self._sectors(entry.extent + at // SECTOR, min(COPY_BLOCK, entry.size - at)))

    def files(self):
        """{path: bytes} of every file."""
        return {e.path: self.read(e) for e in self.entries if not e.is_dir}

    def folders(self):
        return {e.path for e in self.entries if e.is_dir}


# ---- Extraction --------------------------------------------------------------------------

def inside(target, root):
    """Whether target, with every link on its way resolved, lies inside the folder root
    (itself resolved), and is not root itself."""
    resolved = os.path.realpath(target)
    return resolved != root and os.path.commonpath([resolved, root]) == root


def remove_made(made):
    """Undoes a failed extraction: what it made, innermost first."""
    for path, is_dir in reversed(made):
        try:
            os.rmdir(path) if is_dir else os.unlink(path)
        except OSError:
            pass


def write_tree(image, destination):
    """Writes the tree into destination (which must exist): every entry new, never through a
    link, never outside. On a failure, what was written is removed again."""
    root = os.path.realpath(destination)
    made = []
    try:
        for entry in image.entries:
            target = os.path.join(root, *entry.path.split("/"))
            if not inside(target, root):
                raise IsoError("%s would be written outside %s" % (shown(entry.path), root))
            if entry.is_dir:
                os.mkdir(target)
                made.append((target, True))
            else:
                with open(target, "xb") as f:
                    made.append((target, False))
                    image.copy_to(entry, f)
    except BaseException:
        remove_made(made)
        raise


def extract(iso, destination):
    """Writes the Joliet tree of iso into destination (which must exist)."""
    with JolietImage(iso) as image:
        write_tree(image, destination)


# ---- The command -------------------------------------------------------------------------

def listing(image):
    """Lines that show the tree as Windows names it, sizes right-aligned."""
    lines = []
    for entry in image.entries:
        windows_path = shown(entry.path.replace("/", "\\"))
        if entry.is_dir:
            lines.append("%10s  %s\\" % ("", windows_path))
        else:
            lines.append("%10d  %s" % (entry.size, windows_path))
    return lines


def list_command(iso):
    with JolietImage(iso) as image:
        folders = len(image.folders())
        print("Volume %s (Joliet), %d folders, %d files" % (
            shown(image.volume_id), folders, len(image.entries) - folders))
        print("\n".join(listing(image)))


def extract_command(iso, destination, replace):
    """The image is read and checked whole before the destination is touched; a failed
    extraction leaves no folder that it made."""
    with JolietImage(iso) as image:
        if os.path.isdir(destination) and os.listdir(destination) and replace:
            shutil.rmtree(destination)
        made = not os.path.lexists(destination)
        os.makedirs(destination, exist_ok=True)
        try:
            write_tree(image, destination)
        except BaseException:
            if made:
                os.rmdir(destination)
            raise


def usage_problem(args, replace):
    if len(args) == 2 and args[0] == "list" and not replace:
        return None
    if len(args) != 3 or args[0] != "extract":
        return __doc__
    destination = args[2]
    if os.path.lexists(destination) and not os.path.isdir(destination):
        return "joliet: %s is not a folder" % destination
    if os.path.isdir(destination) and os.listdir(destination) and not replace:
        return "joliet: %s is not empty (--replace removes it first)" % destination
    return None


def main(argv):
    args = [a for a in argv if a != "--replace"]
    replace = len(args) != len(argv)
    problem = usage_problem(args, replace)
    if problem:
        print(problem, file=sys.stderr)
        return cli.REFUSED
    try:
        if args[0] == "list":
            list_command(args[1])
        else:
            extract_command(args[1], args[2], replace)
    except (OSError, IsoError) as error:
        print("joliet: %s: %s" % (args[1], shown(str(error))), file=sys.stderr)
        return cli.FAILED
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
