"""The roads through the launcher's windows, as roads.json defines them once for the matrix and
for the runner (whose C++ table road_table.py writes from the same reading)."""
import collections
import json
import os

from cdtools import layout

PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "roads.json")
# The launcher's windows that a road can show, and what can be done in each.
WINDOWS = ("menu", "business", "prompt", "restart-warning")
ACTIONS = {"press": 1, "close": 0, "enter": 0}  # each action and how many arguments it takes

Road = collections.namedtuple("Road", "name steps installer")
Step = collections.namedtuple("Step", "window action control")


class BadRoads(Exception):
    """The file does not define the roads as the runner and the matrix need them."""


def _step(road, raw):
    if not isinstance(raw, list) or len(raw) < 2 or not all(isinstance(p, str) for p in raw):
        raise BadRoads("%s: a step is [window, action, ...], not %r" % (road, raw))
    window, action, arguments = raw[0], raw[1], raw[2:]
    if window not in WINDOWS:
        raise BadRoads("%s: no window %r (one of %s)" % (road, window, ", ".join(WINDOWS)))
    if ACTIONS.get(action) != len(arguments):
        raise BadRoads("%s: %r is no action with %d arguments" % (road, action, len(arguments)))
    return Step(window, action, arguments[0] if arguments else None)


def _road(raw):
    name = raw.get("name")
    if not isinstance(name, str) or not name:
        raise BadRoads("a road without a name: %r" % raw)
    steps = tuple(_step(name, s) for s in raw.get("steps") or ())
    if not steps:
        raise BadRoads("%s: a road shows at least one window" % name)
    installer = raw.get("installer")
    if installer is not None and installer not in layout.INSTALLERS:
        raise BadRoads("%s: %r is none of the CD's installers" % (name, installer))
    return Road(name, steps, installer)


def parse(text):
    """The roads that a roads.json text defines, in its order; BadRoads names what is off."""
    try:
        roads = tuple(_road(r) for r in json.loads(text)["roads"])
    except (ValueError, KeyError, TypeError, AttributeError) as error:
        raise BadRoads("not a list of roads: %s" % error)
    names = [r.name for r in roads]
    twice = sorted({n for n in names if names.count(n) > 1})
    if twice:
        raise BadRoads("roads named twice: %s" % ", ".join(twice))
    return roads


def load(path=PATH):
    with open(path, encoding="utf-8") as f:
        return parse(f.read())
