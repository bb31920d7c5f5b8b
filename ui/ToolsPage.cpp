// The sixth page, "Tools": data and result files, the robust surface solve,
// reset to defaults, and the study dialogs.

#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "fields/FieldTable.h"
#include "ui/Controls.h"
#include "ui/DesignDialog.h"
#include "ui/FastestSpeedDialog.h"
#include "ui/InputGuidance.h"
#include "ui/Kelvane_Main.h"
#include "ui/StudyDialog.h"

namespace kelvane::ui {

void TForm1::BuildToolsPage() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("TabSheet6"));
  page->setFont(WindowFont(13));
  SetTextColour(page, Black);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* panel = new QFrame(page);
  panel->setObjectName(QStringLiteral("Panel7"));
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  layout->addWidget(panel);
  pages_->addTab(page, QStringLiteral("Tools"));

  auto explain = [](QWidget* parent, const QString& text, const QRect& geometry) {
    QLabel* label = NewText(parent, text, geometry);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
  };
  auto button = [](QWidget* parent, const QString& text, const char* name, const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setFont(WindowFont(13));
    b->setFocusPolicy(Qt::NoFocus);
    SetTextColour(b, Maroon);
    return b;
  };

  QGroupBox* data = NewGroup(panel, QStringLiteral("  Data File  "), Red, QRect(10, 8, 699, 78));
  saveDataButton_ = button(data, QStringLiteral("Save Data File…"), "SaveDataFile", QRect(16, 30, 160, 31));
  explain(data,
          QStringLiteral("Writes the texts of the input fields as a data file of 141 lines, which "
                         "\"Input Data File\" on the first page reads back."),
          QRect(196, 24, 490, 44));
  connect(saveDataButton_, &QPushButton::clicked, this, &TForm1::SaveDataClick);

  QGroupBox* result = NewGroup(panel, QStringLiteral("  Result File  "), Red, QRect(10, 94, 699, 78));
  openResultButton_ = button(result, QStringLiteral("Open Result File…"), "OpenResultFile", QRect(16, 30, 160, 31));
  explain(result,
          QStringLiteral("Plots the tables of a result file written earlier in the Results window. "
                         "The Results window also opens by itself after each calculation."),
          QRect(196, 24, 490, 44));
  connect(openResultButton_, &QPushButton::clicked, this, &TForm1::OpenResultClick);

  QGroupBox* options = NewGroup(panel, QStringLiteral("  Calculation  "), Red, QRect(10, 180, 699, 110));
  robustBox_ = new QCheckBox(QStringLiteral("Robust surface solve"), options);
  robustBox_->setObjectName(QStringLiteral("RobustSurfaceSolve"));
  robustBox_->setGeometry(18, 30, 170, 22);
  robustBox_->setFont(WindowFont(13));
  robustBox_->setFocusPolicy(Qt::NoFocus);
  SetTextColour(robustBox_, Blue);
  robustBox_->setChecked(Options.Robust);
  connect(robustBox_, &QCheckBox::toggled, this, [this](bool on) { Options.Robust = on; });
  explain(options,
          QStringLiteral("Where the search for the surface composition of a step does not converge, a damped "
                         "Newton iteration takes the step over instead of ending the calculation. Steps the "
                         "search finishes are computed exactly as without it. Off: every step is solved by "
                         "the search alone."),
          QRect(196, 26, 490, 70));

  QGroupBox* inputs = NewGroup(panel, QStringLiteral("  Inputs  "), Red, QRect(10, 298, 699, 78));
  resetButton_ = button(inputs, QStringLiteral("Reset to defaults"), "ResetToDefaults", QRect(16, 30, 160, 31));
  undoResetButton_ = button(inputs, QStringLiteral("Undo reset"), "UndoReset", QRect(16, 30, 160, 31));
  resetButton_->setGeometry(16, 30, 150, 31);
  undoResetButton_->setGeometry(174, 30, 110, 31);
  undoResetButton_->setEnabled(false);
  explain(inputs,
          QStringLiteral("Puts the default text back into every input field of the five pages, the save file "
                         "name included, after asking. \"Undo reset\" brings the texts of before back while "
                         "the window stays open."),
          QRect(298, 20, 390, 56));
  connect(resetButton_, &QPushButton::clicked, this, &TForm1::AskResetToDefaults);
  connect(undoResetButton_, &QPushButton::clicked, this, &TForm1::UndoReset);

  QGroupBox* studies = NewGroup(panel, QStringLiteral("  Studies  "), Red, QRect(10, 384, 699, 126));
  studyButton_ = button(studies, QStringLiteral("Study…"), "Study", QRect(16, 28, 110, 31));
  fastestButton_ =
      button(studies, QStringLiteral("Fastest line speed…"), "FastestLineSpeed", QRect(136, 28, 180, 31));
  designButton_ =
      button(studies, QStringLiteral("Design the dryer…"), "DesignTheDryer", QRect(326, 28, 170, 31));
  explain(studies,
          QStringLiteral("Study: the current inputs with one or two fields varied, as a table and a chart. "
                         "Fastest line speed: the largest web speed that meets your targets. Design the dryer: "
                         "the fastest web speed with each zone's gas temperature chosen for it, and its energy."),
          QRect(16, 66, 670, 54));
  // The dialogs that run many calculations start with the robust surface
  // solve on, each in its own box; OK's single run keeps this page's box.
  connect(studyButton_, &QPushButton::clicked, this, [this] {
    auto* dialog = new StudyDialog(fields_, true, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
  connect(fastestButton_, &QPushButton::clicked, this, [this] {
    auto* dialog = new FastestSpeedDialog(fields_, true, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
  connect(designButton_, &QPushButton::clicked, this, [this] {
    auto* dialog = new DesignDialog(fields_, true, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
  });
}

void TForm1::AskResetToDefaults() {
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  QStringLiteral("Put the default text back into every input field?"), QMessageBox::Yes | QMessageBox::Cancel,
                  this);
  box.setObjectName(QStringLiteral("ResetQuestion"));
  box.setInformativeText(QStringLiteral("\"Undo reset\" on this page brings the present texts back until the window "
                                        "is closed."));
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Reset"));
  box.setDefaultButton(QMessageBox::Cancel);
  if (box.exec() == QMessageBox::Yes) ResetToDefaults();
}

// The defaults, the texts of before kept for Undo; the marks and the line of
// outcome belonged to the texts that are gone.
void TForm1::ResetToDefaults() {
  std::vector<std::string> before;
  for (const FieldSpec& f : FieldTable()) before.push_back(fields_.Text(f.Component));
  undoTexts_.push_back(std::move(before));
  for (const FieldSpec& f : FieldTable()) fields_.SetText(f.Component, f.DefaultText);
  ClearFieldMarks(fields_);
  lastTrace_.reset();
  ShowOutcome(QString());
  undoResetButton_->setEnabled(true);
}

void TForm1::UndoReset() {
  if (undoTexts_.empty()) return;
  const std::vector<std::string> texts = std::move(undoTexts_.back());
  undoTexts_.pop_back();
  std::size_t i = 0;
  for (const FieldSpec& f : FieldTable()) fields_.SetText(f.Component, texts[i++]);
  undoResetButton_->setEnabled(!undoTexts_.empty());
}

}  // namespace kelvane::ui
