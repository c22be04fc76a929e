"""index.html: the preflight on one page that reads offline, with no script. The verdict first
(the failed runs at its head), a grid of Windows by DPI with each run's screenshots, the
installers' table with one line for each Windows, the start-up times as an inline SVG chart, and where and when it ran."""
import html

from cdtools.preflight import matrix, report

STYLE = """
body { font: 14px/1.4 sans-serif; margin: 24px; color: #1b1b1b; }
h1 { font-size: 22px; margin: 0 0 4px; } h2 { font-size: 17px; margin: 28px 0 8px; }
.verdict { padding: 10px 14px; border-radius: 4px; font-weight: bold; }
.passed { background: #e3f4e1; border-left: 6px solid #2e7d32; }
.failed { background: #fde7e7; border-left: 6px solid #c62828; }
table { border-collapse: collapse; } td, th { border: 1px solid #ccc; padding: 6px; vertical-align: top; text-align: left; }
.grid { width: 100%; table-layout: fixed; }
.run { font-size: 12px; } .run img { border: 1px solid #888; margin: 2px 2px 0 0; }
.badge { display: inline-block; padding: 0 6px; border-radius: 3px; color: #fff; font-weight: bold; }
.ok { background: #2e7d32; } .bad { background: #c62828; } .unknown { background: #6d6d6d; }
h3 { font-size: 15px; margin: 18px 0 6px; }
.problems { color: #b71c1c; margin: 4px 0; padding-left: 18px; }
code { font-size: 12px; background: #f3f3f3; padding: 0 2px; }
.note { color: #555; font-size: 13px; max-width: 60em; }
"""
SANDBOXED = ("in a sandbox (bubblewrap): no network, the home folders and /tmp empty, "
             "nothing writable but the Wine prefix and the run's output")


def e(text):
    return html.escape("" if text is None else str(text))


def render(whole):
    runs = whole["runs"]
    failed = [r for r in runs if not r["passed"]]
    parts = ["<!DOCTYPE html>", '<html lang="en"><head><meta charset="utf-8">',
             "<title>Preflight of %s</title>" % e(whole["image"]["name"]),
             "<style>%s</style></head><body>" % STYLE,
             "<h1>Preflight of %s</h1>" % e(whole["image"]["name"])]
    if not whole["sandboxed"]:
        parts.append('<p class="verdict failed">%s</p>' % e(whole["warning"]))
    parts.append(_verdict(runs, failed))
    parts.append(_facts(whole))
    parts.append("<h2>Windows by DPI</h2>")
    parts.append(_grid(runs))
    parts.append("<h2>The launcher and the installers, on each Windows</h2>")
    parts.append(_installers(whole["installers"]))
    parts.append("<h2>Start-up: from the launcher's start to its first window</h2>")
    parts.append(_chart(runs))
    parts.append(_limits())
    parts.append("</body></html>")
    return "\n".join(parts) + "\n"


def _anchor(index):
    return "run-%02d" % index


def _verdict(runs, failed):
    if not failed:
        head = '<p class="verdict passed">All %d runs passed.</p>' % len(runs)
        return head
    items = []
    for index, run in enumerate(runs, 1):
        if not run["passed"]:
            items.append('<li><a href="#%s">%s</a><ul class="problems">%s</ul></li>' % (
                _anchor(index), e(report.describe(run)),
                "".join("<li>%s</li>" % e(p) for p in run["problems"])))
    return ('<p class="verdict failed">%d of %d runs failed.</p><ol>%s</ol>' % (
        len(failed), len(runs), "".join(items)))


def _facts(whole):
    image, machine = whole["image"], whole["machine"]
    rows = [  # (heading, HTML)
        ("Image", e("%s, %s bytes" % (image["name"], format(image["size"], ",")))),
        ("SHA-256", "<code>%s</code>" % e(image["sha256"])),
        ("Installers ran", e(SANDBOXED if whole["sandboxed"] else
                             "without a sandbox (--no-sandbox)")),
        ("Wine", e("%s, 32-bit programs %s" % (whole["wine"], machine["i386"]))),
        ("Machine", e(machine["description"])),
        ("Ran", e("%s, %s matrix of %d runs, %.0f s" % (
            whole["ran_at"], whole["matrix"], len(whole["runs"]), whole["seconds"]))),
    ]
    body = "".join("<tr><th>%s</th><td>%s</td></tr>" % row for row in rows)
    return "<h2>What was tried</h2><table>%s</table>" % body


def _run_card(index, run):
    badge = '<span class="badge ok">passed</span>' if run["passed"] else \
        '<span class="badge bad">failed</span>'
    lines = ['<div class="run" id="%s">%s <b>%d. %s</b><br>%s%s' % (
        _anchor(index), badge, index, e(run["road"]), e(matrix.browser_label(run["browser"])),
        matrix.colours_label(run["colours"]))]
    if run["first_window_ms"] is not None:
        lines.append("<br>first window after %d ms" % run["first_window_ms"])
    started = run["started"]
    if started:
        lines.append("<br>started <code>%s</code>, command line <code>%s</code>, in <code>%s</code>"
                     % (e(started["program"]), e(started["command_line"]),
                        e(started["working_folder"])))
    else:
        lines.append("<br>nothing started")
    if run["problems"]:
        lines.append('<ul class="problems">%s</ul>' % "".join(
            "<li>%s</li>" % e(p) for p in run["problems"]))
    lines.append(_texts(run))
    for shot in run["screenshots"]:
        thumb = shot[:-len(".png")] + ".thumb.png"
        lines.append('<a href="%s"><img src="%s" alt="%s" title="%s"></a>' % (
            e(shot), e(thumb), e(shot), e(shot)))
    lines.append("</div>")
    return "".join(lines)


def _texts(run):
    """Each window's texts as read back from its controls, and where the focus was."""
    items = []
    for window in run["windows_seen"]:
        texts = [c["text"] for c in window["controls"] if c["text"]]
        items.append("<li><b>%s</b> (focus: %s): %s</li>" % (
            e(window["window"]), e(window["focus"] or "none"),
            " | ".join(e(t) for t in texts)))
    if not items:
        return "<br>"
    return "<details><summary>texts read back</summary><ul>%s</ul></details>" % "".join(items)


def _grid(runs):
    dpis = sorted({r["dpi"] for r in runs})
    modes = [w.mode for w in matrix.WINDOWS if any(r["windows"] == w.mode for r in runs)]
    head = '<colgroup><col style="width: 10em">%s</colgroup><tr><th></th>%s</tr>' % (
        "<col>" * len(dpis), "".join("<th>%d dpi</th>" % d for d in dpis))
    rows = []
    for mode in modes:
        cells = []
        for dpi in dpis:
            cards = [_run_card(i, r) for i, r in enumerate(runs, 1)
                     if r["windows"] == mode and r["dpi"] == dpi]
            cells.append("<td>%s</td>" % "".join(cards))
        rows.append('<tr><th scope="row">Wine reporting %s</th>%s</tr>' % (
            e(matrix.BY_MODE[mode].name), "".join(cells)))
    return '<table class="grid">%s%s</table>' % (head, "".join(rows))


def _installers(installers):
    rows = ["<tr><th>Program</th><th>Kind</th><th>Oldest Windows that starts it</th>"
            "<th>Note</th></tr>"]
    for row in installers:
        if not row["present"]:
            rows.append("<tr><td>%s</td><td colspan=2>not on the image</td><td></td></tr>" %
                        e(row["path"]))
            continue
        note = row["fault"] and "no Windows starts it: it is " + row["fault"] or \
            row["warning"] or row.get("why_not_older")
        rows.append("<tr><td>%s</td><td>%s</td><td>%s</td><td>%s</td></tr>" % (
            e(row["path"]), e(row["kind"]), e(row["oldest_windows"]), e(note or "")))
    return ('<table>%s</table><p class="note">For each Windows, from the header and the '
            'imports of each program (the DLLs beside it on the CD included): "will start" '
            'means that Windows will load the program, not that the installation succeeds; '
            '"not known" means that the table of Windows facts has no data on some of its '
            'imports there, which no run under Wine can make up for.</p>%s' % (
                "".join(rows), "".join(_per_windows(row) for row in installers)))


STATE_CLASS = {"will start": "ok", "will not start": "bad", "not known": "unknown"}


def _per_windows(row):
    """One line for each Windows: will start, will not start (why), or what is not known."""
    lines = []
    for windows in row["windows"]:
        said = list(windows["reasons"])
        if windows["state"] == "not known":
            said.append("%d imports without data%s" % (windows["unknown"], (
                " (from %s)" % ", ".join(windows["unknown_dlls"]) if windows["unknown_dlls"]
                else "")))
        said += ["warning: " + w for w in windows["warnings"]]
        lines.append('<tr><th>Windows %s</th><td><span class="badge %s">%s</span></td>'
                     '<td>%s</td></tr>' % (e(windows["release"]),
                                           STATE_CLASS[windows["state"]], e(windows["state"]),
                                           "<br>".join(e(t) for t in said)))
    return "<h3>%s</h3><table>%s</table>" % (e(row["path"]), "".join(lines))


def _chart(runs):
    """One bar a run, in the runs' order, its length the milliseconds to the first window."""
    times = [r["first_window_ms"] for r in runs if r["first_window_ms"] is not None]
    if not times:
        return "<p>No run opened a window.</p>"
    top = max(times)
    row, left, length = 18, 330, 400
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" role="img" '
           'aria-label="start-up times" font-size="12">' % (left + length + 70,
                                                             row * len(runs) + 24)]
    for index, run in enumerate(runs):
        y = index * row
        ms = run["first_window_ms"]
        name = "%d. %s, %d dpi, %s" % (index + 1, matrix.BY_MODE[run["windows"]].name, run["dpi"],
                                       run["road"])
        out.append('<text x="0" y="%d">%s</text>' % (y + 13, e(name)))
        if ms is None:
            out.append('<text x="%d" y="%d" fill="#c62828">no window</text>' % (left, y + 13))
            continue
        width = max(1, round(ms * length / top))
        colour = "#2e7d32" if run["passed"] else "#c62828"
        out.append('<rect x="%d" y="%d" width="%d" height="%d" fill="%s"/>' % (
            left, y + 3, width, row - 6, colour))
        out.append('<text x="%d" y="%d">%d ms</text>' % (left + width + 4, y + 13, ms))
    out.append('<line x1="%d" y1="0" x2="%d" y2="%d" stroke="#888"/>' % (
        left, left, row * len(runs)))
    out.append("</svg>")
    return "".join(out)


def _limits():
    return ('<h2>What this page cannot show</h2><p class="note">Every run is Wine 8 under a '
            'virtual desktop, reporting a Windows version to the launcher and the installers: '
            'its loader, fonts, theme and dialogs are Wine\'s, not those of a real Windows. '
            'Wine 8 has no Windows 11 mode, so Windows 11 is not among the runs. Wine loads '
            'every DLL and function in every mode: where an installer\'s header or imports say '
            'that a Windows will not start it, the run fails even when Wine started it. AutoRun, User Account Control, SmartScreen and signatures are not '
            'tried here, and the high-contrast runs set the system colours only: Wine has no '
            'high-contrast mode, and its themed buttons keep their light faces.</p>')
