#include "run/FieldTable.h"

#include <stdexcept>

namespace kelvane {
namespace {

constexpr const char* kZoneMembers[6] = {
    "OuterTemperature",      "ZoneLength",           "PartialPressure1",
    "PartialPressure2",      "BaseHeatTransferCoeff", "CoatHeatTransferCoeff"};
constexpr const char* kZoneUnits[6] = {"degC", "m", "mmHg", "mmHg", "W/(cm^2.K)", "W/(cm^2.K)"};
constexpr const char* kZoneCaptions[6] = {
    "Outer Temperature (℃)",
    "Zone Length (m)",
    "Solvent-1 Partial Pressure in Gas (mmHg)",
    "Solvent-2 Partial Pressure in Gas (mmHg)",
    "Base-side Heat Trans. Coeff. (W/cm^2.K)",
    "Coat-side Heat Trans. Coeff. (W/cm^2.K)"};
constexpr const char* kZoneDefaults[6] = {"60.0", "50.0", "0.0", "0.0", "0.0009228", "0.0010944"};

constexpr const char* kDiff1Defaults[11] = {
    "0.001316",   "-2392.0",    "-0.7017",    "-0.07954",   "-6.01069E2", "-2.11357E4",
    "-3.30765E5", "-2.58415E6", "-1.06244E7", "-2.19477E7", "-1.79934E7"};
constexpr const char* kDiff2Defaults[11] = {
    "0.00349",    "-2635.0",    "-0.8506",    "-0.09378",   "-5.87189E2", "-1.88317E4",
    "-2.64963E5", "-1.87481E6", "-7.03502E6", "-1.33504E7", "-1.01071E7"};

std::vector<FieldSpec> BuildTable() {
  std::vector<FieldSpec> t;
  auto add = [&](FieldSpec f) { t.push_back(std::move(f)); };
  using G = FieldGroup;

  // General film fields, zone-1 group of page 1 (data lines 52..57).
  add({"Edit1", "InitialCoatingThickness", "cm", "Initial Coating Thickness (cm)", "0.00577", true, 52,
       "Initial Coating Thickness (cm)", G::General});
  add({"Edit2", "InitialComposition1", "g/cm^3", "Initial Composition of Solvent 1 (g/cm^3)", "0.321", true, 53,
       "Initial Composition of Solvent 1 (g/cm^3)", G::General});
  add({"Edit3", "InitialComposition2", "g/cm^3", "Initial Composition of Solvent 2 (g/cm^3)", "0.321", true, 54,
       "Initial Composition of Solvent 2 (g/cm^3)", G::General});
  add({"Edit4", "BaseFilmThickness", "cm", "Base Film Thickness (cm)", "0.003556", true, 55,
       "Base Film Thickness (cm)", G::General});
  add({"Edit5", "WebSpeed", "m/s", "Web Speed (m/s)", "1.0", true, 56, "Web Speed (m/s)", G::General});
  add({"Edit6", "InitialTemperature", "degC", "Initial Temperature (℃)", "30.0", true, 57,
       "Initial Temperature (℃)", G::General});

  // Zones 1..14, six fields each (data lines 58..63, then 64 + 6(z-2) ...).
  for (int z = 1; z <= 14; ++z) {
    for (int i = 1; i <= 6; ++i) {
      FieldSpec f;
      f.Component = ZoneComponent(z, i);
      f.Member = std::string(kZoneMembers[i - 1]) + "[" + std::to_string(z) + "]";
      f.Unit = kZoneUnits[i - 1];
      f.Caption = kZoneCaptions[i - 1];
      f.DefaultText = z <= 2 ? kZoneDefaults[i - 1] : "";
      f.Enabled = true;
      f.DataLine = z == 1 ? 57 + i : 63 + 6 * (z - 2) + i;
      f.EchoLabel = kZoneCaptions[i - 1];
      f.Group = G::Zone;
      f.Zone = z;
      f.Index = i;
      add(f);
    }
  }

  // Fitting parameters (data lines 21..27).
  add({"Edit201", "Chi1p", "-", "Interaction Parameter χ1p", "0.354", true, 21, "Interaction Parameter χ1p", G::Fitting});
  add({"Edit202", "Chi2p", "-", "Interaction Parameter χ2p", "0.34", true, 22, "Interaction Parameter χ2p", G::Fitting});
  add({"Edit203", "Chi12", "-", "Interaction Parameter χ12", "1.0", true, 23, "Interaction Parameter χ12", G::Fitting});
  add({"Edit204", "Keff1", "-", "Mass Trans. Coeff. Correct. Param. Keff1", "1.0", true, 24,
       "Mass Trans. Coeff. Correct. Param. Keff1", G::Fitting});
  add({"Edit205", "Keff2", "-", "Mass Trans. Coeff. Correct. Param. Keff2", "1.0", true, 25,
       "Mass Trans. Coeff. Correct. Param. Keff2", G::Fitting});
  add({"Edit206", "Fter1", "-", "Diffusion Coeff. Correct. Factor Fter1", "1.0", true, 26,
       "Diffusion Coeff. Correct. Factor Fter1", G::Fitting});
  add({"Edit207", "Fter2", "-", "Diffusion Coeff. Correct. Factor Fter2", "1.0", true, 27,
       "Diffusion Coeff. Correct. Factor Fter2", G::Fitting});

  // Polymer (lines 1, 2).
  add({"Edit211", "PolymerHeatCapacity", "J/(g.K)", "Heat Capacity (J/g.K)", "2.12", true, 1,
       "Heat Capacity of Polymer (J/g.K)", G::Polymer});
  add({"Edit212", "PolymerDensity", "g/cm^3", "Density (g/cm^3)", "1.083", true, 2, "Density of Polymer (g/cm^3)",
       G::Polymer});

  // Solvent 1 (lines 3..10) and solvent 2 (lines 11..18).
  struct SolventRow {
    int offset;  // component = base + offset
    const char* member;
    const char* unit;
    const char* caption1;
    const char* caption2;
    const char* echo;  // with '#' for the solvent number
    bool enabled;
    int line;  // relative line 0..7
  };
  const SolventRow rows[8] = {
      {1, "HeatCapacity", "J/(g.K)", "Heat Capacity (J/g.K)", "Heat Capacity (J/g.K)",
       "Heat Capacity of Solvent-# (J/g.K)", true, 0},
      {2, "HeatOfVaporization", "J/g", "Heat of Vaporization  (J/g)", "Heat of Vaporization (J/g)",
       "Heat of Vaporization of Solvent-# (J/g)", false, 1},
      {3, "AirDiffusivity", "cm^2/s", "Diffusion Coefficient of Solvent in Air (cm^2/s)",
       "Diffusion Coefficient of Solvent in Air (cm^2/s)", "Diffusion Coefficient of Solvent-# in Air (cm^2/s)",
       true, 2},
      {4, "VaporA", "-", "Vapor Pressure (mmHg)  log10 Ps =", "Vapor Pressure (mmHg)  log10 Ps =",
       "Vapor Pressure Parameter A of Solvent-#", false, 3},
      {5, "VaporB", "-", "Vapor Pressure (mmHg)  log10 Ps =", "Vapor Pressure (mmHg)  log10 Ps =",
       "Vapor Pressure Parameter B of Solvent-#", false, 4},
      {6, "VaporC", "-", "Vapor Pressure (mmHg)  log10 Ps =", "Vapor Pressure (mmHg)  log10 Ps =",
       "Vapor Pressure Parameter C of Solvent-#", false, 5},
      {7, "Density", "g/cm^3", "Density (g/cm^3)", "Density (g/cm^3)", "Density of Solvent-# (g/cm^3)", true, 6},
      {8, "MolecularWeight", "-", "Molecular Weight", "Molecular Weight", "Molecular Weight of Solvent-#", true, 7},
  };
  const char* defaults1[8] = {"2.12", "360.0", "0.0849", "6.95464", "1344.8", "219.482", "0.86", "92.13"};
  const char* defaults2[8] = {"2.12", "435.0", "0.119", "6.99514", "1202.29", "226.25", "0.88", "72.11"};
  for (int s = 1; s <= 2; ++s) {
    for (int r = 0; r < 8; ++r) {
      const SolventRow& row = rows[r];
      FieldSpec f;
      f.Component = "Edit" + std::to_string((s == 1 ? 220 : 230) + row.offset);
      f.Member = std::string(row.member) + std::to_string(s);
      f.Unit = row.unit;
      f.Caption = s == 1 ? row.caption1 : row.caption2;
      f.DefaultText = s == 1 ? defaults1[r] : defaults2[r];
      f.Enabled = row.enabled;
      f.DataLine = (s == 1 ? 3 : 11) + row.line;
      std::string echo = row.echo;
      echo[echo.find('#')] = static_cast<char>('0' + s);
      f.EchoLabel = echo;
      f.Group = s == 1 ? G::Solvent1 : G::Solvent2;
      f.Index = row.offset;
      add(f);
    }
  }

  // Base film (lines 19, 20).
  add({"Edit241", "BaseHeatCapacity", "J/(g.K)", "Heat Capacity (J/g.K)", "1.25", true, 19,
       "Heat Capacity of Base Film (J/g.K)", G::BaseFilm});
  add({"Edit242", "BaseDensity", "g/cm^3", "Density (g/cm^3)", "1.37", true, 20, "Density of Base Film (g/cm^3)",
       G::BaseFilm});

  // Diffusion-coefficient parameters F1..F11 (lines 28..38 and 39..49).
  for (int s = 1; s <= 2; ++s) {
    for (int i = 1; i <= 11; ++i) {
      FieldSpec f;
      f.Component = "Edit" + std::to_string((s == 1 ? 250 : 270) + i);
      f.Member = "DiffParams" + std::to_string(s) + "[" + std::to_string(i) + "]";
      f.Unit = "-";
      f.Caption = "F" + std::to_string(i) + " = ";
      f.DefaultText = s == 1 ? kDiff1Defaults[i - 1] : kDiff2Defaults[i - 1];
      f.Enabled = i > 2;
      f.DataLine = (s == 1 ? 27 : 38) + i;
      f.EchoLabel = "F" + std::to_string(i);
      f.Group = s == 1 ? G::Diffusion1 : G::Diffusion2;
      f.Index = i;
      add(f);
    }
  }

  // Calculation accuracy (lines 50, 51) and the result file's name.
  add({"Edit19", "IncrementZ", "cm", "Increment of z (cm)", "2.0", true, 50, "Increment of z (cm)", G::Accuracy});
  add({"Edit20", "NumberOfLayers", "-", "Number of Layers", "20", true, 51, "Number of Layers", G::Accuracy});
  add({"Edit250", "SaveFileName", "-", "Save File Name", "result.txt", true, 0, "", G::SaveFile});
  return t;
}

}  // namespace

std::string ZoneComponent(int zone, int index) {
  if (zone == 1) return "Edit" + std::to_string(6 + index);
  return "Edit" + std::to_string(10 * zone + index);
}

const std::vector<FieldSpec>& FieldTable() {
  static const std::vector<FieldSpec> table = BuildTable();
  return table;
}

const FieldSpec* FindField(std::string_view name) {
  static const auto index = [] {
    std::map<std::string, const FieldSpec*, std::less<>> m;
    for (const FieldSpec& f : FieldTable()) {
      m[f.Component] = &f;
      m[f.Member] = &f;
    }
    return m;
  }();
  auto it = index.find(name);
  return it == index.end() ? nullptr : it->second;
}

const FieldSpec& FieldForDataLine(int line) {
  static const auto byLine = [] {
    std::vector<const FieldSpec*> v(DataFileLineCount + 1, nullptr);
    for (const FieldSpec& f : FieldTable())
      if (f.DataLine > 0) v[f.DataLine] = &f;
    return v;
  }();
  if (line < 1 || line > DataFileLineCount || !byLine[line]) throw std::out_of_range("data-file line");
  return *byLine[line];
}

FieldTextMap::FieldTextMap() {
  for (const FieldSpec& f : FieldTable()) texts_[f.Component] = f.DefaultText;
}

std::string FieldTextMap::Text(std::string_view component) const {
  auto it = texts_.find(component);
  if (it == texts_.end()) throw std::out_of_range("unknown field " + std::string(component));
  return it->second;
}

void FieldTextMap::SetText(std::string_view component, const std::string& text) {
  auto it = texts_.find(component);
  if (it == texts_.end()) throw std::out_of_range("unknown field " + std::string(component));
  it->second = text;
}

}  // namespace kelvane
