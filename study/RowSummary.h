#pragma once
// The outcome columns of one study row, from the run summary: the solvent
// left at the exit, the hottest film, how close the coating came to boiling,
// the warnings and the heat.  Every column is a number or empty (a refused
// run has none).

#include <optional>
#include <string>
#include <vector>

#include "run/StartRun.h"
#include "summary/RunSummary.h"
#include "summary/RunTrace.h"

namespace kelvane {

struct SummaryColumn {
  const char* Name;  // CSV header and JSON key: "final_residual_percent"
  const char* Unit;  // "%", "degC", ...
  const char* Caption;  // for people, with the unit: "Solvent left at exit (%)"
};

// The columns, in table order.
const std::vector<SummaryColumn>& SummaryColumns();

using SummaryValues = std::vector<std::optional<double>>;  // aligned with SummaryColumns()

// Index of a column by name; -1 when there is none.
int SummaryColumnIndex(const std::string& name);

// Follows one run and gives its summary columns.  Attach it to the run's
// options before StartRun (it records the zones as they are marched);
// Finish after.
class RowSummarizer {
 public:
  void Attach(RunOptions& options);
  SummaryValues Finish(const Calculation& calc, const RunReport& report);
  // The whole summary behind the columns (no zones unless the run finished).
  const RunSummary& Details() const { return details_; }

 private:
  TraceRecorder recorder_;
  RunSummary details_;
};

}  // namespace kelvane
