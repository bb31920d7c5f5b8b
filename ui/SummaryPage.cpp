#include "ui/SummaryPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "summary/SummaryText.h"

namespace kelvane::ui {

QString FixedFigure(double v, int decimals) {
  QString text = QString::number(v, 'f', decimals);
  if (text.startsWith(QLatin1Char('-')) && text.toDouble() == 0) text.remove(0, 1);
  return text;
}

namespace {

struct Column {
  const char* Title;  // up to three short lines, the unit last
  QString (*Text)(const ZoneSummary&);
};

QString Dash() { return QStringLiteral("—"); }

const Column kZoneColumns[] = {
    {"Zone", [](const ZoneSummary& z) { return QString::number(z.Zone) + (z.Complete ? "" : " (stopped)"); }},
    {"Gas\n℃", [](const ZoneSummary& z) { return FixedFigure(z.GasTemperature, 1); }},
    {"Film at\nentry\n℃", [](const ZoneSummary& z) { return FixedFigure(z.EntryTemperature, 1); }},
    {"Film at\nexit\n℃", [](const ZoneSummary& z) { return FixedFigure(z.ExitTemperature, 1); }},
    {"Hottest\nfilm\n℃", [](const ZoneSummary& z) { return FixedFigure(z.MaxTemperature.Value, 1); }},
    {"Film within\n1 K of gas\nfrom m",
     [](const ZoneSummary& z) { return z.NearGas ? FixedFigure(z.NearGas->Position, 2) : Dash(); }},
    {"Solvent\nleft\n%", [](const ZoneSummary& z) { return FixedFigure(z.RemainingPercent, 2); }},
    {"Left of\nsolvent 1\ng/m²", [](const ZoneSummary& z) { return FixedFigure(z.Remaining1, 2); }},
    {"Left of\nsolvent 2\ng/m²", [](const ZoneSummary& z) { return FixedFigure(z.Remaining2, 2); }},
    {"Solvent 1\nevaporated\ng/m²", [](const ZoneSummary& z) { return FixedFigure(z.Evaporated1, 2); }},
    {"Solvent 2\nevaporated\ng/m²", [](const ZoneSummary& z) { return FixedFigure(z.Evaporated2, 2); }},
    {"Coating\nat exit\nμm", [](const ZoneSummary& z) { return FixedFigure(z.ExitThickness, 2); }},
    {"Boiling\nmargin\nmmHg", [](const ZoneSummary& z) { return FixedFigure(z.MinBoilingMargin.Value, 1); }},
};

const Column kHeatColumns[] = {
    {"Zone", [](const ZoneSummary& z) { return QString::number(z.Zone); }},
    {"Heat from\nthe gas\nkJ/m²", [](const ZoneSummary& z) { return FixedFigure(z.Heat.FromGas, 2); }},
    {"Latent\n(evaporation)\nkJ/m²", [](const ZoneSummary& z) { return FixedFigure(z.Heat.Latent, 2); }},
    {"Sensible\n(warming)\nkJ/m²", [](const ZoneSummary& z) { return FixedFigure(z.Heat.Sensible, 2); }},
    {"Balance\nresidual\nkJ/m²", [](const ZoneSummary& z) { return FixedFigure(z.Heat.Residual, 3); }},
    {"Heat per kg\nevaporated\nkJ/kg",
     [](const ZoneSummary& z) { return z.Heat.SpecificEnergy ? FixedFigure(*z.Heat.SpecificEnergy, 0) : Dash(); }},
    {"Heat over\nthe web width\nkW", [](const ZoneSummary& z) { return z.Heat.Power ? FixedFigure(*z.Heat.Power, 2) : Dash(); }},
};

QString Optional(const std::optional<double>& v, int decimals) { return v ? FixedFigure(*v, decimals) : Dash(); }

// The dryer's air per zone: kg/h, m³/h and kW need a web width, the % of
// the LFL a flow given on the Air page.
const Column kAirColumns[] = {
    {"Zone", [](const ZoneSummary& z) { return QString::number(z.Zone); }},
    {"Solvent\ngiven off\ng/(s·m)", [](const ZoneSummary& z) { return FixedFigure(z.Air.GivenOffPerWidth, 3); }},
    {"Solvent\ngiven off\nkg/h", [](const ZoneSummary& z) { return Optional(z.Air.GivenOffKgPerHour, 2); }},
    {"Exhaust\nneeded\nm³/h", [](const ZoneSummary& z) { return Optional(z.Air.ExhaustNeeded, 0); }},
    {"Exhaust\nof the LFL\n%", [](const ZoneSummary& z) { return Optional(z.Air.ExhaustLflPercent, 1); }},
    {"Make-up\nair's heat\nkW", [](const ZoneSummary& z) { return Optional(z.Air.AirHeatKw, 1); }},
    {"Zone's\nenergy\nkJ/m²", [](const ZoneSummary& z) { return Optional(z.Air.EnergyPerArea, 1); }},
};

template <std::size_t N>
QTableWidget* NewTable(QWidget* parent, const char* name, const Column (&columns)[N]) {
  auto* table = new QTableWidget(0, static_cast<int>(N), parent);
  table->setObjectName(QString::fromLatin1(name));
  QStringList titles;
  for (const Column& c : columns) titles << QString::fromUtf8(c.Title);
  table->setHorizontalHeaderLabels(titles);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  return table;
}

template <std::size_t N>
void Fill(QTableWidget* table, const std::vector<ZoneSummary>& zones, const Column (&columns)[N]) {
  table->setRowCount(static_cast<int>(zones.size()));
  for (int row = 0; row < static_cast<int>(zones.size()); ++row)
    for (int c = 0; c < static_cast<int>(N); ++c) {
      auto* item = new QTableWidgetItem(columns[c].Text(zones[static_cast<std::size_t>(row)]));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table->setItem(row, c, item);
    }
}

// A table as tall as its header and rows: the page scrolls, not the table.
void FitTable(QTableWidget* table) {
  int height = table->horizontalHeader()->height() + 2 * table->frameWidth();
  for (int r = 0; r < table->rowCount(); ++r) height += table->rowHeight(r);
  if (table->horizontalScrollBar()->isVisible()) height += table->horizontalScrollBar()->height();
  table->setFixedHeight(height);
}

}  // namespace

SummaryPage::SummaryPage(QWidget* parent) : QScrollArea(parent) {
  setObjectName(QStringLiteral("SummaryPage"));
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  auto* content = new QWidget(this);
  auto* layout = new QVBoxLayout(content);
  runLine_ = new QLabel(content);
  runLine_->setObjectName(QStringLiteral("RunLine"));
  runLine_->setWordWrap(true);
  runLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(runLine_);

  table_ = NewTable(content, "ZoneTable", kZoneColumns);
  layout->addWidget(table_);
  layout->addWidget(new QLabel(QStringLiteral("Heat taken up from the gas per m² of web:"), content));
  heat_ = NewTable(content, "HeatTable", kHeatColumns);
  layout->addWidget(heat_);
  layout->addWidget(new QLabel(QStringLiteral("The dryer's air (settings on the Air page):"), content));
  air_ = NewTable(content, "AirTable", kAirColumns);
  layout->addWidget(air_);

  layout->addWidget(new QLabel(QStringLiteral("Warnings (click one to show it on the charts):"), content));
  warnings_ = new QListWidget(content);
  warnings_->setObjectName(QStringLiteral("WarningList"));
  warnings_->setWordWrap(true);
  warnings_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  warnings_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(warnings_);
  layout->addStretch(1);
  setWidget(content);
  auto chosen = [this](QListWidgetItem* item) {
    if (const int index = item->data(Qt::UserRole).toInt(); index >= 0) emit WarningChosen(index);
  };
  connect(warnings_, &QListWidget::itemActivated, this, chosen);
  connect(warnings_, &QListWidget::itemClicked, this, chosen);
}

void SummaryPage::Clear() {
  runLine_->clear();
  table_->setRowCount(0);
  heat_->setRowCount(0);
  air_->setRowCount(0);
  warnings_->clear();
}

void SummaryPage::Show(const RunSummary& s) {
  Clear();
  const RunTotals& r = s.Run;
  const size_t n = s.Warnings.size();
  // A run that did not finish says so before any figure, with where and
  // why; its figures are those at the stop, not at the exit.
  const bool finished = r.End.Kind == RunEndKind::Finished;
  QString line = QString::fromStdString(StopAccount(s));
  QString state = finished ? QStringLiteral("Finished") : QStringLiteral("At the stop");
  state += n == 0   ? (finished ? QStringLiteral(", no warnings") : QStringLiteral(", no warnings up to the stop"))
                    : QStringLiteral(", %1 warning%2").arg(n).arg(n == 1 ? "" : "s");
  if (r.TargetMet) state += *r.TargetMet ? QStringLiteral(", residual target met") : QStringLiteral(", residual target missed");
  line += QStringLiteral("%1: %2 % of the solvent left%3 (%4 g/m², %5 ppm of the dry coating); "
                         "dry thickness %6 μm; heat from the gas %7 kJ/m²")
              .arg(state)
              .arg(FixedFigure(r.ResidualPercent, 2))
              .arg(finished ? QStringLiteral(" at the exit") : QString())
              .arg(FixedFigure(r.ResidualGrams, 2))
              .arg(FixedFigure(r.ResidualPpm, 0))
              .arg(FixedFigure(r.DryThickness, 2))
              .arg(FixedFigure(r.TotalHeat, 1));
  if (r.TotalPower) line += QStringLiteral(" (%1 kW)").arg(FixedFigure(*r.TotalPower, 1));
  line += QStringLiteral("; %1 s.").arg(FixedFigure(r.TotalTime, 1));
  // Where the robust solve took over, as the runner tells it.
  if (!r.End.Takeover.empty()) line += ' ' + QString::fromStdString(r.End.Takeover);
  runLine_->setText(line);

  Fill(table_, s.Zones, kZoneColumns);
  Fill(heat_, s.Zones, kHeatColumns);
  Fill(air_, s.Zones, kAirColumns);
  // The kW column only with a web width.
  heat_->setColumnHidden(static_cast<int>(std::size(kHeatColumns)) - 1, !r.TotalPower);
  for (int i = 0; i < static_cast<int>(s.Warnings.size()); ++i) {
    const Warning& w = s.Warnings[i];
    auto* item = new QListWidgetItem(QString::fromStdString(w.Text), warnings_);
    item->setData(Qt::UserRole, i);
    const bool caution = w.Kind == WarningKind::AboveBoilingPoint || w.Kind == WarningKind::Uptake;
    item->setForeground(caution ? QColor(0x80, 0x50, 0x00) : QColor(0xb0, 0x10, 0x10));
  }
  if (s.Warnings.empty()) new QListWidgetItem(QStringLiteral("No warnings."), warnings_);
  if (s.Warnings.empty()) warnings_->item(0)->setData(Qt::UserRole, -1);
  FitHeights();
}

void SummaryPage::resizeEvent(QResizeEvent* event) {
  QScrollArea::resizeEvent(event);
  FitHeights();
}

void SummaryPage::FitHeights() {
  FitTable(table_);
  FitTable(heat_);
  FitTable(air_);
  // The warnings as tall as their lines wrapped at the list's width.
  const int width = std::max(100, warnings_->viewport()->width() - 8);
  int height = 2 * warnings_->frameWidth() + 4;
  for (int i = 0; i < warnings_->count(); ++i)
    height += warnings_->fontMetrics()
                  .boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, warnings_->item(i)->text())
                  .height() + 4;
  warnings_->setFixedHeight(std::max(height, warnings_->fontMetrics().height() + 8));
}

}  // namespace kelvane::ui
