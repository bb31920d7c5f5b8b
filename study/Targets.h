#pragma once
// What a run must achieve to count as a good setting: it finishes, leaves at
// most the target share of its solvent at the exit, keeps the film below a
// temperature limit and the coating from boiling.

#include <optional>
#include <string>

#include "study/StudyRun.h"

namespace kelvane {

struct Targets {
  std::optional<double> MaxResidual;         // left at the exit, in ResidualIn
  ResidualUnit ResidualIn = ResidualUnit::PercentOfInitial;
  std::optional<double> MaxFilmTemperature;  // degC
  bool NoBoiling = false;                    // bubble pressure stays below 760 mmHg
  // The boiling margin (760 mmHg less the base-face bubble pressure) at its
  // smallest stays at or above this, mmHg.
  std::optional<double> MinBoilingMargin;
  bool NoSkinning = false;                   // no skinning warning
  // Every zone with an exhaust flow in Air keeps its exhaust at or below
  // this share of the solvents' LFL, % (the same as capping each zone's
  // exhaust: the flow needed at this share stays within it).  The flows are
  // for a web WebWidth m wide.
  std::optional<double> MaxLflShare;
  AirSettings Air;
  std::optional<double> WebWidth;
};

// " %", " g/m2" or " ppm": a residual target's unit after its number.
const char* ResidualUnitSuffix(ResidualUnit unit);

// True when the row meets every target.  Otherwise `why` says what it missed
// ("failed: <message>", "residual 3.2 % > 2 %", ...).
bool MeetsTargets(const RowResult& row, const Targets& targets, std::string* why = nullptr);

// The targets' violations as numbers: <= 0 met, > 0 missed by that much (in
// the target's unit).  A run that did not finish misses each by `failedBy`.
struct TargetViolations {
  std::optional<double> Residual, FilmTemperature, Boiling, BoilingMargin, Skinning;
  std::optional<double> LflShare;  // % of the LFL above the share, at the worst zone
  int LflZone = 0;                 // that zone
};
TargetViolations Violations(const RowResult& row, const Targets& targets, double failedBy);

}  // namespace kelvane
