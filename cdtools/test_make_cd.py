"""Tests of scripts/make-cd, of the image it writes and of the Joliet reader.

  python3 -m unittest discover -s cdtools -t .      (from the repository root)

Refusals are decided before any build. The image cases run make-cd for real into temporary
folders (its win32 build is a no-op after scripts/test's own); signing needs osslsigncode
and openssl.
"""
import atexit
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

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAKE_CD = os.path.join(ROOT, "scripts", "make-cd")
PACKAGE_ON_PATH = dict(os.environ, PYTHONPATH=ROOT)  # for python3 -m cdtools.MODULE
BIN = os.path.join(ROOT, "build", "win32", "bin")
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
        ("imports VCRUNTIME140.dll", {AGENT: Built("VCRUNTIME140")},
         ["Kavrio.exe will not start on Windows XP: needs VCRUNTIME140.dll, which Windows XP does "
          "not have and the CD does not hold beside D:\\Agente Plimox\\Instalador Assistente "
          "Kavrio.exe (--strict)", "Kavrio.exe will not start on Windows 11: needs VCRUNTIME140"]),
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
        stub = read(os.path.join(BIN, "stub_installer.exe"))
        common = {"kavrio.exe": read(os.path.join(BIN, "kavrio.exe")),
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
        cls.built = read(os.path.join(BIN, "kavrio.exe"))
        cls.iso = os.path.join(cls.tmp, "signed", "kavrio.iso")
        cls.result = make_cd("--sign", cls.cert, cls.key, "--out", cls.iso)
        cls.built_after = read(os.path.join(BIN, "kavrio.exe"))
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
