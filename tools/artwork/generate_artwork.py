#!/usr/bin/python3
"""Draws every bitmap of the KESTRO editor and writes them to resources/img/.

The editor is a fixed 1020 x 151 bitmap interface: one opaque panel image,
film strips for the knobs (frames stacked vertically, frame k showing the
normalised value (k - 1) / (N - 1)), two-frame strips for the switches and a
61-frame strip for the gain-reduction meter. The PNGs are committed, so the
build never runs this script; it exists so the artwork can be changed and
reproduced.

Run it with Debian's interpreter, which has python3-cairo:

    /usr/bin/python3 tools/artwork/generate_artwork.py

Output is deterministic: the panel grain comes from a fixed-seed generator
and the PNG encoder below writes no time stamps or other varying chunks.
Besides the resources it writes docs/artwork-preview.png, the panel with
every control at its default frame, to check the composition at a glance.
"""

import math
import os
import struct
import sys
import zlib

import cairo

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
IMG_DIR = os.path.join(ROOT, "resources", "img")
# The Windows bundle's folder icon (PlugIn.ico beside desktop.ini).
ICON = os.path.join(ROOT, "resources", "windows", "PlugIn.ico")
PREVIEW = os.path.join(ROOT, "docs", "artwork-preview.png")

W, H = 1020, 151

# Rectangles the editor places its controls at (left, top); frame sizes are
# the strip width by the strip height over the frame count.
KNOB_TOP = 38
KNOB_FRAME_H = 52
KNOBS = {
    # name: (x, frame width, frames)
    "Side": (167, 51, 61),
    "Mix": (261, 50, 61),
    "Rat": (353, 50, 6),
    "Rel": (447, 53, 6),
    "Atk": (538, 53, 6),
    "Thr": (636, 50, 61),
    "Out": (728, 50, 61),
}
LAMP = (73, 38, 53, 52)          # x, y, frame w, frame h
OVER = (0, 124, 150, 25)
SC = (920, 122, 100, 30)
METER = (816, 9, 123, 70)
# The plug-in prints its version caption itself, centred in this rectangle,
# in 14 px black Verdana. It overlaps the top of the lamp's frame, so that
# part of the lamp strip stays transparent and the titles stay clear of it.
CAPTION = (49, 29, 149, 49)
CAPTION_TEXT = "Version 6.1.0"

# A knob turns through 270 degrees, from 7:30 to 4:30 on a clock face.
SWEEP_START = -135.0
SWEEP = 270.0

SANS = "DejaVu Sans"
CONDENSED = "DejaVu Sans Condensed"

PANEL_INK = (0.14, 0.145, 0.155)
PANEL_SOFT_INK = (0.30, 0.31, 0.33)


# --------------------------------------------------------------------------
# PNG output
# --------------------------------------------------------------------------

def _paeth(a, b, c):
    p = a + b - c
    pa = abs(p - a)
    pb = abs(p - b)
    pc = abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    if pb <= pc:
        return b
    return c


def _compressed_scanlines(rows, bpp=4):
    """Returns the smallest zlib stream of the filtered scanlines.

    PNG lets every row pick one of five predictors. The usual minimum-sum
    rule is one candidate; the others use one predictor for every row. For
    these images "none" often wins, because antialiased marks repeat byte
    for byte from one frame of a strip to the next and prediction would
    only scramble them. Doing this here rather than in cairo's writer also
    keeps the files independent of libpng's defaults.
    """
    streams = [bytearray() for _ in range(6)]
    prev = bytes(len(rows[0]))
    for row in rows:
        n = len(row)
        sub = bytearray(n)
        up = bytearray(n)
        avg = bytearray(n)
        pae = bytearray(n)
        for i in range(n):
            x = row[i]
            a = row[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            sub[i] = (x - a) & 0xFF
            up[i] = (x - b) & 0xFF
            avg[i] = (x - ((a + b) >> 1)) & 0xFF
            pae[i] = (x - _paeth(a, b, c)) & 0xFF
        filtered = (bytes(row), sub, up, avg, pae)
        best = None
        for ftype, data in enumerate(filtered):
            streams[ftype].append(ftype)
            streams[ftype] += data
            score = sum(v if v < 128 else 256 - v for v in data)
            if best is None or score < best[0]:
                best = (score, ftype)
        streams[5].append(best[1])
        streams[5] += filtered[best[1]]
        prev = row
    packed = [zlib.compress(bytes(st), 9) for st in streams]
    return min(packed, key=len)


def _chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(
        ">I", zlib.crc32(body) & 0xFFFFFFFF)


def surface_rows(surface):
    """Returns the surface as rows of straight-alpha RGBA bytes.

    Cairo keeps premultiplied, native-endian ARGB words; the editor and PNG
    both want straight alpha, so every partly transparent pixel is divided
    back out here with rounding.
    """
    surface.flush()
    w, h = surface.get_width(), surface.get_height()
    stride = surface.get_stride()
    data = bytes(surface.get_data())
    little = sys.byteorder == "little"
    rows = []
    for y in range(h):
        src = data[y * stride: y * stride + 4 * w]
        row = bytearray(4 * w)
        for x in range(w):
            px = src[4 * x: 4 * x + 4]
            if little:
                b, g, r, a = px[0], px[1], px[2], px[3]
            else:
                a, r, g, b = px[0], px[1], px[2], px[3]
            if a == 0:
                r = g = b = 0
            elif a != 255:
                r = min(255, (r * 255 + a // 2) // a)
                g = min(255, (g * 255 + a // 2) // a)
                b = min(255, (b * 255 + a // 2) // a)
            row[4 * x: 4 * x + 4] = bytes((r, g, b, a))
        rows.append(bytes(row))
    return rows


def _png_bytes(surface):
    w, h = surface.get_width(), surface.get_height()
    png = b"\x89PNG\r\n\x1a\n"
    png += _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += _chunk(b"IDAT", _compressed_scanlines(surface_rows(surface)))
    png += _chunk(b"IEND", b"")
    return png


def write_png(surface, path):
    png = _png_bytes(surface)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(png)
    return len(png)


# --------------------------------------------------------------------------
# Drawing helpers
# --------------------------------------------------------------------------

# Device pixels per editor pixel of the images being drawn: 1 for the
# editor's own images, 2 for the high-density set (name@2x.png) that scaled
# editors use. Everything is drawn in editor pixels; only the surface grows.
SCALE = 1


def new_surface(w, h):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, w * SCALE, h * SCALE)
    ctx = cairo.Context(s)
    ctx.scale(SCALE, SCALE)
    return s, ctx


def set_font(ctx, family, size, bold=True):
    ctx.select_font_face(family, cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold
                         else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    opts = cairo.FontOptions()
    opts.set_antialias(cairo.ANTIALIAS_GRAY)
    opts.set_hint_style(cairo.HINT_STYLE_SLIGHT)
    opts.set_hint_metrics(cairo.HINT_METRICS_OFF)
    ctx.set_font_options(opts)


def text_width(ctx, text, spacing=0.0):
    if not text:
        return 0.0
    total = 0.0
    for ch in text:
        total += ctx.text_extents(ch).x_advance + spacing
    return total - spacing


def draw_text(ctx, text, x, y, align="left", spacing=0.0):
    """Draws text on baseline y; align is relative to x. Letter spacing is
    applied per character because cairo's toy API has none of its own."""
    w = text_width(ctx, text, spacing) if spacing else \
        ctx.text_extents(text).x_advance
    if align == "center":
        x -= w / 2.0
    elif align == "right":
        x -= w
    if not spacing:
        ctx.move_to(x, y)
        ctx.show_text(text)
        return
    for ch in text:
        ctx.move_to(x, y)
        ctx.show_text(ch)
        x += ctx.text_extents(ch).x_advance + spacing


def cap_height(ctx):
    return -ctx.text_extents("H").y_bearing


def rounded_rect(ctx, x, y, w, h, r):
    ctx.new_sub_path()
    ctx.arc(x + w - r, y + r, r, -math.pi / 2, 0)
    ctx.arc(x + w - r, y + h - r, r, 0, math.pi / 2)
    ctx.arc(x + r, y + h - r, r, math.pi / 2, math.pi)
    ctx.arc(x + r, y + r, r, math.pi, 1.5 * math.pi)
    ctx.close_path()


def polar(cx, cy, r, deg):
    a = math.radians(deg)
    return cx + r * math.sin(a), cy - r * math.cos(a)


def knob_angle(v):
    return SWEEP_START + SWEEP * v


class Grain:
    """Small xorshift generator; Python's own generators are stable too, but
    this keeps the grain identical whatever the interpreter version."""

    def __init__(self, seed):
        self.s = seed & 0xFFFFFFFF or 1

    def next(self):
        s = self.s
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.s = s
        return s


# --------------------------------------------------------------------------
# Knobs
# --------------------------------------------------------------------------

KNOB_R = 17.5


def draw_knob(ctx, cx, cy, v):
    r = KNOB_R
    # Soft contact shadow, offset downwards as if lit from above.
    g = cairo.RadialGradient(cx, cy + 2.5, r - 3, cx, cy + 2.5, r + 5.5)
    g.add_color_stop_rgba(0, 0, 0, 0, 0.55)
    g.add_color_stop_rgba(0.45, 0, 0, 0, 0.22)
    g.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.set_source(g)
    ctx.arc(cx, cy + 2.5, r + 5.5, 0, 2 * math.pi)
    ctx.fill()

    # Skirt: the outer, slightly flared part of the knob; a vertical
    # gradient reads as a curved surface under top light.
    g = cairo.LinearGradient(0, cy - r, 0, cy + r)
    g.add_color_stop_rgb(0, 0.30, 0.30, 0.31)
    g.add_color_stop_rgb(0.35, 0.11, 0.11, 0.12)
    g.add_color_stop_rgb(1, 0.03, 0.03, 0.035)
    ctx.set_source(g)
    ctx.arc(cx, cy, r, 0, 2 * math.pi)
    ctx.fill()
    # Crisp outer edge so the knob separates cleanly from the panel.
    ctx.set_line_width(0.8)
    ctx.set_source_rgba(0, 0, 0, 0.85)
    ctx.arc(cx, cy, r - 0.4, 0, 2 * math.pi)
    ctx.stroke()

    # Light catching the upper rim of the skirt.
    g = cairo.LinearGradient(0, cy - r, 0, cy)
    g.add_color_stop_rgba(0, 1, 1, 1, 0.35)
    g.add_color_stop_rgba(1, 1, 1, 1, 0.0)
    ctx.set_source(g)
    ctx.set_line_width(0.9)
    ctx.arc(cx, cy, r - 1.2, math.radians(200), math.radians(340))
    ctx.stroke()

    # Cap: a shallow dome, highlight towards the top left.
    rc = r - 4.0
    g = cairo.LinearGradient(0, cy - rc, 0, cy + rc)
    g.add_color_stop_rgb(0, 0.02, 0.02, 0.025)
    g.add_color_stop_rgb(1, 0.24, 0.24, 0.25)
    ctx.set_source(g)
    ctx.set_line_width(1.2)
    ctx.arc(cx, cy, rc + 0.6, 0, 2 * math.pi)
    ctx.stroke()
    g = cairo.RadialGradient(cx - 3.5, cy - 5.5, 0.5, cx, cy, rc)
    g.add_color_stop_rgb(0, 0.31, 0.31, 0.32)
    g.add_color_stop_rgb(0.55, 0.13, 0.13, 0.14)
    g.add_color_stop_rgb(1, 0.07, 0.07, 0.075)
    ctx.set_source(g)
    ctx.arc(cx, cy, rc, 0, 2 * math.pi)
    ctx.fill()

    # Pointer: a white line running from near the centre out over the
    # skirt, with a faint dark edge so it stays sharp on the highlight.
    ang = knob_angle(v)
    x0, y0 = polar(cx, cy, 4.5, ang)
    x1, y1 = polar(cx, cy, r - 1.3, ang)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    ctx.set_source_rgba(0, 0, 0, 0.6)
    ctx.set_line_width(3.6)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()
    ctx.set_source_rgb(0.97, 0.97, 0.95)
    ctx.set_line_width(2.1)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()


def knob_strip(fw, frames):
    s, ctx = new_surface(fw, KNOB_FRAME_H * frames)
    for k in range(frames):
        v = k / (frames - 1)
        ctx.save()
        ctx.translate(0, k * KNOB_FRAME_H)
        ctx.rectangle(0, 0, fw, KNOB_FRAME_H)
        ctx.clip()
        draw_knob(ctx, fw / 2.0, KNOB_FRAME_H / 2.0, v)
        ctx.restore()
    return s


# --------------------------------------------------------------------------
# Bypass lamp
# --------------------------------------------------------------------------

# Rows of the lamp frame under the version caption stay empty.
LAMP_CLEAR_ROWS = 12


def draw_lamp(ctx, fw, fh, lit):
    size = 32.0
    x = (fw - size) / 2.0
    y = LAMP_CLEAR_ROWS + (fh - LAMP_CLEAR_ROWS - size) / 2.0 - 0.5
    cx, cy = x + size / 2, y + size / 2

    ctx.save()
    ctx.rectangle(0, LAMP_CLEAR_ROWS, fw, fh - LAMP_CLEAR_ROWS)
    ctx.clip()
    if lit:
        # Light spilling onto the panel around the bezel.
        g = cairo.RadialGradient(cx, cy, size * 0.45, cx, cy, size * 0.78)
        g.add_color_stop_rgba(0, 0.35, 1.0, 0.45, 0.45)
        g.add_color_stop_rgba(1, 0.35, 1.0, 0.45, 0.0)
        ctx.set_source(g)
        ctx.paint()
    # Shadow under the bezel.
    for i, a in ((3.0, 0.10), (2.0, 0.14), (1.0, 0.2)):
        rounded_rect(ctx, x - i + 0.5, y - i + 1.8, size + 2 * i - 1,
                     size + 2 * i - 1, 4 + i)
        ctx.set_source_rgba(0, 0, 0, a)
        ctx.fill()
    ctx.restore()

    # Black bezel with a bright upper edge.
    rounded_rect(ctx, x, y, size, size, 4)
    g = cairo.LinearGradient(0, y, 0, y + size)
    g.add_color_stop_rgb(0, 0.32, 0.32, 0.33)
    g.add_color_stop_rgb(0.12, 0.12, 0.12, 0.13)
    g.add_color_stop_rgb(1, 0.04, 0.04, 0.045)
    ctx.set_source(g)
    ctx.fill()

    # Lens.
    inset = 4.5
    lx, ly, ls = x + inset, y + inset, size - 2 * inset
    rounded_rect(ctx, lx, ly, ls, ls, 2.2)
    if lit:
        g = cairo.RadialGradient(cx, cy - 1, 1, cx, cy, ls * 0.75)
        g.add_color_stop_rgb(0, 0.86, 1.0, 0.84)
        g.add_color_stop_rgb(0.35, 0.42, 0.98, 0.46)
        g.add_color_stop_rgb(1, 0.10, 0.62, 0.22)
    else:
        g = cairo.RadialGradient(cx, cy - 1, 1, cx, cy, ls * 0.75)
        g.add_color_stop_rgb(0, 0.22, 0.36, 0.24)
        g.add_color_stop_rgb(1, 0.09, 0.17, 0.10)
    ctx.set_source(g)
    ctx.fill_preserve()
    ctx.set_line_width(1.0)
    ctx.set_source_rgba(0, 0, 0, 0.55)
    ctx.stroke()

    # Reflection on the upper half of the lens.
    rounded_rect(ctx, lx + 1.5, ly + 1.2, ls - 3, ls * 0.42, 1.6)
    g = cairo.LinearGradient(0, ly, 0, ly + ls * 0.45)
    g.add_color_stop_rgba(0, 1, 1, 1, 0.38 if lit else 0.22)
    g.add_color_stop_rgba(1, 1, 1, 1, 0.0)
    ctx.set_source(g)
    ctx.fill()


def lamp_strip():
    _, _, fw, fh = LAMP
    s, ctx = new_surface(fw, fh * 2)
    for k, lit in enumerate((False, True)):
        ctx.save()
        ctx.translate(0, k * fh)
        ctx.rectangle(0, 0, fw, fh)
        ctx.clip()
        draw_lamp(ctx, fw, fh, lit)
        ctx.restore()
    return s


# --------------------------------------------------------------------------
# Switch legends (oversampling, detector source)
# --------------------------------------------------------------------------

def draw_legend(ctx, fw, fh, text, on, plate, spacing):
    """A dark engraved legend plate with white lettering and a small status
    lamp; the plate is needed because white print on light grey vanishes."""
    px, py, pw, ph = plate
    # Recess shadow and plate.
    rounded_rect(ctx, px - 0.5, py + 0.5, pw + 1, ph + 1, 4)
    ctx.set_source_rgba(1, 1, 1, 0.55)
    ctx.fill()
    rounded_rect(ctx, px - 0.5, py - 0.5, pw + 1, ph + 1, 4)
    ctx.set_source_rgba(0, 0, 0, 0.45)
    ctx.fill()
    rounded_rect(ctx, px, py, pw, ph, 3.5)
    g = cairo.LinearGradient(0, py, 0, py + ph)
    g.add_color_stop_rgb(0, 0.22, 0.225, 0.235)
    g.add_color_stop_rgb(1, 0.12, 0.125, 0.13)
    ctx.set_source(g)
    ctx.fill()
    # Top inner shadow.
    rounded_rect(ctx, px, py, pw, ph, 3.5)
    ctx.save()
    ctx.clip()
    g = cairo.LinearGradient(0, py, 0, py + 3)
    g.add_color_stop_rgba(0, 0, 0, 0, 0.5)
    g.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.set_source(g)
    ctx.paint()
    ctx.restore()

    # Status lamp.
    lx, ly = px + 9.5, py + ph / 2.0
    if on:
        g = cairo.RadialGradient(lx, ly, 0.5, lx, ly, 6.5)
        g.add_color_stop_rgba(0, 1.0, 0.65, 0.2, 0.55)
        g.add_color_stop_rgba(1, 1.0, 0.55, 0.1, 0.0)
        ctx.set_source(g)
        ctx.arc(lx, ly, 6.5, 0, 2 * math.pi)
        ctx.fill()
    ctx.arc(lx, ly, 3.0, 0, 2 * math.pi)
    ctx.set_source_rgb(0.05, 0.05, 0.05)
    ctx.fill()
    g = cairo.RadialGradient(lx - 0.6, ly - 0.8, 0.2, lx, ly, 2.4)
    if on:
        g.add_color_stop_rgb(0, 1.0, 0.93, 0.70)
        g.add_color_stop_rgb(1, 1.0, 0.55, 0.08)
    else:
        g.add_color_stop_rgb(0, 0.42, 0.30, 0.18)
        g.add_color_stop_rgb(1, 0.22, 0.13, 0.06)
    ctx.set_source(g)
    ctx.arc(lx, ly, 2.3, 0, 2 * math.pi)
    ctx.fill()

    set_font(ctx, CONDENSED, 10.5)
    tx = px + 18.5 + (pw - 18.5 - 5) / 2.0
    base = py + ph / 2.0 + cap_height(ctx) / 2.0
    ctx.set_source_rgba(0, 0, 0, 0.6)
    draw_text(ctx, text, tx, base + 0.8, "center", spacing)
    ctx.set_source_rgb(0.97, 0.97, 0.96)
    draw_text(ctx, text, tx, base, "center", spacing)


def legend_strip(size, texts, on_states, plate, spacing):
    fw, fh = size
    s, ctx = new_surface(fw, fh * len(texts))
    for k, (text, on) in enumerate(zip(texts, on_states)):
        ctx.save()
        ctx.translate(0, k * fh)
        ctx.rectangle(0, 0, fw, fh)
        ctx.clip()
        draw_legend(ctx, fw, fh, text, on, plate, spacing)
        ctx.restore()
    return s


# --------------------------------------------------------------------------
# Gain-reduction meter
# --------------------------------------------------------------------------

# The needle pivots well below the window, so only a gently curved stretch
# of the scale shows: the arc's crown sits 12 px above its ends.
METER_ARC_R = 108.0
METER_HALF_ANGLE = 25.0
METER_PIVOT = (61.5, 24.0 + METER_ARC_R)
METER_MAX_DB = 20.0
METER_RED_FROM = 12


def meter_angle(db):
    return -METER_HALF_ANGLE + 2 * METER_HALF_ANGLE * db / METER_MAX_DB


def draw_meter_face(ctx, w, h):
    px, py = METER_PIVOT
    # Backlit ivory face. Only a vertical gradient and no vignette: the
    # strip holds 61 full frames, and every frame is a little too large for
    # the compressor to reuse its neighbour, so flat areas keep it small.
    g = cairo.LinearGradient(0, 0, 0, h)
    g.add_color_stop_rgb(0, 0.96, 0.92, 0.80)
    g.add_color_stop_rgb(1, 0.89, 0.83, 0.67)
    ctx.set_source(g)
    ctx.paint()

    ink = (0.10, 0.09, 0.08)
    red = (0.78, 0.13, 0.08)
    a0 = math.radians(meter_angle(0) - 90)
    ar = math.radians(meter_angle(METER_RED_FROM) - 90)
    a1 = math.radians(meter_angle(METER_MAX_DB) - 90)
    ctx.set_line_width(1.0)
    ctx.set_source_rgb(*ink)
    ctx.arc(px, py, METER_ARC_R, a0, a1)
    ctx.stroke()
    # Heavy compression is marked by a red band just inside the arc.
    ctx.set_source_rgb(*red)
    ctx.set_line_width(2.6)
    ctx.arc(px, py, METER_ARC_R - 2.3, ar, a1)
    ctx.stroke()

    ctx.set_line_cap(cairo.LINE_CAP_BUTT)
    for db in range(0, 21):
        major = db % 4 == 0
        ang = meter_angle(db)
        x0, y0 = polar(px, py, METER_ARC_R - 0.5, ang)
        x1, y1 = polar(px, py, METER_ARC_R + (6.0 if major else 3.5), ang)
        ctx.set_source_rgb(*(red if db > METER_RED_FROM else ink))
        ctx.set_line_width(1.3 if major else 0.9)
        ctx.move_to(x0, y0)
        ctx.line_to(x1, y1)
        ctx.stroke()

    set_font(ctx, CONDENSED, 9.5)
    ch = cap_height(ctx)
    for db in range(0, 21, 4):
        ang = meter_angle(db)
        x, y = polar(px, py, METER_ARC_R + 11.5, ang)
        ctx.set_source_rgb(*(red if db > METER_RED_FROM else ink))
        draw_text(ctx, str(db), x, y + ch / 2.0, "center")

    set_font(ctx, CONDENSED, 7.5)
    ctx.set_source_rgb(*ink)
    draw_text(ctx, "dB COMPRESSION", px, 48.0, "center", 0.25)


def draw_meter_needle(ctx, w, h, db):
    px, py = METER_PIVOT
    ang = meter_angle(db)
    x1, y1 = polar(px, py, METER_ARC_R + 5.0, ang)
    x0, y0 = polar(px, py, METER_ARC_R - 50.0, ang)
    ctx.set_line_cap(cairo.LINE_CAP_BUTT)
    # Shadow thrown on the face by the backlight above the needle.
    ctx.set_source_rgba(0.30, 0.22, 0.08, 0.25)
    ctx.set_line_width(1.5)
    ctx.move_to(x0 + 1.5, y0 + 2.0)
    ctx.line_to(x1 + 1.5, y1 + 2.0)
    ctx.stroke()
    ctx.set_source_rgb(0.07, 0.06, 0.06)
    ctx.set_line_width(1.2)
    ctx.move_to(x0, y0)
    ctx.line_to(x1, y1)
    ctx.stroke()


def draw_meter_glass(ctx, w, h):
    px = METER_PIVOT[0]
    # Cover over the needle's pivot at the bottom centre.
    ctx.save()
    ctx.translate(px, h + 1.0)
    ctx.scale(2.1, 1.0)
    ctx.arc(0, 0, 8.5, math.pi, 2 * math.pi)
    ctx.restore()
    ctx.close_path()
    g = cairo.LinearGradient(0, h - 8, 0, h)
    g.add_color_stop_rgb(0, 0.30, 0.30, 0.31)
    g.add_color_stop_rgb(0.3, 0.14, 0.14, 0.15)
    g.add_color_stop_rgb(1, 0.05, 0.05, 0.05)
    ctx.set_source(g)
    ctx.fill()
    # Shadow of the window frame falling on the face from above; top only,
    # again so that each row stays uniform.
    g = cairo.LinearGradient(0, 0, 0, 8)
    g.add_color_stop_rgba(0, 0, 0, 0, 0.50)
    g.add_color_stop_rgba(1, 0, 0, 0, 0)
    ctx.set_source(g)
    ctx.paint()


def meter_strip():
    fx, fy, fw, fh = METER
    frames = 61
    s, ctx = new_surface(fw, fh * frames)
    for k in range(frames):
        ctx.save()
        ctx.translate(0, k * fh)
        ctx.rectangle(0, 0, fw, fh)
        ctx.clip()
        draw_meter_face(ctx, fw, fh)
        draw_meter_needle(ctx, fw, fh, METER_MAX_DB * k / (frames - 1))
        draw_meter_glass(ctx, fw, fh)
        ctx.restore()
    return s


# --------------------------------------------------------------------------
# Panel
# --------------------------------------------------------------------------

def knob_centre(name):
    x, fw, _ = KNOBS[name]
    return x + fw / 2.0, KNOB_TOP + KNOB_FRAME_H / 2.0


# Printed scales: (name, legend, [(value, label)], tick values)
def _even(n):
    return [i / (n - 1) for i in range(n)]


SCALES = [
    ("Side", "SC", [(0.0, "OFF"), (0.5, "100"), (1.0, "500")], _even(11)),
    ("Mix", "MIX", [(0.0, "0"), (0.5, "50"), (1.0, "100")], _even(11)),
    ("Rat", "RATIO", list(zip(_even(6), ["1.5", "2", "3", "4", "5", "10"])),
     _even(6)),
    ("Rel", "RELEASE - S",
     list(zip(_even(6), [".1", ".2", ".4", ".8", "1.6", "A"])), _even(6)),
    ("Atk", "ATTACK - mS",
     list(zip(_even(6), [".1", ".3", "1", "3", "10", "30"])), _even(6)),
    ("Thr", "THRESHOLD",
     list(zip(_even(5), ["-20", "-10", "0", "+10", "+20"])), _even(9)),
    ("Out", "MAKE UP", [(0.0, "\u2212"), (1.0, "+")], _even(11)),
]

TICK_R0 = KNOB_R + 3.2
TICK_R1 = KNOB_R + 6.2
LABEL_R = KNOB_R + 9.0
LEGEND_BASELINE = 110.5
LEGEND_SPACING = 0.7


def draw_scale(ctx, name, legend, labels, ticks):
    cx, cy = knob_centre(name)
    major = {round(v, 6) for v, _ in labels}
    ctx.set_line_cap(cairo.LINE_CAP_BUTT)
    for v in ticks:
        is_major = round(v, 6) in major
        ang = knob_angle(v)
        r1 = TICK_R1 + (0.8 if is_major else -0.8)
        x0, y0 = polar(cx, cy, TICK_R0, ang)
        x1, y1 = polar(cx, cy, r1, ang)
        ctx.set_source_rgb(*PANEL_INK)
        ctx.set_line_width(1.3 if is_major else 0.9)
        ctx.move_to(x0, y0)
        ctx.line_to(x1, y1)
        ctx.stroke()

    for v, text in labels:
        ang = knob_angle(v)
        big = text in ("\u2212", "+")
        set_font(ctx, CONDENSED, 12.0 if big else 9.0)
        ext = ctx.text_extents(text)
        tw, th = ext.x_advance, cap_height(ctx)
        if big:
            th = ext.height
        # Push the label out until its box clears the tick ring.
        a = math.radians(ang)
        reach = LABEL_R + 0.5 * abs(tw * math.sin(a)) + 0.5 * abs(
            th * math.cos(a))
        x, y = polar(cx, cy, reach, ang)
        ctx.set_source_rgb(*PANEL_INK)
        if big:
            ctx.move_to(x - ext.x_bearing - ext.width / 2.0,
                        y - ext.y_bearing - ext.height / 2.0)
            ctx.show_text(text)
        else:
            draw_text(ctx, text, x, y + th / 2.0, "center")

    set_font(ctx, CONDENSED, 10.5)
    ctx.set_source_rgb(*PANEL_INK)
    draw_text(ctx, legend, cx, LEGEND_BASELINE, "center", LEGEND_SPACING)


def draw_hole(ctx, x, y):
    # A countersunk hole with the dark rack rail showing through.
    g = cairo.LinearGradient(0, y - 6, 0, y + 6)
    g.add_color_stop_rgb(0, 0.55, 0.56, 0.57)
    g.add_color_stop_rgb(1, 0.93, 0.93, 0.94)
    ctx.set_source(g)
    ctx.arc(x, y, 6.0, 0, 2 * math.pi)
    ctx.fill()
    g = cairo.RadialGradient(x, y - 1.2, 0.5, x, y, 4.4)
    g.add_color_stop_rgb(0, 0.13, 0.13, 0.14)
    g.add_color_stop_rgb(1, 0.03, 0.03, 0.035)
    ctx.set_source(g)
    ctx.arc(x, y, 4.4, 0, 2 * math.pi)
    ctx.fill()


def add_brushing(surface, seed, amount):
    """Adds a faint horizontal brushed grain to an opaque surface.

    Each row drifts between random levels over random lengths, which reads
    as a satin metal finish and, unlike per-pixel noise, costs little in the
    compressed image because neighbouring pixels stay equal.
    """
    surface.flush()
    w, h = surface.get_width(), surface.get_height()
    stride = surface.get_stride()
    data = surface.get_data()
    rng = Grain(seed)
    little = sys.byteorder == "little"

    def level():
        n = rng.next()
        # Triangular distribution centred on zero, in -amount..amount.
        return ((n & 255) + ((n >> 8) & 255) - 255) / 255.0 * amount

    for y in range(h):
        base = y * stride
        x = 0
        cur = level()
        while x < w:
            n = rng.next()
            # Streaks as long in editor pixels at every scale.
            length = (12 + n % 150) * SCALE
            nxt = level()
            for i in range(length):
                if x >= w:
                    break
                d = int(round(cur + (nxt - cur) * i / length))
                if d:
                    p = base + 4 * x
                    chans = (p, p + 1, p + 2) if little else \
                        (p + 1, p + 2, p + 3)
                    for c in chans:
                        data[c] = max(0, min(255, data[c] + d))
                x += 1
            cur = nxt
    surface.mark_dirty()


def panel():
    s, ctx = new_surface(W, H)

    # Base paint: light grey, a touch lighter at the top.
    g = cairo.LinearGradient(0, 0, 0, H)
    g.add_color_stop_rgb(0, 0.815, 0.822, 0.830)
    g.add_color_stop_rgb(1, 0.735, 0.742, 0.750)
    ctx.set_source(g)
    ctx.paint()
    add_brushing(s, 0x4B455354, 3.0)

    # Folded edges: highlight on top and left, shade on bottom and right.
    for i, (a_hi, a_lo) in enumerate(((0.55, 0.45), (0.30, 0.25),
                                      (0.12, 0.10))):
        ctx.set_line_width(1.0)
        ctx.set_source_rgba(1, 1, 1, a_hi)
        ctx.move_to(i + 0.5, H - i)
        ctx.line_to(i + 0.5, i + 0.5)
        ctx.line_to(W - i, i + 0.5)
        ctx.stroke()
        ctx.set_source_rgba(0, 0, 0, a_lo)
        ctx.move_to(i + 1, H - i - 0.5)
        ctx.line_to(W - i - 0.5, H - i - 0.5)
        ctx.line_to(W - i - 0.5, i + 1)
        ctx.stroke()

    # Mounting holes.
    for x, y in ((14, 14), (W - 14, 14), (14, H - 42), (W - 14, H - 42)):
        draw_hole(ctx, x, y)

    # Title block, kept above the version caption.
    ctx.set_source_rgb(*PANEL_SOFT_INK)
    set_font(ctx, CONDENSED, 8.5)
    draw_text(ctx, "PELMARACOUSTICS", 29, 11.5, "left", 1.9)
    ctx.set_source_rgb(*PANEL_INK)
    set_font(ctx, SANS, 17.0)
    draw_text(ctx, "KESTRO", 28, 27.0, "left", 3.6)

    # BYPASS under the lamp.
    lx = LAMP[0] + LAMP[2] / 2.0
    set_font(ctx, CONDENSED, 10.5)
    ctx.set_source_rgb(*PANEL_INK)
    draw_text(ctx, "BYPASS", lx, LEGEND_BASELINE, "center", LEGEND_SPACING)

    # Model line along the foot of the panel, between the two switches.
    y = 137.5
    set_font(ctx, CONDENSED, 8.0)
    text = "STEREO BUS COMPRESSOR"
    tw = text_width(ctx, text, 2.2)
    mid = (OVER[0] + OVER[2] + SC[0]) / 2.0
    ctx.set_source_rgb(*PANEL_SOFT_INK)
    draw_text(ctx, text, mid, y + cap_height(ctx) / 2.0, "center", 2.2)
    for x0, x1 in ((OVER[2] + 20, mid - tw / 2 - 12),
                   (mid + tw / 2 + 12, SC[0] - 20)):
        ctx.set_line_width(1.0)
        ctx.set_source_rgba(0, 0, 0, 0.28)
        ctx.move_to(x0, y - 0.5)
        ctx.line_to(x1, y - 0.5)
        ctx.stroke()
        ctx.set_source_rgba(1, 1, 1, 0.55)
        ctx.move_to(x0, y + 0.5)
        ctx.line_to(x1, y + 0.5)
        ctx.stroke()

    for name, legend, labels, ticks in SCALES:
        draw_scale(ctx, name, legend, labels, ticks)

    # Recessed window behind the meter.
    mx, my, mw, mh = METER
    b = 5
    rounded_rect(ctx, mx - b - 1, my - b + 1, mw + 2 * b + 2, mh + 2 * b, 5)
    ctx.set_source_rgba(1, 1, 1, 0.6)
    ctx.fill()
    rounded_rect(ctx, mx - b - 1, my - b - 1, mw + 2 * b + 2, mh + 2 * b, 5)
    ctx.set_source_rgba(0, 0, 0, 0.5)
    ctx.fill()
    rounded_rect(ctx, mx - b, my - b, mw + 2 * b, mh + 2 * b, 4.5)
    g = cairo.LinearGradient(0, my - b, 0, my + mh + b)
    g.add_color_stop_rgb(0, 0.05, 0.05, 0.055)
    g.add_color_stop_rgb(1, 0.16, 0.16, 0.17)
    ctx.set_source(g)
    ctx.fill()
    ctx.rectangle(mx, my, mw, mh)
    ctx.set_source_rgb(0.02, 0.02, 0.02)
    ctx.fill()
    return s


# --------------------------------------------------------------------------
# Preview
# --------------------------------------------------------------------------

def preview(paths):
    s, ctx = new_surface(W, H)

    def place(name, x, y, fw, fh, frame):
        img = cairo.ImageSurface.create_from_png(paths[name])
        ctx.save()
        ctx.rectangle(x, y, fw, fh)
        ctx.clip()
        ctx.set_source_surface(img, x, y - (frame - 1) * fh)
        ctx.paint()
        ctx.restore()

    place("bg", 0, 0, W, H, 1)
    place("by", LAMP[0], LAMP[1], LAMP[2], LAMP[3], 2)
    place("OVER", OVER[0], OVER[1], OVER[2], OVER[3], 1)
    defaults = {"Thr": 61, "Out": 31, "Atk": 1, "Rel": 1, "Rat": 1,
                "Side": 1, "Mix": 61}
    for name, (x, fw, frames) in KNOBS.items():
        place(name, x, KNOB_TOP, fw, KNOB_FRAME_H, defaults[name])
    place("SC", SC[0], SC[1], SC[2], SC[3], 2)
    place("vu", METER[0], METER[1], METER[2], METER[3], 1)

    # Version caption as the plug-in draws it (DejaVu Sans standing in for
    # Verdana), with its rectangle outlined in magenta.
    l, t, r, b = CAPTION
    set_font(ctx, SANS, 14.0, bold=False)
    ext = ctx.text_extents(CAPTION_TEXT)
    fe = ctx.font_extents()
    ctx.set_source_rgb(0, 0, 0)
    ctx.move_to((l + r) / 2.0 - ext.x_advance / 2.0,
                (t + b) / 2.0 + (fe[0] - fe[1]) / 2.0)
    ctx.show_text(CAPTION_TEXT)
    ctx.set_source_rgba(1, 0, 1, 0.8)
    ctx.set_line_width(1.0)
    ctx.rectangle(l + 0.5, t + 0.5, r - l - 1, b - t - 1)
    ctx.stroke()
    return s


# --------------------------------------------------------------------------
# The bundle icon: the panel's brushed grey as a rounded tile with one of
# its knobs, drawn at every size Explorer asks for (no scaling of pixels).
# --------------------------------------------------------------------------

ICON_SIZES = (16, 24, 32, 48, 256)


def icon_tile(size):
    s = cairo.ImageSurface(cairo.FORMAT_ARGB32, size, size)
    ctx = cairo.Context(s)
    ctx.scale(size / 48.0, size / 48.0)
    rounded_rect(ctx, 1, 1, 46, 46, 9)
    g = cairo.LinearGradient(0, 1, 0, 47)
    g.add_color_stop_rgb(0, 0.84, 0.845, 0.855)
    g.add_color_stop_rgb(1, 0.70, 0.705, 0.715)
    ctx.set_source(g)
    ctx.fill_preserve()
    ctx.set_source_rgba(*PANEL_INK, 0.6)
    ctx.set_line_width(1.2)
    ctx.stroke()
    # The knob, a little larger than on the panel, turned up.
    ctx.save()
    ctx.translate(24, 24)
    ctx.scale(1.15, 1.15)
    draw_knob(ctx, 0, 0, 0.72)
    ctx.restore()
    return s


def write_ico(path):
    """An icon file of PNG images, one per size (Windows Vista on)."""
    images = [_png_bytes(icon_tile(size)) for size in ICON_SIZES]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, png in zip(ICON_SIZES, images):
        dim = 0 if size >= 256 else size  # 0 means 256
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(header + entries + data)
    return len(header) + len(entries) + len(data)


def main():
    global SCALE
    set_font_check()
    os.makedirs(IMG_DIR, exist_ok=True)
    paths = {}
    sizes = {}
    for SCALE in (1, 2):
        draw_all(paths, sizes)
        if SCALE == 1:
            os.makedirs(os.path.dirname(PREVIEW), exist_ok=True)
            write_png(preview(paths), PREVIEW)

    SCALE = 1
    sizes["PlugIn.ico"] = write_ico(ICON)

    total = 0
    for name in sorted(sizes):
        total += sizes[name]
        print("%-9s %8d bytes" % (name, sizes[name]))
    print("total     %8d bytes" % total)


def draw_all(paths, sizes):
    """Draws every image at the current SCALE; 2 writes name@2x.png."""
    suffix = "" if SCALE == 1 else "@%dx" % SCALE

    def emit(name, surface):
        path = os.path.join(IMG_DIR, name + suffix + ".png")
        sizes[name + suffix] = write_png(surface, path)
        if SCALE == 1:
            paths[name] = path

    emit("bg", panel())
    emit("by", lamp_strip())
    emit("OVER", legend_strip((OVER[2], OVER[3]),
                              ["OVERSAMPLE OFF", "OVERSAMPLE ON"],
                              [False, True], (10, 3, 130, 19), 0.9))
    emit("SC", legend_strip((SC[2], SC[3]), ["EXT-SC ON", "EXT-SC OFF"],
                            [True, False], (6, 4, 88, 20), 0.35))
    for name, (x, fw, frames) in KNOBS.items():
        emit(name, knob_strip(fw, frames))
    emit("vu", meter_strip())


def set_font_check():
    """Fails loudly if fontconfig does not resolve the condensed face: the
    toy font API would otherwise fall back silently and shift every label."""
    s, ctx = new_surface(8, 8)
    set_font(ctx, SANS, 20.0)
    wide = ctx.text_extents("MMMM").x_advance
    set_font(ctx, CONDENSED, 20.0)
    narrow = ctx.text_extents("MMMM").x_advance
    if not narrow < wide * 0.95:
        sys.exit("DejaVu Sans Condensed Bold not found (fonts-dejavu-core)")


if __name__ == "__main__":
    main()
