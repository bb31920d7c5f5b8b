"""The dryer's air from Python: the same summary as the runner's, the zone
balance, and refusals that name the keyword."""

import json
import os
import subprocess

import pytest

import kelvane

RUNNER = os.environ.get("KELVANE_RUNNER")


def test_air_summary_matches_the_runner_and_the_zone_balance_slows_zone_one(tmp_path):
    air = dict(web_width=1.5, exhaust={1: 3000}, lfl=(1.1, 2.0), lfl_share=25, room_temperature=15)
    r = kelvane.run(robust=True, **air)
    z1 = r.summary["zones"][0]
    assert z1["exhaust_lfl_percent"] > 100 and z1["exhaust_needed_m3_per_h"] > 3000
    assert any(w["kind"] == "exhaust_lfl" and w["zone"] == 1 for w in r.warnings)
    if RUNNER:
        subprocess.run([RUNNER, "--quiet", "--robust", "-o", str(tmp_path / "r.txt"), "--web-width", "1.5",
                        "--exhaust", "1=3000", "--room-temperature", "15", "--summary-json",
                        str(tmp_path / "s.json")], check=True, capture_output=True)
        assert r.summary == json.loads((tmp_path / "s.json").read_text())
    b = kelvane.run(robust=True, zone_balance=True, **air)
    assert b.summary["settings"]["zone_balance"] is True
    assert b.summary["zones"][0]["exit_solvent_remaining_percent"] > z1["exit_solvent_remaining_percent"]


@pytest.mark.parametrize("kwargs, word", [
    (dict(exhaust={1: 1000}), "exhaust"),
    (dict(web_width=1.5, exhaust={15: 1000}), "exhaust"),
    (dict(web_width=1.5, exhaust={1: -1}), "exhaust"),
    (dict(lfl=(1.1, 0)), "lfl"),
    (dict(lfl_share=0), "lfl_share"),
    (dict(web_width=1.5, zone_balance=True), "zone_balance"),
])
def test_refusals_name_the_keyword(kwargs, word):
    with pytest.raises(ValueError, match=f"^{word}: "):
        kelvane.run(**kwargs)


def test_a_design_held_to_an_lfl_share_runs_slower():
    # The short dryer of the design tests; its first zone's exhaust capped
    # at 8000 m3/h, well below what its fastest schedule gives off.
    fields = {"ZoneLength[1]": "5", "ZoneLength[2]": "5"}
    args = dict(max_residual=8, max_film_temperature=75, span=100, highest=160, speed=(0.05, 2), web_width=1.5)
    free = kelvane.design(fields, **args)
    held = kelvane.design(fields, **args, exhaust={1: 8000, 2: 2000}, max_lfl_share=25)
    assert free.found and held.found
    assert held.speed < 0.9 * free.speed
    assert "the exhaust of zone 1" in held.binding
    assert held.total_energy_kj_per_m2 > held.total_heat_kj_per_m2
    with pytest.raises(ValueError, match="^max_lfl_share: no zone has an exhaust flow"):
        kelvane.design(fields, max_residual=8, max_lfl_share=25)
