#pragma once
// What a search says before and after its runs, shared by kelvane-run and
// Python: a further field that would be searched twice, and why no run of a
// search counted when none met the targets because none finished.

#include <string>
#include <vector>

#include "study/Optimize.h"

namespace kelvane {

// Why `field` cannot be added to the fields a design searches (`searched`,
// the zones' gas temperatures and the further fields so far): the web speed
// is what the design maximises, and a field already searched would be moved
// by two searches at once.  Empty when it can.
std::string OverFieldClash(const std::vector<SearchedField>& searched, const VariedField& field);

// When not one of `runs` finished, a sentence saying so with the first
// message of each kind ("all 14 runs were refused: ..."); empty when a run
// finished (then the targets, not the runs, are what failed).
std::string WhyNoRunCounted(const std::vector<RowResult>& runs);

}  // namespace kelvane
