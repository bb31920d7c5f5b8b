#pragma once
// The outcome columns of one study row: what a run's summary says about the
// coating at the exit and on the way there.  Every column is a number or
// empty (a run that stopped before any step has no film temperature).

#include <optional>
#include <string>
#include <vector>

#include "run/StartRun.h"

namespace kelvane {

struct SummaryColumn {
  const char* Name;  // CSV header and JSON key: "final_residual_percent"
  const char* Unit;  // "%", "degC", ...
};

// The columns, in table order.
const std::vector<SummaryColumn>& SummaryColumns();

using SummaryValues = std::vector<std::optional<double>>;  // aligned with SummaryColumns()

// Index of a column by name; -1 when there is none.
int SummaryColumnIndex(const std::string& name);

// Follows one run and gives its summary columns.  Attach it before StartRun
// (it watches the zones as they are marched); Finish after.
class RowSummarizer {
 public:
  void Attach(RunOptions& options);
  // Called by the row's host as the march reports progress.
  void Progress(const Calculation& calc, int zone, int step);
  SummaryValues Finish(const Calculation& calc, const RunReport& report);

 private:
  void Margin(const Calculation& calc, int row);
  int zone_ = 0, seen_ = 0;
  std::optional<double> maxTemp_, margin_;
};

}  // namespace kelvane
