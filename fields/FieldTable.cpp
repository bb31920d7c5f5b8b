#include "fields/FieldTable.h"

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

// The record member without its zone or F index: "ZoneLength[3]" -> "ZoneLength".
std::string BaseMember(const std::string& member) { return member.substr(0, member.find('[')); }

ValueRange Positive(double high = HUGE_VAL) { return {0, high, true}; }
ValueRange Between(double low, double high) { return {low, high, false}; }

// Valid and typical ranges and the meaning of each field.  Valid ranges mark
// values that are physically meaningless or far outside what the film model
// was built for; the cross-field rules (room for the polymer, supersaturated
// gas, a gas far above the solvent's boiling point, too few steps per zone)
// are the plausibility check's own.
void DescribeField(FieldSpec& f) {
  struct Row {
    const char* member;
    ValueRange valid, typical;
    const char* meaning;
  };
  static const Row rows[] = {
      {"InitialCoatingThickness", Positive(1.0), Between(0.0005, 0.05),
       "Thickness of the wet coating as it enters zone 1."},
      {"InitialComposition1", Between(0, 2.0), Between(0, 0.6),
       "Concentration of solvent 1 in the wet coating on entry (mass of solvent per coating volume)."},
      {"InitialComposition2", Between(0, 2.0), Between(0, 0.6),
       "Concentration of solvent 2 in the wet coating on entry (mass of solvent per coating volume)."},
      {"BaseFilmThickness", Positive(1.0), Between(0.001, 0.03), "Thickness of the base film that carries the coating."},
      {"WebSpeed", Positive(30.0), Between(0.05, 5.0), "Speed of the web through the dryer."},
      {"InitialTemperature", Between(-50, 250), Between(10, 50), "Temperature of coating and base film on entry."},
      {"OuterTemperature", Between(-50, 400), Between(20, 180),
       "Temperature of the drying gas in the zone; 0 or empty ends the list of zones."},
      {"ZoneLength", Between(0, HUGE_VAL), Between(1, 100), "Length of the zone along the web; 0 passes the zone by."},
      {"PartialPressure1", Between(0, HUGE_VAL), Between(0, 50),
       "Partial pressure of solvent 1 in the zone's gas; it must stay below the solvent's saturation pressure."},
      {"PartialPressure2", Between(0, HUGE_VAL), Between(0, 50),
       "Partial pressure of solvent 2 in the zone's gas; it must stay below the solvent's saturation pressure."},
      {"BaseHeatTransferCoeff", Positive(1.0), Between(0.0001, 0.01),
       "Heat-transfer coefficient between the gas and the base-film side."},
      {"CoatHeatTransferCoeff", Positive(1.0), Between(0.0001, 0.01),
       "Heat-transfer coefficient between the gas and the coated side; it also sets the evaporation."},
      {"Chi1p", {}, Between(0, 2.0), "Flory-Huggins interaction parameter of solvent 1 with the polymer."},
      {"Chi2p", {}, Between(0, 2.0), "Flory-Huggins interaction parameter of solvent 2 with the polymer."},
      {"Chi12", {}, Between(0, 2.0), "Flory-Huggins interaction parameter between the two solvents."},
      {"Keff1", Positive(), Between(0.1, 10), "Correction factor on the gas-side mass transfer of solvent 1."},
      {"Keff2", Positive(), Between(0.1, 10), "Correction factor on the gas-side mass transfer of solvent 2."},
      {"Fter1", Positive(), Between(0.1, 10), "Correction factor on the diffusion coefficient of solvent 1."},
      {"Fter2", Positive(), Between(0.1, 10), "Correction factor on the diffusion coefficient of solvent 2."},
      {"PolymerHeatCapacity", Positive(10), Between(1, 3), "Specific heat capacity of the dry polymer."},
      {"PolymerDensity", Positive(5), Between(0.8, 1.6), "Density of the dry polymer."},
      {"HeatCapacity1", Positive(10), Between(1, 3), "Specific heat capacity of solvent 1."},
      {"HeatCapacity2", Positive(10), Between(1, 3), "Specific heat capacity of solvent 2."},
      {"HeatOfVaporization1", Positive(), Between(200, 1000), "Heat taken up by each gram of solvent 1 that evaporates."},
      {"HeatOfVaporization2", Positive(), Between(200, 1000), "Heat taken up by each gram of solvent 2 that evaporates."},
      {"AirDiffusivity1", Positive(1.0), Between(0.03, 0.3), "Diffusion coefficient of solvent 1's vapour in air."},
      {"AirDiffusivity2", Positive(1.0), Between(0.03, 0.3), "Diffusion coefficient of solvent 2's vapour in air."},
      {"VaporA1", {}, {}, "Antoine constant A of solvent 1: log10 Ps = A - B / (T + C), Ps in mmHg, T in degC."},
      {"VaporB1", {}, {}, "Antoine constant B of solvent 1: log10 Ps = A - B / (T + C)."},
      {"VaporC1", {}, {}, "Antoine constant C of solvent 1: log10 Ps = A - B / (T + C)."},
      {"VaporA2", {}, {}, "Antoine constant A of solvent 2: log10 Ps = A - B / (T + C), Ps in mmHg, T in degC."},
      {"VaporB2", {}, {}, "Antoine constant B of solvent 2: log10 Ps = A - B / (T + C)."},
      {"VaporC2", {}, {}, "Antoine constant C of solvent 2: log10 Ps = A - B / (T + C)."},
      {"Density1", Positive(5), Between(0.6, 1.6), "Density of liquid solvent 1."},
      {"Density2", Positive(5), Between(0.6, 1.6), "Density of liquid solvent 2."},
      {"MolecularWeight1", Positive(), Between(30, 200), "Molar mass of solvent 1 (g/mol)."},
      {"MolecularWeight2", Positive(), Between(30, 200), "Molar mass of solvent 2 (g/mol)."},
      {"BaseHeatCapacity", Positive(10), Between(1, 3), "Specific heat capacity of the base film."},
      {"BaseDensity", Positive(5), Between(0.8, 2.0), "Density of the base film."},
      {"IncrementZ", Positive(), Between(0.5, 5), "Length of one marching step along the web."},
      {"NumberOfLayers", {}, {}, "Layers of the coating's diffusion grid: 10, 20, 30 or 40."},
      {"SaveFileName", {}, {}, "Name of the result file; a relative name goes into the folder opened below."},
  };
  const std::string base = BaseMember(f.Member);
  if (base == "NumberOfLayers") f.Allowed = "10, 20, 30 or 40";
  for (const Row& r : rows) {
    if (base != r.member) continue;
    f.Valid = r.valid;
    f.Typical = r.typical;
    f.Meaning = r.meaning;
    return;
  }
  if (f.Group == FieldGroup::Diffusion1 || f.Group == FieldGroup::Diffusion2) {
    const int s = f.Group == FieldGroup::Diffusion1 ? 1 : 2;
    const std::string which = f.Index <= 2   ? "temperature dependence of the limiting diffusivity"
                              : f.Index <= 4 ? "glass-transition composition"
                                             : "concentration dependence of the diffusivity";
    f.Meaning = "Parameter F" + std::to_string(f.Index) + " of solvent " + std::to_string(s) + "'s diffusion model (" +
                which + ").";
  }
}

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
  for (FieldSpec& f : t) DescribeField(f);
  return t;
}

}  // namespace

std::string ZoneComponent(int zone, int index) {
  if (zone == 1) return "Edit" + std::to_string(6 + index);
  return "Edit" + std::to_string(10 * zone + index);
}

int FieldPage(const FieldSpec& f) {
  switch (f.Group) {
    case FieldGroup::General:
    case FieldGroup::Accuracy:
    case FieldGroup::SaveFile: return 0;
    case FieldGroup::Zone: return f.Zone <= 2 ? 0 : f.Zone <= 8 ? 1 : 2;
    case FieldGroup::Fitting:
    case FieldGroup::Polymer:
    case FieldGroup::Solvent1:
    case FieldGroup::Solvent2:
    case FieldGroup::BaseFilm: return 3;
    case FieldGroup::Diffusion1:
    case FieldGroup::Diffusion2: return 4;
  }
  return 0;
}

const char* PageCaption(int page) {
  static const char* const captions[FieldPageCount] = {"Zone Cond. (1)", "Zone Cond. (2)", "Zone Cond. (3)",
                                                       "General Cond. (1)", "General Cond. (2)"};
  return page >= 0 && page < FieldPageCount ? captions[page] : "";
}

std::string FieldGroupCaption(const FieldSpec& f) {
  switch (f.Group) {
    case FieldGroup::General: return "Zone 1";
    case FieldGroup::Zone: return "Zone " + std::to_string(f.Zone);
    case FieldGroup::Fitting: return "Fitting Parameter";
    case FieldGroup::Polymer: return "Solid (Polymer)";
    case FieldGroup::Solvent1: return "Solvent-1";
    case FieldGroup::Solvent2: return "Solvent-2";
    case FieldGroup::BaseFilm: return "Base Film";
    case FieldGroup::Diffusion1: return "Solvent 1/Polymer Diffusion Coefficient Parameters";
    case FieldGroup::Diffusion2: return "Solvent 2/Polymer Diffusion Coefficient Parameters";
    case FieldGroup::Accuracy: return "Calculation Accuracy";
    case FieldGroup::SaveFile: return "Save File Name";
  }
  return "";
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
