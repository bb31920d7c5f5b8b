// Nothing lost, nothing silent.  Every file kelvane-run writes is replaced
// whole or not at all: a failed write (a file-size limit in place of a full
// disk), a hang-up or a quit leaves the earlier file as it was and no
// temporary file beside it, and a command line whose outputs would
// overwrite each other is refused.  Inputs that are not what they claim are
// named, and refused with --strict.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files_test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using filetest::ReadBytes;
using filetest::WriteBytes;

// The runner under test; KELVANE_RUNNER in the environment names another
// build of it.
std::string Runner() {
  const char* env = std::getenv("KELVANE_RUNNER");
  return env && *env ? env : KELVANE_RUNNER;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Result {
  int status = -1;  // 128 + the signal for a runner that a signal ended
  std::string err;
};

const std::string kEarlier = "EARLIER\r\n";

// Short zones keep a run to a few rows.
const std::vector<std::string> kShort = {"--quiet", "--set", "ZoneLength[1]=0.2", "--set", "ZoneLength[2]=0.2"};
const std::vector<std::string> kShortZones = {"--set", "ZoneLength[1]=0.2", "--set", "ZoneLength[2]=0.2"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RunnerSafetyTest : public filetest::ScratchDir {
 protected:
  // Runs the runner in the scratch folder after the shell commands `shell`
  // (a file-size limit, say).
  Result Run(const std::vector<std::string>& args, const std::string& shell = "true") {
    std::string cmd = "cd " + Quote(dir_.string()) + " && " + shell + " && exec " + Quote(Runner());
    for (const std::string& a : args) cmd += " " + Quote(a);
    cmd += " >/dev/null 2>" + Quote((dir_ / "..stderr").string());
    const int rc = std::system(cmd.c_str());
    Result r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : WIFSIGNALED(rc) ? 128 + WTERMSIG(rc) : -1;
    r.err = ReadBytes(dir_ / "..stderr");
    fs::remove(dir_ / "..stderr");
    return r;
  }
  // Every name in `folder` (recursively), links as links.
  std::vector<std::string> Tree(const fs::path& folder) const {
    std::vector<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      names.push_back(e.path().lexically_relative(folder).string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::string> Tree() const { return Tree(dir_); }
  std::string File(const std::string& name) const { return ReadBytes(dir_ / name); }
  void Earlier(const std::string& name) const { WriteBytes(dir_ / name, kEarlier); }
};

// A write cut short by the limit: 64 KiB, below the default run's result.
// The trap keeps a runner that does not ignore SIGXFSZ from being killed.
const std::string kLimit64 = "trap '' XFSZ && ulimit -f 64";

TEST_F(RunnerSafetyTest, ResultThroughALinkOrUnderALongNameKeepsTheEarlierFile) {
  // A link to the result: the file it leads to is replaced, the link stays.
  fs::create_directory(dir_ / "tiny");
  Earlier("tiny/t.txt");
  fs::create_symlink("tiny/t.txt", dir_ / "link.txt");
  Result r = Run({"--quiet", "-o", "link.txt"}, kLimit64);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(File("tiny/t.txt"), kEarlier);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"link.txt", "tiny", "tiny/t.txt"}));

  r = Run(With(kShort, {"-o", "link.txt"}));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_NE(File("tiny/t.txt").find("[SIMULATION RESULTS]"), std::string::npos);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"link.txt", "tiny", "tiny/t.txt"}));

  // A name so long that no longer name fits beside it.
  const std::string longName = std::string(251, 'n') + ".txt";
  Earlier(longName);
  r = Run({"--quiet", "-o", longName}, kLimit64);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(File(longName), kEarlier);
  EXPECT_EQ(Tree().size(), 4u);
}

// A folder that lets its file be written but no file be created: the file
// is refused with the reason, not written in place.
TEST_F(RunnerSafetyTest, NoTemporaryBesideAnExistingFileRefuses) {
  if (::geteuid() == 0 && std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "needs setpriv";
  fs::create_directory(dir_ / "ro");
  Earlier("ro/r.txt");
  fs::permissions(dir_ / "ro/r.txt", fs::perms::all);
  fs::permissions(dir_ / "ro", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  const std::string asNobody = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
  std::string cmd = "cd " + Quote(dir_.string()) + " && " + asNobody + " " + Quote(Runner());
  for (const std::string& a : With(kShort, {"-o", "ro/r.txt"})) cmd += " " + Quote(a);
  cmd += " 2>&1 >/dev/null";
  FILE* p = ::popen(cmd.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string err;
  char buf[512];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) err.append(buf, n);
  const int rc = ::pclose(p);
  EXPECT_EQ(WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, 3) << err;
  EXPECT_NE(err.find("ro/r.txt: no temporary file can be created beside it"), std::string::npos) << err;
  EXPECT_EQ(File("ro/r.txt"), kEarlier);
}

// The data file, the summary files, a study's tables and the evaluations of
// a search: cut short, each keeps its earlier file and leaves nothing else.
TEST_F(RunnerSafetyTest, EveryOutputKeepsItsEarlierFileWhenAWriteFails) {
  const std::string limit = "trap '' XFSZ && ulimit -f 1";  // 1 KiB
  struct Case {
    std::vector<std::string> args;
    std::string file;
  };
  const std::vector<std::string> study =
      With({"study", "--quiet", "--vary", "OuterTemperature[1]=50:100:10"}, kShortZones);
  const std::vector<std::string> search = With(
      {"optimize", "--quiet", "--maximize", "WebSpeed", "--between", "0.1:5", "--max-residual", "5"}, kShortZones);
  for (const Case& c : std::vector<Case>{{{"--write-data", "d.dat"}, "d.dat"},
                                         {With(kShort, {"-o", "/dev/null", "--summary-json", "s.json"}), "s.json"},
                                         {With(kShort, {"-o", "/dev/null", "--summary-csv", "s.csv"}), "s.csv"},
                                         {With(study, {"--csv", "t.csv"}), "t.csv"},
                                         {With(study, {"--csv", "/dev/null", "--jsonl", "t.jsonl"}), "t.jsonl"},
                                         {With(search, {"--csv", "e.csv"}), "e.csv"}}) {
    SCOPED_TRACE(c.file);
    Earlier(c.file);
    const Result r = Run(c.args, limit);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(File(c.file), kEarlier);
    EXPECT_EQ(Tree(), std::vector<std::string>{c.file});
    fs::remove(dir_ / c.file);
  }
  // A study whose kept result files cannot be written fails as well.
  const Result r = Run(With(study, {"--csv", "/dev/null", "--keep-results", "kr"}), limit);
  EXPECT_EQ(r.status, 3) << r.err;
}

TEST_F(RunnerSafetyTest, TwoOutputsOnOneFileAreRefused) {
  fs::create_symlink("same.txt", dir_ / "alias.txt");
  const std::vector<std::string> study = {"study", "--quiet", "--vary", "OuterTemperature[1]=50,60"};
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-o", "same.txt", "--summary-json", "same.txt"},
           {"--summary-csv", "./result.txt"},
           {"-o", "alias.txt", "--summary-csv", "same.txt"},
           With(study, {"--csv", "t.out", "--jsonl", "t.out"}),
           With(study, {"--csv", "kr/row-0001.txt", "--keep-results", "kr"}),
           With(study, {"--jsonl", "./kr/../kr/t.jsonl", "--keep-results", "kr/"}),
           {"optimize", "--maximize", "WebSpeed", "--between", "0.1:5", "--max-residual", "5", "--csv", "b.csv",
            "--write-data", "b.csv"}}) {
    const Result r = Run(With(args, kShort));
    EXPECT_EQ(r.status, 64) << args[0] << " " << args[1] << "\n" << r.err;
    EXPECT_NE(r.err.find("kelvane-run"), std::string::npos);
    EXPECT_EQ(Tree(), std::vector<std::string>{"alias.txt"}) << "nothing is written";
  }
  // A device takes any number of outputs.
  const Result r = Run(With(kShort, {"-o", "/dev/null", "--summary-json", "/dev/null", "--summary-csv", "/dev/null"}));
  EXPECT_EQ(r.status, 0) << r.err;
}

// A run of some seconds, written under its temporary name.
std::vector<std::string> LongRun() {
  std::vector<std::string> args = {"--set", "IncrementZ=1.0", "--set", "NumberOfLayers=40", "-o", "result.txt"};
  for (int z = 1; z <= 14; ++z)
    for (const std::string& s :
         {"OuterTemperature[" + std::to_string(z) + "]=60", "ZoneLength[" + std::to_string(z) + "]=80",
          "PartialPressure1[" + std::to_string(z) + "]=0", "PartialPressure2[" + std::to_string(z) + "]=0",
          "BaseHeatTransferCoeff[" + std::to_string(z) + "]=0.0009228",
          "CoatHeatTransferCoeff[" + std::to_string(z) + "]=0.0010944"}) {
      args.push_back("--set");
      args.push_back(s);
    }
  return args;
}

// A file-size limit fails the write (status 3) instead of killing the run;
// a hang-up stops the run like SIGTERM; a quit ends it at once.  None
// leaves a temporary file behind.
TEST_F(RunnerSafetyTest, SignalsLeaveNoTemporaryFile) {
  Result r = Run({"--quiet", "-o", "u.txt"}, "ulimit -f 64");
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), std::vector<std::string>{"u.txt"});
  fs::remove(dir_ / "u.txt");

  for (const int signal : {SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(signal);
    Earlier("result.txt");
    std::vector<std::string> args = With({Runner(), "--quiet"}, LongRun());
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::signal(SIGHUP, SIG_DFL);
      std::signal(SIGQUIT, SIG_DFL);
      const int err = ::open((dir_ / "..stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (::chdir(dir_.c_str()) != 0 || err < 0 || ::dup2(err, 2) < 0) ::_exit(99);
      struct rlimit none {0, 0};
      ::setrlimit(RLIMIT_CORE, &none);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(98);
    }
    auto staged = [&] {
      for (const auto& e : fs::directory_iterator(dir_))
        if (e.path().filename().string().rfind(".", 0) == 0 && e.path().filename() != "..stderr" &&
            e.file_size() > 20000)
          return true;
      return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!staged() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(staged()) << ReadBytes(dir_ / "..stderr");
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    fs::remove(dir_ / "..stderr");
    if (signal == SIGHUP) {
      ASSERT_TRUE(WIFEXITED(status)) << "ended by the hang-up instead of stopping between steps";
      EXPECT_EQ(WEXITSTATUS(status), 128 + SIGHUP);
      EXPECT_TRUE(File("result.txt").ends_with("  [CALCULATION CANCELLED]\r\n"));
    } else {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), SIGQUIT);
      EXPECT_EQ(File("result.txt"), kEarlier);
    }
    EXPECT_EQ(Tree(), std::vector<std::string>{"result.txt"});
  }
}

// A signal that comes while a file is written before any run (the data file
// of --write-data) ends the program at once, as the signal's default does,
// but removes the temporary file first: the earlier file stays, alone.  The
// moment is made certain by holding a system call of the runner for seconds.
TEST_F(RunnerSafetyTest, ASignalBeforeAnyRunLeavesNoTemporaryFile) {
  if (std::system("command -v strace >/dev/null") != 0) GTEST_SKIP() << "needs strace";
  // Held: the mode given to the new temporary file (the moment just after it
  // is made), or the write of the data into it.
  const struct {
    const char* held;
    int signal;
  } cases[] = {{"fchmod", SIGTERM}, {"write", SIGTERM}, {"write", SIGINT}, {"write", SIGHUP}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.held) + " " + std::to_string(c.signal));
    Earlier("out.dat");
    const std::string cmd = "cd " + Quote(dir_.string()) + " && exec strace -f -o /dev/null -e trace=" + c.held +
                            " -e inject=" + c.held + ":delay_enter=2000000 "
                            "sh -c 'echo $$ >..pid; exec \"$0\" --write-data out.dat' " + Quote(Runner()) +
                            " >/dev/null 2>&1";
    const pid_t tracer = ::fork();
    ASSERT_GE(tracer, 0);
    if (tracer == 0) {
      std::signal(c.signal, SIG_DFL);
      ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
      ::_exit(98);
    }
    auto staged = [&] {
      for (const auto& e : fs::directory_iterator(dir_))
        if (e.path().filename().string().rfind(".kelvane-", 0) == 0) return true;
      return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!staged() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(staged());
    ::kill(std::stoi(File("..pid")), c.signal);
    int status = 0;
    ASSERT_EQ(::waitpid(tracer, &status, 0), tracer);
    fs::remove(dir_ / "..pid");
    EXPECT_EQ(File("out.dat"), kEarlier);
    EXPECT_EQ(Tree(), std::vector<std::string>{"out.dat"});
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename() != "out.dat") fs::remove(e.path());
  }
}

// A study, an optimisation and a design stopped by SIGTERM (a cluster's time
// limit) or a hang-up end with 128 + the signal, as a single run does.
TEST_F(RunnerSafetyTest, InterruptedSubCommandsEndWith128PlusTheSignal) {
  const std::vector<std::vector<std::string>> commands = {
      {"study", "--quiet", "--jobs", "1", "--vary", "WebSpeed=0.1:3:0.1", "--csv", "t.csv"},
      {"optimize", "--quiet", "--jobs", "1", "--maximize", "WebSpeed", "--between", "0.01:3", "--max-residual", "5"},
      {"design", "--quiet", "--max-residual", "7", "--no-boiling"},
  };
  for (const auto& command : commands) {
    for (const int signal : {SIGTERM, SIGHUP}) {
      SCOPED_TRACE(command[0] + " " + std::to_string(signal));
      std::vector<std::string> args = With({Runner()}, command);
      const pid_t pid = ::fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        std::signal(signal, SIG_DFL);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (::chdir(dir_.c_str()) != 0 || devNull < 0 || ::dup2(devNull, 1) < 0 || ::dup2(devNull, 2) < 0)
          ::_exit(99);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(98);
      }
      // Well into its runs (each of the default case takes a good part of a second).
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      ::kill(pid, signal);
      int status = 0;
      ASSERT_EQ(::waitpid(pid, &status, 0), pid);
      ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal instead of stopping its runs";
      EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
    }
  }
}

// The data file's reader is positional.  Lines whose labels belong
// elsewhere, and fixed fields whose value in the file the run does not use,
// are named in warnings; --strict refuses such a file.  The files Kelvane
// writes and ships pass quietly.
TEST_F(RunnerSafetyTest, DataFileThatIsNotWhatItClaimsIsNamed) {
  ASSERT_EQ(Run({"--write-data", "good.dat"}).status, 0);
  for (const std::string& good : {Path("good.dat"), std::string(KELVANE_SOURCE_DIR "/examples/three-zones.dat")}) {
    const Result r = Run(With(kShort, {"--strict", "--data", good, "-o", "/dev/null"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Calculation is successfully finished !\n");
  }

  // The coating's and the base film's thickness exchanged.
  std::vector<std::string> lines = filetest::SplitCrLf(File("good.dat"));
  ASSERT_EQ(lines.size(), 141u);
  std::swap(lines[51], lines[54]);
  std::string swapped;
  for (const std::string& l : lines) swapped += l + "\r\n";
  WriteBytes(dir_ / "swapped.dat", swapped);
  Result r = Run(With(kShort, {"--strict", "--data", "swapped.dat"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("kelvane-run: warning: data file swapped.dat: line 52 is labelled \"Base Film Thickness "
                       "(cm)\" where \"Initial Coating Thickness (cm)\" belongs"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("line 55 is labelled"), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), (std::vector<std::string>{"good.dat", "swapped.dat"})) << "nothing computed";
  r = Run(With(kShort, {"--data", "swapped.dat", "-o", "/dev/null"}));
  EXPECT_EQ(r.status, 0) << "without --strict the file is read as the seed reads it";

  // Every label an "x".
  std::string unlabelled;
  for (const std::string& l : lines) unlabelled += "x" + l.substr(l.find('=')) + "\r\n";
  WriteBytes(dir_ / "x.dat", unlabelled);
  r = Run(With(kShort, {"--strict", "--data", "x.dat"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("line 141 is labelled \"x\""), std::string::npos) << r.err;

  // A fixed field written with a value of its own, which the reading drops.
  ASSERT_EQ(Run({"--set", "VaporA1=7.1", "--set", "HeatOfVaporization1=400", "--write-data", "v.dat"}).status, 0);
  r = Run(With(kShort, {"--strict", "--data", "v.dat"}));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(" gives VaporA1 as 7.1, a fixed field: the run uses "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" gives HeatOfVaporization1 as 400, a fixed field"), std::string::npos) << r.err;
}

// A zone of positive length that the increment gives no step is the worst
// case of too few steps: warned, and refused with --strict.
TEST_F(RunnerSafetyTest, ZoneWithoutAStepIsNotFinished) {
  const Result r = Run({"--quiet", "--strict", "--set", "IncrementZ=1e6"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("Zone 1 (50 m) gets no marching step"), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), std::vector<std::string>{});
}

// Texts that are not text: a UTF-16 data file, a control byte in --set.
TEST_F(RunnerSafetyTest, TextThatIsNotTextIsRefused) {
  ASSERT_EQ(Run({"--write-data", "good.dat"}).status, 0);
  std::string utf16 = "\xFF\xFE";
  for (char c : File("good.dat")) utf16 += std::string{c, '\0'};
  WriteBytes(dir_ / "utf16.dat", utf16);
  Result r = Run({"--data", "utf16.dat", "--write-data", "out.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("it is UTF-16 text"), std::string::npos) << r.err;
  r = Run({"--set", "WebSpeed=1.0\x1B", "--write-data", "out.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--set WebSpeed: the text holds a control byte"), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), (std::vector<std::string>{"good.dat", "utf16.dat"}));
}

// A finished run keeps its status when standard output was closed early.
TEST_F(RunnerSafetyTest, ClosedStandardOutputKeepsTheRunsStatus) {
  std::string cmd = "cd " + Quote(dir_.string()) + " && (" + Quote(Runner());
  for (const char* a : {"--set", "ZoneLength[1]=0.2", "--set", "ZoneLength[2]=0.2"}) cmd += " " + Quote(a);
  cmd += " 2>/dev/null; echo $? >status) | true";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(File("status"), "0\n");
}

// Option values that would be ignored, replaced or misreported are refused
// naming the option, with the values it takes written as a person would.
TEST_F(RunnerSafetyTest, InvalidOptionValuesAreRefusedNamingTheOption) {
  const std::vector<std::string> search = {"optimize", "--maximize", "WebSpeed", "--between", "0.1:5",
                                           "--max-residual", "5"};
  struct Case {
    std::vector<std::string> args;
    std::string named;
  };
  for (const Case& c : std::vector<Case>{
           {With(search, {"--max-evaluations", "0"}), "--max-evaluations"},
           {With(search, {"--tolerance", "0"}), "--tolerance"},
           {With(search, {"--tolerance", "-1"}), "--tolerance"},
           {{"optimize", "--maximize", "WebSpeed", "--between", "0.1:5", "--max-residual", "-1"}, "--max-residual"},
           {{"study", "--jobs", "-1", "--vary", "WebSpeed=1"}, "--jobs"},
           {{"--web-width", "-3"}, "--web-width"},
           {With(search, {"--jobs", "-1"}), "--jobs"},
           {{"design", "--max-residual", "7", "--web-width", "-3"}, "--web-width"},
           {{"design", "--max-residual", "7", "--span", "0"}, "--span"},
           {{"design", "--max-residual", "7", "--max-evaluations", "0"}, "--max-evaluations"}}) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.status, 64) << c.named << "\n" << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    size_t digits = 0, longest = 0;
    for (char ch : r.err) longest = std::max(longest, digits = std::isdigit(static_cast<unsigned char>(ch)) ? digits + 1 : 0);
    EXPECT_LT(longest, 16u) << "a bound as a person writes it:\n" << r.err;
  }
  Result r = Run({"study", "--vary", "WebSpeed=a,b"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("--vary WebSpeed: \"a\" is not a number"), std::string::npos) << r.err;
  // A base case every row would be refused for refuses the study as a single
  // run is refused, naming the field; a field the rows vary is theirs.
  r = Run({"study", "--set", "InitialTemperature=warm", "--vary", "WebSpeed=0.5,1", "--csv", "t.csv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Input value is not correct!\nkelvane-run: field Edit6 (InitialTemperature"), std::string::npos)
      << r.err;
  r = Run({"design", "--max-residual", "8", "--set", "InitialTemperature=warm", "--quiet"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Input value is not correct!\nkelvane-run: field Edit6 (InitialTemperature"), std::string::npos)
      << r.err;
  r = Run({"study", "--set", "WebSpeed=fast", "--vary", "WebSpeed=0.5", "--csv", "t.csv", "--quiet"});
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(Tree(), std::vector<std::string>{"t.csv"});
  fs::remove(dir_ / "t.csv");

  r = Run({"--set", "OuterTemperature[1]=60,5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\"60,5\" uses a comma as the decimal mark"), std::string::npos) << r.err;
  EXPECT_EQ(Tree(), std::vector<std::string>{});
}

}  // namespace
}  // namespace kelvane
