// Without Qt no picture can be drawn: the command line refuses --png and
// --frames before anything runs, so write_png is never reached.
#include "batch/picture_output.h"

namespace ombrisk::batch {

bool pictures_available() { return false; }

struct PictureWriter::Graphics {};

PictureWriter::PictureWriter() = default;
PictureWriter::~PictureWriter() = default;

bool PictureWriter::write_png(const ModelState&, const std::string& path, std::string& error) {
  error = "Cannot write file " + path + " (pictures are not available in this build)";
  return false;
}

}  // namespace ombrisk::batch
