// The OK sequence: read the fields, write the input echo, march the coating
// zone after zone while appending each zone's conditions and results, and
// finish with the finish dialog.  A refused input writes nothing; a zone
// whose march fails ends the run after the engine's own message.

#include "run/StartRun.h"

#include <cstdio>
#include <cstring>

#include "files/ResultFile.h"
#include "run/ReadRunParameters.h"

namespace kelvane {

const char* const FileCannotOpenMessage = "File can not open!";

namespace {

std::string IoErrorText(int code) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "I/O エラー (%d)", code);
  return buf;
}

// Reports a failed write of the result file.  True when the run goes on.
// Both messages gain the file and the system's reason (a name too long, a
// missing folder, no permission, a full disk) on a second line.
bool WriteSucceeded(const WriteResult& w, const std::string& path, RunHost& host) {
  const auto reason = [&] { return "\n" + path + ": " + std::strerror(w.ErrorCode); };
  switch (w.Status) {
    case WriteStatus::Ok: return true;
    case WriteStatus::OpenFailed: host.ShowMessage(FileCannotOpenMessage + reason()); return false;
    case WriteStatus::WriteFailed: host.ShowErrorReport(IoErrorText(w.ErrorCode) + reason()); return false;
  }
  return false;
}

// Tells the observer how far the zone's rows are complete: a failed step
// (flag cleared or fault) leaves its row unwritten, a cancel stops after a
// complete step.
void ZoneMarched(const Calculation& calc, int zone, const RunOptions& options, bool faulted) {
  if (!options.ZoneMarched) return;
  const int n = calc.Setup.ZoneStepCount[zone];
  if (n <= 0) return options.ZoneMarched(calc, zone, 0, true);
  const bool failed = faulted || !calc.TransferOk || !calc.ConvergenceOk;
  const int last = failed ? calc.State.LastStep - 1 : calc.State.LastStep;
  options.ZoneMarched(calc, zone, last, !failed && !calc.Cancelled && last == n);
}

}  // namespace

RunReport StartRun(const FieldTexts& fields, RunHost& host, Calculation& calc, const RunOptions& options) {
  RunReport report;
  PrepareArithmetic();
  calc.SetHost(&host);
  calc.LiteralTrials = options.LiteralTrials;
  calc.Robust = options.Robust;
  calc.DeferMessages = false;
  calc.Rescued.clear();
  calc.Stats = {};
  calc.Cancelled = false;
  calc.TransferOk = true;
  calc.ConvergenceOk = true;

  try {
    ReadRunParameters(fields, host, calc.Setup, options.DecimalSeparator);
  } catch (const kelvane::GeneralError& e) {
    host.ShowErrorReport(e.what());
    report.Outcome = RunOutcome::GeneralError;
    return report;
  }
  if (!calc.Setup.InputAccepted) return report;

  const char sep = options.DecimalSeparator;
  // A result file that cannot be created ends the run before any work: a
  // calculation whose results go nowhere must not end in "finished".
  if (!WriteSucceeded(WriteInputEcho(calc.Setup, sep), calc.Setup.SaveFileName, host)) {
    report.Outcome = RunOutcome::FileError;
    return report;
  }

  bool busy = false;
  auto setBusy = [&](bool on) {
    if (busy != on) host.SetBusyCursor(on);
    busy = on;
  };
  int marching = 0;  // the zone being marched
  try {
    InitializeFilmState(calc);
    setBusy(true);
    for (int k = 1; k <= calc.Setup.ZoneCount; ++k) {
      calc.CurrentZone = k;
      if (calc.CurrentZone != 1 &&
          !WriteSucceeded(AppendZoneConditions(calc.Setup, k, sep), calc.Setup.SaveFileName, host)) {
        setBusy(false);
        report.Outcome = RunOutcome::FileError;
        report.FailedZone = k;
        return report;
      }
      marching = k;
      MarchZone(calc, calc.CurrentZone);
      ZoneMarched(calc, k, options, false);
      marching = 0;
      if (!calc.TransferOk || !calc.ConvergenceOk) {
        setBusy(false);
        report.Outcome = RunOutcome::EngineFailed;
        report.FailedZone = k;
        return report;
      }
      if (calc.Cancelled) {
        // The zones completed stay; the mark tells the file from one that
        // stopped on its own.
        WriteSucceeded(AppendCancelledMark(calc.Setup), calc.Setup.SaveFileName, host);
        setBusy(false);
        report.Outcome = RunOutcome::Cancelled;
        report.FailedZone = k;
        return report;
      }
      if (!WriteSucceeded(AppendZoneResults(calc.Setup, calc.State, k, calc.Setup.ZoneStepCount[k], sep),
                          calc.Setup.SaveFileName, host)) {
        setBusy(false);
        report.Outcome = RunOutcome::FileError;
        report.FailedZone = k;
        return report;
      }
      report.ZonesWritten = k;
      CarryOverToNextZone(calc);
    }
  } catch (const ArithmeticFault& e) {
    if (marching) ZoneMarched(calc, marching, options, true);
    // The general error report; the cursor is restored first so that the
    // window is usable again.
    setBusy(false);
    host.ShowErrorReport(e.what());
    report.Outcome = RunOutcome::ArithmeticFault;
    report.FailedZone = calc.CurrentZone;
    return report;
  }
  setBusy(false);
  host.ShowFinishDialog();
  report.Outcome = RunOutcome::Finished;
  return report;
}

}  // namespace kelvane
