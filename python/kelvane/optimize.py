"""The best setting of one or more fields that meets the targets, from
Python: the search kelvane-run optimize makes."""

import io
from dataclasses import dataclass, field

from . import _core
from .fields import InputError, _text, as_fields, field_info


@dataclass
class Optimum:
    """What optimize() found: ``found`` when a run met the targets; ``best``
    the searched fields' texts at the best such run (by the name given);
    ``message`` the search's own account; ``evaluations`` every run made (a
    pandas DataFrame, or the CSV text without pandas)."""

    found: bool
    best: dict = field(default_factory=dict)
    message: str = ""
    evaluations: object = None


def optimize(fields=None, maximize=None, minimize=None, between=None, over=None, max_residual=None,
             max_film_temperature=None, no_boiling=False, tolerance=None, max_evaluations=60, robust=True):
    """The best setting that meets the targets, as ``kelvane-run optimize``.

    maximize / minimize: exactly one, a field name or a summary column
      (final_residual_percent, total_heat_kj_per_m2, ...).
    between: (lower, upper) of the objective field: with no ``over``, the
      bracketing search of the boundary (``tolerance`` the final bracket's
      width; None: a thousandth of the span).
    over: a mapping of further field names to (lower, upper), searched by
      COBYLA within ``max_evaluations`` runs.
    max_residual (% of the initial solvent), max_film_temperature (degC),
      no_boiling: the targets, at least one.
    robust: the robust surface solve in every run (the default).

    Raises UnknownFieldError for a misspelt field and InputError for
    settings the runner refuses, before any run."""
    if not isinstance(robust, bool) or not isinstance(no_boiling, bool):
        raise TypeError("robust and no_boiling must be True or False")
    if (maximize is None) == (minimize is None):
        raise InputError("give exactly one of maximize and minimize")
    if max_residual is None and max_film_temperature is None and not no_boiling:
        raise InputError("give at least one target (max_residual, max_film_temperature, no_boiling)")
    objective = maximize if maximize is not None else minimize
    ranges = []
    if between is not None:
        field_info(objective)
        lo, hi = between
        ranges.append((objective, _text(lo), _text(hi)))
    for name, (lo, hi) in (over or {}).items():
        field_info(name)
        ranges.append((name, _text(lo), _text(hi)))
    if not ranges:
        raise InputError("no field to search: give between for the objective field, or over")
    texts = dict(as_fields(fields))
    try:
        d = _core.optimize(texts, str(objective), maximize is not None, ranges,
                           None if max_residual is None else float(max_residual),
                           None if max_film_temperature is None else float(max_film_temperature), no_boiling,
                           0.0 if tolerance is None else float(tolerance), int(max_evaluations), robust)
    except ValueError as e:
        raise InputError(str(e)) from None
    table = d["evaluations"]
    try:
        import pandas as pd

        table = pd.read_csv(io.StringIO(table), float_precision="round_trip")
    except ImportError:
        pass
    return Optimum(found=d["found"], best=dict(d["best"]), message=d["message"], evaluations=table)
