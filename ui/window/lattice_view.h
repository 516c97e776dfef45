// The main window's client area: draws the lattice, the stomata, the J legend
// and the status line from the model, copied while holding model_mutex.
#pragma once

#include <QImage>
#include <QWidget>
#include <chrono>
#include <functional>
#include <mutex>

#include "model/model_state.h"

namespace ombrisk {

class LatticeView : public QWidget {
 public:
  LatticeView(ModelState& model, std::timed_mutex& model_mutex, QWidget* parent = nullptr);

  // Measures taken once at creation: the height of the default font and the
  // bottom of the client area (810 + text_height, fixed).
  int text_height() const { return text_height_; }
  int client_height() const { return client_height_; }

  // The client area exactly as a paint draws it (takes model_mutex like a paint).
  QImage render_picture();

  // How long a paint waits for model_mutex before it reports the time-out and
  // draws without it: 10 s; shorter only in tests.
  void set_mutex_wait(std::chrono::milliseconds wait) { mutex_wait_ = wait; }

  // Called after each paint with the picture just drawn and the step it
  // shows, so that a copy of what is on screen costs no second drawing.
  using PaintedHook = std::function<void(const QImage& picture, int step)>;
  void set_painted_hook(PaintedHook hook) { painted_hook_ = std::move(hook); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage blank_picture() const;
  void draw_picture(QImage& image);
  void report_mutex_timeout();

  ModelState& model_;
  std::timed_mutex& model_mutex_;
  int text_height_ = 0;
  int client_height_ = 0;
  std::chrono::milliseconds mutex_wait_{10000};
  bool mutex_message_pending_ = false;
  QImage frame_;  // kept between paints so a paint allocates nothing
  ModelState shown_;  // the model as the last paint copied it, drawn without the lock
  int drawn_step_ = 0;  // the step of the last picture drawn
  PaintedHook painted_hook_;
};

}  // namespace ombrisk
