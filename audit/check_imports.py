"""Import audit of the shipped 32-bit launcher.

  audit/check-imports EXE               check EXE against the launcher's rows of
                                        cdtools/windows_facts.txt
  audit/check-imports --update EXE      mark the table's rows from EXE's imports, keeping the
                                        release and source of every row already there
  --list FILE                           use another table (both modes)

The check fails (exit 1) when
  - the PE header is not i386, GUI subsystem, subsystem version 4.0;
  - a DLL outside the system's own set is imported;
  - the exe's imports (import and delay-import tables) and the table's launcher rows differ
    (the diff is printed);
  - a launcher row has no release or no source, or a release newer than Windows 98 SE: such
    a function must be loaded with GetProcAddress, with a fallback.
Exit 2: the exe or the table could not be read (a row whose release is none of the table's
words is refused there).
"""
import os
import re
import sys

from cdtools import cli, link_map, pe_imports, windows_facts
from cdtools.pe_image import PeError

from audit.exe_argument import read_exe

DEFAULT_LIST = windows_facts.TABLE
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                "msvcrt.dll", "comctl32.dll"}
# Releases that Windows 98 SE already has; every other one is newer for our purpose (the NT
# line before 2000 is not a target, so "NT 4.0" alone means "not on 98").
ON_WINDOWS_98_SE = set(windows_facts.NINE_X_LINE)
UNKNOWN_VERSION = windows_facts.NOT_KNOWN
NAME_COLUMN = 36
FUNCTIONS, MISSING_BEFORE = "[functions]", "[missing before]"


def read_exe_imports(exe):
    """[(dll, function)] of both import tables, in table order."""
    return [(i.dll, i.function) for i in pe_imports.read_imports(exe)]


def format_row(row):
    line = "  %-*s %-6s %-6s%s" % (NAME_COLUMN - 3, row.name, row.when, row.source or "-",
                                   " launcher" if row.launcher else "")
    return line.rstrip() + ("  # " + row.note if row.note else "")


def format_functions(rows):
    """The [functions] section: DLLs and functions sorted, case-insensitively for DLLs."""
    by_dll = {}
    for row in rows:
        by_dll.setdefault(row.dll.lower(), []).append(row)
    out = [FUNCTIONS]
    for key in sorted(by_dll):
        out += ["", by_dll[key][0].dll] + [format_row(r) for r in
                                           sorted(by_dll[key], key=lambda r: r.name)]
    return "\n".join(out) + "\n"


def updated_rows(facts, imports):
    """The table's function rows with the launcher marks of imports: rows kept, new names
    added with no release and no source."""
    imported = {(d.lower(), n): (d, n) for d, n in imports}
    rows = {}
    for key, row in facts.functions.items():
        rows[key] = row._replace(launcher=key in imported)
    for key, (dll, name) in imported.items():
        if key not in rows:
            rows[key] = windows_facts.Row(dll, name, UNKNOWN_VERSION, "", True, "")
    return list(rows.values())


def rewrite_functions(path, rows):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    head, _, rest = text.partition("\n" + FUNCTIONS + "\n")
    _, marker, tail = rest.partition("\n" + MISSING_BEFORE + "\n")
    with open(path, "w", encoding="utf-8") as f:
        f.write(head + "\n" + format_functions(rows) + (
            "\n" + MISSING_BEFORE + "\n" + tail if marker else ""))


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


def import_problems(imports, listed, callers=None, sources=None):
    """listed: {(dll, function): Row}; sources: the table's source keys (None: not checked)."""
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
        row = listed[expected[key]]
        problems += row_problems(row, sources, called_from(row.name))
    return problems


def row_problems(row, sources, called_from):
    version = row.when
    if sources is not None and row.source not in sources:
        return ["%s %s has no source in the list" % (row.dll, row.name)]
    if version == UNKNOWN_VERSION or not version:
        return ["%s %s has no version in the list" % (row.dll, row.name)]
    if version not in ON_WINDOWS_98_SE:
        return ["%s %s is not on Windows 98 SE (oldest: %s)%s: load it with GetProcAddress "
                "and keep a fallback" % (row.dll, row.name, version, called_from)]
    return []


def parse_arguments(argv):
    """(update, table path, the remaining arguments), or None when --list lacks its FILE."""
    args = list(argv)
    update = "--update" in args
    if update:
        args.remove("--update")
    list_path = DEFAULT_LIST
    if "--list" in args:
        at = args.index("--list")
        if at + 1 >= len(args):
            return None
        list_path = args[at + 1]
        del args[at:at + 2]
    return update, list_path, args


def update_table(list_path, imports):
    facts = windows_facts.load(list_path)
    before = {(r.dll.lower(), r.name): (r.dll, r.name) for r in facts.launcher_rows()}
    rows = updated_rows(facts, imports)
    rewrite_functions(list_path, rows)
    now = {(d.lower(), n): (d, n) for d, n in imports}
    for key in sorted(set(now) - set(facts.functions)):
        print("added %s %s: write its release and source in %s" % (now[key] + (list_path,)))
    for key in sorted(set(before) - set(now)):
        print("removed %s %s" % before[key])


def main(argv):
    arguments = parse_arguments(argv)
    found = arguments and read_exe(arguments[2], "check-imports", __doc__)
    if not found:
        if arguments is None:
            print(__doc__, file=sys.stderr)
        return cli.REFUSED
    update, list_path, _ = arguments
    exe, image = found
    try:
        imports = read_exe_imports(exe)
        if update:
            update_table(list_path, imports)
        facts = windows_facts.load(list_path)
    except (OSError, PeError, ValueError) as error:
        print("check-imports: %s" % error, file=sys.stderr)
        return cli.REFUSED
    listed = {(r.dll, r.name): r for r in facts.launcher_rows()}
    callers = map_callers(os.path.splitext(exe)[0] + ".map")
    problems = header_problems(image) + import_problems(imports, listed, callers,
                                                        set(facts.sources))
    for problem in problems:
        print("FAIL: " + problem)
    if problems:
        return cli.FAILED
    print("imports of %s match %s: %d functions from %d DLLs; i386, GUI, subsystem 4.0" % (
        exe, os.path.relpath(list_path), len(imports), len({d.lower() for d, _ in imports})))
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
