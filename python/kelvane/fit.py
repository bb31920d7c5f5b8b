"""Fitting model parameters to a measured drying curve.

    import kelvane.fit
    curve = kelvane.fit.read_curve("lab.csv")          # time_s,solvent_remaining_percent
    report = kelvane.fit.fit(curve, ["Keff1", "Fter1"], bounds={"Keff1": (0.1, 10)})
    print(report)

Each evaluation is a whole run of the calculation; scipy.optimize.least_squares
moves the chosen fields (any numeric field: Keff1, Keff2, Fter1, Fter2, Chi1p,
Chi2p, Chi12, DiffParams1[3], ...) to minimise the difference between the
measured points and the calculated curve, interpolated at the measured times
or positions.
"""

import csv
import math
import os

import numpy as np
from scipy.optimize import least_squares

from .fields import as_fields, field_info
from .result import _run

# What a curve may measure, and its unit.
QUANTITIES = {
    "solvent_remaining": "% of the initial solvent load",
    "film_weight": "g/m2, coating including its polymer",
    "solvent_weight": "g/m2, both solvents",
}
# What a curve is measured along, and its unit.
AXES = {"time": "s since the entrance of zone 1", "position": "m along the web"}

# A run that fails before the last measured point leaves the points beyond it
# this far off (in the curve's unit), so that the search moves away.
FAILED_RUN_OFFSET = 1.0e3


class Curve:
    """Measured points: ``x`` along ``axis`` ("time" or "position"), ``y`` of
    ``quantity`` (one of QUANTITIES)."""

    def __init__(self, x, y, quantity="solvent_remaining", axis="time"):
        if quantity not in QUANTITIES:
            raise ValueError(f"quantity {quantity!r} is not one of {', '.join(QUANTITIES)}")
        if axis not in AXES:
            raise ValueError(f"axis {axis!r} is not one of {', '.join(AXES)}")
        self.x = np.asarray(x, dtype=float)
        self.y = np.asarray(y, dtype=float)
        if self.x.shape != self.y.shape or self.x.ndim != 1 or len(self.x) == 0:
            raise ValueError("a curve needs equally many x and y values, at least one")
        if not (np.all(np.isfinite(self.x)) and np.all(np.isfinite(self.y))):
            raise ValueError("a curve's values must be finite numbers")
        self.quantity, self.axis = quantity, axis

    def __len__(self):
        return len(self.x)


def _column_kind(header, kinds):
    name = header.strip().lower()
    for kind in kinds:
        if name.startswith(kind):
            return kind
    return None


def read_curve(path):
    """A measured curve from a CSV file with a header line: the first column
    time (a name starting "time", s) or position ("position", m), the second
    solvent remaining ("solvent_remaining", %), film weight ("film_weight",
    g/m2) or solvent weight ("solvent_weight", g/m2).  Names may carry a
    unit suffix: ``time_s,solvent_remaining_percent``."""
    with open(os.fspath(path), newline="") as f:
        rows = [r for r in csv.reader(f) if r and any(c.strip() for c in r)]
    if len(rows) < 2 or len(rows[0]) < 2:
        raise ValueError(f"{path}: expected a header line and at least one row of two columns")
    axis = _column_kind(rows[0][0], AXES)
    quantity = _column_kind(rows[0][1], QUANTITIES)
    if axis is None or quantity is None:
        raise ValueError(f"{path}: the header {rows[0][:2]} names no known columns "
                         f"(first: {', '.join(AXES)}; second: {', '.join(QUANTITIES)})")
    x, y = [], []
    for line, r in enumerate(rows[1:], start=2):
        try:
            x.append(float(r[0]))
            y.append(float(r[1]))
        except (ValueError, IndexError):
            raise ValueError(f"{path}, line {line}: expected two numbers, found {r}") from None
    return Curve(x, y, quantity, axis)


def write_curve(path, curve):
    """A curve as the CSV file read_curve reads."""
    with open(os.fspath(path), "w", newline="") as f:
        w = csv.writer(f)
        w.writerow([curve.axis, curve.quantity])
        for x, y in zip(curve.x, curve.y):
            w.writerow([repr(float(x)), repr(float(y))])


def model_curve(result, curve):
    """The calculated values of the curve's quantity at its points.  Points
    beyond the computed part of a failed run are FAILED_RUN_OFFSET off."""
    along = result.time if curve.axis == "time" else result.position
    if curve.quantity == "solvent_remaining":
        values = result.solvent_remaining
    elif curve.quantity == "solvent_weight":
        values = result.solvent_weight
    else:
        values = result.solvent_weight + result.dry_weight
    if len(along) == 0:
        return curve.y + FAILED_RUN_OFFSET
    y = np.interp(curve.x, along, values)
    if not result.finished:
        beyond = curve.x > along[-1]
        y[beyond] = curve.y[beyond] + FAILED_RUN_OFFSET
    return y


class FitReport:
    """The outcome of a fit.

    values, standard_errors, initial: dicts by the names given.
    residuals: calculated minus measured at the curve's points.
    fitted: the calculated curve at the points; result: the final run.
    success, message, evaluations: from least_squares.
    """

    def __init__(self, names, initial, values, errors, curve, fitted, result, ls):
        self.names = list(names)
        self.initial = dict(zip(names, initial))
        self.values = dict(zip(names, values))
        self.standard_errors = dict(zip(names, errors))
        self.curve, self.fitted, self.result = curve, fitted, result
        self.residuals = fitted - curve.y
        self.rms = float(np.sqrt(np.mean(self.residuals ** 2)))
        self.success, self.message, self.evaluations = bool(ls.success), ls.message, int(ls.nfev)
        self.least_squares = ls

    def __str__(self):
        lines = [f"Fit of {len(self.names)} parameter(s) to {len(self.curve)} points of "
                 f"{self.curve.quantity} against {self.curve.axis}: {self.message} "
                 f"({self.evaluations} runs)",
                 f"  {'parameter':<20} {'initial':>12} {'fitted':>14} {'std. error':>12}"]
        for n in self.names:
            lines.append(f"  {n:<20} {self.initial[n]:>12.6g} {self.values[n]:>14.8g} "
                         f"{self.standard_errors[n]:>12.3g}")
        lines.append(f"  rms residual {self.rms:.4g} ({QUANTITIES[self.curve.quantity]})")
        return "\n".join(lines)


def model_run(fields=None, robust=True, identical=False):
    """The run the fit makes of ``fields`` (a Result, as kelvane.run gives).

    Once a robust run has left the plain path its steps go to the secant
    search and the full robust solve, not to the faster continuation solve:
    the secant search settles a step anywhere inside its 0.5 % balance test,
    the continuation solve close to the balance's root, so a run whose
    parameters cross from finishing on the plain path to leaving it would
    otherwise move by up to about 0.01 percentage points of solvent at once,
    and a finite-difference Jacobian would see that step.

    identical: each run byte for byte as a single robust run; by default a
    step whose secant search is slow to balance goes to the full robust
    solve early, within the balance test, instead of after up to 100 000
    trials."""
    if identical not in (True, False):
        raise TypeError(f"identical must be True or False, not {identical!r}")
    return _run(fields, robust, None, continuation=False, identical=identical)


def fit(curve, parameters, fields=None, bounds=None, robust=True, diff_step=1e-4, identical=False, **options):
    """Fit ``parameters`` (field or record names; a list, or a dict of
    initial values) to a measured ``curve`` (a Curve or a CSV path).

    fields: the other inputs (defaults when None); the initial values come
      from them unless given.
    bounds: dict name -> (lower, upper); unbounded when not given.
    robust: run with the robust surface solve (the default: a search tries
      parameters far from where the secant search of a step is sure to
      converge; steps it finishes are computed exactly as without).  Once
      a run has left the plain path its steps go to the secant search and
      the full robust solve, not to the faster continuation solve of studies
      and single runs: the model must move smoothly with the parameters.
    identical: every run byte for byte as a single robust run (see
      model_run); by default slow steps are settled early.
    diff_step: relative step of the finite-difference Jacobian; each run's
      iterations converge to a tolerance, so steps much smaller than 1e-4
      would see that tolerance rather than the slope.
    Further keyword options go to scipy.optimize.least_squares.

    The parameters are searched as multiples of their initial values (or
    absolute, where an initial value is 0), so that F5 of order 1e2 and Keff1
    of order 1 move alike.  Standard errors come from the Jacobian at the
    optimum: s^2 (J^T J)^-1 with s^2 the residuals' variance.
    """
    if not isinstance(curve, Curve):
        curve = read_curve(curve)
    base = as_fields(fields)
    if isinstance(parameters, str):
        parameters = [parameters]
    if isinstance(parameters, dict):
        names, initial = list(parameters), [float(v) for v in parameters.values()]
    else:
        names = list(parameters)
        initial = []
        for n in names:
            try:
                initial.append(float(base[n]))
            except ValueError:
                raise ValueError(f"the text of {n} ({base[n]!r}) is not a number to start from") from None
    if not names:
        raise ValueError("name at least one parameter to fit")
    for n in names:
        field_info(n)  # unknown names fail here, before any run
    if len(curve) < len(names):
        raise ValueError(f"{len(curve)} points cannot determine {len(names)} parameters")
    scale = np.array([abs(v) if v != 0 else 1.0 for v in initial])
    lower = np.full(len(names), -np.inf)
    upper = np.full(len(names), np.inf)
    for i, n in enumerate(names):
        if bounds and n in bounds:
            lower[i], upper[i] = bounds[n]
    if np.any(lower >= upper):
        raise ValueError("each lower bound must lie below its upper bound")
    u0 = np.clip(np.array(initial) / scale, lower / scale, upper / scale)

    last = {}

    def residuals(u):
        f = base.copy()
        for n, v in zip(names, u * scale):
            f[n] = float(v)
        r = model_run(f, robust=robust, identical=identical)
        last["u"], last["result"] = u.copy(), r
        return model_curve(r, curve) - curve.y

    ls = least_squares(residuals, u0, bounds=(lower / scale, upper / scale), diff_step=diff_step, **options)
    values = ls.x * scale
    if not np.array_equal(last.get("u"), ls.x):
        residuals(ls.x)
    result = last["result"]
    dof = len(curve) - len(names)
    errors = [math.nan] * len(names)
    if dof > 0:
        s2 = float(np.sum(ls.fun ** 2)) / dof
        try:
            cov = np.linalg.inv(ls.jac.T @ ls.jac) * s2
            errors = list(np.sqrt(np.abs(np.diag(cov))) * scale)
        except np.linalg.LinAlgError:
            pass
    return FitReport(names, initial, list(values), errors, curve, model_curve(result, curve), result, ls)
