// What the desktop tests share: a settings store of their own in a scratch
// folder, so that no test reads or writes the user's, and a window with the
// desktop items whose messages are collected instead of shown.
#pragma once

#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "ui/window/desktop_menus.h"
#include "ui/window/main_window.h"
#include "ui/window/settings_store.h"

namespace ombrisk::testing {

struct Message {
  QString text;
  QString caption;
};

// Points the store at `folder`; call before any settings are opened.
inline void use_scratch_settings(const QString& folder) {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

inline QString settings_file() { return open_settings()->fileName(); }

inline void clear_settings() {
  auto settings = open_settings();
  settings->clear();
  settings->sync();
  QFile::remove(settings->fileName());
}

struct DesktopWindow {
  std::unique_ptr<MainWindow> window;
  DesktopMenus* desktop = nullptr;
  std::vector<Message> messages;

  void create() {
    messages.clear();
    window = std::make_unique<MainWindow>();
    desktop = install_desktop_menus(*window);
    window->set_message_sink(
        [this](const QString& text, const QString& caption, QMessageBox::Icon, QWidget*) {
          messages.push_back({text, caption});
        });
  }
  void destroy() {
    window.reset();
    desktop = nullptr;
  }
};

inline QString write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& text) {
  QFile file(dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
  return file.fileName();
}

inline QByteArray read_file(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A data file that loads: a 50 x 50 lattice with two stomata.
inline const QByteArray kGoodDataFile =
    "800 800 50 50 7\n1.0000e-01 1.0000e-02\n"
    "2 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n"
    "5 6 0.500000000\n7 8 0.250000000\n";

// One that is refused: 128 columns is no lattice size.
inline const QByteArray kRefusedDataFile =
    "800 800 128 128 0\n1.0000e-01 1.0000e-02\n"
    "1 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n3 3 0.5\n";

}  // namespace ombrisk::testing
