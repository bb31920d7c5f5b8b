#include "files/ResultFile.h"

#include <fcntl.h>

#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "engine/Faults.h"
#include "files/FileBytes.h"
#include "files/LabelLine.h"
#include "files/NumberForms.h"
#include "fields/FieldTable.h"

namespace kelvane {
namespace {

// The micro sign of the layer-thickness units in Shift_JIS (the χ and ℃ of
// the echo come with the field labels, encoded when written).
constexpr std::string_view kMicro = "\x83\xCA";

// One section of the file, collected in memory and written in one go.
class Section {
 public:
  void Line(std::string_view text) {
    bytes_ += text;
    bytes_ += "\r\n";
  }
  void Empty() { bytes_ += "\r\n"; }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

const FieldSpec& Field(std::string_view name) {
  const FieldSpec* f = FindField(name);
  if (!f) throw std::logic_error("no field " + std::string(name));
  return *f;
}

std::string Rule(char c, std::size_t n) { return std::string(n, c); }

// A value scaled for printing (a position in m, a thickness in um, a
// concentration in g/cm3) is formed in extended precision from stored
// doubles.  Beyond the range of a double it overflows as a stored value
// would: the run ends on the fault instead of printing a number that no
// double, and no reader, can hold.
long double Scaled(long double v) {
  if (std::isnan(v)) throw ArithmeticFault(FaultKind::InvalidOperation);
  if (std::fabs(v) > DBL_MAX) throw ArithmeticFault(FaultKind::Overflow);
  return v;
}

// A title between two rules of "=" as long as the title.
void Heading(Section& out, std::string_view title) {
  out.Line(Rule('=', title.size()));
  out.Line(title);
  out.Line(Rule('=', title.size()));
}

// A subtitle, two spaces in, underlined by as many "-".
void SubHeading(Section& out, std::string_view title) {
  out.Line("  " + std::string(title));
  out.Line("  " + Rule('-', title.size()));
}

void ValueLine(Section& out, const FieldSpec& field, const std::string& value) {
  out.Line(LabelPrefix(field) + value);
}

// The six condition lines of zone k.
void ZoneLines(Section& out, const RunParameters& p, int k, char sep) {
  ValueLine(out, Field(ZoneComponent(k, 1)), FormatFix(p.OuterTemperature[k], 6, 2, sep));
  ValueLine(out, Field(ZoneComponent(k, 2)), FormatFix(p.ZoneLength[k], 6, 2, sep));
  ValueLine(out, Field(ZoneComponent(k, 3)), FormatFix(p.PartialPressure1[k], 7, 2, sep));
  ValueLine(out, Field(ZoneComponent(k, 4)), FormatFix(p.PartialPressure2[k], 7, 2, sep));
  ValueLine(out, Field(ZoneComponent(k, 5)), FormatFix(p.BaseHeatTransferCoeff[k], 10, 8, sep));
  ValueLine(out, Field(ZoneComponent(k, 6)), FormatFix(p.CoatHeatTransferCoeff[k], 10, 8, sep));
}

void CheckZone(int zone) {
  if (zone < 1 || zone > MaxZones) throw std::out_of_range("zone number " + std::to_string(zone));
}

void SolventBlock(Section& out, const RunParameters& p, int s, char sep) {
  const std::string n = std::to_string(s);
  const bool one = s == 1;
  auto line = [&](const char* member, double v, int P, int D) {
    ValueLine(out, Field(member + n), FormatFix(v, P, D, sep));
  };
  SubHeading(out, "SOLVENT-" + n);
  line("HeatCapacity", one ? p.HeatCapacity1 : p.HeatCapacity2, 4, 3);
  line("HeatOfVaporization", one ? p.HeatOfVaporization1 : p.HeatOfVaporization2, 7, 2);
  line("AirDiffusivity", one ? p.AirDiffusivity1 : p.AirDiffusivity2, 7, 5);
  line("VaporA", one ? p.VaporA1 : p.VaporA2, 9, 6);
  line("VaporB", one ? p.VaporB1 : p.VaporB2, 8, 3);
  line("VaporC", one ? p.VaporC1 : p.VaporC2, 8, 3);
  line("Density", one ? p.Density1 : p.Density2, 5, 3);
  line("MolecularWeight", one ? p.MolecularWeight1 : p.MolecularWeight2, 6, 2);
}

// F1..F4 in fixed decimals, F5..F11 (the coefficients of the concentration
// polynomial, up to 1E7 in size) in exponent form.
void DiffusionBlock(Section& out, const double (&f)[DiffParamCount + 1], int s, char sep) {
  const std::string n = std::to_string(s);
  Heading(out, "SOLVENT-" + n + "/POLYMER DIFF. COEFF. PARAMS");
  static constexpr int kP[5] = {0, 8, 8, 7, 8};
  static constexpr int kD[5] = {0, 6, 2, 5, 6};
  for (int i = 1; i <= DiffParamCount; ++i) {
    const FieldSpec& field = Field("DiffParams" + n + "[" + std::to_string(i) + "]");
    ValueLine(out, field, i <= 4 ? FormatFix(f[i], kP[i], kD[i], sep) : FormatExp(f[i], 6, 2, sep));
  }
}

// Section A: the echo of every input, with zone 1's conditions.
Section InputEcho(const RunSetup& setup, char sep) {
  const RunParameters& p = setup.Params;
  Section out;
  auto line = [&](const char* member, double v, int P, int D) {
    ValueLine(out, Field(member), FormatFix(v, P, D, sep));
  };

  Heading(out, "PHISICAL PROPERTIES");
  out.Empty();
  SubHeading(out, "SOLID (POLYMER)");
  line("PolymerHeatCapacity", p.PolymerHeatCapacity, 4, 3);
  line("PolymerDensity", p.PolymerDensity, 6, 4);
  out.Empty();
  SolventBlock(out, p, 1, sep);
  out.Empty();
  SolventBlock(out, p, 2, sep);
  out.Empty();
  SubHeading(out, "BASE FILM");
  line("BaseHeatCapacity", p.BaseHeatCapacity, 4, 3);
  line("BaseDensity", p.BaseDensity, 5, 3);
  out.Empty();
  out.Empty();

  Heading(out, "FITTING PARAMETERS");
  line("Chi1p", p.Chi1p, 5, 3);
  line("Chi2p", p.Chi2p, 5, 3);
  line("Chi12", p.Chi12, 5, 3);
  line("Keff1", p.Keff1, 4, 2);
  line("Keff2", p.Keff2, 4, 2);
  line("Fter1", p.Fter1, 4, 2);
  line("Fter2", p.Fter2, 4, 2);
  out.Empty();
  out.Empty();

  DiffusionBlock(out, p.DiffParams1, 1, sep);
  out.Empty();
  out.Empty();
  DiffusionBlock(out, p.DiffParams2, 2, sep);
  out.Empty();
  out.Empty();

  Heading(out, "CALCULATION ACCURACY");
  line("IncrementZ", p.IncrementZ, 7, 5);
  // The record keeps the grid's layer count; the user entered four fewer
  // (the surface slice is split into five thin layers).
  ValueLine(out, Field("NumberOfLayers"), FormatInt(p.TotalLayerCount - 4));
  out.Empty();
  out.Empty();

  Heading(out, "OPERATING CONDITION");
  out.Empty();
  out.Line("  -------");
  out.Line("  ZONE 1");
  out.Line("  -------");
  line("InitialCoatingThickness", p.InitialCoatingThickness, 8, 6);
  line("InitialComposition1", p.InitialComposition1, 6, 4);
  line("InitialComposition2", p.InitialComposition2, 6, 4);
  line("BaseFilmThickness", p.BaseFilmThickness, 9, 7);
  line("WebSpeed", p.WebSpeed, 5, 3);
  line("InitialTemperature", p.InitialTemperature, 6, 2);
  ZoneLines(out, p, 1, sep);
  out.Empty();
  out.Empty();
  return out;
}

// Section B: the conditions of zone k >= 2.
Section ZoneConditions(const RunSetup& setup, int k, char sep) {
  Section out;
  out.Empty();
  out.Line("  -------");
  out.Line("  ZONE " + FormatInt(k));
  out.Line("  -------");
  ZoneLines(out, setup.Params, k, sep);
  out.Empty();
  out.Empty();
  return out;
}

// Section C: the zone's history, every fifth step, in four tables.
Section ZoneResults(const RunSetup& setup, const FilmState& st, int k, int S, char sep) {
  const RunParameters& p = setup.Params;
  const int N = p.TotalLayerCount;
  const int layers = N - 4;
  if (layers < 10 || layers > 40 || layers % 10 != 0)
    throw std::invalid_argument("layer count " + std::to_string(N) + " has no result tables");
  // Stride of the profile tables: ten sampled layers, eleven sampled nodes.
  const int u = layers / 10;

  const int lastRow = S < 0 ? -1 : S - S % 5;
  if (lastRow >= 0) {
    const auto rows = static_cast<std::size_t>(lastRow) + 1;
    if (st.RunTime[k].size() < rows || st.FilmTemp.size() < rows || st.AvgConc1.size() < rows ||
        st.AvgConc2.size() < rows || st.SolRemain.size() < rows || st.CoatThick.size() < rows ||
        st.LayerThick.size() < rows || st.VolFrac1.size() < rows || st.VolFrac2.size() < rows)
      throw std::out_of_range("film state holds fewer rows than the zone's steps");
  }

  // Time and position of every printed row.  The position s * dz / 100 (m)
  // is formed in extended precision and printed as it stands.
  std::vector<std::string> time, length;
  for (int s = 0; s <= lastRow; s += 5) {
    time.push_back(FormatFix(st.RunTime[k][s], 8, 3, sep));
    const long double z = Scaled(static_cast<long double>(s) * p.IncrementZ / 100.0L);
    length.push_back(PadLeft(FormatFix(z, 7, 3, sep), 7));
  }

  Section out;
  out.Line("  [SIMULATION RESULTS]");
  out.Line("   TIME     LENGTH     TEMP    AV CONC(1)   AV CONC(2)  SOL REMAIN  COAT THICK");
  out.Line("    (s)       (m)     (deg-C)   (g/cm3)      (g/cm3)       (%)         (cm)");
  out.Empty();
  for (int s = 0, r = 0; s <= lastRow; s += 5, ++r) {
    std::string row = PadLeft(time[r], 8);
    row += "   ";
    row += length[r];
    row += "    ";
    row += PadLeft(FormatFix(st.FilmTemp[s], 6, 2, sep), 6);
    row += "     ";
    row += FormatFix(st.AvgConc1[s], 6, 4, sep);
    row += "       ";
    row += FormatFix(st.AvgConc2[s], 6, 4, sep);
    row += "     ";
    row += PadLeft(FormatFix(st.SolRemain[s], 5, 1, sep), 6);
    row += "       ";
    row += FormatFix(st.CoatThick[s], 7, 5, sep);
    out.Line(row);
  }
  out.Empty();

  // Layer thicknesses in micrometres.  TH1 is the surface slice (grid layers
  // 1..5) as one layer; THj shows grid layer (j-1)u + 5.
  out.Line("Layer Thickness (Thick./Layer by Nonuniform Gird Size Calc.)");
  out.Line(Rule('-', 60));
  out.Line("   TIME   LENGTH   TH1    TH2    TH3    TH4    TH5    TH6    TH7    TH8    TH9    TH10");
  {
    // The first unit stands after five spaces, the others after three.
    std::string units = "   (s)     (m)";
    for (int j = 1; j <= 10; ++j) {
      units += j == 1 ? "     (" : "   (";
      units += kMicro;
      units += ")";
    }
    out.Line(units);
  }
  for (int s = 0, r = 0; s <= lastRow; s += 5, ++r) {
    const NodeRow& th = st.LayerThick[s];
    std::string row = PadLeft(time[r], 7);
    row += " ";
    row += length[r];
    row += "   ";
    long double slice = th[1];
    for (int m = 2; m <= 5; ++m) slice += th[m];
    const double sliceStored = static_cast<double>(slice);
    row += PadLeft(FormatFix(Scaled(static_cast<long double>(sliceStored) * 10000.0L), 6, 3, sep), 6);
    row += " ";
    for (int j = 2; j <= 10; ++j) {
      row += PadLeft(FormatFix(Scaled(static_cast<long double>(th[(j - 1) * u + 5]) * 10000.0L), 6, 3, sep), 6);
      row += " ";
    }
    out.Line(row);
  }

  // Concentration profiles: node 0 (the free surface) and nodes ju + 4,
  // the last of them the face on the base film.  The solvent-2 rows stand
  // one byte further right than the solvent-1 rows.
  auto profileTable = [&](const char* title, const ProfileTable& volFrac, double density, const char* gap) {
    out.Empty();
    out.Line(title);
    out.Line(Rule('-', 46));
    out.Line("   TIME   LENGTH    C0     C1     C2     C3     C4     C5     C6     C7     C8     C9    C10");
    out.Line("   (s)     (m)   (g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)");
    for (int s = 0, r = 0; s <= lastRow; s += 5, ++r) {
      const NodeRow& phi = volFrac[s];
      std::string row = PadLeft(time[r], 7);
      row += " ";
      row += length[r];
      row += gap;
      for (int j = 0; j <= 10; ++j) {
        const int node = j == 0 ? 0 : j * u + 4;
        row += FormatFix(Scaled(static_cast<long double>(phi[node]) * density), 5, 3, sep);
        row += "  ";
      }
      out.Line(row);
    }
  };
  profileTable("Solvent 1 Concentration (NonUniform Gird Size)", st.VolFrac1, p.Density1, "  ");
  profileTable("Solvent 2 Concentration (NonUniform Gird Size)", st.VolFrac2, p.Density2, "   ");
  return out;
}

}  // namespace

const char* const CancelledMark = "  [CALCULATION CANCELLED]";

WriteResult WriteInputEcho(const std::string& path, const RunSetup& setup, char decimalSeparator) {
  const Section section = InputEcho(setup, decimalSeparator);
  return WriteFileBytes(path, O_CREAT | O_TRUNC, section.Bytes());
}

WriteResult AppendZoneConditions(const std::string& path, const RunSetup& setup, int zone, char decimalSeparator) {
  CheckZone(zone);
  const Section section = ZoneConditions(setup, zone, decimalSeparator);
  // Appending needs the file the echo created; it is never created here.
  return WriteFileBytes(path, O_APPEND, section.Bytes());
}

WriteResult AppendZoneResults(const std::string& path, const RunSetup& setup, const FilmState& state, int zone,
                              int stepCount, char decimalSeparator) {
  CheckZone(zone);
  const Section section = ZoneResults(setup, state, zone, stepCount, decimalSeparator);
  return WriteFileBytes(path, O_APPEND, section.Bytes());
}

WriteResult WriteInputEcho(const RunSetup& setup, char decimalSeparator) {
  return WriteInputEcho(setup.SaveFileName, setup, decimalSeparator);
}

WriteResult AppendZoneConditions(const RunSetup& setup, int zone, char decimalSeparator) {
  return AppendZoneConditions(setup.SaveFileName, setup, zone, decimalSeparator);
}

WriteResult AppendZoneResults(const RunSetup& setup, const FilmState& state, int zone, int stepCount,
                              char decimalSeparator) {
  return AppendZoneResults(setup.SaveFileName, setup, state, zone, stepCount, decimalSeparator);
}

WriteResult AppendCancelledMark(const std::string& path) {
  Section section;
  section.Line(CancelledMark);
  return WriteFileBytes(path, O_APPEND, section.Bytes());
}

WriteResult AppendCancelledMark(const RunSetup& setup) { return AppendCancelledMark(setup.SaveFileName); }

}  // namespace kelvane
