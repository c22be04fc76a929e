#!/usr/bin/env python3
"""Draws the launcher icon and the two window pictures.

Run from the repository root:  python3 tools/make_art.py

Writes src/resources/kavrio.ico, principal.bmp and aplicacao.bmp. Only the
standard library is used, and nothing random or time-dependent, so every run
writes the same bytes. Shapes are rasterised on a supersampled canvas and
averaged down, which gives smooth edges; the pictures are then reduced to a
256-colour palette (median cut) for their 8-bit format.
"""

import math
import os
import struct
import sys

PICTURE_WIDTH, PICTURE_HEIGHT = 122, 262
ICON_SIZE = 32

WORDMARK_BLUE = (12, 38, 112)


# --------------------------------------------------------------------------
# Geometry: shapes are lists of closed contours of (x, y) in output pixels.

def ellipse(cx, cy, rx, ry, rotation=0.0, steps=96):
    cos_r, sin_r = math.cos(rotation), math.sin(rotation)
    points = []
    for k in range(steps):
        a = 2.0 * math.pi * k / steps
        x, y = rx * math.cos(a), ry * math.sin(a)
        points.append((cx + x * cos_r - y * sin_r, cy + x * sin_r + y * cos_r))
    return [points]


def circle(cx, cy, r):
    return ellipse(cx, cy, r, r)


def rect(x0, y0, x1, y1):
    return [[(x0, y0), (x1, y0), (x1, y1), (x0, y1)]]


def rounded_rect(x0, y0, x1, y1, r, steps=8):
    points = []
    corners = ((x1 - r, y0 + r, -90), (x1 - r, y1 - r, 0),
               (x0 + r, y1 - r, 90), (x0 + r, y0 + r, 180))
    for cx, cy, start in corners:
        for k in range(steps + 1):
            a = math.radians(start + 90.0 * k / steps)
            points.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return [points]


def polygon(*points):
    return [list(points)]


def bezier(p0, p1, p2, p3, steps=48):
    out = []
    for k in range(steps + 1):
        t = k / steps
        u = 1.0 - t
        out.append((u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                    u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]))
    return out


def ribbon(path, width_at):
    """A band along a polyline whose width is width_at(t), t from 0 to 1."""
    left, right = [], []
    n = len(path)
    for k, (x, y) in enumerate(path):
        xa, ya = path[max(k - 1, 0)]
        xb, yb = path[min(k + 1, n - 1)]
        dx, dy = xb - xa, yb - ya
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length, dx / length
        half = width_at(k / (n - 1)) / 2.0
        left.append((x + nx * half, y + ny * half))
        right.append((x - nx * half, y - ny * half))
    return [left + right[::-1]]


def arc_points(cx, cy, r, start_deg, end_deg, steps=48):
    return [(cx + r * math.cos(math.radians(start_deg + (end_deg - start_deg) * k / steps)),
             cy + r * math.sin(math.radians(start_deg + (end_deg - start_deg) * k / steps)))
            for k in range(steps + 1)]


# --------------------------------------------------------------------------
# Regions: for each sample row, a sorted list of disjoint [start, end) runs.

def _combine_runs(a, b, keep):
    edges = sorted({e for run in a for e in run} | {e for run in b for e in run})
    out = []

    def inside(runs, x):
        for s, e in runs:
            if s <= x < e:
                return True
        return False

    for left, right in zip(edges, edges[1:]):
        if keep(inside(a, left), inside(b, left)):
            if out and out[-1][1] == left:
                out[-1] = (out[-1][0], right)
            else:
                out.append((left, right))
    return out


class Region:
    def __init__(self, rows=None):
        self.rows = rows or {}

    def _op(self, other, keep):
        rows = {}
        for j in set(self.rows) | set(other.rows):
            runs = _combine_runs(self.rows.get(j, []), other.rows.get(j, []), keep)
            if runs:
                rows[j] = runs
        return Region(rows)

    def __or__(self, other):
        return self._op(other, lambda p, q: p or q)

    def __and__(self, other):
        return self._op(other, lambda p, q: p and q)

    def __sub__(self, other):
        return self._op(other, lambda p, q: p and not q)


# --------------------------------------------------------------------------
# Paints: a colour (r, g, b) or (r, g, b, a), or a function of (x, y).

def _mix(c0, c1, t):
    return tuple(a + (b - a) * t for a, b in zip(c0, c1))


def _rgba(colour):
    return colour if len(colour) == 4 else (colour[0], colour[1], colour[2], 1.0)


def _ramp(stops, t):
    if t <= stops[0][0]:
        return _rgba(stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return _mix(_rgba(c0), _rgba(c1), (t - t0) / ((t1 - t0) or 1.0))
    return _rgba(stops[-1][1])


def linear(p0, p1, stops):
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    length2 = dx * dx + dy * dy
    return lambda x, y: _ramp(stops, ((x - p0[0]) * dx + (y - p0[1]) * dy) / length2)


def radial(cx, cy, rx, ry, stops):
    return lambda x, y: _ramp(stops, math.hypot((x - cx) / rx, (y - cy) / ry))


# --------------------------------------------------------------------------

class Canvas:
    """An RGB canvas of ss x ss samples per output pixel (values 0..255)."""

    def __init__(self, width, height, ss, background):
        self.width, self.height, self.ss = width, height, ss
        self.sw, self.sh = width * ss, height * ss
        count = self.sw * self.sh
        self.r = [float(background[0])] * count
        self.g = [float(background[1])] * count
        self.b = [float(background[2])] * count

    def region(self, contours):
        s = self.ss
        edges = []
        for contour in contours:
            for k in range(len(contour)):
                (x0, y0), (x1, y1) = contour[k], contour[(k + 1) % len(contour)]
                if y0 != y1:
                    edges.append((x0 * s, y0 * s, x1 * s, y1 * s))
        if not edges:
            return Region()
        top = max(0, int(math.floor(min(min(e[1], e[3]) for e in edges))))
        bottom = min(self.sh - 1, int(math.ceil(max(max(e[1], e[3]) for e in edges))))
        rows = {}
        for j in range(top, bottom + 1):
            yc = j + 0.5
            xs = sorted(x0 + (yc - y0) * (x1 - x0) / (y1 - y0)
                        for x0, y0, x1, y1 in edges
                        if (y0 <= yc < y1) or (y1 <= yc < y0))
            runs = []
            for a, b in zip(xs[0::2], xs[1::2]):  # even-odd rule
                start = max(0, int(math.ceil(a - 0.5)))
                end = min(self.sw, int(math.ceil(b - 0.5)))
                if start < end:
                    runs.append((start, end))
            if runs:
                rows[j] = _combine_runs(runs, [], lambda p, q: p)
        return Region(rows)

    def stroke(self, path, width, closed=False):
        """Round-jointed thick polyline."""
        region = Region()
        pairs = list(zip(path, path[1:] + (path[:1] if closed else [])))
        for (x0, y0), (x1, y1) in pairs:
            dx, dy = x1 - x0, y1 - y0
            length = math.hypot(dx, dy) or 1.0
            nx, ny = -dy / length * width / 2, dx / length * width / 2
            region |= self.region(polygon((x0 + nx, y0 + ny), (x1 + nx, y1 + ny),
                                          (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)))
        for x, y in path:
            region |= self.region(circle(x, y, width / 2))
        return region

    def paint(self, shape, paint, alpha=1.0, mode="normal"):
        region = shape if isinstance(shape, Region) else self.region(shape)
        s, sw = self.ss, self.sw
        r, g, b = self.r, self.g, self.b
        fixed = None if callable(paint) else _rgba(paint)
        for j, runs in region.rows.items():
            y = (j + 0.5) / s
            for start, end in runs:
                for i in range(start, end):
                    cr, cg, cb, ca = fixed or paint((i + 0.5) / s, y)
                    a = ca * alpha
                    if a <= 0.0:
                        continue
                    k = j * sw + i
                    if mode == "screen":
                        cr = 255.0 - (255.0 - r[k]) * (255.0 - cr) / 255.0
                        cg = 255.0 - (255.0 - g[k]) * (255.0 - cg) / 255.0
                        cb = 255.0 - (255.0 - b[k]) * (255.0 - cb) / 255.0
                    r[k] += (cr - r[k]) * a
                    g[k] += (cg - g[k]) * a
                    b[k] += (cb - b[k]) * a

    def everywhere(self):
        return Region({j: [(0, self.sw)] for j in range(self.sh)})

    def downsample(self):
        """Average each ss x ss block: a list of rows of (r, g, b) floats."""
        s, sw = self.ss, self.sw
        n = float(s * s)
        image = []
        for y in range(self.height):
            row = []
            for x in range(self.width):
                tr = tg = tb = 0.0
                for j in range(y * s, y * s + s):
                    base = j * sw + x * s
                    tr += sum(self.r[base:base + s])
                    tg += sum(self.g[base:base + s])
                    tb += sum(self.b[base:base + s])
                row.append((tr / n, tg / n, tb / n))
            image.append(row)
        return image


def coverage(canvas, region):
    """Fraction of each output pixel that the region covers."""
    s = canvas.ss
    cover = [[0.0] * canvas.width for _ in range(canvas.height)]
    for j, runs in region.rows.items():
        row = cover[j // s]
        for start, end in runs:
            for i in range(start, end):
                row[i // s] += 1.0 / (s * s)
    return cover


# --------------------------------------------------------------------------
# Colours of the pictures.

LIME_PALE = (232, 246, 196)
LIME_LIGHT = (200, 232, 120)
LIME = (158, 208, 48)
LIME_MID = (118, 176, 30)
LIME_DEEP = (66, 118, 18)
LIME_DARK = (34, 70, 12)
WHITE = (255, 255, 255)


def draw_background(c, glow_y):
    c.paint(c.everywhere(), linear((0, 0), (0, c.height), [
        (0.0, (214, 238, 150)), (0.35, (176, 220, 82)), (0.75, (140, 198, 44)),
        (0.9, (188, 226, 110)), (1.0, (236, 246, 214))]))
    # Soft glow behind the main subject.
    c.paint(circle(c.width * 0.5, glow_y, 70), radial(c.width * 0.5, glow_y, 70, 70, [
        (0.0, (250, 255, 225, 0.75)), (1.0, (250, 255, 225, 0.0))]))
    # Large faint rings and squares: the layered, collage texture.
    c.paint(Region(c.region(circle(104, glow_y + 96, 44)).rows) - c.region(circle(104, glow_y + 96, 36)),
            (255, 255, 230), 0.18)
    c.paint(rounded_rect(-20, glow_y + 40, 40, glow_y + 100, 8), (90, 150, 20), 0.12)
    c.paint(rounded_rect(70, -10, 140, 40, 10), (255, 255, 235), 0.14)


def draw_streak(c, path, width, colour=(255, 255, 236)):
    """A light trail: a wide faint glow, a brighter band and a thin core."""
    taper = lambda w: (lambda t: w * math.sin(math.pi * min(max(t, 0.0), 1.0)) ** 0.7)
    c.paint(ribbon(path, taper(width * 4.0)), colour, 0.16, mode="screen")
    c.paint(ribbon(path, taper(width * 2.0)), colour, 0.30, mode="screen")
    c.paint(ribbon(path, taper(width)), colour, 0.85, mode="screen")


def draw_sparkle(c, x, y, size, alpha=0.9):
    c.paint(circle(x, y, size * 0.9), radial(x, y, size * 0.9, size * 0.9, [
        (0.0, (255, 255, 240, 0.8)), (1.0, (255, 255, 240, 0.0))]), alpha, mode="screen")
    thin = size * 0.12
    c.paint(polygon((x - size * 2, y), (x, y - thin), (x + size * 2, y), (x, y + thin)), WHITE, alpha)
    c.paint(polygon((x, y - size * 1.6), (x + thin, y), (x, y + size * 1.6), (x - thin, y)), WHITE, alpha)


def draw_monitor(c, x0, y0, w, h, screen_content):
    """A CRT monitor seen a little from the right: bezel, glass, housing, stand."""
    x1, y1 = x0 + w, y0 + h
    depth = w * 0.16
    # Housing behind the bezel (its right side and top), then the shadow below.
    c.paint(ellipse(x0 + w * 0.55, y1 + h * 0.30, w * 0.55, h * 0.06), LIME_DARK, 0.25)
    c.paint(polygon((x1 - 2, y0 + 3), (x1 + depth * 0.55, y0 + h * 0.16), (x1 + depth * 0.55, y1 - h * 0.2),
                    (x1 - 2, y1 - 3)),
            linear((x1, 0), (x1 + depth, 0), [(0.0, (150, 176, 120)), (1.0, (110, 138, 84))]))
    # Stand: neck and an oval foot.
    cx = x0 + w * 0.5
    c.paint(ellipse(cx + 1, y1 + h * 0.24, w * 0.34, h * 0.075), (96, 122, 70))
    c.paint(ellipse(cx + 1, y1 + h * 0.22, w * 0.34, h * 0.07), linear((0, y1 + h * 0.16), (0, y1 + h * 0.28), [
        (0.0, (226, 236, 206)), (1.0, (160, 182, 130))]))
    c.paint(polygon((cx - w * 0.12, y1 - 2), (cx + w * 0.12, y1 - 2), (cx + w * 0.16, y1 + h * 0.2),
                    (cx - w * 0.16, y1 + h * 0.2)),
            linear((cx - w * 0.16, 0), (cx + w * 0.16, 0), [(0.0, (210, 224, 188)), (1.0, (140, 164, 110))]))
    # Bezel with a dark outline, light from the top left.
    c.paint(rounded_rect(x0 - 0.8, y0 - 0.8, x1 + 0.8, y1 + 0.8, 6), (70, 96, 48))
    c.paint(rounded_rect(x0, y0, x1, y1, 5.5), linear((x0, y0), (x1 * 0.3 + x0 * 0.7, y1), [
        (0.0, (248, 252, 238)), (0.6, (222, 234, 200)), (1.0, (184, 204, 156))]))
    # Glass: inset with a dark rim, curved CRT corners.
    sx0, sy0, sx1, sy1 = x0 + w * 0.085, y0 + h * 0.095, x1 - w * 0.085, y1 - h * 0.19
    c.paint(rounded_rect(sx0 - 1.2, sy0 - 1.2, sx1 + 1.2, sy1 + 1.2, 4.5), (120, 142, 96))
    glass = c.region(rounded_rect(sx0, sy0, sx1, sy1, 3.5))
    c.paint(glass, radial((sx0 + sx1) / 2, (sy0 + sy1) / 2, (sx1 - sx0) * 0.7, (sy1 - sy0) * 0.7, [
        (0.0, (60, 150, 60)), (0.7, (26, 92, 40)), (1.0, (12, 52, 26))]))
    screen_content(c, glass, sx0, sy0, sx1, sy1)
    # Reflection across the glass.
    c.paint(glass & c.region(polygon((sx0, sy0), (sx0 + (sx1 - sx0) * 0.55, sy0), (sx0, sy0 + (sy1 - sy0) * 0.8))),
            linear((sx0, sy0), (sx0 + (sx1 - sx0) * 0.3, sy0 + (sy1 - sy0) * 0.4), [
                (0.0, (255, 255, 255, 0.34)), (1.0, (255, 255, 255, 0.06))]))
    # Front panel: a row of buttons and a lit power light.
    by = y1 - h * 0.095
    for k in range(3):
        c.paint(rounded_rect(x0 + w * (0.12 + 0.08 * k), by - 1.1, x0 + w * (0.17 + 0.08 * k), by + 1.1, 1.0),
                (150, 170, 126))
    c.paint(circle(x1 - w * 0.12, by, 2.4), (180, 255, 90, 0.5), mode="screen")
    c.paint(circle(x1 - w * 0.12, by, 1.3), (150, 255, 40))
    c.paint(rect(x0 + w * 0.42, by - 0.6, x0 + w * 0.62, by + 0.6), (160, 180, 136))


def window_on_screen(c, glass, box, title_height, face):
    """A window drawn on the monitor's glass: its shadow, its face and a blue title bar."""
    wx0, wy0, wx1, wy1 = box
    c.paint(glass & c.region(rect(wx0 + 1.5, wy0 + 1.5, wx1 + 1.5, wy1 + 1.5)), (0, 30, 10), 0.4)
    c.paint(glass & c.region(rect(wx0, wy0, wx1, wy1)), face)
    c.paint(glass & c.region(rect(wx0, wy0, wx1, wy0 + title_height)), linear((wx0, 0), (wx1, 0), [
        (0.0, (20, 60, 150)), (1.0, (110, 170, 230))]))


def screen_desktop(c, glass, sx0, sy0, sx1, sy1):
    """A browser-like window on the screen, with text lines and a picture."""
    w, h = sx1 - sx0, sy1 - sy0
    wx0, wy0, wx1, wy1 = sx0 + w * 0.12, sy0 + h * 0.14, sx1 - w * 0.1, sy1 - h * 0.12
    window_on_screen(c, glass, (wx0, wy0, wx1, wy1), h * 0.13, (226, 244, 204))
    for k in range(3):
        bx = wx1 - 2.5 - k * 3.2
        c.paint(rect(bx - 1.2, wy0 + h * 0.03, bx + 1.2, wy0 + h * 0.1), (225, 230, 240))
    top = wy0 + h * 0.2
    c.paint(rect(wx0 + 2.5, top, wx0 + (wx1 - wx0) * 0.42, top + h * 0.3), linear((0, top), (0, top + h * 0.3), [
        (0.0, (120, 200, 60)), (1.0, (60, 140, 30))]))
    c.paint(polygon((wx0 + 3, top + h * 0.3), (wx0 + 8, top + h * 0.1), (wx0 + 13, top + h * 0.3)), (40, 100, 20))
    c.paint(circle(wx0 + 12.5, top + h * 0.09, 1.6), (255, 250, 160))
    for k in range(6):
        ly = top + 1 + k * h * 0.085
        lx0 = wx0 + (wx1 - wx0) * (0.5 if k < 4 else 0.08)
        lx1 = wx1 - 2.5 - (5 if k % 3 == 2 else 0)
        c.paint(rect(lx0, ly, lx1, ly + 1.1), (90, 120, 90) if k else (30, 70, 150))


def screen_installer(c, glass, sx0, sy0, sx1, sy1):
    """A setup dialog with a progress bar, on the screen."""
    w, h = sx1 - sx0, sy1 - sy0
    wx0, wy0, wx1, wy1 = sx0 + w * 0.14, sy0 + h * 0.16, sx1 - w * 0.12, sy1 - h * 0.14
    window_on_screen(c, glass, (wx0, wy0, wx1, wy1), h * 0.14, (228, 244, 208))
    c.paint(circle(wx0 + 7, wy0 + h * 0.42, 4.2), (60, 150, 220))
    c.paint(polygon((wx0 + 5, wy0 + h * 0.42 - 2.5), (wx0 + 9.5, wy0 + h * 0.42), (wx0 + 5, wy0 + h * 0.42 + 2.5)),
            (190, 255, 70))
    for k in range(2):
        ly = wy0 + h * (0.32 + 0.14 * k)
        c.paint(rect(wx0 + 14, ly, wx1 - 3 - 6 * k, ly + 1.1), (90, 120, 90))
    px0, py0, px1, py1 = wx0 + 3, wy1 - h * 0.22, wx1 - 3, wy1 - h * 0.1
    c.paint(rect(px0 - 0.7, py0 - 0.7, px1 + 0.7, py1 + 0.7), (80, 110, 80))
    c.paint(rect(px0, py0, px1, py1), WHITE)
    done = px0 + (px1 - px0) * 0.64
    step = (py1 - py0) * 0.9
    x = px0 + 0.5
    while x + step * 0.8 <= done:
        c.paint(rect(x, py0 + 0.5, x + step * 0.8, py1 - 0.5), (40, 90, 200))
        x += step


def draw_person(c, facing_desk_x):
    """A person seen from the side, sitting on an office chair and typing."""
    d = facing_desk_x
    skin = (236, 222, 172)
    skin_shade = (196, 180, 120)
    shirt = linear((0, 150), (0, 210), [(0.0, (92, 150, 40)), (1.0, (54, 104, 20))])
    trousers = (44, 78, 30)
    hair = (40, 56, 22)
    chair = (30, 48, 24)
    # Chair: back, seat, post and a five-star base on castors.
    c.paint(rounded_rect(12, 152, 22, 200, 4), chair)
    c.paint(c.stroke([(20, 190), (26, 204)], 3), chair)
    c.paint(rounded_rect(16, 203, 54, 209, 2.5), chair)
    c.paint(rect(32, 209, 36, 226), (54, 70, 46))
    c.paint(c.stroke([(18, 229), (34, 225), (50, 229)], 2.6), chair)
    for x in (18, 34, 50):
        c.paint(circle(x, 231, 2.0), (20, 30, 16))
    # Far arm, behind the body (darker).
    c.paint(c.stroke([(44, 168), (52, 188), (d + 10, 186)], 6.5), (60, 104, 26))
    # Legs: thigh forward under the desk, shin down, a shoe.
    c.paint(c.stroke([(32, 200), (70, 202)], 12), trousers)
    c.paint(c.stroke([(70, 202), (73, 230)], 8.5), trousers)
    c.paint(c.stroke([(71, 233), (83, 234)], 5), (20, 28, 16))
    # Torso leaning a little forward, shirt shaded.
    torso = c.region(polygon((30, 164), (40, 157), (52, 160), (56, 178), (52, 202), (28, 203), (26, 184)))
    c.paint(torso, shirt)
    c.paint(torso & c.region(polygon((22, 150), (34, 150), (34, 206), (22, 206))), (30, 70, 10), 0.35)
    # Neck and head: face in profile, looking at the screen.
    c.paint(rect(43, 148, 50, 160), skin_shade)
    head = c.region(ellipse(47, 141, 9.5, 11, math.radians(-10)))
    head |= c.region(polygon((54, 139), (58.5, 143.5), (55, 145)))  # nose
    head |= c.region(ellipse(53, 149, 5, 3.2))  # chin
    c.paint(head, radial(52, 138, 13, 13, [(0.0, skin), (1.0, skin_shade)]))
    c.paint(circle(44, 142, 2.2), (206, 186, 128))  # ear
    c.paint(c.region(polygon((37, 144), (38, 133), (44, 129), (52, 129), (57, 135), (50, 134), (44, 137),
                             (43, 146))) | c.region(ellipse(45, 135, 9.5, 6.5, math.radians(-10))),
            hair)
    c.paint(circle(53.5, 139.5, 0.9), (40, 50, 20))  # eye
    # Near arm: shoulder, elbow bent, forearm level to the keys, hand.
    c.paint(c.stroke([(42, 168), (50, 190), (d + 6, 188)], 8), linear((0, 165), (0, 195), [
        (0.0, (120, 178, 50)), (1.0, (70, 124, 26))]))
    c.paint(ellipse(d + 9, 187.5, 5, 3, math.radians(8)), skin)
    c.paint(ellipse(d + 10, 188.8, 3.5, 1.2, math.radians(8)), skin_shade)


def draw_desk_and_keyboard(c, x_left):
    # Desk top, its front edge and a leg.
    c.paint(rect(x_left, 191, c.width + 1, 198), linear((0, 191), (0, 198), [
        (0.0, (250, 252, 236)), (0.45, (216, 232, 186)), (1.0, (150, 172, 116))]))
    c.paint(rect(x_left, 197, c.width + 1, 198.6), (84, 110, 60))
    c.paint(rect(x_left + 44, 198, x_left + 49, 238), linear((x_left + 44, 0), (x_left + 49, 0), [
        (0.0, (170, 190, 140)), (1.0, (110, 136, 84))]))
    # Keyboard on the desk, keys catching the light.
    kx0, kx1 = x_left + 4, x_left + 40
    c.paint(polygon((kx0, 191.2), (kx1, 191.2), (kx1 - 2, 186.6), (kx0 + 1, 188.4)), (68, 92, 52))
    c.paint(polygon((kx0 + 1, 188.0), (kx1 - 2, 186.2), (kx1 - 1.2, 187.6), (kx0 + 1.2, 189.4)), (236, 244, 222))
    for k in range(9):
        x = kx0 + 3 + k * 3.8
        c.paint(rect(x, 189.2 - k * 0.19, x + 2.6, 190.4 - k * 0.19), (200, 214, 180))
    # A mouse beside it.
    c.paint(ellipse(kx1 + 8, 189.6, 3.4, 1.7), (236, 244, 222))
    c.paint(ellipse(kx1 + 8, 190.6, 3.4, 0.8), (90, 110, 70))


def draw_wordmark(image, text="Kavrio", baseline=None):
    """The dark-blue wordmark in a bold pixel font, centred near the foot."""
    glyphs = {
        "K": ["##....##", "##...##.", "##..##..", "##.##...", "####....",
              "#####...", "##.###..", "##..###.", "##...###", "##....##"],
        "a": [".####.", "#...##", "....##", ".#####", "##..##", "##..##", ".#####"],
        "v": ["##...##", "##...##", "##...##", ".##.##.", ".##.##.", "..###..", "..###.."],
        "r": ["##.###", "######", "###...", "##....", "##....", "##....", "##...."],
        "i": ["##", "##", "..", "##", "##", "##", "##", "##", "##", "##"],
        "o": [".####.", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."],
    }
    height = len(image)
    width = len(image[0])
    baseline = height - 8 if baseline is None else baseline
    total = sum(len(glyphs[ch][0]) for ch in text) + len(text) - 1
    x = (width - total) // 2
    for ch in text:
        rows = glyphs[ch]
        top = baseline - len(rows)
        for j, line in enumerate(rows):
            for i, bit in enumerate(line):
                if bit == "#":
                    image[top + j][x + i] = WORDMARK_BLUE
        x += len(rows[0]) + 1


def foot_band(c):
    """A pale band at the foot, where the wordmark stands."""
    top = c.height - 26
    c.paint(rect(0, top, c.width, c.height), linear((0, top), (0, top + 12), [
        (0.0, (244, 250, 230, 0.0)), (1.0, (244, 250, 230, 0.92))]))
    c.paint(rect(8, c.height - 4.2, c.width - 8, c.height - 3.4), linear((8, 0), (c.width - 8, 0), [
        (0.0, (120, 190, 30, 0.0)), (0.5, (120, 190, 30, 1.0)), (1.0, (120, 190, 30, 0.0))]))


def collage(glow_y, streaks, monitor, screen):
    """The pictures' common ground: the lime background, streaks of light, and a monitor
    showing `screen`; streaks are (bezier points, width[, colour])."""
    c = Canvas(PICTURE_WIDTH, PICTURE_HEIGHT, 4, LIME)
    draw_background(c, glow_y=glow_y)
    for points, *look in streaks:
        draw_streak(c, bezier(*points), *look)
    draw_monitor(c, *monitor, screen)
    return c


def draw_principal():
    c = collage(70, [(((-10, 250), (20, 170), (60, 120), (135, 95)), 2.2),
                     (((-10, 128), (40, 118), (90, 60), (132, 8)), 1.5),
                     (((-8, 40), (30, 80), (80, 130), (130, 140)), 1.2, (255, 255, 200))],
                (12, 18, 88, 74), screen_desktop)
    c.paint(rounded_rect(4, 122, 118, 240, 6), (250, 255, 236), 0.30)
    draw_desk_and_keyboard(c, 66)
    draw_person(c, 72)
    draw_streak(c, bezier((-6, 236), (40, 226), (80, 170), (128, 150)), 1.4)
    draw_sparkle(c, 101, 18, 3.2)
    draw_sparkle(c, 88, 104, 2.2, 0.8)
    draw_sparkle(c, 19, 125, 2.0, 0.7)
    foot_band(c)
    image = c.downsample()
    draw_wordmark(image)
    return image


def draw_discs(c, cx, cy, count):
    """A stack of CDs in perspective; the top one shows its rainbow sheen and hub."""
    rx, ry, thick = 30, 10.5, 2.6
    for k in range(count):
        y = cy - k * (thick + 0.6)
        c.paint(ellipse(cx, y + thick, rx, ry), (96, 118, 104))
        c.paint(c.region(rect(cx - rx, y, cx + rx, y + thick)) | c.region(ellipse(cx, y + thick, rx, ry)),
                linear((cx - rx, 0), (cx + rx, 0), [(0.0, (150, 170, 160)), (0.4, (236, 242, 240)),
                                                  (1.0, (120, 140, 130))]))
        c.paint(ellipse(cx, y, rx, ry), (120, 140, 132))
    top = cy - (count - 1) * (thick + 0.6)
    face = c.region(ellipse(cx, top, rx - 0.5, ry - 0.4))

    def sheen(x, y):
        a = math.atan2((y - top) / ry, (x - cx) / rx)
        t = (math.sin(2 * a + 0.6) + 1) / 2
        base = _ramp([(0.0, (210, 222, 236)), (0.25, (236, 210, 250)), (0.5, (250, 248, 200)),
                      (0.75, (196, 246, 214)), (1.0, (200, 230, 252))], t)
        return base
    c.paint(face, sheen)
    c.paint(face & c.region(polygon((cx - rx, top - ry), (cx - 4, top - ry), (cx + 6, top + ry), (cx - rx, top + ry))),
            (255, 255, 255), 0.35)
    c.paint(ellipse(cx, top, rx * 0.36, ry * 0.36), (200, 210, 214))
    c.paint(ellipse(cx, top, rx * 0.30, ry * 0.30), (230, 236, 238))
    c.paint(ellipse(cx, top, rx * 0.13, ry * 0.13), (120, 170, 40))
    c.paint(Region(c.region(ellipse(cx, top, rx - 0.3, ry - 0.2)).rows) - face, (110, 130, 120))


def draw_cd_face(c, cx, cy, r, tilt=0.9):
    """A single CD seen face-on (slightly tilted): rainbow sheen, clear hub, hole."""
    c.paint(ellipse(cx + 2, cy + 3, r, r * tilt), (30, 60, 10), 0.3)
    hole = c.region(ellipse(cx, cy, r * 0.14, r * 0.14 * tilt))
    c.paint(c.region(ellipse(cx, cy, r, r * tilt)) - hole, (110, 128, 120))
    face = c.region(ellipse(cx, cy, r - 0.8, (r - 0.8) * tilt)) - c.region(ellipse(cx, cy, r * 0.36, r * 0.36 * tilt))

    def sheen(x, y):
        a = math.atan2((y - cy) / tilt, x - cx)
        t = (math.sin(2 * a + 1.1) + 1) / 2
        return _ramp([(0.0, (214, 224, 236)), (0.3, (240, 214, 250)), (0.55, (252, 250, 204)),
                      (0.8, (200, 246, 218)), (1.0, (206, 232, 252))], t)
    c.paint(face, sheen)
    c.paint(face & c.region(polygon((cx - r, cy - r), (cx + r * 0.1, cy - r), (cx - r * 0.2, cy + r),
                                    (cx - r, cy + r))), WHITE, 0.25)
    c.paint(c.region(ellipse(cx, cy, r * 0.36, r * 0.36 * tilt)) - hole, (226, 234, 236, 0.85))
    c.paint(c.region(ellipse(cx, cy, r * 0.24, r * 0.24 * tilt)) - hole, (196, 206, 210))


def draw_curved_arrow(c, cx, cy, radius, start_deg, end_deg, width):
    """A bold yellow arrow along an arc, with its head at end_deg."""
    inner = arc_points(cx, cy, radius - width / 2, start_deg, end_deg)
    outer = arc_points(cx, cy, radius + width / 2, start_deg, end_deg)
    a = math.radians(end_deg)
    direction = 1.0 if end_deg > start_deg else -1.0
    tx, ty = -math.sin(a) * direction, math.cos(a) * direction  # tangent at the end
    ex, ey = cx + radius * math.cos(a), cy + radius * math.sin(a)
    nx, ny = math.cos(a), math.sin(a)
    head_half, head_len = width * 1.15, width * 1.5
    head = polygon((ex + nx * head_half, ey + ny * head_half), (ex + tx * head_len, ey + ty * head_len),
                   (ex - nx * head_half, ey - ny * head_half))
    body = [outer + inner[::-1]]
    shadow = [[(x + 2, y + 2.5) for x, y in body[0]], [(x + 2, y + 2.5) for x, y in head[0]]]
    c.paint(c.region([shadow[0]]) | c.region([shadow[1]]), (30, 60, 10), 0.35)
    outline = c.region(body) | c.region(head)
    grown = outline
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1), (-0.7, -0.7), (0.7, 0.7), (-0.7, 0.7), (0.7, -0.7)):
        grown = grown | c.region([[(x + dx, y + dy) for x, y in body[0]]]) | c.region([[(x + dx, y + dy) for x, y in head[0]]])
    c.paint(grown, (150, 92, 0))
    c.paint(outline, radial(cx, cy, radius + width * 1.2, radius + width * 1.2, [
        (0.0, (255, 246, 120)), (0.75, (255, 214, 0)), (0.9, (250, 184, 0)), (1.0, (232, 140, 0))]))
    # A highlight along the outer edge of the band.
    shine = arc_points(cx, cy, radius + width * 0.18, start_deg + (end_deg - start_deg) * 0.06,
                       end_deg - (end_deg - start_deg) * 0.05)
    c.paint(ribbon(shine, lambda t: width * 0.3 * math.sin(math.pi * t) ** 0.5), (255, 255, 220), 0.75)


def draw_aplicacao():
    c = collage(64, [(((-10, 200), (30, 150), (70, 120), (135, 118)), 1.8),
                     (((-10, 110), (40, 100), (90, 50), (132, 4)), 1.4),
                     (((-6, 250), (50, 240), (90, 200), (130, 205)), 1.2, (255, 255, 200))],
                (14, 16, 86, 72), screen_installer)
    draw_cd_face(c, 93, 212, 19)
    draw_discs(c, 44, 206, 5)
    draw_curved_arrow(c, 56, 150, 38, 110, -40, 11)
    draw_sparkle(c, 104, 16, 3.2)
    draw_sparkle(c, 16, 170, 2.2, 0.8)
    foot_band(c)
    image = c.downsample()
    draw_wordmark(image)
    return image


# --------------------------------------------------------------------------
# Palette: a few fixed colours, the rest by median cut over the image.

def median_cut(counts, boxes_wanted):
    boxes = [sorted(counts.items())]
    while len(boxes) < boxes_wanted:
        best, best_score, best_channel = None, 0, 0
        for index, box in enumerate(boxes):
            if len(box) < 2:
                continue
            spans = [max(c[ch] for c, _ in box) - min(c[ch] for c, _ in box) for ch in range(3)]
            channel = max(range(3), key=lambda ch: spans[ch])
            population = sum(n for _, n in box)
            score = spans[channel] * math.sqrt(population)
            if score > best_score:
                best, best_score, best_channel = index, score, channel
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda item: (item[0][best_channel], item[0]))
        half, running, cut = sum(n for _, n in box) / 2.0, 0, 1
        for k, (_, n) in enumerate(box):
            running += n
            if running >= half:
                cut = min(max(k + 1, 1), len(box) - 1)
                break
        boxes += [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(n for _, n in box)
        palette.append(tuple(int(round(sum(c[ch] * n for c, n in box) / total)) for ch in range(3)))
    return palette


def quantise(image, fixed):
    """Returns (palette of 256 colours, rows of indices)."""
    pixels = [tuple(min(255, max(0, int(round(v)))) for v in p) for row in image for p in row]
    counts = {}
    for p in pixels:
        if p not in fixed:
            counts[p] = counts.get(p, 0) + 1
    palette = list(fixed)
    for colour in median_cut(counts, 256 - len(fixed)):
        if colour not in palette:
            palette.append(colour)
    grey = 0
    while len(palette) < 256:  # unused entries: a grey ramp
        palette.append((grey, grey, grey))
        grey += 1
    lookup = {}
    for p in set(pixels):
        lookup[p] = min(range(256), key=lambda k: (
            2 * (palette[k][0] - p[0]) ** 2 + 4 * (palette[k][1] - p[1]) ** 2 + 3 * (palette[k][2] - p[2]) ** 2, k))
    width = len(image[0])
    indices = [[lookup[pixels[y * width + x]] for x in range(width)] for y in range(len(image))]
    return palette, indices


# --------------------------------------------------------------------------
# File writers.

PELS_PER_METRE_96DPI = 3780


def bmp8_bytes(palette, indices):
    height, width = len(indices), len(indices[0])
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(indices):  # bottom-up
        pixels += bytes(row) + bytes(stride - width)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    offset = 14 + 40 + len(colours)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(pixels),
                       PELS_PER_METRE_96DPI, PELS_PER_METRE_96DPI, 256, 0)
    return file_header + info + colours + bytes(pixels)


def ico_bytes(image, opaque):
    """One 32 x 32 entry: 24-bit XOR image and 1-bit AND mask, both bottom-up."""
    size = len(image)
    xor = bytearray()
    for y in reversed(range(size)):
        for x in range(size):
            r, g, b = image[y][x] if opaque[y][x] else (0, 0, 0)
            xor += bytes((b, g, r))
        xor += bytes((-size * 3) % 4)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if not opaque[y][x]:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    data = info + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(data), 6 + 16)
    return directory + entry + data


def draw_icon():
    c = Canvas(ICON_SIZE, ICON_SIZE, 8, (8, 34, 110))
    cx = cy = 16.0
    outer = c.region(circle(cx, cy, 15.3))
    c.paint(outer, linear((0, 1), (0, 31), [(0.0, (40, 90, 190)), (1.0, (6, 26, 90))]))
    body = c.region(circle(cx, cy, 13.6))
    c.paint(body, radial(12.5, 11.5, 19, 19, [
        (0.0, (120, 190, 255)), (0.45, (40, 118, 232)), (0.85, (14, 64, 176)), (1.0, (10, 44, 140))]))
    # Light reflected up from below.
    c.paint(body & c.region(ellipse(cx, 27, 11, 6)), radial(cx, 28, 11, 6, [
        (0.0, (120, 200, 255, 0.55)), (1.0, (120, 200, 255, 0.0))]))
    # The arrow: a drop shadow, a dark green edge, then a lime body.
    arrow = [(7.2, 13.2), (15.4, 13.2), (15.4, 8.0), (25.4, 16.0), (15.4, 24.0), (15.4, 18.8), (7.2, 18.8)]
    c.paint(polygon(*[(x + 0.9, y + 1.2) for x, y in arrow]), (4, 20, 70), 0.55)
    c.paint(c.stroke(arrow, 1.5, closed=True) | c.region([arrow]), (34, 96, 10))
    c.paint([arrow], linear((0, 8), (0, 24), [(0.0, (206, 255, 110)), (0.5, (150, 226, 40)), (1.0, (88, 170, 16))]))
    # Gloss over the upper half.
    c.paint(body & c.region(ellipse(cx, 9.2, 10.6, 6.6)), linear((0, 2.6), (0, 15.8), [
        (0.0, (255, 255, 255, 0.78)), (1.0, (255, 255, 255, 0.06))]))
    image = [[tuple(min(255, max(0, int(round(v)))) for v in p) for p in row] for row in c.downsample()]
    opaque = [[cover >= 0.5 for cover in row] for row in coverage(c, outer)]
    return image, opaque


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir)
    out_dir = os.path.normpath(os.path.join(root, "src", "resources"))
    fixed = [WORDMARK_BLUE, WHITE, (0, 0, 0)]
    outputs = {
        "kavrio.ico": lambda: ico_bytes(*draw_icon()),
        "principal.bmp": lambda: bmp8_bytes(*quantise(draw_principal(), fixed)),
        "aplicacao.bmp": lambda: bmp8_bytes(*quantise(draw_aplicacao(), fixed)),
    }
    wanted = sys.argv[1:] or list(outputs)
    for name in wanted:
        data = outputs[name]()
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
        print("%s: %d bytes" % (os.path.join("src", "resources", name), len(data)))


if __name__ == "__main__":
    main()
