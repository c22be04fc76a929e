"""The preflight's Wine: a private prefix and X display (tests/win/wine-env, as the Windows tier
and the demo use it), with the CD's tree as the CD-ROM drive D:, kept as a snapshot that every
run starts from.

The set-up runs only Wine's own programs and the runner, on the host. Each run, which runs the
CD's programs, runs in a sandbox of its own (sandbox.py) that holds the prefix's restore, its
Wine server and the runner; with --no-sandbox the same steps run on the host. Every step has a
time limit, and ends with its whole process group."""
import os
import shutil
import time

from cdtools.paths import ROOT, WINE_ENV
from cdtools.preflight import processes, sandbox

RUN_TIMEOUT = 180  # seconds: a run that takes longer has hung
RESTORE_TIMEOUT = 120  # the prefix's restore and its server's start, in the same sandbox
# Booting a new prefix under qemu-i386, and copying it as the snapshot, take minutes.
STEP_TIMEOUTS = {"start": 900, "map-cd": 300, "snapshot": 600, "reset": 600, "stop": 60,
                 "run": 120}
# ctime comes from the kernel's coarse clock, which may lag time.time() by a tick.
CLOCK_MARGIN = 2


class Failed(Exception):
    pass


def host_environment():
    """The environment of the set-up's steps: the caller's, without a display of the caller's
    own for wine-env, and with a UTF-8 locale, so that Wine reads any folder's name."""
    env = {k: v for k, v in os.environ.items() if k not in ("WINE_ENV_DISPLAY", "DISPLAY")}
    env["LC_ALL"] = "C.UTF-8"
    return env


def binds(state, runner, tree, folder, wine_env=WINE_ENV):
    """What one run's sandbox may write (the prefix, the run's folder) and read (the clean
    snapshot, the CD's tree, wine-env, and the runner's folder: the runner starts a probe that
    lies beside it)."""
    return ([os.path.join(state, "prefix"), folder],
            [os.path.join(state, "prefix.clean"), tree, os.path.dirname(runner), wine_env])


class Env:
    def __init__(self, state, runner, tree, sandboxed=True):
        self.state, self.runner, self.tree = state, runner, tree
        self.sandboxed = sandboxed
        self.prefix = os.path.join(state, "prefix")
        self.clean = os.path.join(state, "prefix.clean")
        # Written before a run first touches the prefix after a snapshot; until the next
        # snapshot, every file changed since then is suspect (wine-env reset).
        self.since_file = os.path.join(state, "prefix.since")
        # Written before a run without the sandbox: its programs could write the snapshot and
        # the machine too, so the next preflight boots a new prefix.
        self.unsandboxed_file = os.path.join(state, "prefix.unsandboxed")
        self.version = ""

    def _wine_env(self, *args):
        try:
            return processes.run([WINE_ENV, args[0], self.state] + list(args[1:]),
                                 STEP_TIMEOUTS[args[0]], env=host_environment())
        except processes.TimedOut as error:
            raise Failed("wine-env %s did not end within %d s" % (args[0], error.seconds))

    def _must(self, *args):
        result = self._wine_env(*args)
        if result.returncode:
            raise Failed("wine-env %s failed:\n%s" % (args[0], (result.stdout + result.stderr)[-2000:]))
        return result

    def __enter__(self):
        try:
            if os.path.exists(self.unsandboxed_file):
                for folder in (self.prefix, self.clean):
                    shutil.rmtree(folder, ignore_errors=True)
                os.remove(self.unsandboxed_file)
            if os.path.isfile(self.since_file) and os.path.isdir(self.prefix):
                # Earlier runs' programs wrote this prefix: none of it runs on the host again.
                self._must("reset", str(self._since()))
            self._must("start")
            self._must("map-cd", self.tree)
            # The runner is a 32-bit program, as the launcher: without arguments it ends with
            # exit code 2 at once, where Wine runs 32-bit programs at all.
            if self._wine_env("run", self.runner).returncode != 2:
                raise Failed("this Wine does not run 32-bit programs (see scripts/setup)")
            self.version = processes.run(["wine", "--version"], 60,
                                         env=host_environment()).stdout.strip()
            self._must("snapshot")
            if os.path.exists(self.since_file):  # the prefix is the snapshot now
                os.remove(self.since_file)
            with open(os.path.join(self.state, "display")) as f:
                self.display = f.read().strip()
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, *exc):
        self._stop()

    def _stop(self):
        with processes.signals_held():
            try:
                self._wine_env("stop")
            except Failed:
                pass

    def _since(self):
        """The time before the first run after the last snapshot (written now if none)."""
        if not os.path.isfile(self.since_file):
            with open(self.since_file, "w") as f:
                f.write("%d\n" % (time.time() - CLOCK_MARGIN))
        with open(self.since_file) as f:
            return int(f.read().strip() or 0)

    def _run_command(self, cell, folder):
        """The run's command line, its environment."""
        command = [WINE_ENV, "fresh-run", self.state, str(self._since()), self.runner,
                   "--windows", cell.windows, "--dpi", str(cell.dpi),
                   "--browser", "none" if cell.browser is None else cell.browser,
                   "--colours", cell.colours, "--road", cell.road]
        env = sandbox.environment(self.display, folder)
        if not self.sandboxed:
            with open(self.unsandboxed_file, "w"):
                pass
            return command, env
        writable, readable = binds(self.state, self.runner, self.tree, folder)
        bwrap = sandbox.command(writable, readable, env=env, home=os.path.expanduser("~"))
        return bwrap + command, env

    def run_cell(self, cell, folder):
        """None when the run ended and wrote its folder, else why it reported nothing."""
        command, env = self._run_command(cell, folder)
        limit = RUN_TIMEOUT + RESTORE_TIMEOUT
        try:
            result = processes.run(command, limit, env=env)
        except processes.TimedOut:
            return "the run did not end within %d s" % limit
        finally:
            if not self.sandboxed:  # no process namespace ends the run's Wine server
                self._end_server(env)
        if result.returncode:
            output = " ".join((result.stdout + result.stderr).split())[-300:]
            return "the run reported nothing (exit code %d%s)" % (
                result.returncode, ": " + self.without_paths(output, folder) if output else "")
        return None

    def _end_server(self, env):
        try:
            processes.run(["wineserver", "-k"], 60, env=dict(env, WINEPREFIX=self.prefix))
        except processes.TimedOut:
            pass

    def without_paths(self, text, folder):
        """text without this machine's folders, which the page does not name."""
        for path, shown in ((folder, "<the run's folder>"), (self.state, "<wine state>"),
                            (ROOT, "<checkout>"),
                            (os.path.expanduser("~"), "~")):
            if len(path) > 1:
                text = text.replace(path, shown)
        return text
