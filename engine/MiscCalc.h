#pragma once
// The simulation engine: one Calculation owns the run's parameters, the film
// state, the ok-flags and the working state of the step being solved; the
// engine's operations work on it by reference.  Several calculations can run
// at once, one per thread.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineHost.h"
#include "engine/Faults.h"
#include "engine/FilmState.h"
#include "engine/RunParameters.h"

namespace kelvane {

// ---------------------------------------------------------------------------
// Linear-system storage of the implicit diffusion step: rows and columns
// 1..51, column n+1 holding the right-hand side.
constexpr int SystemSize = 51;
using SystemMatrix = std::array<std::array<double, SystemSize + 1>, SystemSize + 1>;
using SystemVector = std::array<double, SystemSize + 1>;

// The molar-volume quotients of solvent i's activity (j the other solvent),
// constant through a run: Vi / Vj, (Vi / Vj) chi_jp as the bulk activity
// forms it and (chi_jp Vi) / Vj as the surface activity forms it.  Not Valid
// where forming them faults.
struct ActivityConstants {
  bool Valid = false;
  long double Ratio = 0, RatioChi = 0, ChiRatio = 0;
};

// Working state of the step being solved (start-of-step profiles, trial
// profiles, fluxes) and of the trials' film side.
struct StepState {
  int Zone = 0;
  double T = 0;  // step temperature, degC
  NodeRow OldMassFrac1{}, OldMassFrac2{};
  NodeRow OldVolFrac1{}, OldVolFrac2{}, OldVolFracP{};
  NodeRow NewMassFrac1{}, NewMassFrac2{}, NewMassFracP{};  // entry 0 = SurfMassFrac1/2
  NodeRow NewVolFrac1{}, NewVolFrac2{};
  NodeRow BaseDiff1{}, BaseDiff2{}, CorrDiff1{}, CorrDiff2{}, EffDiff1{}, EffDiff2{};
  NodeRow NewConc1{}, NewConc2{};
  double FilmFlux1 = 0, FilmFlux2 = 0, GasFlux1 = 0, GasFlux2 = 0;  // g/(cm^2.s)
  // Smoothed working profiles: a failed fit leaves the last good ones here.
  NodeRow FitWork1{}, FitWork2{};
  int Trials = 0;  // trials of the current step
  // Fast path: values that depend only on the step temperature and the zone.
  double Ps1 = 0, Ps2 = 0;        // saturation pressures at T, mmHg
  double Ktrans1 = 0, Ktrans2 = 0;  // gas-side mass-transfer coefficients, cm/s
  double P1 = 0, P2 = 0;  // surface partial pressures of the last trial, mmHg
  ActivityConstants Act1, Act2;  // each solvent's activity quotients
  // Fast path: each layer's start-of-step volume fractions (the mean of its
  // two nodes; the polymer's is what the solvents leave), entries 1..N.
  NodeRow OldLayerFrac1{}, OldLayerFrac2{}, OldLayerFracP{};
  // Robust surface solve: a solvent whose content fell below the exhaustion
  // threshold is gone for the step (its profile zero, its surface value 0);
  // Removed is what the step took out of the coating on declaring it gone,
  // g/cm^2, carried off by the gas within the step.
  bool Gone1 = false, Gone2 = false;
  double Removed1 = 0, Removed2 = 0;
};

// Robust surface solve: the best trial of the step so far, the start of the
// rescue.
struct TrialRecord {
  bool Valid = false;
  double S1 = 0, S2 = 0;          // surface mass fractions as the trial left them
  double F1 = 0, F2 = 0;          // film-side fluxes
  double G1 = 0, G2 = 0;          // gas-side fluxes
  double Merit = 0;               // sum |F - G| / (|F| + |G|)
};

// Robust surface solve off the plain path: the balanced surface fractions of
// the last two steps (0 the latest; 0 for a solvent gone) and the Jacobian
// d(F - G)/d(ln s) of the last step solved by continuation, over the solvents
// not gone then, in their order.
struct SurfaceHistory {
  int Count = 0;  // consecutive steps remembered (0, 1 or 2)
  int Zone = 0, Step = 0;  // of the latest
  double S[2][2] = {{0, 0}, {0, 0}};
  bool JacobianValid = false;
  bool Gone[2] = {false, false};
  double J[2][2] = {{0, 0}, {0, 0}};
};

struct RescuedStep {
  int Zone = 0;
  int Step = 0;
};

// What the fast path keeps from the start of a step: everything of the film
// side that does not depend on the trial's surface values.
struct DiffusionPlan {
  int N = 0;
  NodeRow ColdI{};               // start-of-step concentrations
  // The step's tridiagonal matrix by rows: M[k][k-1], M[k][k], M[k][k+1].
  // The full matrix is formed from them only for the literal fallback.
  SystemVector Sub{}, Diag{}, Super{};
  SystemVector Rhs{};            // right-hand side; row 1 lacks the surface term
  long double SurfaceFactor = 0; // (r1 dz[2]) / dz[1], as row 1 forms it
  double S1 = 0;                 // s_1 of row 1
  // Recorded Gauss-Jordan elimination, by position in the row order.  Per
  // stage k: the position swapped into place (k or k+1), the pivot, the
  // column-k factor of the row below (position k+1; zero where that row takes
  // no part) and the column-k factors of the pivoted rows above, positions
  // 1..k-1, from Above[(k-1)(k-2)/2] on.
  std::array<uint8_t, SystemSize + 1> Swap{};
  bool Swapped = false;  // some stage exchanged rows
  std::array<double, SystemSize + 1> PivotValue{};
  std::array<double, SystemSize + 1> Below{};
  std::array<double, SystemSize * (SystemSize - 1) / 2> Above{};
  bool Valid = false;
};

struct Statistics {
  long long Steps = 0;
  long long Trials = 0;
  int MaxTrialsPerStep = 0;
  long long SplitSteps = 0;  // robust steps solved in sub-steps
  int Marches = 0;           // 2 when a robust run was marched again
  // Secant searches handed to the robust solve because their state came
  // back exactly (a cycle) or a trial's film-side flux was exactly zero.
  long long CycleTakeovers = 0;
  long long ZeroFluxTakeovers = 0;
  // Hard steps (at least HardStepTrials trials of their surface solve) per
  // zone 1..14: how many, the fewest and most trials of one, and their
  // trials together.
  struct HardSteps {
    int Count = 0, Fewest = 0, Most = 0;
    long long Trials = 0;
  };
  std::array<HardSteps, MaxZones + 1> Hard{};
};

// A step whose surface solve needs this many trials is hard: a plain step
// needs a handful.
constexpr int HardStepTrials = 1000;
// The trials after which a many-run feature settles a step early
// (Calculation::SettleAfterTrials).
constexpr int ManyRunSettleTrials = 100;

// Zones whose gas carries what the coating gave off: each zone's gas is
// well mixed, fed with make-up air at the given partial pressures and
// exhausted at a given flow, so its solvent partial pressures follow from the
// zone's own balance (see ZoneBalance.cpp).
struct ZoneGasBalance {
  bool On = false;
  // Per 1-based zone: the exhaust's volume at the zone's gas temperature per
  // m^2 of web passing, m^3/m^2; 0 keeps the zone's given gas.
  double ExhaustPerArea[MaxZones + 1] = {};
  // The make-up air's partial pressures, mmHg (the zone's given gas).
  double MakeUp1[MaxZones + 1] = {}, MakeUp2[MaxZones + 1] = {};
  // What the last balanced march of each zone took: marches, and the largest
  // relative imbalance of its two solvent balances.
  int Marches[MaxZones + 1] = {};
  double Imbalance[MaxZones + 1] = {};
  int MaxMarches = 60;
  double Tolerance = 1e-6;
};

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

// ---------------------------------------------------------------------------
// Engine state (fraction conversions, initial state, carry-over).
struct Fractions {
  double F1, F2, FP;
};
// Volume fractions -> mass fractions; the polymer takes what the solvents
// leave.  Its fraction and the density-weighted sum are intermediates held in
// extended precision; the three mass fractions are the stored results.
// Inline: the march stores each fraction where it belongs, instead of
// reading the returned record back across its separately stored halves.
inline Fractions MassFracFromVol(double phi1, double phi2, double rho1, double rho2, double rhoP) {
  const long double phiP = 1.0L - (static_cast<long double>(phi1) + phi2);
  const long double S = (static_cast<long double>(phi1) * rho1 + static_cast<long double>(phi2) * rho2) +
                        phiP * rhoP;
  const double w1 = static_cast<double>(static_cast<long double>(phi1) * rho1 / S);
  const double w2 = static_cast<double>(static_cast<long double>(phi2) * rho2 / S);
  const double wP = static_cast<double>(1.0L - (static_cast<long double>(w1) + w2));
  return {w1, w2, wP};
}
Fractions VolFracFromMass(double w1, double w2, double rho1, double rho2, double rhoP);

void InitializeFilmState(Calculation& calc);
void CarryOverToNextZone(Calculation& calc);

// ---------------------------------------------------------------------------
// Physical property models.  F points at the solvent's parameters indexed
// 1..11 (DiffParams1 or DiffParams2).
double CalcDconst(double F1, double F2, double T);
double CalcOmegaG(double F3, double F4, double Dconst);
double CalcBaseDiff(const double* F, double omega, double omegaG, double Dconst);
// The branch below omega_g, with ln Dconst given (the same for every node).
double CalcBaseDiffBelow(const double* F, double omega, double omegaG, long double lnDconst);
double ThermoFactor(double chiIP, double chiJP, double chiIJ, double Vi, double Vj, double phiI, double phiJ,
                    double phiP);
// Forms solvent i's quotients.
ActivityConstants FormActivityConstants(double chiJP, double Vi, double Vj);
// The same bits as ThermoFactor with each logarithm formed once and the
// quotients given (k Valid).
double ThermoFactorFast(double chiIP, double chiIJ, const ActivityConstants& k, double phiI, double phiJ,
                        double phiP);
double MassFracToConc(double wi, double wj, double rhoI, double rhoJ, double rhoP);
double ConcToMassFrac(double ci, double cj, double rhoI, double rhoJ, double rhoP);
double VaporPressure(double A, double B, double C, double T);
// The surface partial pressure, or nothing when the surface activity cannot
// be evaluated (ln or exp of the guarded trial faults).
std::optional<double> TrySurfacePartialPressure(double T, double phiI, double phiJ, double Vi, double Vj, double A,
                                                double B, double C, double chiIP, double chiJP, double chiIJ);
// The same at a given saturation pressure Ps.
std::optional<double> SurfacePartialPressureAt(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                               double chiIP, double chiJP, double chiIJ);
// The same bits, skipping the guarded trial where it cannot fault, with the
// quotients given (k Valid).
std::optional<double> SurfacePartialPressureFast(double Ps, double phiI, double phiJ, double Vi, double Vj,
                                                 double chiIP, double chiJP, double chiIJ,
                                                 const ActivityConstants& k);
// As above; on failure shows the engine's message and clears TransferOk.
double SurfacePartialPressure(Calculation& calc, double T, double phiI, double phiJ, double Vi, double Vj, double A,
                              double B, double C, double chiIP, double chiJP, double chiIJ);
// Shows the failure of a surface partial pressure; returns the value or 0.
double SurfacePartialPressureReported(Calculation& calc, const std::optional<double>& P);
double MassTransferCoeff(double airDiffusivity, double h);

extern const char* const TransferFailureMessage;     // SurfacePartialPressure
extern const char* const ConvergenceFailureMessage;  // SecantStep
extern const char* const FitFailureMessage;          // FitFilmProfiles

// ---------------------------------------------------------------------------
// Implicit diffusion step (Crank-Nicolson on the non-uniform layer grid).
// incrementZ / webSpeedCm is the step time.
void DiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                   double rhoJ, double rhoP, double wsi, double wsj, int N, double incrementZ, double webSpeedCm,
                   NodeRow& ci);
// Builds the system M x = B of one diffusion step (rows/columns 1..N).
void BuildDiffusionSystem(const NodeRow& cold, double cnew0, const NodeRow& D, const NodeRow& dz, int N,
                          double incrementZ, double webSpeedCm, SystemMatrix& M, SystemVector& B);
// Dense Gauss-Jordan elimination with partial pivoting through a row order.
void SolveLinearSystem(const SystemMatrix& A, const SystemVector& b, int n, SystemVector& x);
// The same elimination, skipping the products with an exactly zero factor:
// identical bits, a fraction of the work on the banded systems of the march.
void SolveLinearSystemFast(const SystemMatrix& A, const SystemVector& b, int n, SystemVector& x);

// Fast path of a step: eliminate the matrix once, then replay the
// elimination on each trial's right-hand side.
void PlanDiffusionStep(const NodeRow& wi, const NodeRow& wj, const NodeRow& D, const NodeRow& dz, double rhoI,
                       double rhoJ, double rhoP, int N, double incrementZ, double webSpeedCm, DiffusionPlan& plan);
// Both solvents' plans at once (their eliminations interleaved): the same
// plans as two calls of PlanDiffusionStep.
void PlanDiffusionSteps(const NodeRow& w1, const NodeRow& w2, const NodeRow& D1, const NodeRow& D2,
                        const NodeRow& dz, double rho1, double rho2, double rhoP, int N, double incrementZ,
                        double webSpeedCm, DiffusionPlan& plan1, DiffusionPlan& plan2);
// zeroSigns: where the replayed solution holds an exact zero, the literal
// elimination decides its sign (the other values are the same bits either
// way); without it the replay's zero stands.
void ApplyDiffusionPlan(const DiffusionPlan& plan, double rhoI, double rhoJ, double rhoP, double wsi, double wsj,
                        NodeRow& ci, bool zeroSigns = true);
// Both solvents of a trial at once (their eliminations interleaved): the
// same bits as two calls of ApplyDiffusionPlan.
void ApplyDiffusionPlans(const DiffusionPlan& plan1, const DiffusionPlan& plan2, double rho1, double rho2,
                         double rhoP, double ws1, double ws2, NodeRow& c1, NodeRow& c2, bool zeroSigns = true);

// ---------------------------------------------------------------------------
// Film averages and profile fit.
struct FilmAverages {
  double AvgConc1 = 0, AvgConc2 = 0, AvgPolymerConc = 0, CoatThick = 0;
};
// Returns false when a fit could not be solved (the message is shown through
// the host); the averages are valid either way.  fit1/fit2 are written only
// by successful fits.
bool FitFilmProfiles(Calculation& calc, const NodeRow& phi1, const NodeRow& phi2, int N, const NodeRow& dz,
                     NodeRow& fit1, NodeRow& fit2, FilmAverages& avg);
using SmallMatrix = std::array<std::array<double, SystemSize + 1>, SystemSize + 1>;
bool SolveSmallSystem(uint8_t m, uint8_t n, SmallMatrix& A, SystemVector& b, SystemVector& x);

// ---------------------------------------------------------------------------
// Step balances.
void EvaluateTrial(Calculation& calc);
void SolveFilm(Calculation& calc);
void ShrinkLayers(Calculation& calc);
void GasSideFlux(Calculation& calc);
double UpdateTemperature(Calculation& calc, double c1, double c2, double cP, double L, double T, int z);
// Fast path: the trial-independent film side of the step, and the gas-side
// mass-transfer coefficients, which depend on the zone alone.
void PrepareStep(Calculation& calc);
void PrepareZone(Calculation& calc);

// ---------------------------------------------------------------------------
// Robust surface solve: takes over a step whose secant search failed.  True
// when a trial balancing both solvents was found (it is the last trial
// evaluated); false with the failure message shown and ConvergenceOk
// cleared.
bool RescueStep(Calculation& calc);
// The full robust solve of the step as it stands (no sub-steps, no message):
// true with the balancing trial the last one evaluated; false with the
// reason.
bool SolveSurfaceRobustly(Calculation& calc, std::string& reason);
// Off the plain path: the step solved by continuation from the previous
// steps' surface values and Jacobian (see SurfaceContinuation.cpp), in the
// rescue's own rules.  True when a trial balancing both solvents was found
// (the last trial evaluated, with what a dropped solvent left added to the
// gas-side flux as RescueStep adds it); false leaves the step to the full
// solve, with the step's start state untouched.
bool ContinueRescue(Calculation& calc, int zone, int step);
// A hard step of a many-run feature handed over by the secant search: the
// exhausted solvents dropped as the full solve drops them, then the
// continuation solve (as ContinueRescue).
bool SettleByContinuation(Calculation& calc, int zone, int step);
// The zone's gas at or above either solvent's saturation pressure at the
// step's film temperature (liquid would condense on the coating).
bool GasSupersaturated(const Calculation& calc);
// Keeps the balanced surface values of a solved step for the next one.
void RememberSurface(Calculation& calc, int zone, int step);
// Solvent k's (0 or 1) content per unit area of the start-of-step coating,
// g/cm^2.
double RescueSolventContent(const Calculation& calc, int k);
// Drops the solvents whose content has fallen below the exhaustion threshold
// (robust mode; see SurfaceRescue.cpp); true when the start-of-step state
// changed.
bool DropExhaustedSolvents(Calculation& calc);
// The gas side with an absent solvent allowed (zero partial pressure); false
// when a surface activity cannot be evaluated.
bool GasSideFluxAllowingAbsence(Calculation& calc);
// The march's balance test of one solvent: |(F - G) / F| < 0.005.
bool Converged(double film, double gas);
extern const char* const RescueFailurePrefix;  // "Sorry, this condition does not converge !! (rescue failed: "
// The robust solve's rules for one trial, each on its own so that its edge
// can be tested: surface mass fractions s1, s2 >= 0 with s1 + s2 < 1; the
// surface boils where P1 + P2 >= 760 mmHg; no node of either profile below
// zero; solvent k is balanced when |F - G| < 0.005 |F|, or |F - G| <= scale
// with scale = max(0.001 E, 1e-7 M / dt) (E the step's evaporation, M the
// solvent's content, g/cm^2).
bool RescueSurfaceAdmissible(double s1, double s2);
bool RescueSurfaceBoils(double P1, double P2);
bool RescueProfilesNonNegative(const NodeRow& w1, const NodeRow& w2, int N);
bool RescueSolventBalanced(double F, double G, double scale);
double RescueBalanceScale(double E, double content, double dt);

// ---------------------------------------------------------------------------
// Zone march.
void MarchZone(Calculation& calc, int zone);
// The zone marched with its gas in balance with what the coating gives off
// (calc.Balance): marched again from its entrance with updated partial
// pressures until the zone's solvent balances close; the zone's gas is left
// in the run's parameters.  With the balance off, or no exhaust given for the
// zone, exactly MarchZone.  False when the balance did not close (the march
// itself may also have failed: TransferOk / ConvergenceOk).
bool MarchZoneBalanced(Calculation& calc, int zone);
// The rise of a solvent's partial pressure in a well-mixed zone, mmHg, when
// `evaporated` g/cm^2 of it (molecular weight M) go into `perArea` m^3/m^2
// of exhaust at the gas temperature T, degC (ideal gas, 1 atm).
double ZonePressureRise(double evaporated, double M, double T, double perArea);
extern const char* const ZoneBalanceFailureMessage;
double SecantStep(Calculation& calc, double x1, double x0, double f1, double f0);

}  // namespace kelvane
