#pragma once
// The working state of the step being solved, and what the robust surface
// solves keep of it between trials and steps.

#include "engine/FilmState.h"
#include "engine/PropertyModels.h"

namespace kelvane {

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

}  // namespace kelvane
