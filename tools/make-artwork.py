#!/usr/bin/python3
"""Draws the editor's bitmaps from vector shapes into resources/img/.

    make-artwork.py                 write the 14 PNGs into resources/img/, each
                                    at every editor size (name@125.png ...)
    make-artwork.py --out DIR       write them into DIR instead
    make-artwork.py --check         draw them afresh and compare their pixels
                                    with the committed files (exit 1 on any
                                    difference)
    make-artwork.py --preview DIR   also write whole-window previews with the
                                    controls pasted in at sample values
    make-artwork.py --compare-sizes DIR
                                    measure the sizes between 100 % and 200 %
                                    drawn directly against the 200 % drawing
                                    reduced, and write crops of both into DIR

Needs Debian's python3-cairo and the fonts of fonts-dejavu-core and
fonts-liberation2. Multi-frame bitmaps are vertical strips of equal frames;
their sizes are fixed by the editor layout and checked before writing. At an
editor size other than 100 % every frame is drawn into a whole number of
pixels, its logical size times the scale rounded, with the drawing scaled to
fit (a 14-pixel switch becomes 18 pixels at 125 %), so frames stay apart.
"""

import argparse
import math
import os
import sys
import tempfile

import cairo

HERE = os.path.dirname(os.path.abspath(__file__))
IMG_DIR = os.path.join(HERE, "..", "resources", "img")

WIDTH, HEIGHT = 800, 360
# The editor sizes, in percent; 100 % has the plain file names.
SIZES = (100, 125, 150, 175, 200)
KNOB_FRAMES = 65
METER_FRAMES = 31
METER_MIN_DB, METER_MAX_DB = -30.0, 6.0

LABEL_FONT = "Liberation Sans"
TITLE_FONT = "DejaVu Sans"

# Colours (r, g, b) in 0...1.
INK = (0.87, 0.89, 0.91)
DIM_INK = (0.56, 0.59, 0.63)
AMBER = (1.00, 0.66, 0.20)
RED = (1.00, 0.30, 0.24)
PANEL = (0.150, 0.160, 0.178)
SHADOW = (0.0, 0.0, 0.0)

# ---------------------------------------------------------------- layout
# Top-left corners of the main page's controls (one frame big).
KNOBS = {  # name: (x, y)
    "TUNE": (46, 60),
    "IN BALANCE": (118, 180),
    "EXT LEVEL": (182, 180),
    "MIC LEVEL": (294, 180),
    "ACCENT BEND": (46, 276),
    "SPEED": (118, 276),
    "DEPTH": (182, 276),
    "PITCH BEND": (294, 276),
    "OUT BALANCE": (710, 180),
    "VELOCITY": (710, 244),
}
BIG_KNOB = (706, 102)  # "Final Volume", 40 x 40
OCTAVE_SWITCH = (55, 184)  # 14 x 20
ENSEMBLE_SWITCH = (248, 280)
KEYBOARD_SWITCH = (759, 248)
METER_MODE_SWITCH = (246, 136)  # 20 x 14
METER = (204, 56, 100, 60)
PICTURE = (530, 160, 72, 72)
VERSION_BOX = (712, 24, 776, 36)  # drawn by a control: keep clear

# The bottom row, shared by both pages: (left, top, right, bottom).
INPUT_BOX = (410, 262, 538, 278)
MODE_BOX = (546, 262, 674, 278)
NUMBER_BOX = (390, 308, 414, 324)
NAME_BOX = (441, 308, 633, 322)
PREV_BUTTON = (365, 305)  # 22 x 22
NEXT_BUTTON = (416, 305)
MENU_BOX = (646, 306, 694, 326)
PAGE_BOX = (759, 306, 779, 326)
LEARN_BUTTON = (702, 305)  # 50 x 22
TOOLS_BOX = (731, 260, 779, 280)  # tweak page only

# The tweak page.
SMALL_KNOBS = [(24, "BIAS"), (56, "LIMIT"), (88, "SPEED"), (136, "ATTACK"), (168, "RELEASE"),
               (216, "RATE 1"), (248, "RATE 2"), (288, "RATE 1"), (320, "RATE 2")]
SMALL_KNOB_Y = 292
BAND_ROWS = [(80, "ANALYSIS", "Hz"), (128, "SYNTHESIS", "Hz"), (176, "LEVEL", "dB")]
FIXED_ROW_Y = 224


def band_x(band):
    return 64 + 36 * (band - 1)


# ---------------------------------------------------------------- helpers


# What surface() draws for: the editor size and the frames of the bitmap.
_drawing = {"size": 100, "frames": 1}


def scaled_extent(logical, size):
    """A logical extent at an editor size, in whole pixels (halves up)."""
    return int(math.floor(logical * size / 100.0 + 0.5))


def surface(w, h):
    """A surface for w x h logical pixels at the editor size being drawn."""
    size, frames = _drawing["size"], _drawing["frames"]
    frame_h = h / frames
    cell_w, cell_h = scaled_extent(w, size), scaled_extent(frame_h, size)
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, cell_w, cell_h * frames)
    ctx = cairo.Context(s)
    ctx.scale(cell_w / float(w), cell_h / frame_h)
    options = cairo.FontOptions()
    options.set_antialias(cairo.ANTIALIAS_GRAY)
    options.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    options.set_hint_metrics(cairo.HINT_METRICS_ON)
    ctx.set_font_options(options)
    return s, ctx


def rgba(ctx, colour, alpha=1.0):
    ctx.set_source_rgba(colour[0], colour[1], colour[2], alpha)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def rounded_rect(ctx, x, y, w, h, r):
    r = min(r, w / 2.0, h / 2.0)
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def vertical_gradient(y0, y1, stops):
    g = cairo.LinearGradient(0, y0, 0, y1)
    for offset, colour, alpha in stops:
        g.add_color_stop_rgba(offset, colour[0], colour[1], colour[2], alpha)
    return g


def set_font(ctx, size, bold=True, family=LABEL_FONT):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)


def text_width(ctx, s, spacing=0.0):
    return ctx.text_extents(s).x_advance + spacing * max(len(s) - 1, 0)


def text(ctx, s, x, baseline, size=9, colour=INK, align="center", bold=True, family=LABEL_FONT,
         spacing=0.0, max_width=None, alpha=1.0):
    """Draws s with its baseline at `baseline`; x is the left edge, centre or
    right edge by `align`. The size shrinks until the text fits max_width."""
    set_font(ctx, size, bold, family)
    while max_width is not None and text_width(ctx, s, spacing) > max_width and size > 6:
        size -= 0.25
        set_font(ctx, size, bold, family)
    w = text_width(ctx, s, spacing)
    left = x if align == "left" else x - w / 2.0 if align == "center" else x - w
    left = round(left)
    rgba(ctx, colour, alpha)
    if spacing == 0.0:
        ctx.move_to(left, baseline)
        ctx.show_text(s)
    else:
        for ch in s:
            ctx.move_to(left, baseline)
            ctx.show_text(ch)
            left += ctx.text_extents(ch).x_advance + spacing
    ctx.new_path()
    return w


def engraved(ctx, s, x, baseline, **kw):
    """Text with a dark drop below it, as if printed on the panel."""
    colour = kw.pop("colour", INK)
    text(ctx, s, x, baseline + 1, colour=SHADOW, alpha=0.7, **kw)
    return text(ctx, s, x, baseline, colour=colour, **kw)


class Random:
    """A small fixed-seed generator, so every run draws the same texture."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / float(0x7FFFFFFF)


# ---------------------------------------------------------------- knobs


def knob_angle(value):
    """Pointer angle in cairo's radians: -135 deg (minimum) to +135 deg,
    measured clockwise from straight up."""
    return math.radians(-135.0 + 270.0 * value - 90.0)


def draw_knob(ctx, cx, cy, size, value, arc_colour=AMBER):
    ring = size / 2.0 - 2.0
    ring_width = max(2.0, size / 13.0)
    body = ring - ring_width / 2.0 - 2.2
    start, end = knob_angle(0.0), knob_angle(value)
    ctx.set_line_cap(cairo.LINE_CAP_BUTT)

    # Value ring: a dark track, the lit part up to the value.
    ctx.set_line_width(ring_width)
    rgba(ctx, (0.05, 0.055, 0.06))
    ctx.arc(cx, cy, ring, start, knob_angle(1.0))
    ctx.stroke()
    if value > 0.0:
        ctx.set_line_width(ring_width + 2.0)
        rgba(ctx, arc_colour, 0.22)
        ctx.arc(cx, cy, ring, start, end)
        ctx.stroke()
        ctx.set_line_width(ring_width)
        rgba(ctx, arc_colour)
        ctx.arc(cx, cy, ring, start, end)
        ctx.stroke()

    # Body: a drop shadow, a dark skirt and a brushed cap lit from above.
    rgba(ctx, SHADOW, 0.55)
    ctx.arc(cx, cy + 1.2, body + 0.6, 0, 2 * math.pi)
    ctx.fill()
    skirt = cairo.LinearGradient(cx, cy - body, cx, cy + body)
    skirt.add_color_stop_rgb(0.0, 0.34, 0.36, 0.39)
    skirt.add_color_stop_rgb(1.0, 0.09, 0.10, 0.11)
    ctx.set_source(skirt)
    ctx.arc(cx, cy, body, 0, 2 * math.pi)
    ctx.fill()
    cap = body * 0.78
    face = cairo.RadialGradient(cx - cap * 0.3, cy - cap * 0.45, cap * 0.1, cx, cy, cap * 1.1)
    face.add_color_stop_rgb(0.0, 0.36, 0.38, 0.41)
    face.add_color_stop_rgb(1.0, 0.16, 0.17, 0.19)
    ctx.set_source(face)
    ctx.arc(cx, cy, cap, 0, 2 * math.pi)
    ctx.fill()
    ctx.set_line_width(0.8)
    rgba(ctx, (1, 1, 1), 0.16)
    ctx.arc(cx, cy, cap - 0.4, math.radians(200), math.radians(340))
    ctx.stroke()

    # Pointer.
    a = end
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_width(max(1.6, size / 16.0))
    rgba(ctx, (0.98, 0.96, 0.90))
    ctx.move_to(cx + math.cos(a) * body * 0.30, cy + math.sin(a) * body * 0.30)
    ctx.line_to(cx + math.cos(a) * (body - 1.2), cy + math.sin(a) * (body - 1.2))
    ctx.stroke()


def knob_strip(size, arc_colour=AMBER):
    s, ctx = surface(size, size * KNOB_FRAMES)
    for i in range(KNOB_FRAMES):
        ctx.save()
        ctx.rectangle(0, size * i, size, size)  # no glow may spill into the next frame
        ctx.clip()
        draw_knob(ctx, size / 2.0, size * i + size / 2.0, size, i / (KNOB_FRAMES - 1.0), arc_colour)
        ctx.restore()
    return s


# ---------------------------------------------------------------- switches


def draw_lever(ctx, x, y, w, h, on, vertical):
    """A slot with a sliding cap; the cap lights amber when on."""
    rounded_rect(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 3)
    ctx.set_source(vertical_gradient(y, y + h, [(0, (0.02, 0.02, 0.03), 1),
                                                 (1, (0.10, 0.11, 0.12), 1)]))
    ctx.fill_preserve()
    ctx.set_line_width(1)
    rgba(ctx, (1, 1, 1), 0.10)
    ctx.stroke()
    if vertical:
        cw, ch = w - 4, h / 2.0 - 1
        cx, cy = x + 2, (y + 2 if on else y + h - 2 - ch)
    else:
        cw, ch = w / 2.0 - 1, h - 4
        cx, cy = (x + w - 2 - cw if on else x + 2), y + 2
    rounded_rect(ctx, cx, cy, cw, ch, 2)
    if on:
        ctx.set_source(vertical_gradient(cy, cy + ch, [(0, (1.0, 0.80, 0.45), 1), (1, AMBER, 1)]))
    else:
        ctx.set_source(vertical_gradient(cy, cy + ch, [(0, (0.62, 0.64, 0.67), 1),
                                                       (1, (0.34, 0.36, 0.39), 1)]))
    ctx.fill()
    # Grip lines across the cap.
    rgba(ctx, SHADOW, 0.35)
    ctx.set_line_width(1)
    for k in (-2, 0, 2):
        if vertical:
            ctx.move_to(cx + 2, round(cy + ch / 2.0) + k + 0.5)
            ctx.line_to(cx + cw - 2, round(cy + ch / 2.0) + k + 0.5)
        else:
            ctx.move_to(round(cx + cw / 2.0) + k + 0.5, cy + 2)
            ctx.line_to(round(cx + cw / 2.0) + k + 0.5, cy + ch - 2)
    ctx.stroke()


def switch_strip(w, h, vertical):
    s, ctx = surface(w, h * 2)
    draw_lever(ctx, 0, 0, w, h, False, vertical)
    draw_lever(ctx, 0, h, w, h, True, vertical)
    return s


# ---------------------------------------------------------------- buttons


def draw_button_body(ctx, x, y, w, h, pressed):
    rounded_rect(ctx, x + 0.5, y + 0.5, w - 1, h - 1, 4)
    rgba(ctx, SHADOW, 0.8)
    ctx.fill()
    inset = 1.5
    rounded_rect(ctx, x + inset, y + inset, w - 2 * inset, h - 2 * inset, 3)
    if pressed:
        ctx.set_source(vertical_gradient(y, y + h, [(0, (0.10, 0.10, 0.11), 1),
                                                     (1, (0.20, 0.21, 0.23), 1)]))
    else:
        ctx.set_source(vertical_gradient(y, y + h, [(0, (0.36, 0.38, 0.41), 1),
                                                     (1, (0.18, 0.19, 0.21), 1)]))
    ctx.fill()
    if not pressed:
        ctx.set_line_width(1)
        rgba(ctx, (1, 1, 1), 0.18)
        ctx.move_to(x + 4, y + inset + 0.5)
        ctx.line_to(x + w - 4, y + inset + 0.5)
        ctx.stroke()


def arrow_button_strip(left):
    w = h = 22
    s, ctx = surface(w, h * 2)
    for frame in (0, 1):
        y = frame * h
        pressed = frame == 1
        draw_button_body(ctx, 0, y, w, h, pressed)
        cx, cy = w / 2.0 + (0.5 if pressed else 0), y + h / 2.0 + (1 if pressed else 0)
        d = -1 if left else 1
        ctx.move_to(cx + 4 * d, cy)
        ctx.line_to(cx - 3.5 * d, cy - 5)
        ctx.line_to(cx - 3.5 * d, cy + 5)
        ctx.close_path()
        rgba(ctx, AMBER if pressed else INK)
        ctx.fill()
    return s


def learn_strip(lit_word, lit_colour):
    """Idle, the button reads "LEARN" in both modes; armed, its lamp and word
    light in the mode's colour."""
    w, h = 50, 22
    s, ctx = surface(w, h * 2)
    for frame in (0, 1):
        y = frame * h
        on = frame == 1
        draw_button_body(ctx, 0, y, w, h, on)
        lamp = (7.5, y + h / 2.0)
        if on:
            glow = cairo.RadialGradient(lamp[0], lamp[1], 0, lamp[0], lamp[1], 6)
            glow.add_color_stop_rgba(0, lit_colour[0], lit_colour[1], lit_colour[2], 0.7)
            glow.add_color_stop_rgba(1, lit_colour[0], lit_colour[1], lit_colour[2], 0.0)
            ctx.set_source(glow)
            ctx.arc(lamp[0], lamp[1], 6, 0, 2 * math.pi)
            ctx.fill()
        ctx.arc(lamp[0], lamp[1], 2.3, 0, 2 * math.pi)
        rgba(ctx, lit_colour if on else (0.08, 0.08, 0.09))
        ctx.fill()
        word = lit_word if on else "LEARN"
        text(ctx, word, 29.5, y + 15, size=9.5, colour=lit_colour if on else INK, max_width=31)
    return s


# ---------------------------------------------------------------- meter


METER_PIVOT = (50.0, 70.0)
METER_SPAN = 45.0  # degrees either side of straight up
METER_ARC = 46.0  # radius of the scale line


def meter_angle(db):
    t = (db - METER_MIN_DB) / (METER_MAX_DB - METER_MIN_DB)
    return math.radians(-METER_SPAN + 2 * METER_SPAN * t - 90.0)


def draw_meter_face(ctx, y0):
    w, h = 100, 60
    px, py = METER_PIVOT[0], y0 + METER_PIVOT[1]
    ctx.rectangle(0, y0, w, h)
    face = cairo.RadialGradient(px, y0 + 20, 5, px, y0 + 30, 70)
    face.add_color_stop_rgb(0, 1.00, 0.93, 0.74)
    face.add_color_stop_rgb(1, 0.80, 0.66, 0.40)
    ctx.set_source(face)
    ctx.fill()

    # Scale arc, the red zone above 0 dB, ticks and the numbers above them.
    r = METER_ARC
    ctx.set_line_width(1.0)
    rgba(ctx, (0.18, 0.14, 0.10))
    ctx.arc(px, py, r, meter_angle(METER_MIN_DB), meter_angle(0.0))
    ctx.stroke()
    ctx.set_line_width(3.0)
    rgba(ctx, (0.80, 0.12, 0.08))
    ctx.arc(px, py, r + 1.5, meter_angle(0.0), meter_angle(METER_MAX_DB))
    ctx.stroke()
    for db in range(-30, 7, 2):
        major = db in (-30, -20, -10, -6, -3, 0, 3, 6)
        a = meter_angle(db)
        outer = r + (7.0 if major else 4.0)
        ctx.set_line_width(1.2 if major else 0.8)
        rgba(ctx, (0.80, 0.12, 0.08) if db > 0 else (0.18, 0.14, 0.10))
        ctx.move_to(px + math.cos(a) * r, py + math.sin(a) * r)
        ctx.line_to(px + math.cos(a) * outer, py + math.sin(a) * outer)
        ctx.stroke()
    for db, label in ((-30, "-30"), (-20, "-20"), (-10, "-10"), (-5, "-5"), (0, "0"), (6, "+6")):
        a = meter_angle(db)
        tx, ty = px + math.cos(a) * (r + 13.5), py + math.sin(a) * (r + 13.5) + 3.0
        text(ctx, label, tx, ty, size=7.5, colour=(0.80, 0.12, 0.08) if db > 0 else
             (0.18, 0.14, 0.10))
    text(ctx, "dB", px, y0 + 43, size=8, colour=(0.30, 0.24, 0.16))


def draw_meter_needle(ctx, y0, db):
    px, py = METER_PIVOT[0], y0 + METER_PIVOT[1]
    a = meter_angle(db)
    tip = 54.0
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_line_width(1.6)
    rgba(ctx, SHADOW, 0.25)
    ctx.move_to(px + 1.5, py + 1)
    ctx.line_to(px + math.cos(a) * tip + 1.5, py + math.sin(a) * tip + 1)
    ctx.stroke()
    ctx.set_line_width(1.3)
    rgba(ctx, (0.08, 0.07, 0.06))
    ctx.move_to(px, py)
    ctx.line_to(px + math.cos(a) * tip, py + math.sin(a) * tip)
    ctx.stroke()


def draw_meter_glass(ctx, y0):
    # The pivot cover and the glass's light reflection, over the needle.
    px = METER_PIVOT[0]
    ctx.rectangle(0, y0 + 50, 100, 10)
    ctx.set_source(vertical_gradient(y0 + 50, y0 + 60, [(0, (0.22, 0.23, 0.25), 1),
                                                        (1, (0.10, 0.11, 0.12), 1)]))
    ctx.fill()
    ctx.arc(px, y0 + 56, 9, math.pi, 2 * math.pi)
    rgba(ctx, (0.05, 0.05, 0.06))
    ctx.fill()
    ctx.rectangle(0, y0, 100, 50)
    ctx.set_source(vertical_gradient(y0, y0 + 50, [(0, (1, 1, 1), 0.22), (0.45, (1, 1, 1), 0.0),
                                                   (1, (0, 0, 0), 0.12)]))
    ctx.fill()


def meter_strip():
    s, ctx = surface(100, 60 * METER_FRAMES)
    for i in range(METER_FRAMES):
        y0 = 60 * i
        ctx.save()
        ctx.rectangle(0, y0, 100, 60)
        ctx.clip()
        draw_meter_face(ctx, y0)
        db = METER_MIN_DB + (METER_MAX_DB - METER_MIN_DB) * i / (METER_FRAMES - 1.0)
        draw_meter_needle(ctx, y0, db)
        draw_meter_glass(ctx, y0)
        ctx.restore()
    return s


# ---------------------------------------------------------------- picture


def draw_emblem(ctx, cx, cy, r):
    """A studio microphone in a round badge, with sound waves either side."""
    rgba(ctx, SHADOW, 0.5)
    ctx.arc(cx, cy + 1, r, 0, 2 * math.pi)
    ctx.fill()
    ring = cairo.LinearGradient(0, cy - r, 0, cy + r)
    ring.add_color_stop_rgb(0, 1.0, 0.78, 0.40)
    ring.add_color_stop_rgb(1, 0.62, 0.36, 0.08)
    ctx.set_source(ring)
    ctx.arc(cx, cy, r - 0.5, 0, 2 * math.pi)
    ctx.fill()
    disc = cairo.RadialGradient(cx, cy - r * 0.4, 2, cx, cy, r)
    disc.add_color_stop_rgb(0, 0.20, 0.22, 0.25)
    disc.add_color_stop_rgb(1, 0.06, 0.07, 0.08)
    ctx.set_source(disc)
    ctx.arc(cx, cy, r - 3.5, 0, 2 * math.pi)
    ctx.fill()
    cream = (0.98, 0.93, 0.82)
    # Capsule with its grille.
    cw, ch = r * 0.42, r * 0.78
    top = cy - r * 0.62
    rounded_rect(ctx, cx - cw / 2, top, cw, ch, cw / 2)
    ctx.set_source(vertical_gradient(top, top + ch, [(0, cream, 1), (1, (0.72, 0.68, 0.60), 1)]))
    ctx.fill()
    rgba(ctx, (0.10, 0.10, 0.11), 0.55)
    ctx.set_line_width(1.0)
    for k in range(1, 6):
        yy = round(top + ch * k / 6.0) + 0.5
        ctx.move_to(cx - cw / 2 + 2.5, yy)
        ctx.line_to(cx + cw / 2 - 2.5, yy)
    ctx.stroke()
    # Holder, stem and foot.
    ctx.set_line_width(2.2)
    rgba(ctx, cream)
    ctx.arc(cx, top + ch * 0.55, cw * 0.85, 0, math.pi)
    ctx.stroke()
    ctx.move_to(cx, top + ch * 0.55 + cw * 0.85)
    ctx.line_to(cx, cy + r * 0.50)
    ctx.stroke()
    ctx.move_to(cx - r * 0.22, cy + r * 0.50)
    ctx.line_to(cx + r * 0.22, cy + r * 0.50)
    ctx.stroke()
    # Sound waves.
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    for k, alpha in ((1, 0.95), (2, 0.6)):
        ctx.set_line_width(1.8)
        rgba(ctx, AMBER, alpha)
        rr = cw * 0.85 + 5.0 * k
        mid = top + ch * 0.42
        ctx.arc(cx, mid, rr, math.radians(-35), math.radians(35))
        ctx.stroke()
        ctx.arc(cx, mid, rr, math.radians(145), math.radians(215))
        ctx.stroke()


def picture():
    s, ctx = surface(72, 72)
    draw_emblem(ctx, 36, 36, 35)
    return s


# ---------------------------------------------------------------- pages


def page_base(ctx):
    ctx.rectangle(0, 0, WIDTH, HEIGHT)
    ctx.set_source(vertical_gradient(0, HEIGHT, [(0, (0.20, 0.21, 0.23), 1),
                                                 (1, (0.11, 0.12, 0.13), 1)]))
    ctx.fill()
    # Fine brushed lines.
    rnd = Random(20260)
    ctx.set_line_width(1.0)
    for y in range(HEIGHT):
        x = 0.0
        while x < WIDTH:
            length = 20 + rnd.next() * 140
            shade = rnd.next()
            rgba(ctx, (1, 1, 1) if shade > 0.5 else SHADOW, 0.018 + 0.02 * abs(shade - 0.5))
            ctx.move_to(x, y + 0.5)
            ctx.line_to(min(x + length, WIDTH), y + 0.5)
            ctx.stroke()
            x += length + rnd.next() * 30
    # Screws in the corners.
    for sx, sy in ((7, 7), (WIDTH - 7, 7), (7, HEIGHT - 7), (WIDTH - 7, HEIGHT - 7)):
        ctx.arc(sx, sy, 3.2, 0, 2 * math.pi)
        ctx.set_source(vertical_gradient(sy - 3, sy + 3, [(0, (0.55, 0.57, 0.60), 1),
                                                          (1, (0.22, 0.23, 0.25), 1)]))
        ctx.fill()
        rgba(ctx, SHADOW, 0.7)
        ctx.set_line_width(1.0)
        ctx.move_to(sx - 2.2, sy + 1.2)
        ctx.line_to(sx + 2.2, sy - 1.2)
        ctx.stroke()


def panel(ctx, x0, y0, x1, y1, title=None, title_x=None):
    """A recessed panel with a title at its top left."""
    w, h = x1 - x0, y1 - y0
    rounded_rect(ctx, x0 + 0.5, y0 + 0.5, w - 1, h - 1, 6)
    ctx.set_source(vertical_gradient(y0, y1, [(0, (0.125, 0.133, 0.148), 0.92),
                                              (1, (0.095, 0.102, 0.114), 0.92)]))
    ctx.fill_preserve()
    ctx.set_line_width(1.0)
    rgba(ctx, SHADOW, 0.75)
    ctx.stroke()
    rounded_rect(ctx, x0 + 1.5, y0 + 1.5, w - 3, h - 3, 5)
    ctx.set_source(vertical_gradient(y0, y1, [(0, (1, 1, 1), 0.02), (1, (1, 1, 1), 0.09)]))
    ctx.stroke()
    if title:
        tx = x0 + 10 if title_x is None else title_x
        tw = engraved(ctx, title, tx, y0 + 13, size=9, colour=AMBER, align="left", spacing=1.2)
        rgba(ctx, AMBER, 0.35)
        ctx.move_to(tx + tw + 6, y0 + 9.5)
        ctx.line_to(x1 - 10, y0 + 9.5)
        ctx.stroke()


def display_box(ctx, box, radius=3):
    """A dark recessed window for a control's text."""
    l, t, r, b = box
    rounded_rect(ctx, l - 2.5, t - 2.5, r - l + 5, b - t + 5, radius + 1)
    ctx.set_source(vertical_gradient(t - 3, b + 3, [(0, SHADOW, 0.65), (1, (1, 1, 1), 0.12)]))
    ctx.fill()
    rounded_rect(ctx, l - 1.5, t - 1.5, r - l + 3, b - t + 3, radius)
    ctx.set_source(vertical_gradient(t, b, [(0, (0.025, 0.028, 0.032), 1),
                                            (1, (0.065, 0.070, 0.078), 1)]))
    ctx.fill()
    ctx.set_line_width(1.0)
    rgba(ctx, SHADOW, 0.6)
    ctx.move_to(l - 1, t - 0.5)
    ctx.line_to(r + 1, t - 0.5)
    ctx.stroke()


def menu_box(ctx, box, label, arrow="down"):
    """A box that opens a menu (or turns the page) when clicked: the control
    is invisible, so the background carries its face."""
    l, t, r, b = box
    draw_button_body(ctx, l, t, r - l, b - t, False)
    cy = (t + b) / 2.0
    if label:
        text(ctx, label, (l + r) / 2.0 - (3 if arrow else 0), cy + 3.5, size=8.5, colour=INK,
             max_width=r - l - 12)
    if arrow == "down":
        ax = r - 7
        ctx.move_to(ax - 3, cy - 1.5)
        ctx.line_to(ax + 3, cy - 1.5)
        ctx.line_to(ax, cy + 2)
    elif arrow in ("right", "left"):
        ax = (l + r) / 2.0
        d = 1 if arrow == "right" else -1
        ctx.move_to(ax + 4 * d, cy)
        ctx.line_to(ax - 3 * d, cy - 4.5)
        ctx.line_to(ax - 3 * d, cy + 4.5)
    ctx.close_path()
    rgba(ctx, AMBER)
    ctx.fill()


def knob_ticks(ctx, cx, cy, radius, count=11):
    ctx.set_line_width(1.0)
    ctx.set_line_cap(cairo.LINE_CAP_BUTT)
    for k in range(count):
        a = knob_angle(k / (count - 1.0))
        major = k in (0, count // 2, count - 1)
        rgba(ctx, INK if major else DIM_INK, 0.8 if major else 0.55)
        inner = radius + (0.0 if major else 1.0)
        ctx.move_to(cx + math.cos(a) * inner, cy + math.sin(a) * inner)
        ctx.line_to(cx + math.cos(a) * (radius + 3.0), cy + math.sin(a) * (radius + 3.0))
        ctx.stroke()


def knob_label(ctx, name, x, y, size=32, max_width=None):
    cx, cy = x + size / 2.0, y + size / 2.0
    knob_ticks(ctx, cx, cy, size / 2.0 + 1.0)
    engraved(ctx, name, cx, y + size + 12, size=9, max_width=max_width)


def logo(ctx, x, baseline, size):
    """The product name, lit from above, with the maker under it."""
    set_font(ctx, size, True, TITLE_FONT)
    spacing = size * 0.08
    rgba(ctx, SHADOW, 0.8)
    left = x
    for ch in "REDI":
        ctx.move_to(left + 1, baseline + 2)
        ctx.show_text(ch)
        left += ctx.text_extents(ch).x_advance + spacing
    ctx.new_path()
    left = x
    for ch in "REDI":
        ctx.move_to(left, baseline)
        ctx.text_path(ch)
        left += ctx.text_extents(ch).x_advance + spacing
    ctx.set_source(vertical_gradient(baseline - size * 0.75, baseline,
                                     [(0, (1.0, 0.93, 0.78), 1), (0.55, (1.0, 0.72, 0.30), 1),
                                      (1, (0.80, 0.45, 0.10), 1)]))
    ctx.fill()
    return left - spacing - x


def bottom_row(ctx, page):
    """The selectors and the program row, the same on both pages."""
    panel(ctx, 360, 300, 792, 352)
    display_box(ctx, INPUT_BOX)
    display_box(ctx, MODE_BOX)
    engraved(ctx, "INPUT SOURCE", INPUT_BOX[0], INPUT_BOX[3] + 12, size=8, colour=DIM_INK,
             align="left")
    engraved(ctx, "VOCODER MODE", MODE_BOX[0], MODE_BOX[3] + 12, size=8, colour=DIM_INK,
             align="left")

    display_box(ctx, NUMBER_BOX)
    display_box(ctx, NAME_BOX)
    for (x, y) in (PREV_BUTTON, NEXT_BUTTON):
        rounded_rect(ctx, x - 1, y - 1, 24, 24, 5)
        rgba(ctx, SHADOW, 0.5)
        ctx.fill()
    engraved(ctx, "PROGRAM", NUMBER_BOX[0] - 25, 345, size=8, colour=DIM_INK, align="left")
    menu_box(ctx, MENU_BOX, "MENU")
    rounded_rect(ctx, LEARN_BUTTON[0] - 1, LEARN_BUTTON[1] - 1, 52, 24, 5)
    rgba(ctx, SHADOW, 0.5)
    ctx.fill()
    engraved(ctx, "MIDI", LEARN_BUTTON[0] + 25, 345, size=8, colour=DIM_INK)
    if page == "main":
        menu_box(ctx, PAGE_BOX, None, arrow="right")
        engraved(ctx, "BANDS", (PAGE_BOX[0] + PAGE_BOX[2]) / 2.0, 345, size=8, colour=DIM_INK)
    else:
        menu_box(ctx, PAGE_BOX, None, arrow="left")
        engraved(ctx, "MAIN", (PAGE_BOX[0] + PAGE_BOX[2]) / 2.0, 345, size=8, colour=DIM_INK)


def band_slots(ctx, left, bottom):
    """The live band display's bay: twenty dark slots on a faint floor, which
    the display fills with each band's level."""
    for band in range(20):
        x = left + band * 7
        ctx.rectangle(x, bottom - 52, 4, 52)
        ctx.set_source(vertical_gradient(bottom - 52, bottom, [(0, SHADOW, 0.10), (1, SHADOW, 0.32)]))
        ctx.fill()
    rgba(ctx, AMBER, 0.30)
    ctx.rectangle(left - 2, bottom, 20 * 7 + 1, 1)
    ctx.fill()


def carrier_ornament(ctx, left, top, width, height):
    """A sawtooth that turns into noise: the carrier's two sources, printed
    on the panel."""
    rnd = Random(7)
    mid = top + height / 2.0
    ctx.set_line_width(1.2)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.move_to(left, mid + height * 0.4)
    period = width / 9.0
    x = left
    for k in range(5):
        ctx.line_to(x + period, mid - height * 0.4)
        ctx.line_to(x + period, mid + height * 0.4)
        x += period
    while x < left + width:
        x += 1.0
        ctx.line_to(x, mid + (rnd.next() - 0.5) * height * 0.85)
    g = cairo.LinearGradient(left, 0, left + width, 0)
    g.add_color_stop_rgba(0, AMBER[0], AMBER[1], AMBER[2], 0.55)
    g.add_color_stop_rgba(1, DIM_INK[0], DIM_INK[1], DIM_INK[2], 0.35)
    ctx.set_source(g)
    ctx.stroke()


def main_page():
    s, ctx = surface(WIDTH, HEIGHT)
    page_base(ctx)

    # Carrier synthesizer.
    panel(ctx, 8, 12, 166, 250, "CARRIER SYNTH")
    knob_label(ctx, "TUNE", *KNOBS["TUNE"])
    carrier_ornament(ctx, 28, 124, 118, 28)
    knob_label(ctx, "BALANCE", *KNOBS["IN BALANCE"])
    x, y = OCTAVE_SWITCH
    engraved(ctx, "UP", x + 18, y + 8, size=7.5, colour=DIM_INK, align="left")
    engraved(ctx, "OCTAVE", x + 7, y + 32, size=9)
    kx, ky = KNOBS["IN BALANCE"]
    engraved(ctx, "KBD · NOISE", kx + 16, ky + 54, size=7.5, colour=DIM_INK)

    # Modulator, inputs and the level meter.
    panel(ctx, 170, 12, 356, 250, "MODULATOR \u00b7 INPUTS")
    mx, my, mw, mh = METER
    rounded_rect(ctx, mx - 5, my - 5, mw + 10, mh + 10, 5)
    ctx.set_source(vertical_gradient(my - 5, my + mh + 5, [(0, (0.04, 0.04, 0.05), 1),
                                                           (1, (0.30, 0.31, 0.33), 1)]))
    ctx.fill()
    rgba(ctx, SHADOW)
    ctx.rectangle(mx - 1, my - 1, mw + 2, mh + 2)
    ctx.fill()
    engraved(ctx, "LEVEL", mx + mw / 2.0, my - 10, size=8, colour=DIM_INK, spacing=1.0)
    x, y = METER_MODE_SWITCH
    engraved(ctx, "SIGNAL", x - 5, y + 10, size=8, colour=INK, align="right")
    engraved(ctx, "MIC", x + 25, y + 10, size=8, colour=INK, align="left")
    for name in ("EXT LEVEL", "MIC LEVEL"):
        knob_label(ctx, name, *KNOBS[name])

    # Expression and ensemble.
    panel(ctx, 8, 254, 356, 352, "EXPRESSION \u00b7 ENSEMBLE")
    for name in ("ACCENT BEND", "SPEED", "DEPTH", "PITCH BEND"):
        knob_label(ctx, name, *KNOBS[name], max_width=62)
    sx, dx = KNOBS["SPEED"][0] + 16, KNOBS["DEPTH"][0] + 16
    rgba(ctx, DIM_INK, 0.6)
    ctx.set_line_width(1.0)
    ctx.move_to(sx - 12, 327.5)
    ctx.line_to(sx - 12, 330.5)
    ctx.line_to(dx + 12, 330.5)
    ctx.line_to(dx + 12, 327.5)
    ctx.stroke()
    rounded_rect(ctx, (sx + dx) / 2.0 - 26, 325, 52, 12, 2)
    ctx.set_source_rgb(0.105, 0.112, 0.125)
    ctx.fill()
    engraved(ctx, "VIBRATO", (sx + dx) / 2.0, 334, size=8, colour=DIM_INK, spacing=1.0)
    x, y = ENSEMBLE_SWITCH
    engraved(ctx, "ENSEMBLE", x + 7, y + 31, size=9, max_width=48)

    # Output and keyboard.
    panel(ctx, 690, 44, 792, 296, "OUTPUT", title_x=698)
    bx, by = BIG_KNOB
    knob_ticks(ctx, bx + 20, by + 20, 21.0)
    engraved(ctx, "VOLUME", bx + 20, by + 40 + 13, size=9)
    knob_label(ctx, "BALANCE", *KNOBS["OUT BALANCE"])
    kx, ky = KNOBS["OUT BALANCE"]
    engraved(ctx, "VOC · MIC", kx + 16, ky + 53, size=7.5, colour=DIM_INK)
    rgba(ctx, AMBER, 0.35)
    ctx.move_to(698, 237.5)
    ctx.line_to(784, 237.5)
    ctx.stroke()
    knob_label(ctx, "VELOCITY", *KNOBS["VELOCITY"])
    x, y = KEYBOARD_SWITCH
    engraved(ctx, "KEYS", x + 7, y + 31, size=8)

    # The centre: product name, maker and the picture's socket.
    panel(ctx, 360, 12, 686, 250)
    set_font(ctx, 58, True, TITLE_FONT)
    width = sum(ctx.text_extents(ch).x_advance for ch in "REDI") + 3 * 58 * 0.08
    logo(ctx, round(520 - width / 2.0), 96, 58)
    engraved(ctx, "V O C O D E R", 520, 120, size=11, colour=INK, family=TITLE_FONT)
    rgba(ctx, AMBER, 0.5)
    ctx.move_to(392, 130.5)
    ctx.line_to(648, 130.5)
    ctx.stroke()
    band_slots(ctx, 380, 236)
    engraved(ctx, "Welmora", 674, 238, size=12, colour=DIM_INK, align="right", family=TITLE_FONT)
    engraved(ctx, "20-BAND VOCODER  ·  CARRIER SYNTHESIZER  ·  ENSEMBLE", 520, 146, size=8,
             colour=DIM_INK, spacing=0.6)
    px, py, pw, ph = PICTURE
    cx, cy = px + pw / 2.0, py + ph / 2.0
    ctx.arc(cx, cy, 37, 0, 2 * math.pi)
    ctx.set_source(vertical_gradient(cy - 37, cy + 37, [(0, SHADOW, 0.55), (1, (1, 1, 1), 0.10)]))
    ctx.fill()
    ctx.arc(cx, cy, 34.5, 0, 2 * math.pi)
    ctx.set_source_rgb(0.085, 0.09, 0.10)
    ctx.fill()
    engraved(ctx, "W", cx, cy + 10, size=28, colour=(0.20, 0.21, 0.23), family=TITLE_FONT)

    # Bottom row.
    panel(ctx, 360, 254, 686, 296)
    bottom_row(ctx, "main")
    return s


def tweak_page():
    s, ctx = surface(WIDTH, HEIGHT)
    page_base(ctx)

    # Title strip.
    set_font(ctx, 26, True, TITLE_FONT)
    logo(ctx, 16, 38, 26)
    engraved(ctx, "BAND EDITOR", 100, 37, size=12, colour=INK, align="left", family=TITLE_FONT,
             spacing=1.5)
    engraved(ctx, "Welmora", 700, 36, size=11, colour=DIM_INK, align="right",
             family=TITLE_FONT)

    # The band grid.
    panel(ctx, 4, 52, 796, 250)
    for band in range(1, 21):
        x = band_x(band)
        rounded_rect(ctx, x - 1.5, 60, 35, 187, 3)
        rgba(ctx, (1, 1, 1), 0.028 if band % 2 else 0.0)
        ctx.fill()
        engraved(ctx, str(band), x + 16, 73, size=10, colour=AMBER)
    for y, name, unit in BAND_ROWS:
        engraved(ctx, name, 8, y + 17, size=9, colour=INK, align="left", max_width=52)
        engraved(ctx, unit, 8, y + 29, size=8, colour=DIM_INK, align="left")
    engraved(ctx, "FIXED", 8, FIXED_ROW_Y + 11, size=9, colour=INK, align="left")
    engraved(ctx, "up = on", 8, FIXED_ROW_Y + 22, size=7.5, colour=DIM_INK, align="left",
             bold=False)
    for y in (125, 173, 221):
        rgba(ctx, (1, 1, 1), 0.07)
        ctx.move_to(8, y + 0.5)
        ctx.line_to(792, y + 0.5)
        ctx.stroke()

    # The nine small knobs: group headers above, names under the value text.
    panel(ctx, 12, 254, 357, 356)
    groups = [("ENVELOPE", 24, 120), ("VOICES", 136, 200), ("ENSEMBLE L", 216, 280),
              ("ENSEMBLE R", 288, 354)]
    for title, left, right in groups:
        cx = (left + right) / 2.0 - 0.0
        engraved(ctx, title, cx, 270, size=8.5, colour=AMBER, max_width=right - left - 6)
        rgba(ctx, AMBER, 0.3)
        ctx.move_to(left + 2, 276.5)
        ctx.line_to(right - 6, 276.5)
        ctx.stroke()
    for x, name in SMALL_KNOBS:
        rgba(ctx, SHADOW, 0.35)
        rounded_rect(ctx, x - 2, SMALL_KNOB_Y + 33, 36, 12, 2)
        ctx.fill()
        engraved(ctx, name, x + 16, 352, size=8, colour=INK, bold=False, max_width=30)

    # Bottom row with the band tools.
    panel(ctx, 360, 254, 792, 296)
    menu_box(ctx, TOOLS_BOX, "TOOLS")
    bottom_row(ctx, "tweak")
    return s


# ---------------------------------------------------------------- output

# Resource id, file name, width, height, frames, drawing.
BITMAPS = [
    (1, "back.png", 800, 360, 1, main_page),
    (2, "knob.png", 32, 2080, 65, lambda: knob_strip(32)),
    (3, "knob_big.png", 40, 2600, 65, lambda: knob_strip(40)),
    (4, "knob_small.png", 24, 1560, 65, lambda: knob_strip(24)),
    (5, "switch_v.png", 14, 40, 2, lambda: switch_strip(14, 20, True)),
    (6, "switch_h.png", 20, 28, 2, lambda: switch_strip(20, 14, False)),
    (7, "vumeter.png", 100, 1860, 31, meter_strip),
    (8, "learn.png", 50, 44, 2, lambda: learn_strip("LEARN", AMBER)),
    (9, "unlearn.png", 50, 44, 2, lambda: learn_strip("FORGET", RED)),
    (10, "prev.png", 22, 44, 2, lambda: arrow_button_strip(True)),
    (11, "next.png", 22, 44, 2, lambda: arrow_button_strip(False)),
    (12, "responce.png", 72, 72, 1, picture),
    (13, "tweak.png", 800, 360, 1, tweak_page),
    (14, "trimpot.png", 32, 2080, 65, lambda: knob_strip(32, (0.45, 0.80, 1.0))),
]


def file_name(name, size):
    return name if size == 100 else name.replace(".png", "@%d.png" % size)


def expected_size(w, h, frames, size):
    return scaled_extent(w, size), scaled_extent(h // frames, size) * frames


def draw_at(size, frames, draw):
    _drawing["size"], _drawing["frames"] = size, frames
    try:
        return draw()
    finally:
        _drawing["size"], _drawing["frames"] = 100, 1


def write_all(folder, sizes=SIZES):
    """Writes every bitmap at every size; returns the 100 % drawings."""
    os.makedirs(folder, exist_ok=True)
    drawn = {}
    for _, name, w, h, frames, draw in BITMAPS:
        if h % frames != 0:
            raise SystemExit("%s: %d rows do not split into %d frames" % (name, h, frames))
        for size in sizes:
            s = draw_at(size, frames, draw)
            if (s.get_width(), s.get_height()) != expected_size(w, h, frames, size):
                raise SystemExit("%s at %d %%: drew %dx%d, the layout needs %dx%d" %
                                 ((name, size, s.get_width(), s.get_height()) +
                                  expected_size(w, h, frames, size)))
            s.write_to_png(os.path.join(folder, file_name(name, size)))
            if size == 100:
                drawn[name] = s
    return drawn


def pixels(path):
    s = cairo.ImageSurface.create_from_png(path)
    s.flush()
    return s.get_width(), s.get_height(), bytes(s.get_data())


def check(reference_folder):
    """Redraws every bitmap and compares decoded pixels, so the PNG encoder's
    own choices (compression, chunks) cannot make a difference. The pixels
    must match exactly: on one machine image cairo, pixman, FreeType and the
    fonts draw the same every time. Another cairo, FreeType or font release
    moves anti-aliased edges by a step or two; then redraw on purpose
    (run the script without --check) and commit the new files."""
    failures = []
    files = [(file_name(name, size), expected_size(w, h, frames, size))
             for _, name, w, h, frames, _ in BITMAPS for size in SIZES]
    with tempfile.TemporaryDirectory() as folder:
        write_all(folder)
        for name, (w, h) in files:
            committed = os.path.join(reference_folder, name)
            if not os.path.exists(committed):
                failures.append("%s: missing from %s" % (name, reference_folder))
                continue
            cw, ch, cdata = pixels(committed)
            _, _, ndata = pixels(os.path.join(folder, name))
            if (cw, ch) != (w, h):
                failures.append("%s: committed %dx%d, the layout needs %dx%d" % (name, cw, ch, w, h))
            elif cdata != ndata:
                differing = sum(1 for i in range(0, len(cdata), 4)
                                if cdata[i:i + 4] != ndata[i:i + 4])
                failures.append("%s: %d pixels differ from a fresh drawing" % (name, differing))
    for f in failures:
        print(f)
    print("artwork: %d of %d bitmaps match their drawing" % (len(files) - len(failures),
                                                            len(files)))
    return not failures


# ---------------------------------------------------------------- previews


def frame_of(frames, value):
    """The frame the editor shows for a normalised value."""
    return int(round((frames - 1) * value))


def paste(ctx, strip, frames, x, y, value):
    h = strip.get_height() // frames
    ctx.save()
    ctx.rectangle(x, y, strip.get_width(), h)
    ctx.clip()
    ctx.set_source_surface(strip, x, y - h * frame_of(frames, value))
    ctx.paint()
    ctx.restore()


def box_text(ctx, s, box, size, alpha, align="left"):
    l, t, r, _ = box
    set_font(ctx, size, False, "Liberation Sans")
    w = text_width(ctx, s)
    x = l if align == "left" else (l + r - w) / 2.0
    ctx.set_source_rgba(1, 1, 1, alpha)
    ctx.move_to(round(x), t + size - 2)
    ctx.show_text(s)


def preview(drawn, folder):
    os.makedirs(folder, exist_ok=True)
    for page in ("main", "tweak"):
        out, ctx = surface(WIDTH, HEIGHT)
        ctx.set_source_surface(drawn["back.png"], 0, 0)
        ctx.paint()
        knob = drawn["knob.png"]
        for i, (name, (x, y)) in enumerate(KNOBS.items()):
            paste(ctx, knob, 65, x, y, (i * 0.17 + 0.1) % 1.0)
        paste(ctx, drawn["knob_big.png"], 65, BIG_KNOB[0], BIG_KNOB[1], 0.5)
        paste(ctx, drawn["switch_v.png"], 2, OCTAVE_SWITCH[0], OCTAVE_SWITCH[1], 0)
        paste(ctx, drawn["switch_v.png"], 2, ENSEMBLE_SWITCH[0], ENSEMBLE_SWITCH[1], 1)
        paste(ctx, drawn["switch_v.png"], 2, KEYBOARD_SWITCH[0], KEYBOARD_SWITCH[1], 1)
        paste(ctx, drawn["switch_h.png"], 2, METER_MODE_SWITCH[0], METER_MODE_SWITCH[1], 1)
        paste(ctx, drawn["vumeter.png"], 31, METER[0], METER[1], 0.72)
        if page == "main":
            ctx.set_source_surface(drawn["responce.png"], PICTURE[0], PICTURE[1])
            ctx.paint()
        else:
            ctx.set_source_surface(drawn["tweak.png"], 0, 0)
            ctx.paint()
            trim = drawn["trimpot.png"]
            for i, (x, _) in enumerate(SMALL_KNOBS):
                paste(ctx, trim, 65, x, SMALL_KNOB_Y, (i * 0.21) % 1.0)
                box_text(ctx, "%.2f" % ((i * 0.21) % 1.0), (x - 4, SMALL_KNOB_Y + 33, x + 36, 0),
                         14, 0.63, "center")
            for band in range(1, 21):
                x = band_x(band)
                for row, (y, _, _) in enumerate(BAND_ROWS):
                    v = 0.35 + 0.6 * band / 20.0 if row < 2 else 0.5
                    paste(ctx, trim, 65, x, y, v)
                    shown = ("%d" % (16 + 15984 * v ** 4)) if row < 2 else "0.0"
                    box_text(ctx, shown, (x - 4, y + 33, x + 36, 0), 14, 0.63, "center")
                paste(ctx, drawn["switch_v.png"], 2, x + 9, FIXED_ROW_Y, band % 5 == 0)
        paste(ctx, drawn["prev.png"], 2, PREV_BUTTON[0], PREV_BUTTON[1], 0)
        paste(ctx, drawn["next.png"], 2, NEXT_BUTTON[0], NEXT_BUTTON[1], 1)
        paste(ctx, drawn["learn.png"], 2, LEARN_BUTTON[0], LEARN_BUTTON[1], 0)
        box_text(ctx, "MIC Input", INPUT_BOX, 14, 0.75)
        box_text(ctx, "RA-10 Standard", MODE_BOX, 14, 0.75)
        box_text(ctx, "05", NUMBER_BOX, 15, 0.63, "center")
        box_text(ctx, "Ensembler", NAME_BOX, 15, 0.63, "center")
        set_font(ctx, 12, False, "DejaVu Sans")
        ctx.set_source_rgba(1, 1, 1, 0.5)
        w = text_width(ctx, "v1.1.1.42")
        ctx.move_to(VERSION_BOX[2] - w, VERSION_BOX[1] + 10)
        ctx.show_text("v1.1.1.42")
        out.write_to_png(os.path.join(folder, "artwork-%s-preview.png" % page))
        # A 2x enlargement helps judging details.
        big, bctx = surface(WIDTH * 2, HEIGHT * 2)
        bctx.scale(2, 2)
        bctx.set_source_surface(out, 0, 0)
        bctx.get_source().set_filter(cairo.FILTER_NEAREST)
        bctx.paint()
        big.write_to_png(os.path.join(folder, "artwork-%s-preview-2x.png" % page))


# ---------------------------------------------------------------- sizes between


def reduced_from_200(name, w, h, frames, draw, size):
    """The 200 % drawing reduced to `size` with cairo's best filter."""
    big = draw_at(200, frames, draw)
    tw, th = expected_size(w, h, frames, size)
    out = cairo.ImageSurface(cairo.FORMAT_ARGB32, tw, th)
    ctx = cairo.Context(out)
    ctx.scale(tw / float(big.get_width()), th / float(big.get_height()))
    ctx.set_source_surface(big, 0, 0)
    ctx.get_source().set_filter(cairo.FILTER_BEST)
    ctx.paint()
    return out


def edge_energy(s):
    """Mean luminance step between neighbouring pixels: blur lowers it."""
    s.flush()
    w, h, stride, data = s.get_width(), s.get_height(), s.get_stride(), s.get_data()
    lum = [[0.0] * w for _ in range(h)]
    for y in range(h):
        row = y * stride
        for x in range(w):
            b, g, r = data[row + 4 * x], data[row + 4 * x + 1], data[row + 4 * x + 2]
            lum[y][x] = 0.2126 * r + 0.7152 * g + 0.0722 * b
    total = 0.0
    for y in range(h - 1):
        for x in range(w - 1):
            total += abs(lum[y][x + 1] - lum[y][x]) + abs(lum[y + 1][x] - lum[y][x])
    return total / ((w - 1) * (h - 1))


def compare_sizes(folder):
    """Prints the edge energy of each size drawn directly and reduced from
    200 %, and writes both side by side, twice enlarged, into folder."""
    os.makedirs(folder, exist_ok=True)
    chosen = {name: entry for entry in BITMAPS for name in [entry[1]]}
    for name in ("back.png", "knob.png", "learn.png"):
        _, _, w, h, frames, draw = chosen[name]
        for size in (125, 150, 175):
            direct = draw_at(size, frames, draw)
            reduced = reduced_from_200(name, w, h, frames, draw, size)
            if name != "back.png":  # one frame is enough to judge
                fh = direct.get_height() // frames
                direct, reduced = (crop(x, 0, 0, x.get_width(), fh) for x in (direct, reduced))
            d, r = edge_energy(direct), edge_energy(reduced)
            print("%-10s %3d %%: direct %.2f, reduced from 200 %% %.2f (%.0f %% of direct)" %
                  (name, size, d, r, 100.0 * r / d))
            side = cairo.ImageSurface(cairo.FORMAT_ARGB32, 4 * direct.get_width() + 8,
                                      2 * direct.get_height())
            ctx = cairo.Context(side)
            ctx.scale(2, 2)
            for i, x in enumerate((direct, reduced)):
                ctx.set_source_surface(x, i * (x.get_width() + 4), 0)
                ctx.get_source().set_filter(cairo.FILTER_NEAREST)
                ctx.paint()
            side.write_to_png(os.path.join(folder, "sizes-%s-%d.png" % (name[:-4], size)))


def crop(s, x, y, w, h):
    out = cairo.ImageSurface(cairo.FORMAT_ARGB32, w, h)
    ctx = cairo.Context(out)
    ctx.set_source_surface(s, -x, -y)
    ctx.paint()
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=IMG_DIR)
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--preview", metavar="DIR")
    parser.add_argument("--compare-sizes", metavar="DIR")
    args = parser.parse_args()
    if args.check:
        return 0 if check(args.out) else 1
    if args.compare_sizes:
        compare_sizes(args.compare_sizes)
        return 0
    drawn = write_all(args.out)
    if args.preview:
        preview(drawn, args.preview)
    return 0


if __name__ == "__main__":
    sys.exit(main())
