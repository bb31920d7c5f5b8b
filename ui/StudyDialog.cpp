#include "ui/StudyDialog.h"

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
#include <map>
#include <stdexcept>

#include "files/StagedFile.h"
#include "run/ReadRunParameters.h"
#include "study/StudyTable.h"

namespace kelvane::ui {

namespace {

// "Zone 2: Outer Temperature (℃)" for zone fields, the caption otherwise.
QString FieldLabel(const FieldSpec& f) {
  const QString caption = QString::fromStdString(f.Caption);
  return f.Zone > 0 ? QStringLiteral("Zone %1: %2").arg(f.Zone).arg(caption) : caption;
}

}  // namespace

StudyDialog::StudyDialog(FieldTexts& fields, bool robust, QWidget* parent)
    : QDialog(parent), fields_(fields), robust_(robust) {
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

  auto* buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  runButton_ = new QPushButton(QStringLiteral("Run"), this);
  cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancelButton_->setEnabled(false);
  progress_ = new QProgressBar(this);
  status_ = new QLabel(this);
  outcome_ = new QComboBox(this);
  outcome_->setObjectName(QStringLiteral("StudyOutcome"));
  for (const SummaryColumn& c : SummaryColumns()) outcome_->addItem(QString::fromLatin1(c.Name));
  buttons->addWidget(runButton_);
  buttons->addWidget(cancelButton_);
  buttons->addWidget(progress_, 1);
  buttons->addWidget(new QLabel(QStringLiteral("Chart:"), this));
  buttons->addWidget(outcome_);

  table_ = new QTableWidget(this);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->hide();
  chart_ = new QChartView(new QChart, this);
  chart_->setMinimumSize(460, 300);
  auto* middle = new QHBoxLayout;
  middle->addWidget(table_, 1);
  middle->addWidget(chart_, 1);
  layout->addLayout(middle, 1);

  auto* bottom = new QHBoxLayout;
  loadButton_ = new QPushButton(QStringLiteral("Load this run"), this);
  exportButton_ = new QPushButton(QStringLiteral("Export CSV…"), this);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  bottom->addWidget(status_, 1);
  bottom->addWidget(loadButton_);
  bottom->addWidget(exportButton_);
  bottom->addWidget(close);
  layout->addLayout(bottom);
  resize(1100, 560);

  connect(runButton_, &QPushButton::clicked, this, &StudyDialog::Start);
  connect(cancelButton_, &QPushButton::clicked, this, [this] {
    if (control_) control_->Cancel = true;
  });
  connect(outcome_, &QComboBox::currentIndexChanged, this, &StudyDialog::Redraw);
  connect(loadButton_, &QPushButton::clicked, this, &StudyDialog::LoadRow);
  connect(exportButton_, &QPushButton::clicked, this, &StudyDialog::ExportCsv);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

StudyDialog::~StudyDialog() { Stop(); }

void StudyDialog::Stop() {
  if (control_) control_->Cancel = true;
  if (worker_.joinable()) worker_.join();
}

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
  QStringList header{QStringLiteral("row")};
  for (const VariedField& v : study_.Varied) header << QString::fromStdString(v.Name);
  header << QStringLiteral("outcome") << QStringLiteral("message");
  for (const SummaryColumn& c : SummaryColumns()) header << QString::fromLatin1(c.Name);
  table_->clear();
  table_->setColumnCount(header.size());
  table_->setHorizontalHeaderLabels(header);
  table_->setRowCount(static_cast<int>(rows_.size()));
  progress_->setRange(0, static_cast<int>(rows_.size()));
  progress_->setValue(0);
  status_->setText(QStringLiteral("%1 runs").arg(rows_.size()));
  runButton_->setEnabled(false);
  cancelButton_->setEnabled(true);
  finished_ = false;
  control_ = std::make_unique<StudyControl>();
  control_->RowDone = [this](const RowResult& r, std::size_t done, std::size_t total) {
    QMetaObject::invokeMethod(this, [this, r, done, total] { RowDone(r, static_cast<int>(done), static_cast<int>(total)); },
                              Qt::QueuedConnection);
  };
  StudyOptions options;
  options.Robust = robust_;
  worker_ = std::thread([this, options] {
    std::vector<RowResult> all = RunStudy(study_, rows_, options, *control_);
    QMetaObject::invokeMethod(this, [this, all] {
      for (std::size_t i = 0; i < all.size(); ++i)
        if (!have_[i]) RowDone(all[i], 0, 0);
      Finished();
    }, Qt::QueuedConnection);
  });
}

void StudyDialog::RowDone(const RowResult& r, int done, int total) {
  const int i = static_cast<int>(r.Row.Number) - 1;
  if (i < 0 || i >= static_cast<int>(results_.size())) return;
  results_[static_cast<std::size_t>(i)] = r;
  have_[static_cast<std::size_t>(i)] = true;
  int c = 0;
  auto put = [&](const QString& text) { table_->setItem(i, c++, new QTableWidgetItem(text)); };
  put(QString::number(r.Row.Number));
  for (const std::string& v : r.Row.Values) put(QString::fromStdString(v));
  put(QString::fromLatin1(RowOutcomeName(r.Outcome)));
  put(QString::fromStdString(r.Message));
  for (const auto& v : r.Summary) put(v ? QString::fromStdString(ShortestNumber(*v)) : QString());
  if (total > 0) progress_->setValue(done);
  Redraw();
}

void StudyDialog::Finished() {
  if (worker_.joinable()) worker_.join();
  finished_ = true;
  runButton_->setEnabled(true);
  cancelButton_->setEnabled(false);
  int ok = 0;
  for (const RowResult& r : results_) ok += r.Outcome == RowOutcome::Finished;
  status_->setText(QStringLiteral("%1 of %2 runs finished%3")
                       .arg(ok)
                       .arg(results_.size())
                       .arg(control_ && control_->Cancel ? QStringLiteral(" (cancelled: the table is incomplete)")
                                                         : QString()));
  progress_->setValue(progress_->maximum());
  table_->resizeColumnsToContents();
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
      s->setName(key.empty() ? QString::fromStdString(study_.Varied[0].Name)
                             : QString::fromStdString(study_.Varied[1].Name + " = " + key));
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
  x->setTitleText(study_.Varied.empty() ? QString() : QString::fromStdString(study_.Varied[0].Name));
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
    x->setRange(x0, x1 > x0 ? x1 : x0 + 1);
    y->setRange(std::min(0.0, y0), y1 > y0 ? y1 * 1.05 : y0 + 1);
  }
  chart->legend()->setVisible(series.size() > 1);
  QChart* old = chart_->chart();
  chart_->setChart(chart);
  delete old;
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
