// Robust surface solve.  The per-solvent secant search ignores how strongly
// the two solvents' film fluxes are coupled through the shrinking layers;
// when it throws a surface fraction out of range, cycles, or meets two equal
// residuals, a damped two-dimensional Newton iteration on
//   r_k(s1, s2) = film-side flux_k - gas-side flux_k,  k = 1, 2,
// with a finite-difference Jacobian takes over the step.  Every trial it
// evaluates is an ordinary trial of the step, so the trial that balances
// both solvents leaves the step's state exactly as the secant search would.

#include <cmath>
#include <string>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

const char* const RescueFailurePrefix = "Sorry, this condition does not converge !! (rescue failed: ";

namespace {

enum class Outcome { Balanced, Admissible, Inadmissible, Negative, Boiling, Transfer };

struct Point {
  double s1 = 0, s2 = 0;
  double r1 = 0, r2 = 0;
  double F1 = 0, F2 = 0, G1 = 0, G2 = 0;
};

class Rescue {
 public:
  explicit Rescue(Calculation& calc) : calc_(calc), st_(calc.Step) {}

  bool Run(std::string& reason);
  bool NegativeSeen() const { return negativeSeen_; }

 private:
  // Evaluates the step at (s1, s2); the point is filled for admissible trials.
  Outcome Try(double s1, double s2, Point& pt);
  double Merit(const Point& p) const {
    const double a = p.r1 / sc1_, b = p.r2 / sc2_;
    return a * a + b * b;
  }

  Calculation& calc_;
  StepState& st_;
  int trials_ = 0;
  double sc1_ = 1, sc2_ = 1;
  bool negativeSeen_ = false;
};

Outcome Rescue::Try(double s1, double s2, Point& pt) {
  if (!(s1 > 0 && s1 < 1 && s2 > 0 && s2 < 1 && s1 + s2 < 1)) return Outcome::Inadmissible;
  ++trials_;
  st_.NewMassFrac1[0] = s1;
  st_.NewMassFrac2[0] = s2;
  calc_.DeferMessages = true;
  EvaluateTrial(calc_);
  calc_.DeferMessages = false;
  calc_.DeferredMessage.clear();
  if (!calc_.TransferOk) {
    calc_.TransferOk = true;
    return Outcome::Transfer;
  }
  // Above the boiling point (P1 + P2 >= 760 mmHg) the flux law's other
  // branch would report more solvent than was put on.
  if (static_cast<LD>(st_.P1) + st_.P2 >= 760.0L) return Outcome::Boiling;
  const int N = calc_.Params().TotalLayerCount;
  for (int i = 0; i <= N; ++i)
    if (st_.NewMassFrac1[i] < -0.001 || st_.NewMassFrac2[i] < -0.001) {
      negativeSeen_ = true;
      return Outcome::Negative;
    }
  pt = {st_.NewMassFrac1[0], st_.NewMassFrac2[0],
        static_cast<double>(static_cast<LD>(st_.FilmFlux1) - st_.GasFlux1),
        static_cast<double>(static_cast<LD>(st_.FilmFlux2) - st_.GasFlux2),
        st_.FilmFlux1, st_.FilmFlux2, st_.GasFlux1, st_.GasFlux2};
  if (st_.FilmFlux1 != 0 && st_.FilmFlux2 != 0 && Converged(st_.FilmFlux1, st_.GasFlux1) &&
      Converged(st_.FilmFlux2, st_.GasFlux2))
    return Outcome::Balanced;
  return Outcome::Admissible;
}

bool Rescue::Run(std::string& reason) {
  const TrialRecord& best = calc_.Best;
  if (!best.Valid) {
    reason = "no admissible start";
    return false;
  }
  Point x{best.S1, best.S2, static_cast<double>(static_cast<LD>(best.F1) - best.G1),
          static_cast<double>(static_cast<LD>(best.F2) - best.G2), best.F1, best.F2, best.G1, best.G2};
  sc1_ = std::fabs(best.F1) + std::fabs(best.G1);
  sc2_ = std::fabs(best.F2) + std::fabs(best.G2);
  if (!(sc1_ > 0)) sc1_ = 1;
  if (!(sc2_ > 0)) sc2_ = 1;
  double merit = Merit(x);

  for (;;) {
    // Finite-difference Jacobian at x: s1 lowered by 0.1 %, then s2.
    Point a, b;
    for (int k = 0; k < 2; ++k) {
      if (trials_ >= calc_.MaxRescueTrials) {
        reason = "no balance within " + std::to_string(calc_.MaxRescueTrials) + " trials";
        return false;
      }
      Point& p = k == 0 ? a : b;
      const Outcome o = k == 0 ? Try(x.s1 * 0.999, x.s2, p) : Try(x.s1, x.s2 * 0.999, p);
      if (o == Outcome::Balanced) return true;
      if (o != Outcome::Admissible) {
        reason = "difference trial not admissible";
        return false;
      }
    }
    const double h1 = a.s1 - x.s1, h2 = b.s2 - x.s2;
    const double J11 = (a.r1 - x.r1) / h1, J21 = (a.r2 - x.r2) / h1;
    const double J12 = (b.r1 - x.r1) / h2, J22 = (b.r2 - x.r2) / h2;
    const double det = J11 * J22 - J12 * J21;
    if (!(std::isfinite(det) && det != 0)) {
      ClearFaults();
      reason = "singular Jacobian";
      return false;
    }
    const double d1 = -(J22 * x.r1 - J12 * x.r2) / det;
    const double d2 = -(-J21 * x.r1 + J11 * x.r2) / det;
    if (!(std::isfinite(d1) && std::isfinite(d2))) {
      ClearFaults();
      reason = "singular Jacobian";
      return false;
    }

    // Damped step: the first admissible trial that lowers the scaled
    // imbalance becomes the new point.
    bool moved = false;
    for (double lambda = 1; lambda >= 1e-6; lambda *= 0.5) {
      if (trials_ >= calc_.MaxRescueTrials) {
        reason = "no balance within " + std::to_string(calc_.MaxRescueTrials) + " trials";
        return false;
      }
      Point t;
      const Outcome o = Try(x.s1 + lambda * d1, x.s2 + lambda * d2, t);
      if (o == Outcome::Balanced) return true;
      if (o != Outcome::Admissible) continue;
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
}

}  // namespace

bool RescueStep(Calculation& calc) {
  const RunParameters& p = calc.Params();
  StepState& st = calc.Step;
  std::string newtonReason;
  Rescue rescue(calc);
  if (rescue.Run(newtonReason)) return true;
  ClearFaults();

  // The first reason that applies, physical before numerical.
  std::string reason;
  const int z = st.Zone;
  const double Ps1 = VaporPressure(p.VaporA1, p.VaporB1, p.VaporC1, st.T);
  const double Ps2 = VaporPressure(p.VaporA2, p.VaporB2, p.VaporC2, st.T);
  const TrialRecord& best = calc.Best;
  if (p.PartialPressure1[z] >= Ps1 || p.PartialPressure2[z] >= Ps2) {
    reason = "condensation";
  } else if (!best.Valid) {
    reason = "the coating boils";
  } else if (best.S1 < 1e-6 && best.S2 < 1e-6) {
    reason = "dry coating";
  } else if (best.S1 < 1e-6 && static_cast<LD>(best.F1) - best.G1 < 0) {
    reason = "solvent 1 exhausted";
  } else if (best.S2 < 1e-6 && static_cast<LD>(best.F2) - best.G2 < 0) {
    reason = "solvent 2 exhausted";
  } else if (rescue.NegativeSeen()) {
    reason = "negative concentrations";
  } else {
    reason = newtonReason;
  }
  calc.Message(std::string(RescueFailurePrefix) + reason + ")");
  calc.ConvergenceOk = false;
  return false;
}

}  // namespace kelvane
