#pragma once
// What kelvane-run optimize and design share: bounds written LOWER:UPPER,
// the table of every run made, and the best run's summary lines.

#include <string>
#include <vector>

#include "study/StudyRun.h"

namespace kelvane {

struct Bounds {
  std::string Lower, Upper;
  double Lo = 0, Hi = 0;
};

// "0.1:5" as bounds; throws std::invalid_argument naming `what`.
Bounds ParseBounds(const std::string& text, const std::string& what);

// Writes the CSV table of the runs; false after a message on standard error.
bool WriteEvaluations(const std::string& path, const StudyDefinition& study, const std::vector<RowResult>& rows);

// The run's summary columns as NAME=value lines for people (4 significant digits).
void PrintSummary(const RowResult& r);

}  // namespace kelvane
