#include "picture/picture_file.h"

#include <QSaveFile>

#include "picture/png_encoder.h"

namespace ombrisk {

namespace {

int deflate_level(int quality) {
  if (quality < 0) return 6;
  if (quality >= 80) return 0;
  return 1 + (80 - quality) * 11 / 80;
}

}  // namespace

bool save_picture_png(const QImage& image, const QString& path, QString* error, int quality) {
  auto fail = [&](const QString& text) {
    if (error) *error = text;
    return false;
  };
  if (image.isNull()) return fail(QStringLiteral("There is no picture to save in %1").arg(path));
  const QImage rgb = image.format() == QImage::Format_RGB32
                         ? image
                         : image.convertToFormat(QImage::Format_RGB32);
  const std::vector<unsigned char> png =
      encode_png_rgb(reinterpret_cast<const std::uint32_t*>(rgb.constBits()), rgb.width(),
                     rgb.height(), rgb.bytesPerLine() / 4, deflate_level(quality));
  QSaveFile file(path);
  if (png.empty() || !file.open(QIODevice::WriteOnly) ||
      file.write(reinterpret_cast<const char*>(png.data()), static_cast<qint64>(png.size())) !=
          static_cast<qint64>(png.size()) ||
      !file.commit()) {
    return fail(QStringLiteral("Cannot write file %1").arg(path));
  }
  return true;
}

}  // namespace ombrisk
