#!/usr/bin/env python3
"""Draws the scale curves of docs/performance.md from benchmark figures.

Reads lines "figure scale_<what>_<entries> <value> <unit> ..." (what bench_server_scale prints,
or the table of bench/run with its program column) on standard input and writes an SVG with one
log-log panel per figure: value against card size. Standard library only.
    build/bin/bench_server_scale | docs/plot_scale.py > docs/performance-scale.svg
"""
import math
import re
import sys
from collections import defaultdict

PANEL_W, PANEL_H, PAD, COLS = 300, 200, 46, 3
LINE = re.compile(r"(?:^|\s)scale_([a-z_]+?)_(\d+)\s+([0-9.eE+-]+)\s+(\S+)")


def read_series(lines):
    series, units = defaultdict(dict), {}
    for line in lines:
        m = LINE.search(line)
        if m:
            what, size, value, unit = m.group(1), int(m.group(2)), float(m.group(3)), m.group(4)
            if value > 0:
                series[what][size] = value
                units[what] = unit
    return series, units


def log_ticks(lo, hi):
    return [10 ** e for e in range(math.floor(math.log10(lo)), math.ceil(math.log10(hi)) + 1)]


def panel(what, points, unit, x0, y0):
    xs, ys = sorted(points), [points[k] for k in sorted(points)]
    xlo, xhi = min(xs), max(xs)
    ylo, yhi = min(ys) / 1.5, max(ys) * 1.5
    lx = lambda v: x0 + PAD + (math.log10(v) - math.log10(xlo)) / max(1e-9, math.log10(xhi) - math.log10(xlo)) * (PANEL_W - PAD - 30)
    ly = lambda v: y0 + PANEL_H - PAD + 10 - (math.log10(v) - math.log10(ylo)) / max(1e-9, math.log10(yhi) - math.log10(ylo)) * (PANEL_H - PAD - 10)
    out = [f'<text x="{x0 + PANEL_W / 2}" y="{y0 + 14}" text-anchor="middle" font-weight="bold">'
           f'{re.sub(r"_(s|ms|us|mb)$", "", what).replace("_", " ")} ({unit})</text>']
    # Decades in range; within one decade, the smallest and largest values instead.
    ticks = [t for t in log_ticks(ylo, yhi) if ylo <= t <= yhi] or [min(ys), max(ys)]
    for t in ticks:
        out.append(f'<line x1="{x0 + PAD}" x2="{x0 + PANEL_W - 10}" y1="{ly(t):.1f}" y2="{ly(t):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{x0 + PAD - 4}" y="{ly(t) + 4:.1f}" text-anchor="end">{t:.3g}</text>')
    for x in xs:
        out.append(f'<text x="{lx(x):.1f}" y="{y0 + PANEL_H - PAD + 26}" text-anchor="middle">{x:,}</text>')
    path = " ".join(f"{lx(x):.1f},{ly(y):.1f}" for x, y in zip(xs, ys))
    out.append(f'<polyline points="{path}" fill="none" stroke="#1f6fb2" stroke-width="2"/>')
    for x, y in zip(xs, ys):
        out.append(f'<circle cx="{lx(x):.1f}" cy="{ly(y):.1f}" r="3" fill="#1f6fb2"><title>{x:,}: {y:g} {unit}</title></circle>')
    return out


def main():
    series, units = read_series(sys.stdin)
    if not series:
        sys.exit("plot_scale: no scale_* figures on standard input")
    names = sorted(series)
    rows = math.ceil(len(names) / COLS)
    width, height = COLS * PANEL_W, rows * PANEL_H + 20
    body = []
    for i, what in enumerate(names):
        body += panel(what, series[what], units[what], (i % COLS) * PANEL_W, (i // COLS) * PANEL_H)
    print(f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
          f'font-family="sans-serif" font-size="11">')
    print(f'<rect width="{width}" height="{height}" fill="white"/>')
    print("\n".join(body))
    print(f'<text x="{width / 2}" y="{height - 4}" text-anchor="middle">media on the card (log scale); '
          f'values on a log scale</text>')
    print("</svg>")


if __name__ == "__main__":
    main()
