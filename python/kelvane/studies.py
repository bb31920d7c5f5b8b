"""Studies from Python: the rows of a sweep run on a thread pool or on any
concurrent.futures executor (a Dask cluster's among them), gathered into the
table kelvane-run study writes."""

import io
import os
from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor

from . import _core
from .fields import InputError, _text, as_fields, field_info


def _values(name, values):
    """The VALUES text of a --vary: a text as given ("60,70,80" or a range
    "start:stop:step" including stop), or a sequence of numbers or texts."""
    if isinstance(values, str):
        return values
    try:
        texts = [_text(v.item() if hasattr(v, "item") else v) for v in values]
    except TypeError as e:
        raise TypeError(f"vary[{name!r}] must be a text or a sequence of numbers or texts: {e}") from None
    if not texts or any("," in t or not t.strip() for t in texts):
        raise ValueError(f"vary[{name!r}] needs at least one value, each without a comma")
    return ",".join(texts)


def _row(texts, varies, number, robust, identical=False):
    # Module level, so that an executor in other processes can pickle it.
    return _core.study_row(texts, varies, number, robust, identical)


def study(fields=None, vary=None, robust=True, executor=None, identical=False):
    """Run a study: every combination of the ``vary`` values over the base
    case ``fields``, one row per run, as ``kelvane-run study`` does.

    vary: a mapping of field names (field or record name, zone fields as
      "OuterTemperature[2]") to their values, a text ("60,70,80" or a range
      "0.5:2.0:0.25" that includes its stop) or a sequence; the first field
      changes slowest.
    robust: the robust surface solve in every run.
    identical: every run byte for byte as a single robust run; by default a
      step whose secant search is slow to balance is settled early by the
      robust solve, within its balance test.
    executor: None for a thread pool with one thread per core (the march
      runs without the interpreter lock); otherwise any
      concurrent.futures.Executor, such as a ``dask.distributed`` client's
      ``client.get_executor()``, whose workers can import kelvane.

    Returns a pandas DataFrame with the columns of ``kelvane-run study --csv``
    (row, the varied fields, outcome, message, failed_zone, rescued_steps and
    the summary figures), in row order, the numbers read back exactly.
    """
    import pandas as pd

    for name, flag in (("robust", robust), ("identical", identical)):
        if not isinstance(flag, bool):
            raise TypeError(f"{name} must be True or False, not {flag!r}")
    if not isinstance(vary, Mapping) or not vary:
        raise TypeError("vary must be a mapping of field names to their values")
    texts = dict(as_fields(fields))
    # A misspelt field is the same mistake as in run(): UnknownFieldError.
    for name in vary:
        field_info(name)
    varies = [f"{name}={_values(name, values)}" for name, values in vary.items()]
    try:
        header, numbers = _core.study_plan(varies)
    except ValueError as e:
        # Refused as kelvane-run study refuses it, before any run.
        raise InputError(str(e)) from None
    # A base case every row would be refused for is refused as run() refuses it.
    refused = _core.study_base_refusal(texts, varies)
    if refused is not None:
        raise InputError(*refused)
    if executor is None:
        with ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
            lines = _gather(pool, texts, varies, numbers, robust, identical)
    else:
        lines = _gather(executor, texts, varies, numbers, robust, identical)
    return pd.read_csv(io.StringIO(header + "".join(lines)), float_precision="round_trip")


def _gather(executor, texts, varies, numbers, robust, identical):
    futures = [executor.submit(_row, texts, varies, n, robust, identical) for n in numbers]
    try:
        return [f.result() for f in futures]
    except BaseException:
        # Interrupted or a row raised: the rows not started are dropped.
        for f in futures:
            f.cancel()
        raise
