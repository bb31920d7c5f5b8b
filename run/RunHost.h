#pragma once
// The run driver's window on the outside world: the window, the headless
// runner and the tests each implement it.

#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "run/Plausibility.h"

namespace kelvane {

class RunHost : public EngineHost {
 public:
  // The application-wide busy (hourglass) cursor during the march.
  virtual void SetBusyCursor(bool /*busy*/) {}
  // The modal finish dialog ("Calculation is successfully finished !").
  virtual void ShowFinishDialog() = 0;
  // The application's general error report, for errors that leave the run:
  // arithmetic faults, a field text that is not a number, I/O errors.
  virtual void ShowErrorReport(const std::string& text) = 0;
  // The same report with its explanation; hosts that show only the report's
  // own text keep this default.
  virtual void ShowExplainedErrorReport(const std::string& text, const MessageDetail& /*detail*/) {
    ShowErrorReport(text);
  }
  // The accepted inputs look wrong (the plausibility check): true runs
  // anyway, false ends the run before anything is written.
  virtual bool RunDespite(const std::vector<PlausibilityWarning>& /*warnings*/) { return true; }
  // The result file `path` exists (as the run names it): true replaces it,
  // false ends the run before anything is written.
  virtual bool ReplaceResult(const std::string& /*path*/) { return true; }
  // A cancelled run has written a partial result over an existing file:
  // true keeps the partial result, false the earlier file.
  virtual bool KeepPartialResult() { return true; }
};

}  // namespace kelvane
