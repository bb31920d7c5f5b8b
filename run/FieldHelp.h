#pragma once
// Texts about a field for people: its range, its tooltip, and how messages
// name it in the window and in the runner.  All from the field table.

#include <string>

#include "fields/FieldTable.h"

namespace kelvane {

// A number as people write it: "0.0009228", "1e+20", "-50".
std::string ShortNumber(double v);
// "0.0005 to 0.05 cm", "above 0 m/s", "0 and above mmHg"; empty when the
// range is unbounded.
std::string RangeText(const ValueRange& r, const std::string& unit);
// The window's tooltip: what the field means, its unit and typical range,
// and its names for kelvane-run.
std::string FieldTooltip(const FieldSpec& f);
// "\"Outer Temperature (℃)\" of Zone 3 on the page \"Zone Cond. (2)\"".
std::string FieldInWindow(const FieldSpec& f);
// "Edit31 (OuterTemperature[3], \"Outer Temperature (℃)\")".
std::string FieldForRunner(const FieldSpec& f);

}  // namespace kelvane
