"""Import audit of the shipped 32-bit launcher.

  audit/check-imports EXE               check EXE against audit/imports-win32.txt
  audit/check-imports --update EXE      rewrite the list's names from EXE, keeping the
                                        version of every name already listed
  --list FILE                           use another list (both modes)

The check fails (exit 1) when
  - the PE header is not i386, GUI subsystem, subsystem version 4.0;
  - a DLL outside the system's own set is imported;
  - the exe's import table and the list differ (the diff is printed);
  - a listed function has no version, or one newer than Windows 98 SE: such a
    function must be loaded with GetProcAddress, with a fallback.
Exit 2: the exe or objdump could not be read.
"""
import os
import re
import subprocess
import sys

from cdtools import link_map
from cdtools.pe_image import PeError, objdump_command

from audit.exe_argument import read_exe

DEFAULT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "imports-win32.txt")
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                "msvcrt.dll", "comctl32.dll"}
# Versions that Windows 98 SE already has; every other version is newer for our purpose
# (the NT line before 2000 is not a target, so "NT 4.0" alone means "not on 98").
ON_WINDOWS_98_SE = {"95", "98", "98 SE"}
KNOWN_VERSIONS = ON_WINDOWS_98_SE | {"ME", "NT 3.1", "NT 3.5", "NT 4.0", "2000", "XP",
                                     "Server 2003", "Vista", "7", "8", "8.1", "10", "11"}
UNKNOWN_VERSION = "?"
NAME_COLUMN = 36

HEADER = """\
# Functions that the win32 kavrio.exe imports, per DLL, each with the oldest Windows
# release that has it, from the Requirements of Microsoft's reference pages (today's
# pages start at Windows 2000; the version is then the one that the Platform SDK
# pages of the Windows 98 era gave). The launcher runs from Windows 98 on, so the
# column names the first release of the 95/98/Me line that has the function:
#   95, 98, 98 SE        on that line (msvcrt.dll: 98, whose Visual C++ 6 runtime has it)
#   ME, 2000, XP, Vista, 7, 8, 8.1, 10, 11    newer than 98 SE
#   NT 3.1, NT 3.5, NT 4.0                    NT line only (95/98/Me: a failing stub)
# Anything not on 98 SE must not be imported: load it with GetProcAddress, with a
# fallback. A "#" after the version starts a note. Checked by audit/check-imports EXE;
# after a change of the imports run audit/check-imports --update EXE and write the
# version of each new name (it is "?" until then, and the check fails).
"""


def parse_objdump_imports(text):
    """[(dll, function)] from the import tables of `objdump -p`, in table order."""
    imports = []
    dll = None
    for line in text.splitlines():
        match = re.match(r"^\s*DLL Name: (\S+)", line)
        if match:
            dll = match.group(1)
            continue
        if dll is None:
            continue
        if not line.strip():
            dll = None
            continue
        fields = line.split()
        if fields[:1] == ["vma:"]:
            continue
        # "<hint-rva> <hint> <name>", or "<thunk> <ordinal> <none>" for an import by number
        if len(fields) >= 3 and re.fullmatch(r"[0-9a-fA-F]+", fields[0]) and fields[1].isdigit():
            name = "#" + fields[1] if fields[2] == "<none>" else fields[2]
            imports.append((dll, name))
    return imports


def read_exe_imports(exe, machine):
    result = subprocess.run([objdump_command(machine), "-p", exe], capture_output=True, text=True)
    if result.returncode != 0:
        raise OSError("objdump -p %s failed: %s" % (exe, result.stderr.strip()))
    return parse_objdump_imports(result.stdout)


def read_list(path):
    """{(dll, function): version column} from the kept list; the column is the
    version, optionally followed by a "#" comment."""
    entries = {}
    dll = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if not line[0].isspace():
                dll = line.strip()
                continue
            if dll is None:
                raise ValueError("%s:%d: function before any DLL line" % (path, number))
            parts = line.strip().split(None, 1)
            entries[(dll, parts[0])] = parts[1].strip() if len(parts) > 1 else ""
    return entries


def version_of(column):
    return column.split("#", 1)[0].strip()


def format_list(imports, versions):
    """The list file's text: DLLs and functions sorted, case-insensitively for DLLs."""
    by_dll = {}
    for dll, name in imports:
        by_dll.setdefault(dll, set()).add(name)
    out = [HEADER]
    for dll in sorted(by_dll, key=str.lower):
        out.append(dll)
        for name in sorted(by_dll[dll]):
            version = versions.get((dll.lower(), name), UNKNOWN_VERSION)
            out.append("  %-*s %s" % (NAME_COLUMN - 3, name, version))
        out.append("")
    return "\n".join(out)


def map_callers(map_path):
    """{function: object that first referenced its import}, from the link map's list of
    archive members and the reference that pulled each one in."""
    try:
        with open(map_path, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError:
        return {}
    callers = {}
    for origin, symbol in link_map.archive_members(text).values():
        imported = re.match(r"(?:_imp__|__imp_)([A-Za-z_]\w*?)(?:@\d+)?$", symbol)
        if imported:
            callers.setdefault(imported.group(1), os.path.basename(origin))
    return callers


def header_problems(image):
    problems = []
    if image.machine_name != "i386":
        problems.append("machine is %s, not i386" % image.machine_name)
    if image.subsystem != 2:
        problems.append("subsystem is %s, not Windows GUI" % image.subsystem_name)
    if image.subsystem_version != "4.0":
        problems.append("subsystem version is %s, not 4.0" % image.subsystem_version)
    return problems


def import_problems(imports, listed, callers=None):
    callers = callers or {}

    def called_from(name):
        return " (first called from %s)" % callers[name] if name in callers else ""

    problems = []
    for dll in sorted({d for d, _ in imports}, key=str.lower):
        if dll.lower() not in ALLOWED_DLLS:
            problems.append("imports from %s, which is not one of %s" % (
                dll, ", ".join(sorted(ALLOWED_DLLS))))
    actual = {(d.lower(), n): (d, n) for d, n in imports}
    expected = {(d.lower(), n): (d, n) for d, n in listed}
    added = sorted(set(actual) - set(expected))
    removed = sorted(set(expected) - set(actual))
    if added or removed:
        diff = ["import table differs from the list:"]
        diff += ["  + %-14s %s   (imported, not listed)%s" % (actual[k] + (called_from(k[1]),))
             for k in added]
        diff += ["  - %-14s %s   (listed, not imported)" % expected[k] for k in removed]
        diff.append("  make each change on purpose, then: audit/check-imports --update EXE")
        problems.append("\n".join(diff))
    for key in sorted(set(actual) & set(expected)):
        dll, name = expected[key]
        version = version_of(listed[(dll, name)])
        if version == UNKNOWN_VERSION or not version:
            problems.append("%s %s has no version in the list" % (dll, name))
        elif version not in KNOWN_VERSIONS:
            problems.append("%s %s has version %r, not one of: %s" % (
                dll, name, version, ", ".join(sorted(KNOWN_VERSIONS))))
        elif version not in ON_WINDOWS_98_SE:
            problems.append("%s %s is not on Windows 98 SE (oldest: %s)%s: load it with "
                            "GetProcAddress and keep a fallback" % (dll, name, version,
                                                                    called_from(name)))
    return problems


def main(argv):
    args = list(argv)
    update = "--update" in args
    if update:
        args.remove("--update")
    list_path = DEFAULT_LIST
    if "--list" in args:
        at = args.index("--list")
        if at + 1 >= len(args):
            print(__doc__, file=sys.stderr)
            return 2
        list_path = args[at + 1]
        del args[at:at + 2]
    found = read_exe(args, "check-imports", __doc__)
    if found is None:
        return 2
    exe, image = found
    try:
        imports = read_exe_imports(exe, image.machine_name)
    except (OSError, PeError) as error:
        print("check-imports: %s" % error, file=sys.stderr)
        return 2

    if update:
        old = read_list(list_path) if os.path.exists(list_path) else {}
        versions = {(d.lower(), n): column for (d, n), column in old.items()
                    if version_of(column) not in ("", UNKNOWN_VERSION)}
        with open(list_path, "w", encoding="utf-8") as f:
            f.write(format_list(imports, versions))
        now = {(d.lower(), n): (d, n) for d, n in imports}
        before = {(d.lower(), n): (d, n) for d, n in old}
        for key in sorted(set(now) - set(versions)):
            print("added %s %s: write its version in %s" % (now[key] + (list_path,)))
        for key in sorted(set(before) - set(now)):
            print("removed %s %s" % before[key])

    try:
        listed = read_list(list_path)
    except (OSError, ValueError) as error:
        print("check-imports: %s" % error, file=sys.stderr)
        return 2
    callers = map_callers(os.path.splitext(exe)[0] + ".map")
    problems = header_problems(image) + import_problems(imports, listed, callers)
    for problem in problems:
        print("FAIL: " + problem)
    if problems:
        return 1
    print("imports of %s match %s: %d functions from %d DLLs; i386, GUI, subsystem 4.0" % (
        exe, os.path.relpath(list_path), len(imports), len({d.lower() for d, _ in imports})))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
