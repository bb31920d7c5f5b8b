// The OK sequence seen from outside: what reaches the user (messages, busy
// cursor, finish dialog, error reports) and what the result file holds after
// each way a run can end.

#include <gtest/gtest.h>
#include <fpu_control.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cfenv>
#include <cstring>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/MiscCalc.h"
#include "files/ResultFileReader.h"
#include "files_test_support.h"
#include "fields/FieldTable.h"
#include "run/MessageExplanations.h"
#include "run/RunHost.h"
#include "run/StartRun.h"
#include "tests/support/RunTestSupport.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;
using filetest::SplitCrLf;
using runtest::kFinished;
using runtest::RecordingRunHost;
using runtest::StagedPath;

int CountLines(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

std::vector<std::size_t> FindLines(const std::vector<std::string>& lines, const std::string& text) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == text) at.push_back(i);
  return at;
}

// The rows of the four tables of the results section starting at `start`,
// and the line after the section.
struct ZoneTables {
  std::vector<std::string> rows[4];
  std::size_t end = 0;
};

ZoneTables ParseZone(const std::vector<std::string>& lines, std::size_t start) {
  ZoneTables t;
  std::size_t i = start + 4;  // heading, column names, units, empty line
  while (i < lines.size() && !lines[i].empty()) t.rows[0].push_back(lines[i++]);
  for (int table = 1; table < 4; ++table) {
    i += 5;  // empty line, title, rule, column names, units
    while (i < lines.size() && !lines[i].empty()) t.rows[table].push_back(lines[i++]);
  }
  t.end = i;
  return t;
}

double Column(const std::string& row, std::size_t from, std::size_t width) {
  return std::stod(row.substr(from, width));
}

class RunDriverTest : public filetest::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    result = Path("result.txt");
    fields.SetText("Edit250", result);
    host = std::make_unique<RecordingRunHost>(result);
    calc = std::make_unique<Calculation>();
  }

  // Zones of `metres` each, for runs that need only a few rows.
  void ShortZones(const char* metres) {
    fields.SetText("Edit8", metres);
    fields.SetText("Edit22", metres);
  }

  RunReport Run() { return StartRun(fields, *host, *calc); }
  std::vector<std::string> Lines() const { return SplitCrLf(ReadBytes(result)); }

  std::string result;
  FieldTextMap fields;
  std::unique_ptr<RecordingRunHost> host;
  std::unique_ptr<Calculation> calc;
};

TEST_F(RunDriverTest, DefaultRunWritesEverySectionInOrderAndFinishesOnce) {
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::Finished);
  EXPECT_EQ(report.ZonesWritten, 2);
  EXPECT_EQ(report.FailedZone, 0);

  // Busy cursor for the whole march, back to default before the dialog.
  EXPECT_EQ(host->events, (std::vector<std::string>{"cursor: busy", "cursor: default", kFinished}));
  EXPECT_FALSE(host->busyAtFinish);
  EXPECT_FALSE(host->idleProgress);

  // Order of the writes: during zone 1 the file holds the echo only; during
  // zone 2 it also holds zone 1's results and zone 2's conditions.  All of
  // it goes to the temporary file; the final name appears when the run ends
  // and the temporary file is gone.
  EXPECT_FALSE(host->finalExistedDuringRun);
  EXPECT_EQ(StagedPath(result), "");
  ASSERT_EQ(host->fileAtZoneStart.size(), 2u);
  const auto duringZone1 = SplitCrLf(host->fileAtZoneStart[0]);
  EXPECT_EQ(duringZone1.size(), 109u);
  EXPECT_EQ(duringZone1.at(93), "  ZONE 1");
  const auto duringZone2 = SplitCrLf(host->fileAtZoneStart[1]);
  EXPECT_EQ(CountLines(duringZone2, "  [SIMULATION RESULTS]"), 1);
  ASSERT_GE(duringZone2.size(), 12u);
  EXPECT_EQ(duringZone2[duringZone2.size() - 10], "  ZONE 2");
  EXPECT_EQ(duringZone2.back(), "");

  const std::string bytes = ReadBytes(result);
  const auto lines = SplitCrLf(bytes);
  EXPECT_EQ(bytes.compare(0, host->fileAtZoneStart[1].size(), host->fileAtZoneStart[1]), 0)
      << "later sections are appended after the earlier ones";
  const auto starts = FindLines(lines, "  [SIMULATION RESULTS]");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_EQ(starts[0], 109u) << "109 echo lines before zone 1's results";
  for (std::size_t s : starts) {
    EXPECT_EQ(lines[s - 1], "");
    EXPECT_EQ(lines[s - 2], "");
    EXPECT_NE(lines[s - 3], "");
  }

  const ZoneTables zone1 = ParseZone(lines, starts[0]);
  const ZoneTables zone2 = ParseZone(lines, starts[1]);
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(zone1.rows[t].size(), 501u) << "zone 1 table " << t + 1;
    EXPECT_EQ(zone2.rows[t].size(), 501u) << "zone 2 table " << t + 1;
  }
  // Zone 2's conditions sit between the two result sections.
  EXPECT_EQ(lines.at(zone1.end), "");
  EXPECT_EQ(lines.at(zone1.end + 2), "  ZONE 2");
  EXPECT_EQ(zone1.end + 12, starts[1]);
  EXPECT_EQ(zone2.end, lines.size()) << "the file ends with the last row of table 4";

  // Zone 2 continues where zone 1 ended: the clock runs on, the position
  // restarts, and the temperature carries over.
  EXPECT_EQ(zone1.rows[0].back().substr(0, 8), "  50.000");
  EXPECT_EQ(zone2.rows[0].front().substr(0, 18), "  50.000     0.000");
  EXPECT_EQ(zone2.rows[0].front().substr(21, 8), zone1.rows[0].back().substr(21, 8));
  // On its way the film first cools to about 21.7 degC.
  double coolest = 1e9;
  for (const std::string& row : zone1.rows[0]) coolest = std::min(coolest, Column(row, 22, 6));
  EXPECT_NEAR(coolest, 21.7, 0.05);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(RunDriverTest, RefusedInputTouchesNothing) {
  filetest::WriteBytes(result, "an earlier result");
  fields.SetText("Edit20", "15");
  RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::Refused);
  EXPECT_EQ(host->events, (std::vector<std::string>{"message: Number of Layers shoud be 10, 20, 30 or 40."}));
  EXPECT_EQ(ReadBytes(result), "an earlier result");

  // An empty "Save File Name" is refused the same way: nothing is created.
  std::filesystem::remove(result);
  fields.SetText("Edit20", "20");
  fields.SetText("Edit250", "");
  host = std::make_unique<RecordingRunHost>();
  report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::Refused);
  EXPECT_EQ(host->events, (std::vector<std::string>{"message: Input Save File Name!"}));
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(RunDriverTest, FailureInZoneOneLeavesTheEchoOnly) {
  fields.SetText("Edit20", "10");
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::EngineFailed);
  EXPECT_EQ(report.FailedZone, 1);
  EXPECT_EQ(report.ZonesWritten, 0);
  EXPECT_EQ(calc->State.LastStep, 7);
  EXPECT_EQ(host->events,
            (std::vector<std::string>{"cursor: busy", std::string("message: ") + TransferFailureMessage,
                                      "cursor: default"}));
  const auto lines = Lines();
  EXPECT_EQ(lines.size(), 109u);
  EXPECT_EQ(lines.at(85).substr(lines.at(85).size() - 5), "=  10");
}

TEST_F(RunDriverTest, FailureInZoneTwoLeavesItsConditionsWithoutResults) {
  ShortZones("0.2");
  fields.SetText("Edit23", "1e6");  // solvent-1 partial pressure of zone 2
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::EngineFailed);
  EXPECT_EQ(report.FailedZone, 2);
  EXPECT_EQ(report.ZonesWritten, 1);
  EXPECT_EQ(host->finishDialogs, 0);
  EXPECT_EQ(host->messages.size(), 1u);
  EXPECT_FALSE(host->busy);

  const auto lines = Lines();
  EXPECT_EQ(CountLines(lines, "  [SIMULATION RESULTS]"), 1);
  ASSERT_GE(lines.size(), 12u);
  EXPECT_EQ(lines[lines.size() - 10], "  ZONE 2");
  EXPECT_EQ(lines[lines.size() - 3].substr(0, 43), "    Coat-side Heat Trans. Coeff. (W/cm^2.K)");
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_EQ(lines[lines.size() - 1], "");
}

TEST_F(RunDriverTest, OneZoneRunAppendsNoConditionsBlock) {
  ShortZones("0.2");
  for (const char* zone2 : {"", "0", "0.0"}) {
    SCOPED_TRACE(std::string("zone 2 outer temperature \"") + zone2 + "\"");
    fields.SetText("Edit21", zone2);
    fields.SetText("Edit31", "60.0");  // ignored after the first zone not in use
    host = std::make_unique<RecordingRunHost>(result);
    const RunReport report = Run();
    EXPECT_EQ(report.Outcome, RunOutcome::Finished);
    EXPECT_EQ(report.ZonesWritten, 1);
    EXPECT_EQ(host->finishDialogs, 1);
    const auto lines = Lines();
    EXPECT_EQ(CountLines(lines, "  [SIMULATION RESULTS]"), 1);
    EXPECT_EQ(CountLines(lines, "  -------"), 2);  // zone 1's, in the echo
    const ZoneTables zone1 = ParseZone(lines, 109);
    EXPECT_EQ(zone1.rows[3].size(), 3u);  // 10 steps: rows 0, 5, 10
    EXPECT_EQ(zone1.end, lines.size());
  }
}

// The faithful message, then the file and the system's reason.
TEST_F(RunDriverTest, UnopenableResultFileEndsTheRunAtOnce) {
  const std::string tooLong = Path(std::string(300, 'n') + ".txt");
  const struct {
    std::string name, reason;
  } cases[] = {
      {Path("missing/result.txt"), "No such file or directory"},
      {Path(""), "Is a directory"},
      {tooLong, "File name too long"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fields.SetText("Edit250", c.name);
    host = std::make_unique<RecordingRunHost>();
    const RunReport report = Run();
    EXPECT_EQ(report.Outcome, RunOutcome::FileError);
    EXPECT_EQ(host->events,
              (std::vector<std::string>{"message: File can not open!\n" + c.name + ": " + c.reason}));
    EXPECT_EQ(host->lastProgressZone, 0) << "nothing is marched";
  }
}

TEST_F(RunDriverTest, FailedWriteIsReportedAsAnIoError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  fields.SetText("Edit250", "/dev/full");
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::FileError);
  EXPECT_EQ(host->events, (std::vector<std::string>{"report: I/O エラー (28)\n/dev/full: No space left on device"}));
  EXPECT_EQ(host->finishDialogs, 0);
}

// The layer thicknesses of the largest double coating, in micrometres, are
// beyond any double: the run ends on the overflow and prints no results.
TEST_F(RunDriverTest, ScaledOutputBeyondADoubleIsAnOverflow) {
  fields.SetText("Edit1", "1.7976931348623157e308");
  fields.SetText("Edit19", "1e308");
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::ArithmeticFault);
  EXPECT_EQ(host->reports, std::vector<std::string>{"浮動小数点数のオーバーフロー"});
  EXPECT_EQ(host->finishDialogs, 0);
  EXPECT_EQ(CountLines(Lines(), "  [SIMULATION RESULTS]"), 0);
}

TEST_F(RunDriverTest, ZoneTemperatureThatIsNotANumberGoesToTheErrorReport) {
  fields.SetText("Edit21", "x");
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::GeneralError);
  EXPECT_EQ(host->events, (std::vector<std::string>{"report: 'x' は浮動小数点数ではありません"}));
  EXPECT_FALSE(std::filesystem::exists(result));
}

TEST_F(RunDriverTest, ArithmeticFaultIsReportedOnceWithTheCursorRestored) {
  ShortZones("0.2");
  // F1 = 0 (a zero Dconst) faults with a division by zero in the first step.
  fields.SetText("Edit251", "0");
  RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::ArithmeticFault);
  EXPECT_EQ(report.FailedZone, 1);
  EXPECT_EQ(host->events, (std::vector<std::string>{"cursor: busy", "cursor: default",
                                                    "report: 0 による浮動小数点数除算"}));
  EXPECT_FALSE(host->busyAtReport);
  EXPECT_EQ(Lines().size(), 109u) << "the echo written before the fault stays";

  // A fault while setting up the film (a solvent-1 density of 0) comes before the
  // march: the cursor never changes.
  fields.SetText("Edit251", "0.001316");
  fields.SetText("Edit227", "0");
  host = std::make_unique<RecordingRunHost>(result);
  report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::ArithmeticFault);
  EXPECT_EQ(host->events, (std::vector<std::string>{"report: 0 による浮動小数点数除算"}));
  EXPECT_EQ(Lines().size(), 109u);
}

TEST_F(RunDriverTest, EveryRunStartsAfresh) {
  // A failed run and a fault leave nothing behind for the next run on the
  // same calculation: its file equals that of a fresh calculation.
  ShortZones("0.3");
  fields.SetText("Edit20", "10");
  Run();
  fields.SetText("Edit20", "20");
  fields.SetText("Edit251", "0");
  Run();
  fields.SetText("Edit251", "0.001316");
  host = std::make_unique<RecordingRunHost>(result);
  ASSERT_EQ(Run().Outcome, RunOutcome::Finished);
  const std::string reused = ReadBytes(result);

  calc = std::make_unique<Calculation>();
  ASSERT_EQ(Run().Outcome, RunOutcome::Finished);
  EXPECT_EQ(ReadBytes(result), reused);
}

TEST_F(RunDriverTest, ArithmeticModeLeftByALibraryDoesNotChangeTheResult) {
  // A library that left the x87 unit at double precision and rounding
  // upward must not change a bit of the computed state.
  ShortZones("2.0");
  ASSERT_EQ(Run().Outcome, RunOutcome::Finished);
  const std::string expectedFile = ReadBytes(result);
  const std::unique_ptr<Calculation> reference = std::move(calc);

  fpu_control_t saved;
  _FPU_GETCW(saved);
  fpu_control_t doublePrecision = static_cast<fpu_control_t>((saved & ~_FPU_EXTENDED) | _FPU_DOUBLE);
  _FPU_SETCW(doublePrecision);
  std::fesetround(FE_UPWARD);
  calc = std::make_unique<Calculation>();
  const RunOutcome outcome = Run().Outcome;
  _FPU_SETCW(saved);
  std::fesetround(FE_TONEAREST);
  ASSERT_EQ(outcome, RunOutcome::Finished);
  EXPECT_EQ(ReadBytes(result), expectedFile);
  const int n = calc->Setup.ZoneStepCount[2];
  for (const auto member : {&FilmState::FilmTemp, &FilmState::AvgConc1, &FilmState::AvgConc2, &FilmState::CoatThick})
    EXPECT_EQ(std::memcmp((calc->State.*member).data(), (reference->State.*member).data(), (n + 1) * sizeof(double)),
              0);
}

TEST_F(RunDriverTest, CancelEndsTheRunWithoutFinishing) {
  ShortZones("4.0");
  calc->ProgressInterval = 50;
  host->cancelInZone = 2;
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(report.ZonesWritten, 1);
  EXPECT_EQ(host->finishDialogs, 0);
  EXPECT_FALSE(host->busy);
  const auto lines = Lines();
  EXPECT_EQ(CountLines(lines, "  [SIMULATION RESULTS]"), 1);
  EXPECT_EQ(lines[lines.size() - 11], "  ZONE 2");
  // Marked as cancelled, for the reader and the results window.
  EXPECT_EQ(lines.back(), "  [CALCULATION CANCELLED]");
  const ResultFileRead read = ReadResultFile(result);
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_TRUE(read.Data.Cancelled);
  EXPECT_EQ(read.Data.Zones.size(), 1u);
  EXPECT_EQ(read.Data.Conditions.back().Zone, 2);
}

TEST_F(RunDriverTest, TimesOfAThousandSecondsShiftTheProfileTables) {
  fields.SetText("Edit5", "0.05");  // 50 m at 0.05 m/s: the zone ends at 1000 s
  fields.SetText("Edit21", "");
  ASSERT_EQ(Run().Outcome, RunOutcome::Finished);
  const auto lines = Lines();
  const ZoneTables zone1 = ParseZone(lines, 109);
  ASSERT_EQ(zone1.rows[0].size(), 501u);
  // Table 1 keeps its columns: its time column is 8 bytes wide.
  EXPECT_EQ(zone1.rows[0][499].substr(0, 18), " 998.000    49.900");
  EXPECT_EQ(zone1.rows[0][500].substr(0, 18), "1000.000    50.000");
  // Tables 2 to 4: a 7-byte time column that the fourth integer digit widens.
  const char* gap[4] = {nullptr, "   ", "  ", "   "};
  for (int t = 1; t < 4; ++t) {
    SCOPED_TRACE("table " + std::to_string(t + 1));
    const std::string& before = zone1.rows[t][499];
    const std::string& after = zone1.rows[t][500];
    const std::size_t g = std::string(gap[t]).size();
    EXPECT_EQ(before.substr(0, 15) + "|" + before.substr(15, g), "998.000  49.900|" + std::string(gap[t]));
    EXPECT_EQ(after.substr(0, 16) + "|" + after.substr(16, g), "1000.000  50.000|" + std::string(gap[t]));
    if (t > 1) {  // the concentrations are not aligned: C0 follows the gap at once
      EXPECT_EQ(before[15 + g], '0');
      EXPECT_EQ(after[16 + g], '0');
    }
    EXPECT_EQ(after.size(), before.size() + 1);
  }
}

TEST_F(RunDriverTest, FourteenZones) {
  fields.SetText("Edit8", "0.1");  // 5 steps per zone: rows 0 and 5
  for (int k = 2; k <= MaxZones; ++k) {
    const char* texts[6] = {"60.0", "0.1", "0.0", "0.0", "0.0009228", "0.0010944"};
    for (int i = 1; i <= 6; ++i) fields.SetText(ZoneComponent(k, i), texts[i - 1]);
  }
  fields.SetText(ZoneComponent(14, 1), "70.0");
  const RunReport report = Run();
  EXPECT_EQ(report.Outcome, RunOutcome::Finished);
  EXPECT_EQ(report.ZonesWritten, 14);
  EXPECT_EQ(host->finishDialogs, 1);
  EXPECT_EQ(host->lastProgressZone, 14);

  const auto lines = Lines();
  const auto starts = FindLines(lines, "  [SIMULATION RESULTS]");
  ASSERT_EQ(starts.size(), 14u);
  for (int k = 2; k <= MaxZones; ++k) {
    SCOPED_TRACE("zone " + std::to_string(k));
    const std::size_t conditions = starts[k - 1] - 12;
    EXPECT_EQ(lines[conditions + 2], "  ZONE " + std::to_string(k));
    EXPECT_EQ(ParseZone(lines, starts[k - 2]).end, conditions);
    const ZoneTables tables = ParseZone(lines, starts[k - 1]);
    for (int t = 0; t < 4; ++t) EXPECT_EQ(tables.rows[t].size(), 2u);
    // The clock runs on from zone to zone (0.1 s each), the position restarts.
    char clock[32];
    std::snprintf(clock, sizeof clock, "%8.3f     0.000", 0.1 * (k - 1));
    EXPECT_EQ(tables.rows[0][0].substr(0, 18), clock);
  }
  EXPECT_EQ(lines[starts[13] - 8], "    Outer Temperature (\x81\x8e)                            =  70.00");
  EXPECT_EQ(ParseZone(lines, starts[13]).end, lines.size());
}

// The engine's failures reach the host with where the march stood and what
// to try; the faithful text is unchanged.
TEST_F(RunDriverTest, EngineFailureNamesItsStepAndTheRobustSolve) {
  fields.SetText("Edit20", "10");
  EXPECT_EQ(Run().Outcome, RunOutcome::EngineFailed);
  ASSERT_EQ(host->messages, std::vector<std::string>{TransferFailureMessage});
  ASSERT_EQ(host->details.size(), 1u);
  const MessageDetail& d = host->details[0];
  EXPECT_NE(d.Explanation.find("zone 1, step 7 of 2500: 0.140 m into the zone, 0.140 s"), std::string::npos)
      << d.Explanation;
  EXPECT_NE(d.Explanation.find("--robust"), std::string::npos);
  EXPECT_TRUE(d.SuggestRobust);

  // An arithmetic fault names its step too (a zero Dconst divides by zero
  // in the first step).
  host = std::make_unique<RecordingRunHost>(result);
  fields.SetText("Edit20", "20");
  fields.SetText("Edit251", "0");
  EXPECT_EQ(Run().Outcome, RunOutcome::ArithmeticFault);
  ASSERT_EQ(host->reports.size(), 1u);
  ASSERT_EQ(host->details.size(), 1u);
  EXPECT_EQ(host->details[0].Explanation.rfind("Floating-point division by zero at ", 0), 0u)
      << host->details[0].Explanation;
}

// A run replaces the result file whole when it ends, however it ends; a
// cancelled run over an earlier file asks which one to keep.
TEST_F(RunDriverTest, ResultFileIsReplacedWholeWhenTheRunEnds) {
  const std::string earlier = "an earlier result\r\n";
  filetest::WriteBytes(result, earlier);
  fields.SetText("Edit20", "10");  // fails in zone 1: the echo replaces the earlier file
  EXPECT_EQ(Run().Outcome, RunOutcome::EngineFailed);
  EXPECT_EQ(Lines().size(), 109u);
  EXPECT_EQ(StagedPath(result), "");
  EXPECT_EQ(host->keepQuestions, 0);

  fields.SetText("Edit20", "20");
  ShortZones("4.0");
  calc->ProgressInterval = 50;
  for (const bool keep : {false, true}) {
    filetest::WriteBytes(result, earlier);
    host = std::make_unique<RecordingRunHost>(result);
    host->cancelInZone = 1;
    host->keepPartial = keep;
    EXPECT_EQ(Run().Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(host->keepQuestions, 1);
    EXPECT_EQ(ReadBytes(result) == earlier, !keep);
    EXPECT_EQ(StagedPath(result), "");
  }
  // Without an earlier file there is nothing to ask: the partial result stays.
  std::filesystem::remove(result);
  host = std::make_unique<RecordingRunHost>(result);
  host->cancelInZone = 1;
  host->keepPartial = false;
  EXPECT_EQ(Run().Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(host->keepQuestions, 0);
  EXPECT_EQ(Lines().size(), 110u) << "the echo and the cancellation mark";
}

// A rerun replaces the result file with one of the same mode: a result kept
// private stays private and a shared one stays shared, whatever the umask.
// A new file gets the mode the umask gives it.
TEST_F(RunDriverTest, ReplacedResultKeepsItsMode) {
  ShortZones("0.2");
  const mode_t mask = ::umask(022);
  const auto mode = [&] {
    struct stat st {};
    EXPECT_EQ(::stat(result.c_str(), &st), 0);
    return st.st_mode & 07777;
  };
  EXPECT_EQ(Run().Outcome, RunOutcome::Finished);
  EXPECT_EQ(mode(), 0644u);
  for (const mode_t kept : {0600, 0640, 0664}) {
    SCOPED_TRACE(kept);
    ASSERT_EQ(::chmod(result.c_str(), kept), 0);
    host = std::make_unique<RecordingRunHost>(result);
    EXPECT_EQ(Run().Outcome, RunOutcome::Finished);
    EXPECT_EQ(mode(), kept);
  }
  // A run that fails in zone 1 replaces the file too, keeping its mode.
  fields.SetText("Edit20", "10");
  host = std::make_unique<RecordingRunHost>(result);
  EXPECT_EQ(Run().Outcome, RunOutcome::EngineFailed);
  EXPECT_EQ(Lines().size(), 109u);
  EXPECT_EQ(mode(), 0664u);
  ::umask(mask);
}

// A run killed in the middle of a zone never leaves a half-replaced file:
// the earlier result keeps every byte; what the run had written is in its
// temporary file only.  The process kills itself at a known point of the
// march (zone 2's first progress report), not when a timer fires.
TEST_F(RunDriverTest, RunKilledInTheMiddleLeavesTheEarlierResultIntact) {
  ShortZones("0.4");
  ASSERT_EQ(Run().Outcome, RunOutcome::Finished);
  const std::string earlier = ReadBytes(result);

  class KilledInZoneTwo : public RecordingRunHost {
   public:
    using RecordingRunHost::RecordingRunHost;
    void Progress(int zone, int zones, int step, int steps) override {
      if (zone == 2) ::raise(SIGKILL);
      RecordingRunHost::Progress(zone, zones, step, steps);
    }
  };
  ShortZones("4.0");
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    KilledInZoneTwo killed(result);
    Calculation fresh;
    StartRun(fields, killed, fresh);
    ::_exit(0);  // not reached when the kill works
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run was not killed in zone 2";
  EXPECT_EQ(ReadBytes(result), earlier);
  const std::string staged = StagedPath(result);
  ASSERT_NE(staged, "") << "the killed run's temporary file";
  const auto lines = SplitCrLf(ReadBytes(staged));
  EXPECT_EQ(CountLines(lines, "  [SIMULATION RESULTS]"), 1);
  EXPECT_EQ(CountLines(lines, "  ZONE 2"), 1);
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// Where a fault struck reads as a sentence before the march and at a step.
TEST(MessageExplanations, FaultPlaceReadsAsASentence) {
  EXPECT_EQ(ExplainFault(FaultKind::Overflow, StepLocation{}).Explanation.rfind(
                "Floating-point overflow before the march. ", 0),
            0u);
  EXPECT_EQ(ExplainFault(FaultKind::DivisionByZero, StepLocation{2, 7, 25, 0.14, 50.14}).Explanation.rfind(
                "Floating-point division by zero at zone 2, step 7 of 25: 0.140 m into the zone", 0),
            0u);
}

}  // namespace
}  // namespace kelvane
