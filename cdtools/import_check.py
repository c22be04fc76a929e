"""Whether each Windows release will load a program, judged from its imports.

For each release of installer_check.RELEASES, every DLL that the program imports is looked
for in Windows' own order: the DLLs that the release has (its known and system DLLs, its API
sets) first, so a kernel32.dll on the CD never counts; then the program's own folder on the
CD; else it is nowhere, and the release will not start the program. A DLL found on the CD
must export each function imported from it, and its own imports are checked the same way,
transitively. A function of a system DLL is checked where the table of Windows facts has
data. Delay-loaded DLLs and functions fail only when called: what a release lacks there is a
warning. What the table does not cover is not known: counted, never a failure or a pass.

"Will start" means that Windows loads the program, not that the installation succeeds.
"""
import collections
import os

from cdtools import pe_imports, windows_facts
from cdtools.installer_check import RELEASES

Where = collections.namedtuple("Where", "kind detail")  # kind: one of the constants below
SYSTEM, UPDATE, ON_CD, NOWHERE, NOT_KNOWN = "system", "update", "cd", "nowhere", "not known"
MOST_CD_DLLS = 64  # a chain of the CD's own DLLs longer than this is not followed


class ReleaseResult:
    """What one release makes of a program: failures (it will not start), warnings, and the
    imports without data."""

    def __init__(self, release):
        self.release = release
        self.failures, self.warnings, self.unknown, self.unknown_dlls = [], [], 0, set()

    @property
    def windows(self):
        return "Windows " + self.release.name

    @property
    def state(self):
        if self.failures:
            return "will not start"
        return "not known" if self.unknown else "will start"

    def add(self, delayed, text):
        if delayed:  # "needs X, which ..." becomes "delay-loads X, which ..."
            self.warnings.append("delay-loads %s; only a call into it fails" % text[6:])
        elif text not in self.failures:
            self.failures.append(text)

    def reasons(self):
        """The failures as full sentences: "will not start on Windows XP: needs ..."."""
        return ["will not start on %s: %s" % (self.windows, f) for f in self.failures]


class Report:
    """A program's imports (modules: [(module, [Import])]) and each release's result."""

    def __init__(self, shown, modules, results, wheres):
        self.shown, self.modules, self.results, self.wheres = shown, modules, results, wheres

    def unknown_counts(self):
        """{release name: imports without data}, where there are any."""
        return {name: r.unknown for name, r in self.results.items() if r.unknown}


class Checker:
    """Checks one program with the table of facts and the folder beside it on the CD."""

    def __init__(self, program, shown, folder, facts):
        self.program, self.shown, self.folder, self.facts = program, shown, folder, facts
        self.tables = {}  # file path: PeTables
        self.beside = listing(folder)

    def read(self, path):
        if path not in self.tables:
            self.tables[path] = pe_imports.PeTables.read(path)
        return self.tables[path]

    def run(self):
        main = self.read(self.program)
        modules, wheres, results = [], {}, {}
        for release in RELEASES:
            result = ReleaseResult(release)
            self.walk(main, None, False, result, wheres, modules, set())
            results[release.name] = result
        return Report(self.shown, modules, results, wheres)

    def walk(self, tables, through, delayed, result, wheres, modules, seen):
        """Checks the imports of one module (the program, or a DLL of the CD that `through`
        names) for result's release."""
        if through is None and not any(m == self.shown for m, _ in modules):
            modules.append((self.shown, tables.imports))
        for dll, functions in grouped(tables.imports).items():
            late = delayed or all(i.delayed for i in functions)
            where = self.locate(dll, result.release)
            if where.kind == ON_CD and not self.readable(where.detail, late, result):
                continue
            wheres.setdefault((through or self.shown, dll), {})[result.release.name] = where
            suffix = ", through %s on the CD" % through if through else ""
            self.judge(dll, functions, where, late, suffix, result)
            if where.kind == ON_CD and dll.lower() not in seen and len(seen) < MOST_CD_DLLS:
                seen.add(dll.lower())
                inner = self.read(os.path.join(self.folder, where.detail))
                if not any(m == where.detail for m, _ in modules):
                    modules.append((where.detail, inner.imports))
                self.walk(inner, where.detail, late, result, wheres, modules, seen)

    def readable(self, name, delayed, result):
        """Whether the DLL of the CD can be read; a failure (or warning) where it cannot."""
        try:
            self.read(os.path.join(self.folder, name))
            return True
        except pe_imports.PeImportError as error:
            result.add(delayed, "needs %s, and the %s on the CD cannot be read (%s)" % (
                name, name, error))
            return False

    def locate(self, dll, release):
        state, row = self.facts.dll_on(dll, release)
        if state is True:
            return Where(SYSTEM, "")
        on_cd = self.beside.get(dll.lower()) if pe_imports.is_plain_name(dll) else None
        if on_cd:
            return Where(ON_CD, on_cd)
        if state == windows_facts.UPDATE:
            return Where(UPDATE, row.update.name)
        return Where(NOWHERE if state is False else NOT_KNOWN, "")

    def judge(self, dll, functions, where, delayed, suffix, result):
        if where.kind == NOWHERE:
            result.add(delayed, "needs %s, which %s does not have and the CD does not hold "
                                "beside %s%s" % (dll, result.windows, cd_path(self.shown),
                                                 suffix))
        elif where.kind == UPDATE:
            result.warnings.append("needs %s, which %s has only with the update %s%s" % (
                dll, result.windows, where.detail, suffix))
            result.unknown += len(functions)
        elif where.kind == NOT_KNOWN:
            result.unknown += len(functions)
            result.unknown_dlls.add(dll)
        elif where.kind == ON_CD:
            exports = self.read(os.path.join(self.folder, where.detail)).exports
            for imported in functions:
                if not exported(imported.function, exports):
                    result.add(delayed or imported.delayed, "needs %s!%s, which %s on the CD "
                               "does not export%s" % (dll, imported.function, where.detail,
                                                      suffix))
        else:
            self.judge_functions(dll, functions, delayed, suffix, result)

    def judge_functions(self, dll, functions, delayed, suffix, result):
        for imported in functions:
            state, when, evidence = self.facts.function_on(dll, imported.function,
                                                           result.release)
            if state is None:
                result.unknown += 1
            elif state is False:
                result.add(delayed or imported.delayed, "needs %s!%s (%s)%s" % (
                    dll.lower(), imported.function, since(when, evidence), suffix))


def since(when, evidence):
    if when == windows_facts.NEVER:
        return "no Windows has it"
    if evidence == "headers":
        return "missing before Windows %s" % when
    return "from Windows %s on" % when


def grouped(imports):
    """{dll: [Import]}, in the order of the table, DLL names compared without case."""
    groups, names = collections.OrderedDict(), {}
    for imported in imports:
        key = names.setdefault(imported.dll.lower(), imported.dll)
        groups.setdefault(key, []).append(imported)
    return groups


def exported(function, exports):
    if function.startswith("#"):
        return int(function[1:]) in exports.ordinals
    return function in exports.names


def listing(folder):
    """{name without case: name} of the files in folder (Windows finds a DLL in any case)."""
    if not folder or not os.path.isdir(folder):
        return {}
    return {n.lower(): n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n))}


def cd_path(shown):
    return "D:\\" + shown.replace("/", "\\")


def check(program, shown, folder, facts=None):
    """The Report on the program at path `program`, shown as `shown` (its path on the CD),
    with `folder` the folder beside it on the CD (None: nothing beside it)."""
    return Checker(program, shown, folder, facts or cached_facts()).run()


_FACTS = []


def cached_facts():
    if not _FACTS:
        _FACTS.append(windows_facts.load())
    return _FACTS[0]
