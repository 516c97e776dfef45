#include "ui/window/lattice_view.h"

#include <QFontMetrics>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "picture/lattice_picture.h"
#include "ui/window/model_lock.h"

namespace ombrisk {

LatticeView::LatticeView(ModelState& model, std::timed_mutex& model_mutex, QWidget* parent)
    : QWidget(parent), model_(model), model_mutex_(model_mutex) {
  text_height_ = QFontMetrics(font()).height();
  client_height_ = kClientHeightAboveStatus + text_height_;
  setFixedSize(kClientWidth, client_height_);
  // Every paint covers the whole area, so Qt need not clear it first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage LatticeView::blank_picture() const {
  QImage image(kClientWidth, client_height_, QImage::Format_RGB32);
  // Text in the image comes out in the size it has on this widget's screen.
  image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
  image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
  return image;
}

void LatticeView::draw_picture(QImage& image) {
  if (lock_within(model_mutex_, mutex_wait_)) {
    {
      std::lock_guard<std::timed_mutex> lock(model_mutex_, std::adopt_lock);
      copy_picture_fields(model_, shown_);
    }
    drawn_step_ = shown_.step;
    render_lattice_picture(image, shown_, client_height_, text_height_, font());
  } else {
    report_mutex_timeout();
    drawn_step_ = model_.step;
    render_lattice_picture(image, model_, client_height_, text_height_, font());
  }
}

// A modal box cannot run inside a paint, so the message comes once the paint is
// over; the paint itself goes on at once without the lock. While one such
// message is up, further time-outs do not stack more boxes.
void LatticeView::report_mutex_timeout() {
  if (mutex_message_pending_) return;
  mutex_message_pending_ = true;
  QPointer<LatticeView> self(this);
  QTimer::singleShot(0, this, [self] {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Error"),
                    QStringLiteral("Can't get mutex to repaint!!"), QMessageBox::Ok, nullptr);
    box.exec();
    if (self) self->mutex_message_pending_ = false;
  });
}

QImage LatticeView::render_picture() {
  QImage image = blank_picture();
  draw_picture(image);
  return image;
}

void LatticeView::paintEvent(QPaintEvent*) {
  if (frame_.size() != QSize(kClientWidth, client_height_)) frame_ = blank_picture();
  draw_picture(frame_);
  {
    QPainter painter(this);
    painter.drawImage(0, 0, frame_);
  }
  if (painted_hook_) painted_hook_(frame_, drawn_step_);
}

}  // namespace ombrisk
