// kelvane-run: the calculation without a window, for scripting, batch
// studies and tests.  It starts from the window's default field texts,
// applies a data file and single field settings, and runs the same driver
// as the OK button.
//
// Exit status: 0 finished; 1 input or data file refused; 2 the calculation
// stopped on a numerical failure or an arithmetic fault; 3 the result file
// could not be written.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <sstream>

#include "cli/ConsoleHost.h"
#include "files/DataFile.h"
#include "run/FieldTable.h"
#include "run/StartRun.h"

using namespace kelvane;

namespace {

std::string FieldList() {
  std::ostringstream out;
  out << "\nFields (NAME for --set: the field name or its record name):\n";
  char line[256];
  for (const FieldSpec& f : FieldTable()) {
    std::snprintf(line, sizeof line, "  %-8s %-26s %-11s default \"%s\"%s\n", f.Component.c_str(), f.Member.c_str(),
                  f.Unit.c_str(), f.DefaultText.c_str(), f.Enabled ? "" : "  (fixed)");
    out << line;
  }
  return out.str();
}

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Finished: return 0;
    case RunOutcome::Refused:
    case RunOutcome::GeneralError: return 1;
    case RunOutcome::EngineFailed:
    case RunOutcome::ArithmeticFault:
    case RunOutcome::Cancelled: return 2;
    case RunOutcome::FileError: return 3;
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"kelvane-run: compute a coated-film dryer without the window"};
  std::string dataFile, resultFile = "result.txt", writeData;
  std::vector<std::string> settings;
  bool quiet = false, literal = false;
  app.add_option("--data", dataFile, "Apply a data file, as \"Input Data File\" does");
  app.add_option("--set", settings, "Set one field's text, NAME=TEXT")->allow_extra_args(false);
  app.add_option("-o,--output", resultFile, "Result file (the \"Save File Name\" field)");
  app.add_option("--write-data", writeData,
                 "Write the field texts as a 141-line data file and exit without computing");
  app.add_flag("--quiet", quiet, "No progress bar");
  app.add_flag("--literal", literal, "Use the reference (unoptimised) engine path; same results, slower");
  app.footer(FieldList());
  CLI11_PARSE(app, argc, argv);

  ConsoleHost host(!quiet && isatty(STDERR_FILENO));
  FieldTextMap fields;
  fields.SetText("Edit250", resultFile);

  if (!dataFile.empty() && InputDataFile(dataFile, fields, host) != DataFileStatus::Applied) return 1;
  for (const std::string& s : settings) {
    const auto eq = s.find('=');
    const FieldSpec* f = eq == std::string::npos ? nullptr : FindField(s.substr(0, eq));
    if (!f) {
      std::fprintf(stderr, "kelvane-run: unknown field in --set %s (see --help for the names)\n", s.c_str());
      return 1;
    }
    fields.SetText(f->Component, s.substr(eq + 1));
  }
  if (!writeData.empty()) {
    if (!WriteDataFile(writeData, fields)) {
      std::fprintf(stderr, "kelvane-run: cannot write the data file %s\n", writeData.c_str());
      return 3;
    }
    return 0;
  }

  auto calc = std::make_unique<Calculation>();
  RunOptions options;
  options.LiteralTrials = literal;
  const RunReport report = StartRun(fields, host, *calc, options);
  return ExitStatus(report.Outcome);
}
