"""Tests of how the commands find the package: from any working folder, whatever else is on
the path there, and without any module editing sys.path.

  python3 -m unittest discover -s cdtools -t .      (from the repository root)
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from cdtools.paths import ROOT
PACKAGES = ("cdtools", "audit", "bench", "tools")

# Imports every module of the packages and tells, for each, whether importing it changed
# sys.path.
IMPORT_EACH = """
import importlib, json, pkgutil, sys
last, edits = list(sys.path), {}
for package in %r:
    for info in pkgutil.walk_packages(importlib.import_module(package).__path__, package + "."):
        importlib.import_module(info.name)
        edits[info.name], last = sys.path != last, list(sys.path)
print(json.dumps(edits))
""" % (PACKAGES,)


class CommandsTest(unittest.TestCase):
    COMMANDS = [  # (command, arguments, exit code, how its usage or help begins)
        ("scripts/make-cd", ["--help"], 0, "usage: scripts/make-cd [--installers DIR]"),
        ("scripts/preflight", ["--help"], 0, "usage: scripts/preflight [-h] [--cd FILE]"),
        ("audit/check-imports", [], 2, "Import audit of the shipped 32-bit launcher."),
        ("audit/check-header", [], 2, "Header audit of the shipped launcher"),
        ("audit/check-cpu-floor", [], 2, "usage: audit/check-cpu-floor EXE [--map MAP]\n"
                                         "check-cpu-floor: error:"),
        ("audit/check-reproducible", ["--no-such-option"], 2, "Two clean builds of the same"),
    ]

    def setUp(self):
        # A working folder, also on the caller's PYTHONPATH, whose packages bear this
        # tree's names and fail on import.
        self.elsewhere = tempfile.mkdtemp(prefix="cdtools-test-")
        self.addCleanup(shutil.rmtree, self.elsewhere)
        for package in PACKAGES:
            os.mkdir(os.path.join(self.elsewhere, package))
            with open(os.path.join(self.elsewhere, package, "__init__.py"), "w") as f:
                f.write("raise ImportError('the working folder\\'s %s')\n" % package)

    def test_each_command_runs_its_own_module_from_another_folder(self):
        # A python3 first on PATH (a pyenv or venv one, which cannot import Debian's pefile)
        # that fails: each command runs Debian's own python3 whatever comes first.
        fake = os.path.join(self.elsewhere, "bin")
        os.mkdir(fake)
        with open(os.path.join(fake, "python3"), "w") as f:
            f.write("#!/bin/sh\necho 'not Debian'\\'s python3'\nexit 9\n")
        os.chmod(os.path.join(fake, "python3"), 0o755)
        for path in (os.environ["PATH"], fake + os.pathsep + os.environ["PATH"]):
            env = dict(os.environ, PYTHONPATH=self.elsewhere, PATH=path)
            self.check_commands(env)

    def check_commands(self, env):
        for command, arguments, code, usage in self.COMMANDS:
            with self.subTest(command, PATH=env["PATH"].split(os.pathsep)[0]):
                result = subprocess.run([os.path.join(ROOT, command)] + arguments,
                                        cwd=self.elsewhere, env=env, capture_output=True,
                                        text=True)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertTrue((result.stdout + result.stderr).startswith(usage),
                                result.stdout + result.stderr)


class ImportTest(unittest.TestCase):
    def test_no_module_edits_sys_path(self):
        result = subprocess.run([sys.executable, "-P", "-c", IMPORT_EACH],
                                env=dict(os.environ, PYTHONPATH=ROOT), capture_output=True,
                                text=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        edits = json.loads(result.stdout)
        self.assertLessEqual({"cdtools.make_cd", "cdtools.layout", "audit.check_header",
                              "bench.footprint", "tools.run_from_swap"}, set(edits))
        self.assertEqual([name for name, edited in edits.items() if edited], [])


if __name__ == "__main__":
    unittest.main()
