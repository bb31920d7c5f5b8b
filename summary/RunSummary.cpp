// Zone table, heat balance and run totals from the trace of a run.  Units on
// the way in are the engine's (cm, g/cm^3, W/(cm^2.K), J/g); on the way out
// g/m^2, kJ/m^2, um and kW.

#include "summary/RunSummary.h"

#include <algorithm>
#include <cmath>

#include "summary/CoatingQuantities.h"
#include "summary/Warnings.h"

namespace kelvane {

namespace {

constexpr double kPerSquareMetre = 1e4;     // g/cm^2 -> g/m^2
constexpr double kKjPerSquareMetre = 10.0;  // J/cm^2 -> kJ/m^2

}  // namespace

RunSummary SummarizeRun(const RunTrace& trace, const SummarySettings& settings) {
  KeepFloatingPointState keep;
  const RunParameters& p = trace.Params;
  RunSummary out;
  out.Settings = settings;
  out.Run.End = trace.End;

  const double initial1 = p.InitialComposition1 * p.InitialCoatingThickness;  // g/cm^2
  const double initial2 = p.InitialComposition2 * p.InitialCoatingThickness;
  const double baseCapacity = (p.BaseFilmThickness * p.BaseDensity) * p.BaseHeatCapacity;  // J/(cm^2.K)
  const double areaRate = settings.WebWidth ? *settings.WebWidth * p.WebSpeed : 0;          // m^2/s

  const TracePoint* last = nullptr;
  int lastZone = 0;
  for (const ZoneTrace& z : trace.Zones) {
    lastZone = z.Zone;
    if (z.Points.empty()) continue;
    const int k = z.Zone;
    const double Tout = p.OuterTemperature[k];
    const double h = p.CoatHeatTransferCoeff[k] + p.BaseHeatTransferCoeff[k];
    ZoneSummary s;
    s.Zone = k;
    s.Complete = z.Complete;
    s.GasTemperature = Tout;
    const TracePoint& first = z.Points.front();
    const TracePoint& exit = z.Points.back();
    s.Length = exit.Position - first.Position;
    s.ResidenceTime = exit.Time - first.Time;
    s.EntryTemperature = first.FilmTemp;
    s.ExitTemperature = exit.FilmTemp;
    s.MinTemperature = s.MaxTemperature = {first.FilmTemp, {k, first.Position, first.Time}};
    s.MinBoilingMargin = {760.0 - BubblePressure(p, first.FilmTemp, first.Base1, first.Base2),
                          {k, first.Position, first.Time}};

    double fromGas = 0, latent = 0, sensible = 0;
    for (size_t i = 0; i < z.Points.size(); ++i) {
      const TracePoint& b = z.Points[i];
      const Where at{k, b.Position, b.Time};
      if (b.FilmTemp < s.MinTemperature.Value) s.MinTemperature = {b.FilmTemp, at};
      if (b.FilmTemp > s.MaxTemperature.Value) s.MaxTemperature = {b.FilmTemp, at};
      if (!s.NearGas && std::fabs(Tout - b.FilmTemp) <= settings.GasApproach) s.NearGas = at;
      const double margin = 760.0 - BubblePressure(p, b.FilmTemp, b.Base1, b.Base2);
      if (margin < s.MinBoilingMargin.Value) s.MinBoilingMargin = {margin, at};
      if (b.SolRemain >= settings.SkinSolventRemaining) {
        const double skin = settings.SkinSurfacePolymer - (1.0 - (b.Surface1 + b.Surface2));
        if (!s.MinSkinMargin || skin < s.MinSkinMargin->Value) s.MinSkinMargin = ValueAt{skin, at};
      }
      if (i == 0) continue;
      const TracePoint& a = z.Points[i - 1];
      const double dt = b.Time - a.Time;
      // Every step: the march's own explicit rule (gas at the start-of-step
      // temperature); every fifth step: the trapezoid rule.
      const double Tgas = trace.Stride == 1 ? a.FilmTemp : 0.5 * (a.FilmTemp + b.FilmTemp);
      fromGas += h * (Tout - Tgas) * dt;
      const CoatingMasses ma = MassesAt(p, a), mb = MassesAt(p, b);
      latent += p.HeatOfVaporization1 * (ma.Solvent1 - mb.Solvent1) + p.HeatOfVaporization2 * (ma.Solvent2 - mb.Solvent2);
      // The march's heat capacity of the end-of-step coating plus the base.
      const double C = (mb.Solvent1 * p.HeatCapacity1 + mb.Solvent2 * p.HeatCapacity2) +
                       mb.Polymer * p.PolymerHeatCapacity + baseCapacity;
      sensible += C * (b.FilmTemp - a.FilmTemp);
    }
    const CoatingMasses m0 = MassesAt(p, first), m1 = MassesAt(p, exit);
    s.Remaining1 = m1.Solvent1 * kPerSquareMetre;
    s.Remaining2 = m1.Solvent2 * kPerSquareMetre;
    s.RemainingPercent1 = initial1 > 0 ? 100.0 * m1.Solvent1 / initial1 : 0;
    s.RemainingPercent2 = initial2 > 0 ? 100.0 * m1.Solvent2 / initial2 : 0;
    s.RemainingPercent = exit.SolRemain;
    s.Evaporated1 = (m0.Solvent1 - m1.Solvent1) * kPerSquareMetre;
    s.Evaporated2 = (m0.Solvent2 - m1.Solvent2) * kPerSquareMetre;
    s.ExitThickness = exit.CoatThick * 1e4;
    s.Heat.FromGas = fromGas * kKjPerSquareMetre;
    s.Heat.Latent = latent * kKjPerSquareMetre;
    s.Heat.Sensible = sensible * kKjPerSquareMetre;
    s.Heat.Residual = s.Heat.FromGas - s.Heat.Latent - s.Heat.Sensible;
    const double evaporated = s.Evaporated1 + s.Evaporated2;  // g/m^2
    if (evaporated > 0) s.Heat.SpecificEnergy = s.Heat.FromGas / (evaporated / 1000.0);
    if (settings.WebWidth) s.Heat.Power = s.Heat.FromGas * areaRate;

    out.Run.TotalHeat += s.Heat.FromGas;
    out.Run.TotalLatent += s.Heat.Latent;
    out.Run.TotalSensible += s.Heat.Sensible;
    out.Run.TotalResidual += s.Heat.Residual;
    out.Run.Evaporated += evaporated;
    out.Zones.push_back(s);
    last = &exit;
  }

  RunTotals& r = out.Run;
  const double phiP0 = 1.0 - (p.InitialComposition1 / p.Density1 + p.InitialComposition2 / p.Density2);
  r.DryThickness = p.InitialCoatingThickness * phiP0 * 1e4;
  if (settings.WebWidth) r.TotalPower = r.TotalHeat * areaRate;
  if (last) {
    const CoatingMasses m = MassesAt(p, *last);
    const double solvent = m.Solvent1 + m.Solvent2;
    r.ResidualGrams = solvent * kPerSquareMetre;
    r.ResidualPercent = last->SolRemain;
    r.ResidualPpm = m.Polymer > 0 ? solvent / m.Polymer * 1e6 : 0;
    r.TotalTime = last->Time;
  }
  if (trace.End.Kind != RunEndKind::Finished) {
    r.StopZone = lastZone;
    if (!trace.Zones.empty() && !trace.Zones.back().Points.empty())
      r.StopPosition = trace.Zones.back().Points.back().Position;
  }
  out.Warnings = FindWarnings(trace, out);
  return out;
}

}  // namespace kelvane
