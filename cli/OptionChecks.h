#pragma once
// Checks of option values that CLI11's own would word badly (a bound of 309
// digits) or that only make sense for this program: each refusal names the
// option and the values it takes, as a person writes them.

#include <CLI/CLI.hpp>
#include <string>

#include "study/StudyDefinition.h"

namespace kelvane {

// A number of at least `low` (and, with `whole`, without a fraction);
// `meaning` is the rest of the sentence: "(0: all cores)".
CLI::Validator AtLeast(double low, bool whole, const std::string& meaning = "");
// A finite number (not NaN, not an infinity).
CLI::Validator Finite(const std::string& meaning = "");
// A number above `low`.
CLI::Validator Above(double low, const std::string& meaning = "");

// False after a message when a value of a --vary is not a number: such a
// study would only run rows that are refused.
bool VariedValuesAreNumbers(const std::string& command, const StudyDefinition& study);

}  // namespace kelvane
