// The pointer on the charts: the cursor line at a warning, the readout of
// the values under the pointer, and the zoom.

#include "ui/ResultsWindow.h"

#include <QLabel>
#include <QSlider>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QValueAxis>

#include <cmath>
#include <limits>

#include "ui/ResultsCharting.h"

namespace kelvane::ui {

double ResultsWindow::CursorX() const {
  return cursorAt_ ? XOf(*cursorAt_) : std::numeric_limits<double>::quiet_NaN();
}

// The cursor: a vertical line on every chart along the web.
void ResultsWindow::PlaceCursor() {
  const double cursorX = CursorX();
  for (int c = 0; c < Profiles; ++c) {
    QChart* chart = views_[c]->chart();
    for (QAbstractSeries* s : chart->series())
      if (s->name() == QLatin1String("Cursor")) {
        chart->removeSeries(s);
        delete s;
      }
    if (std::isnan(cursorX) || chart->axes(Qt::Vertical).isEmpty()) continue;
    QAbstractAxis* yAxis = chart->axes(Qt::Vertical).front();
    double lo = 0, hi = 1;
    if (auto* v = qobject_cast<QValueAxis*>(yAxis)) lo = v->min(), hi = v->max();
    if (auto* l = qobject_cast<QLogValueAxis*>(yAxis)) lo = l->min(), hi = l->max();
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Cursor"));
    QPen pen(QColor(0xd0, 0x10, 0x10));
    pen.setWidthF(1.2);
    line->setPen(pen);
    line->append(cursorX, lo);
    line->append(cursorX, hi);
    chart->addSeries(line);
    line->attachAxis(chart->axes(Qt::Horizontal).front());
    line->attachAxis(yAxis);
    for (QLegendMarker* m : chart->legend()->markers(line)) m->setVisible(false);
  }
}

void ResultsWindow::GoToWarning(int index) {
  if (index < 0 || index >= static_cast<int>(summary_.Warnings.size()) || !HasData()) return;
  const Warning& w = summary_.Warnings[index];
  cursorAt_ = w.At;
  PlaceCursor();
  // The profile at the row nearest to the warning.
  int row = 0, best = 0;
  double bestGap = std::numeric_limits<double>::infinity();
  for (const ZoneResults& z : data_.Zones)
    for (size_t r = 0; r < z.Rows.size(); ++r, ++row)
      if (z.Zone == w.At.Zone && std::fabs(z.Rows[r].Length - w.At.Position) < bestGap)
        bestGap = std::fabs(z.Rows[r].Length - w.At.Position), best = row;
  slider_->setValue(best);
  const bool residual = w.Kind == WarningKind::ResidualTarget;
  ShowChart(residual ? Remaining : Temperature);
  readout_->setText(ReadoutAt(residual ? Remaining : Temperature, CursorX()));
}

QString ResultsWindow::ReadoutAt(Chart chart, double x) const {
  if (!HasData() || chart == Profiles) return {};
  const bool time = axis_ == Axis::Time;
  QString text = time ? QStringLiteral("%1 s").arg(x, 0, 'f', 2) : QStringLiteral("%1 m").arg(x, 0, 'f', 2);
  for (const ZoneResults& z : data_.Zones)
    if (!z.Rows.empty() && X(z, z.Rows.size() - 1) >= x) {
      text += QStringLiteral(" (zone %1)").arg(z.Zone);
      break;
    }
  const bool grams = remainingUnit_ == RemainingUnit::GramsPerSquareMetre;
  auto line = [&](const ResultFileData& data, const QString& file) {
    for (const Quantity& q : QuantitiesOf(chart, grams)) {
      double lastX = std::numeric_limits<double>::quiet_NaN(), lastY = lastX, y = lastX;
      for (const ZoneResults& z : data.Zones) {
        for (size_t r = 0; r < z.Rows.size() && std::isnan(y); ++r) {
          const double px = X(data, z, r), py = q.Value(z.Rows[r]);
          if (px >= x) y = std::isnan(lastX) || px == lastX ? py : lastY + (py - lastY) * (x - lastX) / (px - lastX);
          lastX = px, lastY = py;
        }
      }
      if (std::isnan(y)) continue;
      text += QStringLiteral(" · %1%2: %3 %4")
                  .arg(q.Name, file.isEmpty() ? QString() : " (" + file + ")")
                  .arg(y, 0, 'g', 5)
                  .arg(UnitOf(chart, grams));
    }
  };
  line(data_, QString());
  for (const Other& o : others_) line(o.Data, o.Name);
  return text;
}

void ResultsWindow::ResetZoom() {
  for (QChartView* v : views_) v->chart()->zoomReset();
}

}  // namespace kelvane::ui
