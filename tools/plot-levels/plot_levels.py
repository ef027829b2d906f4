#!/usr/bin/python3
"""Plots a kestro-render level envelope (--envelope CSV) as a PNG.

Top: input and output level over time: RMS over 50 ms (the envelope's 10 ms
windows averaged in power, which reads better than the raw windows) and the
peak of each window as thin lines. Bottom: the gain reduction, estimated as
output RMS minus input RMS minus the make-up gain the render used, so that it
reads 0 dB where the compressor is idle.

    plot_levels.py LEVELS.csv OUT.png [--makeup DB] [--title T] [--subtitle S]

Needs only Debian's python3-cairo.
"""

import argparse
import csv
import math
import sys

import cairo

WIDTH, HEIGHT = 1400, 820
MARGIN_LEFT, MARGIN_RIGHT = 96, 40
TOP_OF_LEVELS, LEVELS_HEIGHT = 112, 400
TOP_OF_GR, GR_HEIGHT = 598, 150
QUIET = -70.0  # below this the input is too quiet for a meaningful ratio
SMOOTHING = 5  # windows averaged for the RMS curves

BACKGROUND = (0.985, 0.985, 0.98)
PANEL = (1.0, 1.0, 1.0)
GRID = (0.88, 0.88, 0.87)
AXIS = (0.35, 0.35, 0.35)
TEXT = (0.15, 0.15, 0.17)
MUTED = (0.42, 0.42, 0.45)
INPUT = (0.30, 0.47, 0.70)
OUTPUT = (0.90, 0.45, 0.13)
REDUCTION = (0.80, 0.16, 0.20)


def read_envelope(path):
    rows = []
    with open(path, newline="") as f:
        for row in csv.DictReader(f):
            rows.append({k: float(v) for k, v in row.items()})
    if not rows:
        raise SystemExit(f"plot_levels: {path} holds no rows")
    return rows


def smooth_db(values, count):
    """Centred moving average in the power domain, back in dB."""
    half = count // 2
    powers = [10 ** (v / 10) for v in values]
    out = []
    for i in range(len(values)):
        window = powers[max(0, i - half):i + half + 1]
        out.append(10 * math.log10(max(sum(window) / len(window), 1e-12)))
    return out


def hold_max(values, count):
    """Centred moving maximum: the peaks of the same span as the RMS curves."""
    half = count // 2
    return [max(values[max(0, i - half):i + half + 1]) for i in range(len(values))]


def nice_step(span, target_ticks):
    raw = span / max(1, target_ticks)
    magnitude = 10 ** math.floor(math.log10(raw))
    for m in (1, 2, 2.5, 5, 10):
        if m * magnitude >= raw:
            return m * magnitude
    return 10 * magnitude


class Panel:
    def __init__(self, ctx, top, height, y_min, y_max, t_max):
        self.ctx, self.top, self.height = ctx, top, height
        self.left, self.width = MARGIN_LEFT, WIDTH - MARGIN_LEFT - MARGIN_RIGHT
        self.y_min, self.y_max, self.t_max = y_min, y_max, t_max

    def x(self, t):
        return self.left + self.width * t / self.t_max

    def y(self, v):
        v = min(max(v, self.y_min), self.y_max)
        return self.top + self.height * (self.y_max - v) / (self.y_max - self.y_min)

    def frame(self, y_step, y_label, x_labels):
        c = self.ctx
        c.set_source_rgb(*PANEL)
        c.rectangle(self.left, self.top, self.width, self.height)
        c.fill()
        c.set_line_width(1)
        c.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
        c.set_font_size(13)
        # Horizontal grid and dB labels.
        v = math.ceil(self.y_min / y_step) * y_step
        while v <= self.y_max + 1e-9:
            yy = round(self.y(v)) + 0.5
            c.set_source_rgb(*GRID)
            c.move_to(self.left, yy)
            c.line_to(self.left + self.width, yy)
            c.stroke()
            label = f"{v:g}"
            ext = c.text_extents(label)
            c.set_source_rgb(*MUTED)
            c.move_to(self.left - 10 - ext.x_advance, yy + ext.height / 2 - 1)
            c.show_text(label)
            v += y_step
        # Vertical grid and second labels.
        t_step = nice_step(self.t_max, 12)
        t = 0.0
        while t <= self.t_max + 1e-9:
            xx = round(self.x(t)) + 0.5
            c.set_source_rgb(*GRID)
            c.move_to(xx, self.top)
            c.line_to(xx, self.top + self.height)
            c.stroke()
            if x_labels:
                label = f"{t:g}"
                ext = c.text_extents(label)
                c.set_source_rgb(*MUTED)
                c.move_to(xx - ext.x_advance / 2, self.top + self.height + 20)
                c.show_text(label)
            t += t_step
        # Border.
        c.set_source_rgb(*AXIS)
        c.rectangle(self.left + 0.5, self.top + 0.5, self.width - 1, self.height - 1)
        c.stroke()
        # Rotated axis title.
        c.save()
        c.set_font_size(14)
        ext = c.text_extents(y_label)
        c.move_to(28, self.top + self.height / 2 + ext.x_advance / 2)
        c.rotate(-math.pi / 2)
        c.set_source_rgb(*TEXT)
        c.show_text(y_label)
        c.restore()

    def clip(self):
        self.ctx.rectangle(self.left, self.top, self.width, self.height)
        self.ctx.clip()

    def area(self, times, values, base, colour, alpha):
        c = self.ctx
        c.move_to(self.x(times[0]), self.y(base))
        for t, v in zip(times, values):
            c.line_to(self.x(t), self.y(v))
        c.line_to(self.x(times[-1]), self.y(base))
        c.close_path()
        c.set_source_rgba(*colour, alpha)
        c.fill()

    def line(self, times, values, colour, alpha, width):
        c = self.ctx
        c.move_to(self.x(times[0]), self.y(values[0]))
        for t, v in zip(times[1:], values[1:]):
            c.line_to(self.x(t), self.y(v))
        c.set_source_rgba(*colour, alpha)
        c.set_line_width(width)
        c.set_line_join(cairo.LINE_JOIN_ROUND)
        c.stroke()


def legend(ctx, right, y, entries):
    """One row of swatches and labels, ending at right."""
    ctx.set_font_size(13)
    gap, swatch = 22, 26
    widths = [swatch + 8 + ctx.text_extents(label).x_advance for label, _, _ in entries]
    x = right - sum(widths) - gap * (len(entries) - 1)
    for (label, colour, style), width in zip(entries, widths):
        if style == "area":
            ctx.set_source_rgba(*colour, 0.3)
            ctx.rectangle(x, y - 9, swatch, 11)
            ctx.fill()
            ctx.set_source_rgba(*colour, 1.0)
            ctx.set_line_width(1.8)
            ctx.move_to(x, y - 9)
            ctx.line_to(x + swatch, y - 9)
            ctx.stroke()
        else:
            ctx.set_source_rgba(*colour, 0.55 if style == "thin" else 1.0)
            ctx.set_line_width(1.0 if style == "thin" else 2.2)
            ctx.move_to(x, y - 4)
            ctx.line_to(x + swatch, y - 4)
            ctx.stroke()
        ctx.set_source_rgb(*TEXT)
        ctx.move_to(x + swatch + 8, y)
        ctx.show_text(label)
        x += width + gap


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("csv")
    parser.add_argument("png")
    parser.add_argument("--makeup", type=float, default=0.0, help="make-up gain of the render, dB")
    parser.add_argument("--title", default="KESTRO: input and output level")
    parser.add_argument("--subtitle", default="")
    args = parser.parse_args(argv)

    rows = read_envelope(args.csv)
    # Each row is a window starting at time_s; plot it at its centre.
    window = rows[1]["time_s"] - rows[0]["time_s"] if len(rows) > 1 else 0.01
    times = [r["time_s"] + window / 2 for r in rows]
    in_rms = smooth_db([r["input_rms_db"] for r in rows], SMOOTHING)
    out_rms = smooth_db([r["output_rms_db"] for r in rows], SMOOTHING)
    in_peak = hold_max([r["input_peak_db"] for r in rows], SMOOTHING)
    out_peak = hold_max([r["output_peak_db"] for r in rows], SMOOTHING)
    reduction = []
    for i, o in zip(in_rms, out_rms):
        reduction.append(min(0.0, o - i - args.makeup) if i > QUIET else 0.0)
    t_max = rows[-1]["time_s"] + window

    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, WIDTH, HEIGHT)
    ctx = cairo.Context(surface)
    ctx.set_source_rgb(*BACKGROUND)
    ctx.paint()

    ctx.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(22)
    ctx.set_source_rgb(*TEXT)
    ctx.move_to(MARGIN_LEFT, 44)
    ctx.show_text(args.title)
    ctx.select_font_face("DejaVu Sans", cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_NORMAL)
    if args.subtitle:
        ctx.set_font_size(14)
        ctx.set_source_rgb(*MUTED)
        ctx.move_to(MARGIN_LEFT, 70)
        ctx.show_text(args.subtitle)

    top = max(0.0, math.ceil(max(max(in_peak), max(out_peak)) / 6.0) * 6.0)
    # Show the body of the signal, not the silence around it.
    audible = sorted(v for v in in_rms + out_rms if v > QUIET)
    low = audible[len(audible) // 50] if audible else -60.0
    floor = max(-96.0, min(top - 24.0, math.floor((low - 6.0) / 6.0) * 6.0))
    levels = Panel(ctx, TOP_OF_LEVELS, LEVELS_HEIGHT, floor, top, t_max)
    levels.frame(6.0, "level (dBFS)", x_labels=True)
    ctx.save()
    levels.clip()
    levels.line(times, in_peak, INPUT, 0.55, 1.0)
    levels.line(times, out_peak, OUTPUT, 0.55, 1.0)
    levels.area(times, in_rms, floor, INPUT, 0.22)
    levels.line(times, in_rms, INPUT, 1.0, 1.6)
    levels.line(times, out_rms, OUTPUT, 1.0, 2.0)
    ctx.restore()
    legend(ctx, levels.left + levels.width, levels.top - 12, [
        ("input RMS", INPUT, "area"),
        ("output RMS", OUTPUT, "line"),
        ("input peak", INPUT, "thin"),
        ("output peak", OUTPUT, "thin"),
    ])

    deepest = min(reduction)
    floor = -max(6.0, math.ceil(-deepest / 3.0) * 3.0)
    gr = Panel(ctx, TOP_OF_GR, GR_HEIGHT, floor, 0.0, t_max)
    gr_step = 3.0 if floor >= -12 else 6.0
    gr.frame(gr_step, "reduction (dB)", x_labels=True)
    ctx.save()
    gr.clip()
    gr.area(times, reduction, 0.0, REDUCTION, 0.30)
    gr.line(times, reduction, REDUCTION, 0.95, 1.3)
    ctx.restore()
    active = [r for r in reduction if r < -0.05]
    average = sum(active) / len(active) if active else 0.0
    ctx.set_font_size(14)
    ctx.set_source_rgb(*TEXT)
    ctx.move_to(gr.left, gr.top - 12)
    ctx.show_text("Gain reduction")
    legend(ctx, gr.left + gr.width, gr.top - 12, [
        (f"output - input - make-up ({args.makeup:g} dB): deepest {deepest:.1f} dB, mean {average:.1f} dB",
         REDUCTION, "area"),
    ])

    ctx.set_font_size(14)
    ctx.set_source_rgb(*TEXT)
    label = "time (s)"
    ext = ctx.text_extents(label)
    ctx.move_to(MARGIN_LEFT + (WIDTH - MARGIN_LEFT - MARGIN_RIGHT - ext.x_advance) / 2, HEIGHT - 22)
    ctx.show_text(label)

    surface.write_to_png(args.png)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
