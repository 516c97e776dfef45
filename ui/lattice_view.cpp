// Placeholder until the rendering lands: a plain grey area of the right size.
#include "ui/lattice_view.h"

#include <QFontMetrics>
#include <QPainter>

namespace ombrisk {

LatticeView::LatticeView(ModelState& model, std::timed_mutex& model_mutex, QWidget* parent)
    : QWidget(parent), model_(model), model_mutex_(model_mutex) {
  text_height_ = QFontMetrics(font()).height();
  client_height_ = 810 + text_height_;
  setFixedSize(850, client_height_);
}

QImage LatticeView::render_picture() {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::gray);
  return image;
}

void LatticeView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, render_picture());
}

}  // namespace ombrisk
