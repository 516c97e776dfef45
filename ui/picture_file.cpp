#include "ui/picture_file.h"

#include <QSaveFile>

namespace ombrisk {

bool save_picture_png(const QImage& image, const QString& path, QString* error, int quality) {
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    return false;
  };
  if (image.isNull()) return fail(QStringLiteral("There is no picture to save in %1").arg(path));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG", quality) || !file.commit()) {
    return fail(QStringLiteral("Cannot write file %1").arg(path));
  }
  return true;
}

}  // namespace ombrisk
