"""kelvane.design is the runner's design: the same speed and schedule."""

import os
import subprocess

import csv
import io

import pytest

import kelvane

SHORT = {"ZoneLength[1]": "5", "ZoneLength[2]": "5"}


def test_design_is_the_runners_design():
    d = kelvane.design(SHORT, max_residual=8, max_film_temperature=75, span=100, highest=160, speed=(0.05, 2))
    assert d.found and d.locally_optimal, d.report
    out = subprocess.run(
        [os.environ["KELVANE_RUNNER"], "design", "--max-residual", "8", "--max-film-temperature", "75",
         "--span", "100", "--highest", "160", "--speed", "0.05:2", "--quiet",
         "--set", "ZoneLength[1]=5", "--set", "ZoneLength[2]=5"],
        capture_output=True, text=True, check=True).stdout.splitlines()
    printed = dict(line.split("=", 1) for line in out[-3:])
    assert float(printed["WebSpeed"]) == d.speed
    assert float(printed["OuterTemperature[1]"]) == d.schedule["OuterTemperature[1]"]
    assert float(printed["OuterTemperature[2]"]) == d.schedule["OuterTemperature[2]"]
    # Every run is in the table; the design is one of its finished rows.
    finished = d.table[d.table["outcome"] == "finished"]
    assert (finished["WebSpeed"] == d.speed).any()
    assert d.costs and all(c["heat_kj_per_m2"] > 0 for c in d.costs)
    # The account names both targets the design rests on, as the runner does.
    assert any(a.startswith("the solvent left") for a in d.active), d.report
    assert any(a.startswith("the film temperature") for a in d.active), d.report
    assert d.headline.startswith("Fastest line speed: ") and "held by the residual and the film" in d.headline
    assert d.set_by_bounds == "" and d.slowest_speed is not None and d.slowest_speed <= d.speed
    with pytest.raises(ValueError, match="slowest must lie above 0"):
        kelvane.design(SHORT, max_residual=8, slowest=0)


def rows(front):
    """The front's rows, whether kelvane gave a DataFrame or the CSV text."""
    text = front if isinstance(front, str) else front.to_csv(index=False)
    return list(csv.DictReader(io.StringIO(text)))


def test_front_is_the_runners_front(tmp_path):
    d = kelvane.design(SHORT, max_residual=8, max_film_temperature=75, span=100, highest=160, speed=(0.05, 2),
                       max_evaluations=40, front=3)
    assert d.found, d.report
    front = rows(d.front)
    assert [r["point"] for r in front] == ["1", "2", "3"]
    # More heat allowed is never slower; each point keeps to its cap.
    speeds = [float(r["WebSpeed"]) for r in front]
    assert speeds == sorted(speeds)
    assert all(float(r["heat_kj_per_m2"]) <= float(r["energy_cap_kj_per_m2"]) for r in front)
    assert speeds[-1] == d.speed
    subprocess.run(
        [os.environ["KELVANE_RUNNER"], "design", "--max-residual", "8", "--max-film-temperature", "75",
         "--span", "100", "--highest", "160", "--speed", "0.05:2", "--max-evaluations", "40", "--quiet",
         "--front", "3", "--front-csv", str(tmp_path / "front.csv"),
         "--set", "ZoneLength[1]=5", "--set", "ZoneLength[2]=5"],
        capture_output=True, text=True, check=True)
    with open(tmp_path / "front.csv", newline="", encoding="utf-8") as f:
        assert rows(f.read()) == front
    with pytest.raises(ValueError, match="front must be at least 2"):
        kelvane.design(SHORT, max_residual=8, front=1)


def test_a_zone_out_of_reach_is_refused_by_name():
    with pytest.raises(ValueError, match="Zone 2: its gas temperature, 250 ℃, lies more than 40 K outside 20–200 ℃"):
        kelvane.design(dict(SHORT, **{"OuterTemperature[2]": "250"}), max_residual=8)
    with pytest.raises(ValueError, match="lowest must be below highest"):
        kelvane.design(SHORT, max_residual=8, lowest=90, highest=90)
