#pragma once
// The "Summary" page of the Results window: one line for the whole run, the
// table of zones (temperatures, solvent left and evaporated, heat split into
// latent and sensible heat, boiling margin) and the warnings, each of which
// can be clicked to put the charts' cursor where it fired.

#include <QWidget>

#include "summary/RunSummary.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace kelvane::ui {

class SummaryPage : public QWidget {
  Q_OBJECT

 public:
  explicit SummaryPage(QWidget* parent = nullptr);
  void Show(const RunSummary& summary);
  void Clear();
  QTableWidget* ZoneTable() const { return table_; }
  QListWidget* WarningList() const { return warnings_; }
  QLabel* RunLine() const { return runLine_; }

 signals:
  // The warning at `index` of the summary was chosen (clicked or Enter).
  void WarningChosen(int index);

 private:
  QLabel* runLine_ = nullptr;
  QTableWidget* table_ = nullptr;
  QListWidget* warnings_ = nullptr;
};

}  // namespace kelvane::ui
