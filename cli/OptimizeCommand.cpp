// kelvane-run optimize: the best setting that meets the targets.  One
// searched field: a bracketing search whose two ends are both run; several:
// NLopt's COBYLA.  The best point goes to standard output, one NAME=VALUE
// line per field, the objective field last.
//
// Exit status: 0 a setting meets the targets; 1 options or base case
// refused; 3 a file could not be written; 4 no setting in the bounds is
// known to meet the targets (none does, or the run at the lenient bound did
// not finish); 128 + the signal when interrupted; 64 a wrong command line.
//
// The runs use the robust surface solve unless --plain is given: a run the
// seed's march cannot finish is no answer to the search.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/AirOptions.h"
#include "cli/BaseCase.h"
#include "cli/HelpText.h"
#include "cli/Interrupts.h"
#include "cli/OptionChecks.h"
#include "cli/OutputPaths.h"
#include "cli/RunsProgress.h"
#include "cli/SearchOptions.h"
#include "cli/StudyCommand.h"
#include "files/DataFile.h"
#include "files/StagedFile.h"
#include "run/NearestName.h"
#include "run/ReadRunParameters.h"
#include "study/BoundarySearch.h"
#include "study/Optimize.h"
#include "study/StudyTable.h"

namespace kelvane {

int OptimizeCommand(int argc, char** argv, const RunnerOptions& runner) {
  CLI::App app{"kelvane-run optimize: the best setting of one or more fields that meets the targets.\n"
               "The common case: kelvane-run optimize --maximize WebSpeed --between 0.1:5 --max-residual 5\n",
               "kelvane-run optimize"};
  BaseCaseOptions base;
  AddBaseCaseOptions(app, base);
  std::string maximize, minimize, between, csv, writeData;
  std::vector<std::string> over;
  double maxResidual = -1, maxTemp = -1e300, tolerance = 0;
  bool noBoiling = false;
  int jobs = 0, maxEvaluations = 60;
  app.add_option("--maximize", maximize, "Field or summary column to maximise")->type_name("NAME");
  app.add_option("--minimize", minimize, "Field or summary column to minimise")->type_name("NAME");
  app.add_option("--between", between, "Bounds of the --maximize/--minimize field")->type_name("LOWER:UPPER");
  app.add_option("--over", over, "A further field searched, with its bounds; repeatable")
      ->type_name("NAME=LOWER:UPPER")
      ->allow_extra_args(false);
  app.add_option("--max-residual", maxResidual, "Target: at most PERCENT of the initial solvent left at the exit")
      ->type_name("PERCENT")
      ->check(AtLeast(0, false, "(a percentage)"));
  app.add_option("--max-film-temperature", maxTemp, "Target: the film never hotter than DEGC")
      ->type_name("DEGC")
      ->check(Finite("of degrees Celsius"));
  app.add_flag("--no-boiling", noBoiling,
               "Target: no boiling warning (the bubble pressure at the base film stays below 760 mmHg)");
  double webWidth = 0;
  app.add_option("--web-width", webWidth, "Web width for the --exhaust flows, m")->type_name("M")->check(Above(0));
  AirOptions air;
  air.Add(app, false);
  air.AddTarget(app);
  app.add_option("--tolerance", tolerance,
                 "One field: width of the final bracket (default: a thousandth of the bounds' span, "
                 "rounded down to a power of ten)")
      ->type_name("X")
      ->check(Above(0));
  app.add_option("--max-evaluations", maxEvaluations, "Several fields: runs allowed (default 60)")
      ->type_name("N")
      ->check(AtLeast(1, true));
  app.add_option("--csv", csv, "Write every run made (the evaluations) as CSV")->type_name("FILE");
  app.add_option("--write-data", writeData, "Write the base case with the best point as a data file")
      ->type_name("FILE");
  app.add_option("--jobs", jobs, "Runs at once in the one-field search (default: all cores)")
      ->type_name("N")
      ->check(AtLeast(0, true, "(0: all cores)"));
  app.footer(
      "\nSummary columns usable as objectives: final_residual_percent, residual_g_per_m2,\n"
      "residual_ppm_dry, max_film_temperature_c, min_boiling_margin_mmhg, warnings,\n"
      "boiling_warnings, total_heat_kj_per_m2, heat_per_kg_solvent_kj, dry_thickness_um, total_time_s.\n"
      "--no-boiling: no boiling warning of the run summary (bubble pressure at the base film\n"
      "reaching 760 mmHg).\n"
      "\nEvery run uses the robust surface solve unless --plain is given. A run that does not finish\n"
      "is no answer: the search passes over it and tries a point near it.\n"
      "A step whose secant search is slow to balance is settled early by the robust solve, within\n"
      "its balance test; --identical gives every run the bytes of a single robust run.\n"
      "\nExit status: 0 a setting meets the targets (printed last as NAME=VALUE, full precision; the\n"
      "summary lines before it are rounded to 4 significant digits); 1 options or base case refused;\n"
      "3 a file could not be written; 4 no setting in the bounds is known to meet the targets (none\n"
      "does, or the run at the lenient bound did not finish); 128 + the signal when interrupted (130\n"
      "for Ctrl+C); 64 a wrong command line (--csv and --write-data on one file, say).\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0 && ReportUnknownOption(app, argc, argv, "kelvane-run optimize")) return 64;
    return app.exit(e) == 0 ? 0 : 64;
  }
  auto refuse = [](const std::string& text) {
    std::fprintf(stderr, "kelvane-run optimize: %s\n", text.c_str());
    return 1;
  };
  if (!DistinctOutputs("kelvane-run optimize", {{"--csv", csv}, {"--write-data", writeData}})) return 64;
  if (maximize.empty() == minimize.empty()) return refuse("give exactly one of --maximize and --minimize");
  const bool isMax = !maximize.empty();
  const std::string objective = isMax ? maximize : minimize;

  StudyDefinition study;
  if (!ApplyBaseCase(base, study.Base)) return 1;
  Targets goal;
  if (maxResidual >= 0) goal.MaxResidual = maxResidual;
  if (maxTemp > -1e300) goal.MaxFilmTemperature = maxTemp;
  goal.NoBoiling = noBoiling;
  if (!air.Check("kelvane-run optimize", webWidth > 0)) return 1;
  goal.Air = air.Settings();
  if (webWidth > 0) goal.WebWidth = webWidth;
  goal.MaxLflShare = air.MaxShare();
  if (!goal.MaxResidual && !goal.MaxFilmTemperature && !goal.NoBoiling && !goal.MaxLflShare)
    return refuse("give at least one target (--max-residual, --max-film-temperature, --no-boiling, --max-lfl-share)");

  std::vector<SearchedField> fields;
  std::vector<Bounds> bounds;
  try {
    auto add = [&](const std::string& name, const std::string& range) {
      SearchedField f;
      f.Field.Name = name;
      f.Field.Field = FindField(name);
      if (!f.Field.Field) throw std::invalid_argument(NoSuchField(name));
      const Bounds b = ParseBounds(range, name);
      f.Lower = b.Lo;
      f.Upper = b.Hi;
      fields.push_back(f);
      bounds.push_back(b);
    };
    if (!between.empty()) add(objective, between);
    for (const std::string& o : over) {
      const auto eq = o.find('=');
      if (eq == std::string::npos) throw std::invalid_argument("--over " + o + ": expected NAME=LOWER:UPPER");
      add(o.substr(0, eq), o.substr(eq + 1));
    }
  } catch (const std::invalid_argument& e) {
    return refuse(e.what());
  }
  if (fields.empty()) return refuse("no field to search: give --between for the objective field, or --over");

  if (runner.OptionsOnly) return 0;
  if (!OutputsWritable("kelvane-run optimize", {{"--csv", csv}, {"--write-data", writeData}})) return 3;
  StudyOptions options;
  options.Jobs = jobs;
  options.Robust = !base.Plain;
  options.Identical = base.Identical;
  options.LiteralTrials = base.Literal;
  StudyControl control;
  RunsProgress progress(!base.Quiet && isatty(STDERR_FILENO));
  // The one-field search says about how many runs it makes; COBYLA does not.
  std::size_t expected = 0;
  control.RowDone = [&](const RowResult& r, std::size_t, std::size_t) {
    progress.Update(r.Row.Number, expected ? std::max<std::size_t>(expected, r.Row.Number) : 0);
  };
  StudyDefinition evaluated;  // the table of evaluations: the searched fields
  evaluated.Base = study.Base;
  for (const SearchedField& f : fields) evaluated.Varied.push_back(f.Field);

  std::vector<std::string> best;
  RowResult bestRow;
  std::vector<RowResult> evaluations;
  bool found = false, cancelled = false;
  std::string notFound;  // why nothing was found
  try {
    InterruptGuard guard(control.Cancel);
    if (fields.size() == 1 && FindField(objective) == fields[0].Field.Field) {
      BoundarySearch s;
      s.Field = fields[0].Field;
      s.Lower = bounds[0].Lower;
      s.Upper = bounds[0].Upper;
      s.Maximize = isMax;
      s.Tolerance = tolerance;
      s.Goal = goal;
      expected = ExpectedRuns(s, StudyThreads(options.Jobs));
      const BoundaryResult r = SearchBoundary(study, s, options, control);
      evaluations = r.Evaluations;
      progress.Clear();
      found = HasAnswer(r.End);
      cancelled = r.End == SearchEnd::Cancelled;
      if (found) std::fprintf(stderr, "%s\n", BoundaryAnswer(s, r).c_str());
      else if (!cancelled) notFound = BoundaryAnswer(s, r);
      if (found) {
        best = {r.Best};
        bestRow = r.BestRow;
      }
    } else {
      Optimization o;
      o.Fields = fields;
      o.Objective = objective;
      o.Maximize = isMax;
      o.Goal = goal;
      o.MaxEvaluations = maxEvaluations;
      const OptimizationResult r = Optimize(study, o, options, control);
      progress.Clear();
      evaluations = r.Evaluations;
      cancelled = r.Cancelled;
      found = r.Found && !cancelled;
      if (found) {
        best = r.Best;
        bestRow = r.BestRow;
      }
      std::fprintf(stderr, "COBYLA: %s after %zu runs\n", r.Stop.c_str(), r.Evaluations.size());
      if (!r.Found)
        notFound = "no setting in the bounds meets the targets (none of the " + std::to_string(r.Evaluations.size()) +
                   " runs met the targets)";
    }
  } catch (const std::invalid_argument& e) {
    return refuse(e.what());
  }
  progress.Clear();
  // A file that cannot be written costs the file, never the answer.
  bool written = csv.empty() || WriteEvaluations(csv, evaluated, evaluations);
  if (cancelled) {
    std::fprintf(stderr, "kelvane-run optimize: interrupted after %zu runs\n", evaluations.size());
    return InterruptedStatus(InterruptSignal() ? InterruptSignal() : SIGINT);
  }
  if (!found) {
    std::fprintf(stderr, "kelvane-run optimize: %s\n", notFound.c_str());
    return written ? 4 : 3;
  }
  if (!writeData.empty()) {
    FieldTextMap f = study.Base;
    for (std::size_t i = 0; i < fields.size(); ++i) f.SetText(fields[i].Field.Field->Component, best[i]);
    const DataFileWriteResult w = WriteDataFileChecked(writeData, f);
    if (w.Result != DataFileWriteResult::Status::Ok) {
      std::fprintf(stderr, "kelvane-run optimize: the data file %s could not be written\n", writeData.c_str());
      written = false;
    }
  }
  PrintSummary(bestRow);
  // The objective field last: scripts read the last line.
  std::size_t last = fields.size() - 1;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (fields[i].Field.Field == FindField(objective)) last = i;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (i != last) std::printf("%s=%s\n", fields[i].Field.Name.c_str(), best[i].c_str());
  std::printf("%s=%s\n", fields[last].Field.Name.c_str(), best[last].c_str());
  return written ? 0 : 3;
}

}  // namespace kelvane
