#pragma once
// The speed/energy front of the dryer's design: how fast the line may run
// for each allowance of heat per square metre.  Faster drying wants hotter
// gas, and a hotter film carries more sensible heat out of the dryer, so
// speed is bought with energy; each point of the front is a design with the
// heat from the gas capped.
//
// The heat of a run counts each zone only where its gas gives heat.
//
// The caps are spread evenly between two ends: the cheapest run that dried
// (met every target) among the unconstrained design's runs, and the
// unconstrained design's own heat.  The uniform schedules there, each at
// the fastest speed that dries it, include the coolest one in the bounds,
// which carries the least sensible heat; the cheapest of them is the front's
// low end.  The designs go from the lowest cap up, each started from the
// point before it, and each point is the fastest run made for any of them
// that meets the targets and its cap: a larger allowance is never slower,
// and a run that did not finish is never a point.

#include <optional>
#include <string>
#include <vector>

#include "study/Design.h"

namespace kelvane {

struct FrontPoint {
  double Cap = 0;        // kJ/m^2 allowed
  bool Found = false;    // a run met the targets within the cap
  RowResult Row;         // that run: the fields' texts, then the speed's
  // The target with the least room left, and where, the cap aside (which
  // the faster points below the top use to the full).
  std::string Binding;
  double Heat = 0;       // kJ/m^2 from the gas
  std::optional<double> HeatPerKg;  // kJ per kg of solvent evaporated
};

struct DesignFrontResult {
  DesignResult Unconstrained;      // the design without a cap
  std::vector<FrontPoint> Points;  // from the lowest cap to the highest
  bool Cancelled = false;
  std::vector<RowResult> Evaluations;  // every run made, numbered in order
  // Every run made for the front (the box sample's included) that met the
  // targets and that no other such run beats on both speed and heat,
  // fastest first.
  std::vector<RowResult> NonDominated;
};

// The runs that met the targets and that no other beats on both speed and
// heat (the design's energy of a run), fastest first.
std::vector<RowResult> NonDominatedRuns(const DesignProblem& problem, const std::vector<RowResult>& runs);

// `points` (at least 2) designs of `problem` with the heat capped; throws
// std::invalid_argument as Design does, or for fewer than 2 points.
DesignFrontResult DesignFront(const StudyDefinition& base, const DesignProblem& problem, int points,
                              const StudyOptions& options, StudyControl& control);

// The front as CSV: point, the cap, WebSpeed, the heat per m^2 and per kg,
// each designed field, then the binding target.
std::string FrontCsv(const DesignProblem& problem, const DesignFrontResult& front);

}  // namespace kelvane
