#include "ModalCloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>

#include "ui/F_Form.h"

namespace kelvane::ui::test {

ModalCloser::ModalCloser(int intervalMs) {
  connect(&timer_, &QTimer::timeout, this, &ModalCloser::Poll);
  timer_.start(intervalMs);
}

void ModalCloser::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible() || qobject_cast<QProgressDialog*>(modal)) return;
  SeenBox seen;
  const QCursor* cursor = QApplication::overrideCursor();
  seen.BusyCursor = cursor && (cursor->shape() == Qt::WaitCursor || cursor->shape() == Qt::BusyCursor);
  QAbstractButton* ok = nullptr;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    seen.Kind = box->objectName() == QLatin1String("ErrorReport") ? QStringLiteral("error") : QStringLiteral("message");
    seen.Text = box->text();
    ok = box->button(QMessageBox::Ok);
    if (!ok && box->button(QMessageBox::Yes)) {
      seen.Kind = QStringLiteral("question");
      ok = box->button(QMessageBox::Yes);
    }
  } else if (auto* finish = qobject_cast<TFinishForm*>(modal)) {
    seen.Kind = QStringLiteral("finish");
    seen.Text = finish->Message()->text();
    ok = finish->OkButton();
  } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
    // Noted as "folder|filters"; then cancelled.
    seen.Kind = QStringLiteral("files");
    seen.Text = files->directory().absolutePath() + '|' + files->nameFilters().join(QStringLiteral(";;"));
  } else {
    seen.Kind = QString::fromLatin1(modal->metaObject()->className());
  }
  seen_.append(seen);
  if (BeforeClose) BeforeClose(seen);
  if (ok)
    ok->click();
  else
    modal->close();
}

QString ModalCloser::Describe() const {
  QStringList parts;
  for (const SeenBox& box : seen_) parts << box.Kind + ": " + box.Text;
  return QStringLiteral("[") + parts.join(QStringLiteral(" | ")) + QStringLiteral("]");
}

}  // namespace kelvane::ui::test
