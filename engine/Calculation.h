#pragma once
// The simulation engine: one Calculation owns the run's parameters, the film
// state, the ok-flags and the working state of the step being solved; the
// engine's operations work on it by reference.  Several calculations can run
// at once, one per thread.

#include <string>
#include <vector>

#include "engine/DiffusionStep.h"
#include "engine/EngineHost.h"
#include "engine/FilmState.h"
#include "engine/RunParameters.h"
#include "engine/Statistics.h"
#include "engine/StepState.h"
#include "engine/ZoneGasBalance.h"

namespace kelvane {

// The trials after which a many-run feature settles a step early
// (Calculation::SettleAfterTrials).
constexpr int ManyRunSettleTrials = 100;
// The trials after which a many-run feature's robust solve of a step that can
// still be split gives up on it (Calculation::SplitAfterTrials).
constexpr int ManyRunSplitTrials = 100;

class Calculation {
 public:
  explicit Calculation(EngineHost* host = nullptr);

  RunSetup Setup;  // parameters, ZoneCount, ZoneStepCount, SaveFileName
  const RunParameters& Params() const { return Setup.Params; }
  FilmState State;
  StepState Step;
  bool TransferOk = true;
  bool ConvergenceOk = true;
  bool Cancelled = false;  // the host asked to stop between steps
  int CurrentZone = 0;

  // true: every trial recomputes the whole film side and solves the dense
  // systems literally (the reference path); false: the start-of-step parts
  // are computed once per step and the systems are solved by the exact fast
  // path.  Both give identical bits.
  bool LiteralTrials = false;
  // Upper bound on the trials of one step (the secant search has none).
  int MaxTrialsPerStep = 100000;
  // Robust surface solve: where the secant search fails, a damped 2x2
  // Newton iteration takes over the step.  Steps the secant search finishes
  // are untouched.
  bool Robust = false;
  // Once a step has been taken over the run has left the plain march's path;
  // from then on exhausted solvents are dropped at the start of every step,
  // and each step goes to the continuation solve (ContinuationSolve) or, with
  // it off, to the secant search with RobustSecantTrials trials before the
  // robust solve takes over.
  bool LeftPlainPath = false;
  // A robust run marched again after it failed: the plain path's balances
  // can carry an oscillating implicit profile beyond physical bounds (mass
  // fractions above one near the surface) long before a step fails.  The
  // second march is off the plain path from its first step.
  bool OffPathFromStart = false;
  // Off the plain path every step goes first to the continuation solve
  // (ContinueRescue); without it, straight to the secant search and the full
  // rescue.
  bool ContinuationSolve = true;
  int RobustSecantTrials = 60;
  // Many-run features (studies, searches, design, fits): a step whose secant
  // search has not balanced within this many trials on the plain path is
  // taken over at once, by the continuation solve (with ContinuationSolve)
  // or the full robust solve, instead of being followed for up to
  // MaxTrialsPerStep trials.  The run leaves the plain path there.  0: the
  // byte-identical robust mode of single runs.
  int SettleAfterTrials = 0;
  int MaxRescueTrials = 4000;
  // In the many-run mode (SettleAfterTrials > 0): a step the robust solve
  // cannot settle whole, or in sub-steps, within this many trials is split
  // further at once; where no split settles so, the step is solved again as
  // a single run solves it.  0: no short budget.
  int SplitAfterTrials = ManyRunSplitTrials;
  std::vector<RescuedStep> Rescued;  // reserved before the march
  TrialRecord Best;
  SurfaceHistory History;  // reset by InitializeFilmState
  // While the secant search runs in robust mode its failure messages are
  // held back: the rescue may still finish the step.
  bool DeferMessages = false;
  std::string DeferredMessage;
  // Progress is reported every this many steps.
  int ProgressInterval = 100;
  // Zones whose gas carries what the coating gave off (off: the given gas).
  ZoneGasBalance Balance;

  EngineHost& Host() { return *host_; }
  void SetHost(EngineHost* host);
  // Host calls from inside the computation: the outside world (a window's
  // event loop) must neither see nor leave floating-point fault flags.
  void Message(const std::string& text);
  void ReportProgress(int zone, int zoneCount, int step, int stepCount);
  bool PollCancel();
  Statistics Stats;

  // Fast-path caches of the current step.
  DiffusionPlan Plan1, Plan2;

 private:
  EngineHost* host_;
  SilentHost silent_;
};

}  // namespace kelvane
