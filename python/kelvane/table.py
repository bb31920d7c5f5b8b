"""A Result as a table: one row per position along the web, in one set of
units, for pandas, CSV files and Matplotlib.

Columns (the units are in the names):

  ==============================  ===========================================
  zone                            the zone of the row
  time_s                          s since the entrance of zone 1
  position_m                      m along the web from the entrance of zone 1
  film_temperature_c              degC, coating and base film
  gas_temperature_c               degC, the zone's outer temperature
  concentration_1_g_per_cm3       solvent 1, average over the coating
  concentration_2_g_per_cm3       solvent 2, average over the coating
  solvent_remaining_percent       % of the initial solvent load
  thickness_um                    the wet coating, um (the result's cm x 1e4)
  solvent_weight_g_per_m2         both solvents together
  ==============================  ===========================================

A zone's first printed row is its predecessor's last (the same place and
time, printed twice by the result file); the table keeps it once, in the
earlier zone, so differences along the table never divide by a zero step.
"""

import csv
import os

import numpy as np

COLUMNS = (
    ("zone", "zone", 1),
    ("time_s", "time", 1),
    ("position_m", "position", 1),
    ("film_temperature_c", "film_temperature", 1),
    ("gas_temperature_c", "gas_temperature", 1),
    ("concentration_1_g_per_cm3", "concentration_1", 1),
    ("concentration_2_g_per_cm3", "concentration_2", 1),
    ("solvent_remaining_percent", "solvent_remaining", 1),
    ("thickness_um", "thickness", 1.0e4),
    ("solvent_weight_g_per_m2", "solvent_weight", 1),
)

# what= of plot(): the column drawn and its axis label.
PLOTS = {
    "solvent_remaining": ("solvent_remaining_percent", "solvent remaining (%)"),
    "film_temperature": ("film_temperature_c", "film temperature (°C)"),
    "thickness": ("thickness_um", "coating thickness (µm)"),
    "solvent_weight": ("solvent_weight_g_per_m2", "solvent (g/m²)"),
}


def _rows(result):
    """Indices of the rows kept: each zone boundary once."""
    t, z = result.time, result.zone
    keep = np.ones(len(t), dtype=bool)
    if len(t) > 1:
        keep[1:] = ~((z[1:] != z[:-1]) & (t[1:] == t[:-1]))
    return np.flatnonzero(keep)


def columns(result):
    """The table as a dict of column name -> NumPy array."""
    rows = _rows(result)
    return {name: np.asarray(getattr(result, attr))[rows] * scale if scale != 1
            else np.asarray(getattr(result, attr))[rows] for name, attr, scale in COLUMNS}


def to_dataframe(result):
    try:
        import pandas as pd
    except ImportError:
        raise ImportError("Result.to_dataframe() needs pandas (Debian: python3-pandas); "
                          "Result.to_csv() and the arrays work without it") from None
    return pd.DataFrame(columns(result))


def to_csv(result, path):
    cols = columns(result)
    with open(os.fspath(path), "w", newline="", encoding="utf-8") as f:
        w = csv.writer(f)
        w.writerow(cols)
        for row in zip(*cols.values()):
            w.writerow([int(v) if i == 0 else repr(float(v)) for i, v in enumerate(row)])


def plot(result, ax=None, what="solvent_remaining", x="position"):
    try:
        import matplotlib.pyplot as plt
    except ImportError:
        raise ImportError("Result.plot() needs Matplotlib (Debian: python3-matplotlib)") from None
    if what not in PLOTS:
        raise ValueError(f"what= is one of {', '.join(PLOTS)}, not {what!r}")
    if x not in ("position", "time"):
        raise ValueError(f"x= is 'position' or 'time', not {x!r}")
    cols = columns(result)
    column, label = PLOTS[what]
    if ax is None:
        ax = plt.figure().add_subplot()
    xs = cols["position_m" if x == "position" else "time_s"]
    ax.plot(xs, cols[column], label=label if what != "film_temperature" else "film")
    if what == "film_temperature":
        ax.plot(xs, cols["gas_temperature_c"], "--", label="gas")
        ax.legend()
    ax.set_xlabel("position (m)" if x == "position" else "time (s)")
    ax.set_ylabel(label)
    return ax
