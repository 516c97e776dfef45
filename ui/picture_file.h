// Writing a picture of the client area to a PNG file.
#pragma once

#include <QImage>
#include <QString>

namespace ombrisk {

// Writes `image` as a PNG at `path`, replacing the file only once the whole
// picture is written. On failure returns false and, if `error` is given, sets
// it to a message naming the file; a file already there is left as it was.
bool save_picture_png(const QImage& image, const QString& path, QString* error);

}  // namespace ombrisk
