#pragma once
// The words and numbers of the study dialogs' tables and charts: a field as
// the window labels it, with its zone and unit; a summary column by its
// caption; values to 4 significant digits (the CSV keeps every digit).

#include <QString>
#include <optional>
#include <vector>

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
// One table column's figures to the same number of decimals: four
// significant digits of its largest, so that the decimal points line up
// when right-aligned ("7.860", "12.34" becomes "7.86", "12.34"); figures of
// ten thousand and more are rounded to four significant digits, and a
// column of whole numbers (counts) has none.  Empty for no value.
std::vector<QString> ColumnFigures(const std::vector<std::optional<double>>& values);
// An axis over [lo, hi] with its ticks on round numbers and labels of at
// most 4 significant digits.
void RoundAxis(QValueAxis* axis, double lo, double hi);

}  // namespace kelvane::ui
