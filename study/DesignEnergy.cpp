#include "study/DesignEnergy.h"

#include <algorithm>

namespace kelvane {

double HeatFromGas(const RowResult& r) {
  double heat = 0;
  for (const ZoneSummary& z : r.Details.Zones) heat += std::max(z.Heat.FromGas, 0.0);
  return heat;
}

double DesignEnergy(const DesignProblem& p, const RowResult& r) {
  return RunEnergyUnder(r.Details, p.Goal.Air, p.WebWidth).value_or(HeatFromGas(r));
}

}  // namespace kelvane
