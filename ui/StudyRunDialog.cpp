#include "ui/StudyRunDialog.h"

#include <QHBoxLayout>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>
#include <vector>

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

// Every column in sight and every caption whole: each column as wide as its
// widest figure, its caption wrapped into as few lines as the table's width
// allows, so that the header stays low and leaves the rows room.  The last
// column (the runs' messages) takes what width is left; its texts are also
// tooltips.
void StudyRunDialog::FitColumns() {
  QHeaderView* header = table_->horizontalHeader();
  header->setDefaultAlignment(Qt::Alignment::fromInt(Qt::AlignCenter | Qt::TextWordWrap));
  header->setTextElideMode(Qt::ElideNone);
  // The header draws the captions of a selected row's columns in bold:
  // measured in bold, a caption fits either way.
  QFont bold = header->font();
  bold.setBold(true);
  const QFontMetrics cells(table_->font()), captions(bold);
  const int pad = 12, columns = table_->columnCount(), available = table_->viewport()->width();
  if (columns == 0) return;
  std::vector<QString> caption(static_cast<std::size_t>(columns));
  std::vector<int> word(caption.size(), 0), content(caption.size(), 0);
  for (int c = 0; c < columns; ++c) {
    const std::size_t i = static_cast<std::size_t>(c);
    caption[i] = table_->horizontalHeaderItem(c) ? table_->horizontalHeaderItem(c)->text() : QString();
    for (const QString& w : caption[i].split(QLatin1Char(' '), Qt::SkipEmptyParts))
      word[i] = std::max(word[i], captions.horizontalAdvance(w));
    for (int r = 0; r < table_->rowCount(); ++r)
      if (QTableWidgetItem* item = table_->item(r, c)) {
        if (c == columns - 1 && !item->text().isEmpty()) item->setToolTip(item->text());
        content[i] = std::max(content[i], cells.horizontalAdvance(item->text()));
      }
  }
  auto height = [&](std::size_t i, int width) {
    return captions.boundingRect(QRect(0, 0, width, 10000), Qt::AlignCenter | Qt::TextWordWrap, caption[i]).height();
  };
  // The narrowest width at which caption i fits in `lines` lines.
  auto narrowest = [&](std::size_t i, int lines) {
    int lo = word[i], hi = std::max(lo, captions.horizontalAdvance(caption[i]));
    const int most = lines * captions.lineSpacing();
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (height(i, mid) <= most) hi = mid;
      else lo = mid + 1;
    }
    return lo;
  };
  const std::size_t last = caption.size() - 1;
  std::vector<int> width(caption.size());
  for (int lines = 1; lines <= 12; ++lines) {
    int used = 0;
    for (std::size_t i = 0; i < last; ++i) used += width[i] = std::max(content[i], narrowest(i, lines)) + pad;
    const int captionWidth = narrowest(last, lines) + pad;
    width[last] = std::max(captionWidth, std::min(content[last] + pad, available - used));
    if (used + captionWidth <= available) break;
  }
  int tallest = captions.height();
  for (std::size_t i = 0; i < caption.size(); ++i) {
    table_->setColumnWidth(static_cast<int>(i), width[i]);
    tallest = std::max(tallest, height(i, width[i] - pad));
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
