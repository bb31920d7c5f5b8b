#pragma once
// The run's inputs, exactly as typed in the window's fields (no unit
// conversion on reading), plus what the reading decides: the number of zones
// in use and the marching steps of each zone.

#include <cstdint>
#include <string>

namespace kelvane {

constexpr int MaxZones = 14;
constexpr int DiffParamCount = 11;

struct RunParameters {
  double InitialCoatingThickness = 0;  // cm
  double InitialComposition1 = 0;      // g/cm^3
  double InitialComposition2 = 0;      // g/cm^3
  double BaseFilmThickness = 0;        // cm
  double WebSpeed = 0;                 // m/s
  double InitialTemperature = 0;       // degC

  // Per-zone arrays, indexed by the 1-based zone number (entry 0 unused).
  double OuterTemperature[MaxZones + 1] = {};       // degC
  double ZoneLength[MaxZones + 1] = {};             // m
  double PartialPressure1[MaxZones + 1] = {};       // mmHg
  double PartialPressure2[MaxZones + 1] = {};       // mmHg
  double BaseHeatTransferCoeff[MaxZones + 1] = {};  // W/(cm^2.K)
  double CoatHeatTransferCoeff[MaxZones + 1] = {};  // W/(cm^2.K)

  double Chi1p = 0, Chi2p = 0, Chi12 = 0;
  double Keff1 = 0, Keff2 = 0;
  double Fter1 = 0, Fter2 = 0;

  double PolymerHeatCapacity = 0;  // J/(g.K)
  double PolymerDensity = 0;       // g/cm^3

  double HeatCapacity1 = 0;        // J/(g.K)
  double HeatOfVaporization1 = 0;  // J/g
  double AirDiffusivity1 = 0;      // cm^2/s
  double VaporA1 = 0, VaporB1 = 0, VaporC1 = 0;
  double Density1 = 0;             // g/cm^3
  double MolecularWeight1 = 0;

  double HeatCapacity2 = 0;
  double HeatOfVaporization2 = 0;
  double AirDiffusivity2 = 0;
  double VaporA2 = 0, VaporB2 = 0, VaporC2 = 0;
  double Density2 = 0;
  double MolecularWeight2 = 0;

  double BaseHeatCapacity = 0;  // J/(g.K)
  double BaseDensity = 0;       // g/cm^3

  // F1..F11 of each solvent, indexed 1..11 (entry 0 unused).
  double DiffParams1[DiffParamCount + 1] = {};
  double DiffParams2[DiffParamCount + 1] = {};

  double IncrementZ = 0;        // cm
  int32_t TotalLayerCount = 0;  // entered number of layers + 4
};

// What one reading of the fields produced: the record and the values decided
// beside it.
struct RunSetup {
  RunParameters Params;
  int32_t ZoneCount = 0;
  int32_t ZoneStepCount[MaxZones + 1] = {};  // 1-based
  std::string SaveFileName;
  bool InputAccepted = false;
};

}  // namespace kelvane
