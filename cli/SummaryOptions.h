#pragma once
// kelvane-run's run summary: the options that set its targets and
// thresholds, the zone table and warnings on standard output, and the JSON
// and CSV files.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/AirOptions.h"
#include "cli/OutputPaths.h"

#include "run/StartRun.h"
#include "summary/RunSummary.h"

namespace kelvane {

class SummaryOptions {
 public:
  // Adds --summary-json, --summary-csv, --web-width, --residual-target,
  // --max-film-temperature, --boiling-point-share, --skin-surface-polymer,
  // --skin-solvent-remaining and --warnings-status to the runner.
  void Add(CLI::App& app);
  // Parses the option texts into settings; false with a message on stderr.
  bool Check();
  // The summary files asked for, by option.
  std::vector<NamedOutput> Outputs() const { return {{"--summary-json", json_}, {"--summary-csv", csv_}}; }
  // Records the run's zones (set as RunOptions::ZoneMarched).
  void Attach(RunOptions& options);
  // After the run: prints the table unless quiet, writes the files.  Returns
  // the exit status: `status` itself, 3 when a summary file could not be
  // written, 4 with --warnings-status when a finished run has warnings.
  int Finish(const RunReport& report, const Calculation& calc, bool quiet, int status);

 private:
  std::string json_, csv_, target_;
  double boilingShare_ = 1.0, skinPolymer_ = 0.85, skinRemaining_ = 50.0;
  double webWidth_ = 0, maxTemp_ = 0;
  bool warningsStatus_ = false;
  CLI::Option* webWidthOption_ = nullptr;
  CLI::Option* maxTempOption_ = nullptr;
  SummarySettings settings_;
  TraceRecorder recorder_;
  AirOptions air_;
};

}  // namespace kelvane
