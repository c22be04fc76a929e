"""The preflight for real: the quick matrix under Wine on make-cd's stand-in image, on an
image with faults and on one whose installers reach for the machine, its page in headless
Chromium, and a run stopped by Ctrl-C."""
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
import uuid

from cdtools import joliet
from cdtools.paths import BUILD, PREFLIGHT_STATE, ROOT
from cdtools.preflight import matrix
from cdtools.preflight.tests import chromium
from cdtools.preflight.tests.test_preflight import processes_of, xorriso_image

WORK = os.path.join(BUILD, "preflight-test")
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


REACH_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reach_installer.c")
HOME = os.path.realpath(os.path.expanduser("~"))


def windows_path(unix_path):
    return "Z:" + unix_path.replace("/", "\\")


class ReachingInstallersTest(unittest.TestCase):
    """Installers that reach for the machine, each in another way, run in one --quick run
    whose output lies under a folder with accents, spaces and CJK letters. Nothing reaches the
    host, and each run starts from a clean prefix. Then a second run into the same folder,
    stopped by Ctrl-C 20 s into its runs, leaves that output as it was."""

    @classmethod
    def setUpClass(cls):
        cls.token = "kavrio-reach-" + uuid.uuid4().hex[:8]
        cls.listener = socket.socket()
        cls.listener.bind(("127.0.0.1", 0))
        cls.listener.listen(4)
        cls.reached = {  # where each order would land on the host
            "Z:": "/tmp/%s-z.txt" % cls.token,
            "unix": "/tmp/%s-unix.txt" % cls.token,
            "home": os.path.join(HOME, cls.token + "-home.txt"),
            "snapshot": os.path.join(PREFLIGHT_STATE, "prefix.clean", "drive_c",
                                     cls.token + "-clean.txt"),
            "sh": "/tmp/%s-sh.txt" % cls.token,
            "sh in the home folder": os.path.join(HOME, cls.token + "-sh.txt"),
            "the shell's copy": "/tmp/%s-win.ini" % cls.token,
        }
        cls.iso = cls.reaching_image()
        cls.out = os.path.join(WORK, "Área de Trabalho 安装", "preflight")
        shutil.rmtree(os.path.dirname(cls.out), ignore_errors=True)
        os.makedirs(os.path.dirname(cls.out))
        cls.result, cls.report = preflight(cls.iso, cls.out)

    @classmethod
    def tearDownClass(cls):
        cls.listener.close()
        for path in cls.reached.values():
            if os.path.lexists(path):
                os.remove(path)

    @classmethod
    def orders(cls):
        """{installer: its orders}: files, a Unix shell, the network."""
        r = cls.reached
        tamper = ("f=$WINEPREFIX/drive_c/windows/win.ini; cp -p $f {0} && printf REACH | "
                  "dd of=$f conv=notrunc && touch -r {0} $f").format(r["the shell's copy"])
        return {
            matrix.INSTALLER_OF["menu-home"]: [
                "write " + windows_path(r["Z:"]),
                "write \\\\?\\unix" + r["unix"].replace("/", "\\"),
                "write " + windows_path(r["home"]),
                "write " + windows_path(r["snapshot"]),
                # A change that keeps the file's size and time: the next run must not see it.
                'run Z:\\bin\\sh -c "%s"' % tamper,
                "expect C:\\windows\\win.ini REACH",
                "hide C:\\users\\Public"],  # a folder's attribute, which rsync -a keeps
            AGENT: ['run Z:\\bin\\sh -c "echo reached >%s; echo reached >%s"' % (
                        r["sh"], r["sh in the home folder"]),
                    "expect %s reached" % windows_path(r["sh"]),
                    "expect %s reached" % windows_path(r["sh in the home folder"])],
            matrix.INSTALLER_OF["prompt-yes"]: ["connect %d" % cls.listener.getsockname()[1]],
        }

    @classmethod
    def reaching_image(cls):
        tree = tempfile.mkdtemp(dir=WORK)
        try:
            joliet.extract(stand_in_image(), tree)
            reach = os.path.join(WORK, "reach.exe")
            subprocess.run(["i686-w64-mingw32-gcc", "-O2", "-s", "-municode", "-mwindows",
                            "-o", reach, REACH_SOURCE, "-lws2_32"], check=True)
            for installer, orders in cls.orders().items():
                path = os.path.join(tree, *installer.split("/"))
                shutil.copyfile(reach, path)
                with open(path[:-len(".exe")] + ".txt", "w", encoding="utf-8") as f:
                    f.write("\r\n".join(orders) + "\r\n")
            iso = os.path.join(WORK, "reaching.iso")
            xorriso_image(iso, tree)
        finally:
            shutil.rmtree(tree)
        return iso

    def test_each_run_passes_from_a_clean_prefix_and_reaches_only_the_sandbox(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        titles = {r["road"]: (r["started"] or {}).get("first_window") for r in self.report["runs"]}
        # Each order in turn: "+" reached its target, "-" did not. Files, /tmp and the home
        # folder are the sandbox's own: written, and gone with it. The snapshot is read-only;
        # no connection leaves the sandbox. Each run finds the prefix as the snapshot keeps it.
        self.assertEqual(titles["menu-home"], "Reach test: clean, done +++-+++")
        self.assertEqual(titles["menu-business-next"], "Reach test: clean, done +++")
        self.assertEqual(titles["prompt-yes"], "Reach test: clean, done -")
        self.assertTrue(self.report["sandboxed"])

    def test_nothing_reaches_the_host(self):
        for order, path in self.reached.items():
            with self.subTest(order):
                self.assertFalse(os.path.lexists(path), path)
        readable, _, _ = select.select([self.listener], [], [], 0)
        self.assertEqual(readable, [], "a connection reached the test's port")
        self.assertEqual(processes_of(PREFLIGHT_STATE), [])

    def test_the_page_and_the_report_name_no_folder_of_the_machine(self):
        with open(os.path.join(self.out, "index.html"), encoding="utf-8") as f:
            page = f.read()
        with open(os.path.join(self.out, "report.json"), encoding="utf-8") as f:
            report = f.read()
        for text in (page, report):
            for folder in (ROOT, WORK, self.out, HOME + "/", "/tmp/"):
                self.assertNotIn(folder, text)
            self.assertIn(self.report["image"]["sha256"], text)
        with chromium.Chromium() as browser:
            count, broken, errors, png = browser.open(os.path.join(self.out, "index.html"))
        with open(os.path.join(WORK, "reaching-page.png"), "wb") as f:
            f.write(png)
        self.assertEqual((count, broken, errors),
                         (sum(len(r["screenshots"]) for r in self.report["runs"]), [], []))

    def test_zz_ctrl_c_20_s_into_the_runs_leaves_the_earlier_output_whole(self):
        before = {}
        for name in ("report.json", "index.html"):
            with open(os.path.join(self.out, name), "rb") as f:
                before[name] = f.read()
        proc = subprocess.Popen([PREFLIGHT, "--cd", self.iso, "--out", self.out, "--quick"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        for line in proc.stdout:
            if line.startswith("Trying"):
                break
        time.sleep(20)
        proc.send_signal(signal.SIGINT)
        rest, errors = proc.communicate()
        self.assertEqual(proc.returncode, 130, rest + errors)
        self.assertEqual(errors.strip().count("\n"), 0, errors)
        self.assertNotIn("Traceback", errors)
        for name, data in before.items():
            with open(os.path.join(self.out, name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertEqual(os.listdir(os.path.dirname(self.out)), ["preflight"])
        self.assertEqual(processes_of(PREFLIGHT_STATE), [])
        for path in self.reached.values():
            self.assertFalse(os.path.lexists(path), path)


if __name__ == "__main__":
    unittest.main()
