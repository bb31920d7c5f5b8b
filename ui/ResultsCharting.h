#pragma once
// What the Results window's charts share: the chart pages' titles and place
// among the tabs, the quantities plotted along the web with their colours,
// axis titles and units, and axes with round ticks.

#include <QColor>
#include <QString>
#include <vector>

#include "files/ResultFileReader.h"
#include "ui/ResultsWindow.h"

class QValueAxis;

namespace kelvane::ui {

// The Summary and Targets pages come first, then one page per chart.
constexpr int FirstChartTab = 2;

extern const char* const ChartTitles[ResultsWindow::ChartCount];
// The charts' tab captions: short, so that every tab, the Air page's
// included, is in sight at the window's default width; the chart's title
// and the tab's tooltip give it whole.
extern const char* const ChartTabs[ResultsWindow::ChartCount];

// One plotted quantity of the first table.
struct Quantity {
  QString Name;
  double (*Value)(const ResultRow&);
  QColor Colour;
};

// Solvent remaining in g/m² from a row's concentrations and thickness.
double RemainingGrams(const ResultRow& r);

extern const QColor Solvent1Colour;
extern const QColor Solvent2Colour;

std::vector<Quantity> QuantitiesOf(ResultsWindow::Chart chart, bool grams = false);
QString YTitle(ResultsWindow::Chart chart, bool grams = false);
QString UnitOf(ResultsWindow::Chart chart, bool grams);
// The colour of the `index`th compared file's curves: none of this run's
// curve colours.
QColor OverlayColour(int index);
// The warnings' marks: a colour that no curve has.
QColor WarningMarkColour();

// A padded range around [lo, hi].
void Pad(double& lo, double& hi, bool floorAtZero);
QValueAxis* NewValueAxis(const QString& title);
// Ticks at round values (1, 2 or 5 times a power of ten) over the range.
void RoundTicks(QValueAxis* axis, double lo, double hi, int ticks);

}  // namespace kelvane::ui
