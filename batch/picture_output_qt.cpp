// Pictures drawn by the shared picture library on Qt's offscreen platform.
#include <QFile>

#include "batch/picture_output.h"
#include "picture/offscreen_picture.h"
#include "picture/picture_file.h"

namespace ombrisk::batch {

bool pictures_available() { return true; }

struct PictureWriter::Graphics {
  OffscreenGui gui{"ombrisk-batch"};
};

PictureWriter::PictureWriter() = default;
PictureWriter::~PictureWriter() = default;

bool PictureWriter::write_png(const ModelState& m, const std::string& path, std::string& error) {
  if (!graphics_) graphics_ = std::make_unique<Graphics>();
  // File names are bytes: the file system's own encoding, both ways.
  const QString name = QFile::decodeName(path.c_str());
  QString message;
  if (save_picture_png(window_picture(m), name, &message)) return true;
  error = QFile::encodeName(message).toStdString();
  return false;
}

}  // namespace ombrisk::batch
