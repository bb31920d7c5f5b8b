"""The dryer's design from Python: the fastest web speed and the zones' gas
temperatures that meet the targets, as ``kelvane-run design`` finds them."""

import io
import math
import numbers
from dataclasses import dataclass, field

from . import _core
from .fields import as_fields, field_info


@dataclass
class Design:
    """A design: ``speed`` (m/s) and ``schedule`` (field name -> value) are
    the fastest run found that met every target; ``headline`` says it in a
    line; ``binding`` names every target within 0.5 % of its limit (or the
    one with the least room left) and every field at a bound; ``active`` and
    ``at_bounds`` list them; ``set_by_bounds``, when not empty, says that a
    bound rather than the coating sets the answer and what to widen;
    ``slowest_speed`` is the slowest speed (m/s) at which the schedule still
    meets every target, ``window_holds`` whether every target held down to
    ``slowest`` % of the speed and within the gas tolerance (``window`` lists
    the misses); ``costs`` gives the heat by zone; ``local_check`` the slope
    check's moves around the design; ``table`` every run
    made (a pandas DataFrame where pandas is installed, else the CSV text);
    ``front``, when asked for, the speed/energy front in the same form: one
    row per energy cap, with the speed, the heat per m2 and per kg, the
    schedule and the binding target."""

    found: bool
    speed: float = None
    schedule: dict = field(default_factory=dict)
    binding: str = ""
    headline: str = ""
    active: list = field(default_factory=list)
    at_bounds: list = field(default_factory=list)
    set_by_bounds: str = ""
    slowest_speed: float = None
    window_holds: bool = True
    window: list = field(default_factory=list)
    costs: list = field(default_factory=list)
    total_heat_kj_per_m2: float = None
    # The heat into the web where the gas gives it plus the make-up air's
    # heat at the needed exhaust: the energy the front trades.
    total_energy_kj_per_m2: float = None
    uniform_temperature: float = None
    uniform_speed: float = None
    locally_optimal: bool = False
    local_check: list = field(default_factory=list)
    report: str = ""
    table: object = None
    front: object = None


def _number(name, value, optional=False):
    """`value` as a float; ValueError naming `name` when it is not a finite
    number (NaN or an infinity would meet or miss every target silently)."""
    if value is None and optional:
        return None
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {value!r}")
    if not math.isfinite(value):
        raise ValueError(f"{name} must be a finite number, not {value!r}")
    return float(value)


def _count(name, value, low, high=2**31 - 1):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be a whole number, not {value!r}")
    if not low <= value <= high:
        raise ValueError(f"{name} must be a whole number from {low} to {high}, not {value!r}")
    return int(value)


def design(fields=None, max_residual=None, residual_unit="%", no_boiling=False, boiling_margin=None,
           no_skinning=False, max_film_temperature=None, span=40.0, lowest=20.0, highest=200.0,
           speed=(0.05, 5.0), over=None, non_decreasing=False, web_width=None, robust=True,
           max_evaluations=120, front=None, identical=False, max_lfl_share=None, exhaust=None, lfl=(1.1, 2.0),
           lfl_share=25.0, room_temperature=20.0, slowest=100.0, gas_tolerance=0.0):
    """Design the dryer: maximise the web speed over every zone's gas
    temperature (within ``span`` K of its value in ``fields`` and within
    ``lowest``..``highest`` degC) and the fields of ``over`` (a mapping of
    field names to (lower, upper)), subject to the targets: ``max_residual``
    in ``residual_unit`` ("%", "g/m2" or "ppm"), ``no_boiling`` or
    ``boiling_margin`` (mmHg), ``no_skinning``, ``max_film_temperature``
    (degC), and with ``non_decreasing`` gas temperatures along the dryer.
    The runs use the robust surface solve unless ``robust=False``; a step
    whose secant search is slow to balance is settled early, within its
    balance test, unless ``identical=True`` (each run byte for byte as a
    single robust run).

    ``slowest=90`` asks for an operating window: every target holds at every
    speed from 90 % of the design's speed up to it, as the line slows for a
    splice or starts below speed (``kelvane-run design --slowest 90``).
    ``gas_tolerance=K`` asks that the targets hold with every zone's gas K
    warmer (at the slowest speed) or cooler (``--gas-tolerance K``).

    ``front=N`` (at least 2) also designs N points trading speed against the
    energy (the heat into the web where the gas gives it plus the make-up
    air's heat), as ``kelvane-run design --front N``: each a design with the
    energy per m2 capped, the caps spread from the cheapest run that dried to
    the unconstrained design's energy.

    The dryer's air, as ``kelvane.run`` takes it: ``exhaust`` ({zone: m3/h
    at the zone's gas temperature for the whole web}, with ``web_width``),
    ``lfl``, ``lfl_share`` and ``room_temperature`` set the energy (at the
    given flows, else at those needed at ``lfl_share``); ``max_lfl_share``
    (%) is a target for every zone given a flow.

    Raises ValueError naming a zone whose gas temperature lies more than
    ``span`` K outside ``lowest``..``highest``: it would have no range to
    search."""
    for name, flag in (("no_boiling", no_boiling), ("no_skinning", no_skinning),
                       ("non_decreasing", non_decreasing), ("robust", robust), ("identical", identical)):
        if not isinstance(flag, bool):
            raise TypeError(f"{name} must be True or False, not {flag!r}")
    texts = dict(as_fields(fields))
    # A misspelt field is the same mistake as in run(): UnknownFieldError.
    for name in over or {}:
        field_info(name)
    if max_residual is not None and _number("max_residual", max_residual) < 0:
        raise ValueError(f"max_residual must not be negative, not {max_residual!r}")
    lo, hi = speed
    bounds = [(name, _number(f"over[{name!r}]", a), _number(f"over[{name!r}]", b))
              for name, (a, b) in (over or {}).items()]
    d = _core.design(texts, _number("max_residual", max_residual, True), residual_unit, no_boiling,
                     _number("boiling_margin", boiling_margin, True), no_skinning,
                     _number("max_film_temperature", max_film_temperature, True), _number("span", span),
                     _number("lowest", lowest), _number("highest", highest), _number("speed", lo),
                     _number("speed", hi), bounds, non_decreasing, _number("web_width", web_width, True), robust,
                     _count("max_evaluations", max_evaluations, 1), 0 if front is None else _count("front", front, 0, 100), identical,
                     None if max_lfl_share is None else _number("max_lfl_share", max_lfl_share),
                     {"room_temperature": room_temperature, "lfl": tuple(lfl), "lfl_share": lfl_share,
                      "exhaust": None if exhaust is None else dict(exhaust)},
                     _number("slowest", slowest), _number("gas_tolerance", gas_tolerance))

    def frame(text):
        if text is None:
            return None
        try:
            import pandas as pd

            return pd.read_csv(io.StringIO(text), float_precision="round_trip")
        except ImportError:
            return text

    table = frame(d["table"])
    number = lambda t: None if t is None else float(t)  # noqa: E731
    return Design(found=d["found"], speed=number(d["speed"] or None),
                  schedule={k: float(v) for k, v in d["schedule"].items()}, binding=d["binding"],
                  headline=d["headline"], active=list(d["active"]), at_bounds=list(d["at_bounds"]),
                  set_by_bounds=d["set_by_bounds"], slowest_speed=number(d["slowest_speed"]),
                  window_holds=d["window_holds"], window=list(d["window"]),
                  costs=d["costs"], total_heat_kj_per_m2=d["total_heat_kj_per_m2"],
                  total_energy_kj_per_m2=d["total_energy_kj_per_m2"],
                  uniform_temperature=number(d["uniform_temperature"]), uniform_speed=number(d["uniform_speed"]),
                  locally_optimal=d["locally_optimal"], local_check=list(d["local_check"]), report=d["report"],
                  table=table, front=frame(d["front"]))
