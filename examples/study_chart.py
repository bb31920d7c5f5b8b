#!/usr/bin/env python3
"""Chart of a kelvane-run study table: one outcome column against one varied
field, one curve per value of a second varied field, as an SVG file.

    python3 examples/study_chart.py sweep.csv WebSpeed final_residual_percent \
        --family 'OuterTemperature[2]' -o docs/guide/img/study-sweep.svg

Standard library only.  Rows that did not finish are left out.
"""
import argparse
import csv
import math
from collections import OrderedDict

COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#17becf"]


def nice_ticks(lo, hi, count=6):
    """Round tick values covering [lo, hi]: 1, 2, 2.5 or 5 times a power of ten."""
    span = (hi - lo) or abs(hi) or 1.0
    raw = span / count
    mag = 10.0 ** math.floor(math.log10(raw))
    step = next(m * mag for m in (1, 2, 2.5, 5, 10) if m * mag >= raw)
    first, last = math.floor(lo / step + 1e-9), math.ceil(hi / step - 1e-9)
    ticks = [round(i * step, 10) for i in range(first, last + 1)]
    return ticks, ticks[0], ticks[-1]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("csv")
    ap.add_argument("x", help="varied field on the horizontal axis")
    ap.add_argument("y", help="outcome column on the vertical axis")
    ap.add_argument("--family", help="second varied field: one curve per value")
    ap.add_argument("-o", "--output", default="study.svg")
    ap.add_argument("--title", default=None)
    a = ap.parse_args()

    curves = OrderedDict()
    with open(a.csv, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            if row["outcome"] != "finished" or not row[a.y]:
                continue
            key = row[a.family] if a.family else ""
            curves.setdefault(key, []).append((float(row[a.x]), float(row[a.y])))
    points = [p for c in curves.values() for p in c]
    if not points:
        raise SystemExit("no finished rows to draw")
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    xt, x0, x1 = nice_ticks(min(xs), max(xs))
    yt, y0, y1 = nice_ticks(min(0.0, min(ys)), max(ys))
    W, H, L, R, T, B = 660, 400, 70, 170, 40, 55
    px = lambda x: L + (x - x0) / ((x1 - x0) or 1) * (W - L - R)
    py = lambda y: H - B - (y - y0) / ((y1 - y0) or 1) * (H - T - B)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{W}" height="{H}" font-family="sans-serif" font-size="12">',
           f'<rect width="{W}" height="{H}" fill="white"/>']
    for t in xt:
        out.append(f'<line x1="{px(t):.1f}" y1="{T}" x2="{px(t):.1f}" y2="{H - B}" stroke="#ddd"/>')
        out.append(f'<text x="{px(t):.1f}" y="{H - B + 18}" text-anchor="middle">{t:g}</text>')
    for t in yt:
        out.append(f'<line x1="{L}" y1="{py(t):.1f}" x2="{W - R}" y2="{py(t):.1f}" stroke="#ddd"/>')
        out.append(f'<text x="{L - 6}" y="{py(t) + 4:.1f}" text-anchor="end">{t:g}</text>')
    out.append(f'<rect x="{L}" y="{T}" width="{W - L - R}" height="{H - T - B}" fill="none" stroke="#333"/>')
    out.append(f'<text x="{(L + W - R) / 2}" y="{H - 12}" text-anchor="middle">{a.x}</text>')
    out.append(f'<text x="16" y="{(T + H - B) / 2}" text-anchor="middle" '
               f'transform="rotate(-90 16 {(T + H - B) / 2})">{a.y}</text>')
    if a.title:
        out.append(f'<text x="{W / 2}" y="22" text-anchor="middle" font-size="14">{a.title}</text>')
    for i, (key, pts) in enumerate(curves.items()):
        colour = COLOURS[i % len(COLOURS)]
        pts.sort()
        path = " ".join(f"{px(x):.1f},{py(y):.1f}" for x, y in pts)
        out.append(f'<polyline points="{path}" fill="none" stroke="{colour}" stroke-width="2"/>')
        for x, y in pts:
            out.append(f'<circle cx="{px(x):.1f}" cy="{py(y):.1f}" r="3" fill="{colour}"/>')
        if a.family:
            if i == 0:
                out.append(f'<text x="{W - R + 14}" y="{T + 8}">{a.family}</text>')
            ly = T + 28 + 20 * i
            out.append(f'<line x1="{W - R + 14}" y1="{ly}" x2="{W - R + 38}" y2="{ly}" stroke="{colour}" stroke-width="2"/>')
            out.append(f'<text x="{W - R + 44}" y="{ly + 4}">{key}</text>')
    out.append("</svg>")
    with open(a.output, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
