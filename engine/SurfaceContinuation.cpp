// The robust surface solve of a step off the plain path, by continuation.
// From one step to the next the balanced surface fractions move smoothly
// (the coating dries along the web), so the logarithms u_k = ln s_k of the
// last two steps, extrapolated linearly, put the first trial close to the
// balance, and the Jacobian dr/du of the previous step is close to this
// step's.  The solve is a quasi-Newton iteration in u: it starts with the
// carried Jacobian, corrects it with Broyden's rank-one update after every
// trial, and forms it afresh by forward differences only where the
// imbalance stops falling fast.  A step costs one to three trials where the
// full robust solve (SurfaceRescue.cpp) spends ten or more; what this cannot
// settle within a few trials goes to that solve unchanged.
//
// Every trial is an ordinary trial of the step with the rescue's own rules
// (admissible surface, no boiling, no negative node, the rescue's balance
// test), so the accepted one leaves the step's state as the march uses it.

#include <algorithm>
#include <cmath>

#include "engine/SurfaceTrial.h"

namespace kelvane {

namespace {

constexpr int kTrialBudget = 10;      // trials before the full solve takes over
constexpr double kMaxPredict = 1.0;   // largest extrapolated move of ln s
constexpr double kMaxStep = 2.0;      // largest quasi-Newton move of ln s
constexpr double kDiffStep = 1e-3;    // finite-difference step in ln s
constexpr double kSlowdown = 0.25;    // merit must fall by this factor per trial
constexpr double kSettled = 0.01;     // share of the tolerance a step is settled to

struct Trial : SurfaceTrial {
  double merit = 0;
  bool balanced = false;
};

class Continuation {
 public:
  explicit Continuation(Calculation& calc) : calc_(calc), st_(calc.Step), trials_(calc) {
    gone_[0] = trials_.Gone(0);
    gone_[1] = trials_.Gone(1);
    for (int k = 0; k < 2; ++k)
      if (!gone_[k]) active_[n_++] = k;
  }

  bool Run(int zone, int step);

 private:
  bool Try(const double s[2], Trial& t);
  bool Differences(const Trial& x, double J[2][2], Trial& balanced, bool& done);
  bool Predict(int zone, int step, double s[2]) const;
  bool NewtonPoint(const Trial& x, const double J[2][2], double next[2]) const;
  void Broyden(const Trial& x, const Trial& t, double J[2][2]) const;

  Calculation& calc_;
  StepState& st_;
  SurfaceTrials trials_;
  bool gone_[2];
  int active_[2] = {0, 0}, n_ = 0;
};

// One trial of the step; false where the rescue would not admit it, or
// where its merit is no number or a solvent present left no surface value.
bool Continuation::Try(const double sIn[2], Trial& t) {
  if (trials_.Try(sIn[0], sIn[1], t) != TrialOutcome::Admissible) return false;
  t.balanced = trials_.Balanced(t);
  t.merit = trials_.Merit(t);
  if (!std::isfinite(t.merit) || !(t.s[0] > 0 || gone_[0]) || !(t.s[1] > 0 || gone_[1])) return false;
  return true;
}

// The first trial: the last two steps' surface values extrapolated in ln s
// within a zone, the start-of-step surface otherwise.
bool Continuation::Predict(int zone, int step, double s[2]) const {
  const SurfaceHistory& h = calc_.History;
  const bool follows = h.Count >= 1 && h.Zone == zone && h.Step == step - 1;
  const bool line = follows && h.Count >= 2;
  const double old[2] = {st_.OldMassFrac1[0], st_.OldMassFrac2[0]};
  for (int a = 0; a < n_; ++a) {
    const int k = active_[a];
    const double last = follows && h.S[0][k] > 0 ? h.S[0][k] : old[k];
    if (!(last > 0)) return false;
    double u = std::log(last);
    if (line && h.S[0][k] > 0 && h.S[1][k] > 0)
      u += std::clamp(std::log(h.S[0][k]) - std::log(h.S[1][k]), -kMaxPredict, kMaxPredict);
    s[k] = std::exp(u);
  }
  return true;
}

// Forward differences in ln s at x, one trial per active solvent; a
// difference trial that balances ends the step (done).
bool Continuation::Differences(const Trial& x, double J[2][2], Trial& balanced, bool& done) {
  for (int a = 0; a < n_; ++a) {
    const int k = active_[a];
    double s[2] = {x.s[0], x.s[1]};
    s[k] = x.s[k] * std::exp(kDiffStep);
    Trial t;
    if (!Try(s, t)) return false;
    if (t.balanced) {
      balanced = t;
      done = true;
      return true;
    }
    const double du = std::log(t.s[k]) - std::log(x.s[k]);
    if (!(du != 0)) return false;
    for (int b = 0; b < n_; ++b) J[b][a] = (t.r(active_[b]) - x.r(active_[b])) / du;
  }
  return true;
}

// The quasi-Newton point from x: the Newton step in ln s, at most kMaxStep
// long.  A solvent whose balance does not feel its own surface value (a
// trace held inside the coating, its evaporation diffusion-limited and within
// the absolute tolerance) stays where it is where the Jacobian is singular;
// the others then move along their own slopes.
bool Continuation::NewtonPoint(const Trial& x, const double J[2][2], double next[2]) const {
  double d[2] = {0, 0};
  const double r0 = x.r(active_[0]), r1 = n_ == 2 ? x.r(active_[1]) : 0;
  const double det = n_ == 1 ? J[0][0] : J[0][0] * J[1][1] - J[0][1] * J[1][0];
  const double size = n_ == 1 ? std::fabs(J[0][0]) : std::fabs(J[0][0] * J[1][1]) + std::fabs(J[0][1] * J[1][0]);
  if (std::isfinite(det) && std::fabs(det) > 1e-9 * size) {
    if (n_ == 1) {
      d[0] = -r0 / J[0][0];
    } else {
      d[0] = -(J[1][1] * r0 - J[0][1] * r1) / det;
      d[1] = -(-J[1][0] * r0 + J[0][0] * r1) / det;
    }
  } else {
    for (int a = 0; a < n_; ++a)
      if (std::isfinite(J[a][a]) && J[a][a] != 0) d[a] = -x.r(active_[a]) / J[a][a];
  }
  double big = 0;
  for (int a = 0; a < n_; ++a) big = std::max(big, std::fabs(d[a]));
  if (!std::isfinite(big) || big == 0) return false;
  const double lambda = big > kMaxStep ? kMaxStep / big : 1;
  next[0] = x.s[0];
  next[1] = x.s[1];
  for (int a = 0; a < n_; ++a) next[active_[a]] = x.s[active_[a]] * std::exp(lambda * d[a]);
  return true;
}

// Broyden's rank-one correction of J from the move x -> t:
// J += (dr - J du) du^T / (du^T du).
void Continuation::Broyden(const Trial& x, const Trial& t, double J[2][2]) const {
  double du[2] = {0, 0}, dr[2] = {0, 0}, dd = 0;
  for (int a = 0; a < n_; ++a) {
    du[a] = std::log(t.s[active_[a]]) - std::log(x.s[active_[a]]);
    dr[a] = t.r(active_[a]) - x.r(active_[a]);
    dd += du[a] * du[a];
  }
  if (!(dd > 0)) return;
  for (int a = 0; a < n_; ++a) {
    double Jdu = 0;
    for (int b = 0; b < n_; ++b) Jdu += J[a][b] * du[b];
    for (int b = 0; b < n_; ++b) J[a][b] += (dr[a] - Jdu) * du[b] / dd;
  }
}

bool Continuation::Run(int zone, int step) {
  if (n_ == 0) return false;  // a dry coating: the full solve settles it
  SurfaceHistory& h = calc_.History;
  double s[2] = {0, 0};
  if (!Predict(zone, step, s)) return false;
  Trial x;
  if (!Try(s, x)) return false;
  double J[2][2] = {{0, 0}, {0, 0}};
  bool fresh = false;
  if (h.JacobianValid && h.Gone[0] == gone_[0] && h.Gone[1] == gone_[1]) {
    for (int a = 0; a < 2; ++a)
      for (int b = 0; b < 2; ++b) J[a][b] = h.J[a][b];
  } else if (!x.balanced) {
    bool done = false;
    Trial t;
    if (!Differences(x, J, t, done)) return false;
    if (done) x = t;
    fresh = true;
  }
  while (!x.balanced) {
    if (trials_.Count() >= kTrialBudget) return false;
    double next[2];
    if (!NewtonPoint(x, J, next)) return false;
    Trial t;
    const bool admitted = Try(next, t);
    if (admitted && t.balanced) {
      x = t;
      break;
    }
    if (admitted) Broyden(x, t, J);
    const bool improved = admitted && t.merit < x.merit;
    if (improved) {
      const bool slow = t.merit > kSlowdown * x.merit;
      x = t;
      fresh = false;
      if (!slow) continue;
    }
    // Convergence slowed (or the step was refused): a fresh Jacobian at the
    // best point, once.
    if (fresh) return false;
    bool done = false;
    Trial b;
    if (!Differences(x, J, b, done)) return false;
    if (done) {
      x = b;
      break;
    }
    fresh = true;
  }
  // A step settled just inside the tolerance, from the same side step after
  // step (the extrapolated start lags the drying), biases the evaporation
  // over a run: on a short two-zone dryer by 0.02 percentage points of
  // solvent and 0.03 K at the exit, against the same steps settled tightly.  The quasi-Newton iteration therefore
  // goes on, its Jacobian corrected as before, until the imbalance is a
  // hundredth of the tolerance, or a trial no longer improves, or the trials
  // run out.  The step's state must be that of the best trial: a last trial
  // that did not improve is undone by trying the best surface values again
  // (a trial is deterministic).
  bool lastIsBest = true;
  while (x.merit > kSettled * kSettled * n_ && trials_.Count() < kTrialBudget) {
    double next[2];
    if (!NewtonPoint(x, J, next)) break;
    Trial t;
    const int before = trials_.Count();
    const bool admitted = Try(next, t);
    if (!admitted || !t.balanced || !(t.merit < x.merit)) {
      lastIsBest = trials_.Count() == before;  // no film solve: the state is still x's
      break;
    }
    Broyden(x, t, J);
    x = t;
  }
  if (!lastIsBest) {
    Trial t;
    if (!Try(x.in, t) || !t.balanced) return false;
  }
  h.JacobianValid = true;
  h.Gone[0] = gone_[0];
  h.Gone[1] = gone_[1];
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) h.J[a][b] = J[a][b];
  return true;
}

}  // namespace

bool ContinueRescue(Calculation& calc, int zone, int step) {
  Continuation c(calc);
  const bool solved = c.Run(zone, step);
  // The iteration's own arithmetic (a merit or a Broyden quotient that
  // overflows) must not leave fault flags for the march's checkpoints.
  ClearFaults();
  if (!solved) {
    calc.History.JacobianValid = false;
    return false;
  }
  CarryRemovedWithGas(calc);
  ClearFaults();
  return true;
}

bool SettleByContinuation(Calculation& calc, int zone, int step) {
  if (DropExhaustedSolvents(calc) && !calc.LiteralTrials) PrepareStep(calc);
  return ContinueRescue(calc, zone, step);
}

void RememberSurface(Calculation& calc, int zone, int step) {
  SurfaceHistory& h = calc.History;
  const bool follows = h.Count >= 1 && h.Zone == zone && h.Step == step - 1;
  h.S[1][0] = h.S[0][0];
  h.S[1][1] = h.S[0][1];
  h.S[0][0] = calc.Step.NewMassFrac1[0];
  h.S[0][1] = calc.Step.NewMassFrac2[0];
  h.Count = follows ? 2 : 1;
  h.Zone = zone;
  h.Step = step;
}

}  // namespace kelvane
