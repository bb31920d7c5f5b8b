#include "study/StudyRun.h"

#include <memory>
#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>

namespace kelvane {

const char* RowOutcomeName(RowOutcome outcome) {
  switch (outcome) {
    case RowOutcome::Finished: return "finished";
    case RowOutcome::Failed: return "failed";
    case RowOutcome::Refused: return "refused";
    case RowOutcome::FileError: return "file error";
    case RowOutcome::Cancelled: return "cancelled";
    case RowOutcome::NotRun: return "not run";
  }
  return "";
}

namespace {

// The host of one row: it keeps the messages instead of showing them and
// passes on the study's cancel.
class RowHost : public RunHost {
 public:
  explicit RowHost(const std::atomic<bool>* cancel) : cancel_(cancel) {}
  void ShowMessage(const std::string& text) override { last_ = text, explanation_.clear(); }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    last_ = text, explanation_ = detail.Explanation;
  }
  void ShowFinishDialog() override {}
  void ShowErrorReport(const std::string& text) override { last_ = text, explanation_.clear(); }
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override {
    last_ = text, explanation_ = detail.Explanation;
  }
  bool CancelRequested() override { return cancel_ && cancel_->load(std::memory_order_relaxed); }
  const std::string& LastMessage() const { return last_; }
  const std::string& LastExplanation() const { return explanation_; }

 private:
  const std::atomic<bool>* cancel_;
  std::string last_;
  std::string explanation_;
};

RowOutcome OutcomeOf(RunOutcome o) {
  switch (o) {
    case RunOutcome::Finished: return RowOutcome::Finished;
    case RunOutcome::Refused:
    case RunOutcome::Declined:
    case RunOutcome::GeneralError: return RowOutcome::Refused;
    case RunOutcome::EngineFailed:
    case RunOutcome::ArithmeticFault: return RowOutcome::Failed;
    case RunOutcome::FileError: return RowOutcome::FileError;
    case RunOutcome::Cancelled: return RowOutcome::Cancelled;
  }
  return RowOutcome::Failed;
}

RowResult RunRowWith(Calculation& calc, const StudyDefinition& study, const StudyRow& row,
                     const StudyOptions& options, const std::atomic<bool>* cancel) {
  FieldTextMap fields = RowFields(study, row);
  std::string file = options.ResultFile ? options.ResultFile(row) : std::string();
  if (file.empty()) file = options.DiscardFile;
  fields.SetText("Edit250", file);

  // The calculation may come from an earlier row: nothing of it may show in
  // this row's columns.
  calc.CurrentZone = 0;
  calc.State.LastStep = 0;
  RowSummarizer summary;
  RowHost host(cancel);
  RunOptions run = RunOptionsFor(options);
  summary.Attach(run);
  RowResult r;
  r.Row = row;
  RunReport report;
  try {
    report = StartRun(fields, host, calc, run);
  } catch (const std::exception& e) {
    // Nothing but exhausted memory gets here; the row fails, the study goes on.
    r.Outcome = RowOutcome::Failed;
    r.Message = e.what();
    r.Summary.resize(SummaryColumns().size());
    return r;
  }
  r.Outcome = OutcomeOf(report.Outcome);
  r.FailedZone = report.FailedZone;
  r.RescuedSteps = static_cast<int>(calc.Rescued.size());
  if (r.Outcome != RowOutcome::Finished && r.Outcome != RowOutcome::Cancelled) {
    r.Message = host.LastMessage();
    r.Explanation = host.LastExplanation();
  }
  r.Summary = summary.Finish(calc, report);
  r.Details = summary.Details();
  return r;
}

}  // namespace

RunOptions RunOptionsFor(const StudyOptions& options) {
  RunOptions run;
  run.LiteralTrials = options.LiteralTrials;
  run.Robust = options.Robust;
  run.SettleHardSteps = !options.Identical;
  return run;
}

int StudyThreads(int jobs) {
  if (jobs > 0) return jobs;
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? static_cast<int>(n) : 1;
}

RowResult RunRow(const StudyDefinition& study, const StudyRow& row, const StudyOptions& options,
                 const std::atomic<bool>* cancel) {
  auto calc = std::make_unique<Calculation>();
  return RunRowWith(*calc, study, row, options, cancel);
}

std::vector<RowResult> RunStudy(const StudyDefinition& study, const std::vector<StudyRow>& rows,
                                const StudyOptions& options, StudyControl& control) {
  std::vector<RowResult> results(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    results[i].Row = rows[i];
    results[i].Summary.resize(SummaryColumns().size());
  }
  std::atomic<std::size_t> next{0};
  std::size_t done = 0;
  std::mutex mutex;
  auto worker = [&] {
    // One calculation per thread, reused from row to row: its tables are
    // sized once.
    auto calc = std::make_unique<Calculation>();
    for (;;) {
      if (control.Cancel.load()) return;
      const std::size_t i = next.fetch_add(1);
      if (i >= rows.size()) return;
      RowResult r = RunRowWith(*calc, study, rows[i], options, &control.Cancel);
      std::lock_guard<std::mutex> lock(mutex);
      results[i] = std::move(r);
      ++done;
      if (control.RowDone) control.RowDone(results[i], done, rows.size());
    }
  };
  const int threads = std::min<int>(StudyThreads(options.Jobs), static_cast<int>(std::max<std::size_t>(rows.size(), 1)));
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  return results;
}

}  // namespace kelvane
