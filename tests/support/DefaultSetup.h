#pragma once
// The window's default inputs as a run setup, built without the field
// reading so that engine tests stand on their own.

#include "engine/RunParameters.h"

namespace kelvane::fixtures {

inline RunSetup DefaultSetup(int layers = 20, double incrementZ = 2.0) {
  RunSetup s;
  RunParameters& p = s.Params;
  p.InitialCoatingThickness = 0.00577;
  p.InitialComposition1 = 0.321;
  p.InitialComposition2 = 0.321;
  p.BaseFilmThickness = 0.003556;
  p.WebSpeed = 1.0;
  p.InitialTemperature = 30.0;
  for (int z = 1; z <= 2; ++z) {
    p.OuterTemperature[z] = 60.0;
    p.ZoneLength[z] = 50.0;
    p.PartialPressure1[z] = 0.0;
    p.PartialPressure2[z] = 0.0;
    p.BaseHeatTransferCoeff[z] = 0.0009228;
    p.CoatHeatTransferCoeff[z] = 0.0010944;
  }
  p.Chi1p = 0.354;
  p.Chi2p = 0.34;
  p.Chi12 = 1.0;
  p.Keff1 = p.Keff2 = p.Fter1 = p.Fter2 = 1.0;
  p.PolymerHeatCapacity = 2.12;
  p.PolymerDensity = 1.083;
  p.HeatCapacity1 = 2.12;
  p.HeatOfVaporization1 = 360.0;
  p.AirDiffusivity1 = 0.0849;
  p.VaporA1 = 6.95464;
  p.VaporB1 = 1344.8;
  p.VaporC1 = 219.482;
  p.Density1 = 0.86;
  p.MolecularWeight1 = 92.13;
  p.HeatCapacity2 = 2.12;
  p.HeatOfVaporization2 = 435.0;
  p.AirDiffusivity2 = 0.119;
  p.VaporA2 = 6.99514;
  p.VaporB2 = 1202.29;
  p.VaporC2 = 226.25;
  p.Density2 = 0.88;
  p.MolecularWeight2 = 72.11;
  p.BaseHeatCapacity = 1.25;
  p.BaseDensity = 1.37;
  const double d1[12] = {0, 0.001316, -2392.0, -0.7017, -0.07954, -6.01069E2, -2.11357E4,
                         -3.30765E5, -2.58415E6, -1.06244E7, -2.19477E7, -1.79934E7};
  const double d2[12] = {0, 0.00349, -2635.0, -0.8506, -0.09378, -5.87189E2, -1.88317E4,
                         -2.64963E5, -1.87481E6, -7.03502E6, -1.33504E7, -1.01071E7};
  for (int i = 0; i < 12; ++i) {
    p.DiffParams1[i] = d1[i];
    p.DiffParams2[i] = d2[i];
  }
  p.IncrementZ = incrementZ;
  p.TotalLayerCount = layers + 4;
  s.ZoneCount = 2;
  const long long steps = static_cast<long long>(50.0 * 100 / incrementZ + 0.5);
  s.ZoneStepCount[1] = s.ZoneStepCount[2] = static_cast<int>(steps);
  s.SaveFileName = "result.txt";
  s.InputAccepted = true;
  return s;
}

}  // namespace kelvane::fixtures
