#include "ui/WindowPlacement.h"

#include <algorithm>

namespace kelvane::ui {

namespace {
constexpr int Gap = 8;
constexpr int MinWidth = 560;
}  // namespace

Placement PlaceBeside(const QRect& main, const QSize& wanted, const QRect& available) {
  Placement p;
  const int height = std::min(wanted.height(), available.height());
  const int top = std::clamp(main.top(), available.top(), available.bottom() + 1 - height);
  auto rightOf = [&](const QRect& m, int width) { return QRect(m.right() + 1 + Gap, top, width, height); };
  auto leftOf = [&](const QRect& m, int width) { return QRect(m.left() - Gap - width, top, width, height); };
  const int right = available.right() - main.right() - Gap;
  const int left = main.left() - available.left() - Gap;
  if (right >= wanted.width()) {
    p.Results = rightOf(main, wanted.width());
    return p;
  }
  if (left >= wanted.width()) {
    p.Results = leftOf(main, wanted.width());
    return p;
  }
  // The main window to the left edge, the Results window to its right.
  const QRect moved(QPoint(available.left(), main.top()), main.size());
  const int freed = available.right() - moved.right() - Gap;
  if (freed >= std::min(wanted.width(), MinWidth) && freed > std::max(left, right)) {
    p.MoveMain = true;
    p.MainTopLeft = moved.topLeft();
    p.Results = rightOf(moved, std::min(wanted.width(), freed));
    return p;
  }
  if (std::max(left, right) >= MinWidth) {
    p.Results = right >= left ? rightOf(main, right) : leftOf(main, left);
    return p;
  }
  p.Behind = true;
  p.Results = QRect(QPoint(available.right() + 1 - std::min(wanted.width(), available.width()), top),
                    QSize(std::min(wanted.width(), available.width()), height));
  return p;
}

}  // namespace kelvane::ui
