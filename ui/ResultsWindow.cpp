#include "ui/ResultsWindow.h"

#include <QCheckBox>

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
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>

#include <cmath>
#include <limits>

#include "summary/RunTrace.h"
#include "ui/ChartView.h"
#include "ui/SummaryPage.h"
#include "ui/AirPanel.h"
#include "ui/SummarySettingsPanel.h"
#include "ui/ResultsCharting.h"

namespace kelvane::ui {

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
  targets_ = new SummarySettingsPanel(this);
  connect(targets_, &SummarySettingsPanel::Changed, this, [this] {
    if (HasData()) Summarize();
  });
  pages_->addTab(targets_, QStringLiteral("Targets"));
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
      pages_->addTab(view, QString::fromLatin1(ChartTabs[c]));
      pages_->setTabToolTip(pages_->count() - 1, QString::fromLatin1(ChartTitles[c]));
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
    pages_->addTab(page, QString::fromLatin1(ChartTabs[c]));
    pages_->setTabToolTip(pages_->count() - 1, QString::fromLatin1(ChartTitles[c]));
  }
  air_ = new AirPanel(this);
  connect(air_, &AirPanel::Changed, this, [this] {
    if (HasData()) Summarize();
  });
  pages_->addTab(air_, QStringLiteral("Air"));
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
void ResultsWindow::ShowChart(Chart chart) { pages_->setCurrentIndex(chart + FirstChartTab); }
void ResultsWindow::ShowSummary() { pages_->setCurrentIndex(0); }

void ResultsWindow::Plot(const ResultFileData& data, const QString& source, const std::vector<RescuedStep>& rescued,
                         const RunTrace* trace) {
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
  // Where the robust solve took over; its count, steps in a coating already
  // dry apart, is the Summary's.
  if (!rescued.empty())
    text += QStringLiteral("; the robust surface solve took over from zone %1 on (ticks along the top of the charts)")
                .arg(rescued.front().Zone);
  sourceLabel_->setText(text);
  // The run's own trace, or the one the file's columns allow.
  trace_.reset();
  if (trace) {
    trace_ = *trace;
  } else {
    RunTrace fromFile;
    std::string why;
    if (TraceFromResultFile(data, fromFile, why)) trace_ = std::move(fromFile);
  }
  readout_->clear();
  earlierLabel_->hide();
  setWindowTitle(QStringLiteral("Results"));
  Summarize();
}

// The summary of what is shown, with the Targets page's settings, and the
// charts with its warnings.
void ResultsWindow::Summarize() {
  summary_ = trace_ ? SummarizeRun(*trace_, Settings()) : RunSummary{};
  summaryPage_->Show(summary_);
  air_->Show(summary_);
  Rebuild();
}

SummarySettings ResultsWindow::Settings() const {
  SummarySettings s = targets_->Settings();
  s.Air = air_->Settings();
  return s;
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
    // Line markers in the legend, so a dashed overlay shows its dash.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
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
