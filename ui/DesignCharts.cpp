// The Design the dryer dialog's table and charts: every run of the design,
// each zone's gas temperature at the design over the current one, and the
// film temperature along the dryer at the design with the bubble point at
// the base film.

#include <QPen>
#include <QTableWidget>
#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

#include "study/StudyTable.h"
#include "ui/BoilingLines.h"
#include "ui/DesignDialog.h"
#include "ui/ResultsCharting.h"
#include "ui/SearchRows.h"
#include "ui/StudyCaptions.h"

namespace kelvane::ui {

namespace {

const char* const kFigures[] = {"final_residual_percent", "max_film_temperature_c", "min_boiling_margin_mmhg"};

void SmallLegend(QChart* chart) {
  chart->legend()->setAlignment(Qt::AlignBottom);
  QFont legend = chart->legend()->font();
  legend.setPointSizeF(legend.pointSizeF() * 0.9);
  chart->legend()->setFont(legend);
}

}  // namespace

// One row per run: the fields and the speed, whether it met the targets,
// the figures they are about, and how the run ended.  The figures stand
// right-aligned, each column to one number of decimals, so that the decimal
// points line up; the run's message comes last.
void DesignDialog::ShowRows() {
  QStringList header{QStringLiteral("Run")};
  for (const SearchedField& f : problem_.Fields) header << FieldLabel(*f.Field.Field);
  header << QStringLiteral("Web speed (m/s)") << QStringLiteral("Targets");
  for (const char* column : kFigures)
    header << ColumnCaption(SummaryColumns()[static_cast<std::size_t>(SummaryColumnIndex(column))]);
  header << QStringLiteral("Outcome");
  table_->setColumnCount(static_cast<int>(header.size()));
  table_->setHorizontalHeaderLabels(header);
  const int rows = static_cast<int>(result_.Evaluations.size());
  table_->setRowCount(rows);
  const std::size_t fields = problem_.Fields.size();
  const int verdict = static_cast<int>(fields) + 2, outcome = static_cast<int>(header.size()) - 1;
  // The figures, column by column: the searched values, the speed, then the
  // summary's figures of the runs that finished.
  std::vector<std::vector<std::optional<double>>> figures(static_cast<std::size_t>(header.size()));
  for (const RowResult& r : result_.Evaluations) {
    figures[0].push_back(static_cast<double>(r.Row.Number));
    for (std::size_t i = 0; i <= fields; ++i)
      figures[i + 1].push_back(i < r.Row.Values.size() ? std::optional<double>(SearchValue(r.Row.Values[i]))
                                                        : std::nullopt);
    const bool finished = r.Outcome == RowOutcome::Finished;
    int c = verdict + 1;
    for (const char* column : kFigures) figures[static_cast<std::size_t>(c++)].push_back(finished ? SummaryColumnOf(r, column) : std::nullopt);
  }
  for (int c = 0; c < outcome; ++c) {
    if (c == verdict) continue;
    const std::vector<QString> texts = ColumnFigures(figures[static_cast<std::size_t>(c)]);
    for (int row = 0; row < rows; ++row) {
      auto* item = new QTableWidgetItem(texts[static_cast<std::size_t>(row)]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(row, c, item);
    }
  }
  int row = 0;
  for (const RowResult& r : result_.Evaluations) {
    const bool finished = r.Outcome == RowOutcome::Finished;
    const bool stopped = r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun;
    std::string why;
    const bool met = DesignFeasible(problem_, r, &why);
    // A run that failed is no answer: "failed", never "missed".
    auto* judged = new QTableWidgetItem(stopped ? QString()
                                        : !finished ? QStringLiteral("failed")
                                        : met       ? QStringLiteral("met")
                                                    : QStringLiteral("missed"));
    judged->setForeground(!finished ? FailedColour() : met ? QColor(0, 128, 0) : QColor(192, 0, 0));
    if (!met) judged->setToolTip(QString::fromStdString(finished ? why : r.Message));
    table_->setItem(row, verdict, judged);
    std::string ended = RowOutcomeName(r.Outcome);
    if (!r.Message.empty()) ended += ": " + r.Message;
    table_->setItem(row, outcome, new QTableWidgetItem(QString::fromStdString(ended)));
    ++row;
  }
  FitColumns();
}

// Each zone's gas temperature at the design beside the current one.
void DesignDialog::DrawSchedule() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Gas temperature per zone"));
  const std::vector<ZoneGas> schedule = GasSchedule(problem_, result_, base_);
  if (schedule.empty()) {
    ShowChart(chart);
    return;
  }
  auto* now = new QBarSet(QStringLiteral("current"));
  now->setColor(QColor(0xa8, 0xa8, 0xa8));
  auto* designed = new QBarSet(QStringLiteral("design"));
  designed->setColor(QColor(0xe0, 0x60, 0x10));
  QStringList zones;
  double top = 0;
  for (const ZoneGas& z : schedule) {
    zones << QStringLiteral("Zone %1").arg(z.Zone);
    *now << z.Current;
    *designed << z.Designed;
    top = std::max({top, z.Current, z.Designed});
  }
  auto* bars = new QBarSeries;
  bars->append(now);
  bars->append(designed);
  bars->setLabelsVisible(true);
  bars->setLabelsFormat(QStringLiteral("@value"));
  bars->setLabelsPrecision(4);
  bars->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
  chart->addSeries(bars);
  auto* x = new QBarCategoryAxis;
  x->append(zones);
  auto* y = new QValueAxis;
  y->setTitleText(QStringLiteral("Gas temperature (℃)"));
  RoundAxis(y, 0, top * 1.08);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  bars->attachAxis(x);
  bars->attachAxis(y);
  SmallLegend(chart);
  ShowChart(chart);
}

// The film temperature along the dryer at the design, the gas over each
// zone, the bubble point at the base film and the film's limit.
void DesignDialog::DrawFilmTemperature() {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Film temperature and bubble point (base film)"));
  std::vector<QLineSeries*> series;
  double lo = std::numeric_limits<double>::infinity(), hi = -lo, xhi = 0;
  const RunParameters& p = trace_.Params;
  std::vector<double> starts(static_cast<std::size_t>(MaxZones) + 2, 0.0);
  for (int k = 1; k <= MaxZones; ++k) starts[k + 1] = starts[k] + p.ZoneLength[k];
  auto position = [&](int zone, const TracePoint& t) { return starts[static_cast<std::size_t>(zone)] + t.Position; };
  if (!trace_.Zones.empty()) {
    auto* film = new QLineSeries;
    film->setName(QStringLiteral("film"));
    film->setPen(QPen(QColor(0xc0, 0x10, 0x10), 1.8));
    auto* gas = new QLineSeries;
    gas->setName(QStringLiteral("gas"));
    gas->setPen(QPen(QColor(0xe0, 0x90, 0x00), 1.5, Qt::DashLine));
    for (const ZoneTrace& z : trace_.Zones) {
      for (const TracePoint& t : z.Points) film->append(position(z.Zone, t), t.FilmTemp);
      if (z.Points.empty()) continue;
      const double gasT = p.OuterTemperature[z.Zone];
      gas->append(position(z.Zone, z.Points.front()), gasT);
      gas->append(position(z.Zone, z.Points.back()), gasT);
    }
    series = {film, gas};
    if (QLineSeries* bubble = BubblePointLine(trace_, position)) {
      bubble->setName(QStringLiteral("bubble point"));
      series.push_back(bubble);
    }
    for (QLineSeries* s : series)
      for (const QPointF& q : s->points()) lo = std::min(lo, q.y()), hi = std::max(hi, q.y()), xhi = std::max(xhi, q.x());
    if (problem_.Goal.MaxFilmTemperature) {
      auto* limit = new QLineSeries;
      const double t = *problem_.Goal.MaxFilmTemperature;
      limit->setName(QStringLiteral("limit %1 ℃").arg(QString::fromStdString(ShortestNumber(t))));
      limit->setPen(QPen(QColor(0x30, 0x30, 0x30), 1.2, Qt::DotLine));
      limit->append(0, t);
      limit->append(xhi, t);
      lo = std::min(lo, t), hi = std::max(hi, t);
      series.push_back(limit);
    }
  }
  QChart* old = filmChart_->chart();
  filmChart_->setChart(chart);
  delete old;
  if (series.empty()) return;
  Pad(lo, hi, false);
  auto* x = NewValueAxis(QStringLiteral("Position along the dryer (m)"));
  RoundTicks(x, 0, xhi > 0 ? xhi : 1, 8);
  auto* y = NewValueAxis(QStringLiteral("Temperature (℃)"));
  RoundTicks(y, lo, hi, 8);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QLineSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
  }
  SmallLegend(chart);
}

}  // namespace kelvane::ui
