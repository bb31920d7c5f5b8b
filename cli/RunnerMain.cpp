// kelvane-run: the calculation without a window, for scripting, batch
// studies and tests.  It starts from the window's default field texts,
// applies a data file and single field settings, and runs the same driver
// as the OK button.
//
// Exit status: 0 finished; 1 input or data file refused (or, with --strict,
// inputs that look wrong); 2 the calculation stopped on a numerical failure
// or an arithmetic fault; 3 the result file could not be written (or a
// summary file); 4 with --warnings-status, a finished run that has
// warnings; 64 the command line itself is wrong (or names one file for two
// outputs); 129 / 130 / 143 cancelled by SIGHUP / SIGINT / SIGTERM (the
// zones completed are in the result file, which ends with a cancellation
// mark).  Every file is written under a temporary name and takes its own
// name when complete: a failure or a kill keeps the earlier file.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

#include "KelvaneVersion.h"
#include "cli/ConsoleHost.h"
#include "cli/HelpText.h"
#include "cli/Interrupts.h"
#include "cli/RunnerMain.h"
#include "cli/StudyCommand.h"
#include "cli/SummaryOptions.h"
#include "files/DataFile.h"
#include "run/NearestName.h"
#include "run/FieldHelp.h"
#include "fields/FieldTable.h"
#include "run/StartRun.h"

namespace kelvane {

namespace {

// The page's footer: the fields, then what the run does on exit.
std::string RunFooter() {
  return FieldListText() +
         "\nExit status: 0 finished; 1 input or data file refused, or with --strict inputs\n"
         "that look wrong; 2 the calculation stopped on a numerical failure or an\n"
         "arithmetic fault; 3 the result file (or the --write-data file, or a summary\n"
         "file) could not be written; 4 with --warnings-status, a finished run that has\n"
         "warnings; 64 the command line is wrong (two outputs name one file, say); 130,\n"
         "143 or 129 the run was interrupted by SIGINT (Ctrl+C), SIGTERM or SIGHUP: it\n"
         "stops between steps like the window's Cancel, keeps the zones completed and\n"
         "marks the file as cancelled; a second signal ends the program at once.\n"
         "Each file is written under a temporary name beside it and takes its name when\n"
         "complete: a failed write or a kill leaves the earlier file as it was.\n"
         "\nAfter a run that marched, the zone table and the warnings follow the finish\n"
         "line on standard output (not with --quiet).\n";
}

// --write-data: the field texts as a data file.  Exit status as for a run.
int WriteData(const std::string& path, const FieldTexts& fields) {
  using Status = DataFileWriteResult::Status;
  const DataFileWriteResult r = WriteDataFileChecked(path, fields);
  switch (r.Result) {
    case Status::Ok: return 0;
    case Status::UnwritableText:
      std::fprintf(stderr,
                   "kelvane-run: the text of %s cannot go into a data file (it holds a space, a line end "
                   "or a character without a Shift_JIS form); nothing written\n",
                   r.Field.c_str());
      return 1;
    case Status::OpenFailed:
      std::fprintf(stderr, "kelvane-run: cannot write the data file %s: %s\n", path.c_str(), r.Reason.c_str());
      return 3;
    case Status::WriteFailed:
      std::fprintf(stderr, "kelvane-run: writing the data file %s failed: %s; an earlier file of that name is left as "
                   "it was\n", path.c_str(), r.Reason.c_str());
      return 3;
  }
  return 3;
}

// "Robust surface solve took over 3 steps (zone 1: 2, zone 4: 1)."
void PrintRescues(const Calculation& calc) {
  if (calc.Stats.Marches > 1) std::fprintf(stderr, "%s\n", MarchedAgainNote);
  if (calc.Rescued.empty()) return;
  std::map<int, int> perZone;
  for (const RescuedStep& r : calc.Rescued) ++perZone[r.Zone];
  std::string zones;
  for (const auto& [zone, count] : perZone) {
    if (!zones.empty()) zones += ", ";
    zones += "zone " + std::to_string(zone) + ": " + std::to_string(count);
  }
  const std::size_t n = calc.Rescued.size();
  std::fprintf(stderr, "Robust surface solve took over %zu step%s (%s).\n", n, n == 1 ? "" : "s", zones.c_str());
}

// The window's cancellation note, then what was kept.
int Cancelled(ConsoleHost& host, const RunReport& report, const std::string& resultFile) {
  const int signal = InterruptSignal() ? InterruptSignal() : SIGINT;
  host.ShowMessage("The calculation was cancelled.");
  host.ShowMessage(std::string("kelvane-run: ") + (signal == SIGTERM ? "SIGTERM" : signal == SIGHUP ? "SIGHUP" : "SIGINT") + " in zone " +
                   std::to_string(report.FailedZone) + "; " + resultFile + " holds the " +
                   std::to_string(report.ZonesWritten) + " zone" + (report.ZonesWritten == 1 ? "" : "s") +
                   " completed");
  return InterruptedStatus(signal);
}

int ExitStatus(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::Finished: return 0;
    case RunOutcome::Refused:
    case RunOutcome::Declined:
    case RunOutcome::GeneralError: return 1;
    case RunOutcome::EngineFailed:
    case RunOutcome::ArithmeticFault:
    case RunOutcome::Cancelled: return 2;
    case RunOutcome::FileError: return 3;
  }
  return 2;
}

}  // namespace

int RunnerMain(int argc, char** argv, const RunnerOptions& runner) {
  // A file grown past the size limit (ulimit -f) fails its write with EFBIG,
  // reported like a full disk, instead of killing the process mid-file.
  std::signal(SIGXFSZ, SIG_IGN);
  // A closed standard output (a pager quit early) fails the printing, not
  // the run: the status stays the result file's.
  std::signal(SIGPIPE, SIG_IGN);
  // A signal before a run (or with none, as --write-data) leaves no
  // temporary file beside an output.
  if (!runner.OptionsOnly) EndAtOnceOnInterrupts();
  // "kelvane-run run ..." is the single run spelt out.
  if (argc > 1 && std::strcmp(argv[1], "run") == 0) {
    argv[1] = argv[0];
    --argc, ++argv;
  }
  if (argc > 1 && std::strcmp(argv[1], "study") == 0) return StudyCommand(argc - 1, argv + 1, runner);
  if (argc > 1 && std::strcmp(argv[1], "optimize") == 0) return OptimizeCommand(argc - 1, argv + 1, runner);
  if (argc > 1 && std::strcmp(argv[1], "design") == 0) return DesignCommand(argc - 1, argv + 1, runner);
  CLI::App app{"kelvane-run: compute a coated-film dryer without the window.\n\n" + CommandsText() +
                   "\nkelvane-run [run] starts from the window's default field texts, applies --data,\n"
                   "then each --set, and runs the calculation as the OK button does.  Messages go\n"
                   "to standard error.\n",
               "kelvane-run"};
  std::string dataFile, resultFile = "result.txt", writeData;
  std::vector<std::string> settings;
  bool quiet = false, literal = false, robust = false, strict = false;
  app.add_option("--data", dataFile, "Apply a data file, as \"Input Data File\" does")->type_name("DATAFILE");
  app.add_option("--set", settings, "Set one field's text; NAME is a field name (Edit19) or a record name "
                                    "(IncrementZ, OuterTemperature[2]); repeatable")
      ->type_name("NAME=TEXT")
      ->allow_extra_args(false);
  app.add_option("-o,--output", resultFile, "Result file (the \"Save File Name\" field; default result.txt)")
      ->type_name("RESULTFILE");
  app.add_option("--write-data", writeData,
                 "Write the field texts as a 141-line data file and exit without computing")
      ->type_name("FILE");
  app.add_flag("--quiet", quiet, "No progress bar and no zone table");
  SummaryOptions summary;
  summary.Add(app);
  app.add_flag("--literal", literal, "Use the reference (unoptimised) engine path; same results, slower");
  app.add_flag("--robust", robust,
               "Robust surface solve: where the secant search of a step fails, a damped Newton iteration "
               "takes the step over; runs that finish without it are unchanged");
  app.add_flag("--strict", strict, "Refuse inputs that look wrong (the plausibility warnings) with status 1");
  app.set_version_flag("--version", "kelvane-run " KELVANE_VERSION);
  app.footer(RunFooter());
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    if (!ReportUnknownOption(app, argc, argv, "kelvane-run")) app.exit(e);
    return 64;  // the conventional status of a usage error (2 is a failed calculation here)
  }
  if (!summary.Check()) return 1;
  if (writeData.empty()) {
    std::vector<NamedOutput> outputs = summary.Outputs();
    outputs.insert(outputs.begin(), {"-o", resultFile});
    if (!DistinctOutputs("kelvane-run", outputs)) return 64;
  }

  ConsoleHost host(!quiet && isatty(STDERR_FILENO));
  host.Strict = strict;
  FieldTextMap fields;
  fields.SetText("Edit250", resultFile);

  if (!dataFile.empty()) {
    std::vector<std::string> warnings;
    if (InputDataFile(dataFile, fields, host, warnings) != DataFileStatus::Applied) return 1;
    for (const std::string& w : warnings)
      std::fprintf(stderr, "kelvane-run: warning: data file %s: %s\n", dataFile.c_str(), w.c_str());
    if (strict && !warnings.empty()) {
      std::fprintf(stderr, "kelvane-run: --strict: the data file above looks wrong; nothing computed\n");
      return 1;
    }
  }
  for (const std::string& s : settings) {
    const auto eq = s.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "kelvane-run: --set %s: expected NAME=TEXT\n", s.c_str());
      return 1;
    }
    const std::string name = s.substr(0, eq);
    const FieldSpec* f = FindField(name);
    if (!f) {
      std::fprintf(stderr, "kelvane-run: --set %s: %s\n", s.c_str(),
                   NoSuchField(name, "kelvane-run --help lists them").c_str());
      return 1;
    }
    if (ControlByteAt(s) != std::string::npos) {
      std::fprintf(stderr, "kelvane-run: --set %s: the text holds a control byte (a line end, an escape, ...)\n",
                   name.c_str());
      return 1;
    }
    fields.SetText(f->Component, s.substr(eq + 1));
  }
  if (runner.OptionsOnly) return 0;
  if (!writeData.empty()) return WriteData(writeData, fields);

  auto calc = std::make_unique<Calculation>();
  RunOptions options;
  options.LiteralTrials = literal;
  options.Robust = robust;
  summary.Attach(options);
  // The rescue note comes before the finish text, which stays the last line.
  host.BeforeFinish = [&] { PrintRescues(*calc); };
  CatchInterrupts();
  const RunReport report = StartRun(fields, host, *calc, options);
  if (report.Outcome != RunOutcome::Finished) PrintRescues(*calc);
  const int status =
      report.Outcome == RunOutcome::Cancelled ? Cancelled(host, report, resultFile) : ExitStatus(report.Outcome);
  return summary.Finish(report, *calc, quiet, status);
}

}  // namespace kelvane
