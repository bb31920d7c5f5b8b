#include "summary/RunTrace.h"

#include <algorithm>

#include "engine/MiscCalc.h"
#include "files/CodePage932.h"
#include "files/ResultFileReader.h"
#include "fields/FieldTable.h"
#include "run/ReadRunParameters.h"
#include "run/StartRun.h"

namespace kelvane {

void TraceRecorder::Start(const Calculation& calc) {
  trace_ = {};
  trace_.Params = calc.Params();
  trace_.ZoneCount = calc.Setup.ZoneCount;
  trace_.Stride = 1;
}

void TraceRecorder::Zone(const Calculation& calc, int zone, int lastRow, bool complete) {
  if (zone == 1) Start(calc);
  const FilmState& s = calc.State;
  const RunParameters& p = calc.Params();
  const int N = p.TotalLayerCount;
  ZoneTrace z;
  z.Zone = zone;
  z.Complete = complete;
  lastRow = std::clamp(lastRow, 0, s.RowCapacity - 1);
  z.Points.reserve(static_cast<size_t>(lastRow) + 1);
  for (int j = 0; j <= lastRow; ++j) {
    TracePoint t;
    t.Step = j;
    // The time table of a zone is filled when its march ends; a zone that
    // stopped early has only its zone times.
    t.Time = complete ? s.RunTime[zone][j] : s.RunTime[zone][0] + s.ZoneTime[j];
    t.Position = j * p.IncrementZ / 100.0;
    t.FilmTemp = s.FilmTemp[j];
    t.AvgConc1 = s.AvgConc1[j];
    t.AvgConc2 = s.AvgConc2[j];
    t.CoatThick = s.CoatThick[j];
    t.SolRemain = s.SolRemain[j];
    t.Surface1 = s.VolFrac1[j][0];
    t.Surface2 = s.VolFrac2[j][0];
    t.Base1 = s.VolFrac1[j][N];
    t.Base2 = s.VolFrac2[j][N];
    z.Points.push_back(t);
  }
  trace_.Zones.push_back(std::move(z));
}

RunEnd RunEndOf(const RunReport& report, const Calculation& calc) {
  switch (report.Outcome) {
    case RunOutcome::Finished: return {RunEndKind::Finished, ""};
    case RunOutcome::Refused:
    case RunOutcome::Declined:
    case RunOutcome::GeneralError: return {RunEndKind::Refused, ""};
    case RunOutcome::Cancelled: return {RunEndKind::Cancelled, "cancelled"};
    case RunOutcome::EngineFailed:
      return {RunEndKind::Failed, !calc.TransferOk ? TransferFailureMessage : ConvergenceFailureMessage};
    case RunOutcome::ArithmeticFault: return {RunEndKind::Failed, "arithmetic fault"};
    case RunOutcome::FileError: return {RunEndKind::Failed, "the result file could not be written"};
  }
  return {RunEndKind::Failed, ""};
}

namespace {

// The parameters of the input echo: each labelled line goes to the field
// whose echo label it carries; "F1".."F11" come twice, solvent 1 first.
bool ParamsFromEcho(const ResultFileData& data, RunParameters& p, std::string& why) {
  std::vector<bool> used(data.Echo.size(), false);
  for (const FieldSpec& f : FieldTable()) {
    if (f.Group == FieldGroup::Zone || f.Group == FieldGroup::SaveFile || f.Member == "NumberOfLayers") continue;
    double* member = RealMember(p, f.Member);
    if (!member) continue;
    if (f.Member == "IncrementZ") { *member = data.IncrementZ; continue; }
    if (f.Member == "WebSpeed") { *member = data.WebSpeed; continue; }
    if (f.Member == "InitialTemperature") { *member = data.InitialTemperature; continue; }
    std::string label;
    if (!Utf8ToCp932(f.EchoLabel, label)) label = f.EchoLabel;
    bool found = false;
    for (size_t i = 0; i < data.Echo.size() && !found; ++i) {
      if (used[i] || data.Echo[i].Label != label) continue;
      *member = data.Echo[i].Value;
      used[i] = found = true;
    }
    if (!found) {
      why = "its input echo has no line \"" + f.EchoLabel + "\"";
      return false;
    }
  }
  p.TotalLayerCount = data.NumberOfLayers + 4;
  for (const ZoneConditions& c : data.Conditions) {
    p.OuterTemperature[c.Zone] = c.OuterTemperature;
    p.ZoneLength[c.Zone] = c.ZoneLength;
    p.PartialPressure1[c.Zone] = c.PartialPressure1;
    p.PartialPressure2[c.Zone] = c.PartialPressure2;
    p.BaseHeatTransferCoeff[c.Zone] = c.BaseHeatTransferCoeff;
    p.CoatHeatTransferCoeff[c.Zone] = c.CoatHeatTransferCoeff;
  }
  return true;
}

}  // namespace

bool TraceFromResultFile(const ResultFileData& data, RunTrace& trace, std::string& why) {
  trace = {};
  trace.Stride = 5;
  trace.ConcentrationRounding = 0.0005;
  if (!ParamsFromEcho(data, trace.Params, why)) return false;
  const RunParameters& p = trace.Params;
  trace.ZoneCount = data.Conditions.empty() ? 0 : data.Conditions.back().Zone;
  for (const ZoneResults& r : data.Zones) {
    ZoneTrace z;
    z.Zone = r.Zone;
    z.Complete = true;
    for (size_t i = 0; i < r.Rows.size(); ++i) {
      const ResultRow& row = r.Rows[i];
      TracePoint t;
      t.Step = static_cast<int>(i) * 5;
      t.Time = row.Time;
      t.Position = row.Length;
      t.FilmTemp = row.Temp;
      t.AvgConc1 = row.AvgConc1;
      t.AvgConc2 = row.AvgConc2;
      t.CoatThick = row.CoatThick;
      t.SolRemain = row.SolRemain;
      t.Surface1 = r.Solvent1[i].Conc[0] / p.Density1;
      t.Surface2 = r.Solvent2[i].Conc[0] / p.Density2;
      t.Base1 = r.Solvent1[i].Conc[10] / p.Density1;
      t.Base2 = r.Solvent2[i].Conc[10] / p.Density2;
      z.Points.push_back(t);
    }
    trace.Zones.push_back(std::move(z));
  }
  const bool lastHasResults = !data.Zones.empty() && data.Zones.back().Zone == trace.ZoneCount;
  trace.End.Kind = lastHasResults && !data.Truncated ? RunEndKind::Finished : RunEndKind::Stopped;
  if (trace.End.Kind == RunEndKind::Stopped) {
    ZoneTrace z;  // the zone the file stops in, without points
    z.Zone = data.Zones.empty() ? 1 : data.Zones.back().Zone + 1;
    trace.Zones.push_back(z);
  }
  return true;
}

}  // namespace kelvane
