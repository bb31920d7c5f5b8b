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

// A message after the march began ends the run: it carries the run's notes,
// so that a failed run ends in one box.
QString TForm1::EndingNotes() { return running_ && marchStarted_ ? TakeRunNotes() : QString(); }

void TForm1::ShowMessage(const std::string& text) {
  // The message needs a pointer the user can aim with, even mid-run.
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
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool offer = detail.SuggestRobust && !Options.Robust && running_;
  if (ExplainedMessageBox(this, QMessageBox::NoIcon, QStringLiteral("MessageBox"), text, detail, offer,
                          fields_.Edit(detail.Field), EndingNotes()))
    rerunRobust_ = true;
  if (busy_) QApplication::restoreOverrideCursor();
}

void TForm1::ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) {
  SetBusyCursor(false);
  if (!detail.Field.empty()) ShowField(pages_, fields_, detail.Field);
  ExplainedMessageBox(this, QMessageBox::Critical, QStringLiteral("ErrorReport"), text, detail, false,
                      fields_.Edit(detail.Field), EndingNotes());
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
  if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  // The question says that the run was cancelled: no note repeats it.
  cancelTold_ = true;
  const bool keep = AskKeepPartial(this, QDir::toNativeSeparators(runResultPath_));
  if (busy_) QApplication::restoreOverrideCursor();
  return keep;
}

void TForm1::ShowFinishDialog() {
  SetBusyCursor(false);
  finishForm_->exec();
}

void TForm1::ShowErrorReport(const std::string& text) {
  // An error that ends the run must not leave the hourglass behind.
  SetBusyCursor(false);
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), QString::fromStdString(text), QMessageBox::Ok,
                  this);
  box.setObjectName(QStringLiteral("ErrorReport"));
  if (const QString notes = EndingNotes(); !notes.isEmpty()) box.setInformativeText(notes);
  box.exec();
}

}  // namespace kelvane::ui
