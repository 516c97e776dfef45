#include "ui/window/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "ui/window/settings_store.h"

namespace ombrisk {

namespace {

const QString kFrameKey = QStringLiteral("window/frame");

std::int64_t area(const QRect& r) {
  return r.isEmpty() ? 0 : std::int64_t(r.width()) * std::int64_t(r.height());
}

// Squared distance from a point to the nearest point of a rectangle.
std::int64_t distance2(const QPoint& p, const QRect& r) {
  const std::int64_t dx = p.x() < r.left() ? r.left() - p.x() : p.x() > r.right() ? p.x() - r.right() : 0;
  const std::int64_t dy = p.y() < r.top() ? r.top() - p.y() : p.y() > r.bottom() ? p.y() - r.bottom() : 0;
  return dx * dx + dy * dy;
}

// The start of a span of `size` inside [low, low + room): as near `at` as
// fits, the low end when it cannot fit.
int clamp_span(int at, int size, int low, int room) {
  if (size >= room) return low;
  return std::clamp(at, low, low + room - size);
}

}  // namespace

QPoint on_screen_position(const QRect& frame, const QList<QRect>& screens) {
  const QRect* target = nullptr;
  std::int64_t best_cover = 0;
  for (const QRect& screen : screens) {
    if (screen.isEmpty()) continue;
    if (screen.contains(frame)) return frame.topLeft();
    const std::int64_t cover = area(screen.intersected(frame));
    if (cover > best_cover) {
      best_cover = cover;
      target = &screen;
    }
  }
  if (!target) {
    std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
    for (const QRect& screen : screens) {
      if (screen.isEmpty()) continue;
      const std::int64_t d = distance2(frame.center(), screen);
      if (d < nearest) {
        nearest = d;
        target = &screen;
      }
    }
  }
  if (!target) return frame.topLeft();  // no screen to go by
  return {clamp_span(frame.left(), frame.width(), target->left(), target->width()),
          clamp_span(frame.top(), frame.height(), target->top(), target->height())};
}

void remember_placement(QSettings& settings, const QWidget& window) {
  if (!settings_readable(settings)) return;
  settings.setValue(kFrameKey, window.frameGeometry());
  settings.sync();
}

void restore_placement(QSettings& settings, QWidget& window) {
  if (!settings_readable(settings)) return;
  const QVariant kept = settings.value(kFrameKey);
  if (!kept.canConvert<QRect>()) return;
  QRect frame = kept.toRect();
  if (frame.width() <= 0 || frame.height() <= 0) return;
  // Before the window is shown its frame is not known: the kept outer size
  // stands for it, or the present size when the window has grown since.
  const QSize now = window.frameGeometry().size();
  frame.setSize(now.expandedTo(frame.size()));
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
  window.move(on_screen_position(frame, screens));
}

}  // namespace ombrisk
