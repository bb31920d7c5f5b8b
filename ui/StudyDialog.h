#pragma once
// The Study dialog: one or two fields of the current inputs varied over a
// list or a range of values, the runs made in the background with progress
// and Cancel, the table of outcomes and a chart of one outcome against the
// first field (one curve per value of the second).  "Load this run" puts a
// row's values into the main window; the table exports to CSV.  The work is
// the study library's; the dialog only shows it.

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "run/FieldTable.h"
#include "study/StudyRun.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QLabel;
class QChartView;

namespace kelvane::ui {

class StudyDialog : public QDialog {
  Q_OBJECT

 public:
  // `fields` are the main window's field texts: the base case, and where
  // "Load this run" puts a row.
  StudyDialog(FieldTexts& fields, bool robust, QWidget* parent = nullptr);
  ~StudyDialog() override;

  // For tests: choose the fields and values, start, and read the outcome.
  void SetVaried(int which, const QString& field, const QString& values);
  void Start();
  bool Running() const { return worker_.joinable() && !finished_; }
  QTableWidget* Table() const { return table_; }
  QChartView* Chart() const { return chart_; }
  QPushButton* RunButton() const { return runButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 private:
  void RowDone(const RowResult& row, int done, int total);
  void Finished();
  void Redraw();
  void LoadRow();
  void ExportCsv();
  void Stop();

  FieldTexts& fields_;
  bool robust_;
  QComboBox* field_[2] = {};
  QLineEdit* values_[2] = {};
  QComboBox* outcome_ = nullptr;
  QPushButton* runButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* table_ = nullptr;
  QChartView* chart_ = nullptr;

  StudyDefinition study_;
  std::vector<StudyRow> rows_;
  std::vector<RowResult> results_;
  std::vector<bool> have_;
  std::unique_ptr<StudyControl> control_;
  std::thread worker_;
  bool finished_ = true;
};

}  // namespace kelvane::ui
