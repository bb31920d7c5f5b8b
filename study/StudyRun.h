#pragma once
// Runs the rows of a study on threads, one calculation per thread, each row
// exactly the run the OK button makes of the same field texts.  The rows'
// results come back in row order whatever the timing; a cancel stops the
// runs in progress after their current step and starts no more.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "run/StartRun.h"
#include "study/RowSummary.h"
#include "study/StudyDefinition.h"

namespace kelvane {

enum class RowOutcome {
  Finished,   // every zone marched
  Failed,     // the march stopped: the engine's message, or an arithmetic fault
  Refused,    // the input checks refused the row's inputs
  FileError,  // the row's result file could not be written
  Cancelled,  // stopped in the middle by a cancel
  NotRun,     // never started (the study was cancelled first)
};

// "finished", "failed", "refused", "file error", "cancelled", "not run".
const char* RowOutcomeName(RowOutcome outcome);

struct RowResult {
  StudyRow Row;
  RowOutcome Outcome = RowOutcome::NotRun;
  std::string Message;   // the message that ended the run (empty when finished)
  std::string Explanation;  // that message explained in English, where the run explained it
  int FailedZone = 0;    // zone in which the run stopped, 0 if none
  int RescuedSteps = 0;  // steps the robust surface solve took over
  SummaryValues Summary; // aligned with SummaryColumns()
  RunSummary Details;    // the run summary behind them (zones and warnings of a finished run)
  // The same settings run at slower webs, where a search asks that the
  // targets hold as the line slows (a design's operating window).
  std::vector<RowResult> Slower;
};

struct StudyOptions {
  int Jobs = 0;                // threads; 0: one per core
  bool Robust = true;          // the robust surface solve in every run (false: the plain march)
  // With Robust: the byte-identical robust mode of single runs; without it
  // hard steps are settled early (RunOptions::SettleHardSteps).
  bool Identical = false;
  bool LiteralTrials = false;  // the engine's reference path
  // Result file of a row; empty: the file goes to DiscardFile.
  std::function<std::string(const StudyRow&)> ResultFile;
  std::string DiscardFile = "/dev/null";
};

// Cancel and progress of a running study.  The callbacks are called on the
// worker threads, one at a time.
struct StudyControl {
  std::atomic<bool> Cancel{false};
  // A row is done: `done` rows of `total` are.
  std::function<void(const RowResult& row, std::size_t done, std::size_t total)> RowDone;
};

// Runs `rows` of `study`; the result has one entry per row, in the given
// order.  Rows never started because of a cancel are NotRun.
std::vector<RowResult> RunStudy(const StudyDefinition& study, const std::vector<StudyRow>& rows,
                                const StudyOptions& options, StudyControl& control);

// The options of one run a study, search or design makes.
RunOptions RunOptionsFor(const StudyOptions& options);

// One row on the calling thread, with its own calculation.
RowResult RunRow(const StudyDefinition& study, const StudyRow& row, const StudyOptions& options,
                 const std::atomic<bool>* cancel = nullptr);

// Threads for `jobs` (0: the number of cores, at least 1).
int StudyThreads(int jobs);

}  // namespace kelvane
