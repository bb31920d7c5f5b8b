#include "ui/DesignDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <algorithm>
#include <stdexcept>

#include "ui/SharedTargets.h"

namespace kelvane::ui {

namespace {

const QString kTitle = QStringLiteral("Design the dryer");

}  // namespace

DesignDialog::DesignDialog(FieldTexts& fields, bool robust, QWidget* parent)
    : StudyRunDialog(parent), fields_(fields) {
  setWindowTitle(kTitle);
  setObjectName(QStringLiteral("DesignDialog"));
  const DesignRequest defaults;
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);
  auto edit = [this](const char* name, const std::string& text, RequestInput input) {
    auto* e = new QLineEdit(QString::fromStdString(text), this);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(70);
    inputs_[input] = e;
    return e;
  };
  auto box = [this](const char* name, const QString& text, bool on) {
    auto* b = new QCheckBox(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setChecked(on);
    return b;
  };
  auto label = [this](const QString& text) { return new QLabel(text, this); };
  // Each target in a row of its own: a box, its figure and unit.
  residualBox_ = box("ResidualTarget", QStringLiteral("At most this much solvent left at the exit"), true);
  residual_ = edit("MaxResidual", defaults.Residual, RequestInput::Residual);
  residualUnit_ = new QComboBox(this);
  residualUnit_->setObjectName(QStringLiteral("ResidualUnit"));
  residualUnit_->addItem(QStringLiteral("% of the initial solvent"), static_cast<int>(ResidualUnit::PercentOfInitial));
  residualUnit_->addItem(QStringLiteral("g/m²"), static_cast<int>(ResidualUnit::GramsPerSquareMetre));
  residualUnit_->addItem(QStringLiteral("ppm of the dry coating"), static_cast<int>(ResidualUnit::PpmOfDryCoating));
  noBoiling_ = box("NoBoiling", QStringLiteral("No boiling at the base film, with a margin of at least"), true);
  margin_ = edit("BoilingMargin", "0", RequestInput::BoilingMargin);
  noSkinning_ = box("NoSkinning", QStringLiteral("No skinning"), false);
  temperatureBox_ = box("TemperatureTarget", QStringLiteral("Film never hotter than"), false);
  temperature_ = edit("MaxFilmTemperature", "100", RequestInput::MaxFilmTemperature);
  temperature_->setEnabled(false);
  grid->addWidget(residualBox_, 0, 0);
  grid->addWidget(residual_, 0, 1);
  grid->addWidget(residualUnit_, 0, 2);
  grid->addWidget(noBoiling_, 1, 0);
  grid->addWidget(margin_, 1, 1);
  grid->addWidget(label(QStringLiteral("mmHg below 760 mmHg")), 1, 2);
  grid->addWidget(temperatureBox_, 2, 0);
  grid->addWidget(temperature_, 2, 1);
  grid->addWidget(label(QStringLiteral("℃")), 2, 2);
  grid->addWidget(noSkinning_, 3, 0);

  // The bounds of the search, to the right.
  span_ = edit("TemperatureSpan", defaults.Span, RequestInput::Span);
  lowest_ = edit("LowestGas", defaults.Lowest, RequestInput::Lowest);
  highest_ = edit("HighestGas", defaults.Highest, RequestInput::Highest);
  lower_ = edit("LowerSpeed", defaults.SpeedLower, RequestInput::SpeedLower);
  upper_ = edit("UpperSpeed", defaults.SpeedUpper, RequestInput::SpeedUpper);
  coefficientBox_ = box("VaryCoefficients", QStringLiteral("Heat-transfer coefficients vary too, within ±"), false);
  coefficientShare_ = edit("CoefficientShare", "50", RequestInput::CoefficientShare);
  coefficientShare_->setEnabled(false);
  nonDecreasing_ = box("NonDecreasing", QStringLiteral("The gas never cooler than in the zone before"), false);
  evaluations_ = edit("RunsPerStart", defaults.MaxEvaluations, RequestInput::MaxEvaluations);
  evaluations_->setToolTip(QStringLiteral(
      "Runs COBYLA may make from each start. With more than two zones the uniform start goes through coarser "
      "schedules (2, 4, 8, ... blocks of zones) first, and each of those stages may make this many runs too."));
  webWidth_ = edit("WebWidth", defaults.WebWidth, RequestInput::WebWidth);
  webWidth_->setPlaceholderText(QStringLiteral("none"));
  robust_ = box("DesignRobust", QStringLiteral("Robust surface solve"), robust);
  grid->setColumnMinimumWidth(3, 24);
  grid->addWidget(label(QStringLiteral("Each zone's gas within ±")), 0, 4);
  grid->addWidget(span_, 0, 5);
  grid->addWidget(label(QStringLiteral("K of its current value, from")), 0, 6);
  grid->addWidget(lowest_, 0, 7);
  grid->addWidget(label(QStringLiteral("to")), 0, 8);
  grid->addWidget(highest_, 0, 9);
  grid->addWidget(label(QStringLiteral("℃")), 0, 10);
  grid->addWidget(coefficientBox_, 1, 4);
  grid->addWidget(coefficientShare_, 1, 5);
  grid->addWidget(label(QStringLiteral("% of their current values")), 1, 6);
  grid->addWidget(label(QStringLiteral("Web speed from (m/s)")), 2, 4);
  grid->addWidget(lower_, 2, 5);
  grid->addWidget(label(QStringLiteral("to")), 2, 6, Qt::AlignRight);
  grid->addWidget(upper_, 2, 7);
  grid->addWidget(nonDecreasing_, 3, 4, 1, 3);
  grid->addWidget(label(QStringLiteral("Runs per start")), 3, 7, 1, 2, Qt::AlignRight);
  grid->addWidget(evaluations_, 3, 9);
  grid->addWidget(label(QStringLiteral("Web width for each zone's power in kW (m)")), 4, 4, 1, 2);
  grid->addWidget(webWidth_, 4, 6);
  grid->addWidget(robust_, 4, 0);
  // The operating window: the line slows for splices and starts below speed.
  slowest_ = edit("Slowest", defaults.Slowest, RequestInput::Slowest);
  slowest_->setToolTip(QStringLiteral(
      "Every target must hold at every speed from this share of the design's speed up to it. 100: at the design's "
      "speed only."));
  grid->addWidget(label(QStringLiteral("Must hold down to")), 5, 0);
  grid->addWidget(slowest_, 5, 1);
  grid->addWidget(label(QStringLiteral("% of the speed")), 5, 2);
  grid->setColumnStretch(11, 1);
  connect(residualBox_, &QCheckBox::toggled, residual_, &QLineEdit::setEnabled);
  connect(residualBox_, &QCheckBox::toggled, residualUnit_, &QComboBox::setEnabled);
  connect(noBoiling_, &QCheckBox::toggled, margin_, &QLineEdit::setEnabled);
  connect(temperatureBox_, &QCheckBox::toggled, temperature_, &QLineEdit::setEnabled);
  connect(coefficientBox_, &QCheckBox::toggled, coefficientShare_, &QLineEdit::setEnabled);

  StartRow(layout, QStringLiteral("Design"), QStringLiteral("Design"), designButton_, QStringLiteral("CancelDesign"),
           cancelButton_);

  // The answer beside the schedule and the film temperature.
  answer_ = Headline(QStringLiteral("DesignAnswer"));
  answer_->setWordWrap(true);
  report_ = new QPlainTextEdit(this);
  report_->setObjectName(QStringLiteral("DesignReport"));
  report_->setReadOnly(true);
  report_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  report_->setMinimumWidth(420);
  auto* left = new QVBoxLayout;
  left->addWidget(answer_);
  left->addWidget(report_, 1);
  chart_->setObjectName(QStringLiteral("ScheduleChart"));
  chart_->setMinimumSize(380, 250);
  filmChart_ = new QChartView(new QChart, this);
  filmChart_->setObjectName(QStringLiteral("FilmTemperatureChart"));
  filmChart_->setMinimumSize(380, 250);
  filmChart_->setRenderHint(QPainter::Antialiasing);
  auto* middle = new QHBoxLayout;
  middle->addLayout(left, 1);
  middle->addWidget(chart_, 1);
  middle->addWidget(filmChart_, 1);
  layout->addLayout(middle, 3);

  table_->setObjectName(QStringLiteral("Evaluations"));
  table_->setMinimumHeight(120);
  layout->addWidget(table_, 1);

  loadButton_ = LoadRow(layout, QStringLiteral("Load this schedule"), QStringLiteral("LoadSchedule"));
  resize(1380, 820);

  connect(designButton_, &QPushButton::clicked, this, &DesignDialog::Start);
  CancelWithNotice(cancelButton_);
  connect(loadButton_, &QPushButton::clicked, this, &DesignDialog::LoadSchedule);
  DrawSchedule();
  DrawFilmTemperature();
}

DesignDialog::~DesignDialog() { Stop(); }

void DesignDialog::UseTargets(const SummarySettings& targets) {
  FillTarget(residualBox_, residual_, targets.ResidualTarget);
  if (targets.ResidualTarget)
    residualUnit_->setCurrentIndex(residualUnit_->findData(static_cast<int>(targets.ResidualTargetUnit)));
  FillTarget(temperatureBox_, temperature_, targets.MaxFilmTemperature);
  if (targets.WebWidth) webWidth_->setText(TargetFigure(*targets.WebWidth));
}

// The dialog's texts as the design's request; an unticked target is none.
DesignRequest DesignDialog::Request() const {
  DesignRequest q;
  auto text = [](const QLineEdit* e) { return e->text().trimmed().toStdString(); };
  q.Residual = residualBox_->isChecked() ? text(residual_) : std::string();
  q.ResidualIn = static_cast<ResidualUnit>(residualUnit_->currentData().toInt());
  q.NoBoiling = noBoiling_->isChecked();
  // A margin of zero is no boiling itself: no further target.
  q.BoilingMargin = q.NoBoiling && text(margin_) != "0" ? text(margin_) : std::string();
  q.NoSkinning = noSkinning_->isChecked();
  q.MaxFilmTemperature = temperatureBox_->isChecked() ? text(temperature_) : std::string();
  q.NonDecreasing = nonDecreasing_->isChecked();
  q.Span = text(span_);
  q.Lowest = text(lowest_);
  q.Highest = text(highest_);
  q.CoefficientShare = coefficientBox_->isChecked() ? text(coefficientShare_) : std::string();
  q.SpeedLower = text(lower_);
  q.SpeedUpper = text(upper_);
  q.MaxEvaluations = text(evaluations_);
  q.WebWidth = text(webWidth_);
  q.Slowest = text(slowest_);
  return q;
}

void DesignDialog::Refuse(const RequestRefusal& refusal) {
  QMessageBox::warning(this, kTitle, QString::fromStdString(refusal.Text));
  if (auto it = inputs_.find(refusal.Input); it != inputs_.end()) {
    it->second->setFocus();
    it->second->selectAll();
  }
}

void DesignDialog::Start() {
  if (Running()) return;
  Stop();
  base_ = FieldTextMap{};
  for (const FieldSpec& f : FieldTable()) base_.SetText(f.Component, fields_.Text(f.Component));
  const auto read = ReadDesignRequest(Request(), base_);
  if (const auto* refusal = std::get_if<RequestRefusal>(&read)) {
    Refuse(*refusal);
    return;
  }
  problem_ = std::get<DesignProblem>(read);
  StudyDefinition study;
  study.Base = base_;
  StudyOptions options;
  options.Robust = robust_->isChecked();

  result_ = DesignResult{};
  trace_ = RunTrace{};
  runs_ = 0;
  table_->setRowCount(0);
  answer_->setText(QStringLiteral("Designing…"));
  report_->clear();
  loadButton_->setEnabled(false);
  const std::size_t expected = ExpectedDesignRuns(problem_, StudyThreads(options.Jobs));
  progress_->setRange(0, static_cast<int>(std::max<std::size_t>(expected, 1)));
  progress_->setValue(0);
  status_->setText(QStringLiteral("About %1 runs").arg(expected));
  designButton_->setEnabled(false);
  cancelButton_->setEnabled(true);
  DrawSchedule();
  DrawFilmTemperature();

  StartWork(
      [this, study, options, problem = problem_](StudyControl& control) {
        DesignResult r;
        RunTrace trace;
        try {
          r = Design(study, problem, options, control);
          if (r.Found && !r.Cancelled) trace = TraceDesign(study, problem, r, options, &control.Cancel);
        } catch (const std::exception& e) {
          // The request was checked above; what is left is exhausted memory.
          r = DesignResult{};
          r.Cancelled = true;
          r.Stop = e.what();
        }
        QMetaObject::invokeMethod(this, [this, r, trace] { Finished(r, trace); }, Qt::QueuedConnection);
      },
      [this](const RowResult&) { Evaluated(); });
}

void DesignDialog::Evaluated() {
  ++runs_;
  if (runs_ > progress_->maximum()) progress_->setMaximum(runs_);
  progress_->setValue(runs_);
  status_->setText(QStringLiteral("%1 of about %2 runs").arg(runs_).arg(progress_->maximum()));
}

void DesignDialog::Finished(const DesignResult& r, const RunTrace& trace) {
  WorkEnded();
  result_ = r;
  trace_ = trace;
  designButton_->setEnabled(true);
  cancelButton_->setEnabled(false);
  progress_->setMaximum(std::max<int>(1, static_cast<int>(r.Evaluations.size())));
  progress_->setValue(progress_->maximum());
  answer_->setText(QString::fromStdString(DesignHeadline(r)));
  // The window writes ℃ where the runner's account has plain text.
  report_->setPlainText(QString::fromStdString(DesignReport(problem_, r))
                            .replace(QStringLiteral(" degC"), QStringLiteral(" ℃"))
                            .replace(QStringLiteral(" °C"), QStringLiteral(" ℃")));
  loadButton_->setEnabled(r.Found && !r.Cancelled);
  status_->setText(QStringLiteral("%1 runs").arg(r.Evaluations.size()));
  ShowRows();
  DrawSchedule();
  DrawFilmTemperature();
}

// The design into the input fields; nothing runs.
void DesignDialog::LoadSchedule() {
  const std::vector<FieldSetting> settings = DesignSettings(problem_, result_);
  if (settings.empty()) return;
  ApplySettings(settings, fields_);
  status_->setText(QStringLiteral("%1 gas temperatures%2 and the web speed (%3 m/s) set in the main window")
                       .arg(GasSchedule(problem_, result_, base_).size())
                       .arg(problem_.Fields.size() > GasSchedule(problem_, result_, base_).size()
                                ? QStringLiteral(", the heat-transfer coefficients")
                                : QString())
                       .arg(QString::fromStdString(result_.Speed)));
}

}  // namespace kelvane::ui
