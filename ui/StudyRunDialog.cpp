#include "ui/StudyRunDialog.h"

#include <QHBoxLayout>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>

namespace kelvane::ui {

StudyRunDialog::StudyRunDialog(QWidget* parent) : QDialog(parent) {
  progress_ = new QProgressBar(this);
  status_ = new QLabel(this);
  table_ = new QTableWidget(this);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  chart_ = new QChartView(new QChart, this);
  chart_->setMinimumSize(460, 300);
  chart_->setRenderHint(QPainter::Antialiasing);
}

StudyRunDialog::~StudyRunDialog() { Stop(); }

QHBoxLayout* StudyRunDialog::StartRow(QBoxLayout* into, const QString& caption, const QString& name,
                                      QPushButton*& start, const QString& cancelName, QPushButton*& cancel) {
  auto* row = new QHBoxLayout;
  into->addLayout(row);
  start = new QPushButton(caption, this);
  start->setObjectName(name);
  cancel = new QPushButton(QStringLiteral("Cancel"), this);
  if (!cancelName.isEmpty()) cancel->setObjectName(cancelName);
  cancel->setEnabled(false);
  row->addWidget(start);
  row->addWidget(cancel);
  row->addWidget(progress_, 1);
  return row;
}

QPushButton* StudyRunDialog::LoadRow(QBoxLayout* into, const QString& caption, const QString& name) {
  auto* row = new QHBoxLayout;
  auto* load = new QPushButton(caption, this);
  load->setObjectName(name);
  load->setEnabled(false);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  row->addWidget(status_, 1);
  row->addWidget(load);
  row->addWidget(close);
  into->addLayout(row);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  return load;
}

void StudyRunDialog::CancelWithNotice(QPushButton* cancel) {
  connect(cancel, &QPushButton::clicked, this, [this] {
    RequestCancel();
    status_->setText(QStringLiteral("Cancelling: the runs in progress stop after their current step…"));
  });
}

QLabel* StudyRunDialog::Headline(const QString& name) {
  auto* label = new QLabel(this);
  label->setObjectName(name);
  QFont big = label->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.25);
  label->setFont(big);
  return label;
}

QHBoxLayout* StudyRunDialog::TableAndChart() {
  auto* middle = new QHBoxLayout;
  middle->addWidget(table_, 1);
  middle->addWidget(chart_, 1);
  return middle;
}

void StudyRunDialog::FitColumns() {
  QHeaderView* header = table_->horizontalHeader();
  header->setDefaultAlignment(Qt::Alignment::fromInt(Qt::AlignCenter | Qt::TextWordWrap));
  header->setTextElideMode(Qt::ElideNone);
  const QFontMetrics cells(table_->font()), captions(header->font());
  const int pad = 12, columns = table_->columnCount();
  int used = 0, tallest = captions.height();
  for (int c = 0; c < columns; ++c) {
    const QString caption = table_->horizontalHeaderItem(c) ? table_->horizontalHeaderItem(c)->text() : QString();
    int width = 0;
    for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts))
      width = std::max(width, captions.horizontalAdvance(word));
    const int captionWidth = width;
    for (int r = 0; r < table_->rowCount(); ++r)
      if (const QTableWidgetItem* item = table_->item(r, c)) {
        if (c == columns - 1 && !item->text().isEmpty()) table_->item(r, c)->setToolTip(item->text());
        width = std::max(width, cells.horizontalAdvance(item->text()));
      }
    width += pad;
    if (c == columns - 1) width = std::max(captionWidth + pad, std::min(width, table_->viewport()->width() - used));
    table_->setColumnWidth(c, width);
    used += width;
    tallest = std::max(tallest, captions.boundingRect(QRect(0, 0, width - pad, 10000),
                                                      Qt::AlignCenter | Qt::TextWordWrap, caption).height());
  }
  header->setFixedHeight(tallest + 10);
}

void StudyRunDialog::ShowChart(QChart* chart) {
  QChart* old = chart_->chart();
  chart_->setChart(chart);
  delete old;
}

void StudyRunDialog::StartWork(std::function<void(StudyControl&)> work, std::function<void(const RowResult&)> row) {
  Stop();
  finished_ = false;
  control_ = std::make_unique<StudyControl>();
  control_->RowDone = [this, row](const RowResult& r, std::size_t, std::size_t) {
    QMetaObject::invokeMethod(this, [row, r] { row(r); }, Qt::QueuedConnection);
    if (afterRow_) afterRow_(r);
  };
  worker_ = std::thread([this, work = std::move(work)] { work(*control_); });
}

void StudyRunDialog::WorkEnded() {
  if (worker_.joinable()) worker_.join();
  finished_ = true;
}

void StudyRunDialog::RequestCancel() {
  if (control_) control_->Cancel = true;
}

void StudyRunDialog::Stop() {
  RequestCancel();
  if (worker_.joinable()) worker_.join();
}

}  // namespace kelvane::ui
