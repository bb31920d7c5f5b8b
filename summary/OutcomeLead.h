#pragma once
// The worst of a run, said before the rest of its line of outcome: a coating
// that boils or a film past its temperature limit is spoilt however dry it
// leaves, so "Blister risk: ..." comes before "Dry: ...".

#include <string>

#include "summary/RunSummary.h"

namespace kelvane {

// "Blister risk: the coating boils in zone 1", "Film over 120 °C in zones
// 2–3", both joined by " · "; empty when neither warning fired.  The
// Summary page holds the figures.
std::string OutcomeLead(const RunSummary& summary);

}  // namespace kelvane
