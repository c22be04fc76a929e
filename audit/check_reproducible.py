"""Two clean builds of the same tree in two different folders must give
byte-identical kavrio.exe, for win32 and for win64.

  audit/check-reproducible [--keep]

The files of the work tree (tracked, and untracked but not ignored) are copied
into two temporary folders whose paths differ in length and depth; in each the
win32 and win64 presets are configured and only the kavrio target is built.
Exit 0: identical. Exit 1: the exes differ (what differs, and the likely cause,
is printed). Exit 2: a build failed. --keep leaves the folders for a look.
"""
import os
import shutil
import subprocess
import sys
import tempfile

from cdtools import cli
from cdtools.pe_image import PeError, PeImage

PRESETS = ("win32", "win64")
TARGET = "kavrio"


def work_tree_files(root):
    """Paths (relative) of the files that a fresh commit of the work tree would hold."""
    listing = subprocess.run(["git", "-C", root, "ls-files", "-co", "--exclude-standard", "-z"],
                             check=True, capture_output=True).stdout.decode("utf-8")
    files = []
    for path in sorted(set(filter(None, listing.split("\0")))):
        # Build trees are never sources, even where .gitignore does not say so yet.
        if path == "build" or path.startswith("build/"):
            continue
        if os.path.lexists(os.path.join(root, path)):  # a deleted tracked file is skipped
            files.append(path)
    return files


def copy_tree(root, files, destination):
    for path in files:
        target = os.path.join(destination, path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(root, path), target, follow_symlinks=False)


def build(tree, preset, log_path):
    with open(log_path, "w") as log:
        for command in (["cmake", "--preset", preset],
                        ["cmake", "--build", "--preset", preset, "--target", TARGET]):
            log.write("$ %s\n" % " ".join(command))
            log.flush()
            if subprocess.run(command, cwd=tree, stdout=log, stderr=subprocess.STDOUT).returncode:
                return False
    return True


def region_of(image, offset):
    """Which part of the PE file an offset lies in, as a short text."""
    pe = int.from_bytes(image.data[0x3C:0x40], "little")
    optional = pe + 24
    if pe + 8 <= offset < pe + 12:
        return "COFF header TimeDateStamp"
    if optional + 64 <= offset < optional + 68:
        return "optional header CheckSum"
    if offset < image.size_of_headers:
        return "PE headers"
    for s in image.sections:
        if s.raw_offset <= offset < s.raw_offset + s.raw_size:
            return "section %s (+0x%x)" % (s.name, offset - s.raw_offset)
    return "after the last section"


def explain_difference(first, second, folders):
    """Lines that say where two builds of one exe differ and what likely caused it."""
    lines = []
    if len(first) != len(second):
        lines.append("sizes differ: %d and %d bytes" % (len(first), len(second)))
    offsets = [i for i in range(min(len(first), len(second))) if first[i] != second[i]]
    lines.append("%d differing bytes" % len(offsets))
    causes = set()
    try:
        image = PeImage(first)
        other = PeImage(second)
    except PeError as error:
        return lines + ["not a PE file: %s" % error]
    regions = []
    for offset in offsets:
        region = region_of(image, offset)
        if region.split(" (+")[0] not in [r.split(" (+")[0] for r in regions]:
            regions.append(region)
            lines.append("first difference in %s, at file offset 0x%x" % (region, offset))
    if image.timestamp != other.timestamp:
        causes.add("the linker wrote the build time into the COFF header: link with "
                   "-Wl,--no-insert-timestamp")
    if image.resource_directory_timestamps() != other.resource_directory_timestamps():
        causes.add("the resource compiler wrote a time into the resource directory: "
                   "give windres a fixed one (or strip it in the .res), e.g. via "
                   "SOURCE_DATE_EPOCH or a post-link fix-up")
    if len(image.directories) > 6 and (image.directories[6][0] or other.directories[6][0]):
        causes.add("a debug directory (CodeView/build id) is present: link with -s and "
                   "without --build-id")
    for folder in folders:
        for spelling in {folder, folder.replace("/", "\\")}:
            needle = spelling.encode("utf-8")
            for data in (first, second):
                at = data.find(needle)
                if at >= 0:
                    causes.add("the build folder %s is written into the exe at 0x%x (%s): a "
                               "path that -ffile-prefix-map does not rewrite (__FILE__ from an "
                               "outside include, or a path given to windres)" % (
                                   spelling, at, region_of(image, at)))
    if not causes and offsets:
        causes.add("no known cause found: compare the object files of the two build trees "
                   "(cmp -l) to find the first one that differs")
    return lines + ["likely cause: " + c for c in sorted(causes)]


def main(argv):
    keep = "--keep" in argv
    if [a for a in argv if a != "--keep"]:
        print(__doc__, file=sys.stderr)
        return cli.REFUSED
    here = os.path.dirname(os.path.abspath(__file__))
    root = subprocess.run(["git", "-C", here, "rev-parse", "--show-toplevel"], check=True,
                          capture_output=True, text=True).stdout.strip()
    files = work_tree_files(root)
    work = tempfile.mkdtemp(prefix="kavrio-repro-")
    trees = [os.path.join(work, "a", "kavrio"),
             os.path.join(work, "second-checkout", "deeper", "kavrio-copy")]
    status = cli.OK
    try:
        for tree in trees:
            copy_tree(root, files, tree)
        for tree in trees:
            for preset in PRESETS:
                log = os.path.join(os.path.dirname(tree), "build-%s.log" % preset)
                if not build(tree, preset, log):
                    with open(log) as f:
                        tail = f.read().splitlines()[-30:]
                    print("FAIL: %s build in %s failed:\n%s" % (preset, tree, "\n".join(tail)))
                    return cli.REFUSED
        for preset in PRESETS:
            exes = [os.path.join(t, "build", preset, "bin", TARGET + ".exe") for t in trees]
            contents = []
            for exe in exes:
                with open(exe, "rb") as f:
                    contents.append(f.read())
            if contents[0] == contents[1]:
                print("%s %s.exe: identical, %d bytes, from %s and %s" % (
                    preset, TARGET, len(contents[0]), trees[0], trees[1]))
                continue
            status = cli.FAILED
            print("FAIL: %s %s.exe differs between the two builds" % (preset, TARGET))
            for line in explain_difference(contents[0], contents[1], trees + [work]):
                print("  " + line)
        return status
    finally:
        if keep or status:
            print("build folders kept in %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
