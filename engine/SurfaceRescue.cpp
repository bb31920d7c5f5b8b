// The full robust surface solve of one step.  Where the per-solvent secant
// search cannot finish a step, this solve takes it over (RescueStep), and it
// settles what the continuation solve could not.  It carries the regimes in
// which a dryer does its real work and the secant search breaks down:
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
// 2. An exhausted solvent is dropped before the solve (DropExhaustedSolvents):
//    the solve balances the one solvent left.
// 3. A dry coating.  With both solvents gone nothing evaporates: the trial at
//    (0, 0) balances trivially and the heat balance alone moves the film
//    temperature towards the gas temperature at the dry thickness.
// 4. Uptake from the gas.  A gas partial pressure above the surface
//    equilibrium gives a negative flux, which the balance carries like any
//    other.
//
// The solve is a damped Newton iteration in u with a finite-difference
// Jacobian and a backtracking line search; where it stalls, nested bracketed
// one-dimensional solves take over (each solvent's imbalance falls as its own
// surface fraction rises).  Every trial is an ordinary trial of the step
// (SurfaceTrials), so the accepted one leaves the step's state exactly as the
// march uses it.

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "engine/SurfaceTrial.h"

namespace kelvane {

using LD = long double;

namespace {

constexpr double kTinySurface = 1e-30;     // lowest surface fraction tried
constexpr double kDiffStep = 1e-3;         // finite-difference step in ln s

using Outcome = TrialOutcome;
using Point = SurfaceTrial;

class RobustSolve {
 public:
  explicit RobustSolve(Calculation& calc) : calc_(calc), st_(calc.Step), trials_(calc) {}

  bool Run(std::string& reason);

 private:
  Outcome Try(double s1, double s2, Point& pt);
  bool Balanced(const Point& p, int k) const { return trials_.Balanced(p, k); }
  bool Balanced(const Point& p) const { return trials_.Balanced(p); }
  double Merit(const Point& p) const { return trials_.Merit(p); }
  bool Gone(int k) const { return trials_.Gone(k); }
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
    if (trials_.Count() < calc_.MaxRescueTrials) return false;
    reason = "no balance within " + std::to_string(calc_.MaxRescueTrials) + " trials";
    return true;
  }
  // Leaves the step's state as the trial at p left it.
  bool Finish(const Point& p, std::string& reason);

  Calculation& calc_;
  StepState& st_;
  SurfaceTrials trials_;
  double start_[2] = {1e-12, 1e-12};
  bool floorOk_ = true;  // where the bracketed searches start
  bool boilingSeen_ = false;
};

Outcome RobustSolve::Try(double s1, double s2, Point& pt) {
  const Outcome o = trials_.Try(s1, s2, pt);
  if (o == Outcome::Boiling) boilingSeen_ = true;
  return o;
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
    if (!Gone(k)) active[n++] = k;
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
  const double room = Gone(j) ? 1 : 1 - other;
  const char* what = k == 0 ? "solvent 1" : "solvent 2";
  return Bracket(std::log(Start(k)), std::log(kTinySurface), std::log(0.999999 * room), eval, pt, reason, what);
}

bool RobustSolve::Nested(std::string& reason) {
  Point pt;
  if (Gone(0) || Gone(1)) {
    const int k = Gone(0) ? 1 : 0;
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
  if (Gone(0) && Gone(1)) {
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

}  // namespace

bool SolveSurfaceRobustly(Calculation& calc, std::string& reason) {
  RobustSolve solve(calc);
  return solve.Run(reason);
}

}  // namespace kelvane
