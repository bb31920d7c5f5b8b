#pragma once
// What the Study and Fastest line speed dialogs share: their runs on a
// worker thread with Cancel, the progress bar and status line, and the
// table of runs beside a chart of them.  A dialog starts its work with
// StartWork, hears of each run and of the end through queued calls on its
// own thread, and stops the work (Stop) before its members go.

#include <QDialog>

#include <functional>
#include <memory>
#include <thread>

#include "study/StudyRun.h"

class QChart;
class QChartView;
class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QLabel;
class QProgressBar;
class QTableWidget;

namespace kelvane::ui {

class StudyRunDialog : public QDialog {
 public:
  bool Running() const { return worker_.joinable() && !finished_; }

 protected:
  explicit StudyRunDialog(QWidget* parent);
  // Stops the work; a derived dialog calls Stop() itself first, since the
  // work reads its members.
  ~StudyRunDialog() override;

  // The row that starts the work: its button, Cancel (off until the work
  // starts) and the progress bar; the caller adds what follows on the row.
  QHBoxLayout* StartRow(QBoxLayout* into, const QString& caption, const QString& name, QPushButton*& start,
                        const QString& cancelName, QPushButton*& cancel);
  // The bottom row: the status line, a button that loads the answer into
  // the window (off until there is one) and Close.
  QPushButton* LoadRow(QBoxLayout* into, const QString& caption, const QString& name);
  // Cancel asks the work to stop and says that the runs end after their step.
  void CancelWithNotice(QPushButton* cancel);
  // The answer's headline: bold and a quarter larger than the dialog's type.
  QLabel* Headline(const QString& name);

  // The table beside the chart, half the width each.
  QHBoxLayout* TableAndChart();
  // Each column as wide as its widest entry or the longest word of its
  // caption, the captions wrapped over as many lines as they need; the
  // last column (the runs' messages) takes what width is left and shows a
  // long message whole in its tooltip.  The table then shows every column
  // without scrolling sideways wherever that fits at all.
  void FitColumns();
  // Shows `chart` in place of the chart shown so far.
  void ShowChart(QChart* chart);

  // Runs `work` on the worker thread with a fresh control; each run's report
  // reaches `row` and the end reaches `done`, both on the dialog's thread.
  void StartWork(std::function<void(StudyControl&)> work, std::function<void(const RowResult&)> row);
  // The work has ended: joins its thread.
  void WorkEnded();
  bool CancelRequested() const { return control_ && control_->Cancel; }
  void RequestCancel();
  // Cancels the work and waits for it.
  void Stop();

  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* table_ = nullptr;
  QChartView* chart_ = nullptr;
  // Called on the worker thread after each run's report has been sent.
  std::function<void(const RowResult&)> afterRow_;

 private:
  std::unique_ptr<StudyControl> control_;
  std::thread worker_;
  bool finished_ = true;
};

}  // namespace kelvane::ui
