// The user guide's place: the build tree first (a program run from a clone's
// build), then the installed tree around the program, then the package's.

#include "run/GuideLocation.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace kelvane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kPackageGuide = "/usr/share/doc/kelvane/guide/index.html";

}  // namespace

GuideSearch FindGuide(const fs::path& programDir) {
  GuideSearch s;
  if (const char* named = std::getenv("KELVANE_GUIDE"); named && *named) {
    s.LookedAt.emplace_back(named);
    s.Found = fs::path(named);
    return s;
  }
  std::vector<fs::path> places;
  if (!programDir.empty()) {
    const fs::path above = programDir.parent_path();
    places.push_back(above / "guide" / "index.html");                          // build/cli, build/ui
    places.push_back(above / "share" / "doc" / "kelvane" / "guide" / "index.html");  // PREFIX/bin
  }
  places.emplace_back(kPackageGuide);
  for (const fs::path& p : places) {
    const fs::path place = p.lexically_normal();
    if (std::find(s.LookedAt.begin(), s.LookedAt.end(), place) != s.LookedAt.end()) continue;
    s.LookedAt.push_back(place);
    std::error_code ec;
    if (!s.Found && fs::is_regular_file(place, ec)) s.Found = place;
  }
  return s;
}

fs::path ProgramDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : self.parent_path();
}

std::string GuideHelpText(const GuideSearch& search) {
  std::string text;
  if (search.Found)
    text = "User guide (HTML, a page per task): " + search.Found->string() + "\n";
  else
    text = std::string("User guide: not found beside this program.  In a clone, ./kelvane.sh docs\n"
                       "builds it into build/guide/; the package installs it as\n") +
           kPackageGuide + ".\n";
  text += "Python: the same calculations from Python 3, `import kelvane` (the guide's\n"
          "Python page).\n";
  return text;
}

}  // namespace kelvane
