// The run's host in the window: its messages, busy cursor, questions,
// finish dialog and error report.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/F_Form.h"
#include "ui/InputGuidance.h"
#include "ui/Kelvane_Main.h"
#include "ui/ResultsWindow.h"

namespace kelvane::ui {

// ---------------------------------------------------------------------------
// The run's host.

namespace {

// While a box of the run waits for the engineer, nothing is calculated: the
// Results window says that a message waits, not that a calculation runs;
// once the box is answered and the march goes on, it says so again.
class BoxWaits {
 public:
  BoxWaits(ResultsWindow* results, bool marching) : results_(marching ? results : nullptr) {
    if (results_) results_->MarkEarlier(QStringLiteral("a message of the new calculation waits in the main window."));
  }
  ~BoxWaits() {
    if (results_) results_->MarkEarlier(QStringLiteral("a new calculation is running…"));
  }

 private:
  ResultsWindow* results_;
};

}  // namespace

// A message after the march began ends the run: it carries the run's notes,
// so that a failed run ends in one box.
QString TForm1::EndingNotes() { return running_ && marchStarted_ ? TakeRunNotes() : QString(); }

void TForm1::ShowMessage(const std::string& text) {
  // The message needs a pointer the user can aim with, even mid-run.
  const BoxWaits waits(results_, running_ && marchStarted_);
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("MessageBox"));
  if (const QString notes = EndingNotes(); !notes.isEmpty()) box.setInformativeText(notes);
  box.exec();
  if (busy_) QApplication::restoreOverrideCursor();
}

// The march runs behind the progress dialog: busy, but the Cancel button
// takes clicks.  The first busy cursor of a run is the march's start: the
// inputs were accepted, so the marks of earlier messages go, the results
// shown become an earlier calculation's and the elapsed time starts.
void TForm1::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    if (running_ && !marchStarted_) {
      marchStarted_ = true;
      elapsed_.start();
      ClearFieldMarks(fields_);
      results_->MarkEarlier(QStringLiteral("a new calculation is running…"));
    }
    if (running_) ShowProgress();
  } else {
    HideProgress();
    QApplication::restoreOverrideCursor();
  }
}

// The message with its explanation; the field it is about is shown and
// marked first, and the box opens beside it.
void TForm1::ShowExplainedMessage(const std::string& text, const MessageDetail& detail) {
  const BoxWaits waits(results_, running_ && marchStarted_);
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool offer = detail.SuggestRobust && !runRobust_ && running_;
  if (ExplainedMessageBox(this, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text, detail, offer,
                          BesideWhat(detail), EndingNotes()))
    rerunRobust_ = true;
  if (busy_) QApplication::restoreOverrideCursor();
}

void TForm1::ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) {
  SetBusyCursor(false);
  const BoxWaits waits(results_, running_ && marchStarted_);
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  ExplainedMessageBox(this, QMessageBox::Critical, QStringLiteral("ErrorReport"), text, detail, false,
                      BesideWhat(detail), EndingNotes());
}

// What a box stands beside: the field it names; else, for a march that
// stopped in a zone, that zone's inputs, shown on their page, so that the
// gas temperature and coefficients that caused it stay in sight.
QWidget* TForm1::BesideWhat(const MessageDetail& detail) {
  if (QLineEdit* field = fields_.Edit(detail.Field)) return field;
  if (!running_ || !marchStarted_ || calc_->CurrentZone < 1) return nullptr;
  const auto it = groups_.find("Zone" + std::to_string(calc_->CurrentZone));
  if (it == groups_.end()) return nullptr;
  for (int page = 0; page < pages_->count(); ++page)
    if (pages_->widget(page)->isAncestorOf(it->second)) pages_->setCurrentIndex(page);
  return it->second;
}

// Asked once per set of inputs: after "Run anyway", the same inputs run
// without the question (the rerun with the robust surface solve among them).
bool TForm1::RunDespite(const std::vector<PlausibilityWarning>& warnings) {
  if (!acceptedTexts_.empty() && acceptedTexts_ == runTexts_) return true;
  results_->MarkEarlier(QStringLiteral("a question waits before the new calculation starts."));
  QLineEdit* first = fields_.Edit(warnings.front().Field);
  if (const FieldSpec* f = FindField(warnings.front().Field)) pages_->setCurrentIndex(FieldPage(*f));
  switch (AskAboutWarnings(this, warnings, first)) {
    case WarningChoice::RunAnyway: acceptedTexts_ = runTexts_; return true;
    case WarningChoice::GoToField: ShowField(pages_, fields_, warnings.front().Field); return false;
    case WarningChoice::Cancel: return false;
  }
  return false;
}

bool TForm1::ReplaceResult(const std::string& path) {
  const QString absolute = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).absoluteFilePath();
  if (!AskBeforeReplacing || absolute == lastWritten_) return true;
  results_->MarkEarlier(QStringLiteral("a question waits before the new calculation starts."));
  bool dontAskAgain = false;
  const bool replace = AskReplaceResult(this, QDir::toNativeSeparators(absolute), dontAskAgain);
  if (dontAskAgain) AskBeforeReplacing = false;
  return replace;
}

bool TForm1::KeepPartialResult() {
  const BoxWaits waits(results_, running_ && marchStarted_);
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  // The question says that the run was cancelled: no note repeats it.
  cancelTold_ = true;
  const bool keep = AskKeepPartial(this, QDir::toNativeSeparators(runResultPath_));
  if (busy_) QApplication::restoreOverrideCursor();
  return keep;
}

// The finish dialog is the attempt's one box: what else the run did is
// told in it.
void TForm1::ShowFinishDialog() {
  SetBusyCursor(false);
  const BoxWaits waits(results_, running_ && marchStarted_);
  finishForm_->SetNote(running_ ? TakeRunNotes() : QString());
  finishForm_->exec();
  finishForm_->SetNote(QString());
}

void TForm1::ShowErrorReport(const std::string& text) {
  // An error that ends the run must not leave the hourglass behind.
  SetBusyCursor(false);
  const BoxWaits waits(results_, running_ && marchStarted_);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("ErrorReport"));
  if (const QString notes = EndingNotes(); !notes.isEmpty()) box.setInformativeText(notes);
  box.exec();
}

}  // namespace kelvane::ui
