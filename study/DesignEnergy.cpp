#include "study/DesignEnergy.h"

namespace kelvane {

double DesignEnergy(const DesignProblem& p, const RowResult& r) {
  return RunEnergyUnder(r.Details, p.Goal.Air, p.WebWidth).value_or(r.Details.Run.TotalHeat);
}

}  // namespace kelvane
