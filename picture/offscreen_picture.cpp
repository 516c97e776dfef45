#include "picture/offscreen_picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QtGlobal>
#include <clocale>
#include <cstdio>
#include <string>

#include "picture/lattice_picture.h"

namespace ombrisk {

namespace {

std::string message_prefix = "ombrisk";

void qt_message(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type != QtCriticalMsg && type != QtFatalMsg) return;
  std::fprintf(stderr, "%s: %s\n", message_prefix.c_str(), qPrintable(text));
}

}  // namespace

struct OffscreenGui::App {
  explicit App(const char* program_name) : name(program_name) {
    argv[0] = name.data();
    qInstallMessageHandler(qt_message);
    const char* locale = std::setlocale(LC_ALL, nullptr);
    const std::string saved_locale = locale ? locale : "C";
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
    std::setlocale(LC_ALL, saved_locale.c_str());
  }

  std::string name;
  int argc = 1;
  char* argv[2] = {nullptr, nullptr};
  std::unique_ptr<QGuiApplication> app;
};

OffscreenGui::OffscreenGui(const char* program_name) {
  message_prefix = program_name;
  if (QCoreApplication::instance() == nullptr) app_ = std::make_unique<App>(program_name);
}

OffscreenGui::~OffscreenGui() = default;

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

}  // namespace ombrisk
