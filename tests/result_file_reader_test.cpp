// Reading result files back: a whole run's file gives every sampled row with
// the values the engine held, in either decimal mark and line end; a file cut
// off inside a zone keeps the complete zones; anything else is refused with
// the reason.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <new>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/MiscCalc.h"
#include "files/DataFile.h"
#include "files/ResultFileReader.h"
#include "files_test_support.h"
#include "fields/FieldTable.h"
#include "run/StartRun.h"
#include "tests/support/RunTestSupport.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

using runtest::RecordingRunHost;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ResultFileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-reader-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the calculation on `fields` into `name`; returns the file's path.
  fs::path Run(FieldTextMap fields, const std::string& name, RunOutcome expected, char separator = '.') {
    const fs::path path = dir_ / name;
    fields.SetText("Edit250", path.string());
    RunOptions options;
    options.DecimalSeparator = separator;
    report_ = StartRun(fields, host_, calc_, options);
    EXPECT_EQ(report_.Outcome, expected) << host_.Shown();
    return path;
  }

  fs::path dir_;
  RecordingRunHost host_;
  Calculation calc_;
  RunReport report_;
};

TEST_F(ResultFileReaderTest, DefaultRunGivesEveryRowWithTheEnginesValues) {
  const fs::path path = Run(FieldTextMap(), "result.txt", RunOutcome::Finished);
  const ResultFileRead read = ReadResultFile(path.string());
  ASSERT_TRUE(read.Ok) << read.Error;
  const ResultFileData& d = read.Data;
  EXPECT_FALSE(d.Truncated);
  EXPECT_DOUBLE_EQ(d.IncrementZ, 2.0);
  EXPECT_EQ(d.NumberOfLayers, 20);
  EXPECT_DOUBLE_EQ(d.WebSpeed, 1.0);
  EXPECT_DOUBLE_EQ(d.InitialTemperature, 30.0);
  ASSERT_EQ(d.Conditions.size(), 2u);
  ASSERT_EQ(d.Zones.size(), 2u);
  EXPECT_DOUBLE_EQ(d.Conditions[0].OuterTemperature, 60.0);
  EXPECT_DOUBLE_EQ(d.Conditions[1].ZoneLength, 50.0);
  EXPECT_DOUBLE_EQ(d.Conditions[0].CoatHeatTransferCoeff, 0.0010944);
  EXPECT_DOUBLE_EQ(d.ZoneStart(1), 0.0);
  EXPECT_DOUBLE_EQ(d.ZoneStart(2), 50.0);
  ASSERT_NE(d.ConditionsOf(2), nullptr);
  EXPECT_EQ(d.ConditionsOf(3), nullptr);

  for (const ZoneResults& z : d.Zones) {
    ASSERT_EQ(z.Rows.size(), 501u);
    ASSERT_EQ(z.Layers.size(), 501u);
    ASSERT_EQ(z.Solvent1.size(), 501u);
    ASSERT_EQ(z.Solvent2.size(), 501u);
    EXPECT_DOUBLE_EQ(z.Rows.front().Length, 0.0);
    EXPECT_DOUBLE_EQ(z.Rows.back().Length, 50.0);
    for (size_t r = 0; r < z.Rows.size(); ++r) {
      EXPECT_EQ(z.Solvent1[r].Time, z.Rows[r].Time);
      EXPECT_EQ(z.Solvent2[r].Length, z.Rows[r].Length);
    }
  }
  // The entrance: uniform coating at the initial temperature.
  const ZoneResults& first = d.Zones[0];
  EXPECT_DOUBLE_EQ(first.Rows[0].Temp, 30.0);
  EXPECT_DOUBLE_EQ(first.Rows[0].SolRemain, 100.0);
  EXPECT_DOUBLE_EQ(first.Rows[0].CoatThick, 0.00577);
  for (double c : first.Solvent1[0].Conc) EXPECT_DOUBLE_EQ(c, 0.321);
  EXPECT_DOUBLE_EQ(first.Layers[0].Thick[9], 2.885);
  // Zone 2 starts where zone 1 ended.
  EXPECT_DOUBLE_EQ(d.Zones[1].Rows.front().Time, first.Rows.back().Time);
  EXPECT_DOUBLE_EQ(d.Zones[1].Rows.front().Temp, first.Rows.back().Temp);
  EXPECT_DOUBLE_EQ(d.Zones[1].Rows.back().Time, 100.0);

  // The engine still holds zone 2: every printed row is its value rounded.
  const FilmState& s = calc_.State;
  const double density1 = calc_.Params().Density1;
  for (size_t r = 50; r < 501; r += 50) {  // row 0 now holds the carried-over exit
    const ResultRow& row = d.Zones[1].Rows[r];
    const int step = static_cast<int>(r) * 5;
    EXPECT_NEAR(row.Temp, s.FilmTemp[step], 0.0051) << step;
    EXPECT_NEAR(row.AvgConc1, s.AvgConc1[step], 0.000051) << step;
    EXPECT_NEAR(row.AvgConc2, s.AvgConc2[step], 0.000051) << step;
    EXPECT_NEAR(row.SolRemain, s.SolRemain[step], 0.051) << step;
    EXPECT_NEAR(row.CoatThick, s.CoatThick[step], 0.0000051) << step;
    EXPECT_NEAR(d.Zones[1].Solvent1[r].Conc[0], s.VolFrac1[step][0] * density1, 0.00051) << step;
    EXPECT_NEAR(d.Zones[1].Solvent1[r].Conc[10], s.VolFrac1[step][24] * density1, 0.00051) << step;
  }
}

// A comma as decimal mark and plain LF line ends read to the same values.
TEST_F(ResultFileReaderTest, DecimalCommaAndLineFeedsReadTheSame) {
  FieldTextMap fields;
  fields.SetText("Edit8", "10");
  fields.SetText("Edit22", "6");
  const ResultFileRead point = ReadResultFile(Run(fields, "point.txt", RunOutcome::Finished).string());
  FieldTextMap comma = fields;
  for (const FieldSpec& f : FieldTable()) {
    if (f.Component == "Edit250") continue;
    std::string t = fields.Text(f.Component);
    for (char& c : t)
      if (c == '.') c = ',';
    comma.SetText(f.Component, t);
  }
  const fs::path commaPath = Run(comma, "comma.txt", RunOutcome::Finished, ',');
  std::string bytes = ReadAll(commaPath);
  ASSERT_NE(bytes.find("0,321"), std::string::npos);
  std::string lf;
  for (char c : bytes)
    if (c != '\r') lf += c;
  const ResultFileRead read = ParseResultFile(lf);
  ASSERT_TRUE(point.Ok) << point.Error;
  ASSERT_TRUE(read.Ok) << read.Error;
  ASSERT_EQ(read.Data.Zones.size(), point.Data.Zones.size());
  EXPECT_DOUBLE_EQ(read.Data.IncrementZ, 2.0);
  for (size_t z = 0; z < point.Data.Zones.size(); ++z) {
    const auto& a = point.Data.Zones[z];
    const auto& b = read.Data.Zones[z];
    ASSERT_EQ(a.Rows.size(), b.Rows.size());
    for (size_t r = 0; r < a.Rows.size(); ++r) {
      EXPECT_EQ(a.Rows[r].Temp, b.Rows[r].Temp);
      EXPECT_EQ(a.Rows[r].CoatThick, b.Rows[r].CoatThick);
      EXPECT_EQ(a.Solvent2[r].Conc, b.Solvent2[r].Conc);
    }
  }
}

// A run that stops in zone 2 leaves zone 2's conditions without results; a
// file cut off inside a section keeps the zones before it.
TEST_F(ResultFileReaderTest, StoppedRunsAndCutOffFiles) {
  FieldTextMap fields;
  fields.SetText("Edit21", "200");  // zone 2 does not converge
  const fs::path failed = Run(fields, "failed.txt", RunOutcome::EngineFailed);
  ResultFileRead read = ReadResultFile(failed.string());
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_EQ(read.Data.Conditions.size(), 2u);
  EXPECT_EQ(read.Data.Zones.size(), 1u);
  EXPECT_FALSE(read.Data.Truncated);
  EXPECT_DOUBLE_EQ(read.Data.Conditions[1].OuterTemperature, 200.0);

  const std::string whole = ReadAll(Run(FieldTextMap(), "whole.txt", RunOutcome::Finished));
  const size_t zone2 = whole.find("  ZONE 2");
  const size_t solvent2 = whole.find("Solvent 2 Concentration", zone2);
  ASSERT_NE(solvent2, std::string::npos);
  const size_t cuts[] = {
      whole.find("  [SIMULATION RESULTS]", zone2) + 30,  // in the column names
      whole.find("Layer Thickness", zone2) - 40,         // inside a row of the first table
      solvent2 + 700,                                    // a few rows into the last table
      whole.size() - 20,                                 // inside the very last row
  };
  for (size_t cut : cuts) {
    read = ParseResultFile(std::string_view(whole).substr(0, cut));
    ASSERT_TRUE(read.Ok) << cut << ": " << read.Error;
    EXPECT_TRUE(read.Data.Truncated) << cut;
    EXPECT_EQ(read.Data.Zones.size(), 1u) << cut;
    EXPECT_EQ(read.Data.Zones[0].Rows.size(), 501u) << cut;
  }
  // Only the line end of the last row missing: still complete.
  read = ParseResultFile(std::string_view(whole).substr(0, whole.size() - 2));
  ASSERT_TRUE(read.Ok);
  EXPECT_FALSE(read.Data.Truncated);
  EXPECT_EQ(read.Data.Zones.size(), 2u);
}

TEST_F(ResultFileReaderTest, OtherFilesAreRefusedWithTheReason) {
  const std::string whole = ReadAll(Run(FieldTextMap(), "result.txt", RunOutcome::Finished));

  // A data file of the same inputs.
  const fs::path data = dir_ / "data.txt";
  ASSERT_TRUE(WriteDataFile(data.string(), FieldTextMap()));
  ResultFileRead read = ReadResultFile(data.string());
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Error, "it does not begin with the input echo of a result file");

  read = ReadResultFile((dir_ / "missing.txt").string());
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Error, "it cannot be read (No such file or directory)");

  EXPECT_FALSE(ParseResultFile("").Ok);
  EXPECT_FALSE(ParseResultFile("hello\r\nworld\r\n").Ok);

  // A damaged row in the middle is not taken for an interrupted write.
  std::string damaged = whole;
  const size_t row = damaged.find("   1.000     1.000");
  ASSERT_NE(row, std::string::npos);
  damaged.replace(row + 12, 1, "x");
  read = ParseResultFile(damaged);
  EXPECT_FALSE(read.Ok);
  EXPECT_NE(read.Error.find("is not a row of the results table"), std::string::npos) << read.Error;

  // A table with a row left out.
  std::string shortTable = whole;
  const size_t layer = shortTable.find("  0.100   0.100    ");
  shortTable.erase(layer, shortTable.find('\n', layer) + 1 - layer);
  read = ParseResultFile(shortTable);
  EXPECT_FALSE(read.Ok);
  EXPECT_EQ(read.Error, "the tables of zone 1 have different numbers of rows");

  // Zones out of order.
  std::string reordered = whole;
  reordered.replace(reordered.find("  ZONE 2"), 8, "  ZONE 3");
  read = ParseResultFile(reordered);
  EXPECT_FALSE(read.Ok);
  EXPECT_NE(read.Error.find("starts zone 3 where zone 2 was due"), std::string::npos) << read.Error;

  // The echo alone (a run that stopped in zone 1) is a result file without
  // results.
  const std::string echo = whole.substr(0, whole.find("  [SIMULATION RESULTS]"));
  read = ParseResultFile(echo);
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_TRUE(read.Data.Zones.empty());
  EXPECT_EQ(read.Data.Conditions.size(), 1u);
}

// The smallest result file (an echo that stopped in zone 1) with one value
// changed: a value that is no finite number or outside its range is
// refused naming its line, never converted.
TEST(ResultFileReaderValues, NonFiniteAndOutOfRangeValuesAreRefusedNamingTheLine) {
  const std::string head = "===\r\nPHISICAL PROPERTIES\r\n===\r\n";
  const auto file = [&](const std::string& increment, const std::string& layers, const std::string& zone) {
    return head + "  Increment of z (cm) = " + increment + "\r\n  Number of Layers = " + layers +
           "\r\n  Web Speed (m/s) = 0.5\r\n  ZONE " + zone + "\r\n  Zone Length (m) = 10.00\r\n\r\n";
  };
  ASSERT_TRUE(ParseResultFile(file("2.00000", "20", "1")).Ok);
  const struct {
    std::string bytes, error;
  } cases[] = {
      {file("nan", "20", "1"), "line 4 holds no finite number after \"=\""},
      {file("inf", "20", "1"), "line 4 holds no finite number after \"=\""},
      {file("2.0", "1e10", "1"), "its number of layers is not 10, 20, 30 or 40"},
      {file("2.0", "1e999", "1"), "line 5 holds no finite number after \"=\""},
      {file("2.0", "20", "nan"), "line 7 names no zone from 1 to 14"},
      {file("2.0", "20", "1e10"), "line 7 names no zone from 1 to 14"},
      {file("2.0", "20", "1") + "  Zone Length (m) = -inf\r\n\r\n", "line 10 holds no finite number after \"=\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    const ResultFileRead read = ParseResultFile(c.bytes);
    EXPECT_FALSE(read.Ok);
    EXPECT_EQ(read.Error, c.error);
  }
}

// Fourteen zones are the most a run has, and what the summary and the
// results window are sized for: a file that names a fifteenth is refused at
// that line, whatever follows.
TEST(ResultFileReaderValues, AFifteenthZoneIsRefused) {
  std::string bytes =
      "===\r\nPHISICAL PROPERTIES\r\n===\r\n  Increment of z (cm) = 2.00000\r\n  Number of Layers = 20\r\n"
      "  Web Speed (m/s) = 0.5\r\n";
  int lines = 6;
  for (int k = 1; k <= 14; ++k) {
    bytes += "  ZONE " + std::to_string(k) + "\r\n  Zone Length (m) = 10.00\r\n";
    lines += 2;
  }
  const ResultFileRead fourteen = ParseResultFile(bytes);
  ASSERT_TRUE(fourteen.Ok) << fourteen.Error;
  EXPECT_EQ(fourteen.Data.Conditions.size(), 14u);
  EXPECT_EQ(fourteen.Data.Conditions.back().Zone, 14);

  bytes += "  ZONE 15\r\n  Zone Length (m) = 10.00\r\n";
  const ResultFileRead fifteen = ParseResultFile(bytes);
  EXPECT_FALSE(fifteen.Ok);
  EXPECT_EQ(fifteen.Error, "line " + std::to_string(lines + 1) + " names no zone from 1 to 14");
}

// Only a regular file is read, and a large one only when it begins as a
// result file and stays within any result file's size.
TEST_F(ResultFileReaderTest, FifosDevicesAndHugeFilesAreRefusedWithoutReadingThem) {
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ReadResultFile(fifo.string()).Error, "it cannot be read (not a regular file)");  // no writer: no hang
  EXPECT_EQ(ReadResultFile("/dev/zero").Error, "it cannot be read (not a regular file)");

  // Sparse files of 1 GB: zeros are no result file; a result file's opening
  // followed by a gigabyte is too large.
  const fs::path zeros = dir_ / "zeros.txt";
  filetest::WriteBytes(zeros, "");
  fs::resize_file(zeros, 1LL << 30);
  EXPECT_EQ(ReadResultFile(zeros.string()).Error, "it does not begin with the input echo of a result file");
  const fs::path big = dir_ / "big.txt";
  filetest::WriteBytes(big, "===\r\nPHISICAL PROPERTIES\r\n===\r\n");
  fs::resize_file(big, 1LL << 30);
  EXPECT_EQ(ReadResultFile(big.string()).Error, "it is far larger than any result file");
}


// The file is read in blocks of 64 KiB: a file cut at any byte around a
// block's end (a line end split between blocks, a row's last digit or its
// CR alone in the next block, the file ending exactly there) reads as the
// same bytes held whole.
TEST_F(ResultFileReaderTest, ReadingByBlocksAgreesWithTheWholeBytesAtEveryCutNearABlocksEnd) {
  const std::string whole = ReadAll(Run(FieldTextMap(), "whole.txt", RunOutcome::Finished));
  ASSERT_GT(whole.size(), 3u * 65536);
  const fs::path cutFile = dir_ / "cut.txt";
  for (const size_t block : {size_t{65536}, size_t{2 * 65536}}) {
    for (size_t cut = block - 160; cut <= block + 160; ++cut) {
      const std::string_view bytes = std::string_view(whole).substr(0, cut);
      filetest::WriteBytes(cutFile, std::string(bytes));
      const ResultFileRead streamed = ReadResultFile(cutFile.string());
      const ResultFileRead held = ParseResultFile(bytes);
      SCOPED_TRACE(cut);
      ASSERT_EQ(streamed.Ok, held.Ok) << streamed.Error << " / " << held.Error;
      EXPECT_EQ(streamed.Error, held.Error);
      EXPECT_EQ(streamed.Data.Truncated, held.Data.Truncated);
      ASSERT_EQ(streamed.Data.Zones.size(), held.Data.Zones.size());
      ASSERT_EQ(streamed.Data.Echo.size(), held.Data.Echo.size());
      for (size_t z = 0; z < held.Data.Zones.size(); ++z) {
        ASSERT_EQ(streamed.Data.Zones[z].Rows.size(), held.Data.Zones[z].Rows.size());
        EXPECT_EQ(streamed.Data.Zones[z].Rows.back().Temp, held.Data.Zones[z].Rows.back().Temp);
        EXPECT_EQ(streamed.Data.Zones[z].Solvent2.back().Conc, held.Data.Zones[z].Solvent2.back().Conc);
      }
    }
  }
  // A damaged row whose line end is a block's last byte is no cut-off
  // write: lines follow it.
  std::string damaged = whole;
  const size_t start = damaged.rfind('\n', 65534) + 1;
  damaged.replace(start, damaged.find('\n', start) - start, "x" + std::string(65535 - start - 1, ' '));
  ASSERT_EQ(damaged[65535], '\n');
  filetest::WriteBytes(cutFile, damaged);
  EXPECT_FALSE(ParseResultFile(damaged).Ok);
  EXPECT_EQ(ReadResultFile(cutFile.string()).Error, ParseResultFile(damaged).Error);
  // Ending on a full block, then one line end more.
  const std::string_view exact = std::string_view(whole).substr(0, 65536 + whole.substr(65536).find('\n') + 1);
  for (const std::string& bytes : {std::string(exact), std::string(exact) + "\n"}) {
    filetest::WriteBytes(cutFile, bytes);
    EXPECT_EQ(ReadResultFile(cutFile.string()).Data.Truncated, ParseResultFile(bytes).Data.Truncated);
  }
}

// A file of 63 MiB that opens as a result file and holds nothing but line
// ends is read line by line: refused for its missing echo while the reader's
// memory stays within a small multiple of the file (here: under four times
// its size of address space, where holding every line would take over a
// gigabyte).
TEST_F(ResultFileReaderTest, ALargeFileOfLineEndsIsRefusedInASmallMultipleOfItsSize) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves its shadow memory in the address space limited here";
#else
  const fs::path path = dir_ / "line-ends.txt";
  const long long size = 63LL << 20;
  {
    std::ofstream out(path, std::ios::binary);
    const std::string head = "===\r\nPHISICAL PROPERTIES\r\n";
    out << head << std::string(static_cast<size_t>(size) - head.size(), '\n');
  }
  ASSERT_EQ(static_cast<long long>(fs::file_size(path)), size);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The address space in use now, then room for four copies of the file.
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
      std::fclose(statm);
    }
    const rlim_t limit = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + 4 * static_cast<rlim_t>(size);
    const rlimit rl{limit, limit};
    if (pages == 0 || ::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(10);
    try {
      const ResultFileRead read = ReadResultFile(path.string());
      ::_exit(read.Ok ? 11 : read.Error == "its input echo lacks the calculation accuracy, the web speed or zone 1's "
                                           "conditions" ? 0 : 12);
    } catch (const std::bad_alloc&) {
      ::_exit(13);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the reader died by signal " << WTERMSIG(status);
  // 13: out of memory; 12: another reason; 11: accepted; 10: no limit set.
  EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

}  // namespace
}  // namespace kelvane
