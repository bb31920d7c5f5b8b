#pragma once
// The calculation run: what the OK button does, from reading the fields to
// the finish dialog.

#include <array>
#include <functional>
#include <optional>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/RunHost.h"
#include "run/StopCause.h"

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

struct RunReport;

struct RunOptions {
  char DecimalSeparator = '.';
  bool LiteralTrials = false;  // reference path of the engine (tests, benchmarks)
  // Rescue steps whose secant search fails (the default for every caller);
  // false marches as the seed's plain search alone.
  bool Robust = true;
  // Who reads the run's explanations: the actions they name are its own.
  Audience Reader = Audience::Runner;
  // With Robust, for features that run many calculations: a step whose
  // secant search is slow to balance is settled early by the robust solve
  // (Calculation::SettleAfterTrials).  The results agree with the
  // byte-identical robust mode within its balance test, not in every byte.
  bool SettleHardSteps = false;
  // Called after each zone's march, before its results are written and the
  // next zone starts from its exit: rows 0..lastRow of the film state hold
  // the zone; `complete` is false when the march stopped inside it.
  std::function<void(const Calculation& calc, int zone, int lastRow, bool complete)> ZoneMarched;
  // Called with the finished run's report just before the finish dialog.
  std::function<void(const RunReport& report)> Finishing;
  // Zones whose gas carries what the coating gave off: each zone's exhaust,
  // m^3/h at its gas temperature for a web WebWidth m wide (1-based; zones
  // without a flow keep their given gas).  None: every zone's given gas.
  struct ZoneBalanceFlows {
    std::array<std::optional<double>, MaxZones + 1> ExhaustFlow{};
    double WebWidth = 0;
  };
  std::optional<ZoneBalanceFlows> ZoneBalance;
};

struct RunReport {
  RunOutcome Outcome = RunOutcome::Refused;
  int ZonesWritten = 0;  // zones whose results are in the file
  int FailedZone = 0;    // zone in which the march stopped, 0 if none
  // A march that failed: why, in the model's terms, with what helps.
  StopCause Cause;
  // How the robust surface solve figured in the run.
  TakeoverAccount Takeover;
};

extern const char* const FileCannotOpenMessage;  // "File can not open!"
// Said after a robust run that was marched again (Stats.Marches == 2).
extern const char* const MarchedAgainNote;

RunReport StartRun(const FieldTexts& fields, RunHost& host, Calculation& calc, const RunOptions& options = {});

}  // namespace kelvane
