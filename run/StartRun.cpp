// The OK sequence: read the fields, write the input echo, march the coating
// zone after zone while appending each zone's conditions and results, and
// finish with the finish dialog.  A refused input writes nothing; a zone
// whose march fails ends the run after the engine's own message.
//
// The result file is staged: written under a temporary name beside it and
// moved over the final name when the run ends (finished, failed or
// cancelled), so an interrupted run never leaves a half-replaced file.

#include "run/StartRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "air/AirModel.h"
#include "engine/StepLocation.h"
#include "files/ResultFile.h"
#include "files/StagedFile.h"
#include "run/MessageExplanations.h"
#include "run/OutputDevice.h"
#include "run/Plausibility.h"
#include "run/ReadRunParameters.h"

namespace kelvane {

const char* const FileCannotOpenMessage = "File can not open!";
const char* const MarchedAgainNote =
    "The first robust march failed; the run was marched again from the entrance, off the plain path from its "
    "first step.";

namespace {

std::string IoErrorText(int code) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "I/O エラー (%d)", code);
  return buf;
}

// The engine's messages reach the host with their explanation: where the
// march stood and what to try.
// While held (the first march of a robust run, which may be marched again)
// they wait, and are shown or dropped once the zone's march has ended.
class ExplainingHost : public EngineHost {
 public:
  ExplainingHost(RunHost& host, const Calculation& calc, Audience reader)
      : host_(host), calc_(calc), reader_(reader) {}
  void ShowMessage(const std::string& text) override {
    ShowExplainedMessage(text, ExplainEngineMessage(text, CurrentStepLocation(calc_), calc_.Robust,
                                                    reader_ == Audience::Python));
  }
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override {
    if (hold_) held_.emplace_back(text, detail);
    else host_.ShowExplainedMessage(text, detail);
  }
  void Hold(bool on) { hold_ = on; }
  void Release() {
    hold_ = false;
    for (const auto& [text, detail] : held_) host_.ShowExplainedMessage(text, detail);
    held_.clear();
  }
  void Drop() {
    hold_ = false;
    held_.clear();
  }
  void Progress(int zone, int zoneCount, int step, int stepCount) override {
    host_.Progress(zone, zoneCount, step, stepCount);
  }
  bool CancelRequested() override { return host_.CancelRequested(); }

 private:
  RunHost& host_;
  const Calculation& calc_;
  Audience reader_;
  bool hold_ = false;
  std::vector<std::pair<std::string, MessageDetail>> held_;
};

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

// Counts the steps of zone `zone` that the robust solve took over, from
// entry `from` of the list on: those where the coating's solvent still
// changed, and those in a coating with nothing left to lose.  Rows
// 0..lastRow of the film state hold the zone.
void CountTakeovers(const Calculation& calc, int zone, int lastRow, std::size_t& from, TakeoverAccount& a) {
  const FilmState& s = calc.State;
  for (; from < calc.Rescued.size(); ++from) {
    const RescuedStep& r = calc.Rescued[from];
    if (r.Zone != zone) continue;
    if (!a.TookOver) {
      a.TookOver = true;
      a.Zone = zone;
      a.Position = static_cast<double>(static_cast<long double>(r.Step) * calc.Params().IncrementZ / 100.0L);
    }
    if (r.Step > lastRow || r.Step < 1) continue;
    if (s.SolRemain[r.Step] != s.SolRemain[r.Step - 1]) ++a.WhileDrying;
    else ++a.WhileDry;
  }
}

}  // namespace

RunReport StartRun(const FieldTexts& fields, RunHost& host, Calculation& calc, const RunOptions& options) {
  RunReport report;
  PrepareArithmetic();
  ExplainingHost explaining(host, calc, options.Reader);
  calc.SetHost(&explaining);
  // The calculation outlives this run; it must not keep the local host.
  struct HostBack {
    Calculation& c;
    RunHost& h;
    ~HostBack() { c.SetHost(&h); }
  } hostBack{calc, host};
  calc.LiteralTrials = options.LiteralTrials;
  calc.Robust = options.Robust;
  calc.SettleAfterTrials = options.Robust && options.SettleHardSteps ? ManyRunSettleTrials : 0;
  calc.OffPathFromStart = false;
  calc.DeferMessages = false;
  calc.Rescued.clear();
  calc.Stats = {};
  calc.Cancelled = false;
  calc.Step.Zone = 0;  // no step is being solved until the march begins
  calc.TransferOk = true;
  calc.ConvergenceOk = true;

  try {
    ReadRunParameters(fields, host, calc.Setup, options.DecimalSeparator);
  } catch (const FieldTextError& e) {
    host.ShowExplainedErrorReport(e.what(), ExplainNotARealNumber(fields.Text(e.Field), e.Field));
    report.Outcome = RunOutcome::GeneralError;
    return report;
  } catch (const kelvane::GeneralError& e) {
    host.ShowErrorReport(e.what());
    report.Outcome = RunOutcome::GeneralError;
    return report;
  }
  if (!calc.Setup.InputAccepted) return report;
  if (const auto warnings = CheckPlausibility(calc.Setup); !warnings.empty() && !host.RunDespite(warnings)) {
    report.Outcome = RunOutcome::Declined;
    return report;
  }
  if (StagedFile::RegularFileExists(calc.Setup.SaveFileName) && !host.ReplaceResult(calc.Setup.SaveFileName)) {
    report.Outcome = RunOutcome::Declined;
    return report;
  }

  const char sep = options.DecimalSeparator;
  StagedFile result(calc.Setup.SaveFileName);
  // Reports a failed write of the result file.  True when the run goes on.
  // Both messages gain the file and the system's reason (a name too long, a
  // missing folder, no permission, a full disk) on a second line.  After a
  // failed write the earlier file, if any, is kept whole; without one the
  // partial result takes the name, as an unstaged write leaves it.
  auto written = [&](const WriteResult& w) {
    const std::string reason = "\n" + result.FinalPath() + ": " + result.Describe(w.ErrorCode);
    switch (w.Status) {
      case WriteStatus::Ok: return true;
      case WriteStatus::OpenFailed: host.ShowMessage(FileCannotOpenMessage + reason); break;
      case WriteStatus::WriteFailed:
        host.ShowExplainedErrorReport(IoErrorText(w.ErrorCode) + reason,
                                      ExplainWriteFailure(w.ErrorCode, result.Existed() && result.Staged()));
        break;
    }
    if (result.Existed()) result.Discard();
    else result.Commit();
    return false;
  };

  // A result file that cannot be created ends the run before any work: a
  // calculation whose results go nowhere must not end in "finished".
  if (!result.Open()) {
    written({WriteStatus::OpenFailed, errno});
    report.Outcome = RunOutcome::FileError;
    return report;
  }
  DeviceBuffer buffer;
  if (calc.Robust && !result.Staged() && IsDeviceOrPipe(result.Path()) && !IsNullDevice(result.Path()))
    (void)buffer.Open();  // without one the device is written as the march goes
  auto out = [&]() -> const std::string& { return buffer.Active() ? buffer.Path() : result.Path(); };
  // A march that may start its output over: a staged or regular file, the
  // null device, or a device whose output is held until the end.
  const bool restartable = result.Staged() || StagedFile::RegularFileExists(result.Path()) ||
                           IsNullDevice(result.Path()) || buffer.Active();
  if (!written(WriteInputEcho(out(), calc.Setup, sep))) {
    report.Outcome = RunOutcome::FileError;
    return report;
  }

  bool busy = false;
  auto setBusy = [&](bool on) {
    if (busy != on) host.SetBusyCursor(on);
    busy = on;
  };
  // The run ends here: the result takes its name.  A cancelled run that
  // would replace an earlier file asks which one to keep.
  auto end = [&](RunOutcome outcome, int zone) {
    setBusy(false);
    report.Outcome = outcome;
    report.FailedZone = zone;
    if (outcome == RunOutcome::Cancelled && result.Existed() && result.Staged() && !host.KeepPartialResult()) {
      result.Discard();
    } else if (buffer.Active() && !buffer.CopyTo(result.Path())) {
      written({WriteStatus::WriteFailed, errno});
      report.Outcome = RunOutcome::FileError;
    } else if (!result.Commit()) {
      written({WriteStatus::WriteFailed, errno});
      report.Outcome = RunOutcome::FileError;
    }
    return report;
  };
  // A balanced zone leaves its gas in the parameters; every march from the
  // entrance starts from the given gas.
  calc.Balance = {};
  if (options.ZoneBalance) {
    const RunParameters& p = calc.Setup.Params;
    calc.Balance.On = true;
    for (int k = 1; k <= calc.Setup.ZoneCount; ++k) {
      calc.Balance.MakeUp1[k] = p.PartialPressure1[k];
      calc.Balance.MakeUp2[k] = p.PartialPressure2[k];
      const std::optional<double>& flow = options.ZoneBalance->ExhaustFlow[k];
      if (flow && *flow > 0 && options.ZoneBalance->WebWidth > 0 && p.WebSpeed > 0)
        calc.Balance.ExhaustPerArea[k] = ExhaustPerArea(*flow, p.WebSpeed, options.ZoneBalance->WebWidth);
    }
  }
  int marching = 0;  // the zone being marched
  std::size_t counted = 0;  // entries of calc.Rescued counted in report.Takeover
  try {
    for (bool again = true; again;) {
      again = false;
      if (calc.Balance.On)
        for (int k = 1; k <= calc.Setup.ZoneCount; ++k) {
          calc.Setup.Params.PartialPressure1[k] = calc.Balance.MakeUp1[k];
          calc.Setup.Params.PartialPressure2[k] = calc.Balance.MakeUp2[k];
        }
      InitializeFilmState(calc);
      setBusy(true);
      for (int k = 1; k <= calc.Setup.ZoneCount && !again; ++k) {
        calc.CurrentZone = k;
        if (calc.CurrentZone != 1 && !written(AppendZoneConditions(out(), calc.Setup, k, sep))) {
          setBusy(false);
          report.Outcome = RunOutcome::FileError;
          report.FailedZone = k;
          return report;
        }
        marching = k;
        explaining.Hold(calc.Robust && !calc.OffPathFromStart);
        MarchZoneBalanced(calc, calc.CurrentZone);
        ZoneMarched(calc, k, options, false);
        marching = 0;
        const bool failed = !calc.TransferOk || !calc.ConvergenceOk;
        CountTakeovers(calc, k, failed ? calc.State.LastStep - 1 : calc.State.LastStep, counted, report.Takeover);
        if (failed) {
          // A failed robust march is marched again from the entrance, off the
          // plain path from the first step; its file starts over (held in a
          // private file for a device or pipe; written in place where none
          // could be made, it keeps the first march).
          if (calc.Robust && !calc.OffPathFromStart && restartable) {
            explaining.Drop();
            // The second march is the run: where the first one left the
            // plain path stays, its counts go.
            TakeoverAccount& a = report.Takeover;
            if (!a.TookOver) {
              const StepLocation at = CurrentStepLocation(calc);
              a.TookOver = true;
              a.Zone = at.Zone;
              a.Position = at.Position;
            }
            a.MarchedAgain = true;
            a.WhileDrying = a.WhileDry = 0;
            counted = 0;
            calc.OffPathFromStart = true;
            calc.TransferOk = calc.ConvergenceOk = true;
            calc.Rescued.clear();
            if (!written(WriteInputEcho(out(), calc.Setup, sep))) {
              setBusy(false);
              report.Outcome = RunOutcome::FileError;
              report.ZonesWritten = 0;
              return report;
            }
            report.ZonesWritten = 0;
            again = true;
            continue;
          }
          // The held messages say why the march stopped.
          {
            const StepLocation at = CurrentStepLocation(calc);
            const int row = calc.State.LastStep - 1;
            const double left = row >= 0 ? calc.State.SolRemain[row] : 0.0;
            report.Cause = ExplainStop(calc.Params(), at, left, calc.Robust, options.Reader);
          }
          explaining.Release();
          return end(RunOutcome::EngineFailed, k);
        }
        explaining.Release();
        if (calc.Cancelled) {
          // The zones completed stay; the mark tells the file from one that
          // stopped on its own.
          if (!written(AppendCancelledMark(out()))) {
            setBusy(false);
            report.Outcome = RunOutcome::Cancelled;
            report.FailedZone = k;
            return report;
          }
          return end(RunOutcome::Cancelled, k);
        }
        if (!written(AppendZoneResults(out(), calc.Setup, calc.State, k, calc.Setup.ZoneStepCount[k], sep))) {
          setBusy(false);
          report.Outcome = RunOutcome::FileError;
          report.FailedZone = k;
          return report;
        }
        report.ZonesWritten = k;
        CarryOverToNextZone(calc);
      }
    }
  } catch (const ArithmeticFault& e) {
    explaining.Release();
    if (marching) ZoneMarched(calc, marching, options, true);
    // The general error report; the cursor is restored first so that the
    // window is usable again.
    setBusy(false);
    host.ShowExplainedErrorReport(e.what(), ExplainFault(e.Kind(), CurrentStepLocation(calc)));
    return end(RunOutcome::ArithmeticFault, calc.CurrentZone);
  }
  if (end(RunOutcome::Finished, 0).Outcome != RunOutcome::Finished) return report;
  if (options.Finishing) options.Finishing(report);
  host.ShowFinishDialog();
  return report;
}

}  // namespace kelvane
