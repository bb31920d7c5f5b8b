#include "ui/BoilingLines.h"

#include <QPen>
#include <QtCharts/QLineSeries>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvane::ui {

double BubblePoint(const RunParameters& p, double phi1, double phi2) {
  // The bubble pressure rises with the temperature: bisection.
  double lo = -100, hi = 500;
  if (!(BubblePressure(p, hi, phi1, phi2) >= 760) || BubblePressure(p, lo, phi1, phi2) >= 760)
    return std::numeric_limits<double>::quiet_NaN();
  for (int i = 0; i < 40; ++i) {
    const double mid = 0.5 * (lo + hi);
    (BubblePressure(p, mid, phi1, phi2) >= 760 ? hi : lo) = mid;
  }
  return 0.5 * (lo + hi);
}

QLineSeries* BubblePointLine(const RunTrace& trace, const std::function<double(int, const TracePoint&)>& x) {
  auto* line = new QLineSeries;
  line->setName(QStringLiteral("Bubble point at the base film"));
  QPen pen(QColor(0x80, 0x20, 0x80));
  pen.setStyle(Qt::DashLine);
  pen.setWidthF(1.3);
  line->setPen(pen);
  std::size_t count = 0;
  for (const ZoneTrace& z : trace.Zones) count += z.Points.size();
  const std::size_t stride = std::max<std::size_t>(1, count / 400);  // about 400 points
  std::size_t k = 0;
  for (const ZoneTrace& z : trace.Zones)
    for (const TracePoint& t : z.Points)
      if (k++ % stride == 0)
        if (const double T = BubblePoint(trace.Params, t.Base1, t.Base2); std::isfinite(T)) line->append(x(z.Zone, t), T);
  if (line->count() > 0) return line;
  delete line;
  return nullptr;
}

std::vector<QLineSeries*> BoilingLines(const RunTrace& trace, const RunSummary& summary, bool time,
                                       const ResultFileData& data) {
  std::vector<QLineSeries*> lines;
  if (trace.Zones.empty()) return lines;
  auto x = [&](int zone, const TracePoint& t) { return time ? t.Time : data.ZoneStart(zone) + t.Position; };
  const ZoneTrace& first = trace.Zones.front();
  const ZoneTrace& last = trace.Zones.back();
  if (first.Points.empty() || last.Points.empty()) return lines;
  const double x0 = x(first.Zone, first.Points.front()), x1 = x(last.Zone, last.Points.back());

  bool solvent[3] = {false, false, false}, bubble = false;
  for (const Warning& w : summary.Warnings) {
    if (w.Kind == WarningKind::AboveBoilingPoint && (w.Solvent == 1 || w.Solvent == 2)) solvent[w.Solvent] = true;
    if (w.Kind == WarningKind::Boiling) bubble = true;
  }
  const RunParameters& p = trace.Params;
  for (int s = 1; s <= 2; ++s) {
    if (!solvent[s]) continue;
    const double boil = s == 1 ? NormalBoilingPoint(p.VaporA1, p.VaporB1, p.VaporC1)
                               : NormalBoilingPoint(p.VaporA2, p.VaporB2, p.VaporC2);
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Boiling point of solvent %1 (%2 ℃)").arg(s).arg(boil, 0, 'f', 1));
    QPen pen(s == 1 ? QColor(0x1f, 0x5f, 0xbf) : QColor(0xd0, 0x5a, 0x10));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.3);
    line->setPen(pen);
    line->append(x0, boil);
    line->append(x1, boil);
    lines.push_back(line);
  }
  if (bubble)
    if (QLineSeries* line = BubblePointLine(trace, x)) lines.push_back(line);
  return lines;
}

}  // namespace kelvane::ui
