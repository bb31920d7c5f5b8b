#include "cli/BaseCase.h"

#include <cstdio>

#include "cli/ConsoleHost.h"
#include "files/DataFile.h"
#include "run/NearestName.h"

namespace kelvane {

void AddBaseCaseOptions(CLI::App& app, BaseCaseOptions& o) {
  app.add_option("--data", o.DataFile, "Base case from a data file, as \"Input Data File\" loads it")
      ->type_name("DATAFILE");
  app.add_option("--set", o.Settings, "Set one field of the base case (field name or record name); repeatable")
      ->type_name("NAME=TEXT")
      ->allow_extra_args(false);
  // A run the seed's march cannot finish must not read as a miss, so the
  // robust surface solve is the default, as for a single run.
  auto* plain = app.add_flag("--plain", o.Plain,
                             "The seed's plain march in every run, without the robust surface solve (the default "
                             "of every calculation is the robust solve)");
  app.add_flag("--robust", o.Robust, "The robust surface solve in every run (the default; kept for scripts)")
      ->excludes(plain);
  // A step whose secant search is slow to balance is settled early by the
  // robust solve, within its balance test: many runs at the speed of the
  // physics.  --identical follows every such search, as a single run does.
  app.add_flag("--identical", o.Identical,
               "Every run byte for byte as a single robust run (slow secant searches followed to the end); by "
               "default a step whose secant search is slow to balance is settled early, within the balance test")
      ->excludes(plain);
  app.add_flag("--literal", o.Literal, "The engine's reference path in every run (same results, slower)");
  app.add_flag("--quiet", o.Quiet, "No progress bar");
}

bool ApplyBaseCase(const BaseCaseOptions& o, FieldTextMap& fields) {
  ConsoleHost host(false);
  if (!o.DataFile.empty()) {
    std::vector<std::string> warnings;
    if (InputDataFile(o.DataFile, fields, host, warnings) != DataFileStatus::Applied) return false;
    for (const std::string& w : warnings)
      std::fprintf(stderr, "kelvane-run: warning: data file %s: %s\n", o.DataFile.c_str(), w.c_str());
  }
  for (const std::string& s : o.Settings) {
    const auto eq = s.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "kelvane-run: --set %s: expected NAME=TEXT\n", s.c_str());
      return false;
    }
    const std::string name = s.substr(0, eq);
    const FieldSpec* f = FindField(name);
    if (!f) {
      std::fprintf(stderr, "kelvane-run: --set %s: %s\n", s.c_str(),
                   NoSuchField(name, "kelvane-run --help lists them").c_str());
      return false;
    }
    if (ControlByteAt(s) != std::string::npos) {
      std::fprintf(stderr, "kelvane-run: --set %s: the text holds a control byte (a line end, an escape, ...)\n",
                   name.c_str());
      return false;
    }
    fields.SetText(f->Component, s.substr(eq + 1));
  }
  return true;
}

}  // namespace kelvane
