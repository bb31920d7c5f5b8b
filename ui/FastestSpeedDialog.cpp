#include "ui/FastestSpeedDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChartView>
#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"
#include "ui/SearchRows.h"
#include "ui/SharedTargets.h"
#include "ui/StudyCaptions.h"

namespace kelvane::ui {

namespace {

const QString kTitle = QStringLiteral("Fastest line speed");

const char* ResidualColumnIn(ResidualUnit unit) {
  return unit == ResidualUnit::GramsPerSquareMetre ? "residual_g_per_m2"
         : unit == ResidualUnit::PpmOfDryCoating   ? "residual_ppm_dry"
                                                   : "final_residual_percent";
}

}  // namespace

FastestSpeedDialog::FastestSpeedDialog(FieldTexts& fields, bool robust, QWidget* parent)
    : StudyRunDialog(parent), fields_(fields) {
  setWindowTitle(kTitle);
  setObjectName(QStringLiteral("FastestSpeedDialog"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);
  auto edit = [this](const char* name, const QString& text, int width) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaximumWidth(width);
    return e;
  };
  auto box = [this](const char* name, const QString& text, bool on) {
    auto* b = new QCheckBox(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setChecked(on);
    return b;
  };
  residualBox_ = box("ResidualTarget", QStringLiteral("At most this much solvent left at the exit (%)"), true);
  residual_ = edit("MaxResidual", QStringLiteral("5"), 90);
  temperatureBox_ = box("TemperatureTarget", QStringLiteral("Film never hotter than (℃)"), false);
  temperature_ = edit("MaxFilmTemperature", QStringLiteral("120"), 90);
  temperature_->setEnabled(false);
  noBoiling_ = box("NoBoiling", QStringLiteral("No boiling (bubble pressure at the base film below 760 mmHg)"), false);
  lower_ = edit("LowerSpeed", QStringLiteral("0.1"), 90);
  upper_ = edit("UpperSpeed", QStringLiteral("5"), 90);
  tolerance_ = edit("SpeedTolerance", QString(), 90);
  tolerance_->setPlaceholderText(QStringLiteral("automatic"));
  robust_ = box("SearchRobust", QStringLiteral("Robust surface solve"), robust);
  grid->addWidget(residualBox_, 0, 0);
  grid->addWidget(residual_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Web speed from (m/s)"), this), 0, 2);
  grid->addWidget(lower_, 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("to"), this), 0, 4);
  grid->addWidget(upper_, 0, 5);
  grid->addWidget(temperatureBox_, 1, 0);
  grid->addWidget(temperature_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Within (m/s)"), this), 1, 2);
  grid->addWidget(tolerance_, 1, 3);
  grid->addWidget(noBoiling_, 2, 0, 1, 2);
  grid->addWidget(robust_, 2, 2, 1, 4);
  grid->setColumnStretch(6, 1);
  connect(temperatureBox_, &QCheckBox::toggled, temperature_, &QLineEdit::setEnabled);
  connect(residualBox_, &QCheckBox::toggled, residual_, &QLineEdit::setEnabled);

  StartRow(layout, QStringLiteral("Search"), QStringLiteral("Search"), searchButton_, QStringLiteral("CancelSearch"),
           cancelButton_);

  answer_ = Headline(QStringLiteral("SpeedAnswer"));
  detail_ = new QLabel(this);
  detail_->setObjectName(QStringLiteral("SpeedDetail"));
  detail_->setWordWrap(true);
  detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(answer_);
  layout->addWidget(detail_);

  table_->setColumnCount(7);
  table_->setObjectName(QStringLiteral("Evaluations"));
  QStringList header{QStringLiteral("Run"), QStringLiteral("Web speed (m/s)"), QStringLiteral("Targets")};
  for (const char* column : {"final_residual_percent", "max_film_temperature_c", "min_boiling_margin_mmhg"})
    header << ColumnCaption(SummaryColumns()[static_cast<std::size_t>(SummaryColumnIndex(column))]);
  header << QStringLiteral("Outcome");
  table_->setHorizontalHeaderLabels(header);
  chart_->setObjectName(QStringLiteral("EvaluationChart"));
  layout->addLayout(TableAndChart(), 1);

  loadButton_ = LoadRow(layout, QStringLiteral("Load this speed"), QStringLiteral("LoadSpeed"));
  resize(1100, 600);

  connect(searchButton_, &QPushButton::clicked, this, &FastestSpeedDialog::Start);
  CancelWithNotice(cancelButton_);
  connect(loadButton_, &QPushButton::clicked, this, &FastestSpeedDialog::LoadSpeed);
}

FastestSpeedDialog::~FastestSpeedDialog() { Stop(); }

const char* FastestSpeedDialog::ResidualColumn() const { return ResidualColumnIn(residualUnit_); }

void FastestSpeedDialog::UseTargets(const SummarySettings& targets) {
  if (targets.ResidualTarget) {
    residualUnit_ = targets.ResidualTargetUnit;
    residualBox_->setText(QStringLiteral("At most this much solvent left at the exit (%1)")
                              .arg(QString::fromUtf8(ResidualUnitSuffix(residualUnit_)).trimmed()));
  }
  FillTarget(residualBox_, residual_, targets.ResidualTarget);
  table_->setHorizontalHeaderItem(3, new QTableWidgetItem(ColumnCaption(
                                         SummaryColumns()[static_cast<std::size_t>(SummaryColumnIndex(ResidualColumn()))])));
  FillTarget(temperatureBox_, temperature_, targets.MaxFilmTemperature);
}

// The targets and bounds from the dialog's fields; a message naming the
// field for one that is not a number.
bool FastestSpeedDialog::ReadTargets(BoundarySearch& s) {
  auto number = [this](QLineEdit* e, const QString& caption, double& value) {
    long double v = 0;
    if (TextToExtended(e->text().toStdString(), '.', v) && std::isfinite(static_cast<double>(v))) {
      value = static_cast<double>(v);
      return true;
    }
    QMessageBox::warning(this, kTitle, QStringLiteral("%1: \"%2\" is not a number.").arg(caption, e->text()));
    e->setFocus();
    return false;
  };
  s = BoundarySearch{};
  s.Field = ParseVaried("WebSpeed=0");
  s.Maximize = true;
  s.Lower = lower_->text().trimmed().toStdString();
  s.Upper = upper_->text().trimmed().toStdString();
  double lower = 0, upper = 0, value = 0;
  if (!number(lower_, QStringLiteral("Web speed from"), lower) || !number(upper_, QStringLiteral("Web speed to"), upper))
    return false;
  if (!(lower > 0)) {
    QMessageBox::warning(this, kTitle,
                         QStringLiteral("Web speed from: %1 m/s moves no film through the dryer; the search starts "
                                        "above 0 m/s.")
                             .arg(lower_->text()));
    return false;
  }
  if (!(upper > lower)) {
    QMessageBox::warning(this, kTitle, QStringLiteral("Web speed to: %1 m/s is not above the speed it starts from.")
                                           .arg(upper_->text()));
    return false;
  }
  if (!tolerance_->text().trimmed().isEmpty()) {
    if (!number(tolerance_, QStringLiteral("Within"), value)) return false;
    if (!(value > 0)) {
      QMessageBox::warning(this, kTitle, QStringLiteral("Within: the tolerance must be above 0 m/s."));
      return false;
    }
    s.Tolerance = value;
  }
  if (residualBox_->isChecked()) {
    if (!number(residual_, QStringLiteral("Solvent left at the exit"), value)) return false;
    s.Goal.MaxResidual = value;
    s.Goal.ResidualIn = residualUnit_;
  }
  if (temperatureBox_->isChecked()) {
    if (!number(temperature_, QStringLiteral("Film temperature"), value)) return false;
    s.Goal.MaxFilmTemperature = value;
  }
  s.Goal.NoBoiling = noBoiling_->isChecked();
  if (!s.Goal.MaxResidual && !s.Goal.MaxFilmTemperature && !s.Goal.NoBoiling) {
    QMessageBox::warning(this, kTitle, QStringLiteral("Choose at least one target."));
    return false;
  }
  return true;
}

void FastestSpeedDialog::Start() {
  if (Running()) return;
  Stop();
  BoundarySearch s;
  if (!ReadTargets(s)) return;
  search_ = s;
  StudyDefinition base;
  for (const FieldSpec& f : FieldTable()) base.Base.SetText(f.Component, fields_.Text(f.Component));
  StudyOptions options;
  options.Robust = robust_->isChecked();

  rows_.clear();
  result_ = BoundaryResult{};
  table_->setRowCount(0);
  answer_->setText(QStringLiteral("Searching…"));
  detail_->clear();
  loadButton_->setEnabled(false);
  const std::size_t expected = ExpectedRuns(search_, StudyThreads(options.Jobs));
  progress_->setRange(0, static_cast<int>(std::max<std::size_t>(expected, 1)));
  progress_->setValue(0);
  status_->setText(QStringLiteral("About %1 runs").arg(expected));
  searchButton_->setEnabled(false);
  cancelButton_->setEnabled(true);
  Redraw();

  StartWork(
      [this, base, options](StudyControl& control) {
        BoundaryResult r;
        try {
          r = SearchBoundary(base, search_, options, control);
        } catch (const std::exception& e) {
          // The bounds were checked above; what is left is exhausted memory.
          r.End = SearchEnd::Cancelled;
          r.Why = e.what();
        }
        QMetaObject::invokeMethod(this, [this, r] { Finished(r); }, Qt::QueuedConnection);
      },
      [this](const RowResult& r) { Evaluated(r); });
}

void FastestSpeedDialog::Evaluated(const RowResult& r) {
  ShowRow(r);
  const int done = static_cast<int>(std::count_if(rows_.begin(), rows_.end(),
                                                  [](const RowResult& x) { return x.Row.Number != 0; }));
  if (done > progress_->maximum()) progress_->setMaximum(done);
  progress_->setValue(done);
  status_->setText(QStringLiteral("%1 of about %2 runs").arg(done).arg(progress_->maximum()));
  Redraw();
}

void FastestSpeedDialog::ShowRow(const RowResult& r) {
  const std::size_t i = r.Row.Number - 1;
  if (r.Row.Number == 0) return;
  if (rows_.size() <= i) rows_.resize(i + 1);
  rows_[i] = r;
  if (table_->rowCount() <= static_cast<int>(i)) table_->setRowCount(static_cast<int>(i) + 1);
  std::string why;
  const bool meets = MeetsTargets(r, search_.Goal, &why);
  // A run the cancel stopped or never started says nothing of the targets; a
  // run that failed is no answer either: it shows "failed" with its message,
  // never "missed", and none of a stopped march's partial figures.
  const bool stopped = r.Outcome == RowOutcome::Cancelled || r.Outcome == RowOutcome::NotRun;
  const bool finished = r.Outcome == RowOutcome::Finished;
  std::string outcome = RowOutcomeName(r.Outcome);
  if (!r.Message.empty()) outcome += ": " + r.Message;
  // A figure next to its target shows the digits that tell them apart.
  auto figure = [&](const char* column, const std::optional<double>& limit) {
    const auto v = SummaryColumnOf(r, column);
    return finished && v ? ReadableAgainst(*v, limit) : QString();
  };
  const QString verdict = stopped ? QString() : !finished ? QStringLiteral("failed") : meets ? QStringLiteral("met") : QStringLiteral("missed");
  const QString cells[7] = {QString::number(r.Row.Number),
                            QString::fromStdString(r.Row.Values.empty() ? std::string() : r.Row.Values[0]),
                            verdict,
                            figure(ResidualColumn(), search_.Goal.MaxResidual),
                            figure("max_film_temperature_c", search_.Goal.MaxFilmTemperature),
                            figure("min_boiling_margin_mmhg", std::nullopt),
                            QString::fromStdString(outcome)};
  for (int c = 0; c < 7; ++c) {
    auto* item = new QTableWidgetItem(cells[c]);
    if (c == 2) {
      item->setForeground(!finished ? FailedColour() : meets ? QColor(0, 128, 0) : QColor(192, 0, 0));
      if (!finished && !r.Message.empty()) item->setToolTip(QString::fromStdString(r.Message));
      else if (!meets) item->setToolTip(QString::fromStdString(why));
    }
    if (c == 6) item->setToolTip(cells[c]);
    if (c != 2 && c != 6) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(static_cast<int>(i), c, item);
  }
  FitColumns();
}

void FastestSpeedDialog::Finished(const BoundaryResult& r) {
  WorkEnded();
  result_ = r;
  // The result's list of runs is complete; rows whose report had not yet
  // arrived, and runs that never started, show as well.
  for (const RowResult& row : r.Evaluations) ShowRow(row);
  searchButton_->setEnabled(true);
  cancelButton_->setEnabled(false);
  progress_->setMaximum(std::max<int>(1, static_cast<int>(r.Evaluations.size())));
  progress_->setValue(progress_->maximum());
  const QString best = QString::fromStdString(r.Best);
  switch (r.End) {
    case SearchEnd::Boundary:
      answer_->setText(QStringLiteral("Fastest line speed: %1 m/s").arg(best));
      break;
    case SearchEnd::BoundReached:
      answer_->setText(QStringLiteral("Fastest line speed: %1 m/s, the upper bound (the line may run faster)").arg(best));
      break;
    case SearchEnd::NoneFeasible:
      answer_->setText(QStringLiteral("No setting in the bounds meets the targets"));
      break;
    case SearchEnd::NearFailed:
      answer_->setText(QStringLiteral("No answer: the run at the slowest speed did not finish"));
      break;
    case SearchEnd::BeyondFailed:
      answer_->setText(QStringLiteral("Fastest line speed: at least %1 m/s (the runs beyond it did not finish)").arg(best));
      break;
    case SearchEnd::Cancelled:
      answer_->setText(QStringLiteral("Cancelled: no speed found"));
      break;
  }
  detail_->setText(QString::fromStdString(BoundaryAnswer(search_, r)));
  loadButton_->setEnabled(HasAnswer(r.End));
  status_->setText(QStringLiteral("%1 runs").arg(r.Evaluations.size()));
  FitColumns();
  Redraw();
}

void FastestSpeedDialog::LoadSpeed() {
  if (result_.Best.empty()) return;
  fields_.SetText(search_.Field.Field->Component, result_.Best);
  status_->setText(QStringLiteral("Web Speed (m/s) set to %1 in the main window").arg(QString::fromStdString(result_.Best)));
}

}  // namespace kelvane::ui
