#include "ui/ResultsWindow.h"

#include <QCheckBox>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSlider>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTextStream>
#include <QVBoxLayout>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

#include "summary/RunTrace.h"
#include "ui/ChartView.h"
#include "ui/ProfileDepth.h"
#include "ui/SummaryPage.h"

namespace kelvane::ui {

namespace {

const char* const ChartTitles[ResultsWindow::ChartCount] = {
    "Film temperature", "Solvent remaining", "Average concentrations", "Coating thickness",
    "Concentration profiles"};

// One plotted quantity of the first table.
struct Quantity {
  QString Name;
  double (*Value)(const ResultRow&);
  QColor Colour;
};

double Temp(const ResultRow& r) { return r.Temp; }
double Remaining(const ResultRow& r) { return r.SolRemain; }
double Conc1(const ResultRow& r) { return r.AvgConc1; }
double Conc2(const ResultRow& r) { return r.AvgConc2; }
double ThickUm(const ResultRow& r) { return r.CoatThick * 1.0e4; }
double RemainingGrams(const ResultRow& r) { return (r.AvgConc1 + r.AvgConc2) * r.CoatThick * 1.0e4; }

const QColor Solvent1Colour(0x1f, 0x5f, 0xbf);
const QColor Solvent2Colour(0xd0, 0x5a, 0x10);

std::vector<Quantity> QuantitiesOf(ResultsWindow::Chart chart, bool grams = false) {
  switch (chart) {
    case ResultsWindow::Temperature: return {{QStringLiteral("Film temperature"), Temp, QColor(0xc0, 0x10, 0x20)}};
    case ResultsWindow::Remaining:
      return {{QStringLiteral("Solvent remaining"), grams ? RemainingGrams : Remaining, QColor(0x10, 0x80, 0x40)}};
    case ResultsWindow::Concentrations:
      return {{QStringLiteral("Solvent 1"), Conc1, Solvent1Colour}, {QStringLiteral("Solvent 2"), Conc2, Solvent2Colour}};
    case ResultsWindow::Thickness: return {{QStringLiteral("Coating thickness"), ThickUm, QColor(0x60, 0x30, 0x90)}};
    default: return {};
  }
}

QString YTitle(ResultsWindow::Chart chart, bool grams = false) {
  switch (chart) {
    case ResultsWindow::Temperature: return QStringLiteral("Temperature (℃)");
    case ResultsWindow::Remaining:
      return grams ? QStringLiteral("Solvent remaining (g/m²)") : QStringLiteral("Solvent remaining (%)");
    case ResultsWindow::Concentrations: return QStringLiteral("Average concentration (g/cm³)");
    case ResultsWindow::Thickness: return QStringLiteral("Coating thickness (μm)");
    default: return QStringLiteral("Concentration (g/cm³)");
  }
}

QString UnitOf(ResultsWindow::Chart chart, bool grams) {
  switch (chart) {
    case ResultsWindow::Temperature: return QStringLiteral("℃");
    case ResultsWindow::Remaining: return grams ? QStringLiteral("g/m²") : QStringLiteral("%");
    case ResultsWindow::Thickness: return QStringLiteral("μm");
    default: return QStringLiteral("g/cm³");
  }
}

// A padded range around [lo, hi].
void Pad(double& lo, double& hi, bool floorAtZero) {
  if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
  double span = hi - lo;
  if (span <= 0) span = std::max(std::fabs(hi), 1.0) * 0.1;
  lo -= span * 0.05;
  hi += span * 0.05;
  if (floorAtZero && lo < 0 && lo > -span * 0.1) lo = 0;
}

QValueAxis* NewValueAxis(const QString& title) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setLabelFormat(QStringLiteral("%.4g"));
  return axis;
}

// Ticks at round values (1, 2 or 5 times a power of ten) over the range.
void RoundTicks(QValueAxis* axis, double lo, double hi, int ticks) {
  axis->setRange(lo, hi);
  const double raw = (hi - lo) / ticks;
  if (!(raw > 0) || !std::isfinite(raw)) return;
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double n = raw / magnitude;
  const double step = (n < 1.5 ? 1 : n < 3 ? 2 : n < 7 ? 5 : 10) * magnitude;
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(step);
}

}  // namespace

ResultsWindow::ResultsWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("Results"));
  setWindowTitle(QStringLiteral("Results"));
  resize(860, 620);

  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  auto button = [&](QHBoxLayout* row, const QString& text, const char* name, auto slot) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, slot);
    row->addWidget(b);
    return b;
  };
  button(bar, QStringLiteral("Open Result File…"), "OpenResultFile", [this] { OpenClicked(); });
  button(bar, QStringLiteral("Compare With…"), "Compare", [this] { CompareClicked(); });
  button(bar, QStringLiteral("Clear Comparison"), "ClearComparison", [this] { ClearComparisons(); });
  bar->addStretch(1);
  button(bar, QStringLiteral("Export PNG…"), "ExportPng", [this] { ExportCurrent(false); });
  button(bar, QStringLiteral("Export SVG…"), "ExportSvg", [this] { ExportCurrent(true); });
  button(bar, QStringLiteral("Export CSV…"), "ExportCsv", [this] { ExportData(); });
  layout->addLayout(bar);

  auto* options = new QHBoxLayout;
  options->addWidget(new QLabel(QStringLiteral("Along the web:"), this));
  axisBox_ = new QComboBox(this);
  axisBox_->setObjectName(QStringLiteral("AxisBox"));
  axisBox_->addItems({QStringLiteral("Time (s)"), QStringLiteral("Position (m)")});
  connect(axisBox_, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetAxis(index == 1 ? Axis::Position : Axis::Time); });
  options->addWidget(axisBox_);
  options->addSpacing(12);
  options->addWidget(new QLabel(QStringLiteral("Solvent remaining in:"), this));
  unitBox_ = new QComboBox(this);
  unitBox_->setObjectName(QStringLiteral("RemainingUnitBox"));
  unitBox_->addItems({QStringLiteral("% of the initial solvent"), QStringLiteral("g/m²")});
  connect(unitBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
    SetRemainingUnit(index == 1 ? RemainingUnit::GramsPerSquareMetre : RemainingUnit::Percent);
  });
  options->addWidget(unitBox_);
  logBox_ = new QCheckBox(QStringLiteral("Log scale"), this);
  logBox_->setObjectName(QStringLiteral("LogScaleBox"));
  connect(logBox_, &QCheckBox::toggled, this, [this](bool on) { SetLogScale(on); });
  options->addWidget(logBox_);
  options->addStretch(1);
  button(options, QStringLiteral("Reset Zoom"), "ResetZoom", [this] { ResetZoom(); });
  layout->addLayout(options);

  sourceLabel_ = new QLabel(this);
  sourceLabel_->setObjectName(QStringLiteral("SourceLabel"));
  sourceLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(sourceLabel_);
  earlierLabel_ = new QLabel(this);
  earlierLabel_->setObjectName(QStringLiteral("EarlierLabel"));
  earlierLabel_->setWordWrap(true);
  earlierLabel_->setStyleSheet(
      QStringLiteral("QLabel { background: #fff1b8; color: #5a4000; border: 1px solid #d9b200; padding: 4px; }"));
  earlierLabel_->hide();
  layout->addWidget(earlierLabel_);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("ChartPages"));
  summaryPage_ = new SummaryPage(this);
  connect(summaryPage_, &SummaryPage::WarningChosen, this, &ResultsWindow::GoToWarning);
  pages_->addTab(summaryPage_, QStringLiteral("Summary"));
  for (int c = 0; c < ChartCount; ++c) {
    auto* view = new ChartView(new QChart, this);
    view->setObjectName(QStringLiteral("Chart%1").arg(c + 1));
    view->setRenderHint(QPainter::Antialiasing);
    view->chart()->setTitle(QString::fromLatin1(ChartTitles[c]));
    view->chart()->legend()->setAlignment(Qt::AlignBottom);
    views_[c] = view;
    connect(view, &ChartView::Hovered, this,
            [this, c](QPointF at) { readout_->setText(ReadoutAt(static_cast<Chart>(c), at.x())); });
    connect(view, &ChartView::Left, this, [this] { readout_->clear(); });
    if (c != Profiles) {
      pages_->addTab(view, QString::fromLatin1(ChartTitles[c]));
      continue;
    }
    auto* page = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(view, 1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 6);
    slider_ = new QSlider(Qt::Horizontal, page);
    slider_->setObjectName(QStringLiteral("ProfileSlider"));
    slider_->setRange(0, 0);
    sliderLabel_ = new QLabel(page);
    sliderLabel_->setObjectName(QStringLiteral("ProfileLabel"));
    sliderLabel_->setMinimumWidth(300);
    row->addWidget(new QLabel(QStringLiteral("Position along the web:"), page));
    row->addWidget(slider_, 1);
    row->addWidget(sliderLabel_);
    pageLayout->addLayout(row);
    connect(slider_, &QSlider::valueChanged, this, [this] { UpdateProfile(); });
    pages_->addTab(page, QString::fromLatin1(ChartTitles[c]));
  }
  layout->addWidget(pages_, 1);
  readout_ = new QLabel(this);
  readout_->setObjectName(QStringLiteral("Readout"));
  readout_->setMinimumHeight(readout_->fontMetrics().height() + 4);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(readout_);
  Rebuild();
}

QChart* ResultsWindow::ChartAt(Chart chart) const { return views_[chart]->chart(); }
QChartView* ResultsWindow::ViewAt(Chart chart) const { return views_[chart]; }
void ResultsWindow::ShowChart(Chart chart) { pages_->setCurrentIndex(chart + 1); }
void ResultsWindow::ShowSummary() { pages_->setCurrentIndex(0); }

void ResultsWindow::Plot(const ResultFileData& data, const QString& source, const std::vector<RescuedStep>& rescued,
                         const RunSummary* summary) {
  if (data.Zones.empty()) return;
  data_ = data;
  source_ = source;
  rescued_ = rescued;
  cursorAt_.reset();
  QString text = QStringLiteral("%1 — %2 zone%3 with results")
                     .arg(QDir::toNativeSeparators(source))
                     .arg(data.Zones.size())
                     .arg(data.Zones.size() == 1 ? "" : "s");
  if (data.Cancelled)
    text += QStringLiteral("; the calculation was cancelled in zone %1").arg(data.Conditions.back().Zone);
  else if (data.Conditions.size() > data.Zones.size())
    text += QStringLiteral("; the calculation stopped in zone %1").arg(data.Conditions.back().Zone);
  if (data.Truncated) text += QStringLiteral("; the file stops inside a zone's results, which are left out");
  if (!rescued.empty()) text += QStringLiteral("; %1 step%2 solved by the robust surface solve (yellow marks on the curves)")
                                    .arg(rescued.size())
                                    .arg(rescued.size() == 1 ? "" : "s");
  sourceLabel_->setText(text);
  // The run's own summary, or the one the file's columns allow.
  summary_ = {};
  if (summary) {
    summary_ = *summary;
  } else {
    RunTrace trace;
    std::string why;
    if (TraceFromResultFile(data, trace, why)) summary_ = SummarizeRun(trace);
  }
  summaryPage_->Show(summary_);
  readout_->clear();
  earlierLabel_->hide();
  setWindowTitle(QStringLiteral("Results"));
  Rebuild();
}

void ResultsWindow::MarkEarlier(const QString& why) {
  if (!HasData()) return;
  earlierLabel_->setText(QStringLiteral("Earlier result: %1 What is shown is the result of an earlier calculation (%2).")
                             .arg(why, QDir::toNativeSeparators(source_)));
  earlierLabel_->show();
  setWindowTitle(QStringLiteral("Results (earlier calculation)"));
}

bool ResultsWindow::ShowsEarlier() const { return !earlierLabel_->isHidden(); }

bool ResultsWindow::OpenResultFile(const QString& path) {
  const ResultFileRead read = ReadResultFile(QFile::encodeName(path).toStdString());
  const QString name = QDir::toNativeSeparators(path);
  if (!read.Ok) {
    Message(QStringLiteral("\"%1\" is not a result file: %2.\nNothing was plotted.")
                .arg(name, QString::fromStdString(read.Error)));
    return false;
  }
  if (read.Data.Zones.empty()) {
    Message(QStringLiteral("\"%1\" holds no zone results to plot: the calculation %2 in zone %3.")
                .arg(name)
                .arg(read.Data.Cancelled ? QStringLiteral("was cancelled") : QStringLiteral("stopped"))
                .arg(read.Data.Conditions.back().Zone));
    return false;
  }
  Plot(read.Data, path);
  return true;
}

void ResultsWindow::SetAxis(Axis axis) {
  if (axis == axis_) return;
  axis_ = axis;
  const QSignalBlocker block(axisBox_);
  axisBox_->setCurrentIndex(axis == Axis::Position ? 1 : 0);
  Rebuild();
}

double ResultsWindow::X(const ZoneResults& zone, size_t row) const { return X(data_, zone, row); }

double ResultsWindow::X(const ResultFileData& data, const ZoneResults& zone, size_t row) const {
  const ResultRow& r = zone.Rows[row];
  return axis_ == Axis::Time ? r.Time : data.ZoneStart(zone.Zone) + r.Length;
}

double ResultsWindow::XOf(const Where& at) const {
  return axis_ == Axis::Time ? at.Time : data_.ZoneStart(at.Zone) + at.Position;
}

// The first quantity of a chart at x, between the rows around it.
double ResultsWindow::ValueAt(const ResultFileData& data, Chart chart, double x) const {
  const std::vector<Quantity> q = QuantitiesOf(chart, remainingUnit_ == RemainingUnit::GramsPerSquareMetre);
  if (q.empty()) return std::numeric_limits<double>::quiet_NaN();
  double lastX = std::numeric_limits<double>::quiet_NaN(), lastY = lastX;
  for (const ZoneResults& z : data.Zones)
    for (size_t r = 0; r < z.Rows.size(); ++r) {
      const double px = X(data, z, r), py = q[0].Value(z.Rows[r]);
      if (px >= x) {
        if (std::isnan(lastX) || px == lastX) return py;
        return lastY + (py - lastY) * (x - lastX) / (px - lastX);
      }
      lastX = px, lastY = py;
    }
  return lastY;
}

void ResultsWindow::Rebuild() {
  // Fresh charts: axes removed from a chart on screen leave their labels
  // behind.
  for (int c = 0; c < ChartCount; ++c) {
    QChart* old = views_[c]->chart();
    auto* chart = new QChart;
    chart->setTitle(QString::fromLatin1(ChartTitles[c]));
    chart->legend()->setAlignment(Qt::AlignBottom);
    views_[c]->setChart(chart);
    delete old;
  }
  if (data_.Zones.empty()) {
    slider_->setRange(0, 0);
    sliderLabel_->clear();
    return;
  }
  for (int c = 0; c < Profiles; ++c) BuildAlongWebChart(static_cast<Chart>(c));
  BuildProfileChart();
  PlaceCursor();
}

void ResultsWindow::BuildAlongWebChart(Chart which) {
  QChart* chart = views_[which]->chart();
  const bool time = axis_ == Axis::Time;
  const bool grams = remainingUnit_ == RemainingUnit::GramsPerSquareMetre;
  const bool log = logScale_ && which == Remaining;
  double ylo = std::numeric_limits<double>::infinity(), yhi = -ylo;
  const std::vector<Quantity> quantities = QuantitiesOf(which, grams);
  std::vector<QXYSeries*> series;
  // This file's curves, then each compared file's, dashed, named by file.
  auto curves = [&](const ResultFileData& data, const QString& file, bool other) {
    for (const Quantity& q : quantities) {
      auto* s = new QLineSeries;
      s->setName(file.isEmpty() ? q.Name : q.Name + QStringLiteral(" — ") + file);
      QPen pen(other ? q.Colour.lighter(140) : q.Colour);
      pen.setWidthF(other ? 1.4 : 1.8);
      if (other) pen.setStyle(Qt::DashLine);
      s->setPen(pen);
      // On a log scale the percentage comes from the concentrations and the
      // thickness, which keep more digits than the file's percentage.
      const double initial = RemainingGrams(data.Zones.front().Rows.front());
      const bool derived = log && !grams && initial > 0;
      QList<QPointF> points;
      for (const ZoneResults& z : data.Zones)
        for (size_t r = 0; r < z.Rows.size(); ++r) {
          const double y = derived ? 100.0 * RemainingGrams(z.Rows[r]) / initial : q.Value(z.Rows[r]);
          if (log && !(y > 0)) continue;  // nothing to show of a zero on a log axis
          points.append({X(data, z, r), y});
          ylo = std::min(ylo, y), yhi = std::max(yhi, y);
        }
      s->replace(points);
      series.push_back(s);
    }
  };
  curves(data_, others_.empty() ? QString() : QFileInfo(source_).fileName(), false);
  for (const Other& o : others_) curves(o.Data, o.Name, true);

  // Each zone's gas temperature as a step line over the zone.
  if (which == Temperature) {
    auto* gas = new QLineSeries;
    gas->setName(QStringLiteral("Gas temperature"));
    QPen pen(QColor(0xe0, 0x90, 0x00));
    pen.setStyle(Qt::DashLine);
    pen.setWidthF(1.5);
    gas->setPen(pen);
    for (const ZoneResults& z : data_.Zones) {
      const ZoneConditions* c = data_.ConditionsOf(z.Zone);
      if (!c) continue;
      gas->append(X(z, 0), c->OuterTemperature);
      gas->append(X(z, z.Rows.size() - 1), c->OuterTemperature);
      ylo = std::min(ylo, c->OuterTemperature), yhi = std::max(yhi, c->OuterTemperature);
    }
    series.push_back(gas);
  }

  // The steps the robust surface solve took over, on the first curve.
  if (!rescued_.empty()) {
    auto* marks = new QScatterSeries;
    marks->setName(QStringLiteral("Rescued steps"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    marks->setMarkerSize(10);
    marks->setColor(QColor(0xff, 0xd0, 0x00));
    marks->setBorderColor(Qt::black);
    for (const RescuedStep& step : rescued_) {
      const auto zone = std::find_if(data_.Zones.begin(), data_.Zones.end(),
                                     [&](const ZoneResults& z) { return z.Zone == step.Zone; });
      if (zone == data_.Zones.end() || zone->Rows.empty()) continue;
      const double along = step.Step * data_.IncrementZ / 100.0;  // m
      const double x = time ? zone->Rows.front().Time + (data_.WebSpeed > 0 ? along / data_.WebSpeed : 0)
                            : data_.ZoneStart(zone->Zone) + along;
      const double r = step.Step / 5.0;
      const size_t last = zone->Rows.size() - 1;
      const size_t i0 = std::min(static_cast<size_t>(r), last);
      const size_t i1 = std::min(i0 + 1, last);
      const double f = i0 == last ? 0.0 : r - static_cast<double>(i0);
      const double y = (1 - f) * quantities[0].Value(zone->Rows[i0]) + f * quantities[0].Value(zone->Rows[i1]);
      if (log && !(y > 0)) continue;
      marks->append(x, y);
    }
    series.push_back(marks);
  }

  // The summary's warnings, as red triangles on the first curve.
  if (!summary_.Warnings.empty() && (which == Temperature || which == Remaining)) {
    auto* marks = new QScatterSeries;
    marks->setName(QStringLiteral("Warnings"));
    marks->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    marks->setMarkerSize(13);
    marks->setColor(QColor(0xd0, 0x10, 0x10));
    marks->setBorderColor(Qt::white);
    for (const Warning& w : summary_.Warnings) {
      const double x = XOf(w.At), y = ValueAt(data_, which, x);
      if (std::isfinite(y) && (!log || y > 0)) marks->append(x, y);
    }
    series.push_back(marks);
  }

  const double xlo = X(data_.Zones.front(), 0);
  const double xhi = X(data_.Zones.back(), data_.Zones.back().Rows.size() - 1);
  auto* xAxis = NewValueAxis(time ? QStringLiteral("Time (s)") : QStringLiteral("Position (m)"));
  RoundTicks(xAxis, xlo, xhi > xlo ? xhi : xlo + 1, 10);
  QAbstractAxis* yAxis = nullptr;
  if (log) {
    auto* axis = new QLogValueAxis;
    axis->setTitleText(YTitle(which, grams) + QStringLiteral(", log scale"));
    axis->setLabelFormat(QStringLiteral("%.3g"));
    axis->setBase(10);
    axis->setMinorTickCount(8);
    if (!std::isfinite(ylo)) ylo = 0.1, yhi = 100;
    axis->setRange(std::pow(10.0, std::floor(std::log10(ylo))), std::pow(10.0, std::ceil(std::log10(yhi))));
    yAxis = axis;
  } else {
    Pad(ylo, yhi, true);
    if (which == Remaining) ylo = std::min(ylo, 0.0);
    auto* axis = NewValueAxis(YTitle(which, grams));
    RoundTicks(axis, ylo, yhi, 8);
    yAxis = axis;
  }
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);

  // The zones along the top, their boundaries as grid lines; with many
  // zones only their numbers, so the labels stay apart.
  auto* zones = new QCategoryAxis;
  zones->setObjectName(QStringLiteral("ZoneAxis"));
  zones->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
  zones->setStartValue(xlo);
  const bool many = data_.Zones.size() > 6;
  if (many) zones->setTitleText(QStringLiteral("Zone"));
  for (const ZoneResults& z : data_.Zones) {
    const ZoneConditions* c = data_.ConditionsOf(z.Zone);
    const double end = time || !c ? X(z, z.Rows.size() - 1) : data_.ZoneStart(z.Zone) + c->ZoneLength;
    zones->append(many ? QString::number(z.Zone) : QStringLiteral("Zone %1").arg(z.Zone), end);
  }
  zones->setRange(xAxis->min(), xAxis->max());
  QPen boundary(QColor(0x60, 0x60, 0x60));
  boundary.setStyle(Qt::DashDotLine);
  boundary.setWidthF(1.2);
  zones->setGridLinePen(boundary);
  zones->setLabelsColor(QColor(0x40, 0x40, 0x40));
  chart->addAxis(zones, Qt::AlignTop);

  for (QXYSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
  }
  // Keep the zone axis in step with the plot when it is zoomed.
  connect(xAxis, &QValueAxis::rangeChanged, zones, [zones](qreal lo, qreal hi) { zones->setRange(lo, hi); });
}

double ResultsWindow::CursorX() const {
  return cursorAt_ ? XOf(*cursorAt_) : std::numeric_limits<double>::quiet_NaN();
}

// The cursor: a vertical line on every chart along the web.
void ResultsWindow::PlaceCursor() {
  const double cursorX = CursorX();
  for (int c = 0; c < Profiles; ++c) {
    QChart* chart = views_[c]->chart();
    for (QAbstractSeries* s : chart->series())
      if (s->name() == QLatin1String("Cursor")) {
        chart->removeSeries(s);
        delete s;
      }
    if (std::isnan(cursorX) || chart->axes(Qt::Vertical).isEmpty()) continue;
    QAbstractAxis* yAxis = chart->axes(Qt::Vertical).front();
    double lo = 0, hi = 1;
    if (auto* v = qobject_cast<QValueAxis*>(yAxis)) lo = v->min(), hi = v->max();
    if (auto* l = qobject_cast<QLogValueAxis*>(yAxis)) lo = l->min(), hi = l->max();
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Cursor"));
    QPen pen(QColor(0xd0, 0x10, 0x10));
    pen.setWidthF(1.2);
    line->setPen(pen);
    line->append(cursorX, lo);
    line->append(cursorX, hi);
    chart->addSeries(line);
    line->attachAxis(chart->axes(Qt::Horizontal).front());
    line->attachAxis(yAxis);
    for (QLegendMarker* m : chart->legend()->markers(line)) m->setVisible(false);
  }
}

void ResultsWindow::GoToWarning(int index) {
  if (index < 0 || index >= static_cast<int>(summary_.Warnings.size()) || !HasData()) return;
  const Warning& w = summary_.Warnings[index];
  cursorAt_ = w.At;
  PlaceCursor();
  // The profile at the row nearest to the warning.
  int row = 0, best = 0;
  double bestGap = std::numeric_limits<double>::infinity();
  for (const ZoneResults& z : data_.Zones)
    for (size_t r = 0; r < z.Rows.size(); ++r, ++row)
      if (z.Zone == w.At.Zone && std::fabs(z.Rows[r].Length - w.At.Position) < bestGap)
        bestGap = std::fabs(z.Rows[r].Length - w.At.Position), best = row;
  slider_->setValue(best);
  const bool residual = w.Kind == WarningKind::ResidualTarget;
  ShowChart(residual ? Remaining : Temperature);
  readout_->setText(ReadoutAt(residual ? Remaining : Temperature, CursorX()));
}

QString ResultsWindow::ReadoutAt(Chart chart, double x) const {
  if (!HasData() || chart == Profiles) return {};
  const bool time = axis_ == Axis::Time;
  QString text = time ? QStringLiteral("%1 s").arg(x, 0, 'f', 2) : QStringLiteral("%1 m").arg(x, 0, 'f', 2);
  for (const ZoneResults& z : data_.Zones)
    if (!z.Rows.empty() && X(z, z.Rows.size() - 1) >= x) {
      text += QStringLiteral(" (zone %1)").arg(z.Zone);
      break;
    }
  const bool grams = remainingUnit_ == RemainingUnit::GramsPerSquareMetre;
  auto line = [&](const ResultFileData& data, const QString& file) {
    for (const Quantity& q : QuantitiesOf(chart, grams)) {
      double lastX = std::numeric_limits<double>::quiet_NaN(), lastY = lastX, y = lastX;
      for (const ZoneResults& z : data.Zones) {
        for (size_t r = 0; r < z.Rows.size() && std::isnan(y); ++r) {
          const double px = X(data, z, r), py = q.Value(z.Rows[r]);
          if (px >= x) y = std::isnan(lastX) || px == lastX ? py : lastY + (py - lastY) * (x - lastX) / (px - lastX);
          lastX = px, lastY = py;
        }
      }
      if (std::isnan(y)) continue;
      text += QStringLiteral(" · %1%2: %3 %4")
                  .arg(q.Name, file.isEmpty() ? QString() : " (" + file + ")")
                  .arg(y, 0, 'g', 5)
                  .arg(UnitOf(chart, grams));
    }
  };
  line(data_, QString());
  for (const Other& o : others_) line(o.Data, o.Name);
  return text;
}

void ResultsWindow::SetRemainingUnit(RemainingUnit unit) {
  if (unit == remainingUnit_) return;
  remainingUnit_ = unit;
  const QSignalBlocker block(unitBox_);
  unitBox_->setCurrentIndex(unit == RemainingUnit::GramsPerSquareMetre ? 1 : 0);
  Rebuild();
}

void ResultsWindow::SetLogScale(bool on) {
  if (on == logScale_) return;
  logScale_ = on;
  const QSignalBlocker block(logBox_);
  logBox_->setChecked(on);
  Rebuild();
}

void ResultsWindow::ResetZoom() {
  for (QChartView* v : views_) v->chart()->zoomReset();
}

bool ResultsWindow::AddComparison(const QString& path) {
  const ResultFileRead read = ReadResultFile(QFile::encodeName(path).toStdString());
  const QString name = QDir::toNativeSeparators(path);
  if (!read.Ok) {
    Message(QStringLiteral("\"%1\" is not a result file: %2.\nIt was not added to the comparison.")
                .arg(name, QString::fromStdString(read.Error)));
    return false;
  }
  if (read.Data.Zones.empty()) {
    Message(QStringLiteral("\"%1\" holds no zone results to compare.").arg(name));
    return false;
  }
  others_.push_back({QFileInfo(path).fileName(), read.Data});
  Rebuild();
  return true;
}

void ResultsWindow::ClearComparisons() {
  if (others_.empty()) return;
  others_.clear();
  Rebuild();
}

void ResultsWindow::CompareClicked() {
  if (!HasData()) {
    Message(QStringLiteral("Open a result file or run a calculation first; other files are compared with it."));
    return;
  }
  const QString folder = QFileInfo(source_).absolutePath();
  const QString path =
      ChooseOpenFile ? ChooseOpenFile(folder)
                     : QFileDialog::getOpenFileName(this, QStringLiteral("Compare With Result File"), folder,
                                                    QStringLiteral("Text Files (*.txt);;All Files (*.*)"));
  if (!path.isEmpty()) AddComparison(path);
}

QLineSeries* ResultsWindow::ProfileSeries(int solvent, bool entrance) const {
  const QString name = QStringLiteral("Solvent %1%2").arg(solvent).arg(entrance ? " at entrance" : "");
  for (QAbstractSeries* s : views_[Profiles]->chart()->series())
    if (s->name() == name) return static_cast<QLineSeries*>(s);
  return nullptr;
}

void ResultsWindow::BuildProfileChart() {
  QChart* chart = views_[Profiles]->chart();
  double yhi = 0;
  for (const ZoneResults& z : data_.Zones)
    for (size_t r = 0; r < z.Rows.size(); ++r)
      for (int i = 0; i < 11; ++i) yhi = std::max({yhi, z.Solvent1[r].Conc[i], z.Solvent2[r].Conc[i]});
  // Height above the base film: the base at 0, the surface at the coating's
  // thickness, which shrinks as the coating dries.
  const ZoneResults& first = data_.Zones.front();
  const double thickest = first.Rows.front().CoatThick * 1e4;
  auto* xAxis = NewValueAxis(QStringLiteral("Height above the base film (μm); the surface is the right end"));
  RoundTicks(xAxis, 0, thickest > 0 ? thickest * 1.02 : 1, 10);
  auto* yAxis = NewValueAxis(YTitle(Profiles));
  RoundTicks(yAxis, 0, yhi > 0 ? yhi * 1.08 : 1, 8);
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);
  for (bool entrance : {false, true})
    for (int solvent = 1; solvent <= 2; ++solvent) {
      auto* s = new QLineSeries;
      s->setName(QStringLiteral("Solvent %1%2").arg(solvent).arg(entrance ? " at entrance" : ""));
      QPen pen(solvent == 1 ? Solvent1Colour : Solvent2Colour);
      pen.setWidthF(entrance ? 1.2 : 2.0);
      if (entrance) pen.setStyle(Qt::DashLine);
      s->setPen(pen);
      s->setPointsVisible(!entrance);
      const ProfileRow& row = solvent == 1 ? first.Solvent1.front() : first.Solvent2.front();
      const auto heights = NodeHeights(first.Layers.front(), first.Rows.front().CoatThick, data_.NumberOfLayers);
      for (int i = 0; i < 11; ++i) s->append(heights[i], row.Conc[i]);
      chart->addSeries(s);
      s->attachAxis(xAxis);
      s->attachAxis(yAxis);
    }
  int rows = 0;
  for (const ZoneResults& z : data_.Zones) rows += static_cast<int>(z.Rows.size());
  const QSignalBlocker block(slider_);
  slider_->setRange(0, rows - 1);
  slider_->setPageStep(std::max(1, rows / 20));
  if (slider_->value() > rows - 1) slider_->setValue(rows - 1);
  UpdateProfile();
}

void ResultsWindow::UpdateProfile() {
  if (data_.Zones.empty()) return;
  int index = slider_->value();
  const ZoneResults* zone = &data_.Zones.front();
  for (const ZoneResults& z : data_.Zones) {
    zone = &z;
    if (index < static_cast<int>(z.Rows.size())) break;
    index -= static_cast<int>(z.Rows.size());
  }
  const size_t row = std::min<size_t>(index, zone->Rows.size() - 1);
  for (int solvent = 1; solvent <= 2; ++solvent) {
    QLineSeries* s = ProfileSeries(solvent, false);
    if (!s) continue;
    const ProfileRow& p = solvent == 1 ? zone->Solvent1[row] : zone->Solvent2[row];
    const auto heights = NodeHeights(zone->Layers[row], zone->Rows[row].CoatThick, data_.NumberOfLayers);
    QList<QPointF> points;
    for (int i = 0; i < 11; ++i) points.append({heights[i], p.Conc[i]});
    s->replace(points);
  }
  const ResultRow& r = zone->Rows[row];
  sliderLabel_->setText(QStringLiteral("zone %1, %2 m, %3 s")
                            .arg(zone->Zone)
                            .arg(data_.ZoneStart(zone->Zone) + r.Length, 0, 'f', 3)
                            .arg(r.Time, 0, 'f', 3));
  views_[Profiles]->chart()->setTitle(
      QStringLiteral("Concentration profiles at %1 m (zone %2)").arg(data_.ZoneStart(zone->Zone) + r.Length, 0, 'f', 2).arg(zone->Zone));
}

// ---------------------------------------------------------------------------
// Export.

namespace {

// A chart view of a usable size, also when the window was never shown.
QSize RenderSize(QChartView* view) {
  if (view->width() < 300 || view->height() < 200) view->resize(820, 520);
  return view->size();
}

}  // namespace

bool ResultsWindow::ExportPng(Chart chart, const QString& path) const {
  QChartView* view = views_[chart];
  RenderSize(view);
  return view->grab().save(path, "PNG");
}

bool ResultsWindow::ExportSvg(Chart chart, const QString& path) const {
  QChartView* view = views_[chart];
  const QSize size = RenderSize(view);
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(view->chart()->title());
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  view->render(&painter);
  painter.end();
  return QFileInfo(path).size() > 0;
}

bool ResultsWindow::ExportCsv(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "Zone,Time (s),Position (m),Film temperature (degC),Gas temperature (degC),Solvent remaining (%),"
         "Average concentration 1 (g/cm3),Average concentration 2 (g/cm3),Coating thickness (cm)";
  for (int solvent = 1; solvent <= 2; ++solvent)
    for (int i = 0; i <= 10; ++i) out << QStringLiteral(",Solvent %1 C%2 (g/cm3)").arg(solvent).arg(i);
  out << ",Rescued steps\n";
  auto num = [](double v) { return QString::number(v, 'g', 10); };
  for (const ZoneResults& z : data_.Zones) {
    const ZoneConditions* c = data_.ConditionsOf(z.Zone);
    for (size_t r = 0; r < z.Rows.size(); ++r) {
      const ResultRow& row = z.Rows[r];
      out << z.Zone << ',' << num(row.Time) << ',' << num(data_.ZoneStart(z.Zone) + row.Length) << ','
          << num(row.Temp) << ',' << (c ? num(c->OuterTemperature) : QString()) << ',' << num(row.SolRemain) << ','
          << num(row.AvgConc1) << ',' << num(row.AvgConc2) << ',' << num(row.CoatThick);
      for (const ProfileRow* p : {&z.Solvent1[r], &z.Solvent2[r]})
        for (double v : p->Conc) out << ',' << num(v);
      // Rescued steps since the previous row.
      const int last = static_cast<int>(r) * 5, first = r == 0 ? 0 : last - 4;
      const auto count = std::count_if(rescued_.begin(), rescued_.end(), [&](const RescuedStep& s) {
        return s.Zone == z.Zone && s.Step >= first && s.Step <= last && r > 0;
      });
      out << ',' << count << '\n';
    }
  }
  out.flush();
  return out.status() == QTextStream::Ok && file.commit();
}

QString ResultsWindow::SuggestedPath(const QString& suffix) const {
  const QFileInfo info(source_);
  const QString folder = source_.isEmpty() ? DefaultFolder : info.absolutePath();
  const QString base = source_.isEmpty() ? QStringLiteral("results") : info.completeBaseName();
  QString name = base;
  if (suffix != QLatin1String("csv") && pages_->currentIndex() > 0)
    name += '-' + QString::fromLatin1(ChartTitles[pages_->currentIndex() - 1]).toLower().replace(' ', '-');
  return QDir(folder).filePath(name + '.' + suffix);
}

void ResultsWindow::ExportCurrent(bool svg) {
  if (!HasData()) {
    Message(QStringLiteral("There is nothing to export yet."));
    return;
  }
  const QString suffix = svg ? QStringLiteral("svg") : QStringLiteral("png");
  const QString filter = svg ? QStringLiteral("SVG Pictures (*.svg)") : QStringLiteral("PNG Pictures (*.png)");
  const QString caption = svg ? QStringLiteral("Export Chart as SVG") : QStringLiteral("Export Chart as PNG");
  const QString suggested = SuggestedPath(suffix);
  const QString path = ChooseSaveFile ? ChooseSaveFile(caption, suggested, filter)
                                      : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (pages_->currentIndex() == 0) {
    Message(QStringLiteral("Choose a chart page to export its chart; the summary goes out with Export CSV."));
    return;
  }
  const Chart chart = static_cast<Chart>(pages_->currentIndex() - 1);
  if (!(svg ? ExportSvg(chart, path) : ExportPng(chart, path)))
    Message(QStringLiteral("The chart could not be written to \"%1\".").arg(QDir::toNativeSeparators(path)));
}

void ResultsWindow::ExportData() {
  if (!HasData()) {
    Message(QStringLiteral("There is nothing to export yet."));
    return;
  }
  const QString caption = QStringLiteral("Export Data as CSV");
  const QString filter = QStringLiteral("CSV Files (*.csv)");
  const QString suggested = SuggestedPath(QStringLiteral("csv"));
  const QString path = ChooseSaveFile ? ChooseSaveFile(caption, suggested, filter)
                                      : QFileDialog::getSaveFileName(this, caption, suggested, filter);
  if (path.isEmpty()) return;
  if (!ExportCsv(path))
    Message(QStringLiteral("The data could not be written to \"%1\".").arg(QDir::toNativeSeparators(path)));
}

void ResultsWindow::OpenClicked() {
  const QString folder = source_.isEmpty() ? DefaultFolder : QFileInfo(source_).absolutePath();
  const QString path =
      ChooseOpenFile ? ChooseOpenFile(folder)
                     : QFileDialog::getOpenFileName(this, QStringLiteral("Open Result File"), folder,
                                                    QStringLiteral("Text Files (*.txt);;All Files (*.*)"));
  if (!path.isEmpty()) OpenResultFile(path);
}

void ResultsWindow::Message(const QString& text) {
  QWidget* owner = isVisible() ? this : parentWidget();
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Kelvane"), text, QMessageBox::Ok, owner);
  box.setObjectName(QStringLiteral("MessageBox"));
  box.exec();
}

}  // namespace kelvane::ui
