#include "ui/BoxPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

namespace kelvane::ui {

namespace {

// `box` moved into `screen` as far as it fits.
QRect Inside(QRect box, const QRect& screen) {
  box.moveLeft(std::max(screen.left(), std::min(box.left(), screen.right() - box.width() + 1)));
  box.moveTop(std::max(screen.top(), std::min(box.top(), screen.bottom() - box.height() + 1)));
  return box;
}

}  // namespace

QPoint PlaceBoxBeside(const QSize& size, const QRect& field, const QRect& window, const QRect& screen, int gap) {
  const int w = size.width(), h = size.height();
  const int top = field.top() - h / 3;  // the field a third of the way down the box
  // In order of preference: beside the window, beside the field, under it, over it.
  const QRect candidates[] = {
      QRect(window.right() + 1 + gap, top, w, h), QRect(window.left() - gap - w, top, w, h),
      QRect(field.right() + 1 + gap, top, w, h),  QRect(field.left() - gap - w, top, w, h),
      QRect(field.left(), field.bottom() + 1 + gap, w, h), QRect(field.left(), field.top() - gap - h, w, h)};
  for (int i = 0; i < 6; ++i) {
    // Beside: moved up or down onto the screen, never sideways over the
    // field; under and over: moved sideways onto it.
    QRect placed = candidates[i];
    if (i < 4)
      placed.moveTop(std::max(screen.top(), std::min(placed.top(), screen.bottom() - h + 1)));
    else
      placed = Inside(placed, screen);
    if (screen.contains(placed) && !placed.intersects(field)) return placed.topLeft();
  }
  // No room anywhere: under the field, on the screen.
  return Inside(candidates[4], screen).topLeft();
}

void PlacedMessageBox::showEvent(QShowEvent* event) {
  QMessageBox::showEvent(event);  // sets the box's final size
  if (!field_ || !field_->isVisible()) return;
  QScreen* screen = field_->screen() ? field_->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect field(field_->mapToGlobal(QPoint(0, 0)), field_->size());
  // A window's move() places its frame.
  move(PlaceBoxBeside(frameGeometry().size(), field, field_->window()->frameGeometry(), screen->availableGeometry()));
}

}  // namespace kelvane::ui
