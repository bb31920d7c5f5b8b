#pragma once
// The main window: five tabbed pages of input fields, built from the field
// table; OK runs a calculation, "Input Data File" loads a data file into the
// fields, "&Close" ends the program.  The window is also the run's host: it
// shows the run's messages, the busy cursor, the finish dialog and the
// general error report.

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "run/FieldTable.h"
#include "run/RunHost.h"
#include "run/StartRun.h"

namespace kelvane {
class Calculation;
}

namespace kelvane::ui {

class DirectoryChooser;
class TFinishForm;

// The field texts of the window's edit boxes, by component name.
class EditFieldTexts : public FieldTexts {
 public:
  void Add(const std::string& component, QLineEdit* edit) { edits_[component] = edit; }
  QLineEdit* Edit(std::string_view component) const;
  std::string Text(std::string_view component) const override;
  void SetText(std::string_view component, const std::string& text) override;

 private:
  std::map<std::string, QLineEdit*, std::less<>> edits_;
};

class TForm1 : public QWidget, public RunHost {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The edit box of a component ("Edit19"); null when there is none.
  QLineEdit* Edit(std::string_view component) const { return fields_.Edit(component); }
  FieldTexts& Fields() { return fields_; }
  QTabWidget* PageControl() const { return pages_; }
  DirectoryChooser* Directories() const { return chooser_; }
  TFinishForm* FinishForm() const { return finishForm_; }
  QPushButton* OkButton() const { return okButton_; }
  QPushButton* CloseButton() const { return closeButton_; }
  QPushButton* InputDataButton() const { return inputDataButton_; }

  // Asks for the data file to load, starting in `initialDirectory`; an empty
  // result means the choice was cancelled.  The default shows the
  // file-open dialog.
  std::function<QString(const QString& initialDirectory)> ChooseDataFile;

  // Number conversion of the run; the decimal separator follows the locale.
  RunOptions Options;
  const RunReport& LastRun() const { return lastRun_; }

  // Button handlers.
  void BitBtn1Click();
  void BitBtn2Click();
  void InputDataClick();

  // RunHost.
  void ShowMessage(const std::string& text) override;
  void SetBusyCursor(bool busy) override;
  void ShowFinishDialog() override;
  void ShowErrorReport(const std::string& text) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildPages();
  QGroupBox* Group(const std::string& key) const;
  QString ShowOpenFileDialog(const QString& initialDirectory);

  QTabWidget* pages_ = nullptr;
  std::map<std::string, QGroupBox*, std::less<>> groups_;
  EditFieldTexts fields_;
  DirectoryChooser* chooser_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* inputDataButton_ = nullptr;
  TFinishForm* finishForm_ = nullptr;
  std::unique_ptr<Calculation> calc_;
  RunReport lastRun_;
  bool busy_ = false;
  bool centred_ = false;
};

}  // namespace kelvane::ui
