// The result file, byte for byte: the input echo, the zone conditions and the
// four sampled tables of a marched zone, on film states filled by hand.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/FilmState.h"
#include "files/ResultFile.h"
#include "files_test_support.h"

namespace kelvane {
namespace {

using filetest::DefaultSetup;
using filetest::ReadBytes;
using filetest::SplitCrLf;

// A film state of `rows` rows for `zone`, every value zero.
FilmState EmptyState(int zone, int rows) {
  FilmState st;
  st.RowCapacity = rows;
  for (auto* v : {&st.FilmTemp, &st.CoatThick, &st.AvgConc1, &st.AvgConc2, &st.AvgPolymerConc, &st.ZoneTime,
                  &st.SolRemain})
    v->assign(rows, 0.0);
  st.RunTime[zone].assign(rows, 0.0);
  for (auto* t : {&st.VolFrac1, &st.VolFrac2, &st.LayerThick}) t->assign(rows, NodeRow{});
  return st;
}

// A state whose printed values tell where they came from: layer m is m um
// thick, node i holds volume fraction i/100 of both solvents, a step lasts
// 0.25 s from `startTime` on.
FilmState TracingState(int zone, int rows, double startTime = 0.0) {
  FilmState st = EmptyState(zone, rows);
  for (int s = 0; s < rows; ++s) {
    st.RunTime[zone][s] = startTime + 0.25 * s;
    for (int m = 1; m < MaxNodes; ++m) st.LayerThick[s][m] = m * 1e-4;
    for (int i = 0; i < MaxNodes; ++i) st.VolFrac1[s][i] = st.VolFrac2[s][i] = i / 100.0;
  }
  return st;
}

struct ResultTables {
  std::vector<std::string> rows[4];
};

// Splits the "  [SIMULATION RESULTS]" section that starts at line `start`
// into the rows of its four tables, checking the fixed lines on the way.
ResultTables ParseResults(const std::vector<std::string>& lines, std::size_t start) {
  ResultTables t;
  std::size_t i = start;
  EXPECT_EQ(lines.at(i), "  [SIMULATION RESULTS]");
  EXPECT_EQ(lines.at(i + 3), "");
  i += 4;
  while (i < lines.size() && !lines[i].empty()) t.rows[0].push_back(lines[i++]);
  for (int table = 1; table < 4; ++table) {
    EXPECT_EQ(lines.at(i), "") << "table " << table + 1;
    i += 5;  // empty line, title, rule, column names, units
    while (i < lines.size() && !lines[i].empty()) t.rows[table].push_back(lines[i++]);
  }
  return t;
}

class ResultFileTest : public filetest::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    setup = DefaultSetup();
    setup.SaveFileName = Path("result.txt");
  }
  std::vector<std::string> Lines() const { return SplitCrLf(ReadBytes(setup.SaveFileName)); }

  // Writes only section C of `zone` and returns its tables.
  ResultTables Results(const FilmState& st, int zone, int steps) {
    std::filesystem::remove(setup.SaveFileName);
    filetest::WriteBytes(setup.SaveFileName, "");
    EXPECT_EQ(AppendZoneResults(setup, st, zone, steps).Status, WriteStatus::Ok);
    return ParseResults(Lines(), 0);
  }

  RunSetup setup;
};

TEST_F(ResultFileTest, EchoOfTheDefaultInputs) {
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 109u);

  EXPECT_EQ(lines[0], "===================");
  EXPECT_EQ(lines[1], "PHISICAL PROPERTIES");
  EXPECT_EQ(lines[4], "  SOLID (POLYMER)");
  EXPECT_EQ(lines[5], "  ---------------");
  EXPECT_EQ(lines[6], "    Heat Capacity of Polymer (J/g.K)                   =  2.120");
  EXPECT_EQ(lines[37], "==================");
  EXPECT_EQ(lines[38], "FITTING PARAMETERS");
  EXPECT_EQ(lines[40], "    Interaction Parameter \x83\xD4" "1p                         =  0.354");
  EXPECT_EQ(lines[50], "SOLVENT-1/POLYMER DIFF. COEFF. PARAMS");
  EXPECT_EQ(lines[52], "        F1                               =  0.001316");
  EXPECT_EQ(lines[56], "        F5                               =  -6.01069E+02");
  EXPECT_EQ(lines[66], "SOLVENT-2/POLYMER DIFF. COEFF. PARAMS");
  EXPECT_EQ(lines[83], "====================");
  EXPECT_EQ(lines[84], "    Increment of z (cm)                                =  2.00000");
  EXPECT_EQ(lines[85], "    Number of Layers                                   =  20");
  EXPECT_EQ(lines[89], "OPERATING CONDITION");
  EXPECT_EQ(lines[93], "  ZONE 1");
  EXPECT_EQ(lines[100], "    Initial Temperature (\x81\x8E)                          =  30.00");
  EXPECT_EQ(lines[105], "    Base-side Heat Trans. Coeff. (W/cm^2.K)           =  0.00092280");
  EXPECT_EQ(lines[106], "    Coat-side Heat Trans. Coeff. (W/cm^2.K)           =  0.00109440");
  EXPECT_EQ(lines[107], "");
  EXPECT_EQ(lines[108], "");

  // Every value line has its "=" at the column of its group: F1..F11 at
  // byte 42, the film and zone lines at 55, all others at 56.
  int valueLines = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::size_t eq = lines[i].find("=  ");
    if (eq == std::string::npos) continue;
    ++valueLines;
    const std::size_t n = i + 1;
    const std::size_t column = (n >= 53 && n <= 79) ? 42 : n >= 96 ? 55 : 56;
    EXPECT_EQ(eq + 1, column) << "line " << n << ": " << lines[i];
  }
  EXPECT_EQ(valueLines, 63);
}

TEST_F(ResultFileTest, BytesAreCrLfAndShiftJis) {
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  const FilmState st = TracingState(1, 11);
  ASSERT_EQ(AppendZoneResults(setup, st, 1, 10).Status, WriteStatus::Ok);
  const std::string bytes = ReadBytes(setup.SaveFileName);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  EXPECT_NE(bytes.substr(bytes.size() - 4), "\r\n\r\n");  // no empty line after the last row

  int chi = 0, degree = 0, micro = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\n') {
      EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "LF without CR at " << i;
    }
    if (c == '\r') {
      EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "CR without LF at " << i;
    }
    EXPECT_NE(c, '\t');
    if (c < 0x80) continue;
    const std::string pair = bytes.substr(i, 2);
    if (pair == "\x83\xD4") ++chi;
    else if (pair == "\x81\x8E") ++degree;
    else if (pair == "\x83\xCA") ++micro;
    else ADD_FAILURE() << "unexpected byte " << int(c) << " at " << i;
    ++i;
  }
  EXPECT_EQ(chi, 3);
  EXPECT_EQ(degree, 2);
  EXPECT_EQ(micro, 10);
}

TEST_F(ResultFileTest, DecimalSeparatorIsHandedIn) {
  ASSERT_EQ(WriteInputEcho(setup, ',').Status, WriteStatus::Ok);
  const auto lines = Lines();
  EXPECT_EQ(lines[6], "    Heat Capacity of Polymer (J/g.K)                   =  2,120");
  EXPECT_EQ(lines[56], "        F5                               =  -6,01069E+02");
}

TEST_F(ResultFileTest, ZoneConditionsAndTwoDigitZoneNumbers) {
  for (int k = 10; k <= 14; ++k) {
    setup.Params.OuterTemperature[k] = 75.5;
    setup.Params.ZoneLength[k] = 12;
    setup.Params.PartialPressure1[k] = 1.234;
    setup.Params.PartialPressure2[k] = -0.004;
    setup.Params.BaseHeatTransferCoeff[k] = 0.0009228;
    setup.Params.CoatHeatTransferCoeff[k] = 0.0010944;
  }
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  for (int k = 10; k <= 14; ++k) ASSERT_EQ(AppendZoneConditions(setup, k).Status, WriteStatus::Ok);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 109u + 5 * 12);
  for (int k = 10; k <= 14; ++k) {
    const std::size_t b = 109 + (k - 10) * 12;
    EXPECT_EQ(lines[b], "");
    EXPECT_EQ(lines[b + 1], "  -------");
    EXPECT_EQ(lines[b + 2], "  ZONE " + std::to_string(k));
    EXPECT_EQ(lines[b + 3], "  -------");
    EXPECT_EQ(lines[b + 4], "    Outer Temperature (\x81\x8E)                            =  75.50");
    EXPECT_EQ(lines[b + 5], "    Zone Length (m)                                   =  12.00");
    EXPECT_EQ(lines[b + 6], "    Solvent-1 Partial Pressure in Gas (mmHg)          =  1.23");
    EXPECT_EQ(lines[b + 7], "    Solvent-2 Partial Pressure in Gas (mmHg)          =  0.00");
    EXPECT_EQ(lines[b + 8], "    Base-side Heat Trans. Coeff. (W/cm^2.K)           =  0.00092280");
    EXPECT_EQ(lines[b + 10], "");
    EXPECT_EQ(lines[b + 11], "");
  }
}

TEST_F(ResultFileTest, SectionsFollowEachOtherWithTheirEmptyLines) {
  const FilmState st1 = TracingState(1, 2501);
  FilmState st = st1;
  st.RunTime[2] = st1.RunTime[1];
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  ASSERT_EQ(AppendZoneResults(setup, st, 1, 2500).Status, WriteStatus::Ok);
  ASSERT_EQ(AppendZoneConditions(setup, 2).Status, WriteStatus::Ok);
  ASSERT_EQ(AppendZoneResults(setup, st, 2, 2500).Status, WriteStatus::Ok);
  const auto lines = Lines();

  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == "  [SIMULATION RESULTS]") starts.push_back(i);
  ASSERT_EQ(starts.size(), 2u);
  for (std::size_t s : starts) {
    EXPECT_EQ(lines[s - 1], "");
    EXPECT_EQ(lines[s - 2], "");
    EXPECT_NE(lines[s - 3], "");
    const ResultTables t = ParseResults(lines, s);
    for (const auto& rows : t.rows) EXPECT_EQ(rows.size(), 501u);
  }
  // Zone 2's conditions follow zone 1's last row after one empty line.
  const std::size_t zone2 = starts[0] + 4 + 501 + 3 * (5 + 501);
  EXPECT_EQ(lines[zone2 - 1].substr(0, 8), "625.000 ");
  EXPECT_EQ(lines[zone2], "");
  EXPECT_EQ(lines[zone2 + 1], "  -------");
  EXPECT_EQ(lines[zone2 + 2], "  ZONE 2");
  EXPECT_EQ(lines.size(), starts[1] + 4 + 501 + 3 * (5 + 501));
}

TEST_F(ResultFileTest, EveryFifthStepIsPrinted) {
  const FilmState st = TracingState(3, 12);
  for (auto [steps, rows] : {std::pair{4, 1u}, {7, 2u}, {10, 3u}, {0, 1u}}) {
    const ResultTables t = Results(st, 3, steps);
    for (const auto& table : t.rows) EXPECT_EQ(table.size(), rows) << "S = " << steps;
  }
  const ResultTables t = Results(st, 3, 10);
  EXPECT_EQ(t.rows[0][2].substr(0, 18), "   2.500     0.200");
}

TEST_F(ResultFileTest, TableHeadingsAndRowLayout) {
  FilmState st = TracingState(2, 2501, 50.0);
  st.RunTime[2][2500] = 100.0;
  st.FilmTemp[2500] = 59.906;
  st.AvgConc1[2500] = 0.13542;
  st.AvgConc2[2500] = 0.00087;
  st.SolRemain[2500] = 6.58;
  st.CoatThick[2500] = 0.0017996;
  setup.Params.Density1 = setup.Params.Density2 = 1.0;
  filetest::WriteBytes(setup.SaveFileName, "");
  ASSERT_EQ(AppendZoneResults(setup, st, 2, 2500).Status, WriteStatus::Ok);
  const auto lines = Lines();

  EXPECT_EQ(lines[1], "   TIME     LENGTH     TEMP    AV CONC(1)   AV CONC(2)  SOL REMAIN  COAT THICK");
  EXPECT_EQ(lines[2], "    (s)       (m)     (deg-C)   (g/cm3)      (g/cm3)       (%)         (cm)");
  const std::size_t t2 = 4 + 501 + 1;
  EXPECT_EQ(lines[t2], "Layer Thickness (Thick./Layer by Nonuniform Gird Size Calc.)");
  EXPECT_EQ(lines[t2 + 1], std::string(60, '-'));
  EXPECT_EQ(lines[t2 + 2],
            "   TIME   LENGTH   TH1    TH2    TH3    TH4    TH5    TH6    TH7    TH8    TH9    TH10");
  EXPECT_EQ(lines[t2 + 3],
            "   (s)     (m)     (\x83\xCA)   (\x83\xCA)   (\x83\xCA)   (\x83\xCA)   (\x83\xCA)   (\x83\xCA)"
            "   (\x83\xCA)   (\x83\xCA)   (\x83\xCA)   (\x83\xCA)");
  const std::size_t t3 = t2 + 4 + 501 + 1;
  EXPECT_EQ(lines[t3], "Solvent 1 Concentration (NonUniform Gird Size)");
  EXPECT_EQ(lines[t3 + 1], std::string(46, '-'));
  const char* columns =
      "   TIME   LENGTH    C0     C1     C2     C3     C4     C5     C6     C7     C8     C9    C10";
  const char* units =
      "   (s)     (m)   (g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)(g/cm3)";
  EXPECT_EQ(lines[t3 + 2], columns);
  EXPECT_EQ(lines[t3 + 3], units);
  const std::size_t t4 = t3 + 4 + 501 + 1;
  EXPECT_EQ(lines[t4], "Solvent 2 Concentration (NonUniform Gird Size)");
  EXPECT_EQ(lines[t4 + 2], columns);
  EXPECT_EQ(lines[t4 + 3], units);

  const ResultTables t = ParseResults(lines, 0);
  // The last row of zone 2 of the default window.
  EXPECT_EQ(t.rows[0][500], " 100.000    50.000     59.91     0.1354       0.0009        6.6       0.00180");
  EXPECT_EQ(t.rows[0][1], "  51.250     0.100      0.00     0.0000       0.0000        0.0       0.00000");
  // Table 2 (20 layers, stride 2): TH1 = grid layers 1..5, then grid layers
  // 7, 9, ... 23; every column is followed by a space, the last one too.
  EXPECT_EQ(t.rows[1][1],
            " 51.250   0.100   15.000  7.000  9.000 11.000 13.000 15.000 17.000 19.000 21.000 23.000 ");
  // Tables 3 and 4: node 0 and nodes 6, 8, ... 24; solvent 2 one byte further right.
  EXPECT_EQ(t.rows[2][1],
            " 51.250   0.100  0.000  0.060  0.080  0.100  0.120  0.140  0.160  0.180  0.200  0.220  0.240  ");
  EXPECT_EQ(t.rows[3][1],
            " 51.250   0.100   0.000  0.060  0.080  0.100  0.120  0.140  0.160  0.180  0.200  0.220  0.240  ");
}

TEST_F(ResultFileTest, TimesOfFourIntegerDigitsShiftTheProfileTables) {
  const FilmState st = TracingState(1, 11, 999.0);
  const ResultTables t = Results(st, 1, 10);
  // 999.000 fits 7 bytes, 1000.250 needs 8: table 1 keeps its columns,
  // tables 2 to 4 move one byte to the right.
  EXPECT_EQ(t.rows[0][0].size(), t.rows[0][1].size());
  EXPECT_EQ(t.rows[0][1].substr(0, 8), "1000.250");
  for (int table = 1; table < 4; ++table) {
    EXPECT_EQ(t.rows[table][0].substr(0, 8), "999.000 ");
    EXPECT_EQ(t.rows[table][1].substr(0, 9), "1000.250 ");
    EXPECT_EQ(t.rows[table][1].size(), t.rows[table][0].size() + 1);
    // Same values after LENGTH, one byte later.
    EXPECT_EQ(t.rows[table][1].substr(16), t.rows[table][0].substr(15)) << "table " << table + 1;
  }
}

TEST_F(ResultFileTest, LayerAndNodeSamplingFollowsTheLayerCount) {
  setup.Params.Density1 = setup.Params.Density2 = 1.0;
  const FilmState st = TracingState(1, 1);

  setup.Params.TotalLayerCount = 44;  // 40 layers: every fourth
  ResultTables t = Results(st, 1, 0);
  EXPECT_EQ(t.rows[1][0].substr(17),
            " 15.000  9.000 13.000 17.000 21.000 25.000 29.000 33.000 37.000 41.000 ");
  EXPECT_EQ(t.rows[2][0].substr(17),
            "0.000  0.080  0.120  0.160  0.200  0.240  0.280  0.320  0.360  0.400  0.440  ");

  setup.Params.TotalLayerCount = 14;  // 10 layers: every one
  t = Results(st, 1, 0);
  EXPECT_EQ(t.rows[1][0].substr(17),
            " 15.000  6.000  7.000  8.000  9.000 10.000 11.000 12.000 13.000 14.000 ");
  EXPECT_EQ(t.rows[3][0].substr(18),
            "0.000  0.050  0.060  0.070  0.080  0.090  0.100  0.110  0.120  0.130  0.140  ");
}

// Values whose last printed digit depends on whether the product was kept in
// extended precision or first stored as a double.
TEST_F(ResultFileTest, ScaledValuesAreFormattedInExtendedPrecision) {
  setup.Params.IncrementZ = 0.03;  // 5 x 0.03 / 100: 0.001 extended, 0.002 via double
  setup.Params.Density1 = 0.75;    // 0.01 x 0.75: 0.008 extended, 0.007 via double
  setup.Params.Density2 = 0.85;    // 0.01 x 0.85: 0.008 extended, 0.009 via double
  FilmState st = EmptyState(1, 6);
  for (int s = 0; s < 6; ++s) {
    st.VolFrac1[s][0] = st.VolFrac2[s][0] = 0.01;
    // Five surface layers of 1e-8 cm: their sum, stored as a double, scales
    // to 0.000 um, the unstored sum to 0.001.  One layer of 5e-8 cm scales to
    // 0.000 extended, 0.001 via double.
    for (int m = 1; m <= 5; ++m) st.LayerThick[s][m] = 1e-8;
    st.LayerThick[s][7] = 5e-8;
  }
  const ResultTables t = Results(st, 1, 5);
  EXPECT_EQ(t.rows[0][1].substr(0, 18), "   0.000     0.001");
  EXPECT_EQ(t.rows[1][1].substr(0, 31), "  0.000   0.001    0.000  0.000");
  EXPECT_EQ(t.rows[2][1].substr(0, 22), "  0.000   0.001  0.008");
  EXPECT_EQ(t.rows[3][1].substr(0, 23), "  0.000   0.001   0.008");
}

TEST_F(ResultFileTest, OpenAndWriteFailuresAreTold) {
  setup.SaveFileName = Path("no-such-folder/result.txt");
  WriteResult r = WriteInputEcho(setup);
  EXPECT_EQ(r.Status, WriteStatus::OpenFailed);
  EXPECT_EQ(r.ErrorCode, ENOENT);

  // Appending never creates the file the echo should have made.
  setup.SaveFileName = Path("missing.txt");
  r = AppendZoneConditions(setup, 2);
  EXPECT_EQ(r.Status, WriteStatus::OpenFailed);
  r = AppendZoneResults(setup, TracingState(2, 1), 2, 0);
  EXPECT_EQ(r.Status, WriteStatus::OpenFailed);
  EXPECT_FALSE(std::filesystem::exists(setup.SaveFileName));

  if (std::filesystem::exists("/dev/full")) {
    setup.SaveFileName = "/dev/full";
    r = WriteInputEcho(setup);
    EXPECT_EQ(r.Status, WriteStatus::WriteFailed);
    EXPECT_EQ(r.ErrorCode, ENOSPC);
  }
}

TEST_F(ResultFileTest, EchoReplacesAnEarlierFile) {
  filetest::WriteBytes(setup.SaveFileName, std::string(100000, 'x'));
  ASSERT_EQ(WriteInputEcho(setup).Status, WriteStatus::Ok);
  const std::string bytes = ReadBytes(setup.SaveFileName);
  EXPECT_EQ(bytes.find('x'), std::string::npos);
  EXPECT_EQ(SplitCrLf(bytes).size(), 109u);
}

}  // namespace
}  // namespace kelvane
