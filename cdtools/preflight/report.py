"""What the preflight found, as report.json holds it: each run's facts and verdict, with what the
headers and imports of the installers and of the image's own launcher say about the Windows of
that run merged in."""
import os

from cdtools import import_check, installer_check, pe_imports
from cdtools.layout import LAUNCHER
from cdtools.preflight import matrix

RELEASES = {r.name: r for r in installer_check.RELEASES}
# Each release as report.json names it: the runs' Wine modes, and Wine's names for the
# releases that have no run (win11: Wine 8 has no such mode).
MODES = dict({w.release: w.mode for w in matrix.WINDOWS},
             **{"XP x64": "winxp64", "8": "win8", "11": "win11"})
CHECKED = (LAUNCHER,) + tuple(matrix.INSTALLER_OF.values())  # the launcher may not be ours


def installer_verdicts(tree):
    """{path on the CD: Verdict with its imports read, or None when the image does not hold
    it}, for the launcher and each installer."""
    verdicts = {}
    for installer in CHECKED:
        path = os.path.join(tree, *installer.split("/"))
        verdicts[installer] = installer_check.read(path) if os.path.isfile(path) else None
        verdict = verdicts[installer]
        if verdict is not None and verdict.is_pe:
            try:
                verdict.imports = import_check.check(path, installer, os.path.dirname(path))
            except pe_imports.PeImportError as error:
                verdict.fault = "a program whose imports cannot be read (%s)" % error
    return verdicts


def installers_table(verdicts):
    rows = []
    for installer, verdict in verdicts.items():
        shown = installer.replace("/", "\\")
        windows = [windows_entry(installer, verdict, r) for r in installer_check.RELEASES]
        rows.append({
            "path": shown,
            "present": verdict is not None,
            "kind": verdict.kind if verdict else None,
            "oldest_windows": verdict.oldest if verdict else None,
            "fault": verdict.fault if verdict else None,
            "warning": verdict.warning(shown) if verdict else None,
            "why_not_older": verdict.limit or None if verdict else None,
            "imports": imports_entry(verdict.imports) if verdict and verdict.imports else [],
            "will_not_start": {w["mode"]: w["reasons"] for w in windows if w["reasons"]},
            "windows": windows,
        })
    return rows


def imports_entry(report):
    """Each DLL that each module imports, its functions, whether it is delay-loaded, and
    where each release finds it."""
    entries = []
    for module, imports in report.modules:
        for dll, functions in import_check.grouped(imports).items():
            found = report.wheres.get((module, dll), {})
            entries.append({
                "module": module.replace("/", "\\"), "dll": dll,
                "functions": [i.function for i in functions],
                "delayed": all(i.delayed for i in functions),
                "found": {MODES[r]: where_text(w) for r, w in found.items()}})
    return entries


def where_text(where):
    return {import_check.SYSTEM: "in Windows", import_check.ON_CD: "on the CD: " + where.detail,
            import_check.UPDATE: "in Windows with the update " + where.detail,
            import_check.NOWHERE: "nowhere"}.get(where.kind, "not known")


def windows_entry(installer, verdict, release):
    """What one release does with the program: state (will start, will not start, not
    known), reasons, warnings and the imports without data."""
    shown = installer.replace("/", "\\")
    reasons = release_reasons(shown, verdict, release)
    result = verdict.imports.results[release.name] if verdict and verdict.imports else None
    unknown = result.unknown if result and not reasons else 0
    state = "will not start" if reasons else "not known" if unknown else "will start"
    return {"release": release.name, "mode": MODES[release.name], "state": state,
            "reasons": reasons, "warnings": list(result.warnings) if result else [],
            "unknown": unknown, "unknown_dlls": sorted(result.unknown_dlls) if result else []}


def release_reasons(shown, verdict, release):
    """Why release will not start the program: its presence, its header, then its imports."""
    if verdict is None:
        return ["the image holds no %s" % shown]
    if verdict.fault:
        return ["%s is %s" % (shown, verdict.fault)]
    if verdict.processor:
        return ["%s is a program for %s processors" % (shown, verdict.processor)]
    missed = [bits for bits in release.editions if (release, bits) not in verdict.starts_on]
    if missed:
        edition = " (%d-bit)" % missed[0] if len(missed) < len(release.editions) else ""
        return ["%s %s: Windows %s%s will not start it" % (shown, verdict.why, release.name,
                                                           edition)]
    if not verdict.imports:
        return []
    return ["%s %s" % (shown, r) for r in verdict.imports.results[release.name].reasons()]


def import_problems(cell, verdicts):
    """Where this cell's Windows will not load the image's launcher (its header or imports),
    or the road's installer for its imports: Wine loads every DLL and function in every
    mode, so its start alone proves nothing there."""
    release = RELEASES[matrix.BY_MODE[cell.windows].release]
    problems = []
    if LAUNCHER in verdicts:
        problems += release_reasons(LAUNCHER, verdicts[LAUNCHER], release)
    installer = matrix.INSTALLER_OF.get(cell.road)
    verdict = verdicts.get(installer) if installer else None
    if verdict is not None and verdict.imports and \
            any((release, bits) in verdict.starts_on for bits in release.editions):
        problems += ["%s %s" % (installer.replace("/", "\\"), r)
                     for r in verdict.imports.results[release.name].reasons()]
    return problems


def header_problems(cell, verdicts):
    """Where the installer's header says that this cell's Windows will not start it: Wine's
    loader takes what a real Windows refuses, so Wine's start alone proves nothing there."""
    installer = matrix.INSTALLER_OF.get(cell.road)
    if installer is None:
        return []
    verdict = verdicts[installer]
    shown = installer.replace("/", "\\")
    if verdict is None:
        return ["the image holds no %s" % shown]
    windows = matrix.BY_MODE[cell.windows]
    release = RELEASES[windows.release]
    if verdict.fault:
        why = "%s is %s" % (shown, verdict.fault)
    elif verdict.processor:
        why = "%s is a program for %s processors" % (shown, verdict.processor)
    else:
        missed = [bits for bits in release.editions if (release, bits) not in verdict.starts_on]
        if not missed:
            return []
        why = "%s %s" % (shown, verdict.why)
        if len(missed) < len(release.editions):
            return ["%s (%d-bit): the launcher will start nothing: %s" % (
                windows.name, missed[0], why)]
    return ["%s: the launcher will start nothing: %s" % (windows.name, why)]


def run_entry(cell, folder_name, result, verdicts, screenshots, cd_changes, failure=None):
    """One run of report.json, from the runner's result.json (None: the run reported nothing,
    for the reason `failure`)."""
    problems = list(result["problems"]) if result else [failure]
    problems += header_problems(cell, verdicts)
    problems += import_problems(cell, verdicts)
    problems += ["the run changed the CD: %s" % change for change in cd_changes]
    return {
        "windows": cell.windows,
        "windows_name": matrix.BY_MODE[cell.windows].name,
        "dpi": cell.dpi,
        "browser": cell.browser,
        "colours": cell.colours,
        "road": cell.road,
        "passed": not problems,
        "problems": problems,
        "started": _started(result),
        "screenshots": screenshots,
        "first_window_ms": result["first_window_ms"] if result else None,
        "windows_seen": result["windows"] if result else [],
        "launcher_ended": result["launcher_ended"] if result else None,
        "other_dialogs": result["other_dialogs"] if result else [],
        "folder": folder_name,
    }


def _started(result):
    started = result and result["started"]
    if not started:
        return None
    return {"program": started["program"], "command_line": started["command_line"],
            "working_folder": started["working_folder"], "first_window": started["window_title"],
            "ended_by_itself": started["ended"], "exit_code": started["exit_code"]}


def verdict_lines(runs):
    """The failed runs, each as one line with its problems."""
    lines = []
    for index, run in enumerate(runs, 1):
        if not run["passed"]:
            lines.append("%d. %s: %s" % (index, describe(run), "; ".join(run["problems"])))
    return lines


def describe(run):
    cell = matrix.Cell(run["windows"], run["dpi"], run["browser"], run["colours"], run["road"])
    return matrix.label(cell)
