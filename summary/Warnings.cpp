// Defect warnings.  Each looks along the trace for the first point of a zone
// where its criterion holds and keeps the worst value of the zone beside it;
// none of them changes the run.
//
// - Boiling: the equilibrium pressure of both solvents over the coating's
//   wettest part, the face on the base film, reaches the total pressure of
//   760 mmHg: vapour forms inside the coating (blister risk).
// - Above the boiling point: the film is hotter than a solvent's normal
//   boiling point while that solvent is still a noticeable share of the
//   coating.  The engineer's rule of thumb; the activity usually keeps the
//   coating below boiling, so this is a caution.
// - Skinning: the surface has become almost pure polymer while most of the
//   solvent is still in the coating.  Diffusion in a polymer-rich surface is
//   orders of magnitude slower (free volume collapses towards the glass), so
//   the surface becomes a barrier that traps the solvent below it.
// - Uptake: the gas holds more of a solvent than the surface is in
//   equilibrium with; the gas-side flux is negative.
// - Targets: the residual solvent at the exit and a film-temperature limit.

#include "summary/Warnings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

#include "engine/MiscCalc.h"
#include "run/TextFormat.h"
#include "summary/CoatingQuantities.h"

namespace kelvane {

const char* WarningKindName(WarningKind kind) {
  switch (kind) {
    case WarningKind::Boiling: return "boiling";
    case WarningKind::AboveBoilingPoint: return "above_boiling_point";
    case WarningKind::Skinning: return "skinning";
    case WarningKind::Uptake: return "uptake";
    case WarningKind::ResidualTarget: return "residual_target";
    case WarningKind::FilmTemperatureLimit: return "film_temperature_limit";
    case WarningKind::ExhaustLfl: return "exhaust_lfl";
  }
  return "";
}

const char* WarningAdvice(WarningKind kind) {
  switch (kind) {
    case WarningKind::Boiling:
      return "Lower this zone's gas temperature, or stage the temperatures over more zones so that the coating "
             "loses its solvent before the film gets this hot.";
    case WarningKind::AboveBoilingPoint:
      return "Watch for bubbles; if they appear, lower this zone's gas temperature while this solvent is still in "
             "the coating.";
    case WarningKind::Skinning:
      return "Slow the early drying: a cooler gas or some solvent vapour in the gas of the first zones keeps the "
             "surface open while the solvent below leaves.";
    case WarningKind::Uptake:
      return "Lower this solvent's partial pressure in the zone's gas (more fresh air), or dry at a higher "
             "gas temperature in this zone.";
    case WarningKind::ResidualTarget:
      return "Slow the web, lengthen the dryer, or raise the gas temperatures of the later zones (within the "
             "boiling limits).";
    case WarningKind::FilmTemperatureLimit:
      return "Lower this zone's gas temperature or its heat-transfer coefficients.";
    case WarningKind::ExhaustLfl:
      return "Raise this zone's exhaust to at least the flow needed, or give off less solvent here: a cooler gas "
             "in this zone, or a slower start spread over more zones.";
  }
  return "";
}

namespace {

std::string Place(const Where& w) {
  return Format("Zone %d at %.2f m (%.1f s)", w.Zone, w.Position, w.Time);
}

const char* UnitName(ResidualUnit u) {
  switch (u) {
    case ResidualUnit::PercentOfInitial: return "% of the initial solvent";
    case ResidualUnit::GramsPerSquareMetre: return "g/m2";
    case ResidualUnit::PpmOfDryCoating: return "ppm of the dry coating";
  }
  return "";
}

// The unit's symbol, as the target is written (1%, 0.5g/m2, 500ppm).
const char* UnitSymbol(ResidualUnit u) {
  switch (u) {
    case ResidualUnit::PercentOfInitial: return "%";
    case ResidualUnit::GramsPerSquareMetre: return "g/m2";
    case ResidualUnit::PpmOfDryCoating: return "ppm";
  }
  return "";
}

// One warning per kind, solvent and zone: the first point, the worst value.
class Collector {
 public:
  // `worse(a, b)`: a is worse than b.
  template <class Worse>
  void Fire(WarningKind kind, int solvent, const Where& at, double value, const char* unit, Worse worse,
            std::string text) {
    const auto key = std::make_tuple(at.Zone, static_cast<int>(kind), solvent);
    auto it = index_.find(key);
    if (it == index_.end()) {
      index_[key] = list_.size();
      list_.push_back({kind, solvent, at, value, unit, value, std::move(text), {}});
      return;
    }
    Warning& w = list_[it->second];
    if (worse(value, w.Worst)) w.Worst = value;
  }
  std::vector<Warning>& List() { return list_; }

 private:
  std::map<std::tuple<int, int, int>, size_t> index_;
  std::vector<Warning> list_;
};

bool Higher(double a, double b) { return a > b; }
bool Lower(double a, double b) { return a < b; }

}  // namespace

std::vector<Warning> FindWarnings(const RunTrace& trace, RunSummary& summary) {
  const RunParameters& p = trace.Params;
  const SummarySettings& set = summary.Settings;
  const double V1 = p.MolecularWeight1 / p.Density1;
  const double V2 = p.MolecularWeight2 / p.Density2;
  const double boil1 = NormalBoilingPoint(p.VaporA1, p.VaporB1, p.VaporC1);
  const double boil2 = NormalBoilingPoint(p.VaporA2, p.VaporB2, p.VaporC2);
  Collector c;
  std::optional<Where> targetMet;

  std::map<int, double> zoneMax;  // the zone table's hottest film, degC
  for (const ZoneTrace& z : trace.Zones) {
    const int k = z.Zone;
    for (size_t i = 0; i < z.Points.size(); ++i) {
      const TracePoint& t = z.Points[i];
      const Where at{k, t.Position, t.Time};
      zoneMax[k] = i == 0 ? t.FilmTemp : std::max(zoneMax[k], t.FilmTemp);
      const double bubble = BubblePressure(p, t.FilmTemp, t.Base1, t.Base2);
      if (bubble >= 760.0)
        c.Fire(WarningKind::Boiling, 0, at, bubble, "mmHg", Higher,
               Format("%s: blister risk: the solvents' equilibrium pressure at the base film reaches %.1f mmHg, "
                      "at or above the total pressure of 760 mmHg (film %.1f °C).",
                      Place(at).c_str(), bubble, t.FilmTemp));

      const CoatingMasses m = MassesAt(p, t);
      const double total = m.Solvent1 + m.Solvent2 + m.Polymer;
      for (int s = 1; s <= 2; ++s) {
        const double boil = s == 1 ? boil1 : boil2;
        const double share = total > 0 ? (s == 1 ? m.Solvent1 : m.Solvent2) / total : 0;
        if (t.FilmTemp > boil && share > set.BoilingPointShare)
          c.Fire(WarningKind::AboveBoilingPoint, s, at, t.FilmTemp, "degC", Higher,
                 Format("%s: caution: the film is above the boiling point of solvent %d (%.1f °C) while solvent %d "
                        "is still %.1f %% of the coating by mass; the model's bubble pressure there is %.1f mmHg.",
                        Place(at).c_str(), s, boil, s, 100.0 * share, bubble));
      }

      const double surfacePolymer = 1.0 - (t.Surface1 + t.Surface2);
      if (surfacePolymer >= set.SkinSurfacePolymer && t.SolRemain >= set.SkinSolventRemaining)
        c.Fire(WarningKind::Skinning, 0, at, surfacePolymer, "volume fraction", Higher,
               Format("%s: skinning: the surface is %.1f %% polymer by volume while %.1f %% of the solvent is still "
                      "in the coating.",
                      Place(at).c_str(), 100.0 * surfacePolymer, t.SolRemain));

      if (i > 0) {
        // The gas side of the step that ended here: the start-of-step
        // temperature with the end-of-step surface.
        const double T = z.Points[i - 1].FilmTemp;
        for (int s = 1; s <= 2; ++s) {
          const double gas = s == 1 ? p.PartialPressure1[k] : p.PartialPressure2[k];
          if (gas <= 0) continue;
          const double rho = s == 1 ? p.Density1 : p.Density2;
          const double phiI = (s == 1 ? t.Surface1 : t.Surface2) + trace.ConcentrationRounding / rho;
          const double phiJ = s == 1 ? t.Surface2 : t.Surface1;
          double surface = 0;
          ClearFaults();  // the summary's own flags do not concern the guarded model
          if (phiI > 0)
            surface = (s == 1 ? TrySurfacePartialPressure(T, phiI, phiJ, V1, V2, p.VaporA1, p.VaporB1, p.VaporC1,
                                                          p.Chi1p, p.Chi2p, p.Chi12)
                              : TrySurfacePartialPressure(T, phiI, phiJ, V2, V1, p.VaporA2, p.VaporB2, p.VaporC2,
                                                          p.Chi2p, p.Chi1p, p.Chi12))
                          .value_or(0.0);
          // Pressures that agree to the four digits printed are at
          // equilibrium with the gas, not taking up solvent from it.
          if (surface < gas && Format("%.4g", surface) != Format("%.4g", gas))
            c.Fire(WarningKind::Uptake, s, at, surface - gas, "mmHg", Lower,
                   Format("%s: solvent %d is taken up from the gas: its equilibrium pressure over the surface, "
                          "%.4g mmHg, is below the gas's %.4g mmHg.",
                          Place(at).c_str(), s, surface, gas));
        }
      }

      if (set.MaxFilmTemperature && t.FilmTemp > *set.MaxFilmTemperature)
        c.Fire(WarningKind::FilmTemperatureLimit, 0, at, t.FilmTemp, "degC", Higher,
               Format("%s: the film at %.1f °C exceeds the limit of %.1f °C.", Place(at).c_str(), t.FilmTemp,
                      *set.MaxFilmTemperature));

      if (set.ResidualTarget && !targetMet && ResidualIn(set.ResidualTargetUnit, p, t) <= *set.ResidualTarget)
        targetMet = at;
    }
  }

  std::vector<Warning>& list = c.List();
  std::stable_sort(list.begin(), list.end(), [](const Warning& a, const Warning& b) {
    return std::tie(a.At.Zone, a.Kind) < std::tie(b.At.Zone, b.Kind);
  });
  for (Warning& w : list)
    if (w.Kind == WarningKind::FilmTemperatureLimit && w.Worst > w.Value)
      w.Text.insert(w.Text.size() - 1, Format(", up to %.1f °C in the zone", w.Worst));
    else if (w.Kind == WarningKind::AboveBoilingPoint) {
      // The hottest film while the solvent is still there, which may be
      // cooler than the zone's hottest once the solvent has gone.
      const double hottest = zoneMax[w.At.Zone];
      const std::string worst = Format("%.1f", w.Worst), zone = Format("%.1f", hottest);
      w.Text += worst == zone ? Format(" The film reaches %.1f °C in the zone.", w.Worst)
                              : Format(" While solvent %d is still above %.4g %% of the coating the film reaches "
                                       "%.1f °C; the zone's hottest film, %.1f °C, comes after it has gone.",
                                       w.Solvent, 100.0 * set.BoilingPointShare, w.Worst, hottest);
    }

  RunTotals& r = summary.Run;
  if (set.ResidualTarget) {
    const ZoneTrace* lastZone = nullptr;
    for (const ZoneTrace& z : trace.Zones)
      if (!z.Points.empty()) lastZone = &z;
    const bool finished = trace.End.Kind == RunEndKind::Finished;
    if (lastZone) {
      const TracePoint& exit = lastZone->Points.back();
      const double value = ResidualIn(set.ResidualTargetUnit, p, exit);
      r.TargetMet = finished && value <= *set.ResidualTarget;
      if (targetMet) r.TargetFirstMet = targetMet;
      if (!*r.TargetMet) {
        const Where at{lastZone->Zone, exit.Position, exit.Time};
        const char* unit = UnitName(set.ResidualTargetUnit);
        const char* symbol = UnitSymbol(set.ResidualTargetUnit);
        list.push_back({WarningKind::ResidualTarget, 0, at, value, unit, value,
                        finished ? Format("Residual target not met: %.4g %s left at the exit (target %.4g %s).", value,
                                          unit, *set.ResidualTarget, symbol)
                                 : Format("Residual target not met: the run stopped with %.4g %s left (target %.4g %s).",
                                          value, unit, *set.ResidualTarget, symbol),
                        {}});
      }
    } else {
      r.TargetMet = false;
    }
  }
  for (Warning& w : list) {
    w.Advice = WarningAdvice(w.Kind);
    w.Text += " " + w.Advice;
  }
  return list;
}

}  // namespace kelvane
