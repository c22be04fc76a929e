"""Tests of scripts/make-cd, of the image it writes and of the Joliet reader.

  python3 -m unittest discover -s cdtools -t .      (from the repository root)

Refusals are decided before any build. The image cases run make-cd for real into temporary
folders (its win32 build is a no-op after scripts/test's own); signing needs osslsigncode
and openssl.
"""
import atexit
import contextlib
import io
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

import cdtools.layout
import cdtools.make_cd
from cdtools import joliet, test_programs
from cdtools.make_cd import read_folder
from cdtools.paths import ROOT, WIN32_BIN

SECTOR = joliet.SECTOR
GIB = 1 << 30

MAKE_CD = os.path.join(ROOT, "scripts", "make-cd")
PACKAGE_ON_PATH = dict(os.environ, PYTHONPATH=ROOT)  # for python3 -m cdtools.MODULE
INSTALLERS = ("Setup.exe", "Agente Plimox/Instalador Assistente Kavrio.exe",
              "Internet Explorer 5.5/ie5setup.exe")
SETUP, AGENT, IE = INSTALLERS
DIR_LINK = object()  # in a tree spec: a link to a folder that holds it


def dos_stub(header):
    return b"MZ".ljust(0x3C, b"\0") + struct.pack("<I", 0x40) + header


def pe(machine=0x14C, characteristics=0x0102, subsystem=2, version=(4, 0), wide=False,
       section=None, tail=b""):
    """A PE header as a linker writes it; section: (raw offset, raw size) of one section."""
    directories = 112 if wide else 96
    optional = bytearray(directories + 16 * 8)
    struct.pack_into("<H", optional, 0, 0x20B if wide else 0x10B)
    struct.pack_into("<HH", optional, 48, *version)
    struct.pack_into("<H", optional, 68, subsystem)
    struct.pack_into("<I", optional, directories - 4, 16)
    table = b"" if section is None else struct.pack(
        "<8s6I2HI", b".text", section[1], 0x1000, section[1], section[0], 0, 0, 0, 0, 0x60000020)
    coff = struct.pack("<HHIIIHH", machine, len(table) // 40, 0, 0, 0, len(optional),
                       characteristics)
    return dos_stub(b"PE\0\0" + coff + bytes(optional) + table) + tail


def ne(flags=0x0302, target=2):
    header = bytearray(b"NE".ljust(0x40, b"\0"))
    struct.pack_into("<H", header, 0x0C, flags)
    header[0x36] = target
    return dos_stub(bytes(header))


def le(module_type=0):
    return dos_stub(b"LE".ljust(0x10, b"\0") + struct.pack("<I", module_type).ljust(0xB4, b"\0"))


# Installers with data files beside them, names with spaces and accents, an empty folder.
GOOD = {
    "Setup.exe": pe(tail=b"home"),
    "Dados/setup.ini": b"[setup]\r\n",
    "Agente Plimox/Instalador Assistente Kavrio.exe": pe(tail=b"agent"),
    "Agente Plimox/Instalação/Leia-me.txt": "Olá".encode("cp1252"),
    "Internet Explorer 5.5/ie5setup.exe": pe(subsystem=3, tail=b"ie"),
    "Internet Explorer 5.5/IE5.5 Português.cab": bytes(range(256)) * 40,
    "Vazia/": None,
}


class Built:
    """In a tree spec: a file of a program built by test_programs (built once per run)."""
    folder = tempfile.mkdtemp(prefix="make-cd-programs-")
    atexit.register(shutil.rmtree, folder, True)

    def __init__(self, case, name="Setup.exe"):
        self.case, self.name = case, name

    def read(self):
        folder = os.path.join(self.folder, self.case.replace(" ", "-"))
        if not os.path.isdir(folder):
            test_programs.build(self.case, folder)
        return read(os.path.join(folder, self.name))


def make_tree(root, spec):
    os.makedirs(root, exist_ok=True)
    for path, content in spec.items():
        if isinstance(content, Built):
            content = content.read()
        target = os.path.join(root, *path.rstrip("/").split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if content is DIR_LINK:
            os.symlink(".", target)
        elif isinstance(content, str):  # a link
            os.symlink(content, target)
        elif content is None:
            os.makedirs(target, exist_ok=True)
        else:
            with open(target, "wb") as f:
                f.write(content)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_cd(*args, env=None):
    return subprocess.run([MAKE_CD] + list(args), capture_output=True, text=True,
                          env=dict(os.environ, **(env or {})))


def have(*tools):
    return all(shutil.which(t) for t in tools)


# ---- Crafted images: what xorriso writes, then patched where the reader must refuse ----

JOLIET_TREE = {"Setup.exe": b"home", "Instalação.txt": b"a", "STRASSE.TXT": b"",
               "Dados/big.cab": bytes(5000), "Dados/Sub/empty.txt": b"", "Vazia/": None}


def dir_record(name, extent, size, is_dir=False):
    """A Joliet directory record; name as text or as its raw UCS-2 bytes."""
    raw = name.encode("utf-16-be") if isinstance(name, str) else name
    record = bytearray(34 + len(raw) - len(raw) % 2)  # records are of even length
    record[0], record[25], record[32] = len(record), 2 if is_dir else 0, len(raw)
    record[18:25] = bytes((101, 9, 9, 1, 46, 40, 0))  # 2001-09-09 01:46:40 UTC
    record[2:10] = struct.pack("<I", extent) + struct.pack(">I", extent)
    record[10:18] = struct.pack("<I", size) + struct.pack(">I", size)
    record[33:33 + len(raw)] = raw
    return bytes(record)


def folder_sectors(records, sectors=1):
    """A folder's extent: "." and "..", then records, none across a sector."""
    out = bytearray()
    for record in [dir_record(b"\0", 0, 0, True), dir_record(b"\1", 0, 0, True)] + records:
        out += bytes(-len(out) % SECTOR if len(out) % SECTOR + len(record) > SECTOR else 0)
        out += record
    return bytes(out + bytes(max(sectors * SECTOR - len(out), -len(out) % SECTOR)))


def crafted(iso, add=None, renames=(), fields=(), folder=None, grow=0):
    """Writes iso: xorriso's image of JOLIET_TREE and add, then patched. renames: (name, new
    name as text or UCS-2 bytes, no longer than it); fields: (name, offset in its record:
    2 the extent, 10 the size, value); folder: (name of a folder, records(first sector),
    sectors), an extent of its own appended for that folder; grow: bytes of hole at the end."""
    tree = iso + ".tree"
    make_tree(tree, dict(JOLIET_TREE, **(add or {})))
    subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-r", "-o", iso, tree],
                   check=True, capture_output=True)
    data = bytearray(read(iso))

    def record_of(name):  # the one directory record of the name (the path tables hold it too)
        raw = name.encode("utf-16-be")
        at = [m.start() - 33 for m in re.finditer(re.escape(raw), data)
              if data[m.start() - 1] == len(raw) and data[m.start() - 33] >= 33 + len(raw)]
        assert len(at) == 1, (name, at)
        return at[0]

    if folder:
        name, records, sectors = folder
        first = len(data) // SECTOR
        data += folder_sectors(records(first), sectors)
        fields = list(fields) + [(name, 2, first), (name, 10, len(data) - first * SECTOR)]
    for name, offset, value in fields:
        at = record_of(name) + offset
        data[at:at + 8] = struct.pack("<I", value) + struct.pack(">I", value)
    for name, new in renames:
        raw = new.encode("utf-16-be") if isinstance(new, str) else new
        at = record_of(name)
        data[at + 32] = len(raw)
        data[at + 33:at + 33 + len(raw)] = raw
    with open(iso, "wb") as f:
        f.write(data)
        f.truncate(len(data) + grow)  # a hole: the file takes no more room on disk
    return iso


def placed(new, where="", is_dir=False):
    """crafted()'s arguments for a name new in the folder where: a placeholder as long in
    UCS-2 (a folder holds a file), renamed to new."""
    raw = new.encode("utf-16-be") if isinstance(new, str) else new
    placeholder = "q" * max(1, -(-len(raw) // 2))
    return {"add": {where + placeholder + ("/inner.txt" if is_dir else ""): b"x"},
            "renames": [(placeholder, new)]}


class RefusalTest(unittest.TestCase):
    """Each fault of the installers folder: exit 2, the fault named, nothing written."""

    ROWS = [  # (case, paths taken from GOOD, paths added, texts the message must hold)
        ("a missing installer", ["Setup.exe"], {}, ["missing: Setup.exe"]),
        ("every installer missing, named at once", list(INSTALLERS), {},
         ["missing: Setup.exe", "missing: Agente Plimox/Instalador Assistente Kavrio.exe",
          "missing: Internet Explorer 5.5/ie5setup.exe", "starts nothing"]),
        ("a folder where a file should be", ["Setup.exe"], {"Setup.exe/a.txt": b""},
         ["Setup.exe is a folder, expected the installer program"]),
        ("a file where a folder should be",
         ["Agente Plimox/Instalador Assistente Kavrio.exe", "Agente Plimox/Instalação/Leia-me.txt"],
         {"Agente Plimox": b"MZ"}, ["Agente Plimox is a file, expected a folder"]),
        ("file name in another letter case", ["Setup.exe"], {"setup.exe": b"MZ"},
         ["found 'setup.exe', expected 'Setup.exe'"]),
        ("folder name in another letter case",
         ["Agente Plimox/Instalador Assistente Kavrio.exe", "Agente Plimox/Instalação/Leia-me.txt"],
         {"agente plimox/Instalador Assistente Kavrio.exe": b"MZ"},
         ["found 'agente plimox', expected 'Agente Plimox'"]),
        ("its own kavrio.exe", [], {"kavrio.exe": b"MZ"}, ["kavrio.exe: the installers folder has its own"]),
        ("its own autorun.inf, in capitals", [], {"AUTORUN.INF": b"[autorun]"},
         ["AUTORUN.INF: the installers folder has its own"]),
        ("the expected name and a case twin", [], {"SETUP.EXE": b"MZ"},
         ["SETUP.EXE, Setup.exe: names differ only in letter case"]),
        ("a name that Joliet cannot hold", [], {"Dados/a:b.txt": b""},
         ["Dados/a:b.txt: the name holds ':'"]),
        ("a name longer than Joliet's limit", [], {"x" * 65 + ".txt": b""},
         ["longer than Joliet's 64 characters"]),
        ("a path longer than Joliet's limit", [],
         {"Dados/" + "/".join(["p" * 40] * 3) + "/f.txt": b""},
         ["Dados/%s: the path is longer than Joliet's 120 characters" % "/".join(["p" * 40] * 3)]),
        ("a link to nothing", [], {"Dados/old.cab": "missing.cab"},
         ["Dados/old.cab: a link to nothing"]),
        ("a link that loops", [], {"Dados/again": DIR_LINK},
         ["Dados/again: a link to a folder that holds it"]),
        # Installers that no Windows starts, read from their headers.
        ("a text Setup.exe and an empty ie5setup.exe, named at once", [],
         {SETUP: b"@echo off\r\ninstalar\r\n", IE: b""},
         ["Setup.exe is a text file, not a program",
          "Internet Explorer 5.5/ie5setup.exe is empty (0 bytes)", "starts nothing"]),
        ("a layout fault and a header fault, listed together", [SETUP], {AGENT: b"PK\3\4"},
         ["missing: Setup.exe", "Kavrio.exe is a ZIP archive, not a program"]),
        ("an MS-DOS header cut short", [], {SETUP: b"MZ home"},
         ["Setup.exe is cut short (7 bytes, less than an MS-DOS header)"]),
        ("no Windows header after the MS-DOS one", [], {SETUP: dos_stub(bytes(64))},
         ["Setup.exe is an MS-DOS program or a damaged file (no PE, NE or LE header)"]),
        ("a PE header cut short", [], {SETUP: pe()[:0x70]},
         ["Setup.exe is a damaged PE file (its header is cut short)"]),
        ("sections that end past the file", [], {SETUP: pe(section=(0x400, 0x200))},
         ["Setup.exe is cut short (its sections need 1536 bytes, the file has 352)"]),
        ("a DLL", [], {AGENT: pe(characteristics=0x2102)}, ["Kavrio.exe is a DLL, not a program"]),
        ("an object file", [], {AGENT: pe(characteristics=0x0100)},
         ["Kavrio.exe is not an executable image"]),
        ("a native program", [], {IE: pe(subsystem=1)},
         ["ie5setup.exe is a native program or driver, which the launcher cannot start"]),
        ("a PE32+ header for i386", [], {IE: pe(wide=True)},
         ["ie5setup.exe is a damaged PE file (a PE32+ header for machine i386)"]),
        ("a subsystem version no Windows takes", [], {SETUP: pe(version=(11, 0))},
         ["Setup.exe is a PE32 GUI program with subsystem version 11.0, which no Windows"]),
        ("a 16-bit DLL", [], {IE: ne(flags=0x8000)}, ["ie5setup.exe is a 16-bit DLL"]),
        ("a device driver (VxD)", [], {IE: le(0x28000)},
         ["ie5setup.exe is an LE library or device driver, not a program"]),
        # An installer that its header lets through and its imports refuse everywhere.
        ("imports VCRUNTIME140.dll, which no Windows has", [], {AGENT: Built("VCRUNTIME140")},
         ["Kavrio.exe will start on no Windows 98 to 11 (on Windows 11 it needs VCRUNTIME140.dll, "
          "which Windows 11 does not have and the CD does not hold beside D:\\Agente Plimox\\"
          "Instalador Assistente Kavrio.exe)", "starts nothing"]),
    ]

    # Installers that start on only part of Windows 98 to 11: --strict refuses them.
    STRICT_ROWS = [  # (case, installers changed, texts the message must hold)
        ("PE32+ x64", {AGENT: pe(0x8664, wide=True, version=(5, 2))},
         ["Kavrio.exe is a 64-bit program: on 32-bit Windows the launcher will start nothing"]),
        ("PE32+ x64 for Vista", {AGENT: pe(0x8664, wide=True, version=(6, 0))},
         ["Kavrio.exe is a 64-bit program with subsystem version 6.0: on 32-bit Windows and "
          "Windows XP x64 the launcher"]),
        ("PE32 subsystem 5.1", {SETUP: pe(version=(5, 1))},
         ["Setup.exe is a program with subsystem version 5.1: on Windows 98, ME and 2000 the"]),
        ("PE32 subsystem 4.10", {SETUP: pe(version=(4, 10))},
         ["Setup.exe is a program with subsystem version 4.10: on Windows 98 and ME the"]),
        ("NE", {IE: ne()},
         ["ie5setup.exe is a 16-bit program: on 64-bit Windows the launcher will start nothing"]),
        ("LE program", {IE: le()}, ["ie5setup.exe is an MS-DOS-extended program (LE)",
                                    "on 64-bit Windows the launcher will start nothing"]),
        ("ARM64", {AGENT: pe(0xAA64, wide=True, version=(10, 0))},
         ["Kavrio.exe is a program for ARM64 processors: on every x86 and x64 PC"]),
        # Installers that a header of subsystem 4.0 lets through and their imports refuse.
        ("imports GetTickCount64", {SETUP: Built("GetTickCount64")},
         ["Setup.exe will not start on Windows XP: needs kernel32.dll!GetTickCount64 "
          "(from Windows Vista on) (--strict)",
          "Setup.exe will not start on Windows 98: needs kernel32.dll!GetTickCount64"]),
        ("its own DLL imports GetTickCount64",
         {SETUP: Built("own DLL with GetTickCount64"),
          "helper.dll": Built("own DLL with GetTickCount64", "helper.dll")},
         ["Setup.exe will not start on Windows 2000: needs kernel32.dll!GetTickCount64 (from "
          "Windows Vista on), through helper.dll on the CD (--strict)"]),
    ]

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="make-cd-test-")
        self.addCleanup(shutil.rmtree, self.tmp)

    def assert_refused(self, result, texts, out):
        self.assertEqual(result.returncode, 2, result.stderr)
        for text in texts + ["nothing was written"]:
            self.assertIn(text, result.stderr)
        self.assertFalse(os.path.exists(out), "refused run created %s" % out)

    def test_faults_of_the_installers_folder(self):
        for case, taken, added, texts in self.ROWS:
            with self.subTest(case):
                installers = os.path.join(self.tmp, case.replace(" ", "-"))
                make_tree(installers, {p: c for p, c in GOOD.items() if p not in taken})
                make_tree(installers, added)
                out = os.path.join(self.tmp, "out-" + case.replace(" ", "-"))
                result = make_cd("--installers", installers, "--out", os.path.join(out, "k.iso"))
                self.assert_refused(result, texts, out)

    def test_strict_refuses_installers_that_start_on_part_of_windows(self):
        for case, changed, texts in self.STRICT_ROWS:
            with self.subTest(case):
                installers = os.path.join(self.tmp, case.replace(" ", "-"))
                make_tree(installers, dict(GOOD, **changed))
                out = os.path.join(self.tmp, "out-" + case.replace(" ", "-"))
                result = make_cd("--installers", installers, "--strict",
                                 "--out", os.path.join(out, "k.iso"))
                self.assert_refused(result, texts + ["(--strict)"], out)
                self.assertNotIn("starts nothing.", result.stderr)

    def test_faults_of_the_arguments(self):
        installers = os.path.join(self.tmp, "installers")
        make_tree(installers, GOOD)
        out = os.path.join(self.tmp, "out")
        rows = [  # (case, arguments, texts)
            ("signing files missing", ["--sign", "no-cert.pem", "no-key.pem"],
             ["--sign: no-cert.pem is not a file", "--sign: no-key.pem is not a file"]),
            ("timestamp without signing", ["--timestamp", "http://tsa.invalid"],
             ["--timestamp needs --sign"]),
            ("image inside the installers folder",
             ["--out", os.path.join(installers, "cd.iso")], ["lies inside the installers folder"]),
            ("installers inside the folder that is replaced",
             ["--installers", os.path.join(out, "k", "sub"), "--out", os.path.join(out, "k.iso")],
             ["which this run replaces"]),
        ]
        make_tree(os.path.join(out, "k", "sub"), GOOD)
        before = read_folder(self.tmp)
        for case, arguments, texts in rows:
            with self.subTest(case):
                args = ["--installers", installers, "--out", os.path.join(out, "new.iso")]
                result = make_cd(*(args + arguments))
                self.assertEqual(result.returncode, 2, result.stderr)
                for text in texts:
                    self.assertIn(text, result.stderr)
                self.assertEqual(read_folder(self.tmp), before)

    def test_refusal_leaves_an_earlier_image_and_folder_untouched(self):
        out = os.path.join(self.tmp, "out")
        make_tree(out, {"kavrio.iso": b"earlier image", "kavrio/kavrio.exe": b"earlier exe"})
        before = read_folder(out)
        installers = os.path.join(self.tmp, "installers")
        make_tree(installers, {"Setup.exe": b"MZ"})
        result = make_cd("--installers", installers, "--out", os.path.join(out, "kavrio.iso"))
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertEqual(read_folder(out), before)


@unittest.skipUnless(have("xorriso", "cmake"), "xorriso or cmake not installed")
class ImageTest(unittest.TestCase):
    EPOCH = 1000000000  # 2001-09-09 01:46:40 UTC

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="make-cd-image-")
        installers = os.path.join(cls.tmp, "installers")
        make_tree(installers, GOOD)
        odd = os.path.join(cls.tmp, "odd")  # each installer starts on part of Windows only
        make_tree(odd, dict(GOOD, **{SETUP: pe(subsystem=3, version=(5, 1)), IE: ne(),
                                     AGENT: pe(0x8664, wide=True, version=(5, 2))}))
        imports = os.path.join(cls.tmp, "imports")  # headers of 4.0; imports that limit them
        if test_programs.have_tools():
            make_tree(imports, dict(GOOD, **{
                SETUP: Built("GetTickCount64"), AGENT: Built("own DLL"),
                "Agente Plimox/helper.dll": Built("own DLL", "helper.dll"), IE: Built("NSIS")}))
        cls.iso = {"stand-ins": os.path.join(cls.tmp, "a", "kavrio.iso"),
                   "stand-ins again": os.path.join(cls.tmp, "b", "c", "kavrio.iso"),
                   "installers": os.path.join(cls.tmp, "d", "cd.iso"),
                   "odd installers": os.path.join(cls.tmp, "e", "cd.iso")}
        cls.results = {name: make_cd("--out", cls.iso[name]) for name in cls.iso
                       if "installers" not in name}
        cls.results["installers"] = make_cd("--out", cls.iso["installers"], "--installers",
                                            installers, env={"SOURCE_DATE_EPOCH": str(cls.EPOCH)})
        cls.results["odd installers"] = make_cd("--out", cls.iso["odd installers"],
                                                "--installers", odd)
        if test_programs.have_tools():
            cls.iso["imports"] = os.path.join(cls.tmp, "f", "cd.iso")
            cls.results["imports"] = make_cd("--out", cls.iso["imports"], "--installers",
                                             imports)
        stub = read(os.path.join(WIN32_BIN, "stub_installer.exe"))
        common = {"kavrio.exe": read(os.path.join(WIN32_BIN, "kavrio.exe")),
                  "autorun.inf": read(os.path.join(ROOT, "cd", "autorun.inf"))}
        cls.expected = {  # what each CD holds: ({file: bytes}, {folder})
            "stand-ins": (dict(common, **{p: stub for p in INSTALLERS}),
                          {"Agente Plimox", "Internet Explorer 5.5"}),
            "installers": (dict(common, **{p: c for p, c in GOOD.items() if c is not None}),
                           {"Dados", "Agente Plimox", "Agente Plimox/Instalação",
                            "Internet Explorer 5.5", "Vazia"}),
        }

    @classmethod
    def tearDownClass(cls):
        for folder, subfolders, _ in os.walk(cls.tmp):  # xorriso extracts read-only folders
            for name in subfolders:
                os.chmod(os.path.join(folder, name), 0o755)
        shutil.rmtree(cls.tmp)

    def test_runs_succeed_and_print_what_the_cd_holds(self):
        for run, result in self.results.items():
            with self.subTest(run):
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn("volume KAVRIO", result.stdout)
                self.assertIn("Agente Plimox\\Instalador Assistente Kavrio.exe", result.stdout)
                self.assertEqual("stand-ins" in result.stdout, run.startswith("stand-ins"))

    def test_the_output_ends_with_each_installers_kind_and_oldest_windows(self):
        odd = [("Setup.exe", "PE32 console", "Windows XP", "a program with subsystem version 5.1"),
               ("Agente Plimox\\Instalador Assistente Kavrio.exe", "PE32+ GUI",
                "Windows XP x64, 64-bit only", "a 64-bit program"),
               ("Internet Explorer 5.5\\ie5setup.exe", "NE (16-bit)", "Windows 98, 32-bit only",
                "-")]
        tables = {"stand-ins": [(p.replace("/", "\\"), "PE32 GUI", "Windows 98", "-")
                                for p in INSTALLERS],
                  "odd installers": odd,
                  "imports": [("Setup.exe", "PE32 GUI", "Windows Vista",
                               "needs kernel32.dll!GetTickCount64 (from Windows Vista on)"),
                              (odd[1][0], "PE32 GUI", "Windows 98", "-"),
                              (odd[2][0], "PE32 GUI", "Windows 98", "-")]}
        tables["installers"] = tables["stand-ins"][:2] + [(odd[2][0], "PE32 console",
                                                           "Windows 98", "-")]
        for run, rows in tables.items():
            with self.subTest(run):
                if run not in self.results:
                    self.skipTest("MinGW, clang, lld or makensis not installed")
                tail = self.results[run].stdout.splitlines()[-3:]
                self.assertEqual([tuple(re.split(r"\s{2,}", line)) for line in tail], rows)

    def test_imports_give_a_warning_for_each_windows_and_what_is_not_known(self):
        if "imports" not in self.results:
            self.skipTest("MinGW, clang, lld or makensis not installed")
        result = self.results["imports"]
        self.assertEqual(result.returncode, 0, result.stderr)
        warnings = [line for line in result.stderr.splitlines()
                    if line.startswith("make-cd: warning: ")]
        self.assertEqual(warnings, [
            "make-cd: warning: Setup.exe will not start on Windows %s: needs "
            "kernel32.dll!GetTickCount64 (from Windows Vista on)" % w
            for w in ("98", "ME", "2000", "XP", "XP x64")])
        self.assertRegex(result.stdout, r"Internet Explorer 5.5\\ie5setup.exe: \d+ imports "
                                        r"without data on Windows 98, ME, 2000, .* and 11\n")
        self.assertNotIn("Setup.exe: ", result.stdout)  # its every import has data

    def test_installers_that_start_on_part_of_windows_are_written_with_a_warning_each(self):
        warnings = [line for line in self.results["odd installers"].stderr.splitlines()
                    if line.startswith("make-cd: warning: ")]
        self.assertEqual(warnings, [
            "make-cd: warning: Setup.exe is a program with subsystem version 5.1: on Windows 98, "
            "ME and 2000 the launcher will start nothing",
            "make-cd: warning: Agente Plimox/Instalador Assistente Kavrio.exe is a 64-bit program: "
            "on 32-bit Windows the launcher will start nothing",
            "make-cd: warning: Internet Explorer 5.5/ie5setup.exe is a 16-bit program: on 64-bit "
            "Windows the launcher will start nothing"])
        with joliet.JolietImage(self.iso["odd installers"]) as image:
            self.assertEqual(image.files()[AGENT], pe(0x8664, wide=True, version=(5, 2)))
        for run in ("stand-ins", "installers"):
            self.assertNotIn("warning", self.results[run].stderr)

    def test_every_reading_of_the_cd_gives_every_name_and_byte(self):
        def api(iso, _):
            with joliet.JolietImage(iso) as image:
                self.assertEqual((image.volume_id, image.primary_volume_id), ("KAVRIO", "KAVRIO"))
                return image.files(), image.folders()

        def extracted(command):
            def reading(iso, target):
                subprocess.run([c.format(iso=iso, target=target) for c in command],
                               check=True, capture_output=True, env=PACKAGE_ON_PATH)
                return read_folder(target)
            return reading

        readers = {  # how the Joliet tree is read back
            "joliet.JolietImage": api,
            "cdtools.joliet extract": extracted([sys.executable, "-m", "cdtools.joliet",
                                                 "extract", "{iso}", "{target}"]),
            "xorriso -extract": extracted(["xorriso", "-osirrox", "on", "-read_fs", "norock",
                                           "-indev", "{iso}", "-extract", "/", "{target}"]),
            "laid-out folder": lambda iso, _: read_folder(os.path.splitext(iso)[0]),
        }
        for run, expected in self.expected.items():
            for reader, reading in readers.items():
                with self.subTest(run=run, reader=reader):
                    target = os.path.join(self.tmp, "read", run, reader.replace(" ", "-"))
                    self.assertEqual(reading(self.iso[run], target), expected)

    def test_every_time_in_the_image_is_the_source_date(self):
        with joliet.JolietImage(self.iso["installers"]) as image:
            times = {e.recorded.timestamp() for e in image.entries}
            times |= {image.created.timestamp(), image.modified.timestamp()}
        self.assertEqual(times, {self.EPOCH})

    def test_two_runs_into_different_folders_give_identical_images(self):
        self.assertEqual(read(self.iso["stand-ins"]), read(self.iso["stand-ins again"]))

    def test_joliet_reader_refuses_an_image_without_joliet(self):
        plain = os.path.join(self.tmp, "plain.iso")
        subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-r", "-o", plain,
                        os.path.splitext(self.iso["installers"])[0]], check=True, capture_output=True)
        with self.assertRaisesRegex(joliet.IsoError, "no Joliet tree"):
            joliet.JolietImage(plain)

    def test_the_read_back_check_names_each_difference(self):
        module = cdtools.make_cd
        folder = os.path.splitext(self.iso["stand-ins"])[0]
        module.compare_with_layout(self.iso["stand-ins"], folder)  # the real pair matches
        changed = os.path.join(self.tmp, "changed")
        shutil.copytree(folder, changed)
        make_tree(changed, {"Setup.exe": b"other bytes", "extra.txt": b"", "Nova/": None})
        os.remove(os.path.join(changed, "autorun.inf"))
        with self.assertRaises(module.Failed) as caught:
            module.compare_with_layout(self.iso["stand-ins"], changed)
        for text in ["bytes differ: Setup.exe", "not in the image: extra.txt",
                     "not in the layout: autorun.inf", "folder not in the image: Nova"]:
            self.assertIn(text, str(caught.exception))

    def test_a_new_run_replaces_the_image_and_the_folder(self):
        out = os.path.join(self.tmp, "again")
        make_tree(out, {"kavrio.iso": b"stale", "kavrio/stale.txt": b"stale"})
        result = make_cd("--out", os.path.join(out, "kavrio.iso"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read(os.path.join(out, "kavrio.iso")), read(self.iso["stand-ins"]))
        self.assertEqual(sorted(os.listdir(out)), ["kavrio", "kavrio.iso"])
        self.assertEqual(read_folder(os.path.join(out, "kavrio")), self.expected["stand-ins"])


def one_folder(records, sectors=1):
    """crafted()'s arguments that give the folder Vazia the records(first sector) instead."""
    return {"folder": ("Vazia", records, sectors)}


def joliet_command(*args):
    error = io.StringIO()
    with contextlib.redirect_stderr(error), contextlib.redirect_stdout(io.StringIO()) as out:
        status = joliet.main(list(args))
    return status, out.getvalue(), error.getvalue()


@unittest.skipUnless(have("xorriso"), "xorriso not installed")
class CraftedImageTest(unittest.TestCase):
    """An image whose names or tree cannot be written safely: `list` and `extract` exit 1
    with one line that names the fault, and nothing is written."""

    ROWS = [  # (case, crafted()'s arguments, what the refusal says; None: read as it is)
        ("a name that climbs out", placed("../escaped.txt"), "../escaped.txt: the name holds '/'"),
        ("a name that climbs out of a folder", placed("../../escaped.txt", "Dados/"),
         "Dados/../../escaped.txt: the name holds '/'"),
        ("a backslash", placed("..\\escaped.txt"), "the name holds '\\'"),
        ("a drive", placed("C:escaped.txt"), "C:escaped.txt: the name holds ':'"),
        ("NUL", placed("nul\0.txt"), "nul\\x00.txt: the name holds a control character (U+0000)"),
        ("a terminal's escape", placed("\x1b[2J.txt"), "\\x1b[2J.txt: the name holds a control "
                                                       "character (U+001B)"),
        ("an empty name", placed(b"", "Dados/"), "a record in Dados: the name is empty"),
        ("a file named '.'", placed("."), ".: the name is '.'"),
        ("a folder named '..'", placed("..", "Dados/", is_dir=True), "Dados/..: the name is '..'"),
        ("'..' and a version", placed("..;1"), "the name is '..'"),
        ("dots only", placed("..."), "...: the name is only dots and spaces"),
        ("odd length", placed("odd.txt".encode("utf-16-be")[:-1]),
         "the name is 13 bytes, an odd length for UCS-2"),
        ("a lone surrogate", placed("bad".encode("utf-16-be") + b"\xd8\0" + ".txt".encode("utf-16-be")),
         "the name is not valid UTF-16 (illegal UTF-16 surrogate at byte 6)"),
        ("twins in capitals", placed("SETUP.EXE"),
         "Setup.exe, SETUP.EXE: Windows sees the same name twice in \\"),
        ("twins by a trailing dot", placed("Setup.exe."), "Setup.exe, Setup.exe.: Windows sees"),
        ("twins by a version", placed("Setup.exe;1"), "Setup.exe, Setup.exe: Windows sees"),
        ("folder twins by a trailing space", placed("Dados ", is_dir=True), "Dados, Dados : Windows"),
        ("twins with accents", placed("INSTALAÇÃO.TXT"), "Instalação.txt, INSTALAÇÃO.TXT: Windows"),
        ("leading dots", placed("..config"), None),
        ("dots inside", placed("a..b"), None),
        ("'ß' is not 'SS'", placed("straße.txt"), None),
        ("a surrogate pair", placed("Olá 😀.txt"), None),
        ("a record whose time is zeros", {"fields": [("Setup.exe", 18, 0)]}, None),
        # The tree's limits, checked before anything is read.
        ("a file past the image's end", {"add": {"far.txt": b"x"}, "fields": [("far.txt", 2, 1 << 20)]},
         "far.txt: its extent (sector 1048576, 1 bytes) lies outside the image"),
        ("a file larger than the image", {"add": {"big.txt": b"x"},
                                          "fields": [("big.txt", 10, 0xFFFFFFFF)]},
         "big.txt: its extent"),
        ("a folder past the image's end", {"fields": [("Vazia", 2, 1 << 20)]}, "Vazia: its extent"),
        ("a folder loop", one_folder(lambda first: [dir_record("again", first, SECTOR, True)]),
         "folder Vazia/again loops back on itself"),
        ("folders that share sectors",
         one_folder(lambda first: [dir_record("in", first + 1, SECTOR, True)], sectors=2),
         "folders Vazia and Vazia/in share sectors"),
        ("65 folders deep", {"add": {"/".join("d" * 65) + "/": None}},
         "folders nest more than 64 deep"),
        ("64 folders deep", {"add": {"/".join("d" * 64) + "/": None}}, None),
        ("100,001 entries", one_folder(lambda _: [dir_record("%06d" % i, 0, 0) for i in range(100_001)]),
         "the tree has more than 100000 entries"),
        ("files over 4 GiB in one extent",
         dict(one_folder(lambda _: [dir_record("f%d" % i, 0, GIB) for i in range(5)]), grow=GIB),
         "the files add up to more than 4 GiB"),
        ("files just under 4 GiB in one extent",
         dict(one_folder(lambda _: [dir_record("f%d" % i, 0, GIB - 4 * SECTOR * (i == 3))
                                    for i in range(4)]), grow=GIB), None),
        ("a folder larger than its entries can take",
         {"fields": [("Vazia", 10, joliet.MAX_FOLDER_BYTES + 1)], "grow": joliet.MAX_FOLDER_BYTES},
         "folder Vazia is 25602049 bytes, more than 100000 entries take"),
    ]

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="joliet-crafted-")
        self.addCleanup(shutil.rmtree, self.tmp)

    def test_rows(self):
        for index, (case, craft, refusal) in enumerate(self.ROWS):
            with self.subTest(case):
                iso = crafted(os.path.join(self.tmp, "%02d.iso" % index), **craft)
                status, listed, error = joliet_command("list", iso)
                if refusal is None:
                    self.assertEqual(status, 0, error)
                    for _, name in craft.get("renames", []):
                        self.assertIn(name.replace("/", "\\"), listed)
                    continue
                parent = os.path.join(self.tmp, "%02d" % index)
                os.mkdir(parent)
                for command in (["list", iso], ["extract", iso, os.path.join(parent, "dest")]):
                    status, _, error = joliet_command(*command)
                    self.assertEqual(status, 1)
                    self.assertRegex(error, "^joliet: %s: [^\n]*\n$" % re.escape(iso))
                    self.assertIn(refusal, error)
                self.assertEqual(os.listdir(parent), [])


class ExtractionTest(unittest.TestCase):
    """Extraction writes each entry new, and never through a link or outside its folder."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="joliet-extract-")
        self.addCleanup(shutil.rmtree, self.tmp)

    def test_inside(self):
        root = os.path.join(self.tmp, "root")
        make_tree(root, {"in/": None, "to-in": "in", "to-root": ".", "out": "..", "far": "/usr"})
        rows = [  # (target below root, whether it lies inside root)
            ("a", True), ("in/a", True), ("to-in/a", True), ("", False), ("to-root", False),
            ("..", False), ("../root2/a", False), ("out/a", False), ("far/a", False),
        ]
        for target, expected in rows:
            with self.subTest(target):
                self.assertEqual(joliet.inside(os.path.join(root, target), root), expected)

    @unittest.skipUnless(have("xorriso"), "xorriso not installed")
    def test_a_name_that_linux_cannot_hold_is_listed_but_not_half_extracted(self):
        long_name = "安" * 100  # 200 bytes in UCS-2, 300 in UTF-8: more than Linux's 255
        iso = crafted(os.path.join(self.tmp, "cd.iso"),
                      **one_folder(lambda _: [dir_record(long_name, 0, 0)]))
        status, listed, _ = joliet_command("list", iso)
        self.assertEqual(status, 0)
        self.assertIn("Vazia\\" + long_name, listed)
        parent = os.path.join(self.tmp, "parent")
        os.mkdir(parent)
        status, _, error = joliet_command("extract", iso, os.path.join(parent, "dest"))
        self.assertEqual(status, 1)
        self.assertIn("File name too long", error)
        self.assertEqual(os.listdir(parent), [])

    @unittest.skipUnless(have("xorriso"), "xorriso not installed")
    def test_an_entry_already_in_the_destination(self):
        iso = crafted(os.path.join(self.tmp, "cd.iso"))
        rows = [  # (case, what the destination holds, the error)
            ("a file of the image", {"Setup.exe": b"kept"}, FileExistsError),
            ("a folder of the image", {"Vazia/": None}, FileExistsError),
            ("a link, for a file", {"other": b"kept", "Setup.exe": "other"}, FileExistsError),
            ("a link outside, for a file", {"Setup.exe": "../outside/file"}, joliet.IsoError),
            ("a link outside, for a folder", {"Dados": "../outside"}, joliet.IsoError),
        ]
        for case, holds, raised in rows:
            with self.subTest(case):
                work = tempfile.mkdtemp(dir=self.tmp)
                make_tree(work, {"outside/file": b"outside"})
                make_tree(os.path.join(work, "dest"), holds)
                before = read_folder(work)
                with self.assertRaises(raised):
                    joliet.extract(iso, os.path.join(work, "dest"))
                self.assertEqual(read_folder(work), before)


@unittest.skipUnless(have("xorriso", "cmake", "osslsigncode", "openssl"),
                     "xorriso, cmake, osslsigncode or openssl not installed")
class SigningTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="make-cd-sign-")
        cls.cert, cls.key, cls.other_key = (os.path.join(cls.tmp, n) for n in
                                            ("cert.pem", "key.pem", "other-key.pem"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Kavrio test signer", "-addext", "extendedKeyUsage=codeSigning",
                        "-keyout", cls.key, "-out", cls.cert], check=True, capture_output=True)
        subprocess.run(["openssl", "genrsa", "-out", cls.other_key, "2048"],
                       check=True, capture_output=True)
        make_cd("--out", os.path.join(cls.tmp, "warm-up", "kavrio.iso"))  # builds the exe first
        cls.built = read(os.path.join(WIN32_BIN, "kavrio.exe"))
        cls.iso = os.path.join(cls.tmp, "signed", "kavrio.iso")
        cls.result = make_cd("--sign", cls.cert, cls.key, "--out", cls.iso)
        cls.built_after = read(os.path.join(WIN32_BIN, "kavrio.exe"))
        cls.cd_exe = os.path.join(cls.tmp, "from-image.exe")
        if cls.result.returncode == 0:
            with joliet.JolietImage(cls.iso) as image, open(cls.cd_exe, "wb") as f:
                f.write(image.files()["kavrio.exe"])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp)

    def setUp(self):
        self.assertEqual(self.result.returncode, 0, self.result.stderr)

    def test_the_exe_on_the_cd_verifies_with_sha256(self):
        result = subprocess.run(["osslsigncode", "verify", "-CAfile", self.cert,
                                 "-in", self.cd_exe], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertRegex(result.stdout, r"Message digest algorithm\s*:\s*SHA256")

    def test_removing_the_signature_gives_back_the_built_exe(self):
        unsigned = os.path.join(self.tmp, "unsigned.exe")
        subprocess.run(["osslsigncode", "remove-signature", "-in", self.cd_exe,
                        "-out", unsigned], check=True, capture_output=True)
        self.assertNotEqual(read(self.cd_exe), self.built)
        self.assertEqual(read(unsigned), self.built)

    def test_the_build_is_untouched_and_the_folder_holds_the_signed_exe(self):
        self.assertEqual(self.built_after, self.built)
        self.assertEqual(read(os.path.join(os.path.splitext(self.iso)[0], "kavrio.exe")),
                         read(self.cd_exe))

    def test_a_failed_signing_writes_nothing(self):
        out = os.path.join(self.tmp, "failed", "deeper", "k.iso")
        result = make_cd("--sign", self.cert, self.other_key, "--out", out)
        self.assertEqual(result.returncode, 1)
        self.assertIn("signing kavrio.exe failed", result.stderr)
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "failed")))


class LayoutTest(unittest.TestCase):
    def test_the_cd_holds_the_installers_where_the_launcher_starts_them(self):
        with open(os.path.join(ROOT, "src", "launch", "launch_folder.h"), encoding="utf-8") as f:
            suffixes = re.findall(r'k\w+SetupSuffix\[\] =\s*u"\\\\(.*?)";', f.read())
        launcher = sorted(suffix.replace("\\\\", "/") for suffix in suffixes)
        self.assertEqual(launcher, sorted(cdtools.layout.INSTALLERS))
        self.assertEqual(launcher, sorted(INSTALLERS))

    def test_crlf_lines_with_the_keys_windows_reads(self):
        data = read(os.path.join(ROOT, "cd", "autorun.inf"))
        self.assertTrue(data.endswith(b"\r\n"))
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "a line ends without CRLF")
        self.assertEqual(data.decode("ascii").split("\r\n"),
                         ["[autorun]", "open=kavrio.exe", "icon=kavrio.exe,0", "label=Kavrio", ""])


if __name__ == "__main__":
    unittest.main()
