"""Tries a CD image on every Windows that Wine can report, before it is pressed.

  scripts/preflight [--cd FILE] [--out DIR] [--quick] [--no-sandbox]

The image's own kavrio.exe runs from the image's Joliet tree on a CD-ROM drive D: of a
private Wine prefix, once for each cell of a matrix of Windows versions, DPIs, browser states,
colours and roads (cdtools/preflight/matrix.py; --quick: a subset of six runs). Every run
starts from the same prefix and the same tree, in a sandbox of its own (sandbox.py). Each
run's windows, texts, what started and its first window land in DIR (default
build/preflight): index.html, report.json, runs/.

FILE defaults to build/cd/kavrio.iso, as scripts/make-cd writes it.
Exit 0: every run passed. 1: a run failed (each is listed), or a tool did. 2: refused, nothing
written. 130, 143, 129: stopped by Ctrl-C, SIGTERM or SIGHUP; DIR is left as it was.
"""
import argparse
import datetime
import json
import os
import platform
import signal
import sys
import time
import traceback

from cdtools import cli
from cdtools.cli import say
from cdtools.paths import CD_IMAGE, PREFLIGHT_OUT, PREFLIGHT_RUNNER, PREFLIGHT_STATE, ROOT, SETUP
from cdtools.preflight import (image, matrix, output, page, processes, report, run_files,
                               sandbox, wine)

SETUP_TIMEOUT = 3600  # scripts/setup may install packages
BUILD_TIMEOUT = 1800
NO_SANDBOX = ("The installers ran without a sandbox (--no-sandbox): they could read and change "
              "this machine's files and reach the network.")


class Failed(Exception):
    """A tool failed; the preflight could not run."""


def parse(argv):
    parser = argparse.ArgumentParser(prog="scripts/preflight", description=__doc__.split("\n")[0])
    parser.add_argument("--cd", default=CD_IMAGE,
                        metavar="FILE", help="the CD image (default: build/cd/kavrio.iso)")
    parser.add_argument("--out", default=PREFLIGHT_OUT, metavar="DIR",
                        help="where the page and the report go (default: build/preflight)")
    parser.add_argument("--quick", action="store_true",
                        help="six runs: Windows 98, XP and 10, 96 and 144 dpi, every road once")
    parser.add_argument("--no-sandbox", action="store_true",
                        help="run the CD's programs without a sandbox, where the machine cannot "
                             "make its namespaces: they can then reach this machine's files "
                             "and the network")
    return parser.parse_args(argv)


def check_image(path, default):
    try:
        image.check(path)
    except image.Refused as refusal:
        if path == default and not os.path.exists(path):
            raise image.Refused("%s (scripts/make-cd writes it)" % refusal)
        raise


def check_out(out):
    if os.path.lexists(out) and not os.path.isdir(out):
        raise image.Refused("--out %s is not a folder" % out)


def step(command, timeout, what):
    """Runs a set-up command in its own process group, with a time limit; Failed if it fails."""
    try:
        result = processes.run(command, timeout, env=wine.host_environment(), cwd=ROOT)
    except processes.TimedOut:
        raise Failed("%s did not end within %d s" % (what, timeout))
    if result.returncode:
        raise Failed("%s failed:\n%s" % (what, (result.stdout + result.stderr)[-3000:]))


def prepare(sandboxed):
    """The packages, the sandbox and the runner; sandbox.Unavailable where the machine
    cannot make the sandbox."""
    step([SETUP], SETUP_TIMEOUT, "scripts/setup")
    if sandboxed:
        sandbox.probe()
    say("Building the preflight's runner (cmake --preset win32)...")
    step(["cmake", "--preset", "win32"], BUILD_TIMEOUT, "cmake --preset win32")
    step(["cmake", "--build", "--preset", "win32", "--target", "preflight_run"], BUILD_TIMEOUT,
         "cmake --build --preset win32 --target preflight_run")


def machine():
    model = ""
    try:
        with open("/proc/cpuinfo") as f:
            model = next((l.split(":", 1)[1].strip() for l in f if l.startswith("model name")), "")
    except OSError:
        pass
    # As bench/run tells: scripts/setup's handler of i386 programs, where it is on.
    try:
        with open("/proc/sys/fs/binfmt_misc/kavrio-i386") as f:
            emulated = f.readline().strip() == "enabled"
    except OSError:
        emulated = False
    return {"description": "%s, %s, %d cores" % (platform.machine(), model or "unknown CPU",
                                                  os.cpu_count() or 0),
            "i386": "under qemu-i386" if emulated else "natively"}


def try_cell(env, verdicts, cell, index, staging, tree):
    """One run; its entry of report.json, and whether it changed the CD's tree."""
    name = "%02d-%s-%ddpi-%s" % (index, cell.windows, cell.dpi, cell.road)
    written = os.path.join(staging, "run-output")  # the one folder that the run may write
    os.mkdir(written)
    before = image.fingerprint(tree)
    failure = env.run_cell(cell, written)
    cd_changes = image.changes(before, image.fingerprint(tree))
    result, pngs, problems = run_files.take(written, os.path.join(staging, "runs", name))
    run_files.remove(written)
    if result is None:  # a run that wrote no result fails for what made it so
        failure, problems = failure or problems[0], []
    elif failure:
        result = None
    shots = [os.path.relpath(p, staging) for p in pngs]
    try:
        run = report.run_entry(cell, name, result, verdicts, shots, cd_changes, failure)
    except (KeyError, TypeError, AttributeError, IndexError):
        run = report.run_entry(cell, name, None, verdicts, shots, cd_changes,
                               "the run's result.json is not as the runner writes it")
    run["problems"] += problems
    run["passed"] = not run["problems"]
    return run, bool(cd_changes)


def try_image(path, cells, staging, args):
    """Runs every cell on the image and writes report.json and index.html into staging;
    the report."""
    started = time.monotonic()
    facts = image.facts(path)
    tree = os.path.join(PREFLIGHT_STATE, "cd-image")
    image.read_out(path, tree)
    runs, verdicts = [], report.installer_verdicts(tree)
    with wine.Env(PREFLIGHT_STATE, PREFLIGHT_RUNNER, tree, sandboxed=not args.no_sandbox) as env:
        say("Trying %s (%d runs) on %s%s" % (facts["name"], len(cells), env.version,
                                              ", without a sandbox" if args.no_sandbox else ""))
        for index, cell in enumerate(cells, 1):
            began = time.monotonic()
            run, changed = try_cell(env, verdicts, cell, index, staging, tree)
            if changed:  # the next run gets the CD as it is pressed
                image.read_out(path, tree)
            runs.append(run)
            say("%3d/%d  %s: %s (%.1f s)" % (index, len(cells), matrix.label(cell),
                                             "passed" if run["passed"] else "FAILED",
                                             time.monotonic() - began))
    whole = {"sandboxed": not args.no_sandbox}
    if args.no_sandbox:
        whole["warning"] = NO_SANDBOX
    whole.update({
        "image": facts,
        "ran_at": datetime.datetime.now().astimezone().isoformat(timespec="seconds"),
        "wine": env.version, "machine": machine(), "matrix": "quick" if args.quick else "full",
        "seconds": round(time.monotonic() - started, 1),
        "passed": all(r["passed"] for r in runs),
        "installers": report.installers_table(verdicts), "runs": runs,
    })
    with open(os.path.join(staging, "report.json"), "w", encoding="utf-8") as f:
        json.dump(whole, f, indent=1, ensure_ascii=False)
    with open(os.path.join(staging, "index.html"), "w", encoding="utf-8") as f:
        f.write(page.render(whole))
    return whole


def stopped_line(stop, out, earlier, swapped):
    if swapped:
        return "preflight: stopped by %s once the output was whole: %s holds this run's output" % (
            stop, out)
    kept = "%s was left as it was" % out if earlier else "nothing was written"
    return "preflight: stopped by %s; every process of the run was ended and %s" % (stop, kept)


def internal_error(error):
    """One line for an error that the preflight did not expect; its traceback goes to a file."""
    log = os.path.join(PREFLIGHT_STATE, "last-error.txt")
    try:
        os.makedirs(PREFLIGHT_STATE, exist_ok=True)
        with open(log, "w", encoding="utf-8") as f:
            traceback.print_exception(error, file=f)
    except OSError:
        log = "not written"
    return "preflight: internal error: %s: %s (traceback: %s)" % (type(error).__name__, error, log)


def run_all(args, cells, out, progress):
    """Everything after the refusals; the report (exceptions as main handles them)."""
    prepare(sandboxed=not args.no_sandbox)
    staging = output.begin(out)
    whole = try_image(args.cd, cells, staging, args)
    with processes.signals_held():  # a signal now is raised once the swap is known
        output.replace(out)
        progress["swapped"] = True
    return whole


def main(argv):
    args = parse(argv)
    cells = matrix.quick() if args.quick else matrix.full()
    out = os.path.realpath(args.out)  # the sandbox binds it by its real path
    try:
        check_out(out)
        check_image(args.cd, CD_IMAGE)
    except image.Refused as refusal:
        print("preflight: refused, nothing was written: %s" % refusal, file=sys.stderr)
        return cli.REFUSED
    args.cd = os.path.abspath(args.cd)
    earlier, progress = os.path.isdir(out), {"swapped": False}
    handlers = {s: signal.getsignal(s) for s in processes.SIGNALS}
    processes.stop_on_signals()
    try:
        whole = run_all(args, cells, out, progress)
    except sandbox.Unavailable as why:
        print("preflight: refused, nothing was written: %s; --no-sandbox runs the installers "
              "without it" % why, file=sys.stderr)
        return cli.REFUSED
    except processes.Stopped as stop:
        output.discard(out)
        print(stopped_line(stop, out, earlier, progress["swapped"]), file=sys.stderr)
        return stop.exit_code
    except (Failed, wine.Failed, OSError) as error:
        output.discard(out)
        print("preflight: %s" % error, file=sys.stderr)
        return cli.FAILED
    except Exception as error:  # noqa: BLE001 - one line, not a traceback, for any fault
        output.discard(out)
        print(internal_error(error), file=sys.stderr)
        return cli.FAILED
    finally:
        for each, handler in handlers.items():
            signal.signal(each, handler)
    say("Page: %s" % os.path.join(out, "index.html"))
    failed = report.verdict_lines(whole["runs"])
    if failed:
        say("%d of %d runs failed:" % (len(failed), len(whole["runs"])))
        for line in failed:
            say("  " + line)
        return cli.FAILED
    say("All %d runs passed (%.0f s)." % (len(whole["runs"]), whole["seconds"]))
    return cli.OK
