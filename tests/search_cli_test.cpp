// kelvane-run design and optimize as a careless or hostile user meets them:
// a target that is no number is refused by name, an output that cannot be
// written is found before the search and a write that fails after it costs
// the file but not the answer, every output may be a relative link in
// another folder, and a design whose runs all fail says why.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "files_test_support.h"

namespace kelvane {
namespace {

using filetest::ReadBytes;
namespace fs = std::filesystem;

class SearchCliTest : public filetest::ScratchDir {
 protected:
  int Shell(const std::string& command) {
    const std::string cmd = "cd '" + dir_.string() + "' && K='" + KELVANE_RUNNER + "' && " + command;
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  }
  std::string Err() { return ReadBytes(dir_ / "err.txt"); }
  std::string Out() { return ReadBytes(dir_ / "out.txt"); }
  // Searches of a few runs on a short dryer.
  const std::string design_ = "\"$K\" design --quiet --set 'ZoneLength[1]=3' --set 'ZoneLength[2]=3' "
                              "--max-residual 8 --max-evaluations 3 ";
  const std::string optimize_ = "\"$K\" optimize --quiet --set 'ZoneLength[1]=3' --set 'ZoneLength[2]=3' "
                                "--maximize WebSpeed --between 0.1:5 --tolerance 0.1 ";
};

TEST_F(SearchCliTest, ATargetThatIsNoNumberIsRefusedByName) {
  // NaN fails every comparison and an infinity passes it: taken, either
  // drops its target and reports a design or a speed that ignores it.
  for (const std::string& option : {"--max-film-temperature -inf", "--boiling-margin nan", "--max-residual nan",
                                    "--max-residual inf", "--highest inf"}) {
    EXPECT_NE(Shell(design_ + option + " >out.txt 2>err.txt"), 0) << option;
    EXPECT_NE(Err().find(option.substr(0, option.find(' '))), std::string::npos) << option << ": " << Err();
    EXPECT_EQ(Out(), "") << option;
  }
  for (const std::string& option : {"--max-film-temperature -inf", "--max-residual inf", "--max-residual nan"}) {
    EXPECT_NE(Shell(optimize_ + option + " >out.txt 2>err.txt"), 0) << option;
    EXPECT_NE(Err().find(option.substr(0, option.find(' '))), std::string::npos) << option << ": " << Err();
    EXPECT_EQ(Out(), "") << option;
  }
  // The web speed is what the design finds; a field searched twice would be
  // moved by two searches at once.
  EXPECT_EQ(Shell(design_ + "--over WebSpeed=0.1:1 >out.txt 2>err.txt"), 1);
  EXPECT_NE(Err().find("the web speed is what the design finds"), std::string::npos) << Err();
  EXPECT_EQ(Shell(design_ + "--over 'OuterTemperature[1]=60:90' >out.txt 2>err.txt"), 1);
  EXPECT_NE(Err().find("is searched already"), std::string::npos) << Err();
}

TEST_F(SearchCliTest, AnOutputThatCannotBeWrittenCostsTheFileNotTheAnswer) {
  // Found before any run: a folder that does not exist, a name that is a folder.
  fs::create_directories(dir_ / "folder");
  for (const std::string& option : {"--csv missing/runs.csv", "--write-data folder", "--front 2 --front-csv missing/f.csv"}) {
    EXPECT_EQ(Shell(design_ + option + " >out.txt 2>err.txt"), 3) << option;
    EXPECT_EQ(Err().rfind("kelvane-run design: cannot write " + option.substr(option.rfind("--"), 6), 0), 0u)
        << option << ": " << Err();
  }
  for (const std::string& option : {"--csv missing/runs.csv", "--write-data folder"}) {
    EXPECT_EQ(Shell(optimize_ + "--max-residual 8 " + option + " >out.txt 2>err.txt"), 3) << option;
    EXPECT_EQ(Err().rfind("kelvane-run optimize: cannot write", 0), 0u) << option << ": " << Err();
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  // A write that fails after the search (a full disk): status 3, and the
  // answer is printed all the same.
  EXPECT_EQ(Shell(design_ + "--write-data /dev/full >out.txt 2>err.txt"), 3) << Err();
  EXPECT_NE(Out().find("\nWebSpeed="), std::string::npos) << Out();
  EXPECT_NE(Err().find("/dev/full could not be written"), std::string::npos) << Err();
  EXPECT_EQ(Shell(optimize_ + "--max-residual 8 --csv /dev/full >out.txt 2>err.txt"), 3) << Err();
  EXPECT_NE(Out().find("\nWebSpeed="), std::string::npos) << Out();
}

// A relative link is read from its own folder, not from the one the command
// runs in: every output given as such a link writes the file it leads to,
// and the link stays a link.
TEST_F(SearchCliTest, EveryOutputMayBeARelativeLinkInAnotherFolder) {
  fs::create_directories(dir_ / "links");
  fs::create_directories(dir_ / "real");
  fs::create_directories(dir_ / "work");
  for (const std::string name : {"runs.csv", "front.csv", "best.dat", "opt.csv", "opt.dat"})
    fs::create_symlink("../real/" + name, dir_ / "links" / name);
  ASSERT_EQ(Shell("cd work && " + design_ + "--front 2 --csv ../links/runs.csv --front-csv ../links/front.csv "
                  "--write-data ../links/best.dat >../out.txt 2>../err.txt"),
            0)
      << Err();
  ASSERT_EQ(Shell("cd work && " + optimize_ + "--max-residual 8 --csv ../links/opt.csv --write-data ../links/opt.dat "
                  ">../out.txt 2>../err.txt"),
            0)
      << Err();
  for (const std::string name : {"runs.csv", "front.csv", "best.dat", "opt.csv", "opt.dat"}) {
    EXPECT_TRUE(fs::is_symlink(dir_ / "links" / name)) << name;
    EXPECT_GT(fs::file_size(dir_ / "real" / name), 100u) << name;
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "work"));
}

// A residual target holds in the unit it was given: read as another unit,
// or compared with the percentage, the design would stop at another speed.
// Here 1 g/m2 of solvent is about 2.7 % of the initial solvent and about
// 61 000 ppm of the dry coating, so each wrong reading shows.
TEST_F(SearchCliTest, AResidualTargetHoldsInItsOwnUnit) {
  auto figure = [&](const std::string& name) {
    const std::string out = "\n" + Out();
    const auto at = out.find("\n" + name + "=");
    EXPECT_NE(at, std::string::npos) << name << " in " << out;
    return at == std::string::npos ? -1.0 : std::stod(out.substr(at + name.size() + 2));
  };
  const std::string design = "\"$K\" design --quiet --set 'ZoneLength[1]=3' --set 'ZoneLength[2]=3' --max-evaluations 4 ";
  ASSERT_EQ(Shell(design + "--max-residual 5g/m2 >out.txt 2>err.txt"), 0) << Err();
  EXPECT_LE(figure("residual_g_per_m2"), 5.0);
  EXPECT_GT(figure("final_residual_percent"), 5.0);  // a design held to 5 % would be slower
  EXPECT_GT(figure("residual_g_per_m2"), 2.5);       // pushed toward its own bound, not far inside it
  ASSERT_EQ(Shell(design + "--max-residual 300000ppm >out.txt 2>err.txt"), 0) << Err();
  EXPECT_LE(figure("residual_ppm_dry"), 300000.0);
  EXPECT_GT(figure("residual_ppm_dry"), 150000.0);
  EXPECT_GT(figure("final_residual_percent"), 5.0);
}

TEST_F(SearchCliTest, ADesignWhoseRunsAllFailSaysWhy) {
  // A negative step length searched is refused by every run: no target is
  // to blame.
  EXPECT_EQ(Shell(design_ + "--over Edit19=-1:-0.5 >out.txt 2>err.txt"), 4);
  EXPECT_NE(Err().find("not one of the "), std::string::npos) << Err();
  EXPECT_NE(Err().find("were refused, the first with \"Input value is not correct!\" — A negative increment"),
            std::string::npos)
      << Err();
  EXPECT_EQ(Out(), "");
  // A base case every run would be refused for (a step length of 0, not
  // searched) is refused before any run, as a single run is.
  EXPECT_EQ(Shell(design_ + "--set Edit19=0 >out.txt 2>err.txt"), 1);
  EXPECT_EQ(Err().rfind("Input value is not correct!\nkelvane-run: field Edit19", 0), 0u) << Err();
}

}  // namespace
}  // namespace kelvane
