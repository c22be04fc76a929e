"""Real programs for the tests of the import check, built here with MinGW, clang and lld,
and makensis: each case is a folder as the CD holds it, a Setup.exe and the DLLs beside it.

No TestCase lives here; test_import_check, test_make_cd and the preflight's tests build
their cases with build().
"""
import os
import shutil
import subprocess

GCC = "i686-w64-mingw32-gcc"
# A program or DLL with no C runtime: its only imports are the ones its source names.
BARE = [GCC, "-Os", "-s", "-nostdlib", "-Wl,--subsystem,windows:4.0"]
TOOLS = (GCC, "i686-w64-mingw32-dlltool", "clang", "ld.lld", "llvm-dlltool", "makensis")

PROGRAM = """#include <windows.h>
%s
void start(void) { ExitProcess((UINT)(%s)); }
"""
HELPER = """#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) { return TRUE; }
__declspec(dllexport) int helper_answer(void) { return (int)(%s); }
"""


def have_tools():
    return all(shutil.which(t) for t in TOOLS)


def run(command, folder):
    subprocess.run(command, cwd=folder, check=True, capture_output=True)


def write(folder, name, text):
    with open(os.path.join(folder, name), "w") as f:
        f.write(text)


def program(folder, declarations, expression, libraries=(), winnt="0x0400"):
    """Setup.exe in folder, whose start calls expression."""
    write(folder, "setup.c", PROGRAM % (declarations, expression))
    run(BARE + ["-D_WIN32_WINNT=" + winnt, "-Wl,-e,_start", "setup.c", "-o", "Setup.exe"] +
        list(libraries) + ["-lkernel32"], folder)
    os.remove(os.path.join(folder, "setup.c"))


def import_library(folder, dll, functions, tool="i686-w64-mingw32-dlltool"):
    """lib<stem>.a for dll from a .def file, as a vendor's SDK would ship it."""
    stem = os.path.splitext(dll)[0].lower()
    write(folder, stem + ".def", "LIBRARY %s\nEXPORTS\n%s\n" % (dll, "\n".join(functions)))
    library = "lib%s.a" % stem
    if tool == "llvm-dlltool":
        run([tool, "-m", "i386", "-d", stem + ".def", "-l", library, "-k"], folder)
    else:
        run([tool, "-d", stem + ".def", "-l", library], folder)
    return os.path.join(folder, library)


def helper_dll(folder, expression, winnt="0x0400"):
    """A DLL beside Setup.exe exporting helper_answer, and its import library."""
    write(folder, "helper.c", HELPER % expression)
    library = os.path.join(folder, "libhelper.a")
    run(BARE + ["-D_WIN32_WINNT=" + winnt, "-shared", "-Wl,-e,_DllMain@12", "helper.c", "-o",
                "helper.dll", "-Wl,--out-implib," + library, "-lkernel32"], folder)
    os.remove(os.path.join(folder, "helper.c"))
    return library


def uses_helper(folder, expression, winnt="0x0400"):
    library = helper_dll(folder, expression, winnt)
    program(folder, "int helper_answer(void);", "helper_answer()", [library])
    os.remove(library)


def delay_loaded(folder):
    """Setup.exe that delay-loads VCRUNTIME140.dll (clang and lld write a real delay-import
    table; GNU ld would write an ordinary import)."""
    library = import_library(folder, "VCRUNTIME140.dll", ["__std_terminate"],
                             tool="llvm-dlltool")
    write(folder, "setup.c", "void __std_terminate(void);\n"
                             "int main(void) { __std_terminate(); return 0; }\n")
    run(["clang", "--target=i686-w64-mingw32", "-fuse-ld=lld",
         "-L/usr/lib/gcc/i686-w64-mingw32/12-win32", "-mwindows", "-Os", "setup.c", library,
         "-Wl,--delayload=VCRUNTIME140.dll", "-Wl,--major-subsystem-version,4",
         "-Wl,--minor-subsystem-version,0", "-o", "Setup.exe"], folder)
    os.remove(os.path.join(folder, "setup.c"))


def nsis_installer(folder):
    write(folder, "setup.nsi", 'OutFile "Setup.exe"\nRequestExecutionLevel user\n'
                               'Section\nSectionEnd\n')
    run(["makensis", "-V1", "setup.nsi"], folder)
    os.remove(os.path.join(folder, "setup.nsi"))


def fake_kernel32(folder):
    """A kernel32.dll on the CD that exports GetTickCount64: Windows never loads it."""
    write(folder, "k.c", "__declspec(dllexport) unsigned long long GetTickCount64(void) "
                         "{ return 0; }\nint __stdcall DllMain(void *h, int r, void *p) "
                         "{ return 1; }\n")
    run(BARE + ["-shared", "-Wl,-e,_DllMain@12", "k.c", "-o", "kernel32.dll"], folder)
    os.remove(os.path.join(folder, "k.c"))


def tidy(folder):
    """Leaves the programs and DLLs only, as the CD holds them."""
    for name in os.listdir(folder):
        if not name.endswith((".exe", ".dll")):
            os.remove(os.path.join(folder, name))


CASES = {  # name: how to build Setup.exe (and what lies beside it) in a folder
    "GetTickCount64": lambda f: program(f, "", "GetTickCount64()", winnt="0x0600"),
    "InitializeSRWLock": lambda f: program(
        f, "SRWLOCK lock;", "(InitializeSRWLock(&lock), 0)", winnt="0x0600"),
    "VCRUNTIME140": lambda f: program(f, "void __std_terminate(void);",
                                      "(__std_terminate(), 0)",
                                      [import_library(f, "VCRUNTIME140.dll",
                                                      ["__std_terminate"])]),
    "Universal CRT": lambda f: program(f, "int _crt_atexit(void *);", "_crt_atexit(0)",
                                       [import_library(f, "api-ms-win-crt-runtime-l1-1-0.dll",
                                                       ["_crt_atexit"])]),
    "import by ordinal": lambda f: program(f, "void __std_terminate(void);",
                                           "(__std_terminate(), 0)",
                                           [import_library(f, "VCRUNTIME140.dll",
                                                           ["__std_terminate @7 NONAME"])]),
    "own DLL": lambda f: uses_helper(f, "GetLastError()"),
    "own DLL with GetTickCount64": lambda f: uses_helper(f, "GetTickCount64()", "0x0600"),
    "own DLL without the function": lambda f: (uses_helper(f, "GetLastError()"),
                                               rename_export(f)),
    "damaged own DLL": lambda f: (uses_helper(f, "GetLastError()"), cut_short(f, "helper.dll")),
    "kernel32.dll on the CD": lambda f: (program(f, "", "GetTickCount64()", winnt="0x0600"),
                                         fake_kernel32(f)),
    "delay-loaded DLL": delay_loaded,
    "NSIS": nsis_installer,
}


def rename_export(folder):
    """Rebuilds helper.dll so that it exports another name than the one Setup.exe imports."""
    write(folder, "h.c", "__declspec(dllexport) int helper_other(void) { return 0; }\n"
                         "int __stdcall DllMain(void *h, int r, void *p) { return 1; }\n")
    run(BARE + ["-shared", "-Wl,-e,_DllMain@12", "h.c", "-o", "helper.dll"], folder)
    os.remove(os.path.join(folder, "h.c"))


def cut_short(folder, name):
    path = os.path.join(folder, name)
    with open(path, "r+b") as f:
        f.truncate(600)


def build(case, folder):
    """Builds the case into folder (made); the path of its Setup.exe."""
    os.makedirs(folder, exist_ok=True)
    CASES[case](folder)
    tidy(folder)
    return os.path.join(folder, "Setup.exe")
