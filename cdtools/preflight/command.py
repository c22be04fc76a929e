"""Tries a CD image on every Windows that Wine can report, before it is pressed.

  scripts/preflight [--cd FILE] [--out DIR] [--quick]

The image's own kavrio.exe runs from the image's Joliet tree on a CD-ROM drive D: of a
private Wine prefix, once for each cell of a matrix of Windows versions, DPIs, browser states,
colours and roads (cdtools/preflight/matrix.py; --quick: a subset of six runs). Every run
starts from the same prefix and the same tree. Each run's windows, texts, what started and its
first window land in DIR (default build/preflight): index.html, report.json, runs/.

FILE defaults to build/cd/kavrio.iso, as scripts/make-cd writes it.
Exit 0: every run passed. 1: a run failed (each is listed), or a tool did. 2: refused, nothing
written.
"""
import argparse
import datetime
import json
import os
import platform
import shutil
import subprocess
import sys
import time

from cdtools.make_cd import IMAGE, ROOT
from cdtools.preflight import image, matrix, page, report, wine

RUNNER = os.path.join(ROOT, "build", "win32", "bin", "preflight_run.exe")
STATE = os.path.join(ROOT, "build", "preflight-wine")
THUMBNAIL = "200x200"


class Failed(Exception):
    """A tool failed; the preflight could not run."""


def say(text=""):
    print(text, flush=True)


def parse(argv):
    parser = argparse.ArgumentParser(prog="scripts/preflight", description=__doc__.split("\n")[0])
    parser.add_argument("--cd", default=IMAGE,
                        metavar="FILE", help="the CD image (default: build/cd/kavrio.iso)")
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "preflight"), metavar="DIR",
                        help="where the page and the report go (default: build/preflight)")
    parser.add_argument("--quick", action="store_true",
                        help="six runs: Windows 98, XP and 10, 96 and 144 dpi, every road once")
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


def build_runner():
    say("Building the preflight's runner (cmake --preset win32)...")
    for command in (["cmake", "--preset", "win32"],
                    ["cmake", "--build", "--preset", "win32", "--target", "preflight_run"]):
        result = subprocess.run(command, cwd=ROOT, capture_output=True, text=True)
        if result.returncode:
            raise Failed("%s failed:\n%s" % (" ".join(command), (result.stdout + result.stderr)[-3000:]))


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


def to_png(bmp):
    """The screenshot as PNG, with a thumbnail beside it; the PNG's name."""
    png = bmp[:-len(".bmp")] + ".png"
    subprocess.run(["convert", bmp, "-write", png, "-thumbnail", THUMBNAIL,
                    png[:-len(".png")] + ".thumb.png"], check=True)
    os.remove(bmp)
    return png


def screenshots_of(result, folder):
    names = [w["screenshot"] for w in result["windows"]] if result else []
    if result and result["started"] and result["started"]["screenshot"]:
        names.append(result["started"]["screenshot"])
    return [to_png(os.path.join(folder, n)) for n in names if os.path.isfile(os.path.join(folder, n))]


def try_cell(env, verdicts, cell, index, staging, tree):
    name = "%02d-%s-%ddpi-%s" % (index, cell.windows, cell.dpi, cell.road)
    folder = os.path.join(staging, "runs", name)
    os.mkdir(folder)
    env.restore()
    before = image.fingerprint(tree)
    result, failure = env.run_cell(cell, folder)
    cd_changes = image.changes(before, image.fingerprint(tree))
    shots = [os.path.relpath(p, staging) for p in screenshots_of(result, folder)]
    run = report.run_entry(cell, name, result, verdicts, shots, cd_changes, failure)
    return run, bool(cd_changes)


def try_image(path, cells, staging, quick):
    """Runs every cell on the image and writes report.json and index.html into staging;
    the report."""
    started = time.monotonic()
    facts = image.facts(path)
    tree = os.path.join(STATE, "cd-image")
    image.read_out(path, tree)
    runs, verdicts = [], report.installer_verdicts(tree)
    with wine.Env(STATE, RUNNER, tree) as env:
        say("Trying %s (%d runs) on %s" % (facts["name"], len(cells), env.version))
        for index, cell in enumerate(cells, 1):
            began = time.monotonic()
            run, changed = try_cell(env, verdicts, cell, index, staging, tree)
            if changed:  # the next run gets the CD as it is pressed
                image.read_out(path, tree)
            runs.append(run)
            say("%3d/%d  %s: %s (%.1f s)" % (index, len(cells), matrix.label(cell),
                                             "passed" if run["passed"] else "FAILED",
                                             time.monotonic() - began))
    whole = {
        "image": facts,
        "ran_at": datetime.datetime.now().astimezone().isoformat(timespec="seconds"),
        "wine": env.version, "machine": machine(), "matrix": "quick" if quick else "full",
        "seconds": round(time.monotonic() - started, 1),
        "passed": all(r["passed"] for r in runs),
        "installers": report.installers_table(verdicts), "runs": runs,
    }
    with open(os.path.join(staging, "report.json"), "w", encoding="utf-8") as f:
        json.dump(whole, f, indent=1, ensure_ascii=False)
    with open(os.path.join(staging, "index.html"), "w", encoding="utf-8") as f:
        f.write(page.render(whole))
    return whole


def main(argv):
    args = parse(argv)
    cells = matrix.quick() if args.quick else matrix.full()
    out = os.path.abspath(args.out)
    try:
        check_out(out)
        check_image(args.cd, IMAGE)
    except image.Refused as refusal:
        print("preflight: refused, nothing was written: %s" % refusal, file=sys.stderr)
        return 2
    # Written beside DIR, which it replaces only once whole.
    staging = out + ".partial"
    try:
        if subprocess.run([os.path.join(ROOT, "scripts", "setup")],
                          stdout=subprocess.DEVNULL).returncode:
            raise Failed("scripts/setup failed")
        build_runner()
        shutil.rmtree(staging, ignore_errors=True)
        os.makedirs(os.path.join(staging, "runs"))
        whole = try_image(args.cd, cells, staging, args.quick)
        shutil.rmtree(out, ignore_errors=True)
        os.rename(staging, out)
    except (Failed, wine.Failed, subprocess.CalledProcessError, OSError) as error:
        shutil.rmtree(staging, ignore_errors=True)
        print("preflight: %s" % error, file=sys.stderr)
        return 1
    say("Page: %s" % os.path.join(out, "index.html"))
    failed = report.verdict_lines(whole["runs"])
    if failed:
        say("%d of %d runs failed:" % (len(failed), len(whole["runs"])))
        for line in failed:
            say("  " + line)
        return 1
    say("All %d runs passed (%.0f s)." % (len(whole["runs"]), whole["seconds"]))
    return 0
