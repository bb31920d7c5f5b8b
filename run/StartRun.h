#pragma once
// The calculation run: what the OK button does, from reading the fields to
// the finish dialog.

#include <functional>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/RunHost.h"

namespace kelvane {

enum class RunOutcome {
  Refused,          // the input was refused; nothing written
  Declined,         // the inputs look wrong and the host chose not to run; nothing written
  Finished,         // every zone marched; finish dialog shown
  EngineFailed,     // a zone ended on TransferOk / ConvergenceOk
  ArithmeticFault,  // an unguarded fault (general error report shown)
  FileError,        // the result file could not be created or written
  Cancelled,        // the host asked to stop
  GeneralError,     // another error of the general error report (bad zone text)
};

struct RunOptions {
  char DecimalSeparator = '.';
  bool LiteralTrials = false;  // reference path of the engine (tests, benchmarks)
  bool Robust = false;         // rescue steps whose secant search fails
  // Called after each zone's march, before its results are written and the
  // next zone starts from its exit: rows 0..lastRow of the film state hold
  // the zone; `complete` is false when the march stopped inside it.
  std::function<void(const Calculation& calc, int zone, int lastRow, bool complete)> ZoneMarched;
};

struct RunReport {
  RunOutcome Outcome = RunOutcome::Refused;
  int ZonesWritten = 0;  // zones whose results are in the file
  int FailedZone = 0;    // zone in which the march stopped, 0 if none
};

extern const char* const FileCannotOpenMessage;  // "File can not open!"
// Said after a robust run that was marched again (Stats.Marches == 2).
extern const char* const MarchedAgainNote;

RunReport StartRun(const FieldTexts& fields, RunHost& host, Calculation& calc, const RunOptions& options = {});

}  // namespace kelvane
