#pragma once
// Where the Results window opens: beside the main window, never over it (its
// OK and Close buttons stay in reach).  When neither side has room, the main
// window moves to the screen's edge first; only on a screen too small for
// both does the Results window go behind it.

#include <QRect>

namespace kelvane::ui {

struct Placement {
  QRect Results;          // frame of the Results window
  bool MoveMain = false;  // move the main window's frame to MainTopLeft first
  QPoint MainTopLeft;
  bool Behind = false;    // no room beside: keep the main window on top
};

Placement PlaceBeside(const QRect& mainFrame, const QSize& wanted, const QRect& available);

}  // namespace kelvane::ui
