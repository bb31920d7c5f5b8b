"""The 142 input fields: their texts, data files, and the refusal of an input."""

import difflib
import errno
import os
from collections.abc import Mapping, MutableMapping

from . import _core


class InputError(ValueError):
    """The calculation refused its input.

    ``str(error)`` and ``error.message`` are the message the window shows,
    word for word; ``error.field`` is the field name of the field concerned
    ("Edit5") and ``error.record`` its record name ("WebSpeed") where known,
    else None; ``error.explanation`` says in English what is wrong, or "".
    """

    def __init__(self, message, field=None, explanation=""):
        super().__init__(message)
        self.message = message
        self.field = field or None
        self.record = _BY_ANY_NAME[field].record if field in _BY_ANY_NAME else None
        self.explanation = explanation


class FieldInfo:
    """What the field table says of one field."""

    __slots__ = ("name", "record", "unit", "caption", "default", "editable")

    def __init__(self, name, record, unit, caption, default, editable):
        self.name, self.record, self.unit = name, record, unit
        self.caption, self.default, self.editable = caption, default, editable

    def __repr__(self):
        return f"FieldInfo({self.name!r}, {self.record!r}, unit={self.unit!r}, default={self.default!r})"


FIELDS = tuple(FieldInfo(*row) for row in _core.field_table())
_BY_ANY_NAME = {f.name: f for f in FIELDS}
_BY_ANY_NAME.update({f.record: f for f in FIELDS})


class UnknownFieldError(InputError, KeyError):
    """A field name that no field has; ``error.explanation`` names the
    nearest one ("did you mean WebSpeed?") where a slip of the keyboard
    explains it.  It is an InputError and, as before, a KeyError."""

    __str__ = InputError.__str__


def _nearest(name):
    """The name meant: letter case ignored, or a near spelling."""
    if not isinstance(name, str):
        return None
    folded = {n.lower(): n for n in _BY_ANY_NAME}
    if name.lower() in folded:
        return folded[name.lower()]
    close = difflib.get_close_matches(name.lower(), folded, n=1, cutoff=0.85)
    return folded[close[0]] if close else None


def field_info(name):
    """The FieldInfo of a field given by field name ("Edit19") or record name ("IncrementZ").

    Raises UnknownFieldError (an InputError and a KeyError) for a name no field has."""
    try:
        return _BY_ANY_NAME[name]
    except (KeyError, TypeError):
        near = _nearest(name)
        hint = f"did you mean {near}?" if near else "kelvane.FIELDS lists them"
        raise UnknownFieldError(f"no field is named {name!r} ({hint})",
                                explanation=hint if near else "") from None


def _text(value):
    if isinstance(value, str):
        return value
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"a field text must be a str, int or float, not {type(value).__name__}")
    return repr(float(value)) if isinstance(value, float) else str(value)


class Fields(MutableMapping):
    """The field texts, addressed by field name ("Edit19") or record name
    ("IncrementZ", "OuterTemperature[2]"); both name the same text.

    Iterating gives the field names in the window's order.  Numbers are
    stored as their texts (``f["WebSpeed"] = 1.5`` stores ``"1.5"``).
    """

    def __init__(self, texts=None):
        self._texts = {f.name: f.default for f in FIELDS}
        if texts is not None:
            self.update(texts)

    def __getitem__(self, name):
        return self._texts[field_info(name).name]

    def __setitem__(self, name, value):
        self._texts[field_info(name).name] = _text(value)

    def __delitem__(self, name):
        raise TypeError("every field always has a text; set it instead")

    def __iter__(self):
        return iter(self._texts)

    def __len__(self):
        return len(self._texts)

    def __contains__(self, name):
        return name in _BY_ANY_NAME

    def by_record(self):
        """A plain dict of the texts by record name."""
        return {field_info(n).record: t for n, t in self._texts.items()}

    def copy(self):
        return Fields(self._texts)

    def __repr__(self):
        changed = {n: t for n, t in self._texts.items() if t != field_info(n).default}
        return f"Fields(<142 texts; changed from the defaults: {changed!r}>)"


def defaults():
    """The window's default texts of all 142 fields, as a Fields mapping.

    The texts are what the calculation reads, as the window's fields hold
    them; a number may be assigned and is kept as its text
    (``f["WebSpeed"] = 1.2`` then ``f["WebSpeed"] == "1.2"``).  A misspelt
    name raises UnknownFieldError, an InputError naming the nearest field."""
    return Fields()


def as_fields(fields):
    """Fields from None (the defaults), a Fields or any mapping of names to texts."""
    if fields is None:
        return Fields()
    if isinstance(fields, Fields):
        return fields.copy()
    if not isinstance(fields, Mapping):
        raise TypeError("fields must be a mapping of field names to texts")
    fields = Fields(fields)
    # A text that is no UTF-8 (a lone surrogate from a bad decode) is named
    # here, not left to the conversion, which would print every text.
    for name, text in fields.items():
        try:
            str(text).encode("utf-8")
        except UnicodeEncodeError:
            raise ValueError(f"the text of {name} is not valid Unicode (a lone surrogate): {text!r}") from None
    return fields


def read_data_file(path):
    """The default texts with a data file applied, as "Input Data File" does:
    the editable fields take the file's values, the greyed ones keep theirs.

    Raises InputError with the window's message when the file is not a data
    file, OSError ("Data file can not open!") when it cannot be read.
    """
    path = os.fspath(path)
    status, messages, texts = _core.read_data_file(path)
    if status == "cannot_open":
        code = errno.ENOENT if not os.path.exists(path) else errno.EACCES
        raise OSError(code, messages[-1] if messages else "Data file can not open!", path)
    if status != "applied":
        raise InputError(messages[-1] if messages else f"{path} is not a data file")
    return Fields(texts)


def write_data_file(path, fields):
    """Write the field texts as a 141-line data file (Shift_JIS, CR LF) that
    read_data_file reads back to the same texts.

    Raises InputError naming the field whose text cannot go into a data file,
    OSError when the file cannot be written; nothing is written then.
    """
    path = os.fspath(path)
    status, field, code = _core.write_data_file(path, dict(as_fields(fields)))
    if status == "unwritable_text":
        raise InputError(
            f"the text of {field} cannot go into a data file (it holds a space, a line end "
            "or a character without a Shift_JIS form)",
            field=field,
        )
    if status != "ok":
        raise OSError(code, os.strerror(code), path)
