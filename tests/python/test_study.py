"""kelvane.study against kelvane-run study, on a thread pool and on a Dask
cluster of two worker processes."""

import os
import re
import subprocess

import pytest

import kelvane

pd = pytest.importorskip("pandas")

RUNNER = os.environ.get("KELVANE_RUNNER")

# A short dryer: 12 rows of two 3 m zones, some of them hot.
VARY = {"OuterTemperature[2]": [60, 90.5], "WebSpeed": "0.2:0.7:0.1"}
CLI_VARY = ["--vary", "OuterTemperature[2]=60,90.5", "--vary", "WebSpeed=0.2:0.7:0.1"]


def short_dryer():
    fields = kelvane.defaults()
    fields["ZoneLength[1]"] = 3
    fields["ZoneLength[2]"] = 3
    return fields


@pytest.fixture(scope="module")
def threaded():
    return kelvane.study(short_dryer(), vary=VARY, robust=True)


def test_the_table_is_the_runners_table(threaded, tmp_path):
    assert len(threaded) == 12
    assert list(threaded["row"]) == list(range(1, 13))
    assert list(threaded["WebSpeed"][:6]) == [0.2, 0.3, 0.4, 0.5, 0.6, 0.7]
    assert (threaded["outcome"] == "finished").all()
    if not RUNNER:
        pytest.skip("KELVANE_RUNNER is not set")
    csv = tmp_path / "cli.csv"
    subprocess.run([RUNNER, "study", "--quiet", "--robust", "--set", "ZoneLength[1]=3", "--set", "ZoneLength[2]=3",
                    *CLI_VARY, "--csv", str(csv)], check=True, capture_output=True)
    cli = pd.read_csv(csv, float_precision="round_trip")
    pd.testing.assert_frame_equal(threaded, cli, check_exact=True)
    # A float text in a list is the text the runner's list holds.
    assert csv.read_text().splitlines()[7].startswith("7,90.5,0.2,finished,")


def test_a_dask_cluster_gives_the_thread_pools_rows(threaded):
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as client:
        table = kelvane.study(short_dryer(), vary=VARY, robust=True, executor=client.get_executor())
        assert [w["nthreads"] for w in client.scheduler_info()["workers"].values()] == [1, 1]
    pd.testing.assert_frame_equal(table, threaded, check_exact=True)


def test_refused_settings_say_what_is_wrong():
    # One exception type per mistake, as in run(): a misspelt field is an
    # UnknownFieldError naming the field meant, in a study and a design.
    with pytest.raises(kelvane.UnknownFieldError, match="NoSuchField"):
        kelvane.study(vary={"NoSuchField": [1, 2]})
    with pytest.raises(kelvane.UnknownFieldError, match="did you mean WebSpeed"):
        kelvane.study(vary={"Webspeed": [1, 2]})
    with pytest.raises(kelvane.UnknownFieldError, match="did you mean WebSpeed"):
        kelvane.design(over={"Webspeed": (0.1, 1)})
    # A value that is not a number is refused before any run, as the runner
    # refuses it, not returned as rows that were refused.
    with pytest.raises(kelvane.InputError, match='"abc" is not a number'):
        kelvane.study(vary={"WebSpeed": "0.2,abc"})
    # So is a base case every row would be refused for, as run() refuses it.
    with pytest.raises(kelvane.InputError, match="Input value is not correct!") as refused:
        kelvane.study({"InitialTemperature": "warm"}, vary={"WebSpeed": [0.5, 1]})
    assert refused.value.record == "InitialTemperature" and '"warm" is not a number' in refused.value.explanation
    with pytest.raises(kelvane.InputError, match="Input value is not correct!") as refused:
        kelvane.design({"InitialTemperature": "warm"}, max_residual=8)
    assert refused.value.record == "InitialTemperature"
    with pytest.raises(TypeError):
        kelvane.study(vary={"WebSpeed": [1]}, robust="yes")
    with pytest.raises(ValueError):
        kelvane.study(vary={"WebSpeed": []})


ENTRY_POINTS = {
    "run": lambda f: kelvane.run(f),
    "study": lambda f: kelvane.study(f, vary={"WebSpeed": [0.5, 1]}),
    "design": lambda f: kelvane.design(f, max_residual=10, max_evaluations=10),
    "optimize": lambda f: kelvane.optimize(f, maximize="WebSpeed", between=(0.1, 2), max_residual=10),
}


@pytest.mark.parametrize("entry", sorted(ENTRY_POINTS))
def test_a_misspelt_base_field_is_the_same_mistake_at_every_entry(entry):
    # The base case's fields, not only the varied ones: one exception type,
    # naming the field meant, before any run.
    for typed, meant in [("Webspeed", "WebSpeed"), ("OuterTemperature[15]", "OuterTemperature[5]")]:
        with pytest.raises(kelvane.UnknownFieldError, match=rf"'{re.escape(typed)}' \(did you mean {re.escape(meant)}\?\)"):
            ENTRY_POINTS[entry]({"ZoneLength[1]": 3, "ZoneLength[2]": 3, typed: 1})


def test_optimize_finds_what_the_runner_finds_and_refuses_what_it_refuses():
    base = {"ZoneLength[1]": 3, "ZoneLength[2]": 3}
    o = kelvane.optimize(base, maximize="WebSpeed", between=(0.1, 2), max_residual=10)
    runner = subprocess.run([RUNNER, "optimize", "--quiet", "--set", "ZoneLength[1]=3", "--set", "ZoneLength[2]=3",
                             "--maximize", "WebSpeed", "--between", "0.1:2", "--max-residual", "10"],
                            capture_output=True, text=True, check=True)
    assert o.found and f"WebSpeed={o.best['WebSpeed']}" == runner.stdout.splitlines()[-1]
    assert o.message in runner.stderr and len(o.evaluations) > 2
    with pytest.raises(kelvane.UnknownFieldError, match="did you mean WebSpeed"):
        kelvane.optimize(base, maximize="Webspeed", between=(0.1, 2), max_residual=10)
    with pytest.raises(kelvane.InputError, match="at least one target"):
        kelvane.optimize(base, maximize="WebSpeed", between=(0.1, 2))
    with pytest.raises(kelvane.InputError, match="is not below"):
        kelvane.optimize(base, maximize="WebSpeed", between=(2, 0.1), max_residual=10)
