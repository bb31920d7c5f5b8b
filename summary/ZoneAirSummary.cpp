// The dryer's air in the run summary: each zone's exhaust and the heat of
// its make-up air from what the coating gave off there, and a warning where
// a given exhaust runs above the allowed share of the solvents' LFL.

#include <algorithm>
#include <cstdio>

#include "run/TextFormat.h"
#include "summary/Warnings.h"

namespace kelvane {

void SummarizeAir(const RunTrace& trace, RunSummary& out) {
  const RunParameters& p = trace.Params;
  const AirSettings& air = out.Settings.Air;
  const AirRun run{p.WebSpeed, out.Settings.WebWidth, p.MolecularWeight1, p.MolecularWeight2};
  out.AirConstants = run;
  std::vector<ZoneAir> zones;
  std::vector<Warning> found;
  for (ZoneSummary& s : out.Zones) {
    ZoneAirInput in;
    in.Zone = s.Zone;
    in.GasTemperature = s.GasTemperature;
    in.Evaporated1 = s.Evaporated1;
    in.Evaporated2 = s.Evaporated2;
    in.HeatIn = s.Heat.In;
    for (const ZoneTrace& z : trace.Zones)
      if (z.Zone == s.Zone) in.MakeUp1 = z.MakeUp1, in.MakeUp2 = z.MakeUp2;
    s.AirIn = in;
    s.Air = ZoneAirOf(in, run, air);
    zones.push_back(s.Air);
    if (!s.Air.AboveShare) continue;
    const ZoneTrace* z = nullptr;
    for (const ZoneTrace& t : trace.Zones)
      if (t.Zone == s.Zone && !t.Points.empty()) z = &t;
    Warning w;
    w.Kind = WarningKind::ExhaustLfl;
    if (z) w.At = {s.Zone, z->Points.front().Position, z->Points.front().Time};
    else w.At.Zone = s.Zone;
    w.Value = w.Worst = *s.Air.ExhaustLflPercent;
    w.Unit = "% of LFL";
    const std::string need =
        s.Air.ExhaustNeeded ? Format("; it needs %.0f m³/h", *s.Air.ExhaustNeeded)
                            : std::string("; the make-up air alone is at the share, no flow is enough");
    w.Text = Format("Zone %d: the exhaust of %.0f m³/h at %.1f °C carries %.1f %% of the solvents' LFL, above "
                    "the allowed %.4g %%%s.",
                    s.Zone, air.ExhaustFlow[s.Zone].value_or(0), s.GasTemperature, *s.Air.ExhaustLflPercent,
                    air.LflShare, need.c_str());
    w.Advice = WarningAdvice(w.Kind);
    w.Text += " " + w.Advice;
    found.push_back(w);
  }
  out.Run.TotalEnergy = TotalEnergy(zones.data(), static_cast<int>(zones.size()));
  // Into the list in zone order: after every warning of the same or an
  // earlier zone.
  for (const Warning& w : found) {
    auto at = std::find_if(out.Warnings.begin(), out.Warnings.end(),
                           [&](const Warning& v) { return v.At.Zone > w.At.Zone; });
    out.Warnings.insert(at, w);
  }
}

std::vector<ZoneAir> ZonesAirUnder(const RunSummary& s, const AirSettings& air, std::optional<double> webWidth) {
  AirRun run = s.AirConstants;
  run.WebWidth = webWidth;
  std::vector<ZoneAir> zones;
  for (const ZoneSummary& z : s.Zones) zones.push_back(ZoneAirOf(z.AirIn, run, air));
  return zones;
}

std::optional<double> RunEnergyUnder(const RunSummary& s, const AirSettings& air, std::optional<double> webWidth) {
  const std::vector<ZoneAir> zones = ZonesAirUnder(s, air, webWidth);
  return TotalEnergy(zones.data(), static_cast<int>(zones.size()));
}

}  // namespace kelvane
