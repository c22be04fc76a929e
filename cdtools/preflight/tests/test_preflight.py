"""The preflight's parts that need no Wine: the matrix, the refusals, what the installers'
headers add to a run, the sandbox's command line, what a run leaves, the output folder's swap,
interruptions, and the page."""
import contextlib
import io
import json
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from cdtools import installer_check, test_programs
from cdtools.paths import PREFLIGHT_STATE, ROOT
from cdtools.preflight import (command, image, matrix, output, page, processes, report, roads,
                               run_files, sandbox, wine)
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
        "sandboxed": True,
        "image": {"name": "<kavrio>.iso", "size": 1000, "sha256": "ab"},
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

    def test_the_image_is_named_by_file_name_and_hash_only(self):
        with tempfile.TemporaryDirectory(prefix="Área 安装 ") as folder:
            iso = os.path.join(folder, "kavrio.iso")
            with open(iso, "wb") as f:
                f.write(b"CD001" * 100)
            whole = dict(self.REPORT, image=image.facts(iso))
            html = page.render(whole)
            for text in (html, json.dumps(whole, ensure_ascii=False)):
                self.assertNotIn(folder, text)
                self.assertIn("kavrio.iso", text)
                self.assertIn(whole["image"]["sha256"], text)

    def test_without_a_sandbox_the_page_says_so_at_the_top(self):
        for sandboxed, notice in ((True, None), (False, command.NO_SANDBOX)):
            with self.subTest(sandboxed=sandboxed):
                whole = dict(self.REPORT, sandboxed=sandboxed)
                if notice:
                    whole["warning"] = notice
                html = page.render(whole)
                if notice:
                    self.assertLess(html.index(page.e(notice)), html.index("runs failed"))
                else:
                    self.assertNotIn("without a sandbox", html)


def access(bwrap_args, path):
    """What path is inside the sandbox that bwrap's arguments make: "rw", "ro", "hidden" (under
    an empty tmpfs) or None. A later mount covers the earlier ones at and below its place."""
    seen, ops, at = None, bwrap_args[:bwrap_args.index("--")], 1
    takes = {"--bind": 2, "--ro-bind": 2, "--setenv": 2, "--tmpfs": 1, "--dev": 1, "--proc": 1,
             "--cap-drop": 1, "--chdir": 1}
    while at < len(ops):
        op, operands = ops[at], ops[at + 1:at + 1 + takes.get(ops[at], 0)]
        at += 1 + len(operands)
        kind = {"--bind": "rw", "--ro-bind": "ro", "--tmpfs": "hidden"}.get(op)
        place = operands[-1] if kind else None
        if kind and (path == place or path.startswith(place.rstrip("/") + "/")):
            seen = kind
    return seen


class SandboxCommandTest(unittest.TestCase):
    """Whatever folder the checkout and --out lie in, the run writes only the prefix and its
    output folder, reads what it needs, and sees nothing of the home folder or /tmp."""

    HOME = os.path.realpath(os.path.expanduser("~"))
    ROWS = [  # (case, checkout, the run's output folder)
        ("checkout and output outside the home folder", "/work/kavrio",
         "/work/kavrio/build/preflight.partial/run-output"),
        ("checkout and output under the home folder", HOME + "/src/kavrio",
         HOME + "/Área de Trabalho 安装/preflight.partial/run-output"),
        ("checkout under /tmp", "/tmp/ci/kavrio", "/tmp/ci/out.partial/run-output"),
    ]

    def test_rows(self):
        for case, checkout, out in self.ROWS:
            with self.subTest(case):
                state = checkout + "/build/preflight-wine"
                runner = checkout + "/build/win32/bin/preflight_run.exe"
                wine_env = checkout + "/tests/win/wine-env"
                env = sandbox.environment(":7", out)
                writable, readable = wine.binds(state, runner, state + "/cd-image", out,
                                                wine_env)
                args = sandbox.command(writable, readable, env=env, home=self.HOME)
                expected = {
                    state + "/prefix/drive_c/windows/win.ini": "rw", out + "/menu.bmp": "rw",
                    state + "/prefix.clean/system.reg": "ro", state + "/cd-image/Setup.exe": "ro",
                    runner: "ro", os.path.dirname(runner) + "/cell_probe.exe": "ro",
                    wine_env: "ro", "/tmp/.X11-unix/X7": "ro", "/etc/passwd": "ro",
                    "/usr/lib/wine/wine": "ro", self.HOME + "/.ssh/id_rsa": "hidden",
                    "/tmp/.X11-unix/X0": "hidden", "/run/dbus/system_bus_socket": "hidden",
                }
                for path, kind in expected.items():
                    self.assertEqual(access(args, path), kind, path)
                # The state's own files (Xvfb's pid among them) stay out of the run's reach.
                self.assertNotEqual(access(args, state + "/xvfb.pid"), "rw")
                for flag in ("--unshare-net", "--unshare-pid", "--die-with-parent",
                             "--unshare-user", "--disable-userns", "--clearenv"):
                    self.assertIn(flag, args)
                self.assertEqual(args[args.index("--cap-drop") + 1], "ALL")
                given = {args[i + 1]: args[i + 2] for i, a in enumerate(args) if a == "--setenv"}
                self.assertEqual(given, env)
                self.assertEqual(sorted(env), ["DISPLAY", "HOME", "KAVRIO_SCREENSHOTS", "LC_ALL",
                                               "PATH"])
                self.assertEqual((env["DISPLAY"], env["LC_ALL"]), (":7", "C.UTF-8"))

    def test_the_set_up_steps_never_see_the_callers_display(self):
        os.environ["WINE_ENV_DISPLAY"] = ":0"
        self.addCleanup(os.environ.pop, "WINE_ENV_DISPLAY")
        env = wine.host_environment()
        self.assertNotIn("WINE_ENV_DISPLAY", env)
        self.assertNotIn("DISPLAY", env)
        self.assertEqual(env["LC_ALL"], "C.UTF-8")


class NamespacesTest(unittest.TestCase):
    """Where the machine cannot make the namespaces, the preflight refuses and says how to
    allow them."""

    ROWS = [  # (settings that the machine has, what the message says)
        ({"/proc/sys/kernel/unprivileged_userns_clone": "0\n"},
         "sysctl kernel.unprivileged_userns_clone=1"),
        ({"/proc/sys/user/max_user_namespaces": "0\n"}, "sysctl user.max_user_namespaces="),
        ({"/proc/sys/kernel/apparmor_restrict_unprivileged_userns": "1\n",
          "/proc/sys/user/max_user_namespaces": "15000\n"},
         "kernel.apparmor_restrict_unprivileged_userns=0"),
        ({"/proc/sys/user/max_user_namespaces": "15000\n"}, "seccomp"),
    ]

    def test_rows(self):
        for settings, says in self.ROWS:
            with self.subTest(says):
                self.assertIn(says, sandbox.why_no_namespaces(settings.get))

    @unittest.skipUnless(shutil.which("unshare") and shutil.which("xorriso"), "needs unshare")
    def test_without_namespaces_the_preflight_refuses(self):
        # A user namespace whose own limit allows no further one: bwrap fails there as on a
        # kernel that forbids them.
        with tempfile.TemporaryDirectory() as work:
            iso = plain_image(work)
            out = os.path.join(work, "out")
            result = subprocess.run(
                ["unshare", "--user", "--map-root-user", "sh", "-c",
                 'echo 0 >/proc/sys/user/max_user_namespaces && exec "$@"', "-",
                 PREFLIGHT, "--cd", iso, "--out", out, "--quick"],
                capture_output=True, text=True)
            self.assertEqual(result.returncode, 2, result.stdout + result.stderr)
            self.assertIn("refused, nothing was written", result.stderr)
            self.assertIn("sysctl user.max_user_namespaces=", result.stderr)
            self.assertIn("--no-sandbox", result.stderr)
            self.assertEqual(os.listdir(work), [os.path.basename(iso)])


PREFLIGHT = os.path.join(ROOT, "scripts", "preflight")


def plain_image(work):
    """An image that passes the preflight's refusals: a kavrio.exe and an autorun.inf."""
    tree = tempfile.mkdtemp(dir=work)
    for name in ("kavrio.exe", "autorun.inf"):
        with open(os.path.join(tree, name), "wb") as f:
            f.write(b"MZ")
    iso = os.path.join(work, "cd.iso")
    xorriso_image(iso, tree)
    shutil.rmtree(tree)
    return iso


def bmp(path):
    subprocess.run(["convert", "-size", "8x6", "xc:red", "bmp:" + path], check=True)


@unittest.skipUnless(shutil.which("convert"), "needs ImageMagick")
class RunFilesTest(unittest.TestCase):
    """The installers could write the run's output folder: what they leave there is taken
    only as the runner writes it."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="preflight-run-files-")
        self.addCleanup(shutil.rmtree, self.work)
        self.secret = os.path.join(self.work, "secret.bmp")
        bmp(self.secret)

    def left(self, result, files):
        """A run's folder holding result (a dict, or bytes as they are) and files."""
        folder = tempfile.mkdtemp(dir=self.work)
        with open(os.path.join(folder, "result.json"), "wb") as f:
            f.write(result if isinstance(result, bytes) else json.dumps(result).encode())
        for name, make in files.items():
            make(os.path.join(folder, name))
        return folder

    def test_rows(self):
        window = lambda name: {"windows": [{"screenshot": name}], "started": None}  # noqa: E731
        link = lambda target: lambda path: os.symlink(target, path)  # noqa: E731

        def png_as_bmp(path):
            subprocess.run(["convert", "-size", "8x6", "xc:blue", "png:" + path], check=True)

        def fifo(path):
            os.remove(path)
            os.mkfifo(path)
        rows = [  # (case, result.json, other files, PNGs taken, the problem or None)
            ("a BMP", window("menu.bmp"), {"menu.bmp": bmp}, ["menu.png"], None),
            ("a screenshot never written", window("menu.bmp"), {}, [], None),
            ("a PNG named .bmp", window("menu.bmp"), {"menu.bmp": png_as_bmp}, [],
             "menu.bmp is not a BMP image"),
            ("a screenshot that links out", window("menu.bmp"), {"menu.bmp": link(self.secret)},
             [], "menu.bmp cannot be opened"),
            ("a name that climbs out", window("../secret.bmp"), {}, [],
             "'../secret.bmp' is not one that the runner writes"),
            ("result.json links out", None, {"result.json": lambda p: (os.remove(p), link(
                self.secret)(p))}, [], "the run's result.json cannot be opened"),
            ("result.json is a FIFO", None, {"result.json": fifo}, [], "result.json is not a file"),
            ("result.json too long", b" " * (run_files.RESULT_LIMIT + 1), {}, [],
             "result.json is over"),
            ("result.json no JSON", b"\xff\xfe{", {}, [], "result.json is not JSON"),
            ("result.json no object", b"[1, 2]", {}, [], "result.json is not an object"),
        ]
        for case, result, files, pngs, problem in rows:
            with self.subTest(case):
                source = self.left(result if result is not None else {}, files)
                target = os.path.join(self.work, case)
                found, taken, problems = run_files.take(source, target)
                self.assertEqual([os.path.basename(p) for p in taken], pngs)
                self.assertEqual(sorted(os.listdir(target)), sorted(
                    pngs + [p[:-4] + ".thumb.png" for p in pngs] +
                    (["result.json"] if found is not None else [])))
                if problem:
                    self.assertEqual(len(problems), 1, problems)
                    self.assertIn(problem, problems[0])
                else:
                    self.assertEqual(problems, [])


class OutputSwapTest(unittest.TestCase):
    """The earlier output stays whole until the new one is: never half of either."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="preflight-swap-")
        self.addCleanup(shutil.rmtree, self.work)
        self.out = os.path.join(self.work, "out")

    def folder(self, path, text):
        os.makedirs(path)
        with open(os.path.join(path, "report.json"), "w") as f:
            f.write(text)

    def report(self):
        if not os.path.isdir(self.out):
            return None
        with open(os.path.join(self.out, "report.json")) as f:
            return f.read()

    def test_rows(self):
        rows = [  # (case, earlier output, left aside, new output whole, then out holds)
            ("over an earlier output", "old", None, True, "new"),
            ("into a new folder", None, None, True, "new"),
            ("the swap fails", "old", None, False, "old"),
            ("an output left aside by a hard stop", None, "old", True, "new"),
            ("a stale folder aside", "old", "older", True, "new"),
        ]
        for case, earlier, left_aside, whole, holds in rows:
            with self.subTest(case):
                shutil.rmtree(self.work)
                os.makedirs(self.work)
                if earlier:
                    self.folder(self.out, earlier)
                if left_aside:
                    self.folder(output.aside(self.out), left_aside)
                staging = output.begin(self.out)
                if whole:
                    with open(os.path.join(staging, "report.json"), "w") as f:
                        f.write("new")
                    output.replace(self.out)
                else:  # the staging folder has gone: the rename fails
                    shutil.rmtree(staging)
                    self.assertRaises(OSError, output.replace, self.out)
                self.assertEqual(self.report(), holds)
                self.assertEqual(sorted(os.listdir(self.work)), ["out"])


def processes_of(state):
    """The command lines of the processes whose command line or Wine prefix lies in state,
    once those that were ending have gone (a pid namespace's processes end a moment after its
    bwrap, a killed Xvfb after kill returns)."""
    for _ in range(100):
        found = [line for pid, line, env in running()
                 if state.encode() in line or b"WINEPREFIX=" + state.encode() + b"/prefix" in env]
        if not found:
            break
        time.sleep(0.1)
    return [line.replace(b"\0", b" ").decode(errors="replace") for line in found]


def running():
    """(pid, command line, environment) of every process but zombies."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                line = f.read()
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if alive(int(pid)):
            yield int(pid), line, env


class ProcessGroupTest(unittest.TestCase):
    def test_a_step_past_its_time_limit_ends_with_its_whole_group(self):
        for case, script in (
                ("a child", 'sleep 300 & echo $! >"$0"; wait'),
                ("a child that ignores SIGTERM", 'trap "" TERM; sleep 300 & echo $! >"$0"; wait')):
            with self.subTest(case), tempfile.TemporaryDirectory() as work:
                pid_file = os.path.join(work, "pid")
                with self.assertRaises(processes.TimedOut):
                    processes.run(["sh", "-c", script, pid_file], 2)
                with open(pid_file) as f:
                    self.assertFalse(alive(int(f.read())))


def alive(pid):
    """Whether pid runs (a zombie that init has not reaped yet counts as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


@unittest.skipUnless(shutil.which("xorriso"), "needs xorriso")
class InterruptionTest(unittest.TestCase):
    """Ctrl-C or SIGTERM during the set-up: every process that it started ends, the earlier
    output stays as it was, and one line says so."""

    def test_rows(self):
        for signum, code, says in ((signal.SIGTERM, 143, "stopped by SIGTERM"),
                                   (signal.SIGINT, 130, "stopped by Ctrl-C")):
            with self.subTest(says), tempfile.TemporaryDirectory() as work:
                out = os.path.join(work, "out")
                os.makedirs(out)
                with open(os.path.join(out, "report.json"), "w") as f:
                    f.write('{"whole": true}')
                proc = subprocess.Popen([PREFLIGHT, "--cd", plain_image(work), "--out", out,
                                         "--quick"], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
                for line in proc.stdout:
                    if line.startswith("Building"):
                        break
                proc.send_signal(signum)
                rest, errors = proc.communicate()
                self.assertEqual(proc.returncode, code, rest + errors)
                self.assertEqual(errors.strip().count("\n"), 0, errors)
                self.assertIn(says, errors)
                self.assertNotIn("Traceback", errors)
                with open(os.path.join(out, "report.json")) as f:
                    self.assertEqual(f.read(), '{"whole": true}')
                self.assertEqual(sorted(os.listdir(work)), ["cd.iso", "out"])
                self.assertEqual(processes_of(PREFLIGHT_STATE), [])
