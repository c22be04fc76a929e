"""The preflight's parts that need no Wine: the matrix, the refusals, what the installers'
headers add to a run, and the page."""
import contextlib
import io
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from cdtools import installer_check, test_programs
from cdtools.preflight import command, image, matrix, page, report, roads
from cdtools.test_make_cd import crafted, placed

NT = [p for p in installer_check.PLATFORMS if p[0].family == "NT"]


class MatrixTest(unittest.TestCase):
    def test_the_full_matrix_leaves_nothing_untried(self):
        cells = matrix.full()
        self.assertEqual(matrix.gaps(cells), [])
        # One run for each Windows at each DPI: the page's grid has no empty square.
        self.assertEqual(len({(c.windows, c.dpi) for c in cells}), len(cells))
        # Each installer starts once under each Windows: without such a run, gaps() names it.
        for index, cell in enumerate(cells):
            if cell.road in matrix.INSTALLER_OF:
                self.assertNotEqual(matrix.gaps(cells[:index] + cells[index + 1:]), [], cell)

    def test_the_quick_matrix_takes_every_road_once_on_98_xp_and_10(self):
        cells = matrix.quick()
        self.assertEqual(sorted(c.road for c in cells), sorted(matrix.ROADS))
        self.assertEqual({c.windows for c in cells}, {"win98", "winxp", "win10"})
        self.assertEqual({c.dpi for c in cells}, {96, 144})
        self.assertEqual([g for g in matrix.gaps(cells) if "leads to" in g], [])

    def test_a_road_that_the_runner_could_not_drive_is_refused(self):
        def road(steps, installer=None, name="x"):
            return {"name": name, "steps": steps, "installer": installer}

        rows = [  # (what is off, the roads, what the refusal names)
            ("a window that the launcher lacks", [road([["menus", "close"]])], "no window 'menus'"),
            ("a press without its control", [road([["menu", "press"]])],
             "'press' is no action with 0 arguments"),
            ("an action that the runner lacks", [road([["menu", "wait", "1"]])],
             "'wait' is no action with 1 arguments"),
            ("an installer that the CD lacks", [road([["menu", "close"]], "setup.exe")],
             "'setup.exe' is none of the CD's installers"),
            ("a road that shows no window", [road([])], "at least one window"),
            ("a road named twice", [road([["menu", "close"]])] * 2, "roads named twice: x"),
            ("no list of roads", {"road": []}, "not a list of roads"),
        ]
        for case, data, says in rows:
            with self.subTest(case):
                text = json.dumps(data if isinstance(data, dict) else {"roads": data})
                with self.assertRaisesRegex(roads.BadRoads, says):
                    roads.parse(text)


class HeaderProblemsTest(unittest.TestCase):
    """A Windows that would not start the road's installer fails the run, whatever Wine did."""

    ROWS = [  # (installer's Verdict or None, Windows mode, road, the problem or None)
        (installer_check.Verdict("PE32 GUI", starts_on=installer_check.PLATFORMS, why="is a program"),
         "win98", "menu-home", None),
        (installer_check.Verdict("PE32 GUI", starts_on=[p for p in NT if p[0].version >= (6, 0)],
                                 why="is a program with subsystem version 6.0"),
         "win98", "menu-home", "Windows 98: the launcher will start nothing: Setup.exe is a "
                               "program with subsystem version 6.0"),
        (installer_check.Verdict("PE32 GUI", starts_on=[p for p in NT if p[0].version >= (6, 0)],
                                 why="is a program with subsystem version 6.0"),
         "vista", "menu-home", None),
        (installer_check.Verdict("PE32+ GUI", starts_on=[p for p in NT if p[1] == 64],
                                 why="is a 64-bit program"),
         "win7", "menu-business-next", "Windows 7 (32-bit): the launcher will start nothing: "
                                       "Agente Plimox\\Instalador Assistente Kavrio.exe is a "
                                       "64-bit program"),
        (installer_check.Verdict("NE (16-bit)", why="is a 16-bit program",
                                 starts_on=[p for p in installer_check.PLATFORMS if p[1] == 32]),
         "win10", "prompt-yes", "Windows 10 (64-bit): the launcher will start nothing: "
                                "Internet Explorer 5.5\\ie5setup.exe is a 16-bit program"),
        (installer_check.Verdict(fault="a DLL, not a program"), "winxp", "menu-home",
         "Windows XP: the launcher will start nothing: Setup.exe is a DLL, not a program"),
        (None, "winxp", "menu-business-next",
         "the image holds no Agente Plimox\\Instalador Assistente Kavrio.exe"),
        (None, "winxp", "prompt-no", None),  # a road that starts nothing reads no header
    ]

    def test_rows(self):
        for verdict, mode, road, problem in self.ROWS:
            with self.subTest(mode=mode, road=road, problem=problem):
                verdicts = {i: verdict for i in matrix.INSTALLER_OF.values()}
                cell = matrix.Cell(mode, 96, "6.0.2800.1106", "system", road)
                self.assertEqual(report.header_problems(cell, verdicts),
                                 [problem] if problem else [])


@unittest.skipUnless(test_programs.have_tools(), "MinGW, clang, lld or makensis not installed")
class ImportProblemsTest(unittest.TestCase):
    """A run under a Windows that will not load the launcher or the road's installer, for
    their imports, fails with the reason, although Wine started them."""

    ROWS = [  # (the CD: {path: built case}, Windows mode, road, the problem or None)
        ({"Setup.exe": "GetTickCount64"}, "winxp", "menu-home",
         "Setup.exe will not start on Windows XP: needs kernel32.dll!GetTickCount64 (from "
         "Windows Vista on)"),
        ({"Setup.exe": "GetTickCount64"}, "vista", "menu-home", None),
        ({"Setup.exe": "GetTickCount64"}, "winxp", "prompt-yes", None),  # another installer
        ({"Setup.exe": "VCRUNTIME140"}, "win10", "menu-home",
         "Setup.exe will not start on Windows 10: needs VCRUNTIME140.dll, which Windows 10 does "
         "not have and the CD does not hold beside D:\\Setup.exe"),
        ({"Setup.exe": "own DLL"}, "win98", "menu-home", None),
        ({"Setup.exe": "delay-loaded DLL"}, "winxp", "menu-home", None),  # a warning only
        ({"Setup.exe": "NSIS"}, "win98", "menu-home", None),
        ({"kavrio.exe": "GetTickCount64"}, "win98", "prompt-no",
         "kavrio.exe will not start on Windows 98: needs kernel32.dll!GetTickCount64 (from "
         "Windows Vista on)"),
    ]

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="preflight-imports-")
        cls.built = {}
        for case in {c for cd, *_ in cls.ROWS for c in cd.values()}:
            folder = os.path.join(cls.work, "built", case.replace(" ", "-"))
            test_programs.build(case, folder)
            cls.built[case] = folder

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def tree(self, cd):
        """A CD whose programs are the stand-in's built cases, each with the files beside it."""
        tree = tempfile.mkdtemp(dir=self.work)
        for path in ("kavrio.exe",) + tuple(matrix.INSTALLER_OF.values()):
            case = cd.get(path, "own DLL")
            folder = os.path.join(tree, os.path.dirname(path))
            shutil.copytree(self.built[case], folder, dirs_exist_ok=True)
            os.replace(os.path.join(folder, "Setup.exe"), os.path.join(tree, path))
        return tree

    # A run in which Wine started everything and the runner saw nothing wrong.
    PASSED = {"problems": [], "started": None, "first_window_ms": 300, "windows": [],
              "launcher_ended": True, "other_dialogs": []}

    def test_rows(self):
        for cd, mode, road, problem in self.ROWS:
            with self.subTest(cd=cd, mode=mode, road=road):
                verdicts = report.installer_verdicts(self.tree(cd))
                cell = matrix.Cell(mode, 96, "6.0.2800.1106", "system", road)
                run = report.run_entry(cell, "x", self.PASSED, verdicts, [], [])
                self.assertEqual(run["problems"], [problem] if problem else [])
                self.assertEqual(run["passed"], problem is None)

    def test_each_installer_row_says_what_each_windows_does(self):
        verdicts = report.installer_verdicts(self.tree({"Setup.exe": "VCRUNTIME140",
                                                        "kavrio.exe": "GetTickCount64"}))
        rows = {r["path"]: r for r in report.installers_table(verdicts)}
        modes = ["win98", "winme", "win2k", "winxp", "winxp64", "vista", "win7", "win8",
                 "win81", "win10", "win11"]
        self.assertEqual(list(rows["Setup.exe"]["will_not_start"]), modes)
        self.assertEqual(list(rows["kavrio.exe"]["will_not_start"]), modes[:5])
        self.assertEqual(rows["Setup.exe"]["imports"][0]["found"]["winxp"], "nowhere")
        agent = rows["Agente Plimox\\Instalador Assistente Kavrio.exe"]
        self.assertEqual(agent["will_not_start"], {})
        self.assertIn({"module": "Agente Plimox\\Instalador Assistente Kavrio.exe",
                       "dll": "helper.dll", "functions": ["helper_answer"], "delayed": False,
                       "found": {m: "on the CD: helper.dll" for m in modes}}, agent["imports"])
        html = page.render(dict(PageTest.REPORT, installers=list(rows.values())))
        self.assertIn("<h3>Setup.exe</h3>", html)
        self.assertIn("needs VCRUNTIME140.dll, which Windows 11 does not have", html)
        self.assertIn('"will start" means that Windows will load the program, not that the '
                      'installation succeeds', html)


def xorriso_image(iso, tree, joliet=True):
    subprocess.run(["xorriso", "-as", "mkisofs", "-quiet", "-R"] + (["-J"] if joliet else []) +
                   ["-o", iso, tree], check=True, capture_output=True)


@unittest.skipUnless(shutil.which("xorriso"), "needs xorriso")
class RefusalTest(unittest.TestCase):
    """Exit 2, the reason named, and nothing written, before any build or Wine."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="preflight-refusal-")
        self.addCleanup(shutil.rmtree, self.work)

    def image(self, names, joliet=True):
        tree = tempfile.mkdtemp(dir=self.work)
        for name in names:
            with open(os.path.join(tree, name), "wb") as f:
                f.write(b"MZ")
        iso = os.path.join(self.work, "cd.iso")
        xorriso_image(iso, tree, joliet)
        return iso

    def crafted(self, craft):
        craft["add"] = dict(craft.get("add", {}), **{"kavrio.exe": b"MZ", "autorun.inf": b""})
        return crafted(os.path.join(tempfile.mkdtemp(dir=self.work), "cd.iso"), **craft)

    def test_rows(self):
        text = os.path.join(self.work, "notes.txt")
        with open(text, "w") as f:
            f.write("not a CD\n" * 5000)
        rows = [  # (case, image, what the refusal says)
            ("no such file", os.path.join(self.work, "missing.iso"), "no such file"),
            ("a folder", self.work, "is not a file"),
            ("not ISO 9660", text, "is not an ISO 9660 image"),
            ("no Joliet tree", lambda: self.image(["kavrio.exe", "autorun.inf"], joliet=False),
             "has no Joliet tree"),
            ("no launcher", lambda: self.image(["autorun.inf", "Setup.exe"]), "holds no kavrio.exe"),
            ("no autorun.inf", lambda: self.image(["KAVRIO.EXE"]), "holds no autorun.inf"),
            # Images whose tree cannot be written safely, with a launcher in their root.
            ("a name that climbs out", lambda: self.crafted(placed("../../escaped.txt", "Dados/")),
             "Dados/../../escaped.txt: the name holds '/'"),
            ("twins as Windows sees them", lambda: self.crafted(placed("AUTORUN.INF.")),
             "autorun.inf, AUTORUN.INF.: Windows sees the same name twice"),
            ("a file past the image's end", lambda: self.crafted(
                {"fields": [("kavrio.exe", 2, 1 << 20)]}), "kavrio.exe: its extent"),
        ]
        for case, iso, says in rows:
            with self.subTest(case):
                out = os.path.join(self.work, "out")
                error = io.StringIO()
                with contextlib.redirect_stderr(error):
                    status = command.main(["--cd", iso() if callable(iso) else iso, "--out", out,
                                           "--quick"])
                self.assertEqual(status, 2)
                self.assertIn(says, error.getvalue())
                self.assertFalse(os.path.lexists(out))


class CdChangesTest(unittest.TestCase):
    """A run that writes to the CD fails: on a real disc the write would have failed."""

    def test_each_change_of_the_tree_is_named(self):
        with tempfile.TemporaryDirectory() as tree:
            os.makedirs(os.path.join(tree, "Agente Plimox"))
            for name in ("Setup.exe", "Agente Plimox/a.exe", "autorun.inf"):
                with open(os.path.join(tree, name), "w") as f:
                    f.write("x")
            before = image.fingerprint(tree)
            self.assertEqual(image.changes(before, image.fingerprint(tree)), [])
            with open(os.path.join(tree, "Setup.exe"), "a") as f:
                f.write("y")
            os.remove(os.path.join(tree, "autorun.inf"))
            with open(os.path.join(tree, "Agente Plimox", "log.txt"), "w") as f:
                f.write("z")
            self.assertEqual(image.changes(before, image.fingerprint(tree)), [
                "Agente Plimox\\log.txt was added", "autorun.inf was removed",
                "Setup.exe was changed"])


def a_run(mode, dpi, road, problems=()):
    return {"windows": mode, "windows_name": matrix.BY_MODE[mode].name, "dpi": dpi,
            "browser": None, "colours": "system", "road": road, "passed": not problems,
            "problems": list(problems), "started": None, "screenshots": ["runs/x/menu.png"],
            "first_window_ms": 250, "windows_seen": [], "launcher_ended": True,
            "other_dialogs": [], "folder": "x"}


class PageTest(unittest.TestCase):
    REPORT = {
        "image": {"path": "/cd/<kavrio>.iso", "name": "<kavrio>.iso", "size": 1000, "sha256": "ab"},
        "ran_at": "2026-12-09T08:00:00+00:00", "wine": "wine-8.0",
        "machine": {"description": "x86_64", "i386": "natively"}, "matrix": "quick",
        "seconds": 30.0, "installers": [],
        "runs": [a_run("win98", 96, "menu-home"),
                 a_run("winxp", 144, "prompt-no", ['another window opened: "<b>Erro</b>"'])],
    }

    def test_failed_runs_lead_and_every_text_is_escaped(self):
        html = page.render(self.REPORT)
        self.assertLess(html.index("1 of 2 runs failed"), html.index("Windows by DPI"))
        self.assertIn("Wine reporting Windows XP, 144 dpi, no browser, prompt-no", html)
        self.assertIn("&lt;b&gt;Erro&lt;/b&gt;", html)
        self.assertNotIn("<kavrio>", html)
        self.assertNotIn("<script", html)
        self.assertIn('<img src="runs/x/menu.thumb.png"', html)
