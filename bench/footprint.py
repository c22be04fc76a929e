"""Turns the benchmark's raw figures into the results table.

  footprint.py report --exe KAVRIO_WIN32_EXE --map KAVRIO_MAP --baseline-exe BASELINE_WIN32_EXE
                      --floor-exe CC6_FLOOR_WIN32_EXE [--emulated]
                      --menu SAMPLES --prompt SAMPLES --machine TEXT --out RESULTS_MD

SAMPLES files hold the probe's output lines ("sample NAME ROUND MS PEAK_BYTES") of the
launcher (kavrio), the common-controls floor (cc6) and the bare window (baseline). The
targets are ratios to the floor; the bare window's figures are information. --emulated
marks the ratios as measured under qemu. The table is printed and written, with the date
and the machine line, to RESULTS_MD.
"""
import argparse
import datetime
import os
import re
import statistics
import sys

from cdtools import link_map
from cdtools.pe_image import PeImage

SIZE_TARGET_BYTES = 100 * 1024
# Ratios to the common-controls floor: the launcher's own share.
STARTUP_TARGET_RATIO = 1.03
WORKING_SET_TARGET_RATIO = 1.05
MINIMUM_SAMPLES = 20
LAUNCHER, FLOOR, BARE = "kavrio", "cc6", "baseline"


# ---------------------------------------------------------------- PE sizes

def size_split(image):
    """File bytes split into headers, code and data, resources, and anything after."""
    resources = sum(s.raw_size for s in image.sections if s.name == ".rsrc")
    code_and_data = sum(s.raw_size for s in image.sections if s.name != ".rsrc")
    section_end = max([s.raw_offset + s.raw_size for s in image.sections if s.raw_size] or [0])
    return {
        "total": len(image.data),
        "headers": image.size_of_headers,
        "code_and_data": code_and_data,
        "resources": resources,
        "trailing": max(0, len(image.data) - max(section_end, image.size_of_headers)),
    }


# ---------------------------------------------------------------- link map

def map_contributions(map_text):
    """Bytes that each input file puts into each output section of the image.

    Returns {(output_section, input_file): bytes}.
    """
    contributions = {}
    for section in link_map.input_sections(map_text):
        key = (section.output, section.source)
        contributions[key] = contributions.get(key, 0) + section.size
    return contributions


def contributor_group(source):
    """A short name for where an input section came from."""
    if source == "dll stuff" or re.match(r"(BYTE|SHORT|LONG|QUAD) ", source):
        return "made by the linker (relocation table, list ends)"
    archive = re.match(r"(.*/)?([^/()]+)\((.+)\)$", source)
    library = archive.group(2) if archive else os.path.basename(source)
    if library.startswith("libstdc++") or library.startswith("libsupc++"):
        return "C++ library (libstdc++)"
    if library.startswith("libgcc"):
        return "compiler support (libgcc)"
    if library in ("crt2.o", "crtbegin.o", "crtend.o", "libmingw32.a", "libmingwex.a",
                   "libmoldname.a") or (library == "libmsvcrt.a" and archive and
                                        "_defs" not in archive.group(3)):
        return "MinGW start-up and C runtime glue"
    if archive and re.match(r"lib\w+\.a$", library) and not library.startswith("libkavrio"):
        return "import thunks and names (%s)" % library[3:-2]
    if source.endswith(".res") or ".rc." in source:
        return "resources (%s)" % os.path.basename(source)
    if archive:
        return "ours: %s" % archive.group(3)
    return "ours: %s" % os.path.basename(source)


def grouped(contributions, section_names):
    """{group: bytes} over the output sections that the image holds on disk."""
    groups = {}
    for (output, source), size in contributions.items():
        if output[:8] not in section_names:
            continue
        group = contributor_group(source)
        if group.startswith("import thunks"):
            group = "import table and thunks (all DLLs)"
        groups[group] = groups.get(group, 0) + size
    return groups


def pulled_in_by_our_code(contributions, reasons, section_names):
    """[(our object, symbol it needed, library member, bytes)]: for each library member
    that our code asked for, the bytes of that member and of everything it pulled in."""
    sizes = {}
    for (output, source), size in contributions.items():
        if output[:8] in section_names:
            sizes[source] = sizes.get(source, 0) + size
    entries = {}
    for member in reasons:
        chain = member
        seen = set()
        # Climb the first-reference chain to the library member that our code asked for.
        while chain in reasons and chain not in seen:
            seen.add(chain)
            referrer, _ = reasons[chain]
            if contributor_group(referrer).startswith("ours:"):
                group = contributor_group(chain)
                # Import thunks are counted in the import table row already.
                if not group.startswith(("ours:", "import thunks")):
                    entries.setdefault(chain, 0)
                    entries[chain] += sizes.get(member, 0)
                break
            chain = referrer
    rows = []
    for member, size in entries.items():
        referrer, symbol = reasons[member]
        rows.append((contributor_group(referrer)[len("ours: "):], symbol,
                     short_member(member), size))
    return sorted(rows, key=lambda row: -row[3])


def short_member(source):
    archive = re.match(r"(.*/)?([^/()]+)\((.+)\)$", source)
    return "%s(%s)" % (archive.group(2), archive.group(3)) if archive else os.path.basename(source)


# ---------------------------------------------------------------- samples

def read_samples(path):
    """{name: [(milliseconds, peak_bytes)]} and the list of error lines."""
    samples, errors = {}, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.split()
            if fields[:1] == ["sample"] and len(fields) == 5:
                samples.setdefault(fields[1], []).append((float(fields[3]), int(fields[4])))
            elif fields[:1] == ["error"]:
                errors.append(line.strip())
    return samples, errors


def road_figures(samples):
    """Median, quartiles and peak of each program, and the launcher's ratios to the floor
    (time_ratio, peak_ratio) and to the bare window (bare_time_ratio, bare_peak_ratio)."""
    names = (LAUNCHER, FLOOR, BARE)
    for name in names:
        if len(samples.get(name, [])) < MINIMUM_SAMPLES:
            raise ValueError("%s has %d samples, %d needed" %
                             (name, len(samples.get(name, [])), MINIMUM_SAMPLES))
    figures = {}
    for name in names:
        times = [t for t, _ in samples[name]]
        peaks = [p for _, p in samples[name]]
        figures[name] = {
            "runs": len(times),
            "time": statistics.median(times),
            "time_q1": quantile(times, 0.25),
            "time_q3": quantile(times, 0.75),
            "peak": statistics.median(peaks),
        }
    for prefix, other in (("", FLOOR), ("bare_", BARE)):
        figures[prefix + "time_ratio"] = figures[LAUNCHER]["time"] / figures[other]["time"]
        figures[prefix + "peak_ratio"] = figures[LAUNCHER]["peak"] / figures[other]["peak"]
    return figures


def quantile(values, q):
    ordered = sorted(values)
    position = q * (len(ordered) - 1)
    low = int(position)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (position - low)


# ---------------------------------------------------------------- report

def verdict(met):
    return "met" if met else "**missed**"


def kib(value):
    return "%.1f KiB" % (value / 1024.0)


def measure_rows(roads, emulated):
    """The start-up and working-set rows of the table, for both roads."""
    def ratio(value):
        return "%.3f%s" % (value, " (emulated)" if emulated else "")

    rows = []
    for road in ("menu", "prompt"):
        f = roads[road]
        rows.append(
            "| start-up, %s road, median ms (n = %d + %d + %d) | %.1f | %.1f | %s | ≤ %.2f | %s "
            "| %.1f | %s |" % (
                road, f[LAUNCHER]["runs"], f[FLOOR]["runs"], f[BARE]["runs"],
                f[LAUNCHER]["time"], f[FLOOR]["time"], ratio(f["time_ratio"]),
                STARTUP_TARGET_RATIO, verdict(f["time_ratio"] <= STARTUP_TARGET_RATIO),
                f[BARE]["time"], ratio(f["bare_time_ratio"])))
    for road in ("menu", "prompt"):
        f = roads[road]
        rows.append(
            "| peak working set, %s road, median KiB | %.0f | %.0f | %s | ≤ %.2f | %s "
            "| %.0f | %s |" % (
                road, f[LAUNCHER]["peak"] / 1024.0, f[FLOOR]["peak"] / 1024.0,
                ratio(f["peak_ratio"]), WORKING_SET_TARGET_RATIO,
                verdict(f["peak_ratio"] <= WORKING_SET_TARGET_RATIO),
                f[BARE]["peak"] / 1024.0, ratio(f["bare_peak_ratio"])))
    return rows


def report(args):
    image = PeImage.read(args.exe)
    sizes = size_split(image)
    floor_sizes = size_split(PeImage.read(args.floor_exe))
    bare_sizes = size_split(PeImage.read(args.baseline_exe))
    roads = {}
    error_lines = []
    for road, path in (("menu", args.menu), ("prompt", args.prompt)):
        samples, errors = read_samples(path)
        error_lines += ["%s road: %s" % (road, e) for e in errors]
        roads[road] = road_figures(samples)

    def size_row(label, key):
        return "| %s | %d | %d | | | | %d | |" % (label, sizes[key], floor_sizes[key],
                                                  bare_sizes[key])

    rows = [
        "| Measure | kavrio.exe | CC6 floor | ratio | target | | bare window | ratio |",
        "|---|---:|---:|---:|---|---|---:|---:|",
        "| win32 exe size, bytes | %d (%s) | %d | %.2f | ≤ 100 KiB | %s | %d | %.2f |" % (
            sizes["total"], kib(sizes["total"]), floor_sizes["total"],
            sizes["total"] / floor_sizes["total"],
            verdict(sizes["total"] <= SIZE_TARGET_BYTES), bare_sizes["total"],
            sizes["total"] / bare_sizes["total"]),
        size_row("· code and data (all sections but .rsrc)", "code_and_data"),
        size_row("· resources (.rsrc)", "resources"),
        size_row("· PE headers", "headers"),
    ] + measure_rows(roads, args.emulated)
    table = "\n".join(rows)
    print(table)

    spread = ["| Road | kavrio.exe ms, quartiles | CC6 floor ms, quartiles | bare window ms, "
              "quartiles |", "|---|---|---|---|"]
    for road in ("menu", "prompt"):
        f = roads[road]
        spread.append("| %s | %s |" % (road, " | ".join(
            "%.1f to %.1f" % (f[name]["time_q1"], f[name]["time_q3"])
            for name in (LAUNCHER, FLOOR, BARE))))

    section_names = {s.name for s in image.sections if s.raw_size}
    sections = ["| Section | bytes on disk | bytes used |", "|---|---:|---:|"]
    for s in image.sections:
        sections.append("| %s | %d | %d |" % (s.name, s.raw_size, s.virtual_size))

    resources = ["| Resource type | bytes |", "|---|---:|"]
    for name, size in sorted(image.resource_sizes().items(), key=lambda item: -item[1]):
        resources.append("| %s | %d |" % (name, size))

    with open(args.map, encoding="utf-8", errors="replace") as f:
        map_text = f.read()
    contributions = map_contributions(map_text)
    groups = grouped(contributions, section_names)
    linked = ["| From (link map) | bytes |", "|---|---:|"]
    for name, size in sorted(groups.items(), key=lambda item: -item[1]):
        linked.append("| %s | %d |" % (name, size))
    attributed = sum(groups.values())
    linked.append("| section alignment padding | %d |" %
                  (sizes["total"] - sizes["headers"] - attributed))

    pulled = ["| Our object | needs | from | bytes that came with it |", "|---|---|---|---:|"]
    for obj, symbol, member, size in pulled_in_by_our_code(
            contributions, link_map.archive_members(map_text), section_names)[:12]:
        pulled.append("| %s | `%s` | %s | %d |" % (obj, symbol, member, size))

    today = datetime.date.today().isoformat()
    text = [
        "# Footprint and start-up benchmark",
        "",
        "Written by `bench/run` on %s. Machine: %s." % (today, args.machine),
        "",
        "Everything is measured on the shipped win32 build. Start-up is timed under Wine's 32-bit",
        "side: from just before `CreateProcess` to the first visible top-level \"Kavrio\" window",
        "of the process with the road's client size (menu 450x344, prompt 450x342), runs of the",
        "three programs interleaved. The targets are ratios to the CC6 floor,",
        "`bench/baseline_cc6.cpp`: one 450x344 window with the launcher's manifest, comctl32",
        "loaded at run time by the launcher's own code (the DLL search confined first),",
        "`InitCommonControls` and one push button, so that the ratio is the launcher's own share.",
        "The bare window, `bench/baseline.cpp`, has the window alone; its figures are",
        "information (under Wine, loading Common Controls 6 is most of the gap to it). Both are",
        "built with the launcher's flags. The peak working set is read with",
        "`GetProcessMemoryInfo` when the window shows; under Wine it includes Wine's own",
        "libraries in the process, and the file pages that it has mapped: a file view that lands",
        "2 MiB-aligned may be mapped as one 2 MiB page by the kernel, which can move a figure",
        "by about 2 MiB from one build or run to the next (seen with uxtheme's theme file).",
        "",
    ]
    if args.emulated:
        text += [
            "**The ratios are emulated**: i386 programs ran under qemu here, which slows the",
            "programs by different factors. Compare them only with runs of the same kind.",
            "",
        ]
    text += [
        table,
        "",
        "## Spread of the start-up times",
        "",
        "\n".join(spread),
        "",
        "## What the win32 bytes are",
        "",
        "\n".join(sections),
        "",
        "\n".join(resources),
        "",
        "\n".join(linked),
        "",
        "Library code that our objects pull in, with all that it pulls in after it (each",
        "member counted once, under the first reference that the linker recorded):",
        "",
        "\n".join(pulled),
        "",
    ]
    if error_lines:
        text += ["## Failed runs (not counted)", ""] + ["- " + e for e in error_lines] + [""]
    with open(args.out, "w", encoding="utf-8") as f:
        f.write("\n".join(text))
    return 0


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    make = commands.add_parser("report")
    for option in ("--exe", "--map", "--baseline-exe", "--floor-exe", "--menu", "--prompt",
                   "--machine", "--out"):
        make.add_argument(option, required=True)
    make.add_argument("--emulated", action="store_true")
    args = parser.parse_args(argv)
    try:
        return report(args)
    except (OSError, ValueError) as error:
        print("footprint: %s" % error, file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
