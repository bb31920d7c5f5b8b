#pragma once
// The words and numbers of the study dialogs' tables and charts: a field as
// the window labels it, with its zone and unit; a summary column by its
// caption; values to 4 significant digits (the CSV keeps every digit).

#include <QString>
#include <optional>

#include "fields/FieldTable.h"
#include "study/RowSummary.h"

class QValueAxis;

namespace kelvane::ui {

// "Zone 2: Outer Temperature (℃)" for a zone field, the caption otherwise.
QString FieldLabel(const FieldSpec& field);
// "Solvent left at exit (%)".
QString ColumnCaption(const SummaryColumn& column);
// "0.4707"; empty for no value.
QString Readable(const std::optional<double>& value);
// `value` to 4 significant digits, or to as many more as it takes to tell
// it from `limit` ("7.0004" beside a target of 7, never "7").
QString ReadableAgainst(double value, const std::optional<double>& limit);
// An axis over [lo, hi] with its ticks on round numbers and labels of at
// most 4 significant digits.
void RoundAxis(QValueAxis* axis, double lo, double hi);

}  // namespace kelvane::ui
