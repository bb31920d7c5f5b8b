// kelvane-run end to end: the built runner started in a scratch folder, its
// exit status, standard error and the files it leaves behind.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "files/ResultFileReader.h"
#include "files_test_support.h"
#include "fields/FieldTable.h"
#include "tests/support/WindowDefaults.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;
using filetest::SplitCrLf;

const std::string kFinished = "Calculation is successfully finished !\n";

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Result {
  int status = -1;
  std::string out, err;
};

class KelvaneRunTest : public filetest::ScratchDir {
 protected:
  // Runs kelvane-run in the scratch folder with standard output and standard
  // error going to files (so standard error is not a terminal).
  Result Run(const std::vector<std::string>& args) {
    std::string cmd = "cd " + Quote(dir_.string()) + " && " + Quote(KELVANE_RUNNER);
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " >.stdout 2>.stderr";
    const int rc = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = ReadBytes(dir_ / ".stdout");
    r.err = ReadBytes(dir_ / ".stderr");
    std::filesystem::remove(dir_ / ".stdout");
    std::filesystem::remove(dir_ / ".stderr");
    return r;
  }
  // The files the runner left in the scratch folder.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string File(const std::string& name) const { return ReadBytes(dir_ / name); }
  // Starts kelvane-run with `args` in the scratch folder, its standard error
  // going to .stderr, SIGTERM at its default action and SIGINT at `sigint`
  // (the default, or ignored as nohup and a background job leave it).
  pid_t Start(std::vector<std::string> args, void (*sigint)(int)) {
    args.insert(args.begin(), KELVANE_RUNNER);
    const pid_t pid = ::fork();
    if (pid == 0) {
      std::signal(SIGINT, sigint);
      std::signal(SIGTERM, SIG_DFL);
      const int err = ::open((dir_ / ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (::chdir(dir_.c_str()) != 0 || err < 0 || ::dup2(err, 2) < 0) ::_exit(99);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(98);
    }
    return pid;
  }
  // Waits until the run's temporary result file holds `zones` zones'
  // results, or the run has ended (then false).  The run marches on while
  // this looks; it is only a wait for the march to get there.
  bool AwaitResults(pid_t pid, int zones) {
    for (;;) {
      const std::string staged = Staged("result.txt");
      int found = 0;
      for (std::size_t at = staged.find("  [SIMULATION RESULTS]"); at != std::string::npos;
           at = staged.find("  [SIMULATION RESULTS]", at + 1))
        ++found;
      if (found >= zones) return true;
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended_ = status;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  // The exit status of `pid`, waited for unless AwaitResults saw it end.
  int Wait(pid_t pid) {
    int status = ended_;
    if (status == -1) {
      EXPECT_EQ(::waitpid(pid, &status, 0), pid);
    }
    ended_ = -1;
    return status;
  }
  int ended_ = -1;
  // What a run in progress has written so far: its temporary file beside
  // `name` (".kelvane-PID-N"), empty when there is none.
  std::string Staged(const std::string& /*name*/) const {
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      if (e.path().filename().string().rfind(".kelvane-", 0) == 0) return ReadBytes(e.path());
    return {};
  }
};

// Short zones keep a run to a few rows.
const std::vector<std::string> kShort = {"--set", "ZoneLength[1]=0.2", "--set", "ZoneLength[2]=0.2"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Table 1's last row of each zone: the row two lines above each
// "Layer Thickness" title.
std::vector<std::string> LastRowsOfTableOne(const std::string& bytes) {
  const auto lines = SplitCrLf(bytes);
  std::vector<std::string> rows;
  for (std::size_t i = 2; i < lines.size(); ++i)
    if (lines[i] == "Layer Thickness (Thick./Layer by Nonuniform Gird Size Calc.)") rows.push_back(lines[i - 2]);
  return rows;
}

TEST_F(KelvaneRunTest, DefaultRunInAnEmptyFolder) {
  const Result r = Run({"-o", "result.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, kFinished) << "one line, and no progress bar when standard error is a file";
  EXPECT_EQ(r.out.rfind("Zone    Gas   Exit", 0), 0u) << "the zone table follows on standard output:\n" << r.out;
  EXPECT_EQ(Files(), std::vector<std::string>{"result.txt"});
  EXPECT_EQ(LastRowsOfTableOne(File("result.txt")),
            (std::vector<std::string>{
                "  50.000    50.000     59.30     0.1563       0.0012        7.9       0.00185",
                " 100.000    50.000     59.91     0.1354       0.0009        6.6       0.00180"}));

  // Without -o the result goes to the window's default name as well.
  std::filesystem::remove(dir_ / "result.txt");
  EXPECT_EQ(Run(With({"--quiet"}, kShort)).status, 0);
  EXPECT_EQ(Files(), std::vector<std::string>{"result.txt"});
}

// The run summary: the table on standard output (not with --quiet), JSON and
// CSV that agree with the result file's last rows, warnings that change the
// exit status only when asked, and a result file that stays byte for byte
// the same whatever the summary options.
TEST_F(KelvaneRunTest, SummaryOptionsLeaveTheResultFileAlone) {
  const std::vector<std::string> hot = {"--set", "OuterTemperature[2]=150"};
  Result plain = Run(With({"-o", "plain.txt", "--quiet"}, hot));
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, "");
  Result full = Run(With({"-o", "full.txt", "--summary-json", "s.json", "--summary-csv", "s.csv", "--web-width",
                          "1.2", "--residual-target", "500ppm", "--max-film-temperature", "120",
                          "--boiling-point-share", "2", "--skin-surface-polymer", "0.9", "--skin-solvent-remaining",
                          "40"},
                         hot));
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_EQ(File("plain.txt"), File("full.txt"));
  EXPECT_NE(full.out.find("above the boiling point of solvent 1"), std::string::npos) << full.out;
  EXPECT_NE(full.out.find("Zone 2 at "), std::string::npos) << full.out;

  const std::string json = File("s.json");
  for (const char* key : {"\"run\"", "\"outcome\": \"finished\"", "\"exit_solvent_remaining_percent\"",
                          "\"residual_g_per_m2\"", "\"residual_ppm_dry\"", "\"dry_thickness_um\"", "\"zones\"",
                          "\"exit_film_temperature_c\"", "\"max_film_temperature_c\"", "\"evaporated_g_per_m2\": [",
                          "\"heat_from_gas_kj_per_m2\"", "\"latent_heat_kj_per_m2\"", "\"sensible_heat_kj_per_m2\"",
                          "\"min_boiling_margin_mmhg\"", "\"warnings\"", "\"kind\": \"above_boiling_point\"",
                          "\"kind\": \"film_temperature_limit\"", "\"kind\": \"residual_target\"", "\"power_kw\""})
    EXPECT_NE(json.find(key), std::string::npos) << key;
  // The zones' exit values are the result file's last rows of table 1.
  const auto rows = LastRowsOfTableOne(File("full.txt"));
  ASSERT_EQ(rows.size(), 2u);
  const auto csv = SplitCrLf(File("s.csv"));
  ASSERT_EQ(csv.size(), 4u);  // header, two zones, total
  for (int z = 0; z < 2; ++z) {
    std::vector<double> file, table;
    std::istringstream in(rows[z]);
    for (double v; in >> v;) file.push_back(v);
    std::istringstream cells(csv[z + 1]);
    for (std::string cell; std::getline(cells, cell, ',');) table.push_back(cell.empty() ? 0 : std::stod(cell));
    ASSERT_EQ(file.size(), 7u);
    ASSERT_GE(table.size(), 15u);
    EXPECT_EQ(table[0], z + 1);
    EXPECT_NEAR(table[5], file[2], 0.005) << "exit film temperature";
    EXPECT_NEAR(table[9], file[5], 0.05) << "exit solvent remaining";
    EXPECT_NEAR(table[14], file[6] * 1e4, 0.05) << "exit thickness";
  }

  // Warnings turn into status 4 only with --warnings-status; the defaults
  // have none.
  EXPECT_EQ(Run(With({"-o", "w.txt", "--quiet", "--warnings-status"}, hot)).status, 4);
  EXPECT_EQ(Run({"-o", "w.txt", "--quiet", "--warnings-status"}).status, 0);
  const Result bad = Run({"-o", "w.txt", "--residual-target", "1 percent"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--residual-target"), std::string::npos) << bad.err;
  const Result unwritable = Run(With({"-o", "u.txt", "--quiet", "--summary-json", "no/such/dir/s.json"}, kShort));
  EXPECT_EQ(unwritable.status, 3);
  EXPECT_NE(unwritable.err.find("no/such/dir/s.json"), std::string::npos) << unwritable.err;
}

TEST_F(KelvaneRunTest, RefusalsEndWithStatusOneAndNoResultFile) {
  // The window's message first, then a line that names the field and why.
  struct Case {
    std::vector<std::string> args;
    std::string err, explained;
  };
  std::string shortFile;
  for (int i = 0; i < 140; ++i) shortFile += "  a  =  1\r\n";
  filetest::WriteBytes(dir_ / "short.dat", shortFile);
  const std::vector<Case> cases = {
      {{"--set", "NumberOfLayers=15"}, "Number of Layers shoud be 10, 20, 30 or 40.\n",
       "kelvane-run: field Edit20 (NumberOfLayers, \"Number of Layers\"): It reads 15.\n"},
      {{"--set", "Edit19=abc"}, "Input value is not correct!\n", "kelvane-run: field Edit19 (IncrementZ, "},
      {{"--set", "OuterTemperature[3]=60", "--set", "ZoneLength[3]="}, "Input value of Zone 3 is not correct!\n",
       "kelvane-run: field Edit32 (ZoneLength[3], \"Zone Length (m) of Zone 3\"): The field is empty"},
      {{"--set", "ZoneLength[2]=-5"}, "Input value of Zone 2 is not correct!\n",
       "kelvane-run: field Edit22 (ZoneLength[2], "},
      {{"--set", "OuterTemperature[2]=x"}, "'x' は浮動小数点数ではありません\n",
       "kelvane-run: field Edit21 (OuterTemperature[2], \"Outer Temperature (℃) of Zone 2\"): 'x' is not a real "
       "number"},
      {{"-o", ""}, "Input Save File Name!\n", "kelvane-run: field Edit250 (SaveFileName, "},
      {{"--data", "short.dat"}, "\"short.dat\" is not a correct data file!\n", ""},
      {{"--data", "absent.dat"}, "Data file can not open!\nabsent.dat: No such file or directory\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(r.err.substr(c.err.size(), c.explained.size()), c.explained);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'),
              std::count(c.err.begin(), c.err.end(), '\n') + (c.explained.empty() ? 0 : 1)) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "result.txt"));
  }

  // An unknown NAME is refused before anything runs, naming it.
  for (const std::string bad : {"Speed=1.0", "Edit999=1", "OuterTemperature[15]=60", "IncrementZ"}) {
    SCOPED_TRACE(bad);
    const Result r = Run({"--set", bad});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(bad.substr(0, bad.find('='))), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(kFinished), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "result.txt"));
  }
}

TEST_F(KelvaneRunTest, NumericalFailuresAndFaultsEndWithStatusTwo) {
  Result r = Run({"--set", "NumberOfLayers=10"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "Sorry, this condition does not cnoverge! CONSIDER TO REDUCE OR INCREASE \"Increment of z\".\n"
            "kelvane-run: The march stopped at zone 1, step 7 of 2500: 0.140 m into the zone, 0.140 s after the "
            "dryer's entrance. The surface partial pressure of a solvent could not be evaluated for the trial "
            "surface composition (the search drove it out of range). Try the robust surface solve (the \"Robust "
            "surface solve\" box on the Tools page, or kelvane-run --robust), or another \"Increment of z\".\n");
  EXPECT_EQ(SplitCrLf(File("result.txt")).size(), 109u);

  r = Run(With({"--set", "DiffParams1[1]=0"}, kShort));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("0 による浮動小数点数除算\nkelvane-run: Floating-point division by zero at zone 1, step 1 ", 0), 0u)
      << r.err;
  // A web at rest is no fault of the march but an input refused, naming its field.
  r = Run(With({"--set", "WebSpeed=0"}, kShort));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("Input value is not correct!\nkelvane-run: field Edit5 (WebSpeed, ", 0), 0u) << r.err;

  // A vapour pressure beyond a double: the run's fault, reported once; the
  // summary after it must not end the program on the same fault.
  r = Run(With({"--set", "VaporA1=400"}, kShort));
  EXPECT_EQ(r.status, 2) << r.err;
  const std::size_t fault = r.err.find("浮動小数点数のオーバーフロー\n");
  EXPECT_NE(fault, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("浮動小数点数のオーバーフロー\n", fault + 1), std::string::npos) << r.err;
}

TEST_F(KelvaneRunTest, UnwritableResultFileEndsWithStatusThree) {
  const Result r = Run({"-o", "no/such/folder/result.txt"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err, "File can not open!\nno/such/folder/result.txt: No such file or directory\n");
  EXPECT_TRUE(Files().empty());

  if (std::filesystem::exists("/dev/full")) {
    const Result full = Run({"-o", "/dev/full"});
    EXPECT_EQ(full.status, 3);
    EXPECT_EQ(full.err, "I/O エラー (28)\n/dev/full: No space left on device\nkelvane-run: I/O error 28: writing the "
                        "result file failed. The file holds what was written before the failure.\n");
  }
}

// SIGINT and SIGTERM are the runner's Cancel: the zones completed stay, the
// file is marked, the window's note is printed and the status is 128 + the
// signal.
// Fourteen zones of 50 m: zone 1 is written after about a second, the rest
// take many more.
std::vector<std::string> FourteenZones() {
  std::vector<std::string> args = {"--quiet"};
  const char* const members[] = {"OuterTemperature", "ZoneLength", "PartialPressure1", "PartialPressure2",
                                 "BaseHeatTransferCoeff", "CoatHeatTransferCoeff"};
  const char* const zone2[] = {"70", "50", "0", "0", "0.00109440", "0.00109440"};
  for (int k = 3; k <= 14; ++k)
    for (int i = 0; i < 6; ++i)
      args.insert(args.end(), {"--set", std::string(members[i]) + "[" + std::to_string(k) + "]=" + zone2[i]});
  return args;
}

TEST_F(KelvaneRunTest, InterruptKeepsTheZonesCompletedAndMarksTheFile) {
  const std::vector<std::string> args = FourteenZones();
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(dir_ / "result.txt");
    // Whoever started the tests may ignore the signals; this run must not
    // inherit that.
    const pid_t pid = Start(args, SIG_DFL);
    ASSERT_GE(pid, 0);
    ASSERT_TRUE(AwaitResults(pid, 1)) << "the run ended before zone 1 was written";
    ::kill(pid, signal);
    const int status = Wait(pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of stopping between steps";
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    const std::string err = File(".stderr");
    EXPECT_EQ(err.substr(0, err.find('\n') + 1), "The calculation was cancelled.\n");
    EXPECT_NE(err.find(signal == SIGINT ? "SIGINT in zone " : "SIGTERM in zone "), std::string::npos) << err;

    const std::string bytes = File("result.txt");
    EXPECT_TRUE(bytes.ends_with("=  0.00109440\r\n\r\n\r\n  [CALCULATION CANCELLED]\r\n"));
    const ResultFileRead read = ParseResultFile(bytes);
    ASSERT_TRUE(read.Ok) << read.Error;
    EXPECT_TRUE(read.Data.Cancelled);
    EXPECT_GE(read.Data.Zones.size(), 1u);
    EXPECT_LT(read.Data.Zones.size(), 14u);
    EXPECT_EQ(read.Data.Conditions.size(), read.Data.Zones.size() + 1);
  }
}

// A run started with SIGINT ignored (by nohup, or as a background job of a
// script) keeps ignoring it: the march goes on to the next zone.  SIGTERM,
// left at its default, still stops it the way Cancel does.
TEST_F(KelvaneRunTest, InterruptIgnoredByTheCallerStaysIgnored) {
  const pid_t pid = Start(FourteenZones(), SIG_IGN);
  ASSERT_GE(pid, 0);
  ASSERT_TRUE(AwaitResults(pid, 1)) << "the run ended before zone 1 was written";
  ::kill(pid, SIGINT);
  const bool marchedOn = AwaitResults(pid, 2);
  ::kill(pid, SIGTERM);
  const int status = Wait(pid);
  EXPECT_TRUE(marchedOn) << "SIGINT stopped the run: " << File(".stderr");
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  const std::string err = File(".stderr");
  EXPECT_NE(err.find("SIGTERM in zone "), std::string::npos) << err;
  EXPECT_EQ(err.find("SIGINT"), std::string::npos) << err;
  const ResultFileRead read = ParseResultFile(File("result.txt"));
  ASSERT_TRUE(read.Ok) << read.Error;
  EXPECT_TRUE(read.Data.Cancelled);
  EXPECT_GE(read.Data.Zones.size(), 2u);
}

TEST_F(KelvaneRunTest, SetTakesFieldNamesAndRecordNames) {
  const std::vector<std::string> byField = {"--set", "Edit19=1.0", "--set", "Edit21=70.0", "--set",
                                            "Edit255=-6.5E2", "--set", "Edit8=0.2", "--set", "Edit22=0.2"};
  const std::vector<std::string> byRecord = {"--set", "IncrementZ=1.0",     "--set", "OuterTemperature[2]=70.0",
                                             "--set", "DiffParams1[5]=-6.5E2", "--set", "ZoneLength[1]=0.2",
                                             "--set", "ZoneLength[2]=0.2"};
  ASSERT_EQ(Run(With(byField, {"-o", "a.txt"})).status, 0);
  ASSERT_EQ(Run(With(byRecord, {"-o", "b.txt"})).status, 0);
  const std::string bytes = File("a.txt");
  EXPECT_EQ(bytes, File("b.txt"));

  const auto lines = SplitCrLf(bytes);
  auto endsWith = [](const std::string& line, const std::string& tail) {
    return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_TRUE(endsWith(lines.at(84), "=  1.00000")) << lines.at(84);
  EXPECT_TRUE(endsWith(lines.at(56), "=  -6.50000E+02")) << lines.at(56);
  const auto zone2 = std::find(lines.begin(), lines.end(), "  ZONE 2");
  ASSERT_NE(zone2, lines.end());
  EXPECT_TRUE(endsWith(*(zone2 + 2), "=  70.00")) << *(zone2 + 2);
  // 0.2 m at 1 cm per step: 20 steps, the last row at 0.2 s and 0.2 m.
  EXPECT_EQ(LastRowsOfTableOne(bytes).at(0).substr(0, 18), "   0.200     0.200");

  // A later --set of the same field wins; -o is the "Save File Name" field.
  ASSERT_EQ(Run(With(byRecord, {"--set", "IncrementZ=5.0", "--set", "IncrementZ=1.0", "-o", "c.txt"})).status, 0);
  EXPECT_EQ(File("c.txt"), bytes);
  ASSERT_EQ(Run(With(byRecord, {"--set", "SaveFileName=d.txt"})).status, 0);
  EXPECT_EQ(File("d.txt"), bytes);
}

TEST_F(KelvaneRunTest, WrittenDataFileGivesTheSameRun) {
  const std::vector<std::string> changes = {
      "--set", "Chi1p=0.36",         "--set", "InitialTemperature=25.0", "--set", "OuterTemperature[3]=80.0",
      "--set", "ZoneLength[3]=0.1",  "--set", "PartialPressure1[3]=1.5", "--set", "PartialPressure2[3]=2.5",
      "--set", "BaseHeatTransferCoeff[3]=0.001", "--set", "CoatHeatTransferCoeff[3]=0.0012"};
  const std::vector<std::string> all = With(changes, kShort);

  Result r = Run(With(all, {"--write-data", "study.dat"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Files(), std::vector<std::string>{"study.dat"}) << "writing a data file computes nothing";
  const auto dataLines = SplitCrLf(File("study.dat"));
  EXPECT_EQ(dataLines.size(), 141u);

  ASSERT_EQ(Run(With(all, {"-o", "direct.txt"})).status, 0);
  r = Run({"--data", "study.dat", "-o", "loaded.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, kFinished);
  EXPECT_EQ(File("loaded.txt"), File("direct.txt"));
  const auto lines = SplitCrLf(File("loaded.txt"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  ZONE 3"), lines.end());

  // --set after --data overrides the file.
  ASSERT_EQ(Run({"--data", "study.dat", "--set", "Chi1p=0.354", "--set", "InitialTemperature=30.0", "--set",
                 "OuterTemperature[3]=", "-o", "back.txt"})
                .status,
            0);
  ASSERT_EQ(Run(With(kShort, {"-o", "plain.txt"})).status, 0);
  EXPECT_EQ(File("back.txt"), File("plain.txt"));

  // A text that a data file cannot carry is refused and nothing is written.
  r = Run({"--set", "Chi1p=0.3 5", "--write-data", "bad.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Edit201"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_ / "bad.dat"));
  r = Run({"--write-data", "no/such/folder/x.dat"});
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("no/such/folder/x.dat"), std::string::npos) << r.err;
}

// --help lists every field of the window, one row each with its record name
// and default text, as the list written out by hand in the tests' support.
TEST_F(KelvaneRunTest, HelpListsEveryField) {
  const Result r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  // The commands come first, before the options of the single run.
  const std::string commands = r.out.substr(0, r.out.find("Usage:"));
  for (const char* command : {"kelvane-run [run]", "kelvane-run study", "kelvane-run optimize", "kelvane-run design"})
    EXPECT_NE(commands.find(command), std::string::npos) << command;
  // Every default against the list written out by hand.  Zones 2 to 14 are
  // one pattern of six rows (zone 2's texts; zones 3 to 14 start empty);
  // every other field has its own row, its caption below it, on the page
  // that holds it in the window.
  const auto fields = fixtures::WindowDefaults();
  ASSERT_EQ(fields.size(), 142u);
  for (const fixtures::DefaultField& f : fields) {
    SCOPED_TRACE(f.Component);
    const FieldSpec* field = FindField(f.Component);
    ASSERT_NE(field, nullptr);
    const bool pattern = field->Zone > 1;
    if (field->Zone > 2) {
      EXPECT_EQ(f.Text, "");
      continue;
    }
    const std::string component = pattern ? "Edit(10k+" + std::to_string(field->Index) + ")" : f.Component;
    const std::string record = pattern ? f.Record.substr(0, f.Record.find('[')) + "[k]" : f.Record;
    const std::string head =
        "\n  " + component + std::string(component.size() < 8 ? 8 - component.size() : 0, ' ') + " " + record + " ";
    const auto at = r.out.find(head);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(r.out.find(head, at + 1), std::string::npos) << "listed twice";
    const auto end = r.out.find('\n', at + 1);
    const std::string row = r.out.substr(at + 1, end - at - 1);
    const std::string tail = " default \"" + f.Text + "\"" + (pattern ? " in zone 2" : "") +
                             (fixtures::GreyedFields().count(f.Component) ? "  (greyed in the window)" : "");
    EXPECT_TRUE(row.ends_with(tail)) << row;
    EXPECT_NE(row.find(" " + field->Unit + " "), std::string::npos) << row;
    const std::string below = r.out.substr(end + 1, r.out.find('\n', end + 1) - end - 1);
    EXPECT_NE(below.find(field->Caption.substr(0, field->Caption.find(" ="))), std::string::npos) << below;
    const auto page = r.out.rfind("\nPage \"", at);
    ASSERT_NE(page, std::string::npos);
    EXPECT_EQ(r.out.substr(page + 6, r.out.find('\n', page + 1) - page - 6),
              "\"" + std::string(PageCaption(FieldPage(pattern ? *FindField("Edit7") : *field))) + "\"");
  }
  std::size_t rows = 0;
  for (std::size_t at = r.out.find("\n  Edit"); at != std::string::npos; at = r.out.find("\n  Edit", at + 1)) ++rows;
  EXPECT_EQ(rows, fields.size() - 13 * 6 + 6);
  // A few rows as a person reads them, written out here rather than taken
  // from the table that printed them.
  for (const char* row : {"  Edit1    InitialCoatingThickness    cm          default \"0.00577\"",
                          "  Edit(10k+1) OuterTemperature[k]        degC        default \"60.0\" in zone 2",
                          "  Edit202  Chi2p                      -           default \"0.34\"",
                          "  Edit19   IncrementZ                 cm          default \"2.0\"",
                          "  Edit250  SaveFileName               -           default \"result.txt\"",
                          "           \"Number of Layers\": Layers of the coating's diffusion grid: 10, 20, 30 or 40.\n"
                          "           allowed 10, 20, 30 or 40\n",
                          "           \"Web Speed (m/s)\": Speed of the web through the dryer.\n"
                          "           typical 0.05 to 5 m/s; plausible above 0 m/s, at most 30 m/s\n"})
    EXPECT_NE(r.out.find(std::string(row)), std::string::npos) << row;
  EXPECT_EQ(Files(), std::vector<std::string>{});
}

// A slip of the keyboard gets the name meant, in the run and in both
// commands; "run" spells out the single run.
TEST_F(KelvaneRunTest, MisspeltNamesGetTheNearestOne) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;
  };
  const std::vector<Case> cases = {
      {{"--summry-json", "s.json"}, 64, "kelvane-run: unknown option --summry-json (did you mean --summary-json?)\n"},
      {{"--set", "ZoneLength[1]=1", "--Robust"}, 64, "kelvane-run: unknown option --Robust (did you mean --robust?)\n"},
      {{"--sumry=1"}, 64, "kelvane-run: unknown option --sumry (--help lists the options)\n"},
      {{"--set", "Webspeed=2"}, 1, "kelvane-run: --set Webspeed=2: no field is named \"Webspeed\" (did you mean WebSpeed?)\n"},
      {{"--set", "OuterTemprature[2]=80"}, 1,
       "kelvane-run: --set OuterTemprature[2]=80: no field is named \"OuterTemprature[2]\" (did you mean "
       "OuterTemperature[2]?)\n"},
      {{"--set", "Flux=2"}, 1, "kelvane-run: --set Flux=2: no field is named \"Flux\" (kelvane-run --help lists them)\n"},
      {{"study", "--vary", "WebSped=1,2", "--csv", "s.csv"}, 1, "did you mean WebSpeed?"},
      {{"optimize", "--maximze", "WebSpeed", "--between", "0.1:5"}, 64,
       "kelvane-run optimize: unknown option --maximze (did you mean --maximize?)\n"},
      {{"optimize", "--maximize", "WebSpeeed", "--between", "0.1:5", "--max-residual", "7"}, 1,
       "did you mean WebSpeed?"},
  };
  for (const Case& c : cases) {
    std::string trace;
    for (const std::string& a : c.args) trace += a + " ";
    SCOPED_TRACE(trace);
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{});
  }
  const Result spelt = Run(With({"run", "-o", "spelt.txt"}, kShort));
  const Result plain = Run(With({"-o", "plain.txt"}, kShort));
  EXPECT_EQ(spelt.status, 0) << spelt.err;
  EXPECT_EQ(File("spelt.txt"), File("plain.txt"));
}

TEST_F(KelvaneRunTest, ProgressBarOnlyOnATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) for a terminal";
  // script(1) gives the runner a terminal; its output lands in the log.
  auto onTerminal = [&](const std::string& extra) {
    const std::string cmd = "cd " + Quote(dir_.string()) + " && script -qec " +
                            Quote(Quote(KELVANE_RUNNER) + " -o r.txt " + extra) + " /dev/null >.log 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    const std::string log = ReadBytes(dir_ / ".log");
    std::filesystem::remove(dir_ / ".log");
    return log;
  };
  const std::string shown = onTerminal("");
  EXPECT_NE(shown.find("Zone 1 of 2"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Zone 2 of 2"), std::string::npos) << shown;
  EXPECT_NE(shown.find("100%"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Calculation is successfully finished !"), std::string::npos);
  const std::string quiet = onTerminal("--quiet");
  EXPECT_EQ(quiet.find("Zone 1 of 2"), std::string::npos) << quiet;
  EXPECT_NE(quiet.find("Calculation is successfully finished !"), std::string::npos);
}

}  // namespace
}  // namespace kelvane

namespace kelvane {
namespace {

// --robust rescues the 10-layer default window, says so before the finish
// text, and changes nothing in a run the secant search finishes.  (After the
// step taken over, the continuation solve settles the rest of the run.)
TEST_F(KelvaneRunTest, RobustRescuesAndReportsTheSteps) {
  Result r = Run({"--set", "NumberOfLayers=10", "--robust", "-o", "ten.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "Robust surface solve took over 1 step (zone 1: 1).\nCalculation is successfully finished !\n");
  ASSERT_EQ(Run({"-o", "plain.txt"}).status, 0);
  r = Run({"--robust", "-o", "robust.txt"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Calculation is successfully finished !\n");
  EXPECT_EQ(File("plain.txt"), File("robust.txt"));
}

// A write that fails half-way (a file-size limit in place of a full disk)
// keeps the earlier result file whole and removes the temporary one.  (A run
// killed in the middle is the run driver's test.)
TEST_F(KelvaneRunTest, FailedWriteLeavesTheEarlierResultIntact) {
  ASSERT_EQ(Run(With(kShort, {"-o", "result.txt"})).status, 0);
  const std::string earlier = File("result.txt");
  ASSERT_FALSE(earlier.empty());

  const std::string limited = "cd " + Quote(dir_.string()) + " && trap '' XFSZ && ulimit -f 64 && " +
                              Quote(KELVANE_RUNNER) + " -o result.txt >.stdout 2>.stderr";
  const int rc = std::system(limited.c_str());
  EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, 3);
  const std::string err = File(".stderr");
  EXPECT_EQ(err.rfind("I/O エラー (27)\n", 0), 0u) << err;
  EXPECT_NE(err.find("The earlier file of that name is left as it was."), std::string::npos) << err;
  EXPECT_EQ(File("result.txt"), earlier);
  std::filesystem::remove(dir_ / ".stdout");
  std::filesystem::remove(dir_ / ".stderr");
  EXPECT_EQ(Files(), std::vector<std::string>{"result.txt"});
}

// Inputs that look wrong are warned about before the march, naming field,
// value and range; --strict refuses them like a refused input.
TEST_F(KelvaneRunTest, PlausibilityWarningsAndStrict) {
  const std::string warning =
      "kelvane-run: warning: field Edit9 (PartialPressure1[1], \"Solvent-1 Partial Pressure in Gas (mmHg) of Zone "
      "1\"): Solvent-1's partial pressure of 200 mmHg in zone 1 is not below its saturation pressure";
  Result r = Run(With(kShort, {"--strict", "--set", "PartialPressure1[1]=200"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind(warning, 0), 0u) << r.err;
  EXPECT_NE(r.err.find("\nkelvane-run: --strict: the input above looks wrong; nothing computed\n"), std::string::npos);
  EXPECT_TRUE(Files().empty());

  r = Run(With(kShort, {"--set", "PartialPressure1[1]=200"}));
  EXPECT_EQ(r.err.rfind(warning, 0), 0u) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir_ / "result.txt")) << "without --strict the run goes ahead";

  // The default inputs pass --strict silently.
  EXPECT_EQ(Run(With(kShort, {"--strict", "-o", "strict.txt"})).err, kFinished);
}

// Command-line conventions: --version, and usage errors with status 64.
TEST_F(KelvaneRunTest, VersionAndUsageErrors) {
  Result r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "kelvane-run 1.2\n");
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--no-such-option"}, {"--data"}, {"stray"}}) {
    r = Run(args);
    EXPECT_EQ(r.status, 64) << args[0];
    EXPECT_NE(r.err, "");
    EXPECT_TRUE(Files().empty());
  }
}

}  // namespace
}  // namespace kelvane
