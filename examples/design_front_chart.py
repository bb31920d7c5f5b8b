#!/usr/bin/env python3
"""Chart of a speed/energy front from kelvane-run design --front-csv: the
line speed against the energy per m2 (heat into the web and the make-up
air's heat) on the left, each point's
gas temperature by zone on the right, as a PNG file.

    kelvane-run design --max-residual 8 ... --front 5 --front-csv front.csv
    /usr/bin/python3 examples/design_front_chart.py front.csv -o front.png

Needs Matplotlib (Debian: python3-matplotlib).  Points whose cap no run met
are left out.
"""
import argparse
import csv
import re
import sys

ZONE = re.compile(r"^OuterTemperature\[(\d+)\]$")


def read_front(path):
    """The points that met their cap: dicts of the CSV's columns, numbers as floats."""
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.DictReader(f)
        needed = {"WebSpeed", "heat_kj_per_m2", "energy_cap_kj_per_m2"}
        missing = needed - set(reader.fieldnames or [])
        if missing:
            raise SystemExit(f"{path}: not a design front (no {', '.join(sorted(missing))} column)")
        points = []
        for row in reader:
            if not row["WebSpeed"]:
                continue
            points.append({k: (v if k == "binding" else float(v) if v else None) for k, v in row.items()})
    if not points:
        raise SystemExit(f"{path}: no point of the front met its cap")
    zones = sorted((int(m.group(1)), name) for name in reader.fieldnames if (m := ZONE.match(name)))
    return points, zones


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("csv", help="the front, as kelvane-run design --front-csv writes it")
    ap.add_argument("-o", "--output", default="design-front.png")
    ap.add_argument("--title", default="Line speed against energy")
    a = ap.parse_args(argv)
    points, zones = read_front(a.csv)

    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, (left, right) = plt.subplots(1, 2, figsize=(10, 4.2), gridspec_kw={"width_ratios": [3, 2]})
    heat = [p["heat_kj_per_m2"] for p in points]
    speed = [p["WebSpeed"] for p in points]
    left.plot(heat, speed, "-o", color="#1f77b4")
    for p in points:
        left.annotate(f"{int(p['point'])}", (p["heat_kj_per_m2"], p["WebSpeed"]), textcoords="offset points",
                      xytext=(6, -10), fontsize=9)
        left.axvline(p["energy_cap_kj_per_m2"], color="#bbb", lw=0.8, ls=":", zorder=0)
    left.set_xlabel("energy: heat into the web and make-up air (kJ/m²); dotted: the caps")
    left.set_ylabel("web speed (m/s)")
    left.grid(alpha=0.3)
    left.set_title(a.title)

    colours = plt.get_cmap("viridis")
    numbers = [z for z, _ in zones]
    for i, p in enumerate(points):
        t = [p[name] for _, name in zones]
        right.plot(numbers, t, "-o", ms=3, color=colours(i / max(1, len(points) - 1)),
                   label=f"{int(p['point'])}: {p['WebSpeed']:.3g} m/s")
    right.set_xlabel("zone")
    right.set_ylabel("gas temperature (°C)")
    right.set_xticks(numbers)
    right.grid(alpha=0.3)
    right.legend(fontsize=8, title="point", title_fontsize=8)
    right.set_title("Schedules")
    fig.tight_layout()
    fig.savefig(a.output, dpi=100)
    print(f"{a.output}: {len(points)} points, {heat[0]:.4g} to {heat[-1]:.4g} kJ/m2, "
          f"{speed[0]:.4g} to {speed[-1]:.4g} m/s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
