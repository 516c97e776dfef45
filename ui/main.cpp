// The program: one main window with its Tools popup and desktop items, and
// the event loop.
#include <QApplication>

#include "model/version.h"
#include "ui/window/desktop_menus.h"
#include "ui/window/main_window.h"
#include "ui/tools/tools_menu.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ombrisk"));
  QApplication::setApplicationVersion(QString::fromLatin1(ombrisk::ombrisk_version()));
  ombrisk::MainWindow window;
  ombrisk::install_tools(window);
  ombrisk::install_desktop_menus(window);
  window.show();
  return QApplication::exec();
}
