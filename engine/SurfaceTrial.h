#pragma once
// One trial of a step off the secant search, as both robust surface solves
// make it (the full solve of SurfaceRescue.cpp and the continuation of
// SurfaceContinuation.cpp): set the surface mass fractions, solve the film,
// shrink the layers, form the gas-side flux allowing an absent solvent, and
// judge the trial by the robust rules (an admissible surface, no boiling, no
// node below zero, the robust balance test).  The solves differ only in what
// they do with the outcome.

#include "engine/MiscCalc.h"

namespace kelvane {

enum class TrialOutcome {
  Admissible,    // a physical trial; its surface values and fluxes are recorded
  Inadmissible,  // the surface values are no mixture: no trial was made
  Negative,      // a node of either profile undershoots below zero
  Boiling,       // the surface partial pressures reach the ambient 760 mmHg
  Transfer,      // the surface equilibrium or the film side faulted
};

// What an admissible trial left: the values tried (a solvent gone tried at
// 0), the surface values the film side kept, and the fluxes, g/(cm^2.s).
struct SurfaceTrial {
  double in[2] = {0, 0};
  double s[2] = {0, 0};
  double F[2] = {0, 0}, G[2] = {0, 0};  // film side, gas side
  // Film-side minus gas-side flux of solvent k.
  double r(int k) const { return static_cast<double>(static_cast<long double>(F[k]) - G[k]); }
};

// The trials of one step, with what the robust balance test needs of the
// step: the solvents gone, the step time and each solvent's content at the
// start of the step.
class SurfaceTrials {
 public:
  explicit SurfaceTrials(Calculation& calc);

  // Leaves the step's state as this trial leaves it (the film side of an
  // inadmissible surface is not solved).
  TrialOutcome Try(double s1, double s2, SurfaceTrial& t);
  // Trials made (film solved) by this solve.
  int Count() const { return count_; }
  bool Gone(int k) const { return gone_[k]; }
  // The absolute tolerance of solvent k's balance at trial t.
  double Scale(const SurfaceTrial& t, int k) const;
  // A solvent gone is balanced.
  bool Balanced(const SurfaceTrial& t, int k) const;
  bool Balanced(const SurfaceTrial& t) const { return Balanced(t, 0) && Balanced(t, 1); }
  // Sum over the solvents present of (r / (scale + 0.005 |F|))^2: below one
  // for each solvent within both of its tests.
  double Merit(const SurfaceTrial& t) const;

 private:
  Calculation& calc_;
  StepState& st_;
  bool gone_[2];
  double dt_ = 1, M_[2] = {0, 0};
  int count_ = 0;
};

// The time of one step, s.
double StepTime(const Calculation& calc);
// What the step took out of the coating on declaring a solvent gone leaves
// with the gas within the step: added to the gas-side flux of a solved step.
void CarryRemovedWithGas(Calculation& calc);

}  // namespace kelvane
