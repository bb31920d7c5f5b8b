#pragma once
// The "Air" page of the results: the dryer's air settings (the room's
// temperature, each zone's exhaust flow, the solvents' LFLs and the share of
// the LFL allowed, the zone balance of the next run) and a chart of each
// zone's exhaust in % of the LFL against the allowed share.  The texts are
// read by the same library code as kelvane-run's options.

#include <QWidget>
#include <array>

#include "summary/RunSummary.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QChartView;

namespace kelvane::ui {

class AirPanel : public QWidget {
  Q_OBJECT

 public:
  explicit AirPanel(QWidget* parent = nullptr);

  // The settings in force (the defaults until texts are read).
  const AirSettings& Settings() const { return settings_; }
  // Reads the fields; false with the message shown when one cannot be read.
  bool Apply();
  // The chart of the summary shown.
  void Show(const RunSummary& s);

  QLineEdit* ExhaustField(int zone) const { return exhaust_[zone]; }
  QCheckBox* ZoneBalanceBox() const { return balance_; }
  QChartView* Chart() const { return chart_; }

 signals:
  void Changed();

 private:
  QLineEdit* room_ = nullptr;
  QLineEdit* lfl1_ = nullptr;
  QLineEdit* lfl2_ = nullptr;
  QLineEdit* share_ = nullptr;
  std::array<QLineEdit*, AirMaxZones + 1> exhaust_{};
  QCheckBox* balance_ = nullptr;
  QLabel* error_ = nullptr;
  QChartView* chart_ = nullptr;
  AirSettings settings_;
};

}  // namespace kelvane::ui
