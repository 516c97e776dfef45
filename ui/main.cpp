// The program: one main window with its Tools popup, and the event loop.
#include <QApplication>

#include "ui/window/main_window.h"
#include "ui/tools/tools_menu.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ombrisk"));
  ombrisk::MainWindow window;
  ombrisk::install_tools(window);
  window.show();
  return QApplication::exec();
}
