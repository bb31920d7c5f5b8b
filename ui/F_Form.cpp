#include "ui/F_Form.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

#include "ui/Controls.h"

namespace kelvane::ui {

TFinishForm::TFinishForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FinishForm"));
  setWindowTitle(QStringLiteral("FinishForm"));
  // Fixed dialog border: a title and a close box, nothing to resize.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(311, 214);
  setModal(true);
  setFont(WindowFont(12));
  setWindowIcon(ResourceIcon(QStringLiteral("kelvane.svg")));

  QFrame* panel = NewBevelPanel(this, QRect(0, 0, 311, 214));
  panel_ = panel;

  QFrame* messagePanel = NewBevelPanel(panel, QRect(21, 16, 269, 41));
  message_ = NewText(messagePanel, QStringLiteral("Calculation is successfully finished !"),
                     QRect(1, 1, 267, 39), Blue);
  message_->setAlignment(Qt::AlignCenter);
  message_->setFont(WindowFont(16));

  QLabel* version = NewText(panel, QStringLiteral("Version 1.2"), QRect(112, 74, 90, 16), Red);
  version->setObjectName(QStringLiteral("VersionLabel"));
  version->setFont(WindowFont(16));
  QLabel* date = NewText(panel, QStringLiteral("2009. 3. 14"), QRect(112, 134, 90, 15), Black);
  date->setObjectName(QStringLiteral("DateLabel"));
  date->setFont(WindowFont(15));

  ok_ = new QPushButton(ResourceIcon(QStringLiteral("check.svg")), QStringLiteral("OK"), panel);
  ok_->setObjectName(QStringLiteral("BitBtn1"));
  ok_->setGeometry(97, 165, 102, 31);
  ok_->setFont(WindowFont(16));
  ok_->setIconSize(QSize(18, 18));
  ok_->setDefault(true);
  ok_->setAutoDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  note_ = NewText(panel, QString(), QRect(21, 160, 269, 0), Black);
  note_->setObjectName(QStringLiteral("RunNote"));
  note_->setWordWrap(true);
  note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  note_->setFont(WindowFont(12));
  note_->hide();
}

void TFinishForm::SetNote(const QString& text) {
  note_->setText(text);
  note_->setVisible(!text.isEmpty());
  // The note goes between the date and OK; the dialog grows by its height.
  const int noteHeight = text.isEmpty() ? 0 : note_->heightForWidth(note_->width()) + 10;
  note_->resize(note_->width(), std::max(0, noteHeight - 10));
  ok_->move(ok_->x(), 165 + noteHeight);
  panel_->resize(311, 214 + noteHeight);
  setFixedSize(311, 214 + noteHeight);
}

void TFinishForm::showEvent(QShowEvent* event) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
  ok_->setFocus();
}

}  // namespace kelvane::ui
