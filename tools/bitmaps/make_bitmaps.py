#!/usr/bin/env python3
"""Draws the toolbar's pictures and writes them as 24-bit BMP files:

  buttons.bmp       bitmap 113: 17 button images of 20 x 20 side by side (340 x 20) on magenta (255, 0, 255)
  buttons_mask.bmp  bitmap 115: its mask, white where buttons.bmp is magenta, black everywhere else
  logo.bmp          bitmap 123: the logo (a quill on the product square and the name), 100 x 20 on white

Every shape is a set of polygons filled with the non-zero rule on a grid of SAMPLES x SAMPLES points per pixel
and averaged down (supersampling), so edges are smooth at 20 x 20 and still hold up when the toolbar stretches
the strip to 25 x 25 at 120 DPI. Letters are drawn from strokes defined here; no font is read.

The output depends only on this file: run it again and the bytes are the same (the build checks that).
Usage: make_bitmaps.py [--out DIRECTORY]   (default: src/resources/bitmaps of this repository)
"""

import argparse
import math
import os
import struct
import sys

SAMPLES = 16  # per pixel, in each direction
CELL = 20
CELL_COUNT = 17
MAGENTA = (255, 0, 255)
# Pixels of a button that are partly covered are finished against a light toolbar colour, then kept when at
# least half covered; the rest become transparent (magenta, and white in the mask).
TOOLBAR_GREY = (236, 238, 242)
OPAQUE_FROM = 0.5

# Product colours.
SQUARE_EDGE = (22, 26, 48)
SQUARE_TOP = (72, 84, 132)
SQUARE_BOTTOM = (36, 42, 74)
WHITE = (255, 255, 255)
RED = (232, 64, 82)
GOLD = (255, 196, 46)
GOLD_DARK = (214, 140, 20)
GREEN = (76, 206, 96)
ORANGE = (255, 146, 28)
BLUE = (70, 150, 240)
NAVY = (40, 48, 92)


# ----------------------------------------------------------------------------------------------- geometry


def signed_area(poly):
    area = 0.0
    for i, (x0, y0) in enumerate(poly):
        x1, y1 = poly[(i + 1) % len(poly)]
        area += x0 * y1 - x1 * y0
    return area / 2


def oriented(poly, positive=True):
    """The polygon with its winding chosen: positive for solid parts, negative for holes."""
    return list(poly) if (signed_area(poly) >= 0) == positive else list(reversed(poly))


def ellipse(cx, cy, rx, ry=None, steps=72):
    ry = rx if ry is None else ry
    return [(cx + rx * math.cos(2 * math.pi * i / steps), cy + ry * math.sin(2 * math.pi * i / steps))
            for i in range(steps)]


def arc(cx, cy, rx, ry, start_deg, end_deg, steps=None):
    """Points of an elliptical arc; angles in degrees, clockwise on screen (y grows downwards)."""
    steps = steps or max(4, int(abs(end_deg - start_deg) / 6))
    return [(cx + rx * math.cos(math.radians(start_deg + (end_deg - start_deg) * i / steps)),
             cy + ry * math.sin(math.radians(start_deg + (end_deg - start_deg) * i / steps)))
            for i in range(steps + 1)]


def cubic(p0, p1, p2, p3, steps=24):
    points = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        points.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                       u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return points


def path(*pieces):
    """Joins point lists, dropping a point that repeats the previous one."""
    points = []
    for piece in pieces:
        for point in piece:
            if not points or math.dist(points[-1], point) > 1e-9:
                points.append(point)
    return points


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def rounded_rect(x0, y0, x1, y1, r):
    return path(arc(x1 - r, y0 + r, r, r, -90, 0), arc(x1 - r, y1 - r, r, r, 0, 90),
                arc(x0 + r, y1 - r, r, r, 90, 180), arc(x0 + r, y0 + r, r, r, 180, 270))


def stroke(points, width, cap="round", closed=False):
    """A line of the given width along the points, as polygons: one quadrilateral per segment and a disc at
    every joint (round joins). cap: "round", "butt" or "square" for the two ends of an open line."""
    half = width / 2
    polys = []
    pts = list(points)
    if closed:
        pts.append(pts[0])
    for i in range(len(pts) - 1):
        (x0, y0), (x1, y1) = pts[i], pts[i + 1]
        length = math.dist((x0, y0), (x1, y1))
        if length < 1e-9:
            continue
        dx, dy = (x1 - x0) / length, (y1 - y0) / length
        nx, ny = -dy * half, dx * half
        if not closed and cap == "square":
            if i == 0:
                x0, y0 = x0 - dx * half, y0 - dy * half
            if i == len(pts) - 2:
                x1, y1 = x1 + dx * half, y1 + dy * half
        polys.append([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)])
    joints = pts[1:-1] if not closed else pts[:-1]
    if not closed and cap == "round":
        joints = pts
    for x, y in joints:
        polys.append(ellipse(x, y, half, half, steps=max(16, int(width * 12))))
    return polys


def transform(polys, scale=1.0, dx=0.0, dy=0.0, rotate_deg=0.0, about=(0.0, 0.0)):
    c, s = math.cos(math.radians(rotate_deg)), math.sin(math.radians(rotate_deg))
    ax, ay = about
    result = []
    for poly in polys:
        result.append([(ax + ((x - ax) * c - (y - ay) * s) * scale + dx, ay + ((x - ax) * s + (y - ay) * c) * scale + dy)
                       for x, y in poly])
    return result


# ----------------------------------------------------------------------------------------------- raster


class Canvas:
    """Premultiplied RGBA pixels (floats), painted shape by shape."""

    def __init__(self, width, height, background=None):
        self.width, self.height = width, height
        fill = (0.0, 0.0, 0.0, 0.0) if background is None else tuple(c / 255 for c in background) + (1.0,)
        self.pixels = [list(fill) for _ in range(width * height)]

    def coverage(self, solids, holes=()):
        """Share of each pixel's samples inside the shape: the solids united, the holes cut out (non-zero rule).
        Returns {pixel index: share} for the pixels touched."""
        ss = SAMPLES
        edges = []
        for poly, positive in [(p, True) for p in solids] + [(p, False) for p in holes]:
            poly = oriented(poly, positive)
            for i, (x0, y0) in enumerate(poly):
                x1, y1 = poly[(i + 1) % len(poly)]
                if y0 != y1:
                    edges.append((x0 * ss, y0 * ss, x1 * ss, y1 * ss))
        if not edges:
            return {}
        width_samples = self.width * ss
        top = max(0, math.floor(min(min(e[1], e[3]) for e in edges)))
        bottom = min(self.height * ss, math.ceil(max(max(e[1], e[3]) for e in edges)))
        counts = {}
        for sy in range(top, bottom):
            yc = sy + 0.5
            crossings = []
            for x0, y0, x1, y1 in edges:
                if y0 <= yc < y1:
                    crossings.append((x0 + (yc - y0) * (x1 - x0) / (y1 - y0), 1))
                elif y1 <= yc < y0:
                    crossings.append((x0 + (yc - y0) * (x1 - x0) / (y1 - y0), -1))
            crossings.sort()
            winding = 0
            start = 0.0
            row_base = (sy // ss) * self.width
            for x, direction in crossings:
                before = winding
                winding += direction
                if before == 0 and winding != 0:
                    start = x
                elif before != 0 and winding == 0:
                    # Sample columns whose centres lie in [start, x).
                    c0 = max(0, math.ceil(start - 0.5))
                    c1 = min(width_samples, math.ceil(x - 0.5))
                    while c0 < c1:
                        px = c0 // ss
                        run = min(c1, (px + 1) * ss) - c0
                        counts[row_base + px] = counts.get(row_base + px, 0) + run
                        c0 += run
        total = ss * ss
        return {index: count / total for index, count in counts.items()}

    def fill(self, solids, colour, holes=(), opacity=1.0):
        """Paints the shape over what is there. colour: (r, g, b) or a function (x, y) -> (r, g, b)."""
        for index, share in sorted(self.coverage(solids, holes).items()):
            alpha = min(1.0, share) * opacity
            if alpha <= 0:
                continue
            x, y = index % self.width, index // self.width
            rgb = colour(x + 0.5, y + 0.5) if callable(colour) else colour
            pixel = self.pixels[index]
            for channel in range(3):
                pixel[channel] = rgb[channel] / 255 * alpha + pixel[channel] * (1 - alpha)
            pixel[3] = alpha + pixel[3] * (1 - alpha)


def to_byte(value):
    return max(0, min(255, int(value * 255 + 0.5)))


def vertical_gradient(top_y, bottom_y, top, bottom):
    def colour(_x, y):
        t = min(1.0, max(0.0, (y - top_y) / (bottom_y - top_y)))
        return tuple(a + (b - a) * t for a, b in zip(top, bottom))
    return colour


# ----------------------------------------------------------------------------------------------- pictures


def product_square(canvas, ox):
    """The dark rounded square every picture sits on: a thin dark edge, a soft vertical gradient and a faint
    sheen on the upper half."""
    canvas.fill([rounded_rect(ox + 1, 1, ox + 19, 19, 4.2)], SQUARE_EDGE)
    canvas.fill([rounded_rect(ox + 2, 2, ox + 18, 18, 3.3)], vertical_gradient(2, 18, SQUARE_TOP, SQUARE_BOTTOM))
    canvas.fill([rounded_rect(ox + 2, 2, ox + 18, 10, 3.3)], WHITE, opacity=0.07)


def heart(cx, cy, size):
    """The classic heart curve, size = its width in pixels."""
    scale = size / 32
    points = []
    for i in range(120):
        t = 2 * math.pi * i / 120
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        points.append((cx + x * scale, cy - (y + 2.5) * scale))
    return points


def pound_sign(ox):
    """A pound sign of about 9 x 12 pixels in the cell at ox."""
    polys = stroke(path(arc(ox + 11.4, 7.2, 2.7, 2.6, -15, -180), [(ox + 8.7, 12.0)],
                        cubic((ox + 8.7, 12.0), (ox + 8.7, 13.9), (ox + 7.9, 14.8), (ox + 6.2, 15.6), 12)),
                   1.75, cap="butt")
    polys += stroke([(ox + 6.2, 15.6), (ox + 14.6, 15.6)], 1.75, cap="butt")
    polys += stroke([(ox + 6.2, 11.0), (ox + 12.4, 11.0)], 1.5, cap="butt")
    return polys


def draw_f(c, ox):
    c.fill(stroke(path([(ox + 11, 17), (ox + 11, 8)], arc(ox + 13.6, 8, 2.6, 2.6, 180, 270), [(ox + 15, 5.4)]), 2,
                  cap="butt"), WHITE)
    c.fill([rect(ox + 8, 9, ox + 14, 11)], WHITE)


def draw_t(c, ox):
    c.fill(stroke(path([(ox + 9.0, 4.6), (ox + 9.0, 12.8)], arc(ox + 11.6, 12.8, 2.6, 2.4, 180, 90),
                       [(ox + 13.6, 15.2)]), 2.0, cap="butt"), WHITE)
    c.fill([rect(ox + 6.0, 8.0, ox + 13.4, 10.0)], WHITE)


def draw_magnifier(c, ox):
    c.fill([ellipse(ox + 8.6, 8.6, 3.5)], (150, 200, 255), opacity=0.2)
    c.fill([ellipse(ox + 8.6, 8.6, 5.0)], WHITE, holes=[ellipse(ox + 8.6, 8.6, 3.3)])
    c.fill(stroke([(ox + 12.3, 12.3), (ox + 15.4, 15.4)], 2.7), WHITE)


def draw_cart(c, ox):
    c.fill(stroke([(ox + 3.4, 5.0), (ox + 5.6, 5.0), (ox + 7.4, 12.3), (ox + 15.0, 12.3)], 1.4), WHITE)
    c.fill([[(ox + 6.0, 6.6), (ox + 16.2, 6.6), (ox + 15.0, 10.9), (ox + 7.1, 10.9)]], WHITE)
    c.fill([ellipse(ox + 8.4, 14.7, 1.4), ellipse(ox + 13.9, 14.7, 1.4)], WHITE)


def draw_heart(c, ox):
    c.fill([heart(ox + 10, 10.4, 12.5)], RED)
    c.fill([ellipse(ox + 7.4, 7.6, 1.3, 1.0)], WHITE, opacity=0.55)


def draw_person(c, ox):
    c.fill([ellipse(ox + 10, 7.0, 2.9)], WHITE)
    c.fill([path(arc(ox + 10, 16.2, 5.6, 4.7, 180, 360))], WHITE)


def draw_dollar(c, ox):
    # Centred on a pixel edge so the 1-pixel bar is sharp.
    s = path(arc(ox + 9.5, 7.8, 2.7, 2.4, -25, -270), arc(ox + 9.5, 12.6, 2.7, 2.4, -90, 155))
    c.fill(stroke(s, 1.75, cap="butt"), WHITE)
    c.fill([rect(ox + 9, 3, ox + 10, 5), rect(ox + 9, 15.5, ox + 10, 17)], WHITE)


def draw_pound(c, ox, colour=WHITE):
    c.fill(pound_sign(ox), colour)


def draw_heart_plus(c, ox):
    c.fill([heart(ox + 8.6, 9.0, 11.5)], RED)
    c.fill([ellipse(ox + 13.5, 13.5, 4.5)], SQUARE_BOTTOM)
    c.fill([ellipse(ox + 13.5, 13.5, 3.7)], GREEN)
    c.fill([rect(ox + 13, 11, ox + 14, 16), rect(ox + 11, 13, ox + 16, 14)], WHITE)


def draw_wrapped_gift(c, ox):
    c.fill([rect(ox + 4.6, 9.6, ox + 15.4, 16.4)], RED)
    c.fill([rect(ox + 3.8, 7.4, ox + 16.2, 10.0)], (246, 92, 108))
    c.fill([rect(ox + 9.0, 7.4, ox + 11.0, 16.4), rect(ox + 4.6, 12.0, ox + 15.4, 13.6)], GOLD)
    bow = stroke(ellipse(ox + 7.6, 5.4, 2.0, 1.3, 24), 1.2, closed=True)
    c.fill(transform(bow, rotate_deg=20, about=(ox + 7.6, 5.4)), GOLD)
    bow = stroke(ellipse(ox + 12.4, 5.4, 2.0, 1.3, 24), 1.2, closed=True)
    c.fill(transform(bow, rotate_deg=-20, about=(ox + 12.4, 5.4)), GOLD)
    c.fill([ellipse(ox + 10, 6.7, 1.2)], GOLD_DARK)


def draw_flat_gift(c, ox):
    c.fill([rect(ox + 3.6, 11.0, ox + 16.4, 16.2)], WHITE)
    c.fill([rect(ox + 2.8, 8.8, ox + 17.2, 11.2)], (226, 232, 246))
    c.fill([rect(ox + 9.1, 8.8, ox + 10.9, 16.2)], RED)
    c.fill([[(ox + 10, 8.2), (ox + 5.0, 5.0), (ox + 4.6, 8.6)], [(ox + 10, 8.2), (ox + 15.0, 5.0), (ox + 15.4, 8.6)]],
           RED)
    c.fill([ellipse(ox + 10, 8.0, 1.5)], (196, 40, 58))


def draw_bag(c, ox):
    c.fill(stroke(arc(ox + 10, 8.6, 2.7, 3.0, 180, 360), 1.4, cap="butt"), WHITE)
    c.fill([path(arc(ox + 5.7, 8.6, 0.5, 0.5, 180, 270), arc(ox + 14.3, 8.6, 0.5, 0.5, 270, 360),
                 arc(ox + 14.6, 15.8, 0.9, 0.9, 0, 90), arc(ox + 5.4, 15.8, 0.9, 0.9, 90, 180))], WHITE)
    c.fill([ellipse(ox + 7.6, 10.6, 0.7), ellipse(ox + 12.4, 10.6, 0.7)], SQUARE_BOTTOM)


def draw_rosette(c, ox):
    c.fill([[(ox + 7.6, 10.6), (ox + 9.4, 11.6), (ox + 8.0, 17.0), (ox + 7.0, 15.6), (ox + 5.4, 16.2)],
            [(ox + 12.4, 10.6), (ox + 10.6, 11.6), (ox + 12.0, 17.0), (ox + 13.0, 15.6), (ox + 14.6, 16.2)]], BLUE)
    scallop = [(ox + 10 + (4.9 + 0.55 * math.cos(12 * a)) * math.cos(a), 8.4 + (4.9 + 0.55 * math.cos(12 * a)) * math.sin(a))
               for a in (2 * math.pi * i / 144 for i in range(144))]
    c.fill([scallop], GOLD)
    c.fill([ellipse(ox + 10, 8.4, 3.2)], GOLD_DARK, holes=[ellipse(ox + 10, 8.4, 2.3)])
    c.fill([ellipse(ox + 9.0, 7.3, 1.0, 0.7)], WHITE, opacity=0.5)


def draw_free(c, ox):
    # Capitals drawn on whole pixels (3 x 7 each, 1 pixel apart) so the word stays sharp at this size.
    letters = {
        "F": ["###", "#..", "#..", "##.", "#..", "#..", "#.."],
        "R": ["##.", "#.#", "#.#", "##.", "#.#", "#.#", "#.#"],
        "E": ["###", "#..", "#..", "##.", "#..", "#..", "###"],
    }
    polys = []
    for n, letter in enumerate("FREE"):
        for row, line in enumerate(letters[letter]):
            for column, mark in enumerate(line):
                if mark == "#":
                    x, y = ox + 2 + 4 * n + column, 6 + row
                    polys.append(rect(x, y, x + 1, y + 1))
    c.fill(polys, (255, 222, 80))


def draw_flame(c, ox):
    outer = path(cubic((ox + 10.0, 17.0), (ox + 5.6, 17.0), (ox + 4.4, 13.2), (ox + 5.8, 10.4), 16),
                 cubic((ox + 5.8, 10.4), (ox + 6.6, 8.8), (ox + 7.4, 8.6), (ox + 7.6, 7.0), 10),
                 cubic((ox + 7.6, 7.0), (ox + 9.0, 8.0), (ox + 9.4, 9.2), (ox + 9.2, 10.2), 8),
                 cubic((ox + 9.2, 10.2), (ox + 11.6, 8.8), (ox + 11.6, 5.4), (ox + 10.2, 3.2), 12),
                 cubic((ox + 10.2, 3.2), (ox + 14.4, 5.2), (ox + 16.2, 9.6), (ox + 15.2, 12.8), 14),
                 cubic((ox + 15.2, 12.8), (ox + 14.6, 15.4), (ox + 12.6, 17.0), (ox + 10.0, 17.0), 12))
    c.fill([outer], vertical_gradient(3, 17, (255, 96, 40), (255, 150, 30)))
    inner = path(cubic((ox + 10.0, 16.6), (ox + 7.8, 16.6), (ox + 7.2, 14.4), (ox + 8.4, 12.6), 10),
                 cubic((ox + 8.4, 12.6), (ox + 9.4, 13.4), (ox + 10.4, 12.4), (ox + 10.6, 10.2), 10),
                 cubic((ox + 10.6, 10.2), (ox + 12.8, 11.8), (ox + 13.2, 14.2), (ox + 12.6, 15.2), 10),
                 cubic((ox + 12.6, 15.2), (ox + 12.0, 16.3), (ox + 11.2, 16.6), (ox + 10.0, 16.6), 8))
    c.fill([inner], (255, 226, 90))


CELL_PICTURES = [
    draw_f,                                    # 0 Facebook
    draw_t,                                    # 1 Twitter
    draw_magnifier,                            # 2 Search
    draw_cart,                                 # 3 My Account
    draw_heart,                                # 4
    draw_person,                               # 5 Settings
    draw_dollar,                               # 6
    draw_pound,                                # 7
    draw_heart_plus,                           # 8
    draw_wrapped_gift,                         # 9
    draw_flat_gift,                            # 10 Offers
    draw_bag,                                  # 11
    draw_rosette,                              # 12 Vouchers
    draw_free,                                 # 13 Free Cashback
    draw_flame,                                # 14 Hot Deals
    lambda c, ox: draw_pound(c, ox, GREEN),    # 15 Approved Cashback
    lambda c, ox: draw_pound(c, ox, ORANGE),   # 16 Pending Cashback
]


# ----------------------------------------------------------------------------------------------- logo

BASELINE = 15.0
X_HEIGHT = 7.4        # top of the small letters
ASCENDER = 3.6        # top of l and b
DESCENDER = 18.6
PEN = 1.9


def glyph_q(x):
    bowl = stroke(ellipse(x + 5.6, 9.3, 4.7, 5.1, 64), PEN, closed=True)
    return bowl + stroke([(x + 7.4, 12.8), (x + 10.8, 16.8)], PEN), 11.4


def glyph_u(x):
    return stroke(path([(x + 1.0, X_HEIGHT + 0.2)], arc(x + 3.7, 12.3, 2.7, 2.7, 180, 0)), PEN) + \
        stroke([(x + 6.4, X_HEIGHT + 0.2), (x + 6.4, BASELINE)], PEN), 7.4


def glyph_i(x):
    return stroke([(x + 1.0, X_HEIGHT + 0.4), (x + 1.0, BASELINE)], PEN) + [ellipse(x + 1.0, 4.6, 1.15)], 2.0


def glyph_l(x):
    return stroke([(x + 1.0, ASCENDER), (x + 1.0, BASELINE)], PEN), 2.0


def glyph_b(x):
    return stroke([(x + 1.0, ASCENDER), (x + 1.0, BASELINE)], PEN) + \
        stroke(ellipse(x + 4.0, 11.2, 3.0, 3.8, 48), PEN, closed=True), 8.0


def glyph_r(x):
    return stroke([(x + 1.0, X_HEIGHT + 0.2), (x + 1.0, BASELINE)], PEN) + \
        stroke(arc(x + 4.4, 11.4, 3.4, 3.7, 195, 285), PEN), 5.6


def glyph_y(x):
    return stroke([(x + 0.9, X_HEIGHT + 0.2), (x + 3.9, BASELINE - 0.3)], PEN) + \
        stroke(path([(x + 6.9, X_HEIGHT + 0.2)], [(x + 3.2, DESCENDER - 1.2)],
                    cubic((x + 3.2, DESCENDER - 1.2), (x + 2.8, DESCENDER - 0.2), (x + 1.9, DESCENDER - 0.1),
                          (x + 0.9, DESCENDER - 0.3), 6)), PEN), 7.8


def quill(ox):
    """A feather laid from the lower left to the upper right of the square at ox."""
    base, tip = (ox + 5.0, 15.4), (ox + 15.6, 4.2)
    length = math.dist(base, tip)
    ux, uy = (tip[0] - base[0]) / length, (tip[1] - base[1]) / length
    nx, ny = -uy, ux
    left, right = [], []
    for i in range(41):
        t = 0.22 + 0.78 * i / 40
        half = 3.4 * math.sin(math.pi * (t - 0.22) / 0.78) ** 0.7
        px, py = base[0] + ux * length * t, base[1] + uy * length * t
        left.append((px + nx * half * 1.15, py + ny * half * 1.15))
        right.append((px - nx * half * 0.85, py - ny * half * 0.85))
    vane = left + list(reversed(right))
    shaft = stroke([(base[0] - ux * 0.8, base[1] - uy * 0.8), (base[0] + ux * length * 0.86, base[1] + uy * length * 0.86)], 0.9)
    return vane, shaft, (ux, uy), (nx, ny)


def draw_logo():
    canvas = Canvas(100, 20, background=WHITE)
    product_square(canvas, 0)
    vane, shaft, (ux, uy), (nx, ny) = quill(0)
    canvas.fill([vane], WHITE)
    # Two notches in the vane, as a real quill has.
    notches = []
    for t, side in ((0.55, 1.15), (0.72, -0.85)):
        px, py = 5.0 + ux * 15.4 * t, 15.4 + uy * 15.4 * t
        edge = (px + nx * 3.0 * side, py + ny * 3.0 * side)
        notches.append([edge, (px + nx * 0.9 * side - ux * 0.9, py + ny * 0.9 * side - uy * 0.9),
                        (edge[0] - ux * 1.4, edge[1] - uy * 1.4)])
    canvas.fill(notches, SQUARE_BOTTOM)
    canvas.fill(shaft, (120, 136, 190))

    glyphs = [glyph_q, glyph_u, glyph_i, glyph_l, glyph_l, glyph_b, glyph_u, glyph_r, glyph_y]
    gap = 1.5
    advance = sum(g(0)[1] for g in glyphs) + gap * (len(glyphs) - 1)
    x = 23.0 + (100 - 23.0 - advance) / 2
    for n, glyph in enumerate(glyphs):
        polys, width = glyph(x)
        canvas.fill(polys, NAVY if n < 5 else ORANGE)
        x += width + gap
    return canvas


# ----------------------------------------------------------------------------------------------- files


def draw_buttons():
    canvas = Canvas(CELL * CELL_COUNT, CELL)
    for n, picture in enumerate(CELL_PICTURES):
        product_square(canvas, n * CELL)
        picture(canvas, n * CELL)
    image, mask = [], []
    for r, g, b, a in canvas.pixels:
        if a >= OPAQUE_FROM:
            grey = [c / 255 for c in TOOLBAR_GREY]
            image.append((to_byte(r + grey[0] * (1 - a)), to_byte(g + grey[1] * (1 - a)), to_byte(b + grey[2] * (1 - a))))
            if image[-1] == MAGENTA:  # never let a drawn pixel read as transparent
                image[-1] = (254, 0, 255)
            mask.append((0, 0, 0))
        else:
            image.append(MAGENTA)
            mask.append((255, 255, 255))
    return image, mask


def bmp_bytes(width, height, rgb):
    """A 24-bit bottom-up BMP of the top-down pixel list."""
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for r, g, b in rgb[y * width:(y + 1) * width]:
            row += bytes((b, g, r))
        row += bytes(stride - len(row))
        rows.append(bytes(row))
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 3780, 3780, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def write(path_name, data):
    with open(path_name, "wb") as out:
        out.write(data)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "resources", "bitmaps")
    parser.add_argument("--out", default=os.path.normpath(default))
    args = parser.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    image, mask = draw_buttons()
    write(os.path.join(args.out, "buttons.bmp"), bmp_bytes(CELL * CELL_COUNT, CELL, image))
    write(os.path.join(args.out, "buttons_mask.bmp"), bmp_bytes(CELL * CELL_COUNT, CELL, mask))
    logo = draw_logo()
    write(os.path.join(args.out, "logo.bmp"),
          bmp_bytes(100, 20, [(to_byte(r), to_byte(g), to_byte(b)) for r, g, b, _ in logo.pixels]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
