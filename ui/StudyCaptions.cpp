#include "ui/StudyCaptions.h"

#include <QtCharts/QValueAxis>

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

void RoundAxis(QValueAxis* axis, double lo, double hi) {
  if (!(hi > lo)) hi = lo + (lo != 0 ? std::abs(lo) * 0.1 : 1);
  axis->setRange(lo, hi);
  axis->applyNiceNumbers();
  axis->setLabelFormat(QStringLiteral("%.4g"));
}

}  // namespace kelvane::ui
