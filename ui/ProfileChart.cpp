// The concentration profiles across the coating at a position along the web.

#include "ui/ResultsWindow.h"

#include <QLabel>
#include <QSlider>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

#include "ui/ProfileDepth.h"
#include "ui/ResultsCharting.h"

namespace kelvane::ui {

QLineSeries* ResultsWindow::ProfileSeries(int solvent, bool entrance) const {
  const QString name = QStringLiteral("Solvent %1%2").arg(solvent).arg(entrance ? " at entrance" : "");
  for (QAbstractSeries* s : views_[Profiles]->chart()->series())
    if (s->name() == name) return static_cast<QLineSeries*>(s);
  return nullptr;
}

void ResultsWindow::BuildProfileChart() {
  QChart* chart = views_[Profiles]->chart();
  double yhi = 0;
  for (const ZoneResults& z : data_.Zones)
    for (size_t r = 0; r < z.Rows.size(); ++r)
      for (int i = 0; i < 11; ++i) yhi = std::max({yhi, z.Solvent1[r].Conc[i], z.Solvent2[r].Conc[i]});
  // Height above the base film: the base at 0, the surface at the coating's
  // thickness, which shrinks as the coating dries.
  const ZoneResults& first = data_.Zones.front();
  const double thickest = first.Rows.front().CoatThick * 1e4;
  auto* xAxis = NewValueAxis(QStringLiteral("Height above the base film (μm); the surface is the right end"));
  RoundTicks(xAxis, 0, thickest > 0 ? thickest * 1.02 : 1, 10);
  auto* yAxis = NewValueAxis(YTitle(Profiles));
  RoundTicks(yAxis, 0, yhi > 0 ? yhi * 1.08 : 1, 8);
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  for (bool entrance : {false, true})
    for (int solvent = 1; solvent <= 2; ++solvent) {
      auto* s = new QLineSeries;
      s->setName(QStringLiteral("Solvent %1%2").arg(solvent).arg(entrance ? " at entrance" : ""));
      QPen pen(solvent == 1 ? Solvent1Colour : Solvent2Colour);
      pen.setWidthF(entrance ? 1.2 : 2.0);
      if (entrance) pen.setStyle(Qt::DashLine);
      s->setPen(pen);
      s->setPointsVisible(!entrance);
      const ProfileRow& row = solvent == 1 ? first.Solvent1.front() : first.Solvent2.front();
      const auto heights = NodeHeights(first.Layers.front(), first.Rows.front().CoatThick, data_.NumberOfLayers);
      for (int i = 0; i < 11; ++i) s->append(heights[i], row.Conc[i]);
      chart->addSeries(s);
      s->attachAxis(xAxis);
      s->attachAxis(yAxis);
    }
  int rows = 0;
  for (const ZoneResults& z : data_.Zones) rows += static_cast<int>(z.Rows.size());
  const QSignalBlocker block(slider_);
  slider_->setRange(0, rows - 1);
  slider_->setPageStep(std::max(1, rows / 20));
  if (slider_->value() > rows - 1) slider_->setValue(rows - 1);
  UpdateProfile();
}

void ResultsWindow::UpdateProfile() {
  if (data_.Zones.empty()) return;
  int index = slider_->value();
  const ZoneResults* zone = &data_.Zones.front();
  for (const ZoneResults& z : data_.Zones) {
    zone = &z;
    if (index < static_cast<int>(z.Rows.size())) break;
    index -= static_cast<int>(z.Rows.size());
  }
  const size_t row = std::min<size_t>(index, zone->Rows.size() - 1);
  for (int solvent = 1; solvent <= 2; ++solvent) {
    QLineSeries* s = ProfileSeries(solvent, false);
    if (!s) continue;
    const ProfileRow& p = solvent == 1 ? zone->Solvent1[row] : zone->Solvent2[row];
    const auto heights = NodeHeights(zone->Layers[row], zone->Rows[row].CoatThick, data_.NumberOfLayers);
    QList<QPointF> points;
    for (int i = 0; i < 11; ++i) points.append({heights[i], p.Conc[i]});
    s->replace(points);
  }
  const ResultRow& r = zone->Rows[row];
  // The height axis follows the coating as it dries: its surface at the
  // right end whatever the thickness.
  QChart* chart = views_[Profiles]->chart();
  if (!chart->axes(Qt::Horizontal).isEmpty())
    if (auto* xAxis = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front())) {
      const double thickness = r.CoatThick * 1e4;
      RoundTicks(xAxis, 0, thickness > 0 ? thickness * 1.02 : 1, 10);
    }
  sliderLabel_->setText(QStringLiteral("zone %1, %2 m, %3 s")
                            .arg(zone->Zone)
                            .arg(data_.ZoneStart(zone->Zone) + r.Length, 0, 'f', 3)
                            .arg(r.Time, 0, 'f', 3));
  views_[Profiles]->chart()->setTitle(
      QStringLiteral("Concentration profiles at %1 m (zone %2)").arg(data_.ZoneStart(zone->Zone) + r.Length, 0, 'f', 2).arg(zone->Zone));
}

}  // namespace kelvane::ui
