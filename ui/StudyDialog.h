#pragma once
// The Study dialog: one or two fields of the current inputs varied over a
// list or a range of values, the runs made in the background with progress
// and Cancel, the table of outcomes and a chart of one outcome against the
// first field (one curve per value of the second).  "Load this run" puts a
// row's values into the main window; the table exports to CSV.  The work is
// the study library's; the dialog only shows it.

#include <vector>

#include "fields/FieldTable.h"
#include "study/StudyRun.h"
#include "ui/StudyRunDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QLabel;
class QChartView;

namespace kelvane::ui {

class StudyDialog : public StudyRunDialog {
  Q_OBJECT

 public:
  // `fields` are the main window's field texts: the base case, and where
  // "Load this run" puts a row.  `robust` is the first state of the dialog's
  // own "Robust surface solve" box.
  StudyDialog(FieldTexts& fields, bool robust, QWidget* parent = nullptr);
  ~StudyDialog() override;

  // For tests: choose the fields and values, start, and read the outcome.
  void SetVaried(int which, const QString& field, const QString& values);
  void Start();
  QTableWidget* Table() const { return table_; }
  QChartView* Chart() const { return chart_; }
  QPushButton* RunButton() const { return runButton_; }
  QPushButton* CancelButton() const { return cancelButton_; }

 private:
  void RowDone(const RowResult& row);
  void Finished();
  void Redraw();
  void LoadRow();
  void ExportCsv();

  FieldTexts& fields_;
  QCheckBox* robust_ = nullptr;
  QComboBox* field_[2] = {};
  QLineEdit* values_[2] = {};
  QComboBox* outcome_ = nullptr;
  QPushButton* runButton_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QPushButton* loadButton_ = nullptr;
  QPushButton* exportButton_ = nullptr;

  StudyDefinition study_;
  std::vector<StudyRow> rows_;
  std::vector<RowResult> results_;
  std::vector<bool> have_;
};

}  // namespace kelvane::ui
