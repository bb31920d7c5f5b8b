#pragma once
// The run summary as text: JSON and CSV for tools, a compact table for a
// terminal, and the one line of outcome for the window.  Plain functions
// returning strings; writing them anywhere is the caller's business.

#include <string>

#include "summary/RunSummary.h"

namespace kelvane {

// {"run": {...}, "zones": [...], "warnings": [...], "settings": {...}}
std::string SummaryJson(const RunSummary& s);
// One row per zone and a last row "total"; the warnings are in the JSON.
std::string SummaryCsv(const RunSummary& s);
// The zone table and the warnings, for a terminal.
std::string SummaryTable(const RunSummary& s);
// A run that did not finish, before any figure: where it stopped, the
// message and the cause, one line each, ending "The figures below end
// there; ...".  Empty for a finished (or refused) run.
std::string StopAccount(const RunSummary& s);
// The dryer's air per zone, for a terminal.
std::string AirTable(const RunSummary& s);
// "Finished: 6.6 % of the solvent left at the exit (no residual target set) · no warnings",
// "Dry: 0.42 % of the solvent left at the exit, within the target of 1 % · 1 warning — see Results",
// "Not dry: ... above the target of ...", "Stopped in zone 2 at 6.00 m with ...".
std::string OutcomeLine(const RunSummary& s);
// "finished", "failed", "cancelled", "stopped", "refused"
const char* OutcomeName(RunEndKind kind);

}  // namespace kelvane
