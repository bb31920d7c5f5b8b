#include "ui/AirPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

#include "air/AirSettingsText.h"

namespace kelvane::ui {

namespace {

const QColor kTint(255, 214, 150);

void Tint(QLineEdit* edit, bool on) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Base, on ? kTint : QApplication::palette(edit).color(QPalette::Base));
  edit->setPalette(palette);
}

// The whole text as a number; false for anything else.
bool Number(const QString& text, double& v) {
  bool ok = false;
  v = text.trimmed().toDouble(&ok);
  return ok && std::isfinite(v);
}

}  // namespace

AirPanel::AirPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("AirPage"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral("The dryer's air: each zone exhausts what the coating gives off there and "
                                          "takes in as much make-up air from the room, heated to the zone's gas. "
                                          "Flows are m³/h at the zone's gas temperature for the whole web (they "
                                          "need the web width on the Targets page); an empty field gives none."),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  auto edit = [this](const char* name, const QString& text) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(90);
    connect(e, &QLineEdit::editingFinished, this, [this] { Apply(); });
    connect(e, &QLineEdit::textEdited, this, [e] { Tint(e, false); });
    return e;
  };
  room_ = edit("RoomTemperature", QStringLiteral("20"));
  form->addRow(QStringLiteral("Room (make-up air) temperature (℃):"), room_);
  lfl1_ = edit("Lfl1", QStringLiteral("1.1"));
  lfl2_ = edit("Lfl2", QStringLiteral("2.0"));
  auto* lfls = new QHBoxLayout;
  lfls->addWidget(lfl1_);
  lfls->addWidget(new QLabel(QStringLiteral("and"), this));
  lfls->addWidget(lfl2_);
  lfls->addStretch(1);
  form->addRow(QStringLiteral("Solvents' LFL at 25 ℃ (% by volume):"), lfls);
  share_ = edit("LflShare", QStringLiteral("25"));
  form->addRow(QStringLiteral("Exhaust allowed up to (% of the LFL):"), share_);
  auto* grid = new QGridLayout;
  for (int k = 1; k <= AirMaxZones; ++k) {
    exhaust_[k] = edit(qPrintable(QStringLiteral("Exhaust%1").arg(k)), QString());
    exhaust_[k]->setPlaceholderText(QStringLiteral("zone %1").arg(k));
    grid->addWidget(exhaust_[k], (k - 1) / 7, (k - 1) % 7);
  }
  form->addRow(QStringLiteral("Exhaust per zone (m³/h):"), grid);
  balance_ = new QCheckBox(QStringLiteral("Zones' gas carries what the coating gave off (next run; zones with a flow)"),
                           this);
  balance_->setObjectName(QStringLiteral("ZoneBalance"));
  connect(balance_, &QCheckBox::toggled, this, [this] { Apply(); });
  form->addRow(balance_);
  error_ = new QLabel(this);
  error_->setObjectName(QStringLiteral("AirError"));
  error_->setStyleSheet(QStringLiteral("color: #b01010"));
  layout->addWidget(error_);

  chart_ = new QChartView(new QChart, this);
  chart_->setObjectName(QStringLiteral("LflChart"));
  chart_->setRenderHint(QPainter::Antialiasing);
  chart_->chart()->setTitle(QStringLiteral("Exhaust per zone, % of the LFL"));
  chart_->chart()->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMinimumHeight(220);
  layout->addWidget(chart_, 1);
}

bool AirPanel::Apply() {
  AirSettings a;
  std::string why;
  QLineEdit* bad = nullptr;
  auto read = [&](QLineEdit* e, double& v, bool (*check)(double, std::string&)) {
    if (bad) return;
    if (!Number(e->text(), v)) why = "not a number";
    else if (check(v, why)) return;
    bad = e;
  };
  read(room_, a.RoomTemperature, CheckRoomTemperature);
  read(lfl1_, a.Lfl1, CheckLfl);
  read(lfl2_, a.Lfl2, CheckLfl);
  read(share_, a.LflShare, CheckLflShare);
  for (int k = 1; k <= AirMaxZones && !bad; ++k) {
    if (exhaust_[k]->text().trimmed().isEmpty()) continue;
    double flow = 0;
    read(exhaust_[k], flow, CheckExhaustFlow);
    if (!bad) a.ExhaustFlow[k] = flow;
  }
  a.ZoneBalance = balance_->isChecked();
  if (bad) {
    Tint(bad, true);
    error_->setText(QStringLiteral("%1: %2; the settings read last stay in force.")
                        .arg(bad->objectName(), QString::fromStdString(why)));
    return false;
  }
  error_->clear();
  settings_ = a;
  emit Changed();
  return true;
}

void AirPanel::Show(const RunSummary& s) {
  // A new chart each time: no axis of an earlier run's zones stays behind.
  QChart* old = chart_->chart();
  auto* chart = new QChart;
  chart->setTitle(old->title());
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart_->setChart(chart);
  delete old;
  auto* bars = new QBarSeries;
  auto* given = new QBarSet(QStringLiteral("Exhaust at the given flow"));
  QStringList zones;
  double top = settings_.LflShare;
  for (const ZoneSummary& z : s.Zones) {
    zones << QString::number(z.Zone);
    const double v = z.Air.ExhaustLflPercent.value_or(0);
    *given << v;
    top = std::max(top, v);
  }
  bars->append(given);
  chart->addSeries(bars);
  auto* share = new QLineSeries;
  share->setName(QStringLiteral("Allowed share (%1 %)").arg(settings_.LflShare));
  share->append(-0.5, settings_.LflShare);
  share->append(std::max<qsizetype>(zones.size(), 1) - 0.5, settings_.LflShare);
  chart->addSeries(share);
  auto* x = new QBarCategoryAxis;
  x->append(zones);
  x->setTitleText(QStringLiteral("Zone"));
  auto* y = new QValueAxis;
  y->setRange(0, top * 1.15);
  y->setTitleText(QStringLiteral("% LFL"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  bars->attachAxis(x);
  bars->attachAxis(y);
  // On the category axis the zones stand at 0, 1, ...: the share's line
  // spans them from edge to edge.
  share->attachAxis(x);
  share->attachAxis(y);
}

}  // namespace kelvane::ui
