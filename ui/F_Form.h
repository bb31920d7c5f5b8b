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

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPushButton* ok_;
  QLabel* message_;
};

}  // namespace kelvane::ui
