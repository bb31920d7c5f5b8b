# %% [markdown]
# # Kelvane in a notebook: a sweep, a plot, a fit
#
# Cells for Jupyter, VS Code or Spyder (`# %%` marks a cell); run as a
# script it does the same and writes its figures beside it:
#
#     PYTHONPATH=build/python /usr/bin/python3 examples/notebook.py
#
# pandas (python3-pandas), Matplotlib and SciPy (for the fit) from Debian.

# %%
import matplotlib

if __name__ == "__main__" and "ipykernel" not in matplotlib.get_backend():
    matplotlib.use("Agg")
import matplotlib.pyplot as plt
import pandas as pd

import kelvane
import kelvane.fit

# %% [markdown]
# ## A sweep into a DataFrame: the gas of zone 2 against the web speed

# %%
rows = []
for gas in (60, 80, 100):
    for speed in (0.5, 1.0, 1.5):
        r = kelvane.run({"OuterTemperature[2]": gas, "WebSpeed": speed}, robust=True)
        run = r.summary["run"]
        rows.append({"gas_c": gas, "web_speed_m_per_s": speed, "outcome": r.outcome,
                     "solvent_left_percent": run["exit_solvent_remaining_percent"],
                     "max_film_temperature_c": max(z["max_film_temperature_c"] for z in r.summary["zones"]),
                     "warnings": len(r.warnings) + len(r.input_warnings)})
sweep = pd.DataFrame(rows)
print(sweep.pivot(index="web_speed_m_per_s", columns="gas_c", values="solvent_left_percent").round(3))

# %% [markdown]
# ## One run as a table and its drying curve

# %%
r = kelvane.run({"OuterTemperature[2]": 100})
table = r.to_dataframe()  # one row per position; the units are in the column names
print(table.groupby("zone")[["film_temperature_c", "solvent_remaining_percent"]].agg(["min", "max"]))
fig, (top, bottom) = plt.subplots(2, 1, sharex=True, figsize=(7, 6))
r.plot(ax=top, what="solvent_remaining")
r.plot(ax=bottom, what="film_temperature")
fig.savefig("notebook-drying-curve.png", dpi=100)

# %% [markdown]
# ## A fit of the mass-transfer factor to a drying curve
#
# Here the "measurement" is a run with Keff1 = 1.2 read at 20 times; a
# laboratory's curve would come from kelvane.fit.read_curve("curve.csv").

# %%
import numpy as np

truth = kelvane.run({"Keff1": 1.2}, robust=True)
t = np.linspace(5.0, 95.0, 20)
curve = kelvane.fit.Curve(t, np.interp(t, truth.time, truth.solvent_remaining), "solvent_remaining", "time")
report = kelvane.fit.fit(curve, ["Keff1"], bounds={"Keff1": (0.2, 5.0)})
print(report)
