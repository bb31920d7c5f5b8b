#pragma once
// Message boxes that name a field open beside it, never over it: beside the
// window when the screen has room, else beside, under or over the field
// itself, so that the field stays in sight while the box is read.

#include <QMessageBox>
#include <QPointer>
#include <QRect>

namespace kelvane::ui {

// Where a box of `size` goes: outside `field` (both in screen coordinates),
// preferably outside `window` too, and on `screen`.  The gap between box and
// field is `gap` pixels.
QPoint PlaceBoxBeside(const QSize& size, const QRect& field, const QRect& window, const QRect& screen, int gap = 8);

// A QMessageBox that, once it knows its size, moves beside `field` (none:
// where Qt puts it).
class PlacedMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  void SetBeside(QWidget* field) { field_ = field; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPointer<QWidget> field_;
};

}  // namespace kelvane::ui
