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
    # The standard errors reflect the noise the measurement was made with:
    # the residuals' own variance stands in for the known one.
    jac = report.least_squares.jac
    expected = example.NOISE * np.sqrt(np.diag(np.linalg.inv(jac.T @ jac)))
    ratio = np.array([report.standard_errors[n] for n in report.names]) / expected
    assert np.all((0.6 < ratio) & (ratio < 1.5)), ratio
    assert report.result.finished and np.allclose(report.fitted - report.curve.y, report.residuals)
    assert (tmp_path / "drying-curve-fit.png").stat().st_size > 10000


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
