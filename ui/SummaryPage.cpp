#include "ui/SummaryPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "summary/SummaryText.h"

namespace kelvane::ui {

namespace {

struct Column {
  const char* Title;
  QString (*Text)(const ZoneSummary&);
};

QString Fixed(double v, int decimals) { return QString::number(v, 'f', decimals); }

const Column kColumns[] = {
    {"Zone", [](const ZoneSummary& z) { return QString::number(z.Zone) + (z.Complete ? "" : " (stopped)"); }},
    {"Gas\n℃", [](const ZoneSummary& z) { return Fixed(z.GasTemperature, 1); }},
    {"Entry\n℃", [](const ZoneSummary& z) { return Fixed(z.EntryTemperature, 1); }},
    {"Exit\n℃", [](const ZoneSummary& z) { return Fixed(z.ExitTemperature, 1); }},
    {"Max\n℃", [](const ZoneSummary& z) { return Fixed(z.MaxTemperature.Value, 1); }},
    {"Near gas\nat m",
     [](const ZoneSummary& z) { return z.NearGas ? Fixed(z.NearGas->Position, 2) : QStringLiteral("—"); }},
    {"Left\n%", [](const ZoneSummary& z) { return Fixed(z.RemainingPercent, 2); }},
    {"Left 1\ng/m²", [](const ZoneSummary& z) { return Fixed(z.Remaining1, 2); }},
    {"Left 2\ng/m²", [](const ZoneSummary& z) { return Fixed(z.Remaining2, 2); }},
    {"Evap. 1\ng/m²", [](const ZoneSummary& z) { return Fixed(z.Evaporated1, 2); }},
    {"Evap. 2\ng/m²", [](const ZoneSummary& z) { return Fixed(z.Evaporated2, 2); }},
    {"Thickness\nμm", [](const ZoneSummary& z) { return Fixed(z.ExitThickness, 2); }},
    {"Heat\nkJ/m²", [](const ZoneSummary& z) { return Fixed(z.Heat.FromGas, 2); }},
    {"Latent\nkJ/m²", [](const ZoneSummary& z) { return Fixed(z.Heat.Latent, 2); }},
    {"Sensible\nkJ/m²", [](const ZoneSummary& z) { return Fixed(z.Heat.Sensible, 2); }},
    {"Residual\nkJ/m²", [](const ZoneSummary& z) { return Fixed(z.Heat.Residual, 3); }},
    {"kJ per kg\nevaporated",
     [](const ZoneSummary& z) { return z.Heat.SpecificEnergy ? Fixed(*z.Heat.SpecificEnergy, 0) : QStringLiteral("—"); }},
    {"Boiling margin\nmmHg", [](const ZoneSummary& z) { return Fixed(z.MinBoilingMargin.Value, 1); }},
};
constexpr int kColumnCount = sizeof kColumns / sizeof kColumns[0];

}  // namespace

SummaryPage::SummaryPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("SummaryPage"));
  auto* layout = new QVBoxLayout(this);
  runLine_ = new QLabel(this);
  runLine_->setObjectName(QStringLiteral("RunLine"));
  runLine_->setWordWrap(true);
  runLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(runLine_);

  table_ = new QTableWidget(0, kColumnCount, this);
  table_->setObjectName(QStringLiteral("ZoneTable"));
  QStringList titles;
  for (const Column& c : kColumns) titles << QString::fromUtf8(c.Title);
  table_->setHorizontalHeaderLabels(titles);
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(table_, 3);

  auto* title = new QLabel(QStringLiteral("Warnings (click one to show it on the charts):"), this);
  layout->addWidget(title);
  warnings_ = new QListWidget(this);
  warnings_->setObjectName(QStringLiteral("WarningList"));
  warnings_->setWordWrap(true);
  layout->addWidget(warnings_, 2);
  auto chosen = [this](QListWidgetItem* item) {
    if (const int index = item->data(Qt::UserRole).toInt(); index >= 0) emit WarningChosen(index);
  };
  connect(warnings_, &QListWidget::itemActivated, this, chosen);
  connect(warnings_, &QListWidget::itemClicked, this, chosen);
}

void SummaryPage::Clear() {
  runLine_->clear();
  table_->setRowCount(0);
  warnings_->clear();
}

void SummaryPage::Show(const RunSummary& s) {
  Clear();
  const RunTotals& r = s.Run;
  const size_t n = s.Warnings.size();
  QString state = r.End.Kind == RunEndKind::Finished
                      ? QStringLiteral("Finished")
                      : QStringLiteral("%1 in zone %2 at %3 m").arg(QString::fromLatin1(OutcomeName(r.End.Kind)))
                            .arg(r.StopZone)
                            .arg(r.StopPosition, 0, 'f', 2);
  state[0] = state[0].toUpper();
  state += n == 0 ? QStringLiteral(", no warnings") : QStringLiteral(", %1 warning%2").arg(n).arg(n == 1 ? "" : "s");
  if (r.TargetMet) state += *r.TargetMet ? QStringLiteral(", residual target met") : QStringLiteral(", residual target missed");
  QString line = QStringLiteral("%1: %2 % of the solvent left at the exit (%3 g/m², %4 ppm of the dry coating); "
                                "dry thickness %5 μm; heat from the gas %6 kJ/m²")
                     .arg(state)
                     .arg(r.ResidualPercent, 0, 'f', 2)
                     .arg(r.ResidualGrams, 0, 'f', 2)
                     .arg(r.ResidualPpm, 0, 'f', 0)
                     .arg(r.DryThickness, 0, 'f', 2)
                     .arg(r.TotalHeat, 0, 'f', 1);
  if (r.TotalPower) line += QStringLiteral(" (%1 kW)").arg(*r.TotalPower, 0, 'f', 1);
  line += QStringLiteral("; %1 s.").arg(r.TotalTime, 0, 'f', 1);
  if (r.End.Kind != RunEndKind::Finished && !r.End.Message.empty())
    line += ' ' + QString::fromStdString(r.End.Message);
  runLine_->setText(line);

  table_->setRowCount(static_cast<int>(s.Zones.size()));
  for (int row = 0; row < static_cast<int>(s.Zones.size()); ++row)
    for (int c = 0; c < kColumnCount; ++c) {
      auto* item = new QTableWidgetItem(kColumns[c].Text(s.Zones[row]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, c, item);
    }
  for (int i = 0; i < static_cast<int>(s.Warnings.size()); ++i) {
    const Warning& w = s.Warnings[i];
    auto* item = new QListWidgetItem(QString::fromStdString(w.Text), warnings_);
    item->setData(Qt::UserRole, i);
    const bool caution = w.Kind == WarningKind::AboveBoilingPoint || w.Kind == WarningKind::Uptake;
    item->setForeground(caution ? QColor(0x80, 0x50, 0x00) : QColor(0xb0, 0x10, 0x10));
  }
  if (s.Warnings.empty()) new QListWidgetItem(QStringLiteral("No warnings."), warnings_);
  if (s.Warnings.empty()) warnings_->item(0)->setData(Qt::UserRole, -1);
}

}  // namespace kelvane::ui
