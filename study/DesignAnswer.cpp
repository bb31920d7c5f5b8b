#include "study/DesignAnswer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "engine/MiscCalc.h"
#include "run/StartRun.h"
#include "study/DesignEnergy.h"
#include "study/BoundarySearch.h"
#include "study/DesignAccount.h"
#include "study/StudyTable.h"

namespace kelvane {

namespace {

double Number(const std::string& t) { return std::strtod(t.c_str(), nullptr); }

bool IsGasTemperature(const SearchedField& f) { return f.Field.Field && f.Field.Field->Index == 1 && f.Field.Field->Zone > 0; }

// The host of the traced run: the messages are kept, never shown; the
// design's cancel stops it.
class QuietHost : public RunHost {
 public:
  explicit QuietHost(const std::atomic<bool>* cancel) : cancel_(cancel) {}
  void ShowMessage(const std::string&) override {}
  void ShowFinishDialog() override {}
  void ShowErrorReport(const std::string&) override {}
  bool CancelRequested() override { return cancel_ && cancel_->load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>* cancel_;
};

}  // namespace

std::vector<FieldSetting> DesignSettings(const DesignProblem& p, const DesignResult& r) {
  std::vector<FieldSetting> out;
  if (!r.Found || r.Best.size() != p.Fields.size()) return out;
  for (std::size_t i = 0; i < p.Fields.size(); ++i) out.push_back({p.Fields[i].Field.Field->Component, r.Best[i]});
  out.push_back({FindField("WebSpeed")->Component, r.Speed});
  return out;
}

void ApplySettings(const std::vector<FieldSetting>& settings, FieldTexts& fields) {
  for (const FieldSetting& s : settings) fields.SetText(s.Component, s.Text);
}

std::vector<ZoneGas> GasSchedule(const DesignProblem& p, const DesignResult& r, const FieldTexts& base) {
  std::vector<ZoneGas> out;
  if (!r.Found || r.Best.size() != p.Fields.size()) return out;
  for (std::size_t i = 0; i < p.Fields.size(); ++i) {
    const SearchedField& f = p.Fields[i];
    if (!IsGasTemperature(f)) continue;
    out.push_back({f.Field.Field->Zone, Number(base.Text(f.Field.Field->Component)), Number(r.Best[i])});
  }
  return out;
}

bool DesignFeasible(const DesignProblem& p, const RowResult& r, std::string* why) {
  // The targets first: a run that did not finish has no heat to compare.
  if (!MeetsTargets(r, p.Goal, why)) return false;
  // With an operating window the targets hold at its slowest speed too, and
  // with a gas tolerance with the gas warmer and cooler.
  if (p.Robustness()) {
    if (r.Slower.empty()) {
      if (why) *why = "not run at the slower speeds of the operating window or with the gas shifted";
      return false;
    }
    for (const RowResult& slow : r.Slower)
      if (!MeetsTargets(slow, p.Goal, why)) {
        if (why) *why += " at " + ReadableNumber(Number(slow.Row.Values.back())) + " m/s";
        return false;
      }
  }
  if (p.MaxHeat && !(DesignEnergy(p, r) <= *p.MaxHeat)) {
    if (why) *why = "energy " + ReadableNumber(DesignEnergy(p, r)) + " kJ/m2 > " + ReadableNumber(*p.MaxHeat) + " kJ/m2";
    return false;
  }
  if (!p.NonDecreasing) return true;
  const SearchedField* before = nullptr;
  double last = 0;
  for (std::size_t i = 0; i < p.Fields.size() && i < r.Row.Values.size(); ++i) {
    if (!IsGasTemperature(p.Fields[i])) continue;
    const double t = Number(r.Row.Values[i]);
    if (before && t < last) {
      if (why)
        *why = "the gas cools from zone " + std::to_string(before->Field.Field->Zone) + " to zone " +
               std::to_string(p.Fields[i].Field.Field->Zone);
      return false;
    }
    before = &p.Fields[i];
    last = t;
  }
  return true;
}

std::string DesignHeadline(const DesignResult& r) {
  if (r.Cancelled) return "Cancelled: no design";
  if (!r.Found) return "No schedule in the bounds meets the targets";
  const std::string speed = ReadableNumber(Number(r.Speed)) + " m/s";
  // A bound, not the coating, sets the answer: no praise, the way on instead.
  if (!r.SetByBounds.empty()) return "Fastest line speed within the bounds: " + speed + ", set by a bound: " + r.SetByBounds;
  std::string s = "Fastest line speed: " + speed;
  if (r.UniformFound && Number(r.UniformSpeed) > 0) {
    const double gain = 100 * (Number(r.Speed) / Number(r.UniformSpeed) - 1);
    s += ", " + std::string(gain >= 0 ? "+" : "") + ReadableNumber(gain) + " % over the best uniform schedule";
  }
  // The targets it rests on, each named once.
  std::vector<std::string> names;
  for (const std::string& a : r.Active) {
    const char* name = a.rfind("the solvent left", 0) == 0       ? "the residual"
                       : a.rfind("the film temperature", 0) == 0 ? "the film temperature"
                       : a.rfind("the boiling margin", 0) == 0   ? "boiling"
                       : a.rfind("skinning", 0) == 0             ? "skinning"
                                                                 : "the energy cap";
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  for (std::size_t i = 0; i < names.size(); ++i)
    s += (i == 0 ? "; held by " : i + 1 == names.size() ? " and " : ", ") + names[i];
  if (!r.WindowHolds) s += "; the operating window FAILED";
  return s;
}

std::size_t ExpectedDesignRuns(const DesignProblem& p, int threads) {
  BoundarySearch speed;
  speed.Field = ParseVaried("WebSpeed=0");
  speed.Lower = ShortestNumber(p.SpeedLower);
  speed.Upper = ShortestNumber(p.SpeedUpper);
  speed.Tolerance = (p.SpeedUpper - p.SpeedLower) / 500;
  speed.Maximize = true;
  // Five uniform temperatures and the two beside the best; the box sample
  // at a coarser tolerance; up to four starts' allowance; the repair; each
  // field moved either way with its own short search; the window's grid and
  // the slowest speed.
  BoundarySearch coarse = speed;
  coarse.Tolerance = (p.SpeedUpper - p.SpeedLower) / 100;
  const std::size_t samples = p.Samples >= 0 ? static_cast<std::size_t>(p.Samples)
                                             : std::min<std::size_t>(4 + 2 * p.Fields.size(), 12) + 5;
  const std::size_t window = p.Slowest < 1 ? static_cast<std::size_t>((1 - p.Slowest) * 100) : 0;
  return 7 * ExpectedRuns(speed, threads) + samples * ExpectedRuns(coarse, threads) +
         4 * static_cast<std::size_t>(p.MaxEvaluations) + 4 * 10 + 2 * p.Fields.size() * 6 + window + 12;
}

RunTrace TraceDesign(const StudyDefinition& base, const DesignProblem& p, const DesignResult& r,
                     const StudyOptions& options, const std::atomic<bool>* cancel) {
  RunTrace none;
  const std::vector<FieldSetting> settings = DesignSettings(p, r);
  if (settings.empty()) return none;
  FieldTextMap fields = base.Base;
  ApplySettings(settings, fields);
  fields.SetText("Edit250", options.DiscardFile);
  TraceRecorder recorder;
  RunOptions run = RunOptionsFor(options);
  run.ZoneMarched = [&recorder](const Calculation& calc, int zone, int lastRow, bool complete) {
    recorder.Zone(calc, zone, lastRow, complete);
  };
  auto calc = std::make_unique<Calculation>();
  QuietHost host(cancel);
  RunReport report;
  try {
    report = StartRun(fields, host, *calc, run);
  } catch (const std::exception&) {
    return none;  // exhausted memory: no curves, the design stands
  }
  if (report.Outcome != RunOutcome::Finished) return none;
  RunTrace trace = recorder.Trace();
  trace.End = RunEndOf(report, *calc);
  return trace;
}

}  // namespace kelvane
