#pragma once
// The run host shared by the tests that go through the run driver: it records
// everything the run shows, in order, can ask for a cancel at a zone and step,
// and notes what the result file held when each zone's march first reported
// progress (the run writes a temporary file; the final name keeps what it
// held before).

#include <filesystem>
#include <string>
#include <vector>

#include "run/RunHost.h"
#include "tests/files_test_support.h"

namespace kelvane::runtest {

inline const char* const kFinished = "finish dialog";

// The run's temporary result beside `resultPath` (".kelvane-PID-N"), empty
// when there is none.
inline std::string StagedPath(const std::string& resultPath) {
  const std::filesystem::path final(resultPath);
  const std::string prefix = ".kelvane-";
  for (const auto& e : std::filesystem::directory_iterator(final.parent_path()))
    if (e.path().filename().string().rfind(prefix, 0) == 0) return e.path().string();
  return {};
}

class RecordingRunHost : public RunHost {
 public:
  explicit RecordingRunHost(std::string resultPath = {}) : resultPath_(std::move(resultPath)) {}

  void ShowMessage(const std::string& text) override {
    events.push_back("message: " + text);
    messages.push_back(text);
    last = text;
  }
  void SetBusyCursor(bool on) override {
    events.push_back(on ? "cursor: busy" : "cursor: default");
    busy = on;
  }
  void ShowFinishDialog() override {
    events.push_back(kFinished);
    ++finishDialogs;
    busyAtFinish = busy;
  }
  void ShowErrorReport(const std::string& text) override {
    events.push_back("report: " + text);
    reports.push_back(text);
    last = text;
    busyAtReport = busy;
  }
  void Progress(int zone, int, int step, int) override {
    if (!busy) idleProgress = true;
    lastProgressStep = step;
    if (zone > lastProgressZone) {
      lastProgressZone = zone;
      const std::string staged = resultPath_.empty() ? std::string() : StagedPath(resultPath_);
      fileAtZoneStart.push_back(staged.empty() ? std::string() : filetest::ReadBytes(staged));
      finalExistedDuringRun = finalExistedDuringRun || std::filesystem::exists(resultPath_);
    }
  }
  // Once the march has reported cancelAtStep (or later) of zone cancelInZone.
  bool CancelRequested() override {
    return cancelInZone > 0 && (lastProgressZone > cancelInZone ||
                                (lastProgressZone == cancelInZone && lastProgressStep >= cancelAtStep));
  }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    details.push_back(detail);
    ShowMessage(text);
  }
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override {
    details.push_back(detail);
    ShowErrorReport(text);
  }
  bool KeepPartialResult() override {
    ++keepQuestions;
    return keepPartial;
  }
  // Every message and report, one a line, for failure output.
  std::string Shown() const {
    std::string all;
    for (const std::string& e : events)
      if (e.rfind("cursor: ", 0) != 0) all += e + "\n";
    return all;
  }

  std::vector<std::string> events, messages, reports;
  std::string last;                          // the last message or report
  std::vector<std::string> fileAtZoneStart;  // index zone - 1
  int finishDialogs = 0;
  int lastProgressZone = 0, lastProgressStep = 0;
  int cancelInZone = 0, cancelAtStep = 0;
  bool busy = false, busyAtFinish = false, busyAtReport = false, idleProgress = false;
  bool finalExistedDuringRun = false;
  bool keepPartial = true;
  int keepQuestions = 0;
  std::vector<MessageDetail> details;  // of explained messages and reports, in order

 private:
  std::string resultPath_;
};

}  // namespace kelvane::runtest
