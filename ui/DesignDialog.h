#pragma once
// "Design the dryer": the fastest web speed with the gas temperature of
// each zone (and, if asked, its heat-transfer coefficients) that meets the
// targets, found by the study library's design over the current inputs, the
// same design as `kelvane-run design`.  The runs go in the background with
// progress and Cancel.  The answer: the speed and the target that binds,
// the energy by zone, the gain over the best uniform schedule and the local
// check; a bar chart of each zone's gas temperature at the design over the
// current one; the film temperature along the dryer at the design, with the
// bubble point at the base film; every run in the table.  "Load this
// schedule" puts the design into the zone fields and the Web Speed field.

#include <QString>

#include <map>

#include "fields/FieldTable.h"
#include "summary/RunSummary.h"
#include "study/DesignAnswer.h"
#include "study/DesignRequest.h"
#include "ui/StudyRunDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kelvane::ui {

class DesignDialog : public StudyRunDialog {
  Q_OBJECT

 public:
  // `fields` are the main window's field texts: the base case, and where
  // "Load this schedule" puts the design.
  DesignDialog(FieldTexts& fields, bool robust, QWidget* parent = nullptr);
  ~DesignDialog() override;

  void Start();
  // Opens with the window's targets: the residual target in its unit, the
  // film-temperature limit and the web width of the Targets page.
  void UseTargets(const SummarySettings& targets);
  // The last design once it has ended, and the problem it answered.
  const DesignResult& Result() const { return result_; }
  const DesignProblem& Problem() const { return problem_; }
  // The design's run followed along the web (empty without a design).
  const RunTrace& Trace() const { return trace_; }

 private:
  DesignRequest Request() const;
  void Refuse(const RequestRefusal& refusal);
  void Evaluated();
  void Finished(const DesignResult& result, const RunTrace& trace);
  void ShowRows();
  void DrawSchedule();
  void DrawFilmTemperature();
  void LoadSchedule();

  FieldTexts& fields_;
  std::map<RequestInput, QLineEdit*> inputs_;
  QCheckBox* residualBox_ = nullptr;
  QLineEdit* residual_ = nullptr;
  QComboBox* residualUnit_ = nullptr;
  QCheckBox* noBoiling_ = nullptr;
  QLineEdit* margin_ = nullptr;
  QCheckBox* noSkinning_ = nullptr;
  QCheckBox* temperatureBox_ = nullptr;
  QLineEdit* temperature_ = nullptr;
  QCheckBox* nonDecreasing_ = nullptr;
  QLineEdit* span_ = nullptr;
  QLineEdit* lowest_ = nullptr;
  QLineEdit* highest_ = nullptr;
  QCheckBox* coefficientBox_ = nullptr;
  QLineEdit* coefficientShare_ = nullptr;
  QLineEdit* lower_ = nullptr;
  QLineEdit* upper_ = nullptr;
  QLineEdit* evaluations_ = nullptr;
  QLineEdit* webWidth_ = nullptr;
  QLineEdit* slowest_ = nullptr;
  QCheckBox* robust_ = nullptr;
  QPushButton* designButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QLabel* answer_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QChartView* filmChart_ = nullptr;

  FieldTextMap base_;  // the inputs the design started from
  DesignProblem problem_;
  DesignResult result_;
  RunTrace trace_;
  int runs_ = 0;  // runs reported so far
};

}  // namespace kelvane::ui
