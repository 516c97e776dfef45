// The window's place on the screen, kept between runs and never restored
// off-screen (a screen may have gone, or shrunk, since).
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

class QSettings;
class QWidget;

namespace ombrisk {

// Where the top-left corner of `frame` goes so that the window is on one of
// `screens` (their available areas): where it is when it lies wholly on one,
// otherwise moved onto the screen it covers most (the nearest one when it
// covers none) as far as needed, the top-left corner first when the window is
// larger than that screen, so the title bar can always be reached.
QPoint on_screen_position(const QRect& frame, const QList<QRect>& screens);

// Keeps the window's frame (its place and outer size).
void remember_placement(QSettings& settings, const QWidget& window);
// Moves the window to its kept place, on the present screens; nothing when
// none is kept or the store cannot be read. Call before the window is shown.
void restore_placement(QSettings& settings, QWidget& window);

}  // namespace ombrisk
