// The Fastest line speed dialog's chart: solvent left at the exit of each
// run against its speed.

#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

#include "study/StudyTable.h"
#include "ui/FastestSpeedDialog.h"
#include "ui/SearchRows.h"
#include "ui/StudyCaptions.h"

namespace kelvane::ui {

// Solvent left at the exit against the speed: the runs that meet the
// targets, those that miss them, runs that ended without a residual along
// the top, the residual target across and the speed found upright.
void FastestSpeedDialog::Redraw() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Solvent left at the exit of each run"));
  auto scatter = [&](const QString& name, const QColor& colour, QScatterSeries::MarkerShape shape) {
    auto* s = new QScatterSeries;
    s->setName(name);
    s->setColor(colour);
    s->setBorderColor(colour);
    s->setMarkerShape(shape);
    s->setMarkerSize(9);
    return s;
  };
  QScatterSeries* met = scatter(QStringLiteral("meets targets"), QColor(0, 150, 0), QScatterSeries::MarkerShapeCircle);
  QScatterSeries* missed =
      scatter(QStringLiteral("misses targets"), QColor(210, 0, 0), QScatterSeries::MarkerShapeRectangle);
  QScatterSeries* failed =
      scatter(QStringLiteral("failed (at the top)"), FailedColour(), QScatterSeries::MarkerShapeTriangle);
  const double lower = SearchValue(search_.Lower), upper = std::max(SearchValue(search_.Upper), lower + 1e-9);
  double top = search_.Goal.MaxResidual ? *search_.Goal.MaxResidual : 0;
  for (const RowResult& r : rows_)
    if (auto y = SummaryColumnOf(r, ResidualColumn()); y && r.Outcome == RowOutcome::Finished) top = std::max(top, *y);
  top = top > 0 ? top * 1.1 : 1;
  // A search over more than a decade of speeds brackets by ratios: on a
  // log axis its runs spread evenly instead of crowding the low end.
  const bool ratios = upper / lower >= 10;
  QAbstractAxis* xAxis = nullptr;
  double xmin = 0, xmax = 0;
  if (ratios) {
    auto* axis = new QLogValueAxis;
    axis->setBase(10);
    axis->setLabelFormat(QStringLiteral("%.3g"));
    axis->setMinorTickCount(8);
    xmin = lower / 1.15, xmax = upper * 1.15;
    axis->setRange(xmin, xmax);
    xAxis = axis;
  } else {
    auto* axis = new QValueAxis;
    // The bounds' runs stand inside the plot, not on its frame.
    const double pad = (upper - lower) * 0.04;
    RoundAxis(axis, std::max(0.0, lower - pad), upper + pad);
    xmin = axis->min(), xmax = axis->max();
    xAxis = axis;
  }
  auto* yAxis = new QValueAxis;
  xAxis->setTitleText(QStringLiteral("Web speed (m/s)"));
  const QString unit = QString::fromUtf8(ResidualUnitSuffix(residualUnit_)).trimmed();
  yAxis->setTitleText(QStringLiteral("Solvent left at the exit (%1)").arg(unit));
  RoundAxis(yAxis, 0, top);
  top = yAxis->max();
  for (const RowResult& r : rows_) {
    if (r.Row.Number == 0 || r.Row.Values.empty() || r.Outcome == RowOutcome::NotRun ||
        r.Outcome == RowOutcome::Cancelled) continue;
    const double x = SearchValue(r.Row.Values[0]);
    const auto y = SummaryColumnOf(r, ResidualColumn());
    if (r.Outcome != RowOutcome::Finished || !y)
      failed->append(x, top);
    else
      (MeetsTargets(r, search_.Goal) ? met : missed)->append(x, *y);
  }
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  auto add = [&](QXYSeries* s) {
    chart->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
  };
  if (search_.Goal.MaxResidual) {
    auto* target = new QLineSeries;
    target->setName(
        QStringLiteral("target %1 %2").arg(QString::fromStdString(ShortestNumber(*search_.Goal.MaxResidual)), unit));
    target->setPen(QPen(QColor(210, 0, 0), 1.5, Qt::DashLine));
    target->append(xmin, *search_.Goal.MaxResidual);
    target->append(xmax, *search_.Goal.MaxResidual);
    add(target);
  }
  if (HasAnswer(result_.End)) {
    auto* found = new QLineSeries;
    found->setName(QStringLiteral("fastest %1 m/s").arg(QString::fromStdString(result_.Best)));
    found->setPen(QPen(QColor(0, 110, 0), 1.5, Qt::DotLine));
    const double x = SearchValue(result_.Best);
    found->append(x, 0);
    found->append(x, top);
    add(found);
  }
  for (QScatterSeries* s : {met, missed, failed}) {
    if (s->count() > 0)
      add(s);
    else
      delete s;
  }
  chart->legend()->setAlignment(Qt::AlignBottom);
  QFont legend = chart->legend()->font();
  legend.setPointSizeF(legend.pointSizeF() * 0.9);
  chart->legend()->setFont(legend);
  ShowChart(chart);
}

}  // namespace kelvane::ui
