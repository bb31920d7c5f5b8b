"""Running the calculation and reading result files into NumPy arrays."""

import errno
import json
import os
import tempfile
import threading

import numpy as np

from . import _core, table
from .fields import InputError, as_fields, field_info

# Per-row quantities of the result file's tables: name -> unit.
ROW_QUANTITIES = {
    "time": "s since the entrance of zone 1",
    "position": "m along the web from the entrance of zone 1",
    "film_temperature": "degC",
    "gas_temperature": "degC (the zone's outer temperature)",
    "concentration_1": "g/cm3, average over the coating",
    "concentration_2": "g/cm3, average over the coating",
    "solvent_remaining": "% of the initial solvent load",
    "thickness": "cm, the coating",
    "solvent_weight": "g/m2, both solvents together",
    "layer_thickness": "um, shape (rows, 10): TH1 (surface slice) .. TH10",
    "profile_1": "g/cm3, shape (rows, 11): solvent 1 from C0 (surface) to C10 (base film)",
    "profile_2": "g/cm3, shape (rows, 11): solvent 2 from C0 (surface) to C10 (base film)",
}


class Zone:
    """One zone's conditions and its rows (every fifth marching step, as in
    the result file).  ``position`` is measured from the zone's entrance,
    ``web_position`` from the entrance of zone 1."""

    def __init__(self, d):
        self.zone = d["zone"]
        self.start = d["start"]  # m, entrance along the web
        self.gas_temperature = d.get("gas_temperature")  # degC
        self.length = d.get("length")  # m
        self.partial_pressure_1 = d.get("partial_pressure_1")  # mmHg
        self.partial_pressure_2 = d.get("partial_pressure_2")  # mmHg
        self.base_heat_transfer = d.get("base_heat_transfer")  # W/(cm2.K)
        self.coat_heat_transfer = d.get("coat_heat_transfer")  # W/(cm2.K)
        self.time = d["time"]
        self.position = d["position"]
        self.web_position = self.start + self.position
        self.film_temperature = d["film_temperature"]
        self.concentration_1 = d["concentration_1"]
        self.concentration_2 = d["concentration_2"]
        self.solvent_remaining = d["solvent_remaining"]
        self.thickness = d["thickness"]
        self.layer_thickness = d["layer_thickness"]
        self.profile_1 = d["profile_1"]
        self.profile_2 = d["profile_2"]
        # g/cm3 x cm = g/cm2; x 1e4 -> g/m2
        self.solvent_weight = (self.concentration_1 + self.concentration_2) * self.thickness * 1.0e4

    def __len__(self):
        return len(self.time)

    def __repr__(self):
        return f"<kelvane.Zone {self.zone}: {len(self)} rows from {self.start:g} m>"


class Result:
    """The outcome of a run, or the contents of a result file.

    Attributes:
      outcome: "finished", "engine_failed", "arithmetic_fault" or "cancelled"
        ("file" for a result read from a file).
      finished: True when every zone was computed.
      messages: the messages of the run, in order, as the window shows them;
        explanations: the English explanation beside each ("" where none).
      input_warnings: (field name, text) of each input that looks wrong (the
        window's "These inputs look wrong" list); the run went ahead.
        all_warnings gives these and the summary's warnings as one list of
        dicts.
      zones: a list of Zone, one per zone whose results were written.
      rescued_steps: (zone, step) of the steps the robust surface solve took over.
      takeover: where the plain surface search failed and what the robust
        solve did then, in words ("" when it took nothing over).
      cause: for a march that stopped, why in the model's terms and what
        helps ("" otherwise).  The zones hold the rows marched before the
        stop, the last one cut short.
      slow_steps: where a slow run's time went ("Where the time went: zone 8:
        81 steps needed 10 069–95 727 trials each (97 % of the run's ...
        trials)."): the zones whose steps needed a thousand trials or more,
        when they took at least a quarter of the run's trials; "" otherwise
        (and for a file).
      summary: the run summary as a dict ("run": the totals and the outcome,
        "zones": per zone temperatures, solvent left and evaporated, heat from
        the gas; "warnings"; "settings"), the same as kelvane-run
        --summary-json writes; None when nothing was marched.
      warnings: the summary's defect warnings (boiling, skinning, ...), each
        a dict with "kind", "zone", "position_m", "text", ...
      summary_table: the summary as kelvane-run prints it (zone table and
        warnings), a str.
      dry_weight: the polymer per unit area, g/m2 (None for a file).
      truncated: the file stopped inside a zone's results.

    The arrays joined along the web (one row per printed row of every zone,
    zone after zone; a zone's entrance repeats its predecessor's exit) are the
    names of ROW_QUANTITIES, plus ``zone`` (the zone of each row).  A run's
    arrays hold the film state's full precision; a file's, its printed digits.
    """

    def __init__(self, d, outcome, messages=(), rescued=(), dry_weight=None, summary=None, warnings=(),
                 summary_table=""):
        self.outcome = outcome
        self.finished = outcome == "finished"
        self.messages = list(messages)
        self.rescued_steps = [tuple(r) for r in rescued]
        self.takeover = ""
        self.cause = ""
        self.slow_steps = d.get("slow_steps", "")
        self.summary = summary
        self.warnings = list(warnings)
        self.summary_table = summary_table
        self.explanations = [""] * len(self.messages)
        self.input_warnings = []
        self.dry_weight = dry_weight
        self.increment_z = d["increment_z"]  # cm
        self.layers = d["layers"]
        self.web_speed = d["web_speed"]  # m/s
        self.initial_temperature = d["initial_temperature"]  # degC
        self.truncated = d["truncated"]
        self.zones = [Zone(z) for z in d["zones"]]
        self._join()

    def _join(self):
        zs = self.zones
        empty1, empty2 = np.zeros(0), lambda n: np.zeros((0, n))

        def cat(name, width=None):
            parts = [getattr(z, name) for z in zs]
            if parts:
                return np.concatenate(parts)
            return empty1 if width is None else empty2(width)

        self.time = cat("time")
        self.position = cat("web_position")
        self.film_temperature = cat("film_temperature")
        self.concentration_1 = cat("concentration_1")
        self.concentration_2 = cat("concentration_2")
        self.solvent_remaining = cat("solvent_remaining")
        self.thickness = cat("thickness")
        self.solvent_weight = cat("solvent_weight")
        self.layer_thickness = cat("layer_thickness", 10)
        self.profile_1 = cat("profile_1", 11)
        self.profile_2 = cat("profile_2", 11)
        self.zone = np.concatenate([np.full(len(z), z.zone) for z in zs]) if zs else np.zeros(0, dtype=int)
        self.gas_temperature = (
            np.concatenate([np.full(len(z), np.nan if z.gas_temperature is None else z.gas_temperature) for z in zs])
            if zs
            else empty1
        )

    @property
    def all_warnings(self):
        """Both kinds of warning as one type, dicts with "kind" and "text":
        first the inputs that look wrong ({"kind": "input", "field": "Edit9",
        "record": "PartialPressure1[1]", "text": ...}), then the summary's
        warnings (kind "boiling", "skinning", ..., with their places)."""
        inputs = [{"kind": "input", "field": f, "record": field_info(f).record, "text": t}
                  for f, t in self.input_warnings]
        return inputs + [dict(w) for w in self.warnings]

    def to_dataframe(self):
        """The rows as a pandas DataFrame, one row per position (each zone
        boundary once), the units in the column names; see kelvane.table."""
        return table.to_dataframe(self)

    def to_csv(self, path):
        """The rows of to_dataframe() as a CSV file (needs no pandas)."""
        table.to_csv(self, path)

    def plot(self, ax=None, what="solvent_remaining", x="position"):
        """Draw the drying curve (what="solvent_remaining"), the film and gas
        temperatures ("film_temperature"), "thickness" or "solvent_weight"
        against position or time on a Matplotlib axes (a new figure's when
        None); returns the axes."""
        return table.plot(self, ax, what, x)

    def __repr__(self):
        return f"<kelvane.Result {self.outcome}: {len(self.zones)} zones, {len(self.time)} rows>"


def _summary(d):
    if not d["summary"]:
        return None, [], ""
    summary = json.loads(d["summary"])
    return summary, summary.get("warnings", []), d["summary_table"]


def run(fields=None, robust=True, result_file=None, *, web_width=None, room_temperature=20.0, exhaust=None,
        lfl=(1.1, 2.0), lfl_share=25.0, zone_balance=False):
    """Run the calculation, as the window's OK button does.

    fields: None for the default texts, or a mapping of field names or record
      names to texts (numbers are taken as their texts); fields not named keep
      their defaults.  The "Save File Name" field plays no part: result_file
      decides where the result file goes.
    robust: the robust surface solve, the default (a damped Newton iteration
      takes over a step whose secant search fails; where the search finishes
      every step the result is the plain march's, byte for byte); False
      marches with the seed's plain search alone.
    result_file: a path to write the result file to, byte for byte as the
      window and kelvane-run write it; None writes none.

    The dryer's air, in the summary (solvent given off per zone, the exhaust
    needed, its % of the LFL, the make-up air's heat, each zone's energy):
    web_width: m, None for none (then no kg/h, m3/h or kW).
    room_temperature: the make-up air's temperature before heating, degC.
    exhaust: {zone: m3/h at the zone's gas temperature for the whole web}
      (needs web_width).
    lfl: the two solvents' lower flammable limits at 25 degC, % by volume.
    lfl_share: the share of the LFL the exhaust may reach, %.
    zone_balance: each zone with an exhaust has its gas carry what the
      coating gave off there (its partial pressures follow from the zone's
      balance; best with robust=True).

    Returns a Result.  A run that stops on a numerical failure returns its
    Result too (outcome "engine_failed" or "arithmetic_fault", the rows
    marched before the stop, the engine's message in messages, why in
    cause).
    Raises InputError with the window's exact message when the input is
    refused, OSError when the result file cannot be written.

    The calculation runs without the interpreter lock: threads compute in
    parallel.  On the main thread Ctrl-C stops it after the current step
    (KeyboardInterrupt; result_file keeps the zones finished, marked as
    cancelled).
    """
    if zone_balance not in (True, False):
        raise TypeError(f"zone_balance must be True or False, not {zone_balance!r}")
    air = {"web_width": web_width, "room_temperature": room_temperature, "lfl": tuple(lfl),
           "lfl_share": lfl_share, "exhaust": None if exhaust is None else dict(exhaust),
           "zone_balance": zone_balance}
    return _run(fields, robust, result_file, air=air)


def _run(fields, robust, result_file, continuation=True, identical=True, air=None):
    """run(), with the choice of how a robust run solves its steps once it
    has left the plain path: the continuation solve (continuation=True), or
    the secant search with the full robust solve behind it (False; see
    kelvane.fit.model_run); and, for features that run many calculations,
    identical=False: a step whose secant search is slow to balance is
    settled early by the robust solve, within its balance test."""
    # A flag, not anything with a truth value: robust="no" would turn it on.
    if robust not in (True, False):
        raise TypeError(f"robust must be True or False, not {robust!r}")
    texts = dict(as_fields(fields))
    # Ctrl-C reaches the march on the main thread only, where the
    # interpreter runs its signal handlers.
    interruptible = threading.current_thread() is threading.main_thread()
    if result_file is not None:
        texts["Edit250"] = os.fspath(result_file)
        d = _core.run(texts, bool(robust), interruptible, bool(continuation), bool(identical), air or {})
    else:
        with tempfile.TemporaryDirectory(prefix="kelvane-") as scratch:
            texts["Edit250"] = os.path.join(scratch, "result.txt")
            d = _core.run(texts, bool(robust), interruptible, bool(continuation), bool(identical), air or {})
    outcome, messages = d["outcome"], d["messages"]
    if outcome in ("refused", "general_error"):
        explanation, field = d["details"][-1] if d["details"] else ("", "")
        raise InputError(messages[-1] if messages else "the input was refused", field, explanation)
    if outcome == "file_error":
        raise OSError(f"{messages[-1] if messages else 'File can not open!'}: {texts['Edit250']}")
    r = Result(d, outcome, messages, d["rescued"], d["dry_weight"], *_summary(d))
    r.explanations = [e for e, _ in d["details"]]
    r.takeover, r.cause = d["takeover"], d["cause"]
    r.input_warnings = [tuple(w) for w in d["input_warnings"]]
    return r


def read_result_file(path):
    """A result file read back into a Result (outcome "file"): every zone
    whose tables are complete, to the file's printed digits.  Raises
    ValueError when the bytes are not a result file, OSError when it cannot
    be read."""
    path = os.fspath(path)
    d = _core.read_result_file(path)
    if not os.path.isfile(path):
        # The reader's own reason: no such file, a folder, a device, a pipe.
        code = (errno.ENOENT if not os.path.exists(path)
                else errno.EISDIR if os.path.isdir(path) else errno.EINVAL)
        raise OSError(code, d["error"], path)
    if not d["ok"]:
        raise ValueError(f"{path}: {d['error']}")
    return Result(d, "file", (), (), None, *_summary(d))
