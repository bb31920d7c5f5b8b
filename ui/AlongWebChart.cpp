// The charts along the web: each quantity of this run and of the compared
// runs, the gas temperature, the rescued steps, the warnings and the zones.

#include "ui/ResultsWindow.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "ui/RescuedTicks.h"
#include "ui/BoilingLines.h"
#include "ui/ResultsCharting.h"
#include "ui/SummarySettingsPanel.h"

namespace kelvane::ui {

void ResultsWindow::BuildAlongWebChart(Chart which) {
  QChart* chart = views_[which]->chart();
  const bool time = axis_ == Axis::Time;
  const bool grams = remainingUnit_ == RemainingUnit::GramsPerSquareMetre;
  const bool log = logScale_ && which == Remaining;
  double ylo = std::numeric_limits<double>::infinity(), yhi = -ylo;
  const std::vector<Quantity> quantities = QuantitiesOf(which, grams);
  std::vector<QXYSeries*> series;
  // This file's curves, then each compared file's in a colour of its own,
  // dashed, named by file.
  auto curves = [&](const ResultFileData& data, const QString& file, int other) {
    for (std::size_t k = 0; k < quantities.size(); ++k) {
      const Quantity& q = quantities[k];
      auto* s = new QLineSeries;
      s->setName(file.isEmpty() ? q.Name : q.Name + QStringLiteral(" — ") + file);
      QPen pen(other < 0 ? q.Colour : OverlayColour(other));
      pen.setWidthF(other < 0 ? 1.8 : 1.6);
      if (other >= 0) pen.setStyle(k == 0 ? Qt::DashLine : Qt::DashDotLine);
      s->setPen(pen);
      // On a log scale the percentage comes from the concentrations and the
      // thickness, which keep more digits than the file's percentage.
      const double initial = RemainingGrams(data.Zones.front().Rows.front());
      const bool derived = log && !grams && initial > 0;
      QList<QPointF> points;
      for (const ZoneResults& z : data.Zones)
        for (size_t r = 0; r < z.Rows.size(); ++r) {
          const double y = derived ? 100.0 * RemainingGrams(z.Rows[r]) / initial : q.Value(z.Rows[r]);
          if (log && !(y > 0)) continue;  // nothing to show of a zero on a log axis
          points.append({X(data, z, r), y});
          ylo = std::min(ylo, y), yhi = std::max(yhi, y);
        }
      s->replace(points);
      series.push_back(s);
    }
  };
  curves(data_, others_.empty() ? QString() : QFileInfo(source_).fileName(), -1);
  for (std::size_t i = 0; i < others_.size(); ++i) curves(others_[i].Data, others_[i].Name, static_cast<int>(i));

  // Each zone's gas temperature as a step line over the zone.
  if (which == Temperature) {
    auto* gas = new QLineSeries;
    gas->setName(QStringLiteral("Gas temperature"));
    QPen pen(QColor(0xe0, 0x90, 0x00));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    gas->setPen(pen);
    for (const ZoneResults& z : data_.Zones) {
      const ZoneConditions* c = data_.ConditionsOf(z.Zone);
      if (!c) continue;
      gas->append(X(z, 0), c->OuterTemperature);
      gas->append(X(z, z.Rows.size() - 1), c->OuterTemperature);
      ylo = std::min(ylo, c->OuterTemperature), yhi = std::max(yhi, c->OuterTemperature);
    }
    series.push_back(gas);
  }

  // The Targets page's residual target across the solvent chart, in the
  // chart's unit: the point where the curve crosses it is where the film
  // is dry enough.
  if (which == Remaining && !log)
    if (const std::optional<double> target = ResidualTargetIn(grams)) {
      auto* line = new QLineSeries;
      line->setName(QStringLiteral("Residual target"));
      line->setPen(QPen(QColor(210, 0, 0), 1.5, Qt::DashLine));
      line->append(X(data_.Zones.front(), 0), *target);
      line->append(X(data_.Zones.back(), data_.Zones.back().Rows.size() - 1), *target);
      ylo = std::min(ylo, *target), yhi = std::max(yhi, *target);
      series.push_back(line);
    }

  // Where along the web the robust surface solve took a step over; drawn
  // as ticks along the top once the axis is known.
  std::vector<double> rescuedX;
  for (const RescuedStep& step : rescued_) {
    const auto zone = std::find_if(data_.Zones.begin(), data_.Zones.end(),
                                   [&](const ZoneResults& z) { return z.Zone == step.Zone; });
    if (zone == data_.Zones.end() || zone->Rows.empty()) continue;
    const double along = step.Step * data_.IncrementZ / 100.0;  // m
    rescuedX.push_back(time ? zone->Rows.front().Time + (data_.WebSpeed > 0 ? along / data_.WebSpeed : 0)
                            : data_.ZoneStart(zone->Zone) + along);
  }

  // Where the coating boils or passes a solvent's boiling point, the
  // temperature it is measured against, dashed.
  if (which == Temperature && trace_) {
    for (QLineSeries* line : BoilingLines(*trace_, summary_, time, data_)) {
      for (const QPointF& p : line->points()) ylo = std::min(ylo, p.y()), yhi = std::max(yhi, p.y());
      series.push_back(line);
    }
  }

  // The summary's warnings, as dark triangles on the first curve.
  if (!summary_.Warnings.empty() && (which == Temperature || which == Remaining)) {
    auto* marks = new QScatterSeries;
    marks->setName(QStringLiteral("Warnings"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    marks->setMarkerSize(13);
    marks->setColor(WarningMarkColour());
    marks->setBorderColor(Qt::white);
    for (const Warning& w : summary_.Warnings) {
      const double x = XOf(w.At), y = ValueAt(data_, which, x);
      if (std::isfinite(y) && (!log || y > 0)) marks->append(x, y);
    }
    series.push_back(marks);
  }

  const double xlo = X(data_.Zones.front(), 0);
  const double xhi = X(data_.Zones.back(), data_.Zones.back().Rows.size() - 1);
  auto* xAxis = NewValueAxis(time ? QStringLiteral("Time (s)") : QStringLiteral("Position (m)"));
  RoundTicks(xAxis, xlo, xhi > xlo ? xhi : xlo + 1, 10);
  QAbstractAxis* yAxis = nullptr;
  if (log) {
    auto* axis = new QLogValueAxis;
    axis->setTitleText(YTitle(which, grams) + QStringLiteral(", log scale"));
    axis->setLabelFormat(QStringLiteral("%.3g"));
    axis->setBase(10);
    axis->setMinorTickCount(8);
    if (!std::isfinite(ylo)) ylo = 0.1, yhi = 100;
    axis->setRange(std::pow(10.0, std::floor(std::log10(ylo))), std::pow(10.0, std::ceil(std::log10(yhi))));
    yAxis = axis;
  } else {
    Pad(ylo, yhi, true);
    if (which == Remaining) ylo = std::min(ylo, 0.0);
    auto* axis = NewValueAxis(YTitle(which, grams));
    RoundTicks(axis, ylo, yhi, 8);
    yAxis = axis;
  }
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  if (!rescuedX.empty()) {
    // Just under the top of the plot, so the whole tick shows.
    double top = 1;
    if (auto* v = qobject_cast<QValueAxis*>(yAxis)) top = v->max() - (v->max() - v->min()) * 0.02;
    if (auto* l = qobject_cast<QLogValueAxis*>(yAxis)) top = l->max() / std::pow(l->max() / l->min(), 0.02);
    series.push_back(RescuedTicks(rescuedX, xAxis->max() - xAxis->min(), top));
  }

  // The zones along the top, their boundaries as grid lines; with many
  // zones only their numbers, so the labels stay apart.
  auto* zones = new QCategoryAxis;
  zones->setObjectName(QStringLiteral("ZoneAxis"));
  zones->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
  zones->setStartValue(xlo);
  const bool many = data_.Zones.size() > 6;
  if (many) zones->setTitleText(QStringLiteral("Zone"));
  for (const ZoneResults& z : data_.Zones) {
    const ZoneConditions* c = data_.ConditionsOf(z.Zone);
    const double end = time || !c ? X(z, z.Rows.size() - 1) : data_.ZoneStart(z.Zone) + c->ZoneLength;
    zones->append(many ? QString::number(z.Zone) : QStringLiteral("Zone %1").arg(z.Zone), end);
  }
  zones->setRange(xAxis->min(), xAxis->max());
  QPen boundary(QColor(0x60, 0x60, 0x60));
  boundary.setStyle(Qt::DashDotLine);
  boundary.setWidthF(1.2);
  zones->setGridLinePen(boundary);
  zones->setLabelsColor(QColor(0x40, 0x40, 0x40));
  chart->addAxis(zones, Qt::AlignTop);

  for (QXYSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
  }
  // A legend that would not fit in one row under the plot would cut its
  // names short ("Boiling poi…"): it stands beside the plot instead, one
  // name a line, each whole.
  const QFontMetrics metrics(chart->legend()->font());
  int row = 0, widest = 0;
  for (QLegendMarker* marker : chart->legend()->markers()) {
    const int name = metrics.horizontalAdvance(marker->label()) + 4 * metrics.height();
    row += name, widest = std::max(widest, name);
  }
  if (row > width() - 100) {
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->legend()->setMinimumWidth(widest);
  }

  // Keep the zone axis in step with the plot when it is zoomed.
  connect(xAxis, &QValueAxis::rangeChanged, zones, [zones](qreal lo, qreal hi) { zones->setRange(lo, hi); });
}

// The residual target in g/m² (`grams`) or in % of the initial solvent;
// none without a target, or for a target in ppm of a coating whose polymer
// the summary cannot tell.
std::optional<double> ResultsWindow::ResidualTargetIn(bool grams) const {
  const SummarySettings& settings = targets_->Settings();
  if (!settings.ResidualTarget || data_.Zones.empty() || data_.Zones.front().Rows.empty()) return std::nullopt;
  const double initial = RemainingGrams(data_.Zones.front().Rows.front());  // g/m² at the entrance
  const RunTotals& run = summary_.Run;
  double targetGrams = 0;
  switch (settings.ResidualTargetUnit) {
    case ResidualUnit::PercentOfInitial: targetGrams = *settings.ResidualTarget / 100.0 * initial; break;
    case ResidualUnit::GramsPerSquareMetre: targetGrams = *settings.ResidualTarget; break;
    case ResidualUnit::PpmOfDryCoating:
      // The dry coating's mass per area from the exit's residual in both units.
      if (!(run.ResidualPpm > 0)) return std::nullopt;
      targetGrams = *settings.ResidualTarget * run.ResidualGrams / run.ResidualPpm;
      break;
  }
  if (grams) return targetGrams;
  if (!(initial > 0)) return std::nullopt;
  return 100.0 * targetGrams / initial;
}

}  // namespace kelvane::ui
