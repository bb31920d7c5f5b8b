// The march through one dryer zone.  Each step is implicit in the surface
// composition: a secant search over the two surface mass fractions makes the
// solvent leaving the coating (film side) agree with the solvent carried off
// by the gas (gas side) within 0.5 %; the temperature then follows explicitly
// from the converged evaporation.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "engine/MiscCalc.h"

namespace kelvane {

using LD = long double;

double SecantStep(Calculation& calc, double x1, double x0, double f1, double f0) {
  double result = 0;
  const bool ok = Guarded([&] {
    // The slope is an intermediate of the step: it stays in extended precision.
    const LD e = (static_cast<LD>(f1) - f0) / (static_cast<LD>(x1) - x0);
    result = static_cast<double>(-(static_cast<LD>(f1) - static_cast<LD>(x1) * e) / e);
  });
  if (!ok) {
    calc.Message(ConvergenceFailureMessage);
    calc.ConvergenceOk = false;
  }
  return result;
}

namespace {

inline double Residual(double film, double gas) { return static_cast<double>(static_cast<LD>(film) - gas); }

}  // namespace

// |(F - G) / F| < 0.005, strictly.
bool Converged(double film, double gas) {
  return std::fabs((static_cast<LD>(film) - gas) / film) < 0.005L;
}

namespace {

// Settle: a many-run feature's step whose secant search is slow to balance,
// handed to the robust solve early.
enum class Search { Solved, Failed, Rescue, Settle };

// Keeps the step's best trial (smallest relative flux imbalance with the
// surface below the boiling point) as the start of a rescue.
void RecordTrial(Calculation& calc) {
  const StepState& st = calc.Step;
  if (static_cast<LD>(st.P1) + st.P2 >= 760.0L) return;
  const LD m1 = std::fabs(static_cast<LD>(st.FilmFlux1) - st.GasFlux1) /
                (std::fabs(static_cast<LD>(st.FilmFlux1)) + std::fabs(static_cast<LD>(st.GasFlux1)));
  const LD m2 = std::fabs(static_cast<LD>(st.FilmFlux2) - st.GasFlux2) /
                (std::fabs(static_cast<LD>(st.FilmFlux2)) + std::fabs(static_cast<LD>(st.GasFlux2)));
  const double merit = static_cast<double>(m1 + m2);
  if (!(merit == merit)) return;
  TrialRecord& b = calc.Best;
  if (!b.Valid || merit < b.Merit) {
    b = {true, st.NewMassFrac1[0], st.NewMassFrac2[0], st.FilmFlux1, st.FilmFlux2, st.GasFlux1, st.GasFlux2, merit};
  }
}

// Runs one trial unless the step has used up its trials.  Solved means the
// trial ran; Failed ends the zone (the surface equilibrium failed, or the
// search does not settle); Rescue hands the step to the robust solve.  The
// robust solve takes over only where the plain search cannot finish: a
// surface fraction at or below zero (its logarithm has no value), a failed
// surface equilibrium, a failed secant, the trial cap, or a repeated state
// (see SolveSurface).  Once the run has left the plain path, the search also
// gets a shorter budget.
Search Evaluate(Calculation& calc) {
  StepState& st = calc.Step;
  if (calc.Robust) {
    if (st.NewMassFrac1[0] <= 0 || st.NewMassFrac2[0] <= 0) return Search::Rescue;
    if (calc.LeftPlainPath && st.Trials >= calc.RobustSecantTrials) return Search::Rescue;
    if (calc.SettleAfterTrials > 0 && st.Trials >= calc.SettleAfterTrials) return Search::Settle;
  }
  if (st.Trials >= calc.MaxTrialsPerStep) {
    if (calc.Robust) return Search::Rescue;
    calc.Message(ConvergenceFailureMessage);
    calc.ConvergenceOk = false;
    return Search::Failed;
  }
  EvaluateTrial(calc);
  if (!calc.TransferOk) return calc.Robust ? Search::Rescue : Search::Failed;
  if (calc.Robust) RecordTrial(calc);
  return Search::Solved;
}

// The secant search is deterministic: its next trial depends only on the
// surface pair and the two secant points of each solvent.  When that whole
// state comes back exactly, the search cycles and can never finish.  Brent's
// cycle detection keeps one saved state and compares at every secant step.
class CycleWatch {
 public:
  bool Repeats(const std::array<double, 10>& state) {
    if (have_ && std::memcmp(saved_.data(), state.data(), sizeof state) == 0) return true;
    if (++length_ == power_) {
      saved_ = state;
      have_ = true;
      power_ *= 2;
      length_ = 0;
    }
    return false;
  }

 private:
  std::array<double, 10> saved_{};
  bool have_ = false;
  long power_ = 1, length_ = 0;
};

#define KELVANE_EVALUATE()                           \
  do {                                               \
    const Search e = Evaluate(calc);                 \
    if (e != Search::Solved) return e;               \
  } while (0)

// The secant search of one step over (SurfMassFrac1, SurfMassFrac2).
Search SolveSurface(Calculation& calc) {
  StepState& st = calc.Step;
  double& s1 = st.NewMassFrac1[0];
  double& s2 = st.NewMassFrac2[0];
  const double w1 = st.OldMassFrac1[0];
  const double w2 = st.OldMassFrac2[0];
  const Search onSecantFailure = calc.Robust ? Search::Rescue : Search::Failed;

  // First trial: both surface fractions 0.01 % below their start values.
  s1 = static_cast<double>(w1 - 0.0001L * w1);
  s2 = static_cast<double>(w2 - 0.0001L * w2);
  KELVANE_EVALUATE();
  double x0_1 = s1, x0_2 = s2;
  double f0_1 = Residual(st.FilmFlux1, st.GasFlux1);
  double f0_2 = Residual(st.FilmFlux2, st.GasFlux2);

  // Second trial: up 0.04 % when solvent 2 leaves the film faster than the
  // gas takes it, else down 0.06 %.
  const LD d = f0_2 > 0 ? -0.0004L : 0.0006L;
  s1 = static_cast<double>(w1 - d * w1);
  s2 = static_cast<double>(w2 - d * w2);

  double x1_1 = 0, x1_2 = 0, f1_1 = 0, f1_2 = 0;
  CycleWatch cycle;
  for (;;) {
    // Trial point.
    KELVANE_EVALUATE();
    x1_1 = s1;
    x1_2 = s2;
    f1_1 = Residual(st.FilmFlux1, st.GasFlux1);
    f1_2 = Residual(st.FilmFlux2, st.GasFlux2);
    for (;;) {
      if (calc.Robust && cycle.Repeats({s1, s2, x0_1, f0_1, x1_1, f1_1, x0_2, f0_2, x1_2, f1_2})) {
        ++calc.Stats.CycleTakeovers;
        return Search::Rescue;
      }
      const double n1 = SecantStep(calc, x1_1, x0_1, f1_1, f0_1);
      if (!calc.ConvergenceOk) return onSecantFailure;
      const double n2 = SecantStep(calc, x1_2, x0_2, f1_2, f0_2);
      if (!calc.ConvergenceOk) return onSecantFailure;
      s1 = n1;
      s2 = n2;
      KELVANE_EVALUATE();
      // A film-side flux of exactly zero faults in the relative test.
      if (calc.Robust && (st.FilmFlux1 == 0 || st.FilmFlux2 == 0)) {
        ++calc.Stats.ZeroFluxTakeovers;
        return Search::Rescue;
      }
      const bool c1 = Converged(st.FilmFlux1, st.GasFlux1);
      const bool c2 = Converged(st.FilmFlux2, st.GasFlux2);
      const double r1 = Residual(st.FilmFlux1, st.GasFlux1);
      const double r2 = Residual(st.FilmFlux2, st.GasFlux2);
      if (!c1) {
        x0_1 = x1_1; f0_1 = f1_1;
        x1_1 = s1;   f1_1 = r1;
      }
      if (!c2) {
        x0_2 = x1_2; f0_2 = f1_2;
        x1_2 = s2;   f1_2 = r2;
      }
      if (c1 && c2) return Search::Solved;
      if (!c1 && !c2) continue;
      // Exactly one balanced: restart both secants from here, nudged up.
      x0_1 = s1; f0_1 = r1;
      x0_2 = s2; f0_2 = r2;
      s1 = static_cast<double>(static_cast<LD>(s1) * 1.0005L);
      s2 = static_cast<double>(static_cast<LD>(s2) * 1.0005L);
      break;
    }
  }
}

#undef KELVANE_EVALUATE

void CountHardStep(Statistics::HardSteps& h, int trials) {
  h.Fewest = h.Count == 0 ? trials : std::min(h.Fewest, trials);
  h.Most = std::max(h.Most, trials);
  ++h.Count;
  h.Trials += trials;
}

bool NegativeProfile(const Calculation& calc) {
  const StepState& st = calc.Step;
  for (int i = 0; i <= calc.Params().TotalLayerCount; ++i)
    if (st.NewMassFrac1[i] < 0 || st.NewMassFrac2[i] < 0) return true;
  return false;
}

// The surface solve of one step, with the rescue in robust mode.
bool SolveStep(Calculation& calc, int zone, int step);

bool SolveRobustStep(Calculation& calc, int zone, int step) {
  if (!calc.LeftPlainPath || !calc.ContinuationSolve) return SolveStep(calc, zone, step);
  // Off the plain path a step the continuation settles counts as marched:
  // the run has already been reported as taken over, and its steps are
  // solved by the same rules.  What it cannot settle goes straight to the
  // full rescue (the secant search, which can fault on such a step, is not
  // tried again) and counts as taken over.
  if (ContinueRescue(calc, zone, step)) return true;
  // In a gas supersaturated at the film temperature the full rescue reports
  // condensation at once; the secant search, which may still balance such a
  // step (uptake at a surface below saturation), is tried first, as on the
  // way off the plain path.
  if (GasSupersaturated(calc)) return SolveStep(calc, zone, step);
  calc.Best = {};
  calc.TransferOk = true;
  calc.ConvergenceOk = true;
  if (!RescueStep(calc)) return false;
  calc.Rescued.push_back({zone, step});
  return true;
}

bool SolveStep(Calculation& calc, int zone, int step) {
  if (!calc.Robust) return SolveSurface(calc) == Search::Solved;
  calc.Best = {};
  calc.DeferMessages = true;
  calc.DeferredMessage.clear();
  const StepState& st = calc.Step;
  const Search result = st.Gone1 || st.Gone2 ? Search::Rescue : SolveSurface(calc);
  calc.DeferMessages = false;
  // Off the plain path, a balance whose profile undershoots below zero is
  // not accepted: the robust solve takes the step over.
  const bool undershoot = result == Search::Solved && calc.LeftPlainPath && NegativeProfile(calc);
  if (result == Search::Solved && !undershoot) return true;
  if (result == Search::Failed) {
    if (!calc.DeferredMessage.empty()) calc.Message(calc.DeferredMessage);
    return false;
  }
  calc.DeferredMessage.clear();
  calc.TransferOk = true;
  calc.ConvergenceOk = true;
  calc.LeftPlainPath = true;
  if (result == Search::Settle && calc.ContinuationSolve && SettleByContinuation(calc, zone, step)) {
    calc.Rescued.push_back({zone, step});
    return true;
  }
  if (!RescueStep(calc)) return false;
  calc.Rescued.push_back({zone, step});
  return true;
}

}  // namespace

void MarchZone(Calculation& calc, int zone) {
  const RunParameters& p = calc.Params();
  FilmState& s = calc.State;
  StepState& st = calc.Step;
  const int N = p.TotalLayerCount;
  const int n = calc.Setup.ZoneStepCount[zone];
  if (n <= 0) return;
  st.Zone = zone;
  calc.DeferMessages = false;
  if (!calc.LiteralTrials) PrepareZone(calc);
  // A failed profile fit repeats the last good fit; the zone starts from the
  // fitted profiles of its entrance.
  st.FitWork1 = s.FitVolFrac1[0];
  st.FitWork2 = s.FitVolFrac2[0];
  const LD initialLoad = (static_cast<LD>(p.InitialComposition1) + p.InitialComposition2) * p.InitialCoatingThickness;

  for (int j = 1; j <= n; ++j) {
    s.LastStep = j;
    for (int i = 0; i <= N; ++i) {
      st.OldVolFrac1[i] = s.VolFrac1[j - 1][i];
      st.OldVolFrac2[i] = s.VolFrac2[j - 1][i];
      st.OldVolFracP[i] = s.VolFracP[j - 1][i];
      st.OldMassFrac1[i] = s.MassFrac1[j - 1][i];
      st.OldMassFrac2[i] = s.MassFrac2[j - 1][i];
    }
    st.T = s.FilmTemp[j - 1];
    for (int i = 1; i <= N; ++i) s.OldLayerThick[i] = s.LayerThick[j - 1][i];
    st.Trials = 0;
    st.Gone1 = st.Gone2 = false;
    st.Removed1 = st.Removed2 = 0;
    if (calc.Robust && calc.LeftPlainPath) DropExhaustedSolvents(calc);
    if (!calc.LiteralTrials) PrepareStep(calc);

    const bool solved = calc.Robust ? SolveRobustStep(calc, zone, j) : SolveStep(calc, zone, j);
    if (solved && calc.Robust) RememberSurface(calc, zone, j);
    calc.Stats.Trials += st.Trials;
    if (st.Trials > calc.Stats.MaxTrialsPerStep) calc.Stats.MaxTrialsPerStep = st.Trials;
    if (st.Trials >= HardStepTrials) CountHardStep(calc.Stats.Hard[zone], st.Trials);
    if (!solved) return;
    ++calc.Stats.Steps;

    FilmAverages avg;
    FitFilmProfiles(calc, st.NewVolFrac1, st.NewVolFrac2, N, s.NewLayerThick, st.FitWork1, st.FitWork2, avg);
    const double T = UpdateTemperature(calc, avg.AvgConc1, avg.AvgConc2, avg.AvgPolymerConc, avg.CoatThick, st.T, zone);
    CheckFaults();  // a faulted step leaves its row untouched
    s.FilmTemp[j] = T;
    s.CoatThick[j] = avg.CoatThick;
    s.AvgConc1[j] = avg.AvgConc1;
    s.AvgConc2[j] = avg.AvgConc2;
    s.AvgPolymerConc[j] = avg.AvgPolymerConc;
    s.SolRemain[j] = static_cast<double>(
        (((static_cast<LD>(s.AvgConc1[j]) + s.AvgConc2[j]) * s.CoatThick[j]) / initialLoad) * 100.0L);
    s.ZoneTime[j] = static_cast<double>(static_cast<LD>(s.ZoneTime[j - 1]) +
                                        static_cast<LD>(p.IncrementZ) / s.WebSpeedCm);
    for (int i = 0; i <= N; ++i) {
      const double f1 = st.FitWork1[i];
      const double f2 = st.FitWork2[i];
      s.FitVolFrac1[j][i] = f1;
      s.FitVolFrac2[j][i] = f2;
      s.FitVolFracP[j][i] = static_cast<double>(1.0L - (static_cast<LD>(f1) + f2));
      const Fractions w = MassFracFromVol(f1, f2, p.Density1, p.Density2, p.PolymerDensity);
      s.FitMassFrac1[j][i] = w.F1;
      s.FitMassFrac2[j][i] = w.F2;
      s.FitMassFracP[j][i] = w.FP;
      s.VolFrac1[j][i] = st.NewVolFrac1[i];
      s.VolFrac2[j][i] = st.NewVolFrac2[i];
      s.VolFracP[j][i] = static_cast<double>(1.0L - (static_cast<LD>(s.VolFrac1[j][i]) + s.VolFrac2[j][i]));
      s.MassFrac1[j][i] = st.NewMassFrac1[i];
      s.MassFrac2[j][i] = st.NewMassFrac2[i];
      s.MassFracP[j][i] = static_cast<double>(1.0L - (static_cast<LD>(s.MassFrac1[j][i]) + s.MassFrac2[j][i]));
      s.LayerThick[j][i] = s.NewLayerThick[i];
    }
    CheckFaults();

    if (j % calc.ProgressInterval == 0 || j == n)
      calc.ReportProgress(zone, calc.Setup.ZoneCount, j, n);
    if (j < n && calc.PollCancel()) {
      calc.Cancelled = true;
      return;
    }
  }
  for (int j = 1; j <= n; ++j)
    s.RunTime[zone][j] = static_cast<double>(static_cast<LD>(s.RunTime[zone][0]) + s.ZoneTime[j]);
}

}  // namespace kelvane
