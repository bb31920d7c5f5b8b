// kelvane-run design: the fastest web speed and the zones' gas temperatures
// that dry the coating to the target without boiling, skinning or an
// overheated film.  The account goes to standard error; standard output
// ends with one NAME=VALUE line per designed field, then WebSpeed=V, so that
// a script can pass the design back as --set arguments.
//
// Exit status: 0 a design meets the targets; 1 options or base case
// refused; 3 a file could not be written; 4 no schedule in the bounds met
// the targets; 128 + the signal when interrupted (130 for Ctrl+C); 64 a wrong
// command line.

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "cli/AirOptions.h"
#include "cli/BaseCase.h"
#include "cli/ConsoleHost.h"
#include "cli/HelpText.h"
#include "cli/Interrupts.h"
#include "cli/OptionChecks.h"
#include "cli/OutputPaths.h"
#include "cli/RunsProgress.h"
#include "cli/SearchOptions.h"
#include "cli/StudyCommand.h"
#include "files/DataFile.h"
#include "run/ReadRunParameters.h"
#include "study/BaseCaseCheck.h"
#include "study/Design.h"
#include "study/DesignAccount.h"
#include "study/DesignFront.h"
#include "study/SearchChecks.h"
#include "study/StudyTable.h"
#include "files/StagedFile.h"

namespace kelvane {

namespace {

// "7", "7%", "0.5g/m2", "500ppm": the residual target and its unit.
bool ParseResidual(const std::string& text, Targets& goal) {
  struct Unit {
    const char* Suffix;
    ResidualUnit Value;
  };
  for (const Unit& u : {Unit{"g/m2", ResidualUnit::GramsPerSquareMetre}, Unit{"ppm", ResidualUnit::PpmOfDryCoating},
                        Unit{"%", ResidualUnit::PercentOfInitial}, Unit{"", ResidualUnit::PercentOfInitial}}) {
    const std::string suffix = u.Suffix;
    if (text.size() <= suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    long double v = 0;
    if (!TextToExtended(text.substr(0, text.size() - suffix.size()), '.', v) || !std::isfinite(v) || v < 0)
      return false;
    goal.MaxResidual = static_cast<double>(v);
    goal.ResidualIn = u.Value;
    return true;
  }
  return false;
}

}  // namespace

int DesignCommand(int argc, char** argv, const RunnerOptions& runner) {
  CLI::App app{"kelvane-run design: the fastest web speed, with each zone's gas temperature, that meets the\n"
               "targets. The common case: kelvane-run design --max-residual 7 --no-boiling --no-skinning\n",
               "kelvane-run design"};
  BaseCaseOptions base;
  AddBaseCaseOptions(app, base);
  std::string residual, speed = "0.05:5", csv, writeData, frontCsv;
  int front = 0;
  std::vector<std::string> over;
  double maxTemp = -1e300, margin = -1e300, span = 40, lowest = 20, highest = 200, webWidth = 0;
  bool noBoiling = false, noSkinning = false, nonDecreasing = false;
  int maxEvaluations = 120;
  double slowest = 100, gasTolerance = 0;
  app.add_option("--max-residual", residual,
                 "Target: at most this much solvent left at the exit, in % of the initial solvent (7 or 7%), "
                 "g/m2 (0.5g/m2) or ppm of the dry coating (500ppm)")
      ->type_name("AMOUNT");
  app.add_flag("--no-boiling", noBoiling, "Target: the bubble pressure at the base film stays below 760 mmHg");
  app.add_option("--boiling-margin", margin, "Target: the boiling margin never below MMHG (implies --no-boiling)")
      ->type_name("MMHG")
      ->check(Finite("of mmHg"));
  app.add_flag("--no-skinning", noSkinning, "Target: no skinning warning");
  app.add_option("--max-film-temperature", maxTemp, "Target: the film never hotter than DEGC")
      ->type_name("DEGC")
      ->check(Finite("of degrees Celsius"));
  app.add_flag("--non-decreasing", nonDecreasing, "The gas temperatures never fall from one zone to the next");
  app.add_option("--span", span, "Each zone's gas temperature within K of its current value (default 40)")
      ->type_name("K")
      ->check(Above(0));
  app.add_option("--lowest", lowest, "No gas colder than DEGC (default 20)")->type_name("DEGC")->check(Finite());
  app.add_option("--highest", highest, "No gas hotter than DEGC (default 200)")->type_name("DEGC")->check(Finite());
  app.add_option("--over", over, "A further field designed, with its bounds (a zone's heat-transfer coefficient, "
                                 "say); repeatable")
      ->type_name("NAME=LOWER:UPPER")
      ->allow_extra_args(false);
  app.add_option("--slowest", slowest,
                 "Operating window: every target holds at every speed from PERCENT of the design's speed up to it "
                 "(default 100: at the design's speed)")
      ->type_name("PERCENT")
      ->check(CLI::Range(1.0, 100.0));
  app.add_option("--gas-tolerance", gasTolerance,
                 "Every target holds with each zone's gas K warmer (at the slowest speed) or cooler (default 0)")
      ->type_name("K")
      ->check(CLI::Range(0.0, 99.0));
  app.add_option("--speed", speed, "Bounds of the web speed, m/s (default 0.05:5)")->type_name("LOWER:UPPER");
  app.add_option("--web-width", webWidth, "Web width for the power per zone, m")->type_name("M")->check(Above(0));
  AirOptions air;
  air.Add(app, false);
  air.AddTarget(app);
  app.add_option("--max-evaluations", maxEvaluations, "Runs allowed to each of the two starts (default 120)")
      ->type_name("N")
      ->check(AtLeast(1, true));
  app.add_option("--csv", csv, "Write every run made as CSV")->type_name("FILE");
  app.add_option("--front", front,
                 "Also N designs trading speed against energy: each with the heat per m2 capped, the caps spread "
                 "from the cheapest run that dried to the unconstrained design's heat")
      ->type_name("N")
      ->check(CLI::Range(2, 100));
  app.add_option("--front-csv", frontCsv, "Write the front as CSV (needs --front)")->type_name("FILE");
  app.add_option("--write-data", writeData, "Write the base case with the design as a data file")->type_name("FILE");
  app.footer(
      "\nEvery run uses the robust surface solve unless --plain is given. A run that does not finish is\n"
      "no answer: its point gives way to a neighbour that finishes.\n"
      "A step whose secant search is slow to balance is settled early by the robust solve, within\n"
      "its balance test; --identical gives every run the bytes of a single robust run.\n"
      "\nExit status: 0 a design meets the targets (the designed fields and WebSpeed printed last as\n"
      "NAME=VALUE); 1 options or base case refused; 3 a file could not be written; 4 no schedule in\n"
      "the bounds met the targets; 128 + the signal when interrupted (130 for Ctrl+C); 64 a wrong\n"
      "command line.\n");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0 && ReportUnknownOption(app, argc, argv, "kelvane-run design")) return 64;
    return app.exit(e) == 0 ? 0 : 64;
  }
  auto refuse = [](const std::string& text) {
    std::fprintf(stderr, "kelvane-run design: %s\n", text.c_str());
    return 1;
  };
  if (!frontCsv.empty() && front == 0) {
    std::fprintf(stderr, "kelvane-run design: --front-csv needs --front N\n");
    return 64;
  }
  if (!DistinctOutputs("kelvane-run design", {{"--csv", csv}, {"--front-csv", frontCsv}, {"--write-data", writeData}}))
    return 64;
  StudyDefinition study;
  if (!ApplyBaseCase(base, study.Base)) return 1;
  DesignProblem p;
  if (!residual.empty() && !ParseResidual(residual, p.Goal))
    return refuse("--max-residual " + residual + ": expected a number that is not negative, with %, g/m2 or ppm");
  if (maxTemp > -1e300) p.Goal.MaxFilmTemperature = maxTemp;
  if (margin > -1e300) p.Goal.MinBoilingMargin = margin;
  p.Goal.NoBoiling = noBoiling;
  p.Goal.NoSkinning = noSkinning;
  p.NonDecreasing = nonDecreasing;
  p.MaxEvaluations = maxEvaluations;
  p.Slowest = slowest / 100;
  p.GasTolerance = gasTolerance;
  p.HighestGas = highest;
  if (webWidth > 0) p.WebWidth = webWidth;
  if (!air.Check("kelvane-run design", webWidth > 0)) return 1;
  p.Goal.Air = air.Settings();
  p.Goal.WebWidth = p.WebWidth;
  p.Goal.MaxLflShare = air.MaxShare();
  if (!(lowest < highest)) return refuse("--lowest must be below --highest");
  try {
    const Bounds s = ParseBounds(speed, "--speed");
    p.SpeedLower = s.Lo;
    p.SpeedUpper = s.Hi;
    if (const std::string zone = UnsearchableZone(study.Base, span, lowest, highest); !zone.empty())
      throw std::invalid_argument(zone);
    p.Fields = ZoneTemperatureFields(study.Base, span, lowest, highest);
    for (const std::string& o : over) {
      const auto eq = o.find('=');
      if (eq == std::string::npos) throw std::invalid_argument("--over " + o + ": expected NAME=LOWER:UPPER");
      SearchedField f;
      f.Field = ParseVaried(o.substr(0, eq) + "=0");
      if (const std::string why = OverFieldClash(p.Fields, f.Field); !why.empty())
        throw std::invalid_argument("--over " + o + ": " + why);
      const Bounds b = ParseBounds(o.substr(eq + 1), o.substr(0, eq));
      f.Lower = b.Lo;
      f.Upper = b.Hi;
      p.Fields.push_back(f);
    }
  } catch (const std::invalid_argument& e) {
    return refuse(e.what());
  }

  if (const std::optional<BaseCaseRefusal> refused = RefusedSearchBase(study.Base, p.Fields)) {
    ConsoleHost(false).ShowExplainedMessage(refused->Message, refused->Detail);
    return 1;
  }
  if (runner.OptionsOnly) return 0;
  if (!OutputsWritable("kelvane-run design", {{"--csv", csv}, {"--front-csv", frontCsv}, {"--write-data", writeData}}))
    return 3;
  StudyOptions options;
  options.Robust = !base.Plain;
  options.Identical = base.Identical;
  options.LiteralTrials = base.Literal;
  StudyControl control;
  RunsProgress progress(!base.Quiet && isatty(STDERR_FILENO));
  std::size_t runs = 0;
  control.RowDone = [&](const RowResult&, std::size_t, std::size_t) { progress.Update(++runs, 0); };
  DesignResult r;
  DesignFrontResult fr;
  try {
    InterruptGuard guard(control.Cancel);
    if (front > 0) {
      fr = DesignFront(study, p, front, options, control);
      r = fr.Unconstrained;
      r.Evaluations = fr.Evaluations;  // the table holds every run the front made
      r.Cancelled = fr.Cancelled;
    } else {
      r = Design(study, p, options, control);
    }
  } catch (const std::invalid_argument& e) {
    progress.Clear();
    return refuse(e.what());
  }
  progress.Clear();
  // The account and the answer come whatever happens to the files: a file
  // that cannot be written costs the file, never the search.
  std::fputs(DesignReport(p, r).c_str(), stderr);
  if (front > 0 && r.Found && !r.Cancelled) {
    std::fputs("Front (speed against the energy: heat into the web and the make-up air's heat):\n", stderr);
    for (const FrontPoint& f : fr.Points)
      if (f.Found)
        std::fprintf(stderr, "  at most %s kJ/m2: WebSpeed=%s m/s, %s kJ/m2; %s\n", ReadableNumber(f.Cap).c_str(),
                     ReadableNumber(std::strtod(f.Row.Row.Values.back().c_str(), nullptr)).c_str(),
                     ReadableNumber(f.Heat).c_str(), f.Binding.c_str());
      else
        std::fprintf(stderr, "  at most %s kJ/m2: no run met the targets\n", ReadableNumber(f.Cap).c_str());
    std::fprintf(stderr, "Non-dominated runs (no other run both faster and on less energy): %zu\n",
                 fr.NonDominated.size());
    for (const RowResult& n : fr.NonDominated)
      std::fprintf(stderr, "  WebSpeed=%s m/s, %s kJ/m2\n",
                   ReadableNumber(std::strtod(n.Row.Values.back().c_str(), nullptr)).c_str(),
                   ReadableNumber(DesignEnergy(p, n)).c_str());
  }
  if (!r.Found && !r.Cancelled) {
    if (const std::string why = WhyNoRunCounted(r.Evaluations); !why.empty())
      std::fprintf(stderr, "kelvane-run design: %s\n", why.c_str());
  }
  bool written = true;
  if (!csv.empty()) {
    StudyDefinition table;
    table.Base = study.Base;
    for (const SearchedField& f : p.Fields) table.Varied.push_back(f.Field);
    table.Varied.push_back(ParseVaried("WebSpeed=0"));
    written = WriteEvaluations(csv, table, r.Evaluations) && written;
  }
  if (!frontCsv.empty() && r.Found && !r.Cancelled) {
    const StagedWriteResult w = WriteStagedFile(frontCsv, FrontCsv(p, fr));
    if (w.Status != WriteStatus::Ok) {
      std::fprintf(stderr, "kelvane-run: writing %s failed: %s\n", frontCsv.c_str(), w.Reason.c_str());
      written = false;
    }
  }
  if (r.Cancelled) return InterruptedStatus(InterruptSignal() ? InterruptSignal() : SIGINT);
  if (!r.Found) return written ? 4 : 3;
  if (!writeData.empty()) {
    FieldTextMap f = study.Base;
    for (std::size_t i = 0; i < p.Fields.size(); ++i) f.SetText(p.Fields[i].Field.Field->Component, r.Best[i]);
    f.SetText(FindField("WebSpeed")->Component, r.Speed);
    if (WriteDataFileChecked(writeData, f).Result != DataFileWriteResult::Status::Ok) {
      std::fprintf(stderr, "kelvane-run design: the data file %s could not be written\n", writeData.c_str());
      written = false;
    }
  }
  PrintSummary(r.BestRow);
  for (std::size_t i = 0; i < p.Fields.size(); ++i) std::printf("%s=%s\n", p.Fields[i].Field.Name.c_str(), r.Best[i].c_str());
  std::printf("WebSpeed=%s\n", r.Speed.c_str());
  return written ? 0 : 3;
}

}  // namespace kelvane
