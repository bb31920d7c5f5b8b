#pragma once
// Reading a result file back: the few echo values the plots need, every
// zone's conditions and the four sampled tables of every zone whose results
// were written.  Accepts either decimal mark and LF or CR LF line ends; the
// only non-ASCII bytes of the file are in labels, which are matched by their
// ASCII part.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// One row of the first table (every fifth step).
struct ResultRow {
  double Time = 0;       // s since the entrance of zone 1
  double Length = 0;     // m within the zone
  double Temp = 0;       // film temperature, degC
  double AvgConc1 = 0;   // g/cm3
  double AvgConc2 = 0;   // g/cm3
  double SolRemain = 0;  // %
  double CoatThick = 0;  // cm
};

// A row of the layer-thickness table (um, TH1..TH10).
struct LayerRow {
  double Time = 0, Length = 0;
  std::array<double, 10> Thick{};
};

// A row of a concentration table (g/cm3, C0 = surface .. C10 = base film).
struct ProfileRow {
  double Time = 0, Length = 0;
  std::array<double, 11> Conc{};
};

struct ZoneConditions {
  int Zone = 0;
  double OuterTemperature = 0;  // degC
  double ZoneLength = 0;        // m
  double PartialPressure1 = 0, PartialPressure2 = 0;  // mmHg
  double BaseHeatTransferCoeff = 0, CoatHeatTransferCoeff = 0;
};

struct ZoneResults {
  int Zone = 0;
  std::vector<ResultRow> Rows;
  std::vector<LayerRow> Layers;
  std::vector<ProfileRow> Solvent1, Solvent2;  // same rows as Rows
};

// One labelled line of the input echo: the label as written (Shift_JIS
// bytes, blanks trimmed) and its value.
struct EchoValue {
  std::string Label;
  double Value = 0;
};

struct ResultFileData {
  double IncrementZ = 0;  // cm
  int NumberOfLayers = 0;
  double WebSpeed = 0;    // m/s
  double InitialTemperature = 0;
  std::vector<ZoneConditions> Conditions;  // every zone whose conditions were written
  std::vector<ZoneResults> Zones;          // every zone whose results are complete
  std::vector<EchoValue> Echo;             // every labelled line outside the zone conditions, in file order
  // The file stops inside a zone's results (an interrupted write); that
  // zone is left out.
  bool Truncated = false;
  // The run was cancelled (or its runner interrupted) in the last zone of
  // Conditions; the zones before it are complete.
  bool Cancelled = false;

  const ZoneConditions* ConditionsOf(int zone) const;
  // Position of the zone's entrance along the web, m: the lengths of the
  // zones before it.
  double ZoneStart(int zone) const;
};

struct ResultFileRead {
  bool Ok = false;
  std::string Error;  // why the bytes are not a result file (when !Ok)
  ResultFileData Data;
};

// The largest 14-zone file of 8000 steps a zone is under 10 MB.
constexpr long long MaxResultFileBytes = 64LL << 20;

// Refuses any value that is not a finite number, a zone number other than
// 1..14 and a layer count other than 10, 20, 30 or 40, naming the line.
ResultFileRead ParseResultFile(std::string_view bytes);
// Reads line by line, holding the rows kept and one block of the file.
// Ok is false with "cannot be read (reason)" when the file cannot be opened
// or is not a regular file, and without reading on when its opening lines
// or its size are not a result file's.
ResultFileRead ReadResultFile(const std::string& path);

}  // namespace kelvane
