// PNG files of pictures: what a reader decodes from them is the picture,
// pixel for pixel, whatever its width, content and compression; a file that
// cannot be written is reported and leaves the old one as it was.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <random>

#include "picture/picture_file.h"
#include "picture/png_encoder.h"

using namespace ombrisk;

namespace {

QImage noisy_picture(int width, int height, unsigned seed) {
  QImage image(width, height, QImage::Format_RGB32);
  std::mt19937 gen(seed);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      // Runs of one colour between random ones, as a picture has both.
      line[x] = (gen() % 4 == 0 && x > 0) ? line[x - 1] : qRgb(gen() & 255, gen() & 255, gen() & 255);
    }
  }
  return image;
}

}  // namespace

class PngFileTest : public QObject {
  Q_OBJECT

 private slots:
  void decodes_to_the_same_pixels() {
    const QSize sizes[] = {{1, 1}, {1, 7}, {2, 3}, {3, 2}, {850, 830}, {851, 5}};
    unsigned seed = 1;
    for (const QSize& size : sizes) {
      const QImage picture = noisy_picture(size.width(), size.height(), seed++);
      for (int level : {0, 1, 6, 12}) {
        const std::vector<unsigned char> png =
            encode_png_rgb(reinterpret_cast<const std::uint32_t*>(picture.constBits()),
                           picture.width(), picture.height(), picture.bytesPerLine() / 4, level);
        QImage decoded;
        QVERIFY(decoded.loadFromData(png.data(), static_cast<int>(png.size()), "PNG"));
        QCOMPARE(decoded.convertToFormat(QImage::Format_RGB32), picture);
      }
    }
    QVERIFY(encode_png_rgb(nullptr, 5, 5, 5, 1).empty());
  }

  void saved_file_holds_the_picture_of_any_format() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.png"));
    QImage picture = noisy_picture(40, 30, 99);
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_RGB888}) {
      const QImage source = picture.convertToFormat(format);
      QString error;
      QVERIFY(save_picture_png(source, path, &error, 80));
      QVERIFY(error.isEmpty());
      QCOMPARE(QImage(path).convertToFormat(QImage::Format_RGB32), picture);
    }
  }

  void unwritable_place_is_reported_and_keeps_the_old_file() {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/picture.png"));
    QString error;
    QVERIFY(!save_picture_png(noisy_picture(4, 4, 3), missing, &error));
    QCOMPARE(error, QStringLiteral("Cannot write file %1").arg(missing));

    const QString path = dir.filePath(QStringLiteral("kept.png"));
    QVERIFY(save_picture_png(noisy_picture(4, 4, 5), path, nullptr));
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    QVERIFY(!save_picture_png(QImage(), path, &error));
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
  }
};

QTEST_MAIN(PngFileTest)
#include "test_png_file.moc"
