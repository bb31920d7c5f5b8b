#pragma once
// The coating's quantities that the zone table and the warnings both read
// from a point of the trace: the masses per area of solvent and polymer, the
// residual solvent in the unit of a target, a solvent's normal boiling point
// and the coating's bubble pressure, each with the engine's own models.

#include <cfenv>

#include "summary/RunTrace.h"

namespace kelvane {

enum class ResidualUnit { PercentOfInitial, GramsPerSquareMetre, PpmOfDryCoating };

// Masses per area of the coating at a point, g/cm^2.
struct CoatingMasses {
  double Solvent1 = 0, Solvent2 = 0, Polymer = 0;
};
CoatingMasses MassesAt(const RunParameters& p, const TracePoint& t);

// The residual solvent at a point in the unit of a target.
double ResidualIn(ResidualUnit unit, const RunParameters& p, const TracePoint& t);

// The solvent's normal boiling point from its own vapour-pressure law, degC.
double NormalBoilingPoint(double A, double B, double C);
// Bubble pressure of the coating at one node: the sum of both solvents'
// equilibrium partial pressures (Flory-Huggins activity times the saturation
// pressure), mmHg.
double BubblePressure(const RunParameters& p, double T, double phi1, double phi2);

// Leaves the caller's floating-point environment (status flags included) as
// it was: the engine reads the fault flags at its checkpoints.
class KeepFloatingPointState {
 public:
  KeepFloatingPointState() { std::fegetenv(&env_); }
  ~KeepFloatingPointState() { std::fesetenv(&env_); }
  KeepFloatingPointState(const KeepFloatingPointState&) = delete;
  KeepFloatingPointState& operator=(const KeepFloatingPointState&) = delete;

 private:
  std::fenv_t env_;
};

}  // namespace kelvane
