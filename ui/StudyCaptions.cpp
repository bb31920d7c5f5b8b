#include "ui/StudyCaptions.h"

#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

#include "study/StudyTable.h"

namespace kelvane::ui {

QString FieldLabel(const FieldSpec& f) {
  const QString caption = QString::fromStdString(f.Caption);
  return f.Zone > 0 ? QStringLiteral("Zone %1: %2").arg(f.Zone).arg(caption) : caption;
}

QString ColumnCaption(const SummaryColumn& column) { return QString::fromUtf8(column.Caption); }

QString Readable(const std::optional<double>& value) {
  return value ? QString::fromStdString(ReadableNumber(*value)) : QString();
}

QString ReadableAgainst(double value, const std::optional<double>& limit) {
  QString text = Readable(value);
  if (!limit || value == *limit || text != Readable(*limit)) return text;
  for (int digits = 5; digits <= 17; ++digits) {
    text = QString::number(value, 'g', digits);
    if (text != QString::number(*limit, 'g', digits)) break;
  }
  return text;
}

std::vector<QString> ColumnFigures(const std::vector<std::optional<double>>& values) {
  double largest = 0;
  bool counts = true;  // whole numbers, such as the warnings of a run
  for (const auto& v : values)
    if (v && std::isfinite(*v)) {
      largest = std::max(largest, std::abs(*v));
      counts = counts && *v == std::round(*v);
    }
  const int magnitude = largest > 0 ? static_cast<int>(std::floor(std::log10(largest))) : 0;
  const int decimals = counts ? 0 : std::clamp(3 - magnitude, 0, 6);
  const double unit = magnitude > 3 ? std::pow(10.0, magnitude - 3) : 1.0;
  std::vector<QString> out;
  out.reserve(values.size());
  for (const auto& v : values) {
    if (!v) out.emplace_back();
    else if (!std::isfinite(*v)) out.push_back(QString::number(*v));
    else out.push_back(QString::number(unit > 1 ? std::round(*v / unit) * unit : *v, 'f', decimals));
  }
  return out;
}

void RoundAxis(QValueAxis* axis, double lo, double hi) {
  if (!(hi > lo)) hi = lo + (lo != 0 ? std::abs(lo) * 0.1 : 1);
  axis->setRange(lo, hi);
  axis->applyNiceNumbers();
  axis->setLabelFormat(QStringLiteral("%.4g"));
}

}  // namespace kelvane::ui
