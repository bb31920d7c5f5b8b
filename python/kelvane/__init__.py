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

from ._core import __version__
from .fields import FIELDS, Fields, FieldInfo, InputError, defaults, field_info, read_data_file, write_data_file
from .result import ROW_QUANTITIES, Result, Zone, read_result_file, run
from .design import Design, design
from .studies import study

__all__ = [
    "__version__", "FIELDS", "Design", "Fields", "FieldInfo", "InputError", "ROW_QUANTITIES", "Result", "Zone",
    "defaults", "design", "field_info", "read_data_file", "read_result_file", "run", "study", "write_data_file",
]


def __getattr__(name):
    # kelvane.fit needs SciPy; it is imported on first use only.
    if name == "fit":
        import importlib

        return importlib.import_module(".fit", __name__)
    raise AttributeError(f"module 'kelvane' has no attribute {name!r}")
