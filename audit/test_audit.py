"""Tests of the import, header and CPU audits and of the reproducibility check's diagnosis.

  python3 -m unittest discover -s audit -t .      (from the repository root)

Fixture programs are built with the MinGW compilers, so every case reads a real PE file.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from audit import check_reproducible
from cdtools.pe_image import PeImage
from tools import run_from_swap

HERE = os.path.dirname(os.path.abspath(__file__))

PROGRAM = """
#include <windows.h>
#ifdef USE_OLE
#include <objbase.h>
#endif
void start(void) {
#ifdef USE_OLE
  CoInitialize(0);
#endif
  MessageBeep(0);
  ExitProcess(GetTickCount());
}
"""
GOOD_LIST = """# a comment
[sources]
sdk   a reference page
[functions]
KERNEL32.dll
  ExitProcess    95 sdk launcher
  GetTickCount   95 sdk launcher
  GetTickCount64 Vista sdk
USER32.dll
  MessageBeep    95 sdk launcher
"""
OLE_LIST = GOOD_LIST + "ole32.dll\n  CoInitialize  95 sdk launcher\n"


def have(tool):
    return shutil.which(tool) is not None


@unittest.skipUnless(have("i686-w64-mingw32-gcc") and have("x86_64-w64-mingw32-gcc"),
                     "MinGW compilers not installed")
class ImportAuditTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="audit-test-")
        source = os.path.join(cls.dir, "program.c")
        with open(source, "w") as f:
            f.write(PROGRAM)
        cls.exes = {}
        fixtures = {  # name: (compiler, entry, extra flags)
            "gui": ("i686-w64-mingw32-gcc", "_start", ["-Wl,--subsystem,windows:4.0"]),
            "console": ("i686-w64-mingw32-gcc", "_start", ["-Wl,--subsystem,console:4.0"]),
            "gui 5.1": ("i686-w64-mingw32-gcc", "_start", ["-Wl,--subsystem,windows:5.1"]),
            "x86-64": ("x86_64-w64-mingw32-gcc", "start", ["-Wl,--subsystem,windows:4.0"]),
            "ole": ("i686-w64-mingw32-gcc", "_start",
                    ["-DUSE_OLE", "-Wl,--subsystem,windows:4.0", "-lole32"]),
        }
        for name, (compiler, entry, flags) in fixtures.items():
            base = os.path.join(cls.dir, name.replace(" ", "_"))
            obj = os.path.join(cls.dir, "program_%s.o" % name.replace(" ", "_"))
            subprocess.run([compiler, "-Os", "-c", source, "-o", obj] +
                           [f for f in flags if f.startswith("-D")], check=True)
            subprocess.run([compiler, "-nostdlib", "-Wl,-e," + entry, obj, "-o", base + ".exe",
                            "-Wl,-Map," + base + ".map"] +
                           [f for f in flags if not f.startswith("-D")] +
                           ["-lkernel32", "-luser32"], check=True)
            cls.exes[name] = base + ".exe"

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def run_check(self, exe, list_text, *options):
        list_path = os.path.join(self.dir, "imports.txt")
        with open(list_path, "w") as f:
            f.write(list_text)
        result = subprocess.run([os.path.join(HERE, "check-imports"), *options, "--list",
                                 list_path, exe], capture_output=True, text=True)
        with open(list_path) as f:
            return result.returncode, result.stdout + result.stderr, f.read()

    def test_check(self):
        cases = [  # (what, fixture, list text, exit code, text that the output must hold)
            ("exact list passes", "gui", GOOD_LIST, 0, "3 functions from 2 DLLs"),
            ("DLL names compare without case", "gui", GOOD_LIST.replace("KERNEL32", "kernel32"),
             0, "3 functions"),
            ("an import missing from the list", "gui",
             GOOD_LIST.replace("  GetTickCount   95 sdk launcher\n", ""), 1,
             "+ KERNEL32.dll   GetTickCount   (imported, not listed)"),
            ("a listed function no longer imported", "gui", GOOD_LIST + "  Beep  95 sdk launcher\n", 1,
             "- USER32.dll     Beep   (listed, not imported)"),
            ("a function without a version", "gui", GOOD_LIST.replace("GetTickCount   95",
                                                                      "GetTickCount   ?"), 1,
             "KERNEL32.dll GetTickCount has no version"),
            ("a function without a source", "gui", GOOD_LIST.replace("GetTickCount   95 sdk",
                                                                     "GetTickCount   95"), 1,
             "KERNEL32.dll GetTickCount has no source"),
            ("a source that the table does not define", "gui",
             GOOD_LIST.replace("GetTickCount   95 sdk", "GetTickCount   95 blog"), 1,
             "KERNEL32.dll GetTickCount has no source"),
            ("a fact that is no import is no launcher row", "gui", GOOD_LIST.replace(
                "GetTickCount   95 sdk launcher", "GetTickCount   95 sdk"), 1,
             "+ KERNEL32.dll   GetTickCount   (imported, not listed)"),
            ("a function newer than 98 SE, with its caller from the link map", "gui",
             GOOD_LIST.replace("MessageBeep    95", "MessageBeep    XP"), 1,
             "MessageBeep is not on Windows 98 SE (oldest: XP) (first called from program_gui.o)"),
            ("a new import, with its caller", "gui",
             GOOD_LIST.replace("  ExitProcess    95 sdk launcher\n", ""), 1,
             "+ KERNEL32.dll   ExitProcess   (imported, not listed) (first called from "
             "program_gui.o)"),
            ("a version that is not a Windows release", "gui",
             GOOD_LIST.replace("ExitProcess    95", "ExitProcess    Windows 95"), 2,
             "line 6: 'Windows 95 sdk launcher' does not begin with a release"),
            ("a version followed by a comment", "gui",
             GOOD_LIST.replace("ExitProcess    95 sdk launcher",
                               "ExitProcess    98 SE sdk launcher  # why"), 0, ""),
            ("console subsystem", "console", GOOD_LIST, 1, "subsystem is Windows console"),
            ("subsystem version 5.1", "gui 5.1", GOOD_LIST, 1, "subsystem version is 5.1, not 4.0"),
            ("64-bit machine", "x86-64", GOOD_LIST, 1, "machine is x86-64, not i386"),
            ("a DLL outside the system set", "ole", OLE_LIST, 1,
             "imports from ole32.dll, which is not one of"),
            ("not an exe", os.path.join(HERE, "check_imports.py"), GOOD_LIST, 2, "check-imports:"),
        ]
        for what, fixture, list_text, code, expected in cases:
            with self.subTest(what):
                returncode, output, _ = self.run_check(self.exes.get(fixture, fixture), list_text)
                self.assertEqual(returncode, code, output)
                self.assertIn(expected, output)

    def test_update_keeps_known_versions(self):
        stale = ("[sources]\nsdk a page\n[functions]\nKERNEL32.dll\n"
                 "  GetTickCount  98 SE sdk launcher  # kept\n  ExitProcess  95 sdk launcher\n"
                 "  Beep  95 sdk launcher\n\n[missing before]\nKERNEL32.dll\n"
                 "  GetTickCount64  Vista  headers\n")
        returncode, output, written = self.run_check(self.exes["gui"], stale, "--update")
        self.assertIn("added USER32.dll MessageBeep", output)
        self.assertIn("removed KERNEL32.dll Beep", output)
        self.assertEqual(returncode, 1, output)  # MessageBeep still needs its release
        body = [line.split() for line in written.splitlines()
                if line.strip() and not line.startswith(("#", "[", "sdk"))]
        self.assertEqual(body, [["KERNEL32.dll"], ["Beep", "95", "sdk"],
                                ["ExitProcess", "95", "sdk", "launcher"],
                                ["GetTickCount", "98", "SE", "sdk", "launcher", "#", "kept"],
                                ["USER32.dll"], ["MessageBeep", "?", "-", "launcher"],
                                ["KERNEL32.dll"], ["GetTickCount64", "Vista", "headers"]])


class ExplainDifferenceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="repro-test-")
        if not (have("i686-w64-mingw32-gcc") and have("i686-w64-mingw32-windres")):
            raise unittest.SkipTest("MinGW tools not installed")
        with open(os.path.join(cls.dir, "program.c"), "w") as f:
            f.write(PROGRAM)
        with open(os.path.join(cls.dir, "manifest.xml"), "w") as f:
            f.write("<assembly/>\n")
        with open(os.path.join(cls.dir, "program.rc"), "w") as f:
            f.write('1 24 "manifest.xml"\n')
        obj = os.path.join(cls.dir, "program_rc.o")
        subprocess.run(["i686-w64-mingw32-windres", "program.rc", "-O", "coff", "-o", obj],
                       cwd=cls.dir, check=True)
        exe = os.path.join(cls.dir, "program.exe")
        subprocess.run(["i686-w64-mingw32-gcc", "-Os", "-nostdlib", "-Wl,-e,_start",
                        "-Wl,--no-insert-timestamp", os.path.join(cls.dir, "program.c"), obj,
                        "-o", exe, "-lkernel32", "-luser32"], check=True)
        with open(exe, "rb") as f:
            cls.exe = f.read()
        cls.image = PeImage(cls.exe)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def changed(self, offset, data):
        copy = bytearray(self.exe)
        copy[offset:offset + len(data)] = data
        return bytes(copy)

    def test_causes(self):
        pe = struct.unpack_from("<I", self.exe, 0x3C)[0]
        resource_directory = self.image.file_offset(self.image.directories[2][0])
        text = self.image.section(".text").raw_offset
        folder = "/tmp/kavrio-repro-x/a/kavrio"
        cases = [  # (what, changed bytes, text the diagnosis must hold)
            ("link timestamp", self.changed(pe + 8, b"\x01\x02\x03\x04"),
             ["COFF header TimeDateStamp", "-Wl,--no-insert-timestamp"]),
            ("resource directory time", self.changed(resource_directory + 4, b"\x99\x99\x99\x5f"),
             ["section .rsrc", "resource compiler wrote a time"]),
            ("build folder in the code", self.changed(text + 16, folder.encode()),
             ["section .text", "the build folder %s is written into the exe" % folder]),
            ("Windows spelling of the folder", self.changed(text + 16, folder.replace(
                "/", "\\").encode()), ["build folder \\tmp\\kavrio-repro-x\\a\\kavrio"]),
            ("unexplained code change", self.changed(text + 3, b"\xcc"),
             ["1 differing bytes", "no known cause found"]),
        ]
        for what, other, expected in cases:
            with self.subTest(what):
                report = "\n".join(check_reproducible.explain_difference(
                    self.exe, other, [folder]))
                for text_part in expected:
                    self.assertIn(text_part, report)


@unittest.skipUnless(have("i686-w64-mingw32-gcc"), "MinGW compilers not installed")
class CpuFloorTest(unittest.TestCase):
    """Each row links a tiny exe whose code holds one instruction and runs the audit on it."""

    CASES = [  # (what, instruction or C flags, exit code, text the output must hold)
        ("plain i486 code passes", "bswap %eax", 0, "none beyond the i486"),
        ("CMOV, named with its function from the map", "cmovl %ecx,%eax", 1,
         "cmovl %ecx,%eax"),
        ("x87 CMOV", "fcmovb %st(1),%st", 1, "fcmovb"),
        ("FCOMI", "fcomi %st(1),%st", 1, "fcomi"),
        ("long NOP", "nopl (%eax)", 1, "nopl"),
        ("CMPXCHG8B", "cmpxchg8b (%eax)", 1, "cmpxchg8b"),
        ("RDTSC", "rdtsc", 1, "rdtsc"),
        ("MMX register", "movq %mm0,%mm1", 1, "%mm0"),
        ("SSE register", "addps %xmm0,%xmm1", 1, "%xmm0"),
        ("AVX register", "vaddps %ymm0,%ymm1,%ymm2", 1, "%ymm0"),
        ("a fence", "lfence", 1, "lfence"),
        ("the compiler's pentiumpro default emits CMOV", "-march=pentiumpro", 1, "cmov"),
        ("the same code for the i486 passes", "-march=i486", 0, "none beyond"),
    ]
    # For the two compiler rows: a branch that GCC turns into CMOV where it may.
    BRANCHY = "int pick(int a, int b, int c) { return a < b ? c : b; }\n"

    def test_instructions(self):
        with tempfile.TemporaryDirectory() as folder:
            for number, (what, code, expected_code, expected_text) in enumerate(self.CASES):
                with self.subTest(what):
                    source = os.path.join(folder, "f%d.c" % number)
                    exe = os.path.join(folder, "f%d.exe" % number)
                    flags = [code] if code.startswith("-") else ["-march=i486"]
                    body = "" if code.startswith("-") else 'asm volatile("%s");' % code
                    with open(source, "w") as f:
                        f.write(self.BRANCHY + "void start(void) { %s pick(1, 2, 3); }\n" % body)
                    subprocess.run(["i686-w64-mingw32-gcc", "-O2", "-nostdlib", "-Wl,-e,_start",
                                    *flags, source, "-o", exe,
                                    "-Wl,-Map," + os.path.splitext(exe)[0] + ".map"], check=True)
                    result = subprocess.run([os.path.join(HERE, "check-cpu-floor"), exe],
                                            capture_output=True, text=True)
                    output = result.stdout + result.stderr
                    self.assertEqual(result.returncode, expected_code, output)
                    self.assertIn(expected_text, output)
                    if expected_code == 1 and not code.startswith("-"):
                        self.assertRegex(output, r"\bstart in \S+\.o")


@unittest.skipUnless(have("i686-w64-mingw32-gcc"), "MinGW compilers not installed")
class HeaderAuditTest(unittest.TestCase):
    """Each row links the fixture program with some flags, runs the post-link fix-up or not,
    changes bytes, and runs the audit on it."""

    SHIPPED = ["-Wl,--enable-reloc-section", "-Wl,--dynamicbase", "-Wl,--nxcompat"]

    def test_header(self):
        def put(offset_of, value):
            return lambda data, image: struct.pack_into("<I", data, offset_of(image), value)

        def flip_first_code_byte(data, image):
            data[image.section(".text").raw_offset] ^= 0xFF

        def idata_executable(data, image):
            header = image.data.index(b".idata\0", 0, image.size_of_headers)
            struct.pack_into("<I", data, header + 36,
                             image.section(".idata").characteristics | 0x20000000)

        relocation_directory = lambda image: image.checksum_offset + 32 + 8 * 5  # noqa: E731
        first_block_size = lambda image: image.section(".reloc").raw_offset + 4  # noqa: E731
        cases = [  # (what, link flags, fix-up, change before it, change after it, exit, texts)
            ("the shipped flags and the fix-up pass", self.SHIPPED, True, None, None, 0,
             ["0x0140  DYNAMIC_BASE | NX_COMPAT", "runs from swap"]),
            ("without the fix-up", self.SHIPPED, False, None, None, 1,
             ["lack REMOVABLE_RUN_FROM_SWAP", "lack NET_RUN_FROM_SWAP"]),
            ("fixed load address", self.SHIPPED + ["-Wl,--disable-dynamicbase"], True, None,
             None, 1, ["DllCharacteristics lack DYNAMIC_BASE"]),
            ("data may run", self.SHIPPED + ["-Wl,--disable-nxcompat"], True, None, None, 1,
             ["DllCharacteristics lack NX_COMPAT"]),
            ("relocations stripped", ["-Wl,--disable-reloc-section"], True, None, None, 1,
             ["no .reloc section with data", "RELOCS_STRIPPED"]),
            ("an extra DllCharacteristics bit", self.SHIPPED + ["-Wl,--tsaware"], True, None,
             None, 1, ["have TERMINAL_SERVER_AWARE beyond"]),
            ("a byte changed after the checksum", self.SHIPPED, True, None,
             flip_first_code_byte, 1, ["CheckSum is 0x"]),
            ("a writable and executable section", self.SHIPPED, True, idata_executable, None, 1,
             ["section .idata is both writable and executable"]),
            ("relocation directory outside .reloc", self.SHIPPED, True,
             put(relocation_directory, 0x1000), None, 1, ["does not lie in .reloc"]),
            ("a broken relocation block", self.SHIPPED, True, put(first_block_size, 3), None, 1,
             ["block at 0x0 has size 3"]),
        ]
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "program.c")
            with open(source, "w") as f:
                f.write(PROGRAM)
            for number, (what, flags, fix_up, before, after, code, texts) in enumerate(cases):
                with self.subTest(what):
                    exe = os.path.join(folder, "h%d.exe" % number)
                    subprocess.run(["i686-w64-mingw32-gcc", "-Os", "-nostdlib", "-Wl,-e,_start",
                                    *flags, source, "-o", exe, "-lkernel32", "-luser32"],
                                   check=True)
                    with open(exe, "rb") as f:
                        data = bytearray(f.read())
                    image = PeImage(bytes(data))
                    self.assertEqual(image.computed_checksum(), image.checksum,
                                     "the checksum that ld wrote")
                    for change, fix in ((before, fix_up), (after, False)):
                        if change:
                            change(data, PeImage(bytes(data)))
                        if fix:
                            data = bytearray(run_from_swap.run_from_swap(bytes(data)))
                    with open(exe, "wb") as f:
                        f.write(data)
                    result = subprocess.run([os.path.join(HERE, "check-header"), exe],
                                            capture_output=True, text=True)
                    output = result.stdout + result.stderr
                    self.assertEqual(result.returncode, code, output)
                    for text in texts:
                        self.assertIn(text, output)


@unittest.skipUnless(have("git"), "git not installed")
class WorkTreeFilesTest(unittest.TestCase):
    def test_copied_files(self):
        with tempfile.TemporaryDirectory() as root:
            def write(path, text="x\n"):
                os.makedirs(os.path.dirname(os.path.join(root, path)) or root, exist_ok=True)
                with open(os.path.join(root, path), "w") as f:
                    f.write(text)
            git = ["git", "-C", root, "-c", "user.name=t", "-c", "user.email=t@t"]
            subprocess.run(git + ["init", "-q"], check=True)
            for path in (".gitignore", "src/tracked.cpp", "src/removed.cpp"):
                write(path, "*.log\n" if path == ".gitignore" else "x\n")
            subprocess.run(git + ["add", "."], check=True)
            subprocess.run(git + ["commit", "-q", "-m", "fixture"], check=True)
            os.remove(os.path.join(root, "src/removed.cpp"))
            for path in ("src/untracked.cpp", "notes.log", "build/win32/CMakeCache.txt",
                         "buildtools/keep.txt"):
                write(path)
            self.assertEqual(check_reproducible.work_tree_files(root),
                             [".gitignore", "buildtools/keep.txt", "src/tracked.cpp",
                              "src/untracked.cpp"])


if __name__ == "__main__":
    unittest.main()
