#pragma once
// The window's 142 input fields with their record names and default texts,
// written out by hand from the calculation's inputs, not read from the field
// table: tests compare what the program shows against this list.

#include <set>
#include <string>
#include <vector>

namespace kelvane::fixtures {

struct DefaultField {
  std::string Component, Record, Text;
};

inline std::vector<DefaultField> WindowDefaults() {
  std::vector<DefaultField> all = {
      {"Edit1", "InitialCoatingThickness", "0.00577"},
      {"Edit2", "InitialComposition1", "0.321"},
      {"Edit3", "InitialComposition2", "0.321"},
      {"Edit4", "BaseFilmThickness", "0.003556"},
      {"Edit5", "WebSpeed", "1.0"},
      {"Edit6", "InitialTemperature", "30.0"},
      {"Edit201", "Chi1p", "0.354"},
      {"Edit202", "Chi2p", "0.34"},
      {"Edit203", "Chi12", "1.0"},
      {"Edit204", "Keff1", "1.0"},
      {"Edit205", "Keff2", "1.0"},
      {"Edit206", "Fter1", "1.0"},
      {"Edit207", "Fter2", "1.0"},
      {"Edit211", "PolymerHeatCapacity", "2.12"},
      {"Edit212", "PolymerDensity", "1.083"},
      {"Edit221", "HeatCapacity1", "2.12"},
      {"Edit222", "HeatOfVaporization1", "360.0"},
      {"Edit223", "AirDiffusivity1", "0.0849"},
      {"Edit224", "VaporA1", "6.95464"},
      {"Edit225", "VaporB1", "1344.8"},
      {"Edit226", "VaporC1", "219.482"},
      {"Edit227", "Density1", "0.86"},
      {"Edit228", "MolecularWeight1", "92.13"},
      {"Edit231", "HeatCapacity2", "2.12"},
      {"Edit232", "HeatOfVaporization2", "435.0"},
      {"Edit233", "AirDiffusivity2", "0.119"},
      {"Edit234", "VaporA2", "6.99514"},
      {"Edit235", "VaporB2", "1202.29"},
      {"Edit236", "VaporC2", "226.25"},
      {"Edit237", "Density2", "0.88"},
      {"Edit238", "MolecularWeight2", "72.11"},
      {"Edit241", "BaseHeatCapacity", "1.25"},
      {"Edit242", "BaseDensity", "1.37"},
      {"Edit19", "IncrementZ", "2.0"},
      {"Edit20", "NumberOfLayers", "20"},
      {"Edit250", "SaveFileName", "result.txt"},
  };
  // The two solvents' diffusion parameters F1 to F11.
  const char* const f1[11] = {"0.001316",   "-2392.0",    "-0.7017",    "-0.07954",   "-6.01069E2", "-2.11357E4",
                              "-3.30765E5", "-2.58415E6", "-1.06244E7", "-2.19477E7", "-1.79934E7"};
  const char* const f2[11] = {"0.00349",    "-2635.0",    "-0.8506",    "-0.09378",   "-5.87189E2", "-1.88317E4",
                              "-2.64963E5", "-1.87481E6", "-7.03502E6", "-1.33504E7", "-1.01071E7"};
  for (int i = 1; i <= 11; ++i) {
    all.push_back({"Edit" + std::to_string(250 + i), "DiffParams1[" + std::to_string(i) + "]", f1[i - 1]});
    all.push_back({"Edit" + std::to_string(270 + i), "DiffParams2[" + std::to_string(i) + "]", f2[i - 1]});
  }
  // Six fields a zone: zone 1's are Edit7 to Edit12, zone k's Edit(10k+1) to
  // Edit(10k+6); zones 1 and 2 are filled, the others empty.
  const char* const zone[6] = {"OuterTemperature", "ZoneLength", "PartialPressure1", "PartialPressure2",
                               "BaseHeatTransferCoeff", "CoatHeatTransferCoeff"};
  const char* const filled[6] = {"60.0", "50.0", "0.0", "0.0", "0.0009228", "0.0010944"};
  for (int k = 1; k <= 14; ++k)
    for (int i = 1; i <= 6; ++i)
      all.push_back({"Edit" + std::to_string(k == 1 ? 6 + i : 10 * k + i),
                     std::string(zone[i - 1]) + "[" + std::to_string(k) + "]", k <= 2 ? filled[i - 1] : ""});
  return all;
}

// The fields shown greyed (not editable) in the window: the heats of
// vaporization, the vapour-pressure constants and the two solvents' F1 and F2.
inline std::set<std::string> GreyedFields() {
  return {"Edit222", "Edit224", "Edit225", "Edit226", "Edit232", "Edit234",
          "Edit235", "Edit236", "Edit251", "Edit252", "Edit271", "Edit272"};
}

}  // namespace kelvane::fixtures
