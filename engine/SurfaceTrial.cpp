// The trial shared by the robust surface solves, and the rules that judge it.

#include "engine/SurfaceTrial.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

using LD = long double;

namespace {

constexpr double kExhaustedShare = 1e-6;   // of the initial solvent load
constexpr double kRelativeTol = 0.005;     // the march's balance test
constexpr double kEvaporationTol = 0.001;  // share of the step's evaporation
constexpr double kContentTol = 1e-7;       // share of the solvent's content per step

}  // namespace

double StepTime(const Calculation& calc) {
  return static_cast<double>(static_cast<LD>(calc.Params().IncrementZ) / calc.State.WebSpeedCm);
}

SurfaceTrials::SurfaceTrials(Calculation& calc) : calc_(calc), st_(calc.Step) {
  gone_[0] = st_.Gone1;
  gone_[1] = st_.Gone2;
  dt_ = StepTime(calc);
  M_[0] = RescueSolventContent(calc, 0);
  M_[1] = RescueSolventContent(calc, 1);
}

TrialOutcome SurfaceTrials::Try(double s1, double s2, SurfaceTrial& t) {
  if (gone_[0]) s1 = 0;
  if (gone_[1]) s2 = 0;
  if (!RescueSurfaceAdmissible(s1, s2)) return TrialOutcome::Inadmissible;
  ++count_;
  ++st_.Trials;
  st_.NewMassFrac1[0] = s1;
  st_.NewMassFrac2[0] = s2;
  try {
    ClearFaults();
    SolveFilm(calc_);
    ShrinkLayers(calc_);
    const bool ok = GasSideFluxAllowingAbsence(calc_);
    CheckFaults();
    if (!ok) return TrialOutcome::Transfer;
  } catch (const ArithmeticFault&) {
    ClearFaults();
    return TrialOutcome::Transfer;
  }
  // At or above the boiling point the flux law's denominator 760 - P
  // changes sign: no balance there is physical.
  if (RescueSurfaceBoils(st_.P1, st_.P2)) return TrialOutcome::Boiling;
  if (!RescueProfilesNonNegative(st_.NewMassFrac1, st_.NewMassFrac2, calc_.Params().TotalLayerCount))
    return TrialOutcome::Negative;
  t.in[0] = s1;
  t.in[1] = s2;
  t.s[0] = st_.NewMassFrac1[0];
  t.s[1] = st_.NewMassFrac2[0];
  t.F[0] = st_.FilmFlux1;
  t.F[1] = st_.FilmFlux2;
  t.G[0] = st_.GasFlux1;
  t.G[1] = st_.GasFlux2;
  return TrialOutcome::Admissible;
}

double SurfaceTrials::Scale(const SurfaceTrial& t, int k) const {
  const double E = std::max(std::fabs(t.F[0]) + std::fabs(t.F[1]), std::fabs(t.G[0]) + std::fabs(t.G[1]));
  return RescueBalanceScale(E, M_[k], dt_);
}

bool SurfaceTrials::Balanced(const SurfaceTrial& t, int k) const {
  if (gone_[k]) return true;
  return RescueSolventBalanced(t.F[k], t.G[k], Scale(t, k));
}

double SurfaceTrials::Merit(const SurfaceTrial& t) const {
  double m = 0;
  for (int k = 0; k < 2; ++k) {
    if (gone_[k]) continue;
    const double a = t.r(k) / (Scale(t, k) + kRelativeTol * std::fabs(t.F[k]));
    m += a * a;
  }
  return m;
}

void CarryRemovedWithGas(Calculation& calc) {
  StepState& st = calc.Step;
  const double dt = StepTime(calc);
  if (st.Removed1 > 0) st.GasFlux1 = static_cast<double>(st.GasFlux1 + static_cast<LD>(st.Removed1) / dt);
  if (st.Removed2 > 0) st.GasFlux2 = static_cast<double>(st.GasFlux2 + static_cast<LD>(st.Removed2) / dt);
}

bool RescueSurfaceAdmissible(double s1, double s2) { return s1 >= 0 && s2 >= 0 && s1 + s2 < 1; }

bool RescueSurfaceBoils(double P1, double P2) { return static_cast<LD>(P1) + P2 >= 760.0L; }

bool RescueProfilesNonNegative(const NodeRow& w1, const NodeRow& w2, int N) {
  for (int i = 0; i <= N; ++i)
    if (w1[i] < 0 || w2[i] < 0) return false;
  return true;
}

double RescueBalanceScale(double E, double content, double dt) {
  return std::max({kEvaporationTol * E, kContentTol * content / dt, 1e-300});
}

bool RescueSolventBalanced(double F, double G, double scale) {
  const double r = std::fabs(static_cast<double>(static_cast<LD>(F) - G));
  return r < kRelativeTol * std::fabs(F) || r <= scale;
}

double RescueSolventContent(const Calculation& calc, int k) {
  const RunParameters& p = calc.Params();
  const StepState& st = calc.Step;
  const NodeRow& phi = k == 0 ? st.OldVolFrac1 : st.OldVolFrac2;
  const double rho = k == 0 ? p.Density1 : p.Density2;
  LD sum = 0;
  for (int i = 1; i <= p.TotalLayerCount; ++i)
    sum += static_cast<LD>(calc.State.OldLayerThick[i]) * ((static_cast<LD>(phi[i - 1]) + phi[i]) / 2);
  return static_cast<double>(sum * rho);
}

bool GasSupersaturated(const Calculation& calc) {
  const RunParameters& p = calc.Params();
  const StepState& st = calc.Step;
  return p.PartialPressure1[st.Zone] >= VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T) ||
         p.PartialPressure2[st.Zone] >= VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
}

// An exhausted solvent: below 1e-6 of the run's initial solvent load per unit
// area, with none of it in the zone's gas, a solvent is gone.  Its profile is
// set to zero (the remainder leaves with the gas within the step), its
// surface value is 0, its fluxes are 0, and the march goes on with a
// one-solvent coating.
bool DropExhaustedSolvents(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  FilmState& s = calc.State;
  const int N = p.TotalLayerCount;
  const int z = st.Zone;
  const double load = static_cast<double>((static_cast<LD>(p.InitialComposition1) + p.InitialComposition2) *
                                          p.InitialCoatingThickness);
  bool changed = false;
  for (int k = 0; k < 2; ++k) {
    bool& gone = k == 0 ? st.Gone1 : st.Gone2;
    const double pGas = k == 0 ? p.PartialPressure1[z] : p.PartialPressure2[z];
    if (gone || pGas > 0) continue;
    const double M = RescueSolventContent(calc, k);
    if (!(M <= kExhaustedShare * load)) continue;
    // The solvent is gone: zero it at every node, renormalise the other two
    // mass fractions, and shrink each layer by the volume it held (the
    // layer keeps its polymer volume).
    gone = true;
    (k == 0 ? st.Removed1 : st.Removed2) = M;
    NodeRow& wk = k == 0 ? st.OldMassFrac1 : st.OldMassFrac2;
    NodeRow& wj = k == 0 ? st.OldMassFrac2 : st.OldMassFrac1;
    const NodeRow oldP = st.OldVolFracP;
    for (int i = 0; i <= N; ++i) {
      if (wk[i] == 0) continue;
      wj[i] = wj[i] / (1 - wk[i]);
      wk[i] = 0;
      const Fractions v = VolFracFromMass(st.OldMassFrac1[i], st.OldMassFrac2[i], p.Density1, p.Density2,
                                          p.PolymerDensity);
      st.OldVolFrac1[i] = v.F1;
      st.OldVolFrac2[i] = v.F2;
      st.OldVolFracP[i] = v.FP;
    }
    for (int i = 1; i <= N; ++i) {
      const double before = (oldP[i - 1] + oldP[i]) / 2, after = (st.OldVolFracP[i - 1] + st.OldVolFracP[i]) / 2;
      s.OldLayerThick[i] = s.OldLayerThick[i] * before / after;
    }
    changed = true;
  }
  return changed;
}

}  // namespace kelvane
