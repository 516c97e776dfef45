// Where a tool window goes when it is first shown: beside the main window and
// on the same screen, rather than wherever the platform puts a new window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace ombrisk {

// The top left corner for a window whose frame is `size`, given the main
// window's frame `main` and the screen's free area `screen`: just right of
// the main window if it fits there, else just left of it, else as near the
// right of it as stays on the screen. Its top is the main window's, moved
// as little as keeps it on the screen. A window larger than the screen
// starts at the screen's top left corner.
QPoint place_beside(const QRect& main, const QSize& size, const QRect& screen);

// Moves top-level `tool` beside top-level `main` on main's screen. A tool not
// yet shown has no frame of its own: it is taken as wide as main's.
void move_beside(QWidget& tool, const QWidget& main);

}  // namespace ombrisk
