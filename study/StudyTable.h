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

// A double for people: 4 significant digits, without trailing zeros, in
// plain notation from 0.001 to a million ("0.4707", "75.24", "149628") and
// in exponent form beyond ("1.25e-05").  Machine formats keep ShortestNumber.
std::string ReadableNumber(double value);

}  // namespace kelvane
