// The program: one main window and the event loop.
#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ombrisk"));
  ombrisk::MainWindow window;
  window.show();
  return QApplication::exec();
}
