// A row's columns are the run summary's figures for the whole run.

#include "study/RowSummary.h"

#include <algorithm>

#include "summary/RunSummary.h"

namespace kelvane {

namespace {

enum Column {
  FinalResidualPercent,
  ResidualGrams,
  ResidualPpm,
  MaxFilmTemperature,
  MinBoilingMargin,
  Warnings,
  BoilingWarnings,
  TotalHeat,
  HeatPerKgSolvent,
  DryThickness,
  TotalTime,
  ColumnCount
};

}  // namespace

const std::vector<SummaryColumn>& SummaryColumns() {
  static const std::vector<SummaryColumn> columns = {
      {"final_residual_percent", "%", "Solvent left at exit (%)"},
      {"residual_g_per_m2", "g/m2", "Solvent left at exit (g/m²)"},
      {"residual_ppm_dry", "ppm", "Solvent left at exit (ppm of dry coating)"},
      {"max_film_temperature_c", "degC", "Hottest film (℃)"},
      {"min_boiling_margin_mmhg", "mmHg", "Smallest boiling margin (mmHg)"},
      {"warnings", "-", "Warnings"},
      {"boiling_warnings", "-", "Boiling warnings"},
      {"total_heat_kj_per_m2", "kJ/m2", "Heat from the gas (kJ/m²)"},
      {"heat_per_kg_solvent_kj", "kJ/kg", "Heat per kg evaporated (kJ/kg)"},
      {"dry_thickness_um", "um", "Dry thickness (µm)"},
      {"total_time_s", "s", "Time in the dryer (s)"},
  };
  return columns;
}

int SummaryColumnIndex(const std::string& name) {
  const auto& c = SummaryColumns();
  for (std::size_t i = 0; i < c.size(); ++i)
    if (name == c[i].Name) return static_cast<int>(i);
  return -1;
}

void RowSummarizer::Attach(RunOptions& options) {
  recorder_ = {};
  details_ = {};
  options.ZoneMarched = [this](const Calculation& calc, int zone, int lastRow, bool complete) {
    recorder_.Zone(calc, zone, lastRow, complete);
  };
}

SummaryValues RowSummarizer::Finish(const Calculation& calc, const RunReport& report) {
  SummaryValues v(ColumnCount);
  // Only a run that marched every zone has results: a refused input
  // marched nothing, and the figures of a run that stopped (failed,
  // cancelled) describe the place it stopped at, not the dryer's exit.
  if (report.Outcome != RunOutcome::Finished || recorder_.Trace().Zones.empty()) return v;
  RunTrace& trace = recorder_.Trace();
  trace.End = RunEndOf(report, calc);
  details_ = SummarizeRun(trace);
  const RunSummary& s = details_;
  v[FinalResidualPercent] = s.Run.ResidualPercent;
  v[ResidualGrams] = s.Run.ResidualGrams;
  v[ResidualPpm] = s.Run.ResidualPpm;
  for (const ZoneSummary& z : s.Zones) {
    v[MaxFilmTemperature] = std::max(v[MaxFilmTemperature].value_or(z.MaxTemperature.Value), z.MaxTemperature.Value);
    v[MinBoilingMargin] = std::min(v[MinBoilingMargin].value_or(z.MinBoilingMargin.Value), z.MinBoilingMargin.Value);
  }
  v[Warnings] = static_cast<double>(s.Warnings.size());
  v[BoilingWarnings] = static_cast<double>(
      std::count_if(s.Warnings.begin(), s.Warnings.end(), [](const Warning& w) { return w.Kind == WarningKind::Boiling; }));
  v[TotalHeat] = s.Run.TotalHeat;
  if (s.Run.Evaporated > 0) v[HeatPerKgSolvent] = s.Run.TotalHeat / (s.Run.Evaporated / 1000);
  v[DryThickness] = s.Run.DryThickness;
  v[TotalTime] = s.Run.TotalTime;
  return v;
}

}  // namespace kelvane
