#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QtGlobal>
#include <clocale>
#include <cstdio>

#include "batch/picture_output.h"
#include "picture/lattice_picture.h"
#include "picture/picture_file.h"

namespace ombrisk::batch {

bool pictures_available() { return true; }

namespace {

// Qt's notes about its set-up (a missing runtime folder and the like) are not
// the batch's business; its errors still reach standard error.
void qt_message(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  std::fprintf(stderr, "ombrisk-batch: %s\n", qPrintable(text));
}

}  // namespace

// Qt Gui wants an application object; the offscreen platform needs no display.
// Qt sets the process locale from the environment when it starts; the batch
// keeps the one it had.
struct PictureWriter::Graphics {
  Graphics() {
    qInstallMessageHandler(qt_message);
    const char* locale = std::setlocale(LC_ALL, nullptr);
    const std::string saved_locale = locale ? locale : "C";
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
    std::setlocale(LC_ALL, saved_locale.c_str());
  }

  int argc = 1;
  char name[14] = "ombrisk-batch";
  char* argv[2] = {name, nullptr};
  std::unique_ptr<QGuiApplication> app;
};

PictureWriter::PictureWriter() = default;
PictureWriter::~PictureWriter() = default;

namespace {

// The window's client area for `m`: the texts in the default font at the
// screen's resolution, as the lattice view measures and draws them.
QImage window_picture(const ModelState& m) {
  const QFont font = QGuiApplication::font();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi_x = screen ? qRound(screen->logicalDotsPerInchX()) : 96;
  const int dpi_y = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
  const int text_height = QFontMetrics(font).height();
  const int client_height = kClientHeightAboveStatus + text_height;
  QImage image(kClientWidth, client_height, QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(dpi_x / 0.0254));
  image.setDotsPerMeterY(qRound(dpi_y / 0.0254));
  render_lattice_picture(image, m, client_height, text_height, font);
  return image;
}

}  // namespace

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
