#pragma once
// The table of a study as text: one CSV line (or one JSON object per line)
// per row, the row number first, then the varied fields' texts, the outcome
// with its message, and the summary columns.  Numbers are written in the
// shortest form that reads back to the same double.

#include <string>
#include <vector>

#include "study/StudyRun.h"

namespace kelvane {

// The CSV header line (with its line end).
std::string CsvHeader(const StudyDefinition& study);
// One row's CSV line (with its line end).
std::string CsvLine(const RowResult& row);
// One row as a JSON object on one line (with its line end).
std::string JsonLine(const StudyDefinition& study, const RowResult& row);

// A double in its shortest round-trip form ("0.25", "1e-07").
std::string ShortestNumber(double value);

// A double for people: 4 significant digits, no exponent between 0.001 and
// 10^9, never "-0" ("0.4707", "6.998", "149600", "1.2e-05").
std::string ReadableNumber(double value);

// A field's value as a short text with `digits` significant digits
// ("0.667514", "159.999"), the same whatever the process locale: the text a
// search runs and prints.
std::string FieldValueText(double value, int digits);

}  // namespace kelvane
