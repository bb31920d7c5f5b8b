// Robust surface solve.  Where the per-solvent secant search cannot finish a
// step, this solve takes it over.  It carries the regimes in which a dryer
// does its real work and the secant search breaks down:
//
// 1. A solvent running out.  Its fluxes tend to zero, so the relative balance
//    test divides by a vanishing number, and its surface fraction tends to
//    zero, where the activity's logarithm diverges.  The surface balance is
//    solved in the logarithms u_k = ln s_k of the surface mass fractions,
//    which cannot leave s_k > 0, and a solvent counts as balanced when
//      |F_k - G_k| < 0.005 |F_k|            (the march's own test), or
//      |F_k - G_k| <= 0.001 E               (E the step's evaporation,
//                                            max(|F1|+|F2|, |G1|+|G2|)), or
//      |F_k - G_k| dt <= 1e-7 M_k           (M_k its content, g/cm^2).
//    A trace solvent's evaporation is then limited by diffusion inside the
//    coating and its surface sits at equilibrium with the gas.
// 2. An exhausted solvent.  Below 1e-6 of the run's initial solvent load per
//    unit area, with none of it in the zone's gas, a solvent is gone: its
//    profile is set to zero (the remainder leaves with the gas within the
//    step), its surface value is 0, its fluxes are 0, and the march goes on
//    with a one-solvent coating.
// 3. A dry coating.  With both solvents gone nothing evaporates: the trial at
//    (0, 0) balances trivially and the heat balance alone moves the film
//    temperature towards the gas temperature at the dry thickness.
// 4. Uptake from the gas.  A gas partial pressure above the surface
//    equilibrium gives a negative flux, which the balance carries like any
//    other.  A gas supersaturated at the film temperature (partial pressure at
//    or above the pure solvent's saturation pressure) would condense liquid on
//    the coating, which the model does not represent: the run ends, naming
//    the zone and the solvent.
// 5. What still fails ends the run with a physical reason, the zone, the
//    position and the time of the step.
//
// The solve is a damped Newton iteration in u with a finite-difference
// Jacobian and a backtracking line search; where it stalls, nested bracketed
// one-dimensional solves take over (each solvent's imbalance falls as its own
// surface fraction rises).  Every trial is an ordinary trial of the step, so
// the accepted one leaves the step's state exactly as the march uses it.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

const char* const RescueFailurePrefix = "Sorry, this condition does not converge !! (rescue failed: ";

namespace {

constexpr double kExhaustedShare = 1e-6;   // of the initial solvent load
constexpr double kRelativeTol = 0.005;     // the march's balance test
constexpr double kEvaporationTol = 0.001;  // share of the step's evaporation
constexpr double kContentTol = 1e-7;       // share of the solvent's content per step
constexpr double kTinySurface = 1e-30;     // lowest surface fraction tried
constexpr double kDiffStep = 1e-3;         // finite-difference step in ln s
constexpr int kMaxSubsteps = 64;           // finest split of a step

enum class Outcome { Admissible, Inadmissible, Negative, Boiling, Transfer };

struct Point {
  double s[2] = {0, 0};
  double F[2] = {0, 0}, G[2] = {0, 0};
  double r(int k) const { return static_cast<double>(static_cast<LD>(F[k]) - G[k]); }
};

double Content(const Calculation& calc, int k) { return RescueSolventContent(calc, k); }

double StepTime(const Calculation& calc) {
  return static_cast<double>(static_cast<LD>(calc.Params().IncrementZ) / calc.State.WebSpeedCm);
}

class RobustSolve {
 public:
  explicit RobustSolve(Calculation& calc) : calc_(calc), st_(calc.Step) {
    gone_[0] = st_.Gone1;
    gone_[1] = st_.Gone2;
    dt_ = StepTime(calc);
    M_[0] = Content(calc, 0);
    M_[1] = Content(calc, 1);
  }

  bool Run(std::string& reason);
  int Trials() const { return trials_; }
  bool NegativeSeen() const { return negativeSeen_; }
  bool BoilingSeen() const { return boilingSeen_; }

 private:
  Outcome Try(double s1, double s2, Point& pt);
  bool Balanced(const Point& p, int k) const;
  bool Balanced(const Point& p) const { return Balanced(p, 0) && Balanced(p, 1); }
  double Scale(const Point& p, int k) const;
  double Merit(const Point& p) const;
  bool Newton(Point x, std::string& reason);
  bool Nested(std::string& reason);
  // Solves solvent k's balance over ln s_k with the other surface value
  // fixed; on return pt holds the last admissible trial.
  bool Solve1D(int k, double other, Point& pt, std::string& reason);
  template <class Eval>
  bool Bracket(double u0, double lo, double hi, Eval eval, Point& pt, std::string& reason, const char* what);
  double Start(int k) const { return std::max(start_[k], kTinySurface); }
  int Classify(Outcome o, const Point& t, int k, double& f, bool& finite) const;
  bool OutOfTrials(std::string& reason) const {
    if (trials_ < calc_.MaxRescueTrials) return false;
    reason = "no balance within " + std::to_string(calc_.MaxRescueTrials) + " trials";
    return true;
  }
  // Leaves the step's state as the trial at p left it.
  bool Finish(const Point& p, std::string& reason);

  Calculation& calc_;
  StepState& st_;
  bool gone_[2];
  double dt_ = 1, M_[2] = {0, 0};
  double start_[2] = {1e-12, 1e-12};
  bool floorOk_ = true;  // where the bracketed searches start
  int trials_ = 0;
  bool negativeSeen_ = false, boilingSeen_ = false;
};

Outcome RobustSolve::Try(double s1, double s2, Point& pt) {
  if (gone_[0]) s1 = 0;
  if (gone_[1]) s2 = 0;
  if (!RescueSurfaceAdmissible(s1, s2)) return Outcome::Inadmissible;
  ++trials_;
  ++st_.Trials;
  st_.NewMassFrac1[0] = s1;
  st_.NewMassFrac2[0] = s2;
  try {
    ClearFaults();
    SolveFilm(calc_);
    ShrinkLayers(calc_);
    const bool ok = GasSideFluxAllowingAbsence(calc_);
    CheckFaults();
    if (!ok) return Outcome::Transfer;
  } catch (const ArithmeticFault&) {
    ClearFaults();
    return Outcome::Transfer;
  }
  // At or above the boiling point the flux law's denominator 760 - P
  // changes sign: no balance there is physical.
  if (RescueSurfaceBoils(st_.P1, st_.P2)) {
    boilingSeen_ = true;
    return Outcome::Boiling;
  }
  if (!RescueProfilesNonNegative(st_.NewMassFrac1, st_.NewMassFrac2, calc_.Params().TotalLayerCount)) {
    negativeSeen_ = true;
    return Outcome::Negative;
  }
  pt.s[0] = st_.NewMassFrac1[0];
  pt.s[1] = st_.NewMassFrac2[0];
  pt.F[0] = st_.FilmFlux1;
  pt.F[1] = st_.FilmFlux2;
  pt.G[0] = st_.GasFlux1;
  pt.G[1] = st_.GasFlux2;
  return Outcome::Admissible;
}

double RobustSolve::Scale(const Point& p, int k) const {
  const double E = std::max(std::fabs(p.F[0]) + std::fabs(p.F[1]), std::fabs(p.G[0]) + std::fabs(p.G[1]));
  return RescueBalanceScale(E, M_[k], dt_);
}

bool RobustSolve::Balanced(const Point& p, int k) const {
  if (gone_[k]) return true;
  return RescueSolventBalanced(p.F[k], p.G[k], Scale(p, k));
}

double RobustSolve::Merit(const Point& p) const {
  double m = 0;
  for (int k = 0; k < 2; ++k) {
    if (gone_[k]) continue;
    const double a = p.r(k) / (Scale(p, k) + kRelativeTol * std::fabs(p.F[k]));
    m += a * a;
  }
  return m;
}

bool RobustSolve::Finish(const Point& p, std::string& reason) {
  Point check;
  if (st_.NewMassFrac1[0] == p.s[0] && st_.NewMassFrac2[0] == p.s[1] && st_.FilmFlux1 == p.F[0] &&
      st_.FilmFlux2 == p.F[1])
    return true;
  if (Try(p.s[0], p.s[1], check) == Outcome::Admissible) return true;
  reason = "the balanced trial is not admissible";
  return false;
}

bool RobustSolve::Newton(Point x, std::string& reason) {
  double merit = Merit(x);
  int active[2], n = 0;
  for (int k = 0; k < 2; ++k)
    if (!gone_[k]) active[n++] = k;
  for (int iter = 0; iter < 40; ++iter) {
    if (Balanced(x)) return Finish(x, reason);
    // Jacobian of r over u = ln s by forward differences.
    double J[2][2] = {{0, 0}, {0, 0}};
    for (int a = 0; a < n; ++a) {
      if (OutOfTrials(reason)) return false;
      const int k = active[a];
      double s[2] = {x.s[0], x.s[1]};
      s[k] = s[k] * std::exp(kDiffStep);
      Point t;
      if (Try(s[0], s[1], t) != Outcome::Admissible) {
        s[k] = x.s[k] * std::exp(-kDiffStep);
        if (Try(s[0], s[1], t) != Outcome::Admissible) {
          reason = "difference trial not admissible";
          return false;
        }
      }
      if (Balanced(t)) return Finish(t, reason);
      const double du = std::log(s[k]) - std::log(x.s[k]);
      for (int b = 0; b < n; ++b) J[b][a] = (t.r(active[b]) - x.r(active[b])) / du;
    }
    double d[2] = {0, 0};
    if (n == 1) {
      if (!(std::isfinite(J[0][0]) && J[0][0] != 0)) {
        reason = "singular Jacobian";
        return false;
      }
      d[0] = -x.r(active[0]) / J[0][0];
    } else {
      const double det = J[0][0] * J[1][1] - J[0][1] * J[1][0];
      if (!(std::isfinite(det) && det != 0)) {
        reason = "singular Jacobian";
        return false;
      }
      d[0] = -(J[1][1] * x.r(active[0]) - J[0][1] * x.r(active[1])) / det;
      d[1] = -(-J[1][0] * x.r(active[0]) + J[0][0] * x.r(active[1])) / det;
    }
    // Steps in ln s are limited to a factor of e^4 per iteration.
    double big = 0;
    for (int a = 0; a < n; ++a) big = std::max(big, std::fabs(d[a]));
    if (!std::isfinite(big)) {
      reason = "singular Jacobian";
      return false;
    }
    const double limit = big > 4 ? 4 / big : 1;
    bool moved = false;
    for (double lambda = limit; lambda >= 1e-4; lambda *= 0.5) {
      if (OutOfTrials(reason)) return false;
      double s[2] = {x.s[0], x.s[1]};
      for (int a = 0; a < n; ++a) s[active[a]] = std::max(x.s[active[a]] * std::exp(lambda * d[a]), kTinySurface);
      Point t;
      if (Try(s[0], s[1], t) != Outcome::Admissible) continue;
      if (Balanced(t)) return Finish(t, reason);
      const double m = Merit(t);
      if (m < merit) {
        x = t;
        merit = m;
        moved = true;
        break;
      }
    }
    if (!moved) {
      reason = "line search failed";
      return false;
    }
  }
  reason = "no balance within 40 Newton iterations";
  return false;
}

// One bracketed root search over u = ln s of a quantity that falls as u
// rises.  eval(u, pt) classifies a trial: +1 when u must rise (the film
// delivers more than the gas carries off, or the profile undershoots below
// zero), -1 when it must fall (the gas takes more, or the surface boils),
// 0 when balanced.  The bracket grows from the start u0 in steps of ln s
// until the classification changes, so that the balance nearest the start
// is found (far from it the layer bookkeeping loses its meaning, as a
// surface node holding almost no polymer swells its layer without bound).
// Inside the bracket: regula falsi (Illinois) between admissible ends,
// bisection otherwise and every third step.
template <class Eval>
bool RobustSolve::Bracket(double u0, double lo, double hi, Eval eval, Point& pt, std::string& reason,
                          const char* what) {
  u0 = std::clamp(u0, lo, hi);
  Point t0;
  double f0 = 0;
  bool r0 = false;
  const int s0 = eval(u0, t0, f0, r0);
  if (s0 == 0) {
    pt = t0;
    return true;
  }
  pt = t0;
  double a = u0, fa = f0;
  bool ra = r0;
  double b = u0, fb = 0;
  bool rb = false;
  bool found = false;
  for (int n = 0; n < 80; ++n) {
    if (OutOfTrials(reason)) return false;
    const double step = 1.5 * (1 + n / 4.0);
    const double u = s0 > 0 ? std::min(a + step, hi) : std::max(a - step, lo);
    Point t;
    double f = 0;
    bool rf = false;
    const int sg = eval(u, t, f, rf);
    if (sg == 0) {
      pt = t;
      return true;
    }
    if (sg != s0) {
      b = u;
      fb = f;
      rb = rf;
      found = true;
      break;
    }
    a = u;
    fa = f;
    ra = rf;
    pt = t;
    if (u == hi || u == lo) break;
  }
  if (!found) {
    // The gas takes more than the film delivers however low the surface:
    // a trace solvent whose surface has reached equilibrium with the gas.
    // What remains of the imbalance is below the film side's own resolution
    // for so little solvent; the lowest surface stands.
    if (s0 < 0 && a == lo && ra && floorOk_) return true;
    // Uptake can outrun the gas's supply only where the gas holds the
    // solvent; in a gas without it the lowest surface is still evaporating,
    // and the film cannot deliver even that: the step sits at equilibrium.
    const int k = std::string_view(what) == "solvent 2" ? 1 : 0;
    const double pGas = (k == 0 ? calc_.Params().PartialPressure1 : calc_.Params().PartialPressure2)[st_.Zone];
    if (s0 < 0 && pGas > 0)
      reason = std::string(what) + " taken up faster than the gas supplies it";
    else if (s0 < 0)
      reason = std::string(what) + ": the gas, which holds none of it, carries off more than the film delivers "
                                   "even with almost none at the surface (the step is at equilibrium with the gas)";
    else
      reason = boilingSeen_ ? "the coating boils" : std::string(what) + ": surface saturated";
    return false;
  }
  // lo side classifies +1, hi side -1.
  double ulo = a, flo = fa, uhi = b, fhi = fb;
  bool rlo = ra, rhi = rb;
  if (s0 < 0) {
    std::swap(ulo, uhi);
    std::swap(flo, fhi);
    std::swap(rlo, rhi);
  }
  int side = 0;
  for (int n = 0; n < 300; ++n) {
    if (OutOfTrials(reason)) return false;
    double u = 0.5 * (ulo + uhi);
    if (rlo && rhi && n % 3 != 2) {
      const double v = (ulo * fhi - uhi * flo) / (fhi - flo);
      if (v > ulo && v < uhi) u = v;
    }
    Point t;
    double f = 0;
    bool rf = false;
    const int sg = eval(u, t, f, rf);
    if (sg == 0) {
      pt = t;
      return true;
    }
    if (sg > 0) {
      ulo = u;
      flo = f;
      rlo = rf;
      if (side == -1 && rhi) fhi *= 0.5;
      side = -1;
    } else {
      uhi = u;
      fhi = f;
      rhi = rf;
      if (side == 1 && rlo) flo *= 0.5;
      side = 1;
    }
    if (uhi - ulo < 1e-12) break;
  }
  reason = std::string("no balance of ") + what;
  return false;
}

int RobustSolve::Classify(Outcome o, const Point& t, int k, double& f, bool& finite) const {
  finite = false;
  switch (o) {
    case Outcome::Admissible:
      if (Balanced(t, k)) return 0;
      f = t.r(k);
      finite = true;
      return f > 0 ? 1 : -1;
    case Outcome::Negative: return 1;
    default: return -1;  // boiling, no surface equilibrium, no room
  }
}

bool RobustSolve::Solve1D(int k, double other, Point& pt, std::string& reason) {
  const int j = 1 - k;
  auto eval = [&](double u, Point& t, double& f, bool& finite) {
    double s[2];
    s[k] = std::exp(u);
    s[j] = other;
    return Classify(Try(s[0], s[1], t), t, k, f, finite);
  };
  const double room = gone_[j] ? 1 : 1 - other;
  const char* what = k == 0 ? "solvent 1" : "solvent 2";
  return Bracket(std::log(Start(k)), std::log(kTinySurface), std::log(0.999999 * room), eval, pt, reason, what);
}

bool RobustSolve::Nested(std::string& reason) {
  Point pt;
  if (gone_[0] || gone_[1]) {
    const int k = gone_[0] ? 1 : 0;
    if (!Solve1D(k, 0, pt, reason)) return false;
    return Finish(pt, reason);
  }
  // Outer search over solvent 1; each of its trials first balances
  // solvent 2.  A trial whose inner search fails counts as too high.
  std::string inner;
  auto eval = [&](double u, Point& t, double& f, bool& finite) {
    finite = false;
    if (!Solve1D(1, std::exp(u), t, inner)) return -1;
    start_[1] = t.s[1];
    if (Balanced(t, 0)) return 0;  // solvent 2 was settled by the inner search
    f = t.r(0);
    finite = true;
    return f > 0 ? 1 : -1;
  };
  if (!Bracket(std::log(Start(0)), std::log(kTinySurface), std::log(0.999999), eval, pt, reason, "solvent 1")) {
    if (!inner.empty() && reason.find("saturated") != std::string::npos) reason = inner;
    return false;
  }
  return Finish(pt, reason);
}

bool RobustSolve::Run(std::string& reason) {
  // Both solvents gone: nothing evaporates.
  if (gone_[0] && gone_[1]) {
    Point t;
    if (Try(0, 0, t) != Outcome::Admissible) {
      reason = "dry coating";
      return false;
    }
    return true;
  }
  // Start from the secant search's best trial, or from the start-of-step
  // surface.
  double s1 = calc_.Best.Valid ? calc_.Best.S1 : st_.OldMassFrac1[0];
  double s2 = calc_.Best.Valid ? calc_.Best.S2 : st_.OldMassFrac2[0];
  if (!(s1 > 0)) s1 = std::max(st_.OldMassFrac1[0], 1e-12);
  if (!(s2 > 0)) s2 = std::max(st_.OldMassFrac2[0], 1e-12);
  start_[0] = s1;
  start_[1] = s2;
  Point x;
  if (Try(s1, s2, x) == Outcome::Admissible || Try(st_.OldMassFrac1[0] > 0 ? st_.OldMassFrac1[0] : 1e-12,
                                                   st_.OldMassFrac2[0] > 0 ? st_.OldMassFrac2[0] : 1e-12, x) ==
                                                   Outcome::Admissible) {
    std::string newtonReason;
    if (Newton(x, newtonReason)) return true;
    reason = newtonReason;
  }
  std::string nestedReason;
  if (Nested(nestedReason)) return true;
  reason = nestedReason.empty() ? "no admissible surface" : nestedReason;
  return false;
}

// Where the step lies along the web, for messages.
std::string StepPlace(const Calculation& calc) {
  const RunParameters& p = calc.Params();
  const int z = calc.Step.Zone;
  const int j = calc.State.LastStep;
  LD start = 0;
  for (int k = 1; k < z; ++k) start += p.ZoneLength[k];
  const double position = static_cast<double>(start + static_cast<LD>(j) * p.IncrementZ / 100);
  const double time = static_cast<double>(static_cast<LD>(calc.State.RunTime[z][0]) + static_cast<LD>(j) * StepTime(calc));
  char buf[96];
  std::snprintf(buf, sizeof buf, "zone %d, %.4g m, %.4g s", z, position, time);
  return buf;
}

}  // namespace

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
    const double M = Content(calc, k);
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

namespace {

// The start of a step, as the march loaded it.
struct StepStart {
  NodeRow w1, w2, phi1, phi2, phiP, L;
};

StepStart SaveStart(const Calculation& calc) {
  const StepState& st = calc.Step;
  return {st.OldMassFrac1, st.OldMassFrac2, st.OldVolFrac1, st.OldVolFrac2, st.OldVolFracP, calc.State.OldLayerThick};
}

void RestoreStart(Calculation& calc, const StepStart& b) {
  StepState& st = calc.Step;
  st.OldMassFrac1 = b.w1;
  st.OldMassFrac2 = b.w2;
  st.OldVolFrac1 = b.phi1;
  st.OldVolFrac2 = b.phi2;
  st.OldVolFracP = b.phiP;
  calc.State.OldLayerThick = b.L;
}

// The end of one sub-step becomes the start of the next, as a stored row
// becomes the start of the next step.
void AdvanceStart(Calculation& calc) {
  StepState& st = calc.Step;
  const int N = calc.Params().TotalLayerCount;
  for (int i = 0; i <= N; ++i) {
    st.OldMassFrac1[i] = st.NewMassFrac1[i];
    st.OldMassFrac2[i] = st.NewMassFrac2[i];
    st.OldVolFrac1[i] = st.NewVolFrac1[i];
    st.OldVolFrac2[i] = st.NewVolFrac2[i];
    st.OldVolFracP[i] = static_cast<double>(1.0L - (static_cast<LD>(st.NewVolFrac1[i]) + st.NewVolFrac2[i]));
  }
  for (int i = 1; i <= N; ++i) calc.State.OldLayerThick[i] = calc.State.NewLayerThick[i];
}

// The increment of z seen by the film and gas sides, for the sub-steps of
// one step; restored on leaving.
class SubstepIncrement {
 public:
  SubstepIncrement(Calculation& calc, int m) : calc_(calc), whole_(calc.Setup.Params.IncrementZ) {
    calc.Setup.Params.IncrementZ = static_cast<double>(static_cast<LD>(whole_) / m);
  }
  ~SubstepIncrement() { calc_.Setup.Params.IncrementZ = whole_; }

 private:
  Calculation& calc_;
  double whole_;
};

// The step as m sub-steps, each with its own surface balance at the step
// temperature.  Where the implicit scheme's profile undershoots below zero
// over the whole step (a steep surface drop against a fast diffusivity), the
// shorter sub-steps keep it non-negative.  The step's fluxes are the means
// over the sub-steps, so the explicit heat balance of the step sees the same
// evaporation the coating lost.
bool SolveInSubsteps(Calculation& calc, int m, std::string& reason) {
  StepState& st = calc.Step;
  const StepStart start = SaveStart(calc);
  LD F1 = 0, F2 = 0, G1 = 0, G2 = 0;
  {
    SubstepIncrement shorter(calc, m);
    for (int q = 0; q < m; ++q) {
      if (q > 0) AdvanceStart(calc);
      if (!calc.LiteralTrials) PrepareStep(calc);
      calc.Best = {};
      RobustSolve solve(calc);
      if (!solve.Run(reason)) {
        RestoreStart(calc, start);
        if (!calc.LiteralTrials) PrepareStep(calc);
        return false;
      }
      F1 += st.FilmFlux1;
      F2 += st.FilmFlux2;
      G1 += st.GasFlux1;
      G2 += st.GasFlux2;
    }
  }
  RestoreStart(calc, start);
  st.FilmFlux1 = static_cast<double>(F1 / m);
  st.FilmFlux2 = static_cast<double>(F2 / m);
  st.GasFlux1 = static_cast<double>(G1 / m);
  st.GasFlux2 = static_cast<double>(G2 / m);
  return true;
}

}  // namespace

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

bool GasSupersaturated(const Calculation& calc) {
  const RunParameters& p = calc.Params();
  const StepState& st = calc.Step;
  return p.PartialPressure1[st.Zone] >= VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T) ||
         p.PartialPressure2[st.Zone] >= VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
}

bool RescueStep(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  const int z = st.Zone;
  if (DropExhaustedSolvents(calc) && !calc.LiteralTrials) PrepareStep(calc);

  // A supersaturated gas would condense liquid on the coating.
  const double Ps1 = VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T);
  const double Ps2 = VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
  std::string reason;
  if (p.PartialPressure1[z] >= Ps1) reason = "condensation: the gas is supersaturated with solvent 1 at the film temperature";
  if (p.PartialPressure2[z] >= Ps2) reason = "condensation: the gas is supersaturated with solvent 2 at the film temperature";
  if (reason.empty()) {
    bool solved = false;
    {
      RobustSolve solve(calc);
      solved = solve.Run(reason);
    }
    for (int m = 2; !solved && m <= kMaxSubsteps; m *= 2) {
      solved = SolveInSubsteps(calc, m, reason);
      if (solved) ++calc.Stats.SplitSteps;
    }
    if (solved) {
      // What was dropped on declaring a solvent gone leaves with the gas.
      const double dt = StepTime(calc);
      if (st.Removed1 > 0) st.GasFlux1 = static_cast<double>(st.GasFlux1 + static_cast<LD>(st.Removed1) / dt);
      if (st.Removed2 > 0) st.GasFlux2 = static_cast<double>(st.GasFlux2 + static_cast<LD>(st.Removed2) / dt);
      ClearFaults();
      return true;
    }
  }
  ClearFaults();
  calc.Message(std::string(RescueFailurePrefix) + reason + "; " + StepPlace(calc) + ")");
  calc.ConvergenceOk = false;
  return false;
}

}  // namespace kelvane
