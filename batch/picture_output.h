// Pictures of the model as the window draws them, written as PNG files. The
// interface is free of Qt; with the window built, the pictures are drawn by
// Qt Gui on its offscreen platform (no display needed), and without it none
// can be written.
#pragma once

#include <memory>
#include <string>

#include "model/model_state.h"
#include "picture/frame_name.h"

namespace ombrisk::batch {

// Whether this build can write pictures at all.
bool pictures_available();

// Frames are named as the window's recording names them.
using ombrisk::frame_file_name;

class PictureWriter {
 public:
  PictureWriter();
  // Ends the graphics set-up, if one was made.
  ~PictureWriter();
  PictureWriter(const PictureWriter&) = delete;
  PictureWriter& operator=(const PictureWriter&) = delete;

  // Writes the client area of the window showing `m` to `path`, replacing a
  // file there only once the picture is complete. The graphics set-up is
  // made at the first call. On failure returns false and sets `error` to a
  // message naming the file.
  bool write_png(const ModelState& m, const std::string& path, std::string& error);

 private:
  struct Graphics;
  std::unique_ptr<Graphics> graphics_;
};

}  // namespace ombrisk::batch
