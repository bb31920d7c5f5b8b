#include "engine/StepLocation.h"

#include <cfenv>

#include "engine/MiscCalc.h"

namespace kelvane {

StepLocation CurrentStepLocation(const Calculation& calc) {
  StepLocation at;
  // Reporting only: whatever these divisions raise is not the run's fault.
  std::fexcept_t flags;
  std::fegetexceptflag(&flags, FE_ALL_EXCEPT);
  struct Restore {
    std::fexcept_t& f;
    ~Restore() { std::fesetexceptflag(&f, FE_ALL_EXCEPT); }
  } restore{flags};
  const int zone = calc.Step.Zone;
  if (zone < 1 || zone > MaxZones) return at;
  const FilmState& s = calc.State;
  const int j = s.LastStep;
  at.Zone = zone;
  at.Step = j;
  at.StepCount = calc.Setup.ZoneStepCount[zone];
  const long double dz = calc.Params().IncrementZ;
  at.Position = static_cast<double>(static_cast<long double>(j) * dz / 100.0L);
  const bool rowsKnown = j >= 1 && static_cast<std::size_t>(j) <= s.ZoneTime.size() &&
                         s.RunTime[zone].size() > 0 && s.WebSpeedCm != 0;
  if (rowsKnown)
    at.Time = static_cast<double>(static_cast<long double>(s.RunTime[zone][0]) + s.ZoneTime[j - 1] +
                                  dz / s.WebSpeedCm);
  return at;
}

}  // namespace kelvane
