#pragma once
// The finish dialog, shown modally after a calculation has run through every
// zone.

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace kelvane::ui {

class TFinishForm : public QDialog {
  Q_OBJECT

 public:
  explicit TFinishForm(QWidget* parent = nullptr);

  QPushButton* OkButton() const { return ok_; }
  QLabel* Message() const { return message_; }
  // What else the run did (steps the robust surface solve took over, a
  // second march), told under the date in this dialog rather than in a box
  // of its own; empty hides it.
  void SetNote(const QString& text);
  QLabel* Note() const { return note_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* ok_;
  QLabel* message_;
  QLabel* note_;
  QFrame* panel_;
};

}  // namespace kelvane::ui
