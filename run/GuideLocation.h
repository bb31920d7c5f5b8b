#pragma once
// Where the user guide's HTML is, for the window's Help menu and the end of
// kelvane-run --help: beside the build's programs (build/guide, made by
// ./kelvane.sh docs), or where the package installs it
// (/usr/share/doc/kelvane/guide).  KELVANE_GUIDE, when set, names the
// guide's first page outright (the package's man pages are made with it).

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

struct GuideSearch {
  std::optional<std::filesystem::path> Found;   // the guide's first page
  std::vector<std::filesystem::path> LookedAt;  // every place tried, in order
};

// The guide of the programs in `programDir` (the folder of the running
// program).
GuideSearch FindGuide(const std::filesystem::path& programDir);

// The folder of the running program; empty when the system does not say.
std::filesystem::path ProgramDir();

// The lines that end a program's --help: where the guide is (or how to get
// it), and that the same calculations are a Python module.
std::string GuideHelpText(const GuideSearch& search);

}  // namespace kelvane
