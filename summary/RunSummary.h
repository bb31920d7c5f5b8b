#pragma once
// The run summary: what an engineer runs the dryer calculation for.  Per
// zone the film temperature, the solvent left and evaporated and the heat
// taken from the gas with its split into latent and sensible heat; for the
// whole run the residual solvent, the dry thickness, the heat and the
// outcome; and the defect warnings (boiling in the coating, a film above a
// solvent's boiling point, skinning, uptake from the gas, missed targets).
// Computed from a RunTrace after the march, never during it; it changes
// nothing of the run and leaves the floating-point status flags as it found
// them.

#include <optional>
#include <string>
#include <vector>

#include "summary/CoatingQuantities.h"
#include "summary/RunTrace.h"

namespace kelvane {

struct SummarySettings {
  // Above the boiling point: the solvent's share of the coating (by mass)
  // above which a film hotter than its normal boiling point is flagged.
  double BoilingPointShare = 0.01;
  // Skinning: the surface's polymer volume fraction at which it counts as a
  // skin, and the share of the initial solvent (%) still in the coating
  // below which a skin no longer traps much.
  double SkinSurfacePolymer = 0.85;
  double SkinSolventRemaining = 50.0;
  // The film "reaches" the gas temperature within this margin, K.
  double GasApproach = 1.0;
  // Web width for the heat per zone in kW, m; none: no power column.
  std::optional<double> WebWidth;
  // Optional targets.
  std::optional<double> ResidualTarget;
  ResidualUnit ResidualTargetUnit = ResidualUnit::PercentOfInitial;
  std::optional<double> MaxFilmTemperature;  // degC, a substrate limit
};

struct Where {
  int Zone = 0;
  double Position = 0;  // m within the zone
  double Time = 0;      // s since the entrance of zone 1
};

struct ValueAt {
  double Value = 0;
  Where At;
};

// Heat per m^2 of web over one zone, kJ/m^2.  FromGas = Latent + Sensible
// + Residual; the residual is what the march's heat balance and its mass
// balance disagree by.
struct ZoneHeat {
  double FromGas = 0;   // taken up from the gas by coating and base
  double Latent = 0;    // carried off by the solvent evaporated in the zone
  double Sensible = 0;  // stored in coating and base
  double Residual = 0;
  std::optional<double> SpecificEnergy;  // kJ per kg of solvent evaporated
  std::optional<double> Power;           // kW, with a web width
};

struct ZoneSummary {
  int Zone = 0;
  bool Complete = true;
  double GasTemperature = 0;   // degC
  double Length = 0;           // m marched
  double ResidenceTime = 0;    // s
  double EntryTemperature = 0, ExitTemperature = 0;  // degC
  ValueAt MinTemperature, MaxTemperature;
  std::optional<Where> NearGas;  // first within GasApproach of the gas
  double Remaining1 = 0, Remaining2 = 0;                // g/m^2 at the exit
  double RemainingPercent1 = 0, RemainingPercent2 = 0;  // % of that solvent's initial amount
  double RemainingPercent = 0;                          // % of all initial solvent
  double Evaporated1 = 0, Evaporated2 = 0;              // g/m^2 in this zone
  double ExitThickness = 0;                             // um
  ZoneHeat Heat;
  ValueAt MinBoilingMargin;  // 760 mmHg minus the base-face bubble pressure
  // How far the surface's polymer volume fraction stays below the skin
  // threshold while the skin would still trap solvent (at least the
  // skinning share of it left), at its smallest; none when the zone never
  // holds that much solvent.  Negative where the skinning warning fires.
  std::optional<ValueAt> MinSkinMargin;
};

struct RunTotals {
  RunEnd End;
  int StopZone = 0;          // a run that did not finish: the zone it stopped in
  double StopPosition = 0;   // m within that zone, the last complete point
  double ResidualGrams = 0;  // g/m^2 of solvent at the exit
  double ResidualPercent = 0;
  double ResidualPpm = 0;    // g of solvent per g of dry coating (the polymer), ppm
  double DryThickness = 0;   // um
  double TotalHeat = 0;      // kJ/m^2 from the gas
  double TotalLatent = 0, TotalSensible = 0, TotalResidual = 0;
  std::optional<double> TotalPower;  // kW
  double TotalTime = 0;      // s
  double Evaporated = 0;     // g/m^2
  std::optional<bool> TargetMet;
  std::optional<Where> TargetFirstMet;
};

enum class WarningKind { Boiling, AboveBoilingPoint, Skinning, Uptake, ResidualTarget, FilmTemperatureLimit };

// "boiling", "above_boiling_point", ...: the names of the JSON interface.
const char* WarningKindName(WarningKind kind);

struct Warning {
  WarningKind Kind = WarningKind::Boiling;
  int Solvent = 0;  // 1 or 2 where the warning is about one solvent
  Where At;         // where it first fired in the zone
  double Value = 0; // the value that triggered it (unit in Unit)
  std::string Unit;
  double Worst = 0; // the worst value of the zone
  std::string Text;   // what was found, where; ends with the advice
  std::string Advice; // what to do about it, in one sentence
};

// One sentence of advice for a kind of warning, in the engineer's terms.
const char* WarningAdvice(WarningKind kind);

struct RunSummary {
  std::vector<ZoneSummary> Zones;
  RunTotals Run;
  std::vector<Warning> Warnings;  // in zone order, then by kind
  SummarySettings Settings;
};

RunSummary SummarizeRun(const RunTrace& trace, const SummarySettings& settings = {});

}  // namespace kelvane
