"""Fit the gas-side and diffusion correction factors to a drying curve.

    PYTHONPATH=build/python /usr/bin/python3 examples/fit_drying_curve.py [OUTPUT_FOLDER]

A laboratory would measure the solvent remaining against time; here the
"measurement" is made from known factors (Keff1 = 1.3, Fter1 = 0.6) with
0.3 % of noise, written to measured-drying-curve.csv, and the fit starts
from the window's defaults (1.0 and 1.0) to find them again.  The plot of
measured against fitted goes to drying-curve-fit.png.
"""

import os
import sys

import numpy as np

import kelvane
import kelvane.fit

TRUE = {"Keff1": 1.3, "Fter1": 0.6}
NOISE = 0.3  # % of the initial solvent load, one standard deviation
BOUNDS = {"Keff1": (0.2, 5.0), "Fter1": (0.05, 5.0)}


def measure(folder, seed=7):
    """The synthetic measurement: 40 points from 2 s to 100 s, as a CSV file."""
    truth = kelvane.fit.model_run(TRUE)  # the model the fit inverts
    t = np.linspace(2.0, 100.0, 40)
    noisy = np.interp(t, truth.time, truth.solvent_remaining) + np.random.default_rng(seed).normal(0, NOISE, t.size)
    path = os.path.join(folder, "measured-drying-curve.csv")
    kelvane.fit.write_curve(path, kelvane.fit.Curve(t, noisy, "solvent_remaining", "time"))
    return path


def plot(report, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    r, c = report.result, report.curve
    fig, (top, bottom) = plt.subplots(2, 1, figsize=(7, 5.5), sharex=True, height_ratios=[3, 1])
    top.plot(c.x, c.y, "o", ms=4, label="measured")
    top.plot(r.time, r.solvent_remaining, "-", label="fitted: " + ", ".join(
        f"{n} = {report.values[n]:.3f} ± {report.standard_errors[n]:.3f}" for n in report.names))
    top.set_ylabel("solvent remaining (%)")
    top.legend()
    top.set_title("Drying curve: measured against fitted")
    bottom.axhline(0, color="grey", lw=0.8)
    bottom.plot(c.x, report.residuals, "o", ms=3)
    bottom.set_xlabel("time (s)")
    bottom.set_ylabel("residual (%)")
    fig.tight_layout()
    fig.savefig(path, dpi=110)
    plt.close(fig)


def main(folder="."):
    curve = kelvane.fit.read_curve(measure(folder))
    report = kelvane.fit.fit(curve, list(TRUE), bounds=BOUNDS)
    print(report)
    for n in report.names:
        off = (report.values[n] - TRUE[n]) / report.standard_errors[n]
        print(f"  {n}: true {TRUE[n]}, off by {off:+.1f} standard errors")
    plot(report, os.path.join(folder, "drying-curve-fit.png"))
    return report


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
