#pragma once
// The defect warnings of a run and the helpers the summary shares with them.

#include <vector>

#include "summary/RunSummary.h"

namespace kelvane {

// Masses per area of the coating at a point, g/cm^2.
struct CoatingMasses {
  double Solvent1 = 0, Solvent2 = 0, Polymer = 0;
};
CoatingMasses MassesAt(const RunParameters& p, const TracePoint& t);

// The residual solvent at a point in the unit of a target.
double ResidualIn(ResidualUnit unit, const RunParameters& p, const TracePoint& t);

// Every warning of the run, one per kind, solvent and zone at the point where
// it first fired; fills the target's verdict in summary.Run.
std::vector<Warning> FindWarnings(const RunTrace& trace, RunSummary& summary);

// Each zone's air (ZoneSummary::Air), the run's total energy and the
// exhaust's warnings, from the zones already summarised.
void SummarizeAir(const RunTrace& trace, RunSummary& out);

}  // namespace kelvane
