// Writing a picture of the client area to a PNG file.
#pragma once

#include <QImage>
#include <QString>

namespace ombrisk {

// Writes `image` as a PNG at `path`, replacing the file only once the whole
// picture is written. On failure returns false and, if `error` is given, sets
// it to a message naming the file; a file already there is left as it was.
// `quality` as the toolkit's image writers take it: -1 for the usual
// compression, higher for faster writing and larger files (80 and above: the
// fastest, for frames). The alpha channel is not written.
bool save_picture_png(const QImage& image, const QString& path, QString* error, int quality = -1);

}  // namespace ombrisk
