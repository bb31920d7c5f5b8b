#pragma once
// The window's one set of targets: the dialogs that search for settings
// open with the Results window's Targets page in force, so that a target of
// 7 % there is 7 % in every dialog.  A target the page does not set leaves
// the dialog's own default.

#include <optional>

#include <QString>

class QCheckBox;
class QLineEdit;

namespace kelvane::ui {

// A target's figure as the engineer would type it: "7", "0.5", "1e-05".
QString TargetFigure(double value);

// Ticks `box` and puts the figure into `edit` when `value` is set.
void FillTarget(QCheckBox* box, QLineEdit* edit, const std::optional<double>& value);

}  // namespace kelvane::ui
