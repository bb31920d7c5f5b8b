// One calculation from the window: OK starts it on the worker thread, the
// progress dialog shows its zone, share and time and takes the cancel, and
// the window waits in an event loop until the worker has ended.

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QProgressDialog>

#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"
#include "run/StopCause.h"
#include "ui/RunWorker.h"

namespace kelvane::ui {

void TForm1::BitBtn1Click() {
  // A second OK while a run is in progress does nothing.
  if (running_ || worker_->Running()) return;
  running_ = true;
  closeAfterRun_ = false;
  lastRescued_.clear();

  // The worker reads a copy of the field texts, never the edit boxes.
  FieldTextMap texts;
  for (const FieldSpec& f : FieldTable()) texts.SetText(f.Component, fields_.Text(f.Component));
  // Where the result file goes: a relative name resolves against the
  // current directory, which cannot change while the run holds the window.
  std::string resultPath = fields_.Text("Edit250");
  if (resultPath.empty() || resultPath.front() != '/')
    resultPath = QFile::encodeName(QDir::currentPath()).toStdString() + "/" + resultPath;
  runResultPath_ = QFile::decodeName(QByteArray::fromStdString(resultPath));
  rerunRobust_ = false;

  runTexts_.clear();
  for (const FieldSpec& f : FieldTable()) runTexts_.push_back(texts.Text(f.Component));
  marchStarted_ = false;
  notesTold_ = false;
  cancelTold_ = false;

  QPointer<TForm1> alive(this);
  QEventLoop loop;
  runLoop_ = &loop;
  // The run's zones are recorded for its summary; the results shown so far
  // are now those of an earlier calculation.
  recorder_ = {};
  // "Run again with the robust surface solve" is for this run alone: the
  // Tools page's setting stays as the engineer left it.
  RunOptions options = Options;
  options.Reader = Audience::Window;  // a stop's cause names the window's box
  if (robustOnce_) options.Robust = true;
  robustOnce_ = false;
  runRobust_ = options.Robust;
  // Zones whose gas carries what the coating gave off, from the Air page.
  if (const SummarySettings s = results_->Settings(); s.Air.ZoneBalance && s.Air.AnyFlow() && s.WebWidth) {
    RunOptions::ZoneBalanceFlows flows;
    for (int k = 1; k <= MaxZones; ++k) flows.ExhaustFlow[k] = s.Air.ExhaustFlow[k];
    flows.WebWidth = *s.WebWidth;
    options.ZoneBalance = flows;
  }
  // The finish dialog tells the robust solve's part as kelvane-run does:
  // where the plain search failed, and only the steps taken over while
  // solvent still left the coating as its count.
  finishedTakeover_.clear();
  options.Finishing = [this](const RunReport& finished) {
    finishedTakeover_ = TakeoverText(finished.Takeover, true);
  };
  options.ZoneMarched = [this](const Calculation& c, int zone, int lastRow, bool complete) {
    recorder_.Zone(c, zone, lastRow, complete);
  };
  outcomeLabel_->clear();
  if (!worker_->Start(texts, *calc_, options)) {
    runLoop_ = nullptr;
    running_ = false;
    return;
  }
  loop.exec();
  if (!alive) return;  // the window went away during the run
  runLoop_ = nullptr;
  lastRun_ = worker_->Report();
  lastRescued_ = calc_->Rescued;
  HideProgress();
  SetBusyCursor(false);
  running_ = false;
  const RunOutcome outcome = lastRun_.Outcome;
  if (outcome != RunOutcome::Refused && outcome != RunOutcome::Declined && outcome != RunOutcome::GeneralError &&
      QFile::exists(runResultPath_))
    lastWritten_ = runResultPath_;
  AfterRun(resultPath);
  if (closeAfterRun_) {
    QTimer::singleShot(0, this, &QWidget::close);
  } else if (rerunRobust_) {
    rerunRobust_ = false;
    robustOnce_ = true;
    QTimer::singleShot(0, this, &TForm1::BitBtn1Click);
  }
}

// ---------------------------------------------------------------------------
// Progress.

void TForm1::ShowProgress() {
  if (!progress_) {
    progress_ = new QProgressDialog(this);
    progress_->setObjectName(QStringLiteral("ProgressDialog"));
    progress_->setWindowTitle(QStringLiteral("Kelvane"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    progress_->setRange(0, 100);
    progress_->setMinimumWidth(340);
    // Cancel, the dialog's close box and Escape all stop the run.
    auto stop = [this] {
      worker_->RequestCancel();
      if (progress_) progress_->setLabelText(QStringLiteral("Stopping after the current step…"));
    };
    connect(progress_, &QProgressDialog::canceled, this, stop);
    connect(progress_, &QDialog::rejected, this, stop);
  }
  progress_->setValue(0);
  UpdateProgress();
  progress_->show();
  progressTimer_->start();
}

void TForm1::HideProgress() {
  progressTimer_->stop();
  if (progress_) {
    progress_->hide();
    progress_->deleteLater();
    progress_ = nullptr;
  }
}

void TForm1::UpdateProgress() {
  if (!progress_ || progress_->wasCanceled()) return;
  const RunProgress p = worker_->Progress();
  const int percent = p.StepsTotal > 0 ? static_cast<int>(p.StepsDone * 100 / p.StepsTotal) : 0;
  const qint64 seconds = elapsed_.elapsed() / 1000;
  const QString time = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
  const QString zone = p.Zone > 0 ? QStringLiteral("Zone %1 of %2").arg(p.Zone).arg(p.ZoneCount)
                                  : QStringLiteral("Starting the calculation");
  progress_->setLabelText(QStringLiteral("%1 — %2 % of the run\nElapsed time %3").arg(zone).arg(percent).arg(time));
  progress_->setValue(percent);
}

}  // namespace kelvane::ui
