// The main window itself: its field texts, construction, first showing,
// keys and closing.  The pages, the tools, the run and its hand-over, the
// file actions and the run's host calls each have a file of their own.

#include "ui/Kelvane_Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>

#include <stdexcept>

#include "ui/Controls.h"
#include "ui/F_Form.h"
#include "ui/ResultsWindow.h"
#include "ui/RunWorker.h"
#include "ui/SummarySettingsPanel.h"

namespace kelvane::ui {

namespace {

// The decimal mark of field texts and result files.  The window's own
// default texts, the data files users exchange and the files kelvane-run
// writes all use a full stop; taking a comma from the desktop's locale would
// make the window refuse its own defaults ("Input value is not correct!")
// and write files that other installations cannot read back.
char DecimalSeparator() { return '.'; }

}  // namespace

// ---------------------------------------------------------------------------
// Field texts over the edit boxes.

QLineEdit* EditFieldTexts::Edit(std::string_view component) const {
  auto it = edits_.find(component);
  return it == edits_.end() ? nullptr : it->second;
}

std::string EditFieldTexts::Text(std::string_view component) const {
  QLineEdit* edit = Edit(component);
  if (!edit) throw std::out_of_range("unknown field " + std::string(component));
  return edit->text().toStdString();
}

void EditFieldTexts::SetText(std::string_view component, const std::string& text) {
  QLineEdit* edit = Edit(component);
  if (!edit) throw std::out_of_range("unknown field " + std::string(component));
  edit->setText(QString::fromStdString(text));
  edit->setCursorPosition(0);  // show a long value from its start
}

// ---------------------------------------------------------------------------

TForm1::TForm1(QWidget* parent) : QWidget(parent), calc_(std::make_unique<Calculation>()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kelvane"));
  // Fixed dialog-style border: title and close box, no minimise, maximise or
  // resizing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(727, 545);
  setFont(WindowFont(12));
  setWindowIcon(ResourceIcon(QStringLiteral("kelvane.svg")));
  Options.DecimalSeparator = DecimalSeparator();

  BuildPages();
  finishForm_ = new TFinishForm(this);
  results_ = new ResultsWindow(this);
  connect(results_->Targets(), &SummarySettingsPanel::Changed, this, [this] {
    if (!running_) UpdateOutcome();
  });
  worker_ = new RunWorker(*this, this);
  connect(worker_, &RunWorker::Finished, this, [this] {
    if (runLoop_) runLoop_->quit();
  });
  progressTimer_ = new QTimer(this);
  progressTimer_->setInterval(100);
  connect(progressTimer_, &QTimer::timeout, this, &TForm1::UpdateProgress);
}

TForm1::~TForm1() {
  // A run still in progress is stopped before the calculation it works on
  // goes away.
  worker_->Abandon();
  if (runLoop_) runLoop_->quit();
  if (busy_) QApplication::restoreOverrideCursor();
}

QGroupBox* TForm1::Group(const std::string& key) const {
  auto it = groups_.find(key);
  if (it == groups_.end()) throw std::logic_error("no group " + key);
  return it->second;
}

void TForm1::showEvent(QShowEvent* event) {
  if (!centred_) {
    centred_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen())
      move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    if (QLineEdit* first = Edit("Edit1")) first->setFocus();
  }
  QWidget::showEvent(event);
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Escape (and Enter outside the first page's edits) does nothing.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::Note(const QString& text) {
  QMessageBox box(QMessageBox::Information, QStringLiteral("Kelvane"), text, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("Note"));
  box.exec();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (!running_) {
    results_->close();
    QWidget::closeEvent(event);
    return;
  }
  event->ignore();
  if (closeAfterRun_) return;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  QStringLiteral("A calculation is in progress. Stop it and close the window?"),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setObjectName(QStringLiteral("StopQuestion"));
  box.setDefaultButton(QMessageBox::No);
  if (box.exec() == QMessageBox::Yes && running_) {
    closeAfterRun_ = true;
    worker_->RequestCancel();
  }
}

void TForm1::BitBtn2Click() { close(); }

}  // namespace kelvane::ui
