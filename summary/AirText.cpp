// The dryer's air as a terminal table: per zone the solvent given off, the
// exhaust it needs, the given exhaust's share of the LFL, the make-up air's
// heat and the zone's energy.

#include <cstdio>

#include "run/TextFormat.h"
#include "summary/SummaryText.h"

namespace kelvane {

namespace {

std::string Cell(const std::optional<double>& v, const char* fmt) { return v ? Format(fmt, *v) : Format("%9s", "-"); }

}  // namespace

std::string AirTable(const RunSummary& s) {
  const AirSettings& a = s.Settings.Air;
  std::string t = Format("Air: make-up air from %.1f °C; LFL %.4g %% and %.4g %% by volume at 25 °C; exhaust allowed "
                         "%.4g %% of the LFL%s\n",
                         a.RoomTemperature, a.Lfl1, a.Lfl2, a.LflShare,
                         a.ZoneBalance ? "; zones' gas in balance with their exhaust" : "");
  t += Format("%-4s %9s %9s %9s %9s %9s %9s\n", "Zone", "Off", "Off", "Needed", "Exhaust", "Air heat", "Energy");
  t += Format("%-4s %9s %9s %9s %9s %9s %9s\n", "", "g/(s.m)", "kg/h", "m3/h", "% LFL", "kW", "kJ/m2");
  for (const ZoneSummary& z : s.Zones) {
    const ZoneAir& r = z.Air;
    t += Format("%-4d %9.3f ", z.Zone, r.GivenOffPerWidth) + Cell(r.GivenOffKgPerHour, "%9.2f") + " " +
         Cell(r.ExhaustNeeded, "%9.0f") + " " + Cell(r.ExhaustLflPercent, "%9.1f") + " " +
         Cell(r.AirHeatKw, "%9.1f") + " " + Cell(r.EnergyPerArea, "%9.1f") + (r.AboveShare ? "  (above)\n" : "\n");
  }
  if (s.Run.TotalEnergy) t += Format("Energy: %.1f kJ/m2 (heat into the web and the make-up air's heat).\n", *s.Run.TotalEnergy);
  return t;
}

}  // namespace kelvane
