#pragma once
// The main window: five tabbed pages of input fields, built from the field
// table, and a sixth page of tools; OK runs a calculation, "Input Data File"
// loads a data file into the fields, "&Close" ends the program.  The window
// is also the run's host: it shows the run's messages, the busy cursor, the
// finish dialog and the general error report.  The calculation itself runs
// on a worker thread behind a progress dialog with Cancel; the results
// window opens after a run that wrote results.

#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QString>
#include <QTabWidget>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/MiscCalc.h"
#include "fields/FieldTable.h"
#include "run/RunHost.h"
#include "run/StartRun.h"
#include "summary/RunTrace.h"

namespace kelvane::ui {

class DirectoryChooser;
class HelpMenu;
class ResultsWindow;
class RunWorker;
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
  // The "Tools" page.
  QPushButton* SaveDataButton() const { return saveDataButton_; }
  QPushButton* OpenResultButton() const { return openResultButton_; }
  QCheckBox* RobustBox() const { return robustBox_; }
  // The first page's line naming the surface solve OK uses.
  QLabel* ModeLabel() const { return modeLabel_; }
  ResultsWindow* Results() const { return results_; }
  // The Help menu in the corner of the page tabs (the user guide, F1).
  HelpMenu* Help() const { return help_; }
  // The line of outcome under OK and Close after a run.
  QLabel* OutcomeLabel() const { return outcomeLabel_; }
  // The progress dialog of the run in progress (null when none is shown).
  QProgressDialog* ProgressDialog() const { return progress_; }
  bool RunInProgress() const { return running_; }
  // The worker that runs the calculations of this window.
  RunWorker* Worker() const { return worker_; }

  // Asks for the data file to load, starting in `initialDirectory`; an empty
  // result means the choice was cancelled.  The default shows the
  // file-open dialog.
  std::function<QString(const QString& initialDirectory)> ChooseDataFile;
  // Asks where "Save Data File..." writes, and which result file "Open
  // Result File..." plots; empty means cancelled.  The defaults show the
  // file dialogs.
  std::function<QString(const QString& initialDirectory)> ChooseSaveDataFile;
  std::function<QString(const QString& initialDirectory)> ChooseResultFile;

  // Number conversion of the run; the decimal separator follows the locale.
  RunOptions Options;
  // Ask before a run replaces a result file that this window's last run did
  // not write ("don't ask again" clears it); kept between sessions.
  bool AskBeforeReplacing = true;
  // The data file loaded last; the data-file chooser starts on it.
  QString LastDataFile;
  QPushButton* ResetDefaultsButton() const { return resetButton_; }
  QPushButton* StudyButton() const { return studyButton_; }
  QPushButton* FastestSpeedButton() const { return fastestButton_; }
  QPushButton* DesignButton() const { return designButton_; }
  // Every field back to its default text (the texts of before kept for
  // UndoReset); AskResetToDefaults asks first, as the button does.
  void ResetToDefaults();
  void AskResetToDefaults();
  void UndoReset();
  QPushButton* UndoResetButton() const { return undoResetButton_; }
  const RunReport& LastRun() const { return lastRun_; }
  // The steps the robust surface solve took over in the last run.
  const std::vector<RescuedStep>& LastRescued() const { return lastRescued_; }

  // Button handlers.
  void BitBtn1Click();
  void BitBtn2Click();
  void InputDataClick();
  void SaveDataClick();
  void OpenResultClick();

  // RunHost.
  void ShowMessage(const std::string& text) override;
  void SetBusyCursor(bool busy) override;
  void ShowFinishDialog() override;
  void ShowErrorReport(const std::string& text) override;
  void ShowExplainedMessage(const std::string& text, const MessageDetail& detail) override;
  void ShowExplainedErrorReport(const std::string& text, const MessageDetail& detail) override;
  bool RunDespite(const std::vector<PlausibilityWarning>& warnings) override;
  bool ReplaceResult(const std::string& path) override;
  bool KeepPartialResult() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildPages();
  void BuildToolsPage();
  void ShowProgress();
  void HideProgress();
  void UpdateProgress();
  void AfterRun(const std::string& resultPath);
  void ShowResultsBeside();
  void ShowOutcome(const QString& line);
  void ShowMode();
  void UpdateOutcome();
  void Note(const QString& text);
  // What the run did beyond its message: marched again, steps the robust
  // surface solve took over.  Told once per run: in the box that ends a
  // failed run, else in one note after it.
  QString RunNotes() const;
  QString TakeRunNotes();
  QString EndingNotes();
  QGroupBox* Group(const std::string& key) const;
  QWidget* BesideWhat(const MessageDetail& detail);
  QString ShowOpenFileDialog(const QString& initialDirectory);

  QTabWidget* pages_ = nullptr;
  std::map<std::string, QGroupBox*, std::less<>> groups_;
  EditFieldTexts fields_;
  DirectoryChooser* chooser_ = nullptr;
  QPushButton* okButton_ = nullptr;
  QPushButton* closeButton_ = nullptr;
  QPushButton* inputDataButton_ = nullptr;
  QPushButton* saveDataButton_ = nullptr;
  QPushButton* studyButton_ = nullptr;
  QPushButton* fastestButton_ = nullptr;
  QPushButton* designButton_ = nullptr;
  QPushButton* openResultButton_ = nullptr;
  QCheckBox* robustBox_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  QPushButton* undoResetButton_ = nullptr;
  std::vector<std::vector<std::string>> undoTexts_;  // field texts before each reset
  QString lastWritten_;     // the result file this window's last run wrote
  QString runResultPath_;   // the result file of the run in progress
  bool rerunRobust_ = false;  // the failure's box asked for the robust solve
  bool robustOnce_ = false;   // the next run, and only it, uses the robust solve
  bool runRobust_ = false;    // the run in progress uses the robust solve
  QLabel* modeLabel_ = nullptr;
  TFinishForm* finishForm_ = nullptr;
  ResultsWindow* results_ = nullptr;
  HelpMenu* help_ = nullptr;
  QLabel* outcomeLabel_ = nullptr;
  // The zones of the run in progress, for its summary (written by the
  // worker, read after it has finished).
  TraceRecorder recorder_;
  // The worker's calculation: it stays alive until the worker has ended.
  std::unique_ptr<Calculation> calc_;
  RunWorker* worker_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  QTimer* progressTimer_ = nullptr;
  QElapsedTimer elapsed_;
  QEventLoop* runLoop_ = nullptr;
  RunReport lastRun_;
  std::optional<RunTrace> lastTrace_;  // the last run's marched zones, for its summary
  std::vector<RescuedStep> lastRescued_;
  // A finished run's account of the robust solve, set on the worker's
  // thread just before the finish dialog is called for.
  std::string finishedTakeover_;
  bool running_ = false;
  bool marchStarted_ = false;              // the run in progress has begun its march
  bool notesTold_ = false;                 // the run's notes were shown in its message
  bool cancelTold_ = false;                // the run's cancel was told in a question
  std::vector<std::string> runTexts_;      // the field texts of the run in progress
  std::vector<std::string> acceptedTexts_; // texts whose plausibility warnings were accepted
  bool closeAfterRun_ = false;
  bool busy_ = false;
  bool centred_ = false;
};

}  // namespace kelvane::ui
