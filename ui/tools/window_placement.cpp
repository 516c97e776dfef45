// Placing a tool window beside the main window on its screen.
#include "ui/tools/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace ombrisk {

namespace {

// `from` moved as little as keeps [from, from + length) inside [low, high),
// or `low` when the stretch is longer than the room.
int kept_inside(int from, int length, int low, int high) {
  return std::max(low, std::min(from, high - length));
}

}  // namespace

QPoint place_beside(const QRect& main, const QSize& size, const QRect& screen) {
  const int screen_right = screen.x() + screen.width();
  const int right_of_main = main.x() + main.width();
  int x = 0;
  if (right_of_main + size.width() <= screen_right) {
    x = right_of_main;
  } else if (main.x() - size.width() >= screen.x()) {
    x = main.x() - size.width();
  } else {
    x = kept_inside(right_of_main, size.width(), screen.x(), screen_right);
  }
  const int y = kept_inside(main.y(), size.height(), screen.y(), screen.y() + screen.height());
  return {x, y};
}

void move_beside(QWidget& tool, const QWidget& main) {
  const QRect frame = main.frameGeometry();
  const QRect inner = main.geometry();
  const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                         frame.right() - inner.right(), frame.bottom() - inner.bottom());
  const QSize size = tool.isVisible() ? tool.frameGeometry().size() : tool.size().grownBy(margins);
  const QScreen* screen = main.screen();
  const QRect area = screen ? screen->availableGeometry() : frame;
  tool.move(place_beside(frame, size, area));
}

}  // namespace ombrisk
