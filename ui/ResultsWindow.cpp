#include "ui/ResultsWindow.h"

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
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

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

const QColor Solvent1Colour(0x1f, 0x5f, 0xbf);
const QColor Solvent2Colour(0xd0, 0x5a, 0x10);

std::vector<Quantity> QuantitiesOf(ResultsWindow::Chart chart) {
  switch (chart) {
    case ResultsWindow::Temperature: return {{QStringLiteral("Film temperature"), Temp, QColor(0xc0, 0x10, 0x20)}};
    case ResultsWindow::Remaining: return {{QStringLiteral("Solvent remaining"), Remaining, QColor(0x10, 0x80, 0x40)}};
    case ResultsWindow::Concentrations:
      return {{QStringLiteral("Solvent 1"), Conc1, Solvent1Colour}, {QStringLiteral("Solvent 2"), Conc2, Solvent2Colour}};
    case ResultsWindow::Thickness: return {{QStringLiteral("Coating thickness"), ThickUm, QColor(0x60, 0x30, 0x90)}};
    default: return {};
  }
}

QString YTitle(ResultsWindow::Chart chart) {
  switch (chart) {
    case ResultsWindow::Temperature: return QStringLiteral("Temperature (℃)");
    case ResultsWindow::Remaining: return QStringLiteral("Solvent remaining (%)");
    case ResultsWindow::Concentrations: return QStringLiteral("Average concentration (g/cm³)");
    case ResultsWindow::Thickness: return QStringLiteral("Coating thickness (μm)");
    default: return QStringLiteral("Concentration (g/cm³)");
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
  bar->addWidget(new QLabel(QStringLiteral("Along the web:"), this));
  axisBox_ = new QComboBox(this);
  axisBox_->setObjectName(QStringLiteral("AxisBox"));
  axisBox_->addItems({QStringLiteral("Time (s)"), QStringLiteral("Position (m)")});
  connect(axisBox_, &QComboBox::currentIndexChanged, this,
          [this](int index) { SetAxis(index == 1 ? Axis::Position : Axis::Time); });
  bar->addWidget(axisBox_);
  bar->addStretch(1);
  auto button = [&](const QString& text, const char* name, auto slot) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, slot);
    bar->addWidget(b);
    return b;
  };
  button(QStringLiteral("Open Result File…"), "OpenResultFile", [this] { OpenClicked(); });
  button(QStringLiteral("Export PNG…"), "ExportPng", [this] { ExportCurrent(false); });
  button(QStringLiteral("Export SVG…"), "ExportSvg", [this] { ExportCurrent(true); });
  button(QStringLiteral("Export CSV…"), "ExportCsv", [this] { ExportData(); });
  layout->addLayout(bar);

  sourceLabel_ = new QLabel(this);
  sourceLabel_->setObjectName(QStringLiteral("SourceLabel"));
  sourceLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(sourceLabel_);

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("ChartPages"));
  for (int c = 0; c < ChartCount; ++c) {
    auto* view = new QChartView(new QChart, this);
    view->setObjectName(QStringLiteral("Chart%1").arg(c + 1));
    view->setRenderHint(QPainter::Antialiasing);
    view->chart()->setTitle(QString::fromLatin1(ChartTitles[c]));
    view->chart()->legend()->setAlignment(Qt::AlignBottom);
    views_[c] = view;
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
  Rebuild();
}

QChart* ResultsWindow::ChartAt(Chart chart) const { return views_[chart]->chart(); }
QChartView* ResultsWindow::ViewAt(Chart chart) const { return views_[chart]; }
void ResultsWindow::ShowChart(Chart chart) { pages_->setCurrentIndex(chart); }

void ResultsWindow::Plot(const ResultFileData& data, const QString& source, const std::vector<RescuedStep>& rescued) {
  if (data.Zones.empty()) return;
  data_ = data;
  source_ = source;
  rescued_ = rescued;
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
  Rebuild();
}

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

double ResultsWindow::X(const ZoneResults& zone, size_t row) const {
  const ResultRow& r = zone.Rows[row];
  return axis_ == Axis::Time ? r.Time : data_.ZoneStart(zone.Zone) + r.Length;
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
}

void ResultsWindow::BuildAlongWebChart(Chart which) {
  QChart* chart = views_[which]->chart();
  const bool time = axis_ == Axis::Time;
  double ylo = std::numeric_limits<double>::infinity(), yhi = -ylo;
  const std::vector<Quantity> quantities = QuantitiesOf(which);
  std::vector<QLineSeries*> series;
  for (const Quantity& q : quantities) {
    auto* s = new QLineSeries;
    s->setName(q.Name);
    QPen pen(q.Colour);
    pen.setWidthF(1.8);
    s->setPen(pen);
    QList<QPointF> points;
    for (const ZoneResults& z : data_.Zones)
      for (size_t r = 0; r < z.Rows.size(); ++r) {
        const double y = q.Value(z.Rows[r]);
        points.append({X(z, r), y});
        ylo = std::min(ylo, y), yhi = std::max(yhi, y);
      }
    s->replace(points);
    series.push_back(s);
  }

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
  QScatterSeries* marks = nullptr;
  if (!rescued_.empty()) {
    marks = new QScatterSeries;
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
      marks->append(x, y);
    }
  }

  const double xlo = X(data_.Zones.front(), 0);
  const double xhi = X(data_.Zones.back(), data_.Zones.back().Rows.size() - 1);
  auto* xAxis = NewValueAxis(time ? QStringLiteral("Time (s)") : QStringLiteral("Position (m)"));
  RoundTicks(xAxis, xlo, xhi > xlo ? xhi : xlo + 1, 10);
  Pad(ylo, yhi, true);
  if (which == Remaining) ylo = std::min(ylo, 0.0);
  auto* yAxis = NewValueAxis(YTitle(which));
  RoundTicks(yAxis, ylo, yhi, 8);
  chart->addAxis(xAxis, Qt::AlignBottom);
  chart->addAxis(yAxis, Qt::AlignLeft);

  // The zones along the top, their boundaries as grid lines.
  auto* zones = new QCategoryAxis;
  zones->setObjectName(QStringLiteral("ZoneAxis"));
  zones->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
  zones->setStartValue(xlo);
  for (const ZoneResults& z : data_.Zones) {
    const ZoneConditions* c = data_.ConditionsOf(z.Zone);
    const double end = time || !c ? X(z, z.Rows.size() - 1) : data_.ZoneStart(z.Zone) + c->ZoneLength;
    zones->append(QStringLiteral("Zone %1").arg(z.Zone), end);
  }
  zones->setRange(xAxis->min(), xAxis->max());
  QPen boundary(QColor(0x60, 0x60, 0x60));
  boundary.setStyle(Qt::DashDotLine);
  boundary.setWidthF(1.2);
  zones->setGridLinePen(boundary);
  zones->setLabelsColor(QColor(0x40, 0x40, 0x40));
  chart->addAxis(zones, Qt::AlignTop);

  for (QLineSeries* s : series) {
    chart->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(yAxis);
  }
  if (marks) {
    chart->addSeries(marks);
    marks->attachAxis(xAxis);
    marks->attachAxis(yAxis);
  }
  // Keep the zone axis in step with the plot when it is zoomed.
  connect(xAxis, &QValueAxis::rangeChanged, zones, [zones](qreal lo, qreal hi) { zones->setRange(lo, hi); });
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
  auto* xAxis = NewValueAxis(QStringLiteral("Depth: C0 = surface … C10 = base film"));
  xAxis->setRange(0, 10);
  xAxis->setTickCount(11);
  xAxis->setLabelFormat(QStringLiteral("C%d"));
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
      const ProfileRow& row = solvent == 1 ? data_.Zones.front().Solvent1.front() : data_.Zones.front().Solvent2.front();
      for (int i = 0; i < 11; ++i) s->append(i, row.Conc[i]);
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
    QList<QPointF> points;
    for (int i = 0; i < 11; ++i) points.append({double(i), p.Conc[i]});
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
  if (suffix != QLatin1String("csv")) name += '-' + QString::fromLatin1(ChartTitles[pages_->currentIndex()]).toLower().replace(' ', '-');
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
  const Chart chart = static_cast<Chart>(pages_->currentIndex());
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
