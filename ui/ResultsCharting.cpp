// The Results window's shared chart helpers.

#include "ui/ResultsCharting.h"

#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace kelvane::ui {

const char* const ChartTitles[ResultsWindow::ChartCount] = {
    "Film temperature", "Solvent remaining", "Average concentrations", "Coating thickness",
    "Concentration profiles"};
const char* const ChartTabs[ResultsWindow::ChartCount] = {"Film temperature", "Solvent remaining", "Concentrations",
                                                          "Thickness", "Profiles"};


namespace {

double Temp(const ResultRow& r) { return r.Temp; }
double Remaining(const ResultRow& r) { return r.SolRemain; }
double Conc1(const ResultRow& r) { return r.AvgConc1; }
double Conc2(const ResultRow& r) { return r.AvgConc2; }
double ThickUm(const ResultRow& r) { return r.CoatThick * 1.0e4; }

}  // namespace

double RemainingGrams(const ResultRow& r) { return (r.AvgConc1 + r.AvgConc2) * r.CoatThick * 1.0e4; }

const QColor Solvent1Colour(0x1f, 0x5f, 0xbf);
const QColor Solvent2Colour(0xd0, 0x5a, 0x10);

QColor OverlayColour(int index) {
  static const QColor colours[] = {QColor(0x45, 0x45, 0x45), QColor(0x00, 0x9a, 0xa0), QColor(0xb0, 0x00, 0x90),
                                   QColor(0x7a, 0x5c, 0x00)};
  return colours[static_cast<std::size_t>(index) % std::size(colours)];
}

QColor WarningMarkColour() { return QColor(0x20, 0x20, 0x20); }

std::vector<Quantity> QuantitiesOf(ResultsWindow::Chart chart, bool grams) {
  switch (chart) {
    case ResultsWindow::Temperature: return {{QStringLiteral("Film temperature"), Temp, QColor(0xc0, 0x10, 0x20)}};
    case ResultsWindow::Remaining:
      return {{QStringLiteral("Solvent remaining"), grams ? RemainingGrams : Remaining, QColor(0x10, 0x80, 0x40)}};
    case ResultsWindow::Concentrations:
      return {{QStringLiteral("Solvent 1"), Conc1, Solvent1Colour}, {QStringLiteral("Solvent 2"), Conc2, Solvent2Colour}};
    case ResultsWindow::Thickness: return {{QStringLiteral("Coating thickness"), ThickUm, QColor(0x60, 0x30, 0x90)}};
    default: return {};
  }
}

QString YTitle(ResultsWindow::Chart chart, bool grams) {
  switch (chart) {
    case ResultsWindow::Temperature: return QStringLiteral("Temperature (℃)");
    case ResultsWindow::Remaining:
      return grams ? QStringLiteral("Solvent remaining (g/m²)") : QStringLiteral("Solvent remaining (%)");
    case ResultsWindow::Concentrations: return QStringLiteral("Average concentration (g/cm³)");
    case ResultsWindow::Thickness: return QStringLiteral("Coating thickness (μm)");
    default: return QStringLiteral("Concentration (g/cm³)");
  }
}

QString UnitOf(ResultsWindow::Chart chart, bool grams) {
  switch (chart) {
    case ResultsWindow::Temperature: return QStringLiteral("℃");
    case ResultsWindow::Remaining: return grams ? QStringLiteral("g/m²") : QStringLiteral("%");
    case ResultsWindow::Thickness: return QStringLiteral("μm");
    default: return QStringLiteral("g/cm³");
  }
}

// A padded range around [lo, hi].
void Pad(double& lo, double& hi, bool floorAtZero) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  double span = hi - lo;
  if (span <= 0) span = std::max(std::fabs(hi), 1.0) * 0.1;
  lo -= span * 0.05;
  hi += span * 0.05;
  if (floorAtZero && lo < 0 && lo > -span * 0.1) lo = 0;
}

QValueAxis* NewValueAxis(const QString& title) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%.4g"));
  return axis;
}

// Ticks at round values (1, 2 or 5 times a power of ten) over the range.
void RoundTicks(QValueAxis* axis, double lo, double hi, int ticks) {
  axis->setRange(lo, hi);
  const double raw = (hi - lo) / ticks;
  if (!(raw > 0) || !std::isfinite(raw)) return;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double n = raw / magnitude;
  const double step = (n < 1.5 ? 1 : n < 3 ? 2 : n < 7 ? 5 : 10) * magnitude;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
}

}  // namespace kelvane::ui
