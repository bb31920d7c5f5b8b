#pragma once
// Closes the modal boxes of the window under test as a user would: a
// repeating timer looks for the active modal widget, notes what it showed
// and presses its OK button (a file dialog is cancelled).

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace kelvane::ui::test {

struct SeenBox {
  QString Kind;  // "message", "error" (general error report), "finish", "files", or the class name
  QString Text;
  bool BusyCursor = false;  // the wait cursor was up while it showed
};

class ModalCloser : public QObject {
 public:
  explicit ModalCloser(int intervalMs = 20);
  const QList<SeenBox>& Seen() const { return seen_; }
  QString Describe() const;  // for failure messages

 private:
  void Poll();
  QTimer timer_;
  QList<SeenBox> seen_;
};

}  // namespace kelvane::ui::test
