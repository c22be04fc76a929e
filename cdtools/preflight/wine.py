"""The preflight's Wine: a private prefix and X display (tests/win/wine-env, as the Windows tier
and the demo use it), with the CD's tree as the CD-ROM drive D:, kept as a snapshot that every
run starts from."""
import json
import os
import subprocess

from cdtools.make_cd import ROOT

WINE_ENV = os.path.join(ROOT, "tests", "win", "wine-env")
RUN_TIMEOUT = 180  # seconds: a run that takes longer has hung


class Failed(Exception):
    pass


class Env:
    def __init__(self, state, runner, tree):
        self.state, self.runner, self.tree = state, runner, tree
        self.version = ""

    def _wine_env(self, *args, timeout=600, env=None):
        result = subprocess.run([WINE_ENV, args[0], self.state] + list(args[1:]),
                                capture_output=True, text=True, timeout=timeout, env=env)
        return result

    def _must(self, *args):
        result = self._wine_env(*args)
        if result.returncode:
            raise Failed("wine-env %s failed:\n%s" % (args[0], (result.stdout + result.stderr)[-2000:]))
        return result

    def __enter__(self):
        self._must("start")
        try:
            self._must("map-cd", self.tree)
            # The runner is a 32-bit program, as the launcher: without arguments it ends with
            # exit code 2 at once, where Wine runs 32-bit programs at all.
            if self._wine_env("run", self.runner, timeout=120).returncode != 2:
                raise Failed("this Wine does not run 32-bit programs (see scripts/setup)")
            self.version = subprocess.run(["wine", "--version"], capture_output=True,
                                          text=True).stdout.strip()
            self._must("snapshot")
        except BaseException:
            self._wine_env("stop")
            raise
        return self

    def __exit__(self, *exc):
        self._wine_env("stop")

    def restore(self):
        self._must("restore")

    def run_cell(self, cell, folder):
        """(the runner's result.json for the cell, None) or (None, why it reported nothing)."""
        env = dict(os.environ, KAVRIO_SCREENSHOTS=folder)
        args = ["run", self.runner, "--windows", cell.windows, "--dpi", str(cell.dpi),
                "--browser", "none" if cell.browser is None else cell.browser,
                "--colours", cell.colours, "--road", cell.road]
        try:
            result = self._wine_env(*args, timeout=RUN_TIMEOUT, env=env)
        except subprocess.TimeoutExpired:
            return None, "the run did not end within %d s" % RUN_TIMEOUT
        path = os.path.join(folder, "result.json")
        if result.returncode or not os.path.isfile(path):
            output = " ".join((result.stdout + result.stderr).split())[-300:]
            return None, "the run reported nothing (exit code %d%s)" % (
                result.returncode, ": " + output if output else "")
        with open(path, encoding="utf-8") as f:
            return json.load(f), None

