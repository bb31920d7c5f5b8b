#include "cli/ConsoleHost.h"

#include <cstdio>

#include "cli/Interrupts.h"
#include "run/FieldHelp.h"
#include "run/MessageExplanations.h"

namespace kelvane {

ConsoleHost::ConsoleHost(bool showProgress) : showProgress_(showProgress) {}

void ConsoleHost::ClearBar() {
  if (barShown_) {
    std::fputs("\r\033[K", stderr);
    barShown_ = false;
  }
}

void ConsoleHost::ShowMessage(const std::string& text) {
  ClearBar();
  std::fprintf(stderr, "%s\n", text.c_str());
  ++messages_;
}

void ConsoleHost::Progress(int zone, int zoneCount, int step, int stepCount) {
  if (!showProgress_ || stepCount <= 0 || zoneCount <= 0) return;
  const double zoneShare = static_cast<double>(step) / stepCount;
  const int percent = static_cast<int>(100.0 * ((zone - 1) + zoneShare) / zoneCount);
  constexpr int width = 30;
  const int filled = static_cast<int>(zoneShare * width);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(width, '.');
  std::fprintf(stderr, "\rZone %d of %d [%s] %3d%%", zone, zoneCount, bar.c_str(), percent);
  std::fflush(stderr);
  barShown_ = true;
}

void ConsoleHost::ShowFinishDialog() {
  ClearBar();
  if (BeforeFinish) BeforeFinish();
  ShowMessage("Calculation is successfully finished !");
}

void ConsoleHost::ShowErrorReport(const std::string& text) { ShowMessage(text); }

bool ConsoleHost::CancelRequested() { return InterruptSignal() != 0; }

void ConsoleHost::ShowExplainedMessage(const std::string& text, const MessageDetail& detail) {
  ShowMessage(text);
  const std::string line = RunnerExplanation(detail);
  if (!line.empty()) std::fprintf(stderr, "kelvane-run: %s\n", line.c_str());
}

bool ConsoleHost::RunDespite(const std::vector<PlausibilityWarning>& warnings) {
  ClearBar();
  for (const PlausibilityWarning& w : warnings) {
    const FieldSpec* f = FindField(w.Field);
    std::fprintf(stderr, "kelvane-run: warning: field %s: %s\n", f ? FieldForRunner(*f).c_str() : w.Field.c_str(),
                 w.Text.c_str());
  }
  if (Strict)
    std::fprintf(stderr, "kelvane-run: --strict: the input%s above look%s wrong; nothing computed\n",
                 warnings.size() == 1 ? "" : "s", warnings.size() == 1 ? "s" : "");
  return !Strict;
}

void ConsoleHost::ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) {
  ShowExplainedMessage(text, detail);
}

}  // namespace kelvane
