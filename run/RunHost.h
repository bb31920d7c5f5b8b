#pragma once
// The run driver's window on the outside world: the window, the headless
// runner and the tests each implement it.

#include <string>

#include "engine/EngineHost.h"

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
  // A cancelled run has written a partial result over an existing file:
  // true keeps the partial result, false the earlier file.
  virtual bool KeepPartialResult() { return true; }
};

}  // namespace kelvane
