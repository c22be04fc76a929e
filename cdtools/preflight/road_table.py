"""Writes the runner's road table, a C++ header, from roads.json:

  python3 -P -m cdtools.preflight.road_table OUT.h

Each window becomes its Screen (restart-warning: Screen::RestartWarning), each action its
Action, each installer the launcher's suffix for it (u"\\\\Setup.exe"). The runner's own
headers check at compile time that every control and installer named here is the launcher's.
"""
import sys

from cdtools import cli
from cdtools.preflight import roads


def _camel(name):
    return "".join(part.capitalize() for part in name.split("-"))


def _cpp_text(text):
    """A C++ string body: non-ASCII as universal character names, so the file's encoding
    never matters."""
    out = []
    for c in text:
        if c in '"\\':
            out.append("\\" + c)
        elif " " <= c <= "~":
            out.append(c)
        else:
            out.append("\\u%04x" % ord(c))
    return "".join(out)


def _step(step):
    control = 'u8"%s"' % _cpp_text(step.control) if step.control else "nullptr"
    return "    {Screen::%s, Action::%s, %s}," % (_camel(step.window), _camel(step.action), control)


def header(all_roads):
    lines = ["// Written by cdtools/preflight/road_table.py from cdtools/preflight/roads.json;",
             "// change that file, not this one.",
             "#pragma once", "", '#include "roads.h"', "", "namespace preflight {", ""]
    for road in all_roads:
        lines.append("inline constexpr RoadStep k%sSteps[] = {" % _camel(road.name))
        lines += [_step(s) for s in road.steps]
        lines += ["};", ""]
    lines.append("inline constexpr RoadDefinition kRoadTable[] = {")
    for road in all_roads:
        installer = ('u"\\\\%s"' % _cpp_text(road.installer.replace("/", "\\"))
                     if road.installer else "nullptr")
        lines.append('    {L"%s", k%sSteps, %s},' % (road.name, _camel(road.name), installer))
    lines += ["};", "", "}  // namespace preflight", ""]
    return "\n".join(lines)


def main(argv):
    if len(argv) != 1:
        print("usage: python3 -P -m cdtools.preflight.road_table OUT.h", file=sys.stderr)
        return cli.REFUSED
    text = header(roads.load())
    with open(argv[0], "w", encoding="utf-8") as f:
        f.write(text)
    return cli.OK


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
