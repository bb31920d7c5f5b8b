#pragma once
// What the Fastest line speed dialog's table and chart read from a run: a
// summary column's value, a value text of the search as a number, and the
// grey of the runs that gave no result.

#include <QColor>
#include <optional>
#include <string>

#include "study/StudyRun.h"

namespace kelvane::ui {

std::optional<double> SummaryColumnOf(const RowResult& row, const char* name);
// A value text of the search, read whatever the process locale.
double SearchValue(const std::string& text);
const QColor& FailedColour();

}  // namespace kelvane::ui
