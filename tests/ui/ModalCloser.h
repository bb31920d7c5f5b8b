#pragma once
// Closes the modal boxes of the window under test as a user would: a
// repeating timer looks for the active modal widget, notes what it showed
// and presses its OK button (Yes on a question; a file dialog is
// cancelled).  The progress dialog of a run is not a box to acknowledge and
// is left alone.

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace kelvane::ui::test {

struct SeenBox {
  QString Kind;  // "message", "error" (general error report), "finish", "question", "files", or the class name
  QString Text;
  bool BusyCursor = false;  // the wait cursor was up while it showed
};

class ModalCloser : public QObject {
 public:
  explicit ModalCloser(int intervalMs = 20);
  const QList<SeenBox>& Seen() const { return seen_; }
  QString Describe() const;  // for failure messages
  // Called with each box before it is closed.
  std::function<void(const SeenBox&)> BeforeClose;

 private:
  void Poll();
  QTimer timer_;
  QList<SeenBox> seen_;
};

}  // namespace kelvane::ui::test
