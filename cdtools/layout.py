"""The CD root's layout, and the check of an installers folder before it goes on the CD.

Beside the launcher and autorun.inf, which come from the build, the CD root holds the
installers folder as it is. check_installers lists every fault of such a folder at once: an
installer path that is missing, a folder, or named in another letter case; a kavrio.exe or
autorun.inf of its own; names that Windows or Joliet cannot hold (case twins, names over 64
characters or with * : ; ? \\ < > " |, paths over 120 characters, links to nothing or that
loop); and, from each installer's header (installer_check), installers that no Windows
starts. An installer that starts on only part of Windows 98 to 11 is a warning, or with
strict a fault: by its header, or by its imports (import_check), release by release. What
a release lacks among the delay-loaded imports, or has only with an update, is a note: a
warning that strict does not refuse.
"""
import os

from cdtools import import_check, installer_check, pe_imports

# The CD root's own files, which come from this build, not from the installers folder.
LAUNCHER = "kavrio.exe"
AUTORUN = "autorun.inf"
# The installers that the launcher starts, relative to the CD root.
INSTALLERS = (
    "Setup.exe",
    "Agente Plimox/Instalador Assistente Kavrio.exe",
    "Internet Explorer 5.5/ie5setup.exe",
)
JOLIET_NAME_LIMIT = 64  # UCS-2 characters
JOLIET_PATH_LIMIT = 120  # UCS-2 characters, "/" included: 240 bytes; xorriso leaves longer out
# Joliet cannot hold * / : ; ? \ and control characters; Windows cannot open < > " |.
FORBIDDEN = set('*/:;?\\<>"|') | {chr(c) for c in range(32)}


def name_faults(folder_rel, name):
    shown = os.path.join(folder_rel, name) if folder_rel else name
    try:
        name.encode("utf-8")
    except UnicodeEncodeError:
        return ["%s: the name is not valid UTF-8" % os.fsencode(shown)]
    faults = []
    bad = sorted(set(name) & FORBIDDEN)
    if bad:
        faults.append("%s: the name holds %s, which Windows or Joliet cannot hold" % (
            shown, " ".join(repr(c) for c in bad)))
    if ucs2_length(name) > JOLIET_NAME_LIMIT:
        faults.append("%s: the name is longer than Joliet's %d characters" % (
            shown, JOLIET_NAME_LIMIT))
    if name.endswith((" ", ".")):
        faults.append("%s: Windows drops a name's closing space or dot" % shown)
    return faults


def ucs2_length(text):
    return len(text.encode("utf-16-be", "surrogatepass")) // 2


def loops_back(folder, top):
    """Whether folder, reached through links, is one of the folders that lead to it."""
    real = os.path.realpath(folder)
    while len(folder) > len(top):
        folder = os.path.dirname(folder)
        if os.path.realpath(folder) == real:
            return True
    return False


def walk_faults(directory):
    """Faults of the whole tree: entries that cannot go on a CD, names Windows would merge."""
    faults = []
    for folder, subfolders, files in os.walk(directory, followlinks=True):
        rel = os.path.relpath(folder, directory)
        rel = "" if rel == "." else rel
        if loops_back(folder, directory):  # following it would never end
            faults.append("%s: a link to a folder that holds it" % rel)
            subfolders[:] = []
            continue
        names = subfolders + files
        by_case = {}
        for name in sorted(names):
            by_case.setdefault(name.casefold(), []).append(name)
            faults += name_faults(rel, name)
            path = os.path.join(folder, name)
            shown = os.path.join(rel, name)
            if ucs2_length(shown) > JOLIET_PATH_LIMIT >= ucs2_length(rel):  # the first too deep
                faults.append("%s: the path is longer than Joliet's %d characters" % (
                    shown, JOLIET_PATH_LIMIT))
            if not os.path.exists(path):
                faults.append("%s: a link to nothing" % shown)
            elif not (os.path.isfile(path) or os.path.isdir(path)):
                faults.append("%s: not a file or a folder" % shown)
            elif not os.access(path, os.R_OK | (os.X_OK if os.path.isdir(path) else 0)):
                faults.append("%s: cannot be read" % shown)
        for same in by_case.values():
            if len(same) > 1:
                faults.append("%s: names differ only in letter case, and Windows shows one of "
                              "them" % ", ".join(os.path.join(rel, n) for n in same))
    return faults


def installer_faults(directory):
    """(faults, present, lost): each expected installer path that is missing, misnamed or of
    the wrong kind; the installers found where the launcher looks; those it would not find."""
    faults, present, lost = [], [], []
    for expected in INSTALLERS:
        parts = expected.split("/")
        folder = directory
        for depth, part in enumerate(parts):
            last = depth == len(parts) - 1
            so_far = "/".join(parts[:depth + 1])
            names = os.listdir(folder) if os.path.isdir(folder) else []
            if part not in names:
                variants = [n for n in names if n.casefold() == part.casefold()]
                if variants:
                    found = "/".join(parts[:depth] + [variants[0]])
                    faults.append("letter case: found '%s', expected '%s'" % (found, so_far))
                else:
                    faults.append("missing: %s" % expected)
                    lost.append(expected)
                break
            path = os.path.join(folder, part)
            if last and not os.path.isfile(path):
                kind = "a folder" if os.path.isdir(path) else "not a regular file"
                faults.append("%s is %s, expected the installer program" % (expected, kind))
                lost.append(expected)
            elif last:
                present.append(expected)
            elif not os.path.isdir(path):
                faults.append("%s is a file, expected a folder (for %s)" % (so_far, expected))
                lost.append(expected)
                break
            folder = path
    return faults, present, lost


class Findings:
    """What the check of the installers found: faults (lines of a refusal), warnings, each
    installer's Verdict, and whether the launcher would start nothing in an installer's place."""

    def __init__(self, faults=(), starts_nothing=False):
        self.faults, self.starts_nothing = list(faults), starts_nothing
        self.warnings, self.notes, self.verdicts = [], [], {}

    def warn(self, warning, strict):
        if strict:
            self.faults.append(warning + " (--strict)")
        else:
            self.warnings.append(warning)


def judge_installers(findings, sources, strict, beside=True):
    """Reads each installer's header and imports ({installer: file}) into findings. beside:
    the files beside each source are the ones beside the installer on the CD."""
    for installer, source in sources.items():
        try:
            verdict = installer_check.read(source)
        except OSError:  # the walk lists it as unreadable
            continue
        findings.verdicts[installer] = verdict
        warning = verdict.warning(installer)
        if verdict.fault:
            findings.faults.append("%s is %s" % (installer, verdict.fault))
            findings.starts_nothing = True
            continue
        if warning:
            findings.warn(warning, strict)
        if verdict.is_pe:
            judge_imports(findings, installer, source, verdict, strict, beside)
    return findings


def judge_imports(findings, installer, source, verdict, strict, beside):
    """One warning for each release that the header allows and the imports refuse; a fault
    where they refuse every release that the header allows, as for a header that no Windows
    takes."""
    folder = os.path.dirname(source) if beside else None
    try:
        verdict.imports = import_check.check(source, installer, folder)
    except pe_imports.PeImportError as error:
        findings.faults.append("%s has imports that cannot be read: %s" % (installer, error))
        return
    if not verdict.starts_header_and_imports():
        newest = [r for r, _ in installer_check.PLATFORMS if (r, _) in verdict.starts_on][-1]
        findings.faults.append("%s will start on no Windows 98 to 11 (on %s it %s)" % (
            installer, "Windows " + newest.name, "; ".join(verdict.import_failures(newest))))
        findings.starts_nothing = True
        return
    notes = {}  # a note with "that Windows" for the release: the releases it is true of
    for release in installer_check.RELEASES:
        if not any((release, bits) in verdict.starts_on for bits in release.editions):
            continue  # the header's warning names it already
        result = verdict.imports.results[release.name]
        if result.failures:
            findings.warn("%s will not start on %s: %s" % (
                installer, result.windows, "; ".join(result.failures)), strict)
        for note in result.warnings:
            notes.setdefault(note.replace(result.windows, "that Windows"), []).append(release)
    findings.notes += ["%s on %s: %s" % (installer, releases_named(releases), note)
                       for note, releases in notes.items()]


def releases_named(releases):
    if len(releases) == len(installer_check.RELEASES):
        return "every Windows 98 to 11"
    return "Windows " + installer_check.join([r.name for r in releases])


def check_installers(directory, strict=False):
    """The Findings on DIR; no faults when it is fit for the CD."""
    if not os.path.isdir(directory):
        return Findings(["%s is not a folder" % directory])
    directory = os.path.normpath(directory)
    faults, present, lost = installer_faults(directory)
    findings = judge_installers(Findings(faults, bool(lost)),
                                {i: os.path.join(directory, i) for i in present}, strict)
    for name in sorted(os.listdir(directory)):
        if name.casefold() in (LAUNCHER, AUTORUN):
            findings.faults.append("%s: the installers folder has its own; the CD's %s and %s "
                                   "come from this build, so remove it" % (name, LAUNCHER, AUTORUN))
    findings.faults += walk_faults(directory)
    return findings
