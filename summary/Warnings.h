#pragma once
// The defect warnings of a run, found along its trace after the march.

#include <vector>

#include "summary/RunSummary.h"

namespace kelvane {

// Every warning of the run, one per kind, solvent and zone at the point where
// it first fired; fills the target's verdict in summary.Run.
std::vector<Warning> FindWarnings(const RunTrace& trace, RunSummary& summary);

}  // namespace kelvane
