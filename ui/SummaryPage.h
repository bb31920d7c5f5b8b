#pragma once
// The "Summary" page of the Results window: one line for the whole run, the
// table of zones (temperatures, solvent left and evaporated, thickness,
// boiling margin), the table of each zone's heat (taken from the gas, split
// into latent and sensible heat) and the warnings, each of which can be
// clicked to put the charts' cursor where it fired.  The tables and the
// warnings are as tall as their rows; the page scrolls as a whole.

#include <QScrollArea>

#include "summary/RunSummary.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace kelvane::ui {

class SummaryPage : public QScrollArea {
  Q_OBJECT

 public:
  explicit SummaryPage(QWidget* parent = nullptr);
  void Show(const RunSummary& summary);
  void Clear();
  QTableWidget* ZoneTable() const { return table_; }
  QTableWidget* HeatTable() const { return heat_; }
  QTableWidget* AirTable() const { return air_; }
  QListWidget* WarningList() const { return warnings_; }
  QLabel* RunLine() const { return runLine_; }

 signals:
  // The warning at `index` of the summary was chosen (clicked or Enter).
  void WarningChosen(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitHeights();

  QLabel* runLine_ = nullptr;
  QTableWidget* table_ = nullptr;
  QTableWidget* heat_ = nullptr;
  QTableWidget* air_ = nullptr;
  QListWidget* warnings_ = nullptr;
};

// A figure with `decimals` decimals, never "-0.00": a value that rounds to
// zero is written without its sign.
QString FixedFigure(double value, int decimals);

}  // namespace kelvane::ui
