#include "ui/SharedTargets.h"

#include <QCheckBox>
#include <QLineEdit>

namespace kelvane::ui {

QString TargetFigure(double value) { return QString::number(value, 'g', 12); }

void FillTarget(QCheckBox* box, QLineEdit* edit, const std::optional<double>& value) {
  if (!value) return;
  box->setChecked(true);
  edit->setEnabled(true);
  edit->setText(TargetFigure(*value));
}

}  // namespace kelvane::ui
