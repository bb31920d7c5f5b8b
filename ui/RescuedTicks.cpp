#include "ui/RescuedTicks.h"

#include <QImage>
#include <QPainter>
#include <QtCharts/QScatterSeries>

#include <algorithm>

namespace kelvane::ui {

namespace {

constexpr int TickHeight = 12;

// A 2 px bar upright in the middle of a transparent square: the marker is
// drawn square, and only the bar shows.
QImage TickImage() {
  QImage image(TickHeight, TickHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.fillRect(QRect(TickHeight / 2 - 1, 0, 2, TickHeight), RescuedTickColour());
  return image;
}

}  // namespace

QColor RescuedTickColour() { return QColor(0xe0, 0x9a, 0x00); }

QScatterSeries* RescuedTicks(std::vector<double> xs, double span, double y) {
  auto* ticks = new QScatterSeries;
  ticks->setName(QStringLiteral("Rescued steps"));
  ticks->setColor(RescuedTickColour());
  ticks->setBorderColor(RescuedTickColour());
  ticks->setMarkerSize(TickHeight);
  ticks->setLightMarker(TickImage());
  std::sort(xs.begin(), xs.end());
  const double apart = span / 1000;
  bool first = true;
  double last = 0;
  for (double x : xs) {
    if (!first && x - last < apart) continue;
    ticks->append(x, y);
    last = x, first = false;
  }
  return ticks;
}

}  // namespace kelvane::ui
