// kelvane-run called in-process, as the fuzzing of its command line calls
// it: with OptionsOnly every sub-command reads and checks its command line
// and stops there, writing nothing (no result, table, data file or results
// folder) and running nothing; a command line refused gets the status and
// the words the program gives, call after call.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/RunnerMain.h"
#include "files_test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string err;
};

// RunnerMain on `args` (after the program's name) with standard error caught.
Outcome InProcess(const std::vector<std::string>& args, const fs::path& scratch) {
  std::vector<std::string> words = {"kelvane-run"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const fs::path errFile = scratch.parent_path() / "err.txt";
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(fd, 2);
  ::close(fd);
  RunnerOptions options;
  options.OptionsOnly = true;
  Outcome o;
  o.status = RunnerMain(static_cast<int>(words.size()), argv.data(), options);
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  o.err = filetest::ReadBytes(errFile);
  return o;
}

// The program itself, run in `scratch`.
Outcome Program(const std::vector<std::string>& args, const fs::path& scratch) {
  std::string command = "cd '" + scratch.string() + "' && '" KELVANE_RUNNER "'";
  for (const std::string& a : args) command += " '" + a + "'";
  const fs::path errFile = scratch.parent_path() / "err.txt";
  command += " >/dev/null 2>'" + errFile.string() + "'";
  const int raw = std::system(command.c_str());
  Outcome o;
  o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  o.err = filetest::ReadBytes(errFile);
  return o;
}

class RunnerMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kelvane-runner-main-" + std::to_string(::getpid()));
    scratch_ = root_ / "cwd";
    fs::create_directories(scratch_);
    before_ = fs::current_path();
    fs::current_path(scratch_);
  }
  void TearDown() override {
    fs::current_path(before_);
    fs::remove_all(root_);
  }
  // Whether the scratch folder is empty; emptied for the next case.
  bool ScratchEmpty() const {
    const bool empty = fs::is_empty(scratch_);
    for (const auto& e : fs::directory_iterator(scratch_)) fs::remove_all(e.path());
    return empty;
  }

  fs::path root_, scratch_, before_;
};

TEST_F(RunnerMainTest, CommandLinesThatWouldRunStopAfterTheirChecksWithNothingWritten) {
  const std::vector<std::vector<std::string>> lines = {
      {},
      {"run", "-o", "r.txt", "--summary-json", "s.json", "--summary-csv", "s.csv"},
      {"--write-data", "w.dat", "--set", "WebSpeed=1"},
      {"study", "--vary", "WebSpeed=1,2", "--csv", "t.csv", "--jsonl", "t.jsonl", "--keep-results", "kr"},
      {"study", "--vary", "WebSpeed=1,2", "--resume", "missing.csv"},
      {"optimize", "--maximize", "WebSpeed", "--between", "0.1:1", "--max-residual", "5", "--csv", "e.csv",
       "--write-data", "b.dat"},
      {"design", "--max-residual", "7", "--no-boiling", "--csv", "d.csv", "--write-data", "d.dat"},
      {"design", "--max-residual", "7", "--front", "3", "--front-csv", "f.csv"},
  };
  for (const auto& args : lines) {
    SCOPED_TRACE(args.empty() ? "(no options)" : args[0] + " ...");
    const Outcome o = InProcess(args, scratch_);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(ScratchEmpty());
  }
}

TEST_F(RunnerMainTest, RefusedCommandLinesGetTheProgramsStatusAndWordsEveryCall) {
  const std::vector<std::vector<std::string>> lines = {
      {"-o", "same.txt", "--summary-json", "same.txt"},
      {"--bogus"},
      {"--set", "Nope=1"},
      {"--set", "WebSpeed"},
      {"--jobs", "-1"},
      {"study", "--vary", "WebSpeed=a,b"},
      {"study", "--csv", "t.out", "--jsonl", "t.out", "--vary", "WebSpeed=1"},
      {"study", "--csv", "kr/row-0001.txt", "--keep-results", "kr", "--vary", "WebSpeed=1"},
      {"study", "--vary", "WebSpeed=1", "--shard", "3/2"},
      {"optimize", "--maximize", "WebSpeed", "--between", "0.1:1", "--max-evaluations", "0"},
      {"optimize", "--maximize", "WebSpeed", "--between", "1:0.1", "--max-residual", "5"},
      {"optimize", "--max-residual", "-1"},
      {"design", "--lowest", "300", "--max-residual", "7"},
      {"design", "--web-width", "-3"},
      {"design", "--speed", "fast", "--max-residual", "7"},
      {"design", "--max-residual", "7", "--front-csv", "f.csv"},
      {"design", "--max-residual", "7", "--front", "3", "--front-csv", "f.csv", "--csv", "f.csv"},
  };
  for (const auto& args : lines) {
    std::string line;
    for (const std::string& a : args) line += " " + a;
    SCOPED_TRACE(line);
    const Outcome program = Program(args, scratch_);
    ASSERT_TRUE(program.status == 1 || program.status == 64) << program.status << ": " << program.err;
    for (int call = 0; call < 2; ++call) {
      const Outcome o = InProcess(args, scratch_);
      EXPECT_EQ(o.status, program.status);
      EXPECT_EQ(o.err, program.err);
    }
    EXPECT_TRUE(ScratchEmpty());
  }
}

}  // namespace
}  // namespace kelvane
