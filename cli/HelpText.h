#pragma once
// The texts of kelvane-run --help: the commands, the fields as the
// window's pages hold them, and the nearest option to a misspelt one.  The
// man page is made from the same --help.

#include <CLI/CLI.hpp>
#include <string>

namespace kelvane {

// "Commands:" and one line for each of run, study, optimize and design.
std::string CommandsText();

// Every field with its caption, unit, default, typical and plausible range
// and allowed values, page by page and group by group; zones 2 to 14 once,
// as a pattern.
std::string FieldListText();

// After a parse error: when an argument names an option `app` does not
// have, prints "kelvane-run: unknown option --summry-json (did you mean
// --summary-json?)" for it and returns true; false leaves the error to CLI11.
bool ReportUnknownOption(const CLI::App& app, int argc, const char* const* argv, const std::string& program);

}  // namespace kelvane
