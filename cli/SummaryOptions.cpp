#include "cli/SummaryOptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/OptionChecks.h"
#include "files/StagedFile.h"
#include "summary/SummarySettingsText.h"
#include "summary/SummaryText.h"

namespace kelvane {

void SummaryOptions::Add(CLI::App& app) {
  app.add_option("--summary-json", json_, "Write the run summary (zones, heat, warnings) as JSON")
      ->type_name("FILE");
  app.add_option("--summary-csv", csv_, "Write the zone table of the run summary as CSV")->type_name("FILE");
  webWidthOption_ = app.add_option("--web-width", webWidth_, "Web width in m: adds each zone's heat in kW")
                        ->type_name("M")
                        ->check(Above(0, "(metres)"));
  app.add_option("--residual-target", target_,
                 "Residual solvent wanted at the exit: a number with %, g/m2 or ppm (of the dry coating), "
                 "e.g. 1%, 0.5g/m2, 500ppm")
      ->type_name("VALUE");
  maxTempOption_ = app.add_option("--max-film-temperature", maxTemp_,
                                  "Film-temperature limit (degC), e.g. the base film's; every zone above it is "
                                  "reported")
                       ->type_name("DEGC");
  app.add_option("--boiling-point-share", boilingShare_,
                 "Above-boiling-point warning: the solvent's share of the coating, % by mass, above which a film "
                 "hotter than its boiling point is flagged (default 1)")
      ->type_name("PERCENT")
      ->check(CLI::Range(0.0, 100.0));
  app.add_option("--skin-surface-polymer", skinPolymer_,
                 "Skinning warning: the surface's polymer volume fraction that counts as a skin (default 0.85)")
      ->type_name("FRACTION")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--skin-solvent-remaining", skinRemaining_,
                 "Skinning warning: only while at least this % of the initial solvent is in the coating "
                 "(default 50)")
      ->type_name("PERCENT")
      ->check(CLI::Range(0.0, 100.0));
  app.add_flag("--warnings-status", warningsStatus_,
               "Exit with status 4 when a finished run has warnings (status 0 otherwise as usual)");
  air_.Add(app, true);
}

namespace {

// A number the option parser has read, as a text that reads back to it.
std::string Exact(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

}  // namespace

bool SummaryOptions::Check() {
  SummarySettingsTexts texts;
  texts.ResidualTarget = target_;
  texts.BoilingPointShare = Exact(boilingShare_);
  texts.SkinSurfacePolymer = Exact(skinPolymer_);
  texts.SkinSolventRemaining = Exact(skinRemaining_);
  if (webWidthOption_ && webWidthOption_->count()) texts.WebWidth = Exact(webWidth_);
  if (maxTempOption_ && maxTempOption_->count()) texts.MaxFilmTemperature = Exact(maxTemp_);
  const SummarySettingsRead read = ReadSummarySettings(texts);
  if (!read.Ok()) {
    // The option parser has checked the numbers' ranges; what is left to
    // refuse here is the target's form (or a number that is not finite).
    const char* option = "--residual-target";
    std::string text = target_;
    switch (read.Field) {
      case SummarySettingField::MaxFilmTemperature: option = "--max-film-temperature", text = texts.MaxFilmTemperature; break;
      case SummarySettingField::WebWidth: option = "--web-width", text = texts.WebWidth; break;
      case SummarySettingField::BoilingPointShare: option = "--boiling-point-share", text = texts.BoilingPointShare; break;
      case SummarySettingField::SkinSurfacePolymer: option = "--skin-surface-polymer", text = texts.SkinSurfacePolymer; break;
      case SummarySettingField::SkinSolventRemaining: option = "--skin-solvent-remaining", text = texts.SkinSolventRemaining; break;
      default: break;
    }
    std::fprintf(stderr, "kelvane-run: %s %s: %s\n", option, text.c_str(), read.Error.c_str());
    return false;
  }
  settings_ = read.Settings;
  if (!air_.Check("kelvane-run", settings_.WebWidth.has_value())) return false;
  settings_.Air = air_.Settings();
  return true;
}

void SummaryOptions::Attach(RunOptions& options) {
  options.ZoneMarched = [this](const Calculation& calc, int zone, int lastRow, bool complete) {
    recorder_.Zone(calc, zone, lastRow, complete);
  };
  if (settings_.Air.ZoneBalance) {
    RunOptions::ZoneBalanceFlows flows;
    for (int k = 1; k <= MaxZones; ++k) flows.ExhaustFlow[k] = settings_.Air.ExhaustFlow[k];
    flows.WebWidth = settings_.WebWidth.value_or(0);
    options.ZoneBalance = flows;
  }
}

namespace {

// The file is replaced whole: a failed write keeps an earlier file as it was.
bool WriteText(const std::string& path, const std::string& text) {
  const StagedWriteResult r = WriteStagedFile(path, text);
  if (r.Status == WriteStatus::OpenFailed)
    std::fprintf(stderr, "kelvane-run: cannot create %s: %s\n", path.c_str(), r.Reason.c_str());
  else if (r.Status == WriteStatus::WriteFailed)
    std::fprintf(stderr, "kelvane-run: writing %s failed: %s\n", path.c_str(), r.Reason.c_str());
  return r.Status == WriteStatus::Ok;
}

}  // namespace

int SummaryOptions::Finish(const RunReport& report, const Calculation& calc, bool quiet, int status) {
  // A refused input marched nothing: there is nothing to summarise.
  if (report.Outcome == RunOutcome::Refused || report.Outcome == RunOutcome::Declined ||
      report.Outcome == RunOutcome::GeneralError)
    return status;
  if (recorder_.Trace().Zones.empty()) return status;
  RunTrace& trace = recorder_.Trace();
  trace.End = RunEndOf(report, calc);
  const RunSummary summary = SummarizeRun(trace, settings_);
  for (int k = trace.ZoneCount + 1; k <= MaxZones; ++k)
    if (settings_.Air.ExhaustFlow[k])
      std::fprintf(stderr, "kelvane-run: warning: --exhaust %d=...: the dryer has %d zones; that flow is not used\n",
                   k, trace.ZoneCount);
  if (!quiet) {
    std::fputs(SummaryTable(summary).c_str(), stdout);
    if (settings_.WebWidth || air_.Given()) std::fputs(AirTable(summary).c_str(), stdout);
    std::fflush(stdout);
  }
  bool written = true;
  if (!json_.empty()) written = WriteText(json_, SummaryJson(summary)) && written;
  if (!csv_.empty()) written = WriteText(csv_, SummaryCsv(summary)) && written;
  if (status != 0) return status;
  if (!written) return 3;
  if (warningsStatus_ && !summary.Warnings.empty()) return 4;
  return status;
}

}  // namespace kelvane
