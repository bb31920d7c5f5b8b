#pragma once
// The state of one calculation along the dryer: per-step rows of the zone
// being marched (row 0 = the zone's entrance, row j = after step j), the
// layered profiles of every row, the run-wide time table, the constants
// derived once per run and the working layer grids of the current step.

#include <array>
#include <vector>

#include "engine/RunParameters.h"

namespace kelvane {

constexpr int MaxNodes = 45;        // nodes 0..44 (N <= 44 layers)
constexpr int MaxStepsPerZone = 8001;

using NodeRow = std::array<double, MaxNodes>;
using ProfileTable = std::vector<NodeRow>;  // [row][node]

struct FilmState {
  int RowCapacity = 0;  // rows 0 .. RowCapacity-1 exist

  // Per-step arrays of the current zone.
  std::vector<double> FilmTemp;        // degC
  std::vector<double> CoatThick;       // cm
  std::vector<double> AvgConc1;        // g/cm^3
  std::vector<double> AvgConc2;        // g/cm^3
  std::vector<double> AvgPolymerConc;  // g/cm^3
  std::vector<double> ZoneTime;        // s since the zone's entrance
  std::vector<double> SolRemain;       // % of the run's initial solvent load

  // Time since the entrance of zone 1, [zone 1..14][row].
  std::array<std::vector<double>, MaxZones + 1> RunTime;

  // Working profiles of each row.
  ProfileTable VolFrac1, VolFrac2, VolFracP;
  ProfileTable MassFrac1, MassFrac2, MassFracP;
  ProfileTable LayerThick;  // entries 1..N, entry 0 stays 0

  // Smoothed profiles on the uniform grid, per row.
  ProfileTable FitVolFrac1, FitVolFrac2, FitVolFracP;
  ProfileTable FitMassFrac1, FitMassFrac2, FitMassFracP;

  // Constants derived once per run.
  double WebSpeedCm = 0;       // cm/s
  double MolarVolume1 = 0;     // cm^3/mol
  double MolarVolume2 = 0;     // cm^3/mol
  double DryThick = 0;         // cm, the polymer's own thickness
  double InitPolymerConc = 0;  // g/cm^3

  // Layer grids of the step being solved.
  NodeRow OldLayerThick{};
  NodeRow NewLayerThick{};

  int LastStep = 0;

  // Sizes every table for `rows` rows; only called before a run.
  void Allocate(int rows);
};

}  // namespace kelvane
