"""The one table of Windows facts (cdtools/windows_facts.txt): which DLLs and functions each
release has, each row with its source.

Every answer is True (the release has it), False (it does not), UPDATE (only with the update
that the row names) or None (not known). Not known is never a failure and never a pass.
"""
import collections
import fnmatch
import os
import re

from cdtools.installer_check import RELEASES

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "windows_facts.txt")
UPDATE = "update"
NOT_KNOWN = "?"
NEVER = "never"
NOT_BEFORE = "not before "
NINE_X_LINE = ("95", "98", "98 SE")
# The NT line, oldest first; Server 2003 is XP x64's kernel (5.2).
NT_LINE = ("NT 3.1", "NT 3.5", "NT 4.0", "2000", "XP", "XP x64", "Vista", "7", "8", "8.1",
           "10", "11")
ALIASES = {"Server 2003": "XP x64"}
WHENS = NINE_X_LINE + ("ME",) + NT_LINE + tuple(ALIASES) + (NEVER, NOT_KNOWN)
FIRST_AFTER_NINE_X = NT_LINE.index("XP")  # the 95/98/ME line ended before XP

Row = collections.namedtuple("Row", "dll name when source launcher note")
DllRow = collections.namedtuple("DllRow", "pattern when source update note")
Update = collections.namedtuple("Update", "name releases")
MissingBefore = collections.namedtuple("MissingBefore", "dll name release")


class TableError(ValueError):
    pass


def split_when(text, number, words=WHENS):
    """(WHEN, the rest) of a row's columns after its name."""
    for when in sorted(words, key=len, reverse=True):
        if text == when or text.startswith(when + " "):
            return when, text[len(when):].strip()
    if text.startswith(NOT_BEFORE):
        when, rest = split_when(text[len(NOT_BEFORE):], number, NT_LINE)
        return NOT_BEFORE + when, rest
    raise TableError("line %d: %r does not begin with a release (one of %s)" % (
        number, text, ", ".join(WHENS)))


def split_note(text):
    body, _, note = text.partition("#")
    return body.split(), note.strip()


def present(when, release):
    """Whether a row's WHEN puts the thing on release (an installer_check.Release)."""
    if when == NOT_KNOWN:
        return None
    if when == NEVER:
        return False
    if when.startswith(NOT_BEFORE):
        return False if present(when[len(NOT_BEFORE):], release) is False else None
    when = ALIASES.get(when, when)
    nine_x = release.family == "9x"
    if when in NINE_X_LINE:
        return True
    if when == "ME":
        return release.name == "ME" if nine_x else None
    first = NT_LINE.index(when)
    if nine_x:
        return False if first >= FIRST_AFTER_NINE_X else None
    return NT_LINE.index(release.name) >= first


class Facts:
    """The parsed table."""

    def __init__(self):
        self.sources, self.dlls, self.functions, self.missing_before = {}, [], {}, {}

    def dll_row(self, dll):
        """The first row whose name or prefix matches dll (without case), or None."""
        name = dll.lower()
        return next((r for r in self.dlls if fnmatch.fnmatchcase(name, r.pattern)), None)

    def dll_on(self, dll, release):
        """(True, False, UPDATE or None, the row) for a DLL on release."""
        row = self.dll_row(dll)
        if row is None:
            return None, None
        if row.update and release.name in row.update.releases:
            return UPDATE, row
        return present(row.when, release), row

    def function_on(self, dll, function, release):
        """(True, False or None, the release it names, "row" or "headers"): a row of
        [functions] first; else the headers' evidence, which can only say that it is missing."""
        key = (dll.lower(), function)
        row = self.functions.get(key)
        if row is not None:
            return present(row.when, release), row.when, "row"
        missing = self.missing_before.get(key)
        if missing is None:
            return None, None, None
        if release.family == "NT" and \
                NT_LINE.index(release.name) < NT_LINE.index(missing.release):
            return False, missing.release, "headers"
        return None, missing.release, "headers"

    def launcher_rows(self):
        return [r for r in self.functions.values() if r.launcher]


def load(path=TABLE):
    with open(path, encoding="utf-8") as f:
        return parse(f.read())


def parse(text):
    facts, section, dll = Facts(), None, None
    for number, raw in enumerate(text.splitlines(), 1):
        line = raw.rstrip()
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        heading = re.fullmatch(r"\[(.+)\]", line)
        if heading:
            section, dll = heading.group(1), None
            continue
        if section == "sources":
            key, _, meaning = line.partition(" ")
            facts.sources[key] = meaning.strip()
        elif section == "dlls":
            facts.dlls.append(parse_dll_row(line, number))
        elif section in ("functions", "missing before") and not line[0].isspace():
            dll = line.strip()
        elif section in ("functions", "missing before") and dll:
            add_function_row(facts, section, dll, line.strip(), number)
        else:
            raise TableError("line %d: %r is in no section" % (number, line))
    return facts


def parse_dll_row(line, number):
    name, _, rest = line.partition(" ")
    when, rest = split_when(rest.strip(), number)
    words, note = split_note(rest)
    if not words:
        raise TableError("line %d: %s has no source" % (number, name))
    update = None
    if words[1:2] == ["update"]:
        kb, releases = words[2].rstrip(":"), tuple(words[3:])
        update = Update(kb, releases)
    return DllRow(name.lower(), when, words[0], update, note)


def add_function_row(facts, section, dll, text, number):
    name, _, rest = text.partition(" ")
    when, rest = split_when(rest.strip(), number)
    words, note = split_note(rest)
    if section == "missing before":
        facts.missing_before[(dll.lower(), name)] = MissingBefore(dll, name, when)
        return
    source = words[0] if words and words[0] != "launcher" else ""
    facts.functions[(dll.lower(), name)] = Row(dll, name, when, source, "launcher" in words,
                                               note)


def unsourced_rows(facts):
    """Lines naming each row whose source is missing or not among [sources]."""
    bad = ["%s: source %r" % (r.pattern, r.source) for r in facts.dlls
           if r.source not in facts.sources]
    bad += ["%s %s: source %r" % (r.dll, r.name, r.source) for r in facts.functions.values()
            if r.source not in facts.sources]
    if facts.missing_before and "headers" not in facts.sources:
        bad.append("[missing before]: source 'headers'")
    return bad


def contradictions(facts):
    """Lines naming each row of [functions] that puts a function on an NT release before the
    one from which the headers declare it."""
    found = []
    for key, missing in facts.missing_before.items():
        row = facts.functions.get(key)
        if row is None:
            continue
        for release in RELEASES:
            if release.family == "NT" and present(row.when, release) and \
                    NT_LINE.index(release.name) < NT_LINE.index(missing.release):
                found.append("%s %s: the table gives %s, the headers %s" % (
                    row.dll, row.name, row.when, missing.release))
                break
    return found
