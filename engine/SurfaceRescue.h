#pragma once
// The robust surface solves and the rules that judge their trials.

#include <string>

#include "engine/FilmState.h"

namespace kelvane {

class Calculation;

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

}  // namespace kelvane
