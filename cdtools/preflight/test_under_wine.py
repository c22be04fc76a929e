"""The preflight for real: the quick matrix under Wine on make-cd's stand-in image and on an
image with faults, and its page in headless Chromium."""
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from cdtools import joliet
from cdtools.make_cd import ROOT
from cdtools.preflight import chromium, matrix
from cdtools.preflight.test_preflight import xorriso_image

WORK = os.path.join(ROOT, "build", "preflight-test")
PREFLIGHT = os.path.join(ROOT, "scripts", "preflight")
AGENT = matrix.INSTALLER_OF["menu-business-next"]


def preflight(iso, out):
    result = subprocess.run([PREFLIGHT, "--cd", iso, "--out", out, "--quick"],
                            capture_output=True, text=True)
    report = None
    if os.path.isfile(os.path.join(out, "report.json")):
        with open(os.path.join(out, "report.json"), encoding="utf-8") as f:
            report = json.load(f)
    return result, report


def stand_in_image():
    os.makedirs(WORK, exist_ok=True)
    iso = os.path.join(WORK, "stand-ins.iso")
    subprocess.run([os.path.join(ROOT, "scripts", "make-cd"), "--out", iso], check=True,
                   capture_output=True)
    return iso


class StandInImageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = os.path.join(WORK, "stand-ins")
        cls.result, cls.report = preflight(stand_in_image(), cls.out)

    def test_every_road_passes(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        runs = self.report["runs"]
        self.assertEqual(sorted(r["road"] for r in runs), sorted(matrix.ROADS))
        for run in runs:
            with self.subTest(run["road"]):
                self.assertTrue(run["passed"], run["problems"])
                installer = matrix.INSTALLER_OF.get(run["road"])
                if installer:
                    self.assertEqual(run["started"]["program"], "D:\\" + installer.replace("/", "\\"))
                    self.assertEqual(run["started"]["working_folder"], "C:\\")
                    self.assertIsNotNone(run["started"]["first_window"])
                else:
                    self.assertIsNone(run["started"])
        self.assertEqual(len(self.report["image"]["sha256"]), 64)

    def test_the_page_opens_in_chromium_with_every_image(self):
        with chromium.Chromium() as browser:
            count, broken, errors, png = browser.open(os.path.join(self.out, "index.html"))
        with open(os.path.join(WORK, "page.png"), "wb") as f:
            f.write(png)
        shots = sum(len(r["screenshots"]) for r in self.report["runs"])
        self.assertEqual(count, shots)
        self.assertEqual(broken, [])
        self.assertEqual(errors, [])
        self.assertTrue(png.startswith(b"\x89PNG"))


class FaultyImageTest(unittest.TestCase):
    """No support-agent installer, and a Setup.exe that ends at once without a window: an
    image that make-cd refuses, so written with xorriso."""

    def test_the_runs_of_the_faulty_installers_fail_and_name_the_fault(self):
        iso = stand_in_image()
        tree = tempfile.mkdtemp(dir=WORK)
        self.addCleanup(shutil.rmtree, tree)
        joliet.extract(iso, tree)
        shutil.rmtree(os.path.join(tree, os.path.dirname(AGENT)))
        source = os.path.join(tree, "ends_at_once.c")
        with open(source, "w") as f:
            f.write("int main(void) { return 7; }\n")
        subprocess.run(["i686-w64-mingw32-gcc", "-mwindows", "-s", "-o",
                        os.path.join(tree, "Setup.exe"), source], check=True)
        os.remove(source)
        iso = os.path.join(WORK, "faulty.iso")
        xorriso_image(iso, tree)

        result, report = preflight(iso, os.path.join(WORK, "faulty"))
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        problems = {r["road"]: r["problems"] for r in report["runs"]}
        self.assertIn("nothing started: D:\\Agente Plimox\\Instalador Assistente Kavrio.exe was "
                      "expected", problems["menu-business-next"])
        self.assertIn("the installer ended (exit code 7) without showing a window",
                      problems["menu-home"])
        self.assertEqual([r for r, p in problems.items() if p],
                         ["menu-home", "menu-business-next"])
        self.assertIn("menu-business-next: nothing started", result.stdout)


def image_with(tree, name, c_source):
    """Writes a program built with MinGW from c_source at tree/name."""
    source = os.path.join(tree, "program.c")
    with open(source, "w") as f:
        f.write(c_source)
    subprocess.run(["i686-w64-mingw32-gcc", "-mwindows", "-s", "-o", os.path.join(tree, name),
                    source], check=True)
    os.remove(source)


class LauncherThatEndsAtOnceTest(unittest.TestCase):
    """A kavrio.exe that ends at once, exit code 0 and no window: no road is driven, so every
    run fails and says where its road broke."""

    def test_every_run_fails_naming_the_window_that_never_showed(self):
        iso = stand_in_image()
        tree = tempfile.mkdtemp(dir=WORK)
        self.addCleanup(shutil.rmtree, tree)
        joliet.extract(iso, tree)
        image_with(tree, "kavrio.exe", "int main(void) { return 0; }\n")
        iso = os.path.join(WORK, "ends-at-once.iso")
        xorriso_image(iso, tree)

        result, report = preflight(iso, os.path.join(WORK, "ends-at-once"))
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertEqual(len(report["runs"]), len(matrix.ROADS))
        for run in report["runs"]:
            first = "prompt" if run["road"].startswith("prompt") else "menu"
            with self.subTest(run["road"]):
                self.assertFalse(run["passed"])
                self.assertIn("the launcher ended (exit code 0) before showing the " + first,
                              run["problems"])


if __name__ == "__main__":
    unittest.main()
