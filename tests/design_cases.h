#pragma once
// The dryer the design tests share: the default window with its two zones
// shortened to 5 m, designed within 20–160 ℃ (±100 K) at 0.05–2 m/s for at
// most 8 % left and the film at or below 75 ℃.

#include "study/Design.h"
#include "study/StudyTable.h"

namespace kelvane::design_cases {

inline StudyDefinition ShortDryer() {
  StudyDefinition s;
  s.Base.SetText(ZoneComponent(1, 2), "5");
  s.Base.SetText(ZoneComponent(2, 2), "5");
  return s;
}

inline DesignProblem ShortDryerProblem(const StudyDefinition& s) {
  DesignProblem p;
  p.Fields = ZoneTemperatureFields(s.Base, 100, 20, 160);
  p.SpeedLower = 0.05;
  p.SpeedUpper = 2;
  p.Goal.MaxResidual = 8;
  p.Goal.MaxFilmTemperature = 75;
  return p;
}

}  // namespace kelvane::design_cases
