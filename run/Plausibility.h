#pragma once
// The plausibility check: after the input checks have accepted the fields
// and before the march, values that make no physical sense or lie far
// outside the range the film model was built for.  They are warnings, not
// refusals: the window asks, kelvane-run prints them (and refuses them with
// --strict).

#include <string>
#include <vector>

#include "engine/RunParameters.h"

namespace kelvane {

struct PlausibilityWarning {
  std::string Field;  // component of the field to look at ("Edit5")
  std::string Text;   // English, naming the value and the range it left
};

// The warnings for an accepted reading, in field-table order, the
// cross-field rules after the ranges.  Empty for the default window.
std::vector<PlausibilityWarning> CheckPlausibility(const RunSetup& setup);

// The Antoine saturation pressure, mmHg, at T degC: 10^(A - B / (T + C));
// NaN where T + C <= 0.
double SaturationPressure(double A, double B, double C, double T);

// Gas temperatures at which a solvent's Antoine pressure passes this are
// far above its boiling point, toward its critical region: 15 atm.
constexpr double NearCriticalPressure = 15 * 760.0;
// Fewer marching steps than this in a zone that is marched at all.
constexpr int FewestStepsPerZone = 5;

}  // namespace kelvane
