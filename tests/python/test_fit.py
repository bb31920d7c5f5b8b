"""kelvane.fit: the example recovers the factors it was made from, and the
curve files and the film-weight model mean what they say."""

import importlib.util
import os

import numpy as np
import pytest

import kelvane
import kelvane.fit as kf


def load_example():
    source = os.path.join(os.environ.get("KELVANE_SOURCE_DIR", "."), "examples", "fit_drying_curve.py")
    module_spec = importlib.util.spec_from_file_location("fit_drying_curve", source)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def test_the_example_recovers_its_known_factors(tmp_path):
    example = load_example()
    report = example.main(str(tmp_path))
    assert report.success
    for name, true in example.TRUE.items():
        se = report.standard_errors[name]
        assert 0 < se < 0.05 * true, name
        assert abs(report.values[name] - true) < 3 * se, name
    # (What the standard errors mean is checked on a shorter dryer below.)
    assert report.result.finished and np.allclose(report.fitted - report.curve.y, report.residuals)
    assert (tmp_path / "drying-curve-fit.png").stat().st_size > 10000


def slopes(report, fields=None, step=1e-2):
    """d(model)/d(parameter) at the report's fitted values and curve points,
    one column per parameter, from central differences of whole runs."""
    columns = []
    for name in report.names:
        ends = []
        for sign in (1, -1):
            f = kelvane.fields.as_fields(fields)
            for n in report.names:
                f[n] = report.values[n]
            h = step * abs(report.values[name])
            f[name] = report.values[name] + sign * h
            ends.append(kf.model_curve(kf.model_run(f), report.curve))
        columns.append((ends[0] - ends[1]) / (2 * h))
    return np.column_stack(columns)


def test_standard_errors_are_in_the_factors_own_terms():
    # One factor on a short dryer (two zones of 10 m): Keff1 = 1.3 measured
    # with 0.3 % noise at 15 points, the fit started from 2.0.  The fit works
    # on multiples of the start; its standard error must come back in the
    # factor's own terms: the residuals' spread over the model's slope, the
    # slope taken here by central differences of whole runs.  (Steps of 1 %:
    # each run balances its steps to 0.5 %, which makes the curve ragged on
    # the scale of the default step of 1e-4.)
    fields = {"ZoneLength[1]": 10, "ZoneLength[2]": 10}
    truth = kelvane.run({**fields, "Keff1": 1.3}, robust=True)
    t = np.linspace(1.0, 20.0, 15)
    y = np.interp(t, truth.time, truth.solvent_remaining) + np.random.default_rng(3).normal(0, 0.3, t.size)
    curve = kf.Curve(t, y)
    report = kf.fit(curve, {"Keff1": 2.0}, fields=fields, diff_step=1e-2)
    assert report.success and report.initial["Keff1"] == 2.0
    g = slopes(report, fields)[:, 0]
    s = np.sqrt(np.sum(report.residuals ** 2) / (len(t) - 1))
    assert report.standard_errors["Keff1"] == pytest.approx(s / np.sqrt(np.sum(g ** 2)), rel=0.05)
    assert abs(report.values["Keff1"] - 1.3) < 3 * report.standard_errors["Keff1"]


def test_the_model_moves_smoothly_where_runs_leave_the_plain_path():
    # The short dryer at Keff1 = 1.2911 and 1.2913 takes a step over and
    # leaves the plain path; at 1.2905 and 1.2917 it finishes on it.  The
    # fit's model must lie on the line through its neighbours (the runs on
    # the plain path settle each step anywhere inside the balance test, and
    # so must the runs off it, or a Jacobian's differences see a step).
    fields = {"ZoneLength[1]": 10, "ZoneLength[2]": 10}
    t = np.linspace(1.0, 20.0, 15)
    curve = kf.Curve(t, np.zeros(t.size))

    def model(keff):
        r = kf.model_run({**fields, "Keff1": keff})
        return r, kf.model_curve(r, curve)

    (lo, ylo), (hi, yhi) = model(1.2905), model(1.2917)
    assert lo.rescued_steps == [] and hi.rescued_steps == []
    for keff in (1.2911, 1.2913):
        r, y = model(keff)
        assert r.finished and r.rescued_steps
        line = ylo + (yhi - ylo) * (keff - 1.2905) / (1.2917 - 1.2905)
        assert np.max(np.abs(y - line)) < 0.003, keff


def test_curve_files_and_the_film_weight_model(tmp_path):
    r = kelvane.run()
    weight = kf.Curve([0.0, 50.0, 100.0], [0.0, 0.0, 0.0], "film_weight", "position")
    kf.write_curve(tmp_path / "w.csv", weight)
    back = kf.read_curve(tmp_path / "w.csv")
    assert (back.quantity, back.axis) == ("film_weight", "position") and np.array_equal(back.x, weight.x)
    # Film weight = the solvents plus the polymer, which drying keeps.
    model = kf.model_curve(r, back)
    assert model[0] == pytest.approx(r.solvent_weight[0] + r.dry_weight)
    assert model[0] - model[-1] == pytest.approx(r.solvent_weight[0] - r.solvent_weight[-1])

    (tmp_path / "bad.csv").write_text("minutes,solvent_remaining\n1,90\n")
    with pytest.raises(ValueError, match="names no known columns"):
        kf.read_curve(tmp_path / "bad.csv")
    (tmp_path / "short.csv").write_text("time_s,solvent_remaining_percent\n1,90\n2,oops\n")
    with pytest.raises(ValueError, match="line 3"):
        kf.read_curve(tmp_path / "short.csv")
    with pytest.raises(KeyError):
        kf.fit(back, ["Keff3"])
