"""Lays out, checks, optionally signs, and images the installation CD.

  scripts/make-cd [--installers DIR] [--strict] [--out FILE] [--sign CERT KEY [--timestamp URL]]

The CD root holds the launcher built here (build/win32/bin/kavrio.exe), cd/autorun.inf, and
everything in DIR as it is: Setup.exe, Agente Plimox/Instalador Assistente Kavrio.exe,
Internet Explorer 5.5/ie5setup.exe and their data files. Without --installers the demo CD's
stand-ins take the installers' places.

DIR is checked before anything is written; a fault (a missing installer, a folder where a
file belongs, a name that differs from the expected one only in letter case, a kavrio.exe or
autorun.inf of DIR's own, and names that Windows or Joliet cannot hold) refuses the run with
exit code 2 and every fault listed. So does an installer that no Windows can start, read from
its header (empty, text, a DLL, no PE, NE or LE header, cut short, ...). One that starts on
only part of Windows 98 to 11 (64-bit, 16-bit, a newer subsystem version, another processor)
gets a warning line that names the Windows on which the launcher will start nothing; with
--strict it refuses the run too. The stand-ins are checked in the same way. The output ends
with each installer's kind and the oldest Windows that starts it.

The image (default build/cd/kavrio.iso) is ISO 9660 with Joliet and Rock Ridge, volume
KAVRIO, with every time set to SOURCE_DATE_EPOCH (default: the time of the checked-out
commit), so the same inputs give the same bytes. The laid-out folder stays beside it, named
after the image without its suffix (build/cd/kavrio/). Both are replaced together, only when
the new image has been read back and matches the layout.

--sign signs the CD's copy of kavrio.exe with Authenticode (SHA-256), with an RFC 3161
timestamp from URL when one is given. The build's own exe is never changed, and removing the
signature gives back its bytes, which is checked on every run.

Exit 0: written. 1: a tool or the build failed. 2: refused, nothing written.
"""
import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time

from cdtools import cli, installer_check, joliet
from cdtools.cli import say
from cdtools.layout import (AUTORUN, INSTALLERS, LAUNCHER, Findings, check_installers,
                            judge_installers)
from cdtools.paths import CD_IMAGE, ROOT, SETUP, WIN32_BIN

VOLUME = "KAVRIO"
REQUIRED_TOOLS = ("cmake", "ninja", "i686-w64-mingw32-g++", "xorriso")


class Refused(Exception):
    """The inputs are unfit; nothing has been written.

    starts_nothing: an installer is missing or no Windows starts it, so the launcher would
    close and start nothing."""

    def __init__(self, faults, starts_nothing=False):
        super().__init__("\n".join(faults))
        self.starts_nothing = starts_nothing


class Failed(Exception):
    """A tool or the build failed."""


# ---- The check ---------------------------------------------------------------------------

def inside(path, folder):
    path, folder = os.path.realpath(path), os.path.realpath(folder)
    return path == folder or path.startswith(folder.rstrip(os.sep) + os.sep)


def check_arguments(args):
    """Refuses the run (Refused, listing every fault) before anything is written; else the
    Findings on the installers (None for the stand-ins, which are checked once built)."""
    faults, findings = [], None
    iso = os.path.abspath(args.out)
    folder = layout_folder(iso)
    if os.path.isdir(iso):
        faults.append("--out %s is a folder; give the image's file name" % args.out)
    for path in (iso, folder):
        if os.path.lexists(path) and os.path.islink(path):
            faults.append("%s is a link; give the real path" % path)
    if args.installers is not None:
        findings = check_installers(args.installers, args.strict)
        if findings.faults:
            faults.append("the installers folder %s is not fit for the CD:" % args.installers)
            faults += ["  " + f for f in findings.faults]
        if inside(iso, args.installers) or inside(folder, args.installers):
            faults.append("the output %s lies inside the installers folder %s" % (
                iso, args.installers))
        if inside(args.installers, folder):
            faults.append("the installers folder %s lies inside %s, which this run replaces" % (
                args.installers, folder))
    if args.sign:
        for path in args.sign:
            if not os.path.isfile(path):
                faults.append("--sign: %s is not a file" % path)
    elif args.timestamp:
        faults.append("--timestamp needs --sign")
    if faults:
        raise Refused(faults, findings is not None and findings.starts_nothing)
    return findings


# ---- Building and laying out --------------------------------------------------------------

def run(command, what, capture=True, **kwargs):
    """Runs a tool; its output is shown only when it fails, unless capture is off."""
    result = subprocess.run(command, capture_output=capture, text=True, **kwargs)
    if result.returncode:
        tail = "\n".join((result.stdout + result.stderr).splitlines()[-30:]) if capture else ""
        raise Failed("%s failed (%s)%s" % (what, " ".join(command), ":\n" + tail if tail else ""))
    return result


def ensure_tools(signing):
    tools = REQUIRED_TOOLS + (("osslsigncode",) if signing else ())
    if all(shutil.which(t) for t in tools):
        return
    say("Installing what is missing (scripts/setup)...")
    if subprocess.run([SETUP]).returncode:
        raise Failed("scripts/setup failed")
    missing = [t for t in tools if not shutil.which(t)]
    if missing:
        raise Failed("still missing after scripts/setup: %s" % " ".join(missing))


def build():
    say("Building kavrio.exe and the stand-in installer (cmake --preset win32)...")
    run(["cmake", "--preset", "win32"], "configuring win32", cwd=ROOT)
    run(["cmake", "--build", "--preset", "win32", "--target", "kavrio", "stub_installer"],
        "building win32", cwd=ROOT)


def source_date_epoch():
    value = os.environ.get("SOURCE_DATE_EPOCH")
    if value is None:
        result = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True)
        value = result.stdout.strip() if result.returncode == 0 else ""
        if not value:
            raise Failed("no commit to date the image by: set SOURCE_DATE_EPOCH")
    if not value.isdigit():
        raise Failed("SOURCE_DATE_EPOCH=%r is not a number of seconds" % value)
    return int(value)


def layout_plan(installers):
    """[(path on the CD, source file)]; folders are made as the paths need them."""
    plan = [(LAUNCHER, os.path.join(WIN32_BIN, LAUNCHER)),
            (AUTORUN, os.path.join(ROOT, "cd", AUTORUN))]
    if installers is None:
        stub = os.path.join(WIN32_BIN, "stub_installer.exe")
        return plan + [(path, stub) for path in INSTALLERS], []
    files, folders = [], []
    for folder, subfolders, names in os.walk(installers, followlinks=True):
        rel = os.path.relpath(folder, installers)
        for name in subfolders:
            folders.append(os.path.normpath(os.path.join(rel, name)))
        for name in names:
            files.append((os.path.normpath(os.path.join(rel, name)), os.path.join(folder, name)))
    return plan + sorted(files), sorted(folders)


def lay_out(plan, folders, target, epoch):
    """Copies the plan into target with fixed permissions and times."""
    os.mkdir(target)
    for rel in folders:
        os.makedirs(os.path.join(target, rel), exist_ok=True)
    for rel, source in plan:
        path = os.path.join(target, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        shutil.copyfile(source, path)
    for folder, subfolders, names in os.walk(target):
        for name in names:
            os.chmod(os.path.join(folder, name), 0o644)
        for name in subfolders:
            os.chmod(os.path.join(folder, name), 0o755)
    pin_times(target, epoch)


def pin_times(target, epoch):
    for folder, subfolders, names in os.walk(target, topdown=False):
        for name in names + subfolders:
            os.utime(os.path.join(folder, name), (epoch, epoch))
    os.utime(target, (epoch, epoch))


def sign(exe, original, cert, key, timestamp, work):
    """Signs exe in place; the signature must come off again to give original's bytes."""
    signed = os.path.join(work, "signed.exe")
    command = ["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256",
               "-n", "Kavrio"]
    if timestamp:
        command += ["-ts", timestamp]
    # Not captured: osslsigncode asks for the key's passphrase on the terminal when it has one.
    run(command + ["-in", exe, "-out", signed], "signing kavrio.exe", capture=False)
    unsigned = os.path.join(work, "unsigned.exe")
    run(["osslsigncode", "remove-signature", "-in", signed, "-out", unsigned],
        "removing the signature again")
    if digest(unsigned) != digest(original):
        raise Failed("the signed kavrio.exe without its signature differs from %s" % original)
    os.replace(signed, exe)
    os.remove(unsigned)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def make_image(layout, iso, epoch):
    stamp = time.strftime("%Y%m%d%H%M%S00", time.gmtime(epoch))
    env = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch), TZ="UTC")
    run(["xorriso", "-as", "mkisofs", "-quiet", "-J", "-r", "-V", VOLUME,
         "--modification-date=" + stamp, "--set_all_file_dates", stamp,
         "-o", iso, layout], "xorriso", env=env)


def read_folder(top):
    """({path: bytes}, {folder}) of everything below top, with "/" paths: what
    JolietImage.files() and folders() give for an image."""
    files, folders = {}, set()
    for folder, subfolders, names in os.walk(top):
        rel = os.path.relpath(folder, top)
        prefix = "" if rel == "." else rel.replace(os.sep, "/") + "/"
        folders.update(prefix + n for n in subfolders)
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                files[prefix + name] = f.read()
    return files, folders


def compare_with_layout(iso, layout):
    """Reads the image's Joliet tree back; raises Failed unless it is the layout exactly."""
    expected_files, expected_folders = read_folder(layout)
    with joliet.JolietImage(iso) as image:
        files, folders = image.files(), image.folders()
    problems = sorted(
        ["not in the image: %s" % p for p in set(expected_files) - set(files)] +
        ["not in the layout: %s" % p for p in set(files) - set(expected_files)] +
        ["folder not in the image: %s" % p for p in expected_folders - folders] +
        ["folder not in the layout: %s" % p for p in folders - expected_folders] +
        ["bytes differ: %s" % p for p in set(files) & set(expected_files)
         if files[p] != expected_files[p]])
    if problems:
        raise Failed("the image does not hold the layout:\n  " + "\n  ".join(problems))


# ---- Putting it in place -----------------------------------------------------------------

def make_parents(folder, made):
    """Makes folder and its missing parents, adding each to made, outermost first."""
    missing = []
    while not os.path.isdir(folder):
        missing.insert(0, folder)
        folder = os.path.dirname(folder)
    for path in missing:
        os.mkdir(path)
        made.append(path)


def layout_folder(iso):
    base, suffix = os.path.splitext(iso)
    return base if suffix else iso + ".d"


def put_in_place(new_layout, new_iso, folder, iso, work):
    """Replaces the folder and the image together; on a failure the old ones stay."""
    old = os.path.join(work, "old")
    had_old = os.path.isdir(folder)
    if had_old:
        os.rename(folder, old)
    try:
        os.rename(new_layout, folder)
    except OSError:
        if had_old:
            os.rename(old, folder)
        raise
    os.replace(new_iso, iso)


def shown(path):
    """path relative to the current folder when it lies inside it, else in full."""
    return os.path.relpath(path) if inside(path, os.getcwd()) else path


def describe(iso, folder, epoch, signed):
    with joliet.JolietImage(iso) as image:
        lines = joliet.listing(image)
        volume = image.volume_id
    say()
    say("%s: %d bytes, ISO 9660 + Joliet, volume %s, dated %s UTC%s" % (
        shown(iso), os.path.getsize(iso), volume,
        time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(epoch)),
        ", kavrio.exe signed" if signed else ""))
    say("sha256 %s" % digest(iso))
    say("What Windows sees on the CD (Joliet):")
    for line in lines:
        say(line)
    say("Laid-out folder: %s%s" % (shown(folder), os.sep))


def installer_table(verdicts):
    """What Windows makes of each installer: the imports without data, then the table of
    each installer's kind and oldest Windows, from its header and imports, with the reason."""
    lines = unknown_lines(verdicts)
    if lines:
        say()
        say("Not known, for want of data on the Windows named (neither a failure nor a pass):")
        for line in lines:
            say("  " + line)
    rows = [("Installer", "Kind", "Oldest Windows that starts it", "Why not older")] + [
        (installer.replace("/", "\\"), verdicts[installer].kind, verdicts[installer].oldest,
         verdicts[installer].limit or "-")
        for installer in INSTALLERS if installer in verdicts]
    widths = [max(len(row[i]) for row in rows) for i in range(3)]
    say()
    for row in rows:
        say("%-*s  %-*s  %-*s  %s" % (widths[0], row[0], widths[1], row[1], widths[2], row[2],
                                      row[3]))


def unknown_lines(verdicts):
    """'Setup.exe: 41 imports without data on Windows 98 and ME; 3 on Windows 2000', one line
    for each installer that has imports without data."""
    lines = []
    for installer in INSTALLERS:
        verdict = verdicts.get(installer)
        counts = verdict.imports.unknown_counts() if verdict and verdict.imports else {}
        if not counts:
            continue
        groups = [(count, [r for r, c in counts.items() if c == count])
                  for count in dict.fromkeys(counts.values())]
        text = "; ".join("%d on Windows %s" % (count, installer_check.join(releases))
                         for count, releases in groups)
        lines.append("%s: %s" % (installer.replace("/", "\\"),
                                 text.replace(" on ", " imports without data on ", 1)))
    return lines


def warn(findings):
    for warning in findings.warnings + findings.notes:
        print("make-cd: warning: %s" % warning, file=sys.stderr)


def parse(argv):
    parser = argparse.ArgumentParser(
        prog="scripts/make-cd", description=__doc__.split("\n\n")[0],
        usage="scripts/make-cd [--installers DIR] [--strict] [--out FILE] "
              "[--sign CERT KEY [--timestamp URL]]")
    parser.add_argument("--installers", metavar="DIR")
    parser.add_argument("--strict", action="store_true",
                        help="refuse an installer that starts on only part of Windows 98 to 11")
    parser.add_argument("--out", metavar="FILE", default=CD_IMAGE)
    parser.add_argument("--sign", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--timestamp", metavar="URL")
    return parser.parse_args(argv)


def refused(refusal):
    print("make-cd: refused, nothing was written:\n%s" % refusal, file=sys.stderr)
    if refusal.starts_nothing:
        print("A CD without installers that Windows can start is a launcher that closes "
              "and starts nothing.", file=sys.stderr)
    return cli.REFUSED


def judge_stand_ins(plan, strict):
    """The Findings on the stand-ins, which are read once built; Failed if they are unfit."""
    findings = judge_installers(Findings(), {i: s for i, s in plan if i in INSTALLERS}, strict,
                                beside=False)
    warn(findings)
    if findings.faults:
        raise Failed("the stand-in installer is not fit for the CD:\n  " +
                     "\n  ".join(findings.faults))
    return findings


def write_cd(args, findings, iso, folder, made):
    """Builds, lays out, signs and images the CD, and puts the image and its folder in place;
    (the image's date, the Findings on its installers). Folders made for the output are added
    to made; the work folder beside the image goes in every case."""
    ensure_tools(bool(args.sign))
    build()
    epoch = source_date_epoch()
    if args.installers is None:
        say("No --installers given: the three installers are the demo CD's stand-ins "
            "(build/win32/bin/stub_installer.exe). This CD is for testing only.")
    plan, folders = layout_plan(args.installers)
    findings = findings or judge_stand_ins(plan, args.strict)
    make_parents(os.path.dirname(iso), made)
    work = tempfile.mkdtemp(prefix=".make-cd-", dir=os.path.dirname(iso))
    try:
        layout = os.path.join(work, "layout")
        lay_out(plan, folders, layout, epoch)
        if args.sign:
            say("Signing the CD's copy of kavrio.exe (Authenticode, SHA-256)...")
            sign(os.path.join(layout, LAUNCHER), os.path.join(WIN32_BIN, LAUNCHER),
                 args.sign[0], args.sign[1], args.timestamp, work)
            pin_times(layout, epoch)
        new_iso = os.path.join(work, "image.iso")
        make_image(layout, new_iso, epoch)
        compare_with_layout(new_iso, layout)
        put_in_place(layout, new_iso, folder, iso, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return epoch, findings


def remove_empty(made):
    """The folders made for the output, innermost first, as long as they are still empty."""
    for path in reversed(made):
        try:
            os.rmdir(path)
        except OSError:
            break


def main(argv):
    args = parse(argv)
    try:
        findings = check_arguments(args)
    except Refused as refusal:
        return refused(refusal)
    if findings is not None:
        warn(findings)
    iso = os.path.abspath(args.out)
    folder = layout_folder(iso)
    made = []
    try:
        epoch, findings = write_cd(args, findings, iso, folder, made)
    except (Failed, OSError, joliet.IsoError) as failure:
        print("make-cd: %s" % failure, file=sys.stderr)
        remove_empty(made)
        return cli.FAILED
    describe(iso, folder, epoch, bool(args.sign))
    installer_table(findings.verdicts)
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
