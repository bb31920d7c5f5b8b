#pragma once
// What a design rests on: every target within half a percent of its limit
// (at the design's speed and at every slower speed it was checked at), every
// field held at a bound, and whether the answer is set by a bound rather than
// by the coating -- in which case a wider box, not a better schedule, is the
// way to a faster line.  Also the one measure of a run's energy the design
// and its front share.

#include <string>
#include <vector>

#include "study/Design.h"
#include "study/DesignEnergy.h"

namespace kelvane {

// A target counts as active within this share of its limit.
constexpr double ActiveShare = 0.005;

// The better of two runs that met the targets: the faster; at one speed,
// the one taking less energy (DesignEnergy); then the smaller settings, so
// that the design does not hang on which of two threads recorded its run
// first.
bool BetterDesign(const DesignProblem& problem, const RowResult& a, const RowResult& b);

struct DesignAccount {
  std::vector<std::string> Active;    // each target within ActiveShare of its limit
  std::vector<std::string> AtBounds;  // each field (and the speed) held at a bound
  // Non-empty when the answer is set by a bound rather than by the coating:
  // "both zones at their upper bound of 100 ℃, the span around 60 ℃: widen
  // the span to go faster".
  std::string SetByBounds;
};

// The account of a run that met the targets (its slower companions, the
// operating window's checks, included).
// `base` gives each zone's present gas, around which its span lies (none:
// the span's centre goes unsaid).
DesignAccount AccountOf(const DesignProblem& problem, const RowResult& row, const FieldTexts* base);

}  // namespace kelvane
