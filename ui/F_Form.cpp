#include "ui/F_Form.h"

#include <QGuiApplication>
#include <QScreen>

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
}

void TFinishForm::showEvent(QShowEvent* event) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
  ok_->setFocus();
}

}  // namespace kelvane::ui
