"""Kelvane: the drying of coated films in a multi-zone dryer, from Python.

    import kelvane
    r = kelvane.run({"OuterTemperature[2]": 80.0})
    r.position, r.film_temperature, r.solvent_remaining   # NumPy arrays

The same calculation as the window and kelvane-run, byte for byte: run()
writes the identical result file when given result_file.  kelvane.study runs
a sweep into a pandas DataFrame; kelvane.design finds the fastest web speed
and the zones' gas temperatures that meet the targets; kelvane.fit fits model parameters to a
measured drying curve.
"""

try:
    from ._core import __version__
    import numpy  # noqa: F401  (the arrays of every Result)
except ImportError as _error:
    # Say what is true: another Python version than the one the extension
    # was built for cannot load it at all; the same version lacks NumPy.
    import sys as _sys

    from ._built_for import INTERPRETER as _INTERPRETER, VERSION as _VERSION

    _running = f"{_sys.version_info[0]}.{_sys.version_info[1]}"
    if _running != _VERSION:
        raise ImportError(
            f"the kelvane module was built for Python {_VERSION}; this is Python {_running} "
            f"({_sys.executable}), which cannot load its compiled part ({_error}). Install the python3-kelvane "
            f"package built for this system's Python {_running}, or run a Python {_VERSION} interpreter.") from _error
    raise ImportError(
        f"the kelvane module needs NumPy, which {_sys.executable} (Python {_running}) cannot import ({_error}). "
        f"Install NumPy for it (Debian: python3-numpy), or run {_INTERPRETER}, the interpreter it was built "
        "with.") from _error
from .fields import FIELDS, Fields, FieldInfo, InputError, UnknownFieldError, defaults, field_info, read_data_file, write_data_file
from .result import ROW_QUANTITIES, Result, Zone, read_result_file, run
from .design import Design, design
from .studies import study
from .optimize import Optimum, optimize

__all__ = [
    "__version__", "FIELDS", "Design", "Fields", "FieldInfo", "InputError", "UnknownFieldError", "ROW_QUANTITIES",
    "Optimum", "Result", "Zone", "defaults", "design", "field_info", "optimize", "read_data_file", "read_result_file",
    "run", "study",
    "write_data_file",
]


def __getattr__(name):
    # kelvane.fit needs SciPy; it is imported on first use only.
    if name == "fit":
        import importlib

        return importlib.import_module(".fit", __name__)
    raise AttributeError(f"module 'kelvane' has no attribute {name!r}")
