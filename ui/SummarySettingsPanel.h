#pragma once
// The "Targets" page beside the Summary page: the residual target (in %,
// g/m² or ppm), the film-temperature limit, the web width and the
// thresholds of the above-boiling-point and skinning warnings.  The texts
// are read by the same library code as kelvane-run's options; a text that
// cannot be read is named under the fields, tinted, and the settings read
// last stay in force.

#include <QWidget>

#include "summary/SummarySettingsText.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSettings;

namespace kelvane::ui {

class SummarySettingsPanel : public QWidget {
  Q_OBJECT

 public:
  explicit SummarySettingsPanel(QWidget* parent = nullptr);

  // The settings in force (the defaults until texts are read).
  const SummarySettings& Settings() const { return settings_; }
  SummarySettingsTexts Texts() const;
  // Puts `texts` into the fields and reads them; false (with the message
  // shown) when one cannot be read.
  bool SetTexts(const SummarySettingsTexts& texts);
  // Reads the fields; false with the message shown when one cannot be read.
  bool Apply();
  QString Error() const;

  QLineEdit* Field(SummarySettingField field) const;
  QComboBox* ResidualUnitBox() const { return unit_; }

  void Save(QSettings& settings) const;
  void Restore(QSettings& settings);

 signals:
  // New settings are in force.
  void Changed();

 private:
  QLineEdit* residual_ = nullptr;
  QComboBox* unit_ = nullptr;
  QLineEdit* maxTemperature_ = nullptr;
  QLineEdit* webWidth_ = nullptr;
  QLineEdit* boilingShare_ = nullptr;
  QLineEdit* skinPolymer_ = nullptr;
  QLineEdit* skinRemaining_ = nullptr;
  QLabel* error_ = nullptr;
  SummarySettings settings_;
  SummarySettingsTexts applied_;
};

}  // namespace kelvane::ui
