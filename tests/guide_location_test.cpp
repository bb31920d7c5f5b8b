// Where the programs say the user guide is: kelvane-run --help ends with the
// guide's page and the Python module, from a copy of the built runner laid
// out as in a build, as installed, and with no guide anywhere near it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "files_test_support.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPythonLine = "Python: the same calculations from Python 3, `import kelvane`";

class GuideLocationTest : public filetest::ScratchDir {
 protected:
  // A copy of the built runner at `where`, relative to the scratch folder.
  fs::path Runner(const std::string& where) {
    const fs::path copy = dir_ / where / "kelvane-run";
    fs::create_directories(copy.parent_path());
    fs::copy_file(KELVANE_RUNNER, copy);
    return copy;
  }
  fs::path Page(const std::string& where) {
    const fs::path page = dir_ / where / "index.html";
    fs::create_directories(page.parent_path());
    std::ofstream(page) << "<html></html>\n";
    return page;
  }
  // The last lines of `runner --help`, from "User guide" on.
  std::string HelpEnding(const fs::path& runner, const std::string& environment = "env -u KELVANE_GUIDE") {
    const fs::path out = dir_ / "help.txt";
    const std::string cmd = environment + " '" + runner.string() + "' --help > '" + out.string() + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << cmd;
    const std::string help = filetest::ReadBytes(out);
    const auto at = help.rfind("User guide");
    return at == std::string::npos ? help : help.substr(at);
  }
};

TEST_F(GuideLocationTest, HelpEndsWithTheGuideBesideTheProgramAndThePythonModule) {
  // In a build: build/cli/kelvane-run and build/guide/index.html.
  const fs::path built = Page("build/guide");
  std::string ending = HelpEnding(Runner("build/cli"));
  EXPECT_EQ(ending.rfind("User guide (HTML, a page per task): " + built.string() + "\n", 0), 0u) << ending;
  EXPECT_NE(ending.find(kPythonLine), std::string::npos) << ending;
  EXPECT_TRUE(ending.ends_with("Python page).\n")) << "the help ends there:\n" << ending;

  // Installed under a prefix: PREFIX/bin and PREFIX/share/doc/kelvane/guide.
  const fs::path installed = Page("usr/share/doc/kelvane/guide");
  ending = HelpEnding(Runner("usr/bin"));
  EXPECT_EQ(ending.rfind("User guide (HTML, a page per task): " + installed.string() + "\n", 0), 0u) << ending;

  // Named outright, as the package's man page is made.
  ending = HelpEnding(Runner("elsewhere"), "KELVANE_GUIDE=/usr/share/doc/kelvane/guide/index.html");
  EXPECT_EQ(ending.rfind("User guide (HTML, a page per task): /usr/share/doc/kelvane/guide/index.html\n", 0), 0u)
      << ending;

  // Nowhere: how to build it and where the package puts it.
  if (fs::exists("/usr/share/doc/kelvane/guide/index.html")) GTEST_SKIP() << "the package is installed here";
  ending = HelpEnding(Runner("bare/cli"));
  EXPECT_NE(ending.find("not found beside this program"), std::string::npos) << ending;
  EXPECT_NE(ending.find("./kelvane.sh docs"), std::string::npos) << ending;
  EXPECT_NE(ending.find(kPythonLine), std::string::npos) << ending;
}

}  // namespace
}  // namespace kelvane
