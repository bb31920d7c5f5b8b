#pragma once
// "Fastest line speed": the largest web speed at which the current inputs
// still meet the targets (solvent left at the exit, film temperature, no
// boiling), found by the study library's bracketing search, the same search
// as `kelvane-run optimize --maximize WebSpeed`.  The runs go in the
// background with progress and Cancel; each run is a row of the table and a
// point of the chart (solvent left at the exit against the speed, the runs
// that meet the targets apart from those that miss them, the target drawn
// across).  "Load this speed" puts the speed found into the Web Speed field.

#include <functional>
#include <vector>

#include "fields/FieldTable.h"
#include "study/BoundarySearch.h"
#include "ui/StudyRunDialog.h"

class QCheckBox;
class QChartView;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace kelvane::ui {

class FastestSpeedDialog : public StudyRunDialog {
  Q_OBJECT

 public:
  // `fields` are the main window's field texts: the base case, and where
  // "Load this speed" puts the speed.
  FastestSpeedDialog(FieldTexts& fields, bool robust, QWidget* parent = nullptr);
  ~FastestSpeedDialog() override;

  void Start();
  // The last search's result once it has ended.
  const BoundaryResult& Result() const { return result_; }
  // For tests: called on the search's thread after each run has been handed
  // to the window, before the search goes on.
  void SetEvaluationHook(std::function<void(const RowResult&)> hook) { afterRow_ = std::move(hook); }

 private:
  void Evaluated(const RowResult& row);
  void Finished(const BoundaryResult& result);
  void ShowRow(const RowResult& row);
  void Redraw();
  void LoadSpeed();
  bool ReadTargets(BoundarySearch& search);

  FieldTexts& fields_;
  QCheckBox* residualBox_ = nullptr;
  QLineEdit* residual_ = nullptr;
  QCheckBox* temperatureBox_ = nullptr;
  QLineEdit* temperature_ = nullptr;
  QCheckBox* noBoiling_ = nullptr;
  QLineEdit* lower_ = nullptr;
  QLineEdit* upper_ = nullptr;
  QLineEdit* tolerance_ = nullptr;
  QCheckBox* robust_ = nullptr;
  QPushButton* searchButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QLabel* answer_ = nullptr;
  QLabel* detail_ = nullptr;

  BoundarySearch search_;
  std::vector<RowResult> rows_;  // by run number - 1
  BoundaryResult result_;

};

}  // namespace kelvane::ui
