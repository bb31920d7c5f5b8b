"""The Python module against the runner and the files it shares with it."""

import faulthandler
import json
import os
import resource
import signal
import subprocess
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import kelvane

RUNNER = os.environ.get("KELVANE_RUNNER")


def test_default_run_writes_the_runners_bytes_and_documented_arrays(tmp_path):
    ours = tmp_path / "py.txt"
    r = kelvane.run(result_file=ours)
    assert r.finished and r.messages == ["Calculation is successfully finished !"]
    if RUNNER:
        subprocess.run([RUNNER, "--quiet", "-o", str(tmp_path / "cli.txt"), "--summary-json",
                        str(tmp_path / "summary.json")], check=True, capture_output=True)
        assert ours.read_bytes() == (tmp_path / "cli.txt").read_bytes()
        assert r.summary == json.loads((tmp_path / "summary.json").read_text())
    assert r.summary["run"]["outcome"] == "finished" and r.warnings == []
    assert r.summary["run"]["exit_solvent_remaining_percent"] == pytest.approx(r.solvent_remaining[-1])

    # Two zones of 50 m at 1 m/s, a printed row every 10 cm: 501 rows each.
    assert [len(z) for z in r.zones] == [501, 501]
    n = 1002
    for name in ROW_NAMES:
        assert getattr(r, name).shape == (n,), name
    assert r.layer_thickness.shape == (n, 10)
    assert r.profile_1.shape == r.profile_2.shape == (n, 11)
    assert r.position[0] == 0 and r.position[-1] == pytest.approx(100.0)
    assert r.time[-1] == pytest.approx(100.0)  # s, at 1 m/s
    assert np.all(np.diff(r.position) >= 0) and np.all(np.diff(r.time) >= 0)
    assert list(np.unique(r.zone)) == [1, 2]
    assert np.all(r.gas_temperature == 60.0)
    assert r.solvent_remaining[0] == 100.0 and 0 < r.solvent_remaining[-1] < 100.0
    assert r.thickness[0] == pytest.approx(0.00577)  # cm
    # Solvent per area: 0.642 g/cm3 over 57.7 um is 37 g/m2; the polymer stays.
    assert r.solvent_weight[0] == pytest.approx(0.642 * 0.00577 * 1e4)
    assert r.solvent_weight[-1] / r.solvent_weight[0] == pytest.approx(r.solvent_remaining[-1] / 100, rel=1e-3)
    assert r.dry_weight > 0
    # Solvent 2 leaves faster: its surface is leaner than its average.
    assert np.all(r.profile_2[1:, 0] < r.concentration_2[1:])

    # The file read back is the same Result to its printed digits.
    f = kelvane.read_result_file(ours)
    assert f.outcome == "file" and len(f.zones) == 2 and f.time.shape == (n,)
    assert np.allclose(f.position, r.position, atol=5e-4)
    assert np.allclose(f.film_temperature, r.film_temperature, atol=5e-3)
    assert np.allclose(f.solvent_remaining, r.solvent_remaining, atol=0.05)
    assert np.allclose(f.profile_2, r.profile_2, atol=5e-4)
    assert np.allclose(f.layer_thickness, r.layer_thickness, atol=5e-4)
    assert np.all(f.gas_temperature == r.gas_temperature)
    assert f.summary["run"]["exit_solvent_remaining_percent"] == pytest.approx(6.6)
    assert f.summary_table.startswith("Zone")


def test_a_hot_second_zone_warns_of_the_boiling_point():
    r = kelvane.run({"OuterTemperature[2]": 140})
    assert r.finished
    assert [(w["kind"], w["zone"], w["solvent"]) for w in r.warnings] == [("above_boiling_point", 2, 1)]
    assert "above the boiling point of solvent 1" in r.summary_table


ROW_NAMES = ["time", "position", "film_temperature", "gas_temperature", "concentration_1", "concentration_2",
             "solvent_remaining", "thickness", "solvent_weight", "zone"]


def test_refusals_carry_the_exact_message_and_write_nothing(tmp_path):
    out = tmp_path / "r.txt"
    with pytest.raises(kelvane.InputError) as e:
        kelvane.run({"WebSpeed": "fast"}, result_file=out)
    assert str(e.value) == e.value.message == "Input value is not correct!"
    assert (e.value.field, e.value.record) == ("Edit5", "WebSpeed") and '"fast"' in e.value.explanation
    assert not out.exists()
    # Accepted but implausible: the run goes ahead and says why it looks wrong.
    r = kelvane.run({"PartialPressure1[1]": 500}, robust=True)
    assert [f for f, _ in r.input_warnings] == ["Edit9"] and "supersaturated" in r.input_warnings[0][1]
    assert r.outcome == "engine_failed" and "zone 1" in r.explanations[-1]
    with pytest.raises(KeyError, match="no field is named 'Webspeed'"):
        kelvane.run({"Webspeed": 1.0})
    with pytest.raises(OSError):
        kelvane.run(result_file=tmp_path / "no-such-folder" / "r.txt")
    # Neither a NUL in a text nor a flag given as a word is taken silently.
    with pytest.raises(ValueError, match="Edit5 holds a control byte"):
        kelvane.run({"WebSpeed": "1.0\x00junk"}, result_file=out)
    with pytest.raises(TypeError, match="robust must be True or False"):
        kelvane.run(robust="no", result_file=out)
    with pytest.raises(ValueError, match="lone surrogate") as e:
        kelvane.run({"WebSpeed": "1\ud800"}, result_file=out)
    assert len(str(e.value)) < 200, "the one text named, not all of them"
    assert not out.exists()


def test_the_result_reader_says_why_a_path_cannot_be_read(tmp_path):
    os.mkfifo(tmp_path / "fifo")
    for path, kind, reason in ((tmp_path / "none.txt", FileNotFoundError, "No such file or directory"),
                               (tmp_path, IsADirectoryError, "Is a directory"),
                               (tmp_path / "fifo", OSError, "not a regular file")):
        with pytest.raises(kind) as e:
            kelvane.read_result_file(path)
        assert reason in str(e.value)


def test_a_data_file_through_a_link_replaces_the_linked_file_whole(tmp_path):
    (tmp_path / "kept").mkdir()
    target = tmp_path / "kept" / "case.dat"
    target.write_bytes(b"EARLIER")
    link = tmp_path / "case.dat"
    link.symlink_to(target)
    # A write cut short (a 1 KiB file-size limit in place of a full disk)
    # keeps the earlier file behind the link.
    limit = resource.getrlimit(resource.RLIMIT_FSIZE)
    xfsz = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    try:
        resource.setrlimit(resource.RLIMIT_FSIZE, (1024, limit[1]))
        with pytest.raises(OSError):
            kelvane.write_data_file(link, {"WebSpeed": "0.5"})
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, limit)
        signal.signal(signal.SIGXFSZ, xfsz)
    assert target.read_bytes() == b"EARLIER"
    kelvane.write_data_file(link, {"WebSpeed": "0.5"})
    assert link.is_symlink() and kelvane.read_data_file(link)["Edit5"] == "0.5"
    assert sorted(p.name for p in tmp_path.rglob("*")) == ["case.dat", "case.dat", "kept"]


def test_a_failing_march_returns_its_outcome_and_the_rescue_finishes_it():
    failed = kelvane.run({"NumberOfLayers": 10}, robust=False)
    assert failed.outcome == "engine_failed" and not failed.finished
    assert failed.messages[-1].startswith("Sorry, this condition does not cnoverge!")
    assert failed.summary["run"]["outcome"] == "failed" and failed.summary["run"]["stop_zone"] == 1
    # The rows marched before the stop stay, and the table says the stop first.
    assert [len(z) for z in failed.zones] == [2] and failed.position[-1] == pytest.approx(0.10)
    assert failed.summary_table.startswith("Stopped: the march failed in zone 1 after 0.12 m")
    # Why, and what a Python caller does about it: never a box to tick.
    assert "robust=True" in failed.cause and "robust=True" in failed.explanations[-1]
    assert all("box" not in text for text in (failed.cause, *failed.explanations))
    # A hot zone 1 stops the plain march far into it, with the coating nearly
    # dry; the cause is the gas far above the solvents' boiling points.
    hot = kelvane.run({"OuterTemperature[1]": 400}, robust=False)
    assert hot.zones[0].position[-1] == pytest.approx(8.10)
    assert "Zone 1's gas at 400 ℃ is 289 K above solvent 1's boiling point" in hot.cause
    assert "lower zone 1's gas temperature" in hot.cause
    robust = kelvane.run({"OuterTemperature[1]": 400})
    assert robust.finished and robust.takeover.startswith(
        "The plain surface search failed in zone 1 at 8.14 m; the robust surface solve finished the run (19 steps "
        "taken over while solvent still left the coating; ")
    # The robust solve is the default.
    rescued = kelvane.run({"Edit20": "10"})
    assert rescued.finished and rescued.rescued_steps[0] == (1, 7)


def test_fields_by_either_name_and_data_files_round_trip(tmp_path):
    f = kelvane.defaults()
    assert len(f) == 142 and f["Edit19"] is f["IncrementZ"]
    f["OuterTemperature[2]"] = 80.0
    assert f["Edit21"] == "80.0" and f.by_record()["OuterTemperature[2]"] == "80.0"
    kelvane.write_data_file(tmp_path / "hot.dat", f)
    assert kelvane.read_data_file(tmp_path / "hot.dat")["Edit21"] == "80.0"

    (tmp_path / "notes.txt").write_text("no labelled lines here\n")
    with pytest.raises(kelvane.InputError) as e:
        kelvane.read_data_file(tmp_path / "notes.txt")
    assert str(e.value) == f'"{tmp_path / "notes.txt"}" is not a correct data file!'
    with pytest.raises(FileNotFoundError):
        kelvane.read_data_file(tmp_path / "missing.dat")
    f["WebSpeed"] = "1 .5"
    with pytest.raises(kelvane.InputError) as e:
        kelvane.write_data_file(tmp_path / "bad.dat", f)
    assert e.value.field == "Edit5" and not (tmp_path / "bad.dat").exists()


def test_threads_compute_at_once_and_agree(tmp_path):
    fields = {"ZoneLength[1]": 20, "ZoneLength[2]": 20}
    alone = kelvane.run(fields)
    with ThreadPoolExecutor(max_workers=2) as pool:
        both = list(pool.map(lambda _: kelvane.run(fields), range(2)))
    for r in both:
        assert np.array_equal(r.film_temperature, alone.film_temperature)
        assert np.array_equal(r.profile_1, alone.profile_1)

    # While a run marches in a thread, Python runs in another: it drains the
    # run's result file, a pipe that holds a fraction of the file, so the
    # march can only get to its end if it runs without the interpreter lock.
    # (A march holding it would wait on the pipe for ever: the guard ends the
    # process after two minutes instead.)
    first = tmp_path / "first.txt"
    kelvane.run(fields, result_file=first)
    assert first.stat().st_size > 2 * 65536  # twice what a pipe holds
    faulthandler.dump_traceback_later(120, exit=True)
    try:
        pipe = PipeResult(tmp_path / "pipe")
        worker = threading.Thread(target=kelvane.run, args=(fields,), kwargs={"result_file": pipe.path})
        worker.start()
        worker.join()
        streamed = pipe.finish()
    finally:
        faulthandler.cancel_dump_traceback_later()
    assert streamed == first.read_bytes()


class PipeResult:
    """A named pipe as a run's result file: the run writes into it in place
    (it is no regular file) and a thread drains it, calling ``seen`` with the
    bytes so far after each read.  The pipe holds far less than a result
    file, so the run waits for the reader.  The reader keeps a writing end of
    its own, so the run's opening and closing never ends the stream; finish()
    ends it and returns what the run wrote."""

    END = b"\0end of the run\0"

    def __init__(self, path, seen=lambda data: None):
        self.path = path
        os.mkfifo(path)
        self._fd = os.open(path, os.O_RDWR)
        self._data = b""
        self._thread = threading.Thread(target=self._drain, args=(seen,))
        self._thread.start()

    def _drain(self, seen):
        while not self._data.endswith(self.END):
            self._data += os.read(self._fd, 1 << 16)
            seen(self._data)

    def finish(self):
        os.write(self._fd, self.END)
        self._thread.join()
        os.close(self._fd)
        return self._data[: -len(self.END)]


def test_ctrl_c_stops_the_march_and_keeps_the_zones_done(tmp_path):
    # Ctrl-C arrives once zone 1's results are written, with the march in
    # zone 2 of 150 m: a known point of the run, not a time.
    sent = []

    def interrupt_in_zone_2(data):
        if not sent and b"[SIMULATION RESULTS]" in data:
            sent.append(True)
            os.kill(os.getpid(), signal.SIGINT)

    pipe = PipeResult(tmp_path / "pipe", interrupt_in_zone_2)
    try:
        with pytest.raises(KeyboardInterrupt):
            # Plain: a robust run holds a pipe's output until it ends.
            kelvane.run({"ZoneLength[1]": 150, "ZoneLength[2]": 150}, robust=False, result_file=pipe.path)
    finally:
        streamed = pipe.finish()
    assert sent
    # Stopped inside the march, not after it: zone 1's results, zone 2's
    # conditions, and the mark.
    assert streamed.count(b"[SIMULATION RESULTS]") == 1
    assert streamed.endswith(b"[CALCULATION CANCELLED]\r\n")


def test_a_robust_run_marched_again_restarts_its_zones(tmp_path):
    # A dryer whose first robust march fails and whose second, off the plain
    # path from the entrance, finishes: the result holds the second march
    # alone, each zone once, its time never going back.
    source = os.path.join(os.environ.get("KELVANE_SOURCE_DIR", "."), "tests", "data", "plausible-dryers.txt")
    with open(source) as f:
        line = next(l for l in f if l.startswith("off-path"))
    settings = dict(item.split("=", 1) for item in line.rstrip("\n").split("\t")[1:])
    out = tmp_path / "r.txt"
    r = kelvane.run(settings, robust=True, result_file=out)
    assert r.finished, r.messages
    assert [z.zone for z in r.zones] == list(range(1, 8))
    assert list(np.unique(r.zone)) == list(range(1, 8)) and np.all(np.diff(r.zone) >= 0)
    assert np.all(np.diff(r.time) >= 0) and np.all(np.diff(r.position) >= 0)
    assert r.summary["run"]["outcome"] == "finished" and len(r.summary["zones"]) == 7
    # The same rows as the file the run wrote.
    f = kelvane.read_result_file(out)
    assert [z.zone for z in f.zones] == list(range(1, 8)) and f.time.shape == r.time.shape
    assert np.allclose(f.time, r.time, atol=5e-4)
