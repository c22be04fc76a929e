"""What the preflight found, as report.json holds it: each run's facts and verdict, with what the
installers' headers say about the Windows of that run merged in."""
import os

from cdtools import installer_check
from cdtools.preflight import matrix

RELEASES = {r.name: r for r in installer_check.RELEASES}


def installer_verdicts(tree):
    """{installer path: Verdict, or None when the image does not hold it}."""
    verdicts = {}
    for installer in matrix.INSTALLER_OF.values():
        path = os.path.join(tree, *installer.split("/"))
        verdicts[installer] = installer_check.read(path) if os.path.isfile(path) else None
    return verdicts


def installers_table(verdicts):
    rows = []
    for installer, verdict in verdicts.items():
        shown = installer.replace("/", "\\")
        rows.append({
            "path": shown,
            "present": verdict is not None,
            "kind": verdict.kind if verdict else None,
            "oldest_windows": verdict.oldest if verdict else None,
            "fault": verdict.fault if verdict else None,
            "warning": verdict.warning(shown) if verdict else None,
        })
    return rows


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
