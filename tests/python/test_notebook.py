"""The module where engineers use it: a result as a table, a plot, a CSV
file, a misspelt name, and another interpreter than the one it was built for."""

import csv
import os
import subprocess
import sys

import numpy as np
import pytest

import kelvane

SHORT = {"ZoneLength[1]": 1.0, "ZoneLength[2]": 1.0, "OuterTemperature[2]": 90}


def test_the_table_has_one_row_per_position_in_one_set_of_units(tmp_path):
    r = kelvane.run(SHORT)
    table = kelvane.table.columns(r)
    # The zone boundary is printed twice; the table keeps it once, in zone 1.
    n = len(r.time) - (len(r.zones) - 1)
    assert all(len(v) == n for v in table.values())
    assert np.all(np.diff(table["time_s"]) > 0) and np.all(np.diff(table["position_m"]) > 0)
    boundary = len(r.zones[0]) - 1
    assert list(table["zone"][boundary - 1:boundary + 2]) == [1, 1, 2]
    assert table["gas_temperature_c"][boundary] == 60.0 and table["gas_temperature_c"][boundary + 1] == 90.0
    # Thickness in um, as the layer thicknesses: 57.7 um on entry, shrinking.
    assert table["thickness_um"][0] == pytest.approx(57.7)
    assert np.all(np.diff(table["thickness_um"]) <= 0) and table["thickness_um"][-1] < 57.7
    # A drying rate along the table is finite everywhere.
    assert np.all(np.isfinite(np.diff(table["solvent_remaining_percent"]) / np.diff(table["time_s"])))

    r.to_csv(tmp_path / "r.csv")
    with open(tmp_path / "r.csv", newline="") as f:
        rows = list(csv.reader(f))
    assert rows[0] == list(table) and len(rows) == n + 1
    assert [float(v) for v in rows[-1][1:]] == [float(v[-1]) for v in list(table.values())[1:]]

    pd = pytest.importorskip("pandas")
    frame = r.to_dataframe()
    assert isinstance(frame, pd.DataFrame) and list(frame.columns) == list(table) and len(frame) == n
    assert frame["zone"].iloc[-1] == 2


def test_plot_draws_the_drying_curve_and_the_temperatures():
    pytest.importorskip("matplotlib")
    import matplotlib.pyplot as plt

    r = kelvane.run(SHORT)
    ax = r.plot()
    (line,) = ax.get_lines()
    assert np.array_equal(line.get_ydata(), kelvane.table.columns(r)["solvent_remaining_percent"])
    assert ax.get_ylabel() == "solvent remaining (%)"
    fig, ax = plt.subplots()
    assert r.plot(ax=ax, what="film_temperature", x="time") is ax
    film, gas = ax.get_lines()
    assert gas.get_ydata()[-1] == 90.0 and ax.get_xlabel() == "time (s)"
    with pytest.raises(ValueError, match="what= is one of"):
        r.plot(what="flux")
    plt.close("all")


def test_a_misspelt_field_is_an_input_error_with_the_nearest_name():
    f = kelvane.defaults()
    for typed, meant in [("Webspeed", "WebSpeed"), ("OuterTemprature[2]", "OuterTemperature[2]"), ("edit19", "Edit19")]:
        with pytest.raises(kelvane.InputError) as e:
            f[typed] = 1.0
        assert str(e.value) == f"no field is named '{typed}' (did you mean {meant}?)"
        assert isinstance(e.value, KeyError) and e.value.explanation == f"did you mean {meant}?"
    with pytest.raises(kelvane.InputError, match=r"'Flux' \(kelvane.FIELDS lists them\)"):
        kelvane.run({"Flux": 1})
    # Numbers are taken on assignment and kept as the texts the run reads.
    f["WebSpeed"] = 1.2
    assert f["WebSpeed"] == "1.2"


def test_another_interpreter_is_told_what_keeps_it_from_loading_the_module():
    def failure(code):
        p = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=dict(os.environ))
        assert p.returncode != 0
        return p.stderr

    running = f"{sys.version_info[0]}.{sys.version_info[1]}"
    # NumPy missing, as under an interpreter of the same version that has none.
    said = failure("import sys; sys.modules['numpy'] = None; import kelvane")
    assert f"needs NumPy, which {sys.executable} (Python {running}) cannot import" in said
    assert "python3-numpy" in said and "built for Python" not in said
    # Another Python version: its compiled part cannot load, whatever NumPy.
    said = failure("import sys, types; b = types.ModuleType('kelvane._built_for'); b.VERSION = '3.99'; "
                   "b.INTERPRETER = '/usr/bin/python3.99'; sys.modules['kelvane._built_for'] = b; "
                   "sys.modules['kelvane._core'] = None; import kelvane")
    assert f"built for Python 3.99; this is Python {running}" in said
    assert "python3-kelvane" in said and "NumPy" not in said


def test_warnings_of_both_kinds_come_as_one_list_of_dicts():
    # Steps of 10 m leave each zone a few steps (an input that looks wrong);
    # the 150 degC gas then heats the film above solvent 1's boiling point.
    r = kelvane.run({"OuterTemperature[2]": 150, "IncrementZ": 1000, "ZoneLength[1]": 20, "ZoneLength[2]": 40},
                    robust=False)
    both = r.all_warnings
    assert [w["kind"] for w in both[:2]] == ["input", "input"]
    assert [(w["field"], w["record"]) for w in both[:2]] == [("Edit8", "ZoneLength[1]"), ("Edit22", "ZoneLength[2]")]
    assert both[0]["text"] == r.input_warnings[0][1]
    assert both[2:] == r.warnings and {w["kind"] for w in both[2:]} == {"above_boiling_point"}
    assert all(isinstance(w, dict) and w["text"] for w in both)
