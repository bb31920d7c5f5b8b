#pragma once
// The run's host on a terminal: messages to standard error, one line each,
// and a progress bar when standard error is a terminal.

#include <chrono>
#include <functional>
#include <string>

#include "run/RunHost.h"

namespace kelvane {

class ConsoleHost : public RunHost {
 public:
  explicit ConsoleHost(bool showProgress);
  void ShowMessage(const std::string& text) override;
  void Progress(int zone, int zoneCount, int step, int stepCount) override;
  void ShowFinishDialog() override;
  void ShowErrorReport(const std::string& text) override;
  // SIGINT or SIGTERM arrived (the runner's Cancel).
  bool CancelRequested() override;
  // The message, then its explanation on a line of its own.
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override;
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override;
  // Prints the warnings; with Strict set the run does not start.
  bool RunDespite(const std::vector<PlausibilityWarning>& warnings) override;
  bool Strict = false;
  int Messages() const { return messages_; }
  std::function<void()> BeforeFinish;  // runs just before the finish text

 private:
  void ClearBar();
  bool showProgress_;
  bool barShown_ = false;
  int messages_ = 0;
};

}  // namespace kelvane
