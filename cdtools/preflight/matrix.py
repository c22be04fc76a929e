"""The cells of the preflight: which Windows, DPI, browser state, colours and road each run has.

Not the whole cross product: every Windows is tried at every DPI once, and under each one the
three roads that start an installer, so that each installer is started under each Windows,
and each window is seen at each DPI. The remaining road of each Windows takes the three roads
that start nothing in turn. Browser states take turns among the roads that they lead to (the
menu or the prompt), and a few runs, chosen so that each window is seen once, use a
high-contrast colour scheme.
"""
import collections

from cdtools.preflight.roads import load as load_roads

Windows = collections.namedtuple("Windows", "mode name release")
WINDOWS = (  # Wine's modes, oldest first; `release` as the installer check names it
    Windows("win98", "Windows 98", "98"),
    Windows("winme", "Windows ME", "ME"),
    Windows("win2k", "Windows 2000", "2000"),
    Windows("winxp", "Windows XP", "XP"),
    Windows("vista", "Windows Vista", "Vista"),
    Windows("win7", "Windows 7", "7"),
    Windows("win81", "Windows 8.1", "8.1"),
    Windows("win10", "Windows 10", "10"),
)
BY_MODE = {w.mode: w for w in WINDOWS}
DPIS = (96, 120, 144, 192)
# The browser's Version text in the registry; None: no Internet Explorer key at all.
BROWSERS = (None, "4.72.3110.0", "5.00.2920.0000", "5.50.4807.2300", "6.0.2800.1106",
            "9.11.19041.0")

# Each road and the launcher's windows that it shows, in order (roads.json).
_ROADS = load_roads()
ROADS = collections.OrderedDict((r.name, tuple(s.window for s in r.steps)) for r in _ROADS)
STARTING_ROADS = tuple(r.name for r in _ROADS if r.installer)
OTHER_ROADS = tuple(r.name for r in _ROADS if not r.installer)
# The installer that each road ends in, as the CD's layout names it.
INSTALLER_OF = {r.name: r.installer for r in _ROADS if r.installer}

Cell = collections.namedtuple("Cell", "windows dpi browser colours road")


def shows_prompt(browser):
    """Whether the launcher offers the browser setup for this Version text."""
    return browser is None or browser == "" or browser.startswith("4") or browser.startswith("5.0")


PROMPT_BROWSERS = tuple(b for b in BROWSERS if shows_prompt(b))
MENU_BROWSERS = tuple(b for b in BROWSERS if not shows_prompt(b))


def browser_label(browser):
    """A browser state as the lines and the page name it."""
    return "no browser" if browser is None else "IE " + browser


def colours_label(colours):
    """What a run's colours add to its label: nothing for the system's own."""
    return ", high contrast" if colours == "high-contrast" else ""


def label(cell):
    return "Wine reporting %s, %d dpi, %s%s, %s" % (
        BY_MODE[cell.windows].name, cell.dpi, browser_label(cell.browser),
        colours_label(cell.colours), cell.road)


def _with_browsers(plan):
    """(windows, dpi, road) triples as Cells, each with the next browser state of its kind."""
    turns = {True: 0, False: 0}
    cells = []
    for windows, dpi, road in plan:
        prompt = ROADS[road][0] == "prompt"
        states = PROMPT_BROWSERS if prompt else MENU_BROWSERS
        cells.append(Cell(windows, dpi, states[turns[prompt] % len(states)], "system", road))
        turns[prompt] += 1
    return cells


def _with_high_contrast(cells, most):
    """High contrast for runs from the end, each of which shows a window not yet seen in it."""
    seen, chosen = set(), set()
    for index in reversed(range(len(cells))):
        if len(chosen) == most:
            break
        new = set(ROADS[cells[index].road]) - seen
        if new:
            seen |= new
            chosen.add(index)
    return [c._replace(colours="high-contrast") if i in chosen else c for i, c in enumerate(cells)]


def full():
    plan = []
    for i, windows in enumerate(WINDOWS):
        roads = STARTING_ROADS + (OTHER_ROADS[i % len(OTHER_ROADS)],)
        plan += [(windows.mode, DPIS[(i + j) % len(DPIS)], road) for j, road in enumerate(roads)]
    return _with_high_contrast(_with_browsers(plan), len(ROADS))


def quick():
    """Windows 98, XP and 10 at 96 and 144 dpi, each road once."""
    modes, dpis = ("win98", "winxp", "win10"), (96, 144)
    plan = [(modes[k % 3], dpis[k // 3], road) for k, road in enumerate(ROADS)]
    return _with_high_contrast(_with_browsers(plan), 1)


def gaps(cells, windows=WINDOWS, dpis=DPIS, browsers=BROWSERS, roads=tuple(ROADS)):
    """What the cells leave untried: lines that name each gap; none for a whole matrix."""
    modes = [w.mode for w in windows]
    missing = []

    def need(what, wanted, have):
        missing.extend("no run with %s %s" % (what, w) for w in wanted if w not in have)

    need("Windows", modes, {c.windows for c in cells})
    need("DPI", dpis, {c.dpi for c in cells})
    need("browser", browsers, {c.browser for c in cells})
    need("road", roads, {c.road for c in cells})
    seen = {(w, c.dpi) for c in cells for w in ROADS[c.road]}
    need("window at DPI", [(w, d) for w in ("menu", "business", "prompt") for d in dpis], seen)
    started = {(INSTALLER_OF[c.road], c.windows) for c in cells if c.road in INSTALLER_OF}
    need("installer under", [(i, m) for i in INSTALLER_OF.values() for m in modes], started)
    contrast = {w for c in cells if c.colours == "high-contrast" for w in ROADS[c.road]}
    need("high contrast in", ("menu", "business", "prompt"), contrast)
    for cell in cells:
        if shows_prompt(cell.browser) != (ROADS[cell.road][0] == "prompt"):
            missing.append("%s: the browser state leads to the other window" % label(cell))
    return missing
