#include "study/DesignEnergy.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

double HeatFromGas(const RowResult& r) {
  double heat = 0;
  for (const ZoneSummary& z : r.Details.Zones) heat += std::max(z.Heat.FromGas, 0.0);
  return heat;
}

double DesignEnergy(const DesignProblem& p, const RowResult& r) {
  // A run without the air's constants (no speed, no molecular weights) has
  // no air to price: its heat from the gas alone.
  const std::optional<double> energy = RunEnergyUnder(r.Details, p.Goal.Air, p.WebWidth);
  return energy && std::isfinite(*energy) ? *energy : HeatFromGas(r);
}

}  // namespace kelvane
