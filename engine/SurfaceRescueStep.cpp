// A step taken over by the robust surface solve: an exhausted solvent is
// dropped first; a gas supersaturated at the film temperature (partial
// pressure at or above the pure solvent's saturation pressure) would condense
// liquid on the coating, which the model does not represent, and ends the
// run naming the zone and the solvent; a step the solve cannot settle whole
// is split into sub-steps; what still fails ends the run with a physical
// reason, the zone, the position and the time of the step.

#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/SurfaceTrial.h"

namespace kelvane {

using LD = long double;

const char* const RescueFailurePrefix = "Sorry, this condition does not converge !! (rescue failed: ";

namespace {

constexpr int kMaxSubsteps = 64;  // finest split of a step

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

// The trials of one robust solve while the step can still be split, in the
// many-run mode.  A step the solve cannot settle whole is one whose implicit
// profile undershoots below zero over the whole step (a steep surface drop
// against a fast diffusivity): there the whole-step solve spends a thousand
// trials or more before it gives up, while the sub-steps settle in a handful
// each.
class RescueBudget {
 public:
  RescueBudget(Calculation& calc, bool shortBudget) : calc_(calc), full_(calc.MaxRescueTrials) {
    if (shortBudget) calc.MaxRescueTrials = std::min(full_, calc.SplitAfterTrials);
  }
  ~RescueBudget() { calc_.MaxRescueTrials = full_; }

 private:
  Calculation& calc_;
  int full_;
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
  bool failed = false;
  {
    SubstepIncrement shorter(calc, m);
    for (int q = 0; q < m; ++q) {
      if (q > 0) AdvanceStart(calc);
      if (!calc.LiteralTrials) PrepareStep(calc);
      calc.Best = {};
      if (!SolveSurfaceRobustly(calc, reason)) {
        failed = true;
        break;
      }
      F1 += st.FilmFlux1;
      F2 += st.FilmFlux2;
      G1 += st.GasFlux1;
      G2 += st.GasFlux2;
    }
  }
  RestoreStart(calc, start);
  if (failed) {
    // The whole step's film side again, at the whole increment: what is
    // tried next (a finer split, or the whole step) starts from it.
    if (!calc.LiteralTrials) PrepareStep(calc);
    return false;
  }
  st.FilmFlux1 = static_cast<double>(F1 / m);
  st.FilmFlux2 = static_cast<double>(F2 / m);
  st.GasFlux1 = static_cast<double>(G1 / m);
  st.GasFlux2 = static_cast<double>(G2 / m);
  return true;
}

}  // namespace

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
    // A many-run feature first tries the whole step and every split on a
    // short budget, then, where none settles, the single run's sequence in
    // full.
    bool solved = false;
    const TrialRecord best = calc.Best;  // the secant search's, where the solve starts
    for (const bool shortBudget : {calc.SettleAfterTrials > 0 && calc.SplitAfterTrials > 0, false}) {
      if (!shortBudget && solved) break;
      calc.Best = best;
      {
        RescueBudget budget(calc, shortBudget);
        solved = SolveSurfaceRobustly(calc, reason);
      }
      for (int m = 2; !solved && m <= kMaxSubsteps; m *= 2) {
        RescueBudget budget(calc, shortBudget);
        solved = SolveInSubsteps(calc, m, reason);
        if (solved) ++calc.Stats.SplitSteps;
      }
      if (!shortBudget) break;
    }
    if (solved) {
      CarryRemovedWithGas(calc);
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
