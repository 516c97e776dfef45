// Pictures of the model without a window (ombrisk-batch, the Python module):
// Qt Gui on its offscreen platform, which needs no display, and the window's
// client area drawn for a model.
#pragma once

#include <QImage>
#include <memory>

#include "model/model_state.h"

namespace ombrisk {

// Makes the Qt Gui application a picture needs, on the offscreen platform,
// unless the process already has one. Qt sets the process locale from the
// environment when it starts; the process keeps the one it had. Qt's notes
// are dropped; its errors reach standard error after `program_name`.
class OffscreenGui {
 public:
  explicit OffscreenGui(const char* program_name);
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  struct App;
  std::unique_ptr<App> app_;
};

// The window's client area for `m`: the texts in the default font at the
// screen's resolution, as the lattice view measures and draws them.
QImage window_picture(const ModelState& m);

}  // namespace ombrisk
