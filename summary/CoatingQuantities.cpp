// Masses, residual units, boiling point and bubble pressure of the coating
// at a point of the trace.  Units on the way in are the engine's (cm,
// g/cm^3); the residual comes out in the target's unit.

#include "summary/CoatingQuantities.h"

#include <cmath>

#include "engine/MiscCalc.h"

namespace kelvane {

double NormalBoilingPoint(double A, double B, double C) { return B / (A - std::log10(760.0)) - C; }

double BubblePressure(const RunParameters& p, double T, double phi1, double phi2) {
  // The engine's guarded model refuses to start with a fault flag pending;
  // the caller's flags come back afterwards.
  KeepFloatingPointState keep;
  ClearFaults();
  double total = 0;
  try {
    const double V1 = p.MolecularWeight1 / p.Density1;
    const double V2 = p.MolecularWeight2 / p.Density2;
    // A solvent that is gone contributes nothing (phi exp(Q) -> 0).
    if (phi1 > 0)
      total += TrySurfacePartialPressure(T, phi1, phi2, V1, V2, p.VaporA1, p.VaporB1, p.VaporC1, p.Chi1p, p.Chi2p,
                                         p.Chi12).value_or(0.0);
    if (phi2 > 0)
      total += TrySurfacePartialPressure(T, phi2, phi1, V2, V1, p.VaporA2, p.VaporB2, p.VaporC2, p.Chi2p, p.Chi1p,
                                         p.Chi12).value_or(0.0);
  } catch (const ArithmeticFault&) {
    // A vapour pressure or molar volume beyond a double (Antoine constants
    // or a density far from any solvent's): the run itself ended on this
    // fault; the summary has no pressure to compare and must not end the
    // program.
    return 0.0;
  }
  return total;
}

CoatingMasses MassesAt(const RunParameters& p, const TracePoint& t) {
  CoatingMasses m;
  m.Solvent1 = t.AvgConc1 * t.CoatThick;
  m.Solvent2 = t.AvgConc2 * t.CoatThick;
  // Each layer keeps its polymer: the polymer per area is the entrance's.
  const double phiP0 = 1.0 - (p.InitialComposition1 / p.Density1 + p.InitialComposition2 / p.Density2);
  m.Polymer = p.InitialCoatingThickness * phiP0 * p.PolymerDensity;
  return m;
}

double ResidualIn(ResidualUnit unit, const RunParameters& p, const TracePoint& t) {
  const CoatingMasses m = MassesAt(p, t);
  const double solvent = m.Solvent1 + m.Solvent2;
  switch (unit) {
    case ResidualUnit::PercentOfInitial: return t.SolRemain;
    case ResidualUnit::GramsPerSquareMetre: return solvent * 1e4;
    case ResidualUnit::PpmOfDryCoating: return m.Polymer > 0 ? solvent / m.Polymer * 1e6 : 0;
  }
  return 0;
}

}  // namespace kelvane
