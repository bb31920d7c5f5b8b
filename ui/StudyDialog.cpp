#include "ui/StudyDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
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
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <map>
#include <stdexcept>

#include "files/StagedFile.h"
#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"
#include "ui/StudyCaptions.h"

namespace kelvane::ui {

StudyDialog::StudyDialog(FieldTexts& fields, bool robust, QWidget* parent)
    : StudyRunDialog(parent), fields_(fields) {
  setWindowTitle(QStringLiteral("Study"));
  setObjectName(QStringLiteral("StudyDialog"));
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);
  const QString hints[2] = {QStringLiteral("values: 0.5,1,1.5 or start:stop:step, e.g. 0.5:2.0:0.25"),
                            QStringLiteral("optional: a second field, one curve per value")};
  for (int i = 0; i < 2; ++i) {
    field_[i] = new QComboBox(this);
    field_[i]->setObjectName(QStringLiteral("StudyField%1").arg(i + 1));
    if (i == 1) field_[i]->addItem(QStringLiteral("(none)"), QString());
    for (const FieldSpec& f : FieldTable())
      if (f.Group != FieldGroup::SaveFile) field_[i]->addItem(FieldLabel(f), QString::fromStdString(f.Member));
    values_[i] = new QLineEdit(this);
    values_[i]->setObjectName(QStringLiteral("StudyValues%1").arg(i + 1));
    values_[i]->setPlaceholderText(hints[i]);
    grid->addWidget(new QLabel(i == 0 ? QStringLiteral("Vary") : QStringLiteral("and"), this), i, 0);
    grid->addWidget(field_[i], i, 1);
    grid->addWidget(values_[i], i, 2);
  }
  field_[0]->setCurrentIndex(field_[0]->findData(QStringLiteral("WebSpeed")));
  values_[0]->setText(QStringLiteral("0.5:2.0:0.25"));

  QHBoxLayout* buttons =
      StartRow(layout, QStringLiteral("Run"), QStringLiteral("StudyRun"), runButton_, QString(), cancelButton_);
  outcome_ = new QComboBox(this);
  outcome_->setObjectName(QStringLiteral("StudyOutcome"));
  for (const SummaryColumn& c : SummaryColumns()) outcome_->addItem(ColumnCaption(c), QString::fromLatin1(c.Name));
  robust_ = new QCheckBox(QStringLiteral("Robust surface solve"), this);
  robust_->setObjectName(QStringLiteral("StudyRobust"));
  robust_->setChecked(robust);
  robust_->setToolTip(QStringLiteral("Steps whose surface search does not converge are taken over by a damped "
                                     "Newton iteration instead of ending the run."));
  buttons->addWidget(robust_);
  buttons->addWidget(new QLabel(QStringLiteral("Chart:"), this));
  buttons->addWidget(outcome_);

  // The table over the chart, each the dialog's whole width: a study's
  // columns of figures need it.
  layout->addWidget(table_, 2);
  layout->addWidget(chart_, 3);

  auto* bottom = new QHBoxLayout;
  loadButton_ = new QPushButton(QStringLiteral("Load this run"), this);
  exportButton_ = new QPushButton(QStringLiteral("Export CSV…"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  bottom->addWidget(status_, 1);
  bottom->addWidget(loadButton_);
  bottom->addWidget(exportButton_);
  bottom->addWidget(close);
  layout->addLayout(bottom);
  resize(1180, 760);

  connect(runButton_, &QPushButton::clicked, this, &StudyDialog::Start);
  connect(cancelButton_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  connect(outcome_, &QComboBox::currentIndexChanged, this, &StudyDialog::Redraw);
  connect(loadButton_, &QPushButton::clicked, this, &StudyDialog::LoadRow);
  connect(exportButton_, &QPushButton::clicked, this, &StudyDialog::ExportCsv);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

StudyDialog::~StudyDialog() { Stop(); }

void StudyDialog::SetVaried(int which, const QString& field, const QString& values) {
  field_[which]->setCurrentIndex(field_[which]->findData(field));
  values_[which]->setText(values);
}

void StudyDialog::Start() {
  if (Running()) return;
  Stop();
  StudyDefinition s;
  for (const FieldSpec& f : FieldTable()) s.Base.SetText(f.Component, fields_.Text(f.Component));
  try {
    for (int i = 0; i < 2; ++i) {
      const QString member = field_[i]->currentData().toString();
      if (member.isEmpty()) continue;
      s.Varied.push_back(ParseVaried((member + "=" + values_[i]->text()).toStdString()));
    }
    rows_ = ShardRows(s, {});
  } catch (const std::invalid_argument& e) {
    QMessageBox::warning(this, QStringLiteral("Study"), QString::fromStdString(e.what()));
    return;
  }
  study_ = s;
  results_.assign(rows_.size(), {});
  have_.assign(rows_.size(), false);
  QStringList header{QStringLiteral("Row")};
  for (const VariedField& v : study_.Varied) header << FieldLabel(*v.Field);
  // The figures first, what the runs said last.
  for (const SummaryColumn& c : SummaryColumns()) header << ColumnCaption(c);
  header << QStringLiteral("Outcome") << QStringLiteral("Message");
  table_->clear();
  table_->setColumnCount(header.size());
  table_->setHorizontalHeaderLabels(header);
  table_->setRowCount(static_cast<int>(rows_.size()));
  progress_->setRange(0, static_cast<int>(rows_.size()));
  progress_->setValue(0);
  status_->setText(QStringLiteral("%1 runs").arg(rows_.size()));
  runButton_->setEnabled(false);
  cancelButton_->setEnabled(true);
  StudyOptions options;
  options.Robust = robust_->isChecked();
  StartWork(
      [this, options](StudyControl& control) {
        std::vector<RowResult> all = RunStudy(study_, rows_, options, control);
        QMetaObject::invokeMethod(this, [this, all] {
          for (std::size_t i = 0; i < all.size(); ++i)
            if (!have_[i]) RowDone(all[i]);
          Finished();
        }, Qt::QueuedConnection);
      },
      [this](const RowResult& r) { RowDone(r); });
}

void StudyDialog::RowDone(const RowResult& r) {
  const int i = static_cast<int>(r.Row.Number) - 1;
  if (i < 0 || i >= static_cast<int>(results_.size())) return;
  results_[static_cast<std::size_t>(i)] = r;
  have_[static_cast<std::size_t>(i)] = true;
  int c = 0;
  auto put = [&](const QString& text, bool figure) {
    auto* item = new QTableWidgetItem(text);
    if (figure) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table_->setItem(i, c++, item);
  };
  put(QString::number(r.Row.Number), true);
  for (const std::string& v : r.Row.Values) put(QString::fromStdString(v), true);
  c += static_cast<int>(r.Summary.size());  // the figures are put by column
  put(QString::fromLatin1(RowOutcomeName(r.Outcome)), false);
  put(QString::fromStdString(r.Message), false);
  ShowFigures();
  progress_->setValue(static_cast<int>(std::count(have_.begin(), have_.end(), true)));
  Redraw();
}

// Each summary column's figures to one number of decimals, right-aligned so
// that their decimal points line up.
void StudyDialog::ShowFigures() {
  const int first = 1 + static_cast<int>(study_.Varied.size());
  for (std::size_t k = 0; k < SummaryColumns().size(); ++k) {
    std::vector<std::optional<double>> values(results_.size());
    for (std::size_t i = 0; i < results_.size(); ++i)
      if (have_[i] && k < results_[i].Summary.size()) values[i] = results_[i].Summary[k];
    const std::vector<QString> texts = ColumnFigures(values);
    for (std::size_t i = 0; i < results_.size(); ++i) {
      // A figure already shown as it stands is left alone: only a new row,
      // or a column whose decimals the new row changed, is written.
      const QTableWidgetItem* shown = table_->item(static_cast<int>(i), first + static_cast<int>(k));
      if (!have_[i] || (shown && shown->text() == texts[i])) continue;
      auto* item = new QTableWidgetItem(texts[i]);
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(static_cast<int>(i), first + static_cast<int>(k), item);
    }
  }
}

void StudyDialog::Finished() {
  WorkEnded();
  runButton_->setEnabled(true);
  cancelButton_->setEnabled(false);
  int ok = 0;
  for (const RowResult& r : results_) ok += r.Outcome == RowOutcome::Finished;
  status_->setText(QStringLiteral("%1 of %2 runs finished%3")
                       .arg(ok)
                       .arg(results_.size())
                       .arg(CancelRequested() ? QStringLiteral(" (cancelled: the table is incomplete)")
                                                         : QString()));
  progress_->setValue(progress_->maximum());
  FitColumns();
  Redraw();
}

// The chosen outcome against the first field, one curve per value of the second.
void StudyDialog::Redraw() {
  auto* chart = new QChart;
  const int col = outcome_->currentIndex();
  std::map<std::string, QLineSeries*> series;
  std::vector<std::string> order;
  for (std::size_t i = 0; i < results_.size(); ++i) {
    const RowResult& r = results_[i];
    if (!have_[i] || r.Outcome != RowOutcome::Finished || col < 0 || !r.Summary[static_cast<std::size_t>(col)]) continue;
    const std::string key = r.Row.Values.size() > 1 ? r.Row.Values[1] : std::string();
    auto& s = series[key];
    if (!s) {
      s = new QLineSeries;
      s->setPointsVisible(true);
      // The chart's title names the second field; each curve is its value.
      s->setName(key.empty() ? FieldLabel(*study_.Varied[0].Field) : QString::fromStdString(key));
      order.push_back(key);
    }
    // The window runs in the user's locale, where std::stod may stop at the
    // '.' of "0.25"; the row's texts are read as the runs read them.
    long double x = 0;
    TextToExtended(r.Row.Values[0], '.', x);
    s->append(static_cast<double>(x), *r.Summary[static_cast<std::size_t>(col)]);
  }
  auto* x = new QValueAxis;
  auto* y = new QValueAxis;
  x->setTitleText(study_.Varied.empty() ? QString() : FieldLabel(*study_.Varied[0].Field));
  y->setTitleText(outcome_->currentText());
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  bool any = false;
  for (const std::string& k : order) {
    QLineSeries* s = series[k];
    chart->addSeries(s);
    s->attachAxis(x);
    s->attachAxis(y);
    for (const QPointF& p : s->points()) {
      if (!any) x0 = x1 = p.x(), y0 = y1 = p.y();
      any = true;
      x0 = std::min(x0, p.x()), x1 = std::max(x1, p.x()), y0 = std::min(y0, p.y()), y1 = std::max(y1, p.y());
    }
  }
  if (any) {
    // The first and last runs inside the plot, not on its frame.
    const double pad = (x1 - x0) * 0.04;
    RoundAxis(x, x0 >= 0 ? std::max(0.0, x0 - pad) : x0 - pad, x1 + pad);
    RoundAxis(y, std::min(0.0, y0), y1 > y0 ? y1 * 1.05 : y0 + 1);
  }
  chart->legend()->setVisible(series.size() > 1);
  if (study_.Varied.size() > 1)
    chart->setTitle(QStringLiteral("One curve per %1").arg(FieldLabel(*study_.Varied[1].Field)));
  ShowChart(chart);
}

void StudyDialog::LoadRow() {
  const int i = table_->currentRow();
  if (i < 0 || i >= static_cast<int>(results_.size()) || !have_[static_cast<std::size_t>(i)]) return;
  for (std::size_t k = 0; k < study_.Varied.size(); ++k)
    fields_.SetText(study_.Varied[k].Field->Component, results_[static_cast<std::size_t>(i)].Row.Values[k]);
  status_->setText(QStringLiteral("Row %1 loaded into the main window").arg(i + 1));
}

void StudyDialog::ExportCsv() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QStringLiteral("study.csv"),
                                                    QStringLiteral("CSV (*.csv)"));
  if (path.isEmpty()) return;
  std::string text = CsvHeader(study_);
  for (std::size_t i = 0; i < results_.size(); ++i)
    if (have_[i]) text += CsvLine(results_[i]);
  // Replaced whole: a failed write keeps an earlier table of that name.
  const StagedWriteResult w = WriteStagedFile(QFile::encodeName(path).toStdString(), text);
  if (w.Status != WriteStatus::Ok)
    QMessageBox::warning(this, QStringLiteral("Study"),
                         QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(w.Reason.c_str())));
}

}  // namespace kelvane::ui
