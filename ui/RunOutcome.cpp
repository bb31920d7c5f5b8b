// After a run: the notes of the robust surface solve and of a cancel, the
// line of outcome under OK and Close, and the result handed to the Results
// window placed beside the main window.

#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <map>

#include "files/ResultFileReader.h"
#include "summary/OutcomeLead.h"
#include "summary/SlowSteps.h"
#include "summary/SummaryText.h"
#include "ui/DirectoryChooser.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "ui/SummarySettingsPanel.h"
#include "ui/WindowPlacement.h"

namespace kelvane::ui {

// After the finish dialog (or the run's last message): the notes of the
// robust surface solve and of a cancel, the line of outcome, and the results
// window when the file holds results.
void TForm1::AfterRun(const std::string& resultPath) {
  // One note for all the run did beyond its message, unless the message
  // that ended it told it already.
  QStringList notes;
  if (const QString told = TakeRunNotes(); !told.isEmpty()) notes << told;
  if (lastRun_.Outcome == RunOutcome::Cancelled && !cancelTold_) notes << QStringLiteral("The calculation was cancelled.");
  if (!notes.isEmpty()) Note(notes.join(QStringLiteral("\n\n")));
  // The zones the run marched, for its summary and line of outcome.
  RunTrace& trace = recorder_.Trace();
  trace.End = RunEndOf(lastRun_, *calc_);
  lastTrace_.reset();
  if (!trace.Zones.empty() && trace.End.Kind != RunEndKind::Refused) lastTrace_ = trace;
  UpdateOutcome();

  const ResultFileRead read = lastRun_.ZonesWritten < 1 || lastRun_.Outcome == RunOutcome::Refused
                                  ? ResultFileRead{}
                                  : ReadResultFile(resultPath);
  if (!read.Ok || read.Data.Zones.empty()) {
    results_->MarkEarlier(lastRun_.Outcome == RunOutcome::Declined
                              ? QStringLiteral("the new calculation was not started.")
                          : lastRun_.Outcome == RunOutcome::Refused || lastRun_.Outcome == RunOutcome::GeneralError
                              ? QStringLiteral("the last calculation was refused and wrote nothing.")
                              : QStringLiteral("the last calculation wrote no zone results."));
    return;
  }
  results_->DefaultFolder = chooser_->Directory();
  results_->Plot(read.Data, QFile::decodeName(QByteArray::fromStdString(resultPath)), lastRescued_,
                 lastTrace_ ? &*lastTrace_ : nullptr);
  ShowResultsBeside();
}

QString TForm1::RunNotes() const {
  QStringList notes;
  if (calc_->Stats.Marches > 1) notes << QString::fromUtf8(MarchedAgainNote);
  if (const std::string slow = SlowStepsText(SlowStepsOf(calc_->Stats)); !slow.empty())
    notes << QString::fromStdString(slow);
  if (!finishedTakeover_.empty()) {
    notes << QString::fromStdString(finishedTakeover_);
  } else if (!calc_->Rescued.empty()) {
    // A run that did not finish: the steps taken over so far, zone by zone.
    std::map<int, int> perZone;
    for (const RescuedStep& step : calc_->Rescued) ++perZone[step.Zone];
    QStringList zones;
    for (const auto& [zone, count] : perZone) zones << QStringLiteral("zone %1: %2").arg(zone).arg(count);
    const int total = static_cast<int>(calc_->Rescued.size());
    notes << QStringLiteral("The robust surface solve took over %1 step%2 that the secant search could not finish "
                            "(%3).")
                 .arg(total)
                 .arg(total == 1 ? "" : "s")
                 .arg(zones.join(QStringLiteral(", ")));
  }
  return notes.join(QStringLiteral("\n\n"));
}

// The notes, unless told already; told from now on.
QString TForm1::TakeRunNotes() {
  if (notesTold_) return QString();
  notesTold_ = true;
  return RunNotes();
}

// The last run's line of outcome with the targets in force, the worst of
// it first.
void TForm1::UpdateOutcome() {
  if (!lastTrace_) return ShowOutcome(QString());
  const RunSummary summary = SummarizeRun(*lastTrace_, results_->Settings());
  const std::string lead = OutcomeLead(summary);
  std::string line = OutcomeLine(summary);
  if (!lead.empty()) {
    // A run that stopped says so first; the worst of what it met follows.
    if (summary.Run.End.Kind == RunEndKind::Finished) line = lead + " \u00b7 " + line;
    else line.insert(std::min(line.find(" \u00b7 "), line.size()), " \u00b7 " + lead);
  }
  ShowOutcome(QString::fromStdString(line));
}

// "Dry: 2.6 % of solvent left at the exit · 1 warning — see Results", the
// last words a link to the Results window's summary.
void TForm1::ShowOutcome(const QString& line) {
  // A line wider than the page is shortened before its last part (the
  // warnings and the link), never at the worst that leads it; the tooltip
  // holds it whole.
  const QFontMetrics metrics(outcomeLabel_->font());
  QString shown = line;
  if (metrics.horizontalAdvance(line) > outcomeLabel_->width()) {
    const qsizetype last = line.lastIndexOf(QStringLiteral(" \u00b7 "));
    const QString tail = last < 0 ? QString() : line.mid(last);
    shown = metrics.elidedText(line.left(last < 0 ? line.size() : last), Qt::ElideRight,
                               outcomeLabel_->width() - metrics.horizontalAdvance(tail) - 4) +
            tail;
  }
  QString html = shown.toHtmlEscaped();
  html.replace(QStringLiteral("see Results"), QStringLiteral("<a href=\"results\">see Results</a>"));
  outcomeLabel_->setText(html);
  outcomeLabel_->setToolTip(line);
}

void TForm1::ShowResultsBeside() {
  bool behind = false;
  if (!results_->isVisible()) {
    QRect available(QPoint(0, 0), QSize(1600, 1200));
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
      available = screen->availableGeometry();
    const Placement place = PlaceBeside(frameGeometry(), results_->size(), available);
    if (place.MoveMain) move(place.MainTopLeft);
    results_->resize(place.Results.size());
    results_->move(place.Results.topLeft());
    behind = place.Behind;
  }
  results_->show();
  if (behind) raise();
  else results_->raise();
}

}  // namespace kelvane::ui
