// Writing a picture of the client area to a PNG file.
#pragma once

#include <QImage>
#include <QString>

namespace ombrisk {

// Writes `image` as a PNG at `path`, replacing the file only once the whole
// picture is written. On failure returns false and, if `error` is given, sets
// it to a message naming the file; a file already there is left as it was.
// `quality` is the PNG writer's: -1 for its usual compression, higher for
// faster writing and larger files (80 encodes about twice as fast).
bool save_picture_png(const QImage& image, const QString& path, QString* error, int quality = -1);

}  // namespace ombrisk
