#include "ui/window/recent_files.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>

#include "ui/window/main_window.h"
#include "ui/window/settings_store.h"

namespace ombrisk {

namespace {

const QString kKey = QStringLiteral("recent_files");

// One name per file, whatever way it was reached; relative names are taken
// from the current directory, which is where the load or save used them.
QString full_name(const QString& path) {
  return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

}  // namespace

QStringList with_recent_file(const QStringList& list, const QString& path) {
  QStringList result = without_recent_file(list, path);
  result.prepend(full_name(path));
  while (result.size() > kMaxRecentFiles) result.removeLast();
  return result;
}

QStringList without_recent_file(const QStringList& list, const QString& path) {
  const QString name = full_name(path);
  QStringList result;
  for (const QString& entry : list) {
    if (full_name(entry) != name) result << entry;
  }
  return result;
}

QStringList read_recent_files(QSettings& settings) {
  if (!settings_readable(settings)) return {};
  // The store is a text file a user may have edited: take only what a list
  // of names can be.
  QStringList result;
  for (const QString& entry : settings.value(kKey).toStringList()) {
    if (entry.isEmpty() || result.size() == kMaxRecentFiles) continue;
    const QString name = full_name(entry);
    if (!result.contains(name)) result << name;
  }
  return result;
}

void write_recent_files(QSettings& settings, const QStringList& list) {
  // A store that could not be read is not written over: it may hold what a
  // later version, or the user, put there.
  if (!settings_readable(settings)) return;
  settings.setValue(kKey, list);
  settings.sync();
}

RecentFilesMenu::RecentFilesMenu(MainWindow& window, QMenu* menu)
    : QObject(menu), window_(window), menu_(menu) {
  ask_removal_ = [](QWidget* owner, const QString& text) {
    return QMessageBox::question(owner, QStringLiteral("Recent files"), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
  };
  connect(&window, &MainWindow::data_file_used, this, &RecentFilesMenu::add);
  // Also when shown: another window of the program may have changed the
  // list, and a file may have gone since.
  connect(menu, &QMenu::aboutToShow, this, &RecentFilesMenu::rebuild);
  rebuild();
}

QStringList RecentFilesMenu::files() const {
  const auto settings = open_settings();
  return read_recent_files(*settings);
}

void RecentFilesMenu::add(const QString& path) {
  const auto settings = open_settings();
  write_recent_files(*settings, with_recent_file(read_recent_files(*settings), path));
  rebuild();
}

void RecentFilesMenu::open(const QString& path) {
  if (!QFileInfo::exists(path)) {
    const QString text = QStringLiteral("%1 no longer exists.\nRemove it from the recent files?")
                             .arg(QDir::toNativeSeparators(path));
    if (ask_removal_ && ask_removal_(&window_, text)) {
      const auto settings = open_settings();
      write_recent_files(*settings, without_recent_file(read_recent_files(*settings), path));
      rebuild();
    }
    return;
  }
  window_.load_file(QDir::toNativeSeparators(path));
}

void RecentFilesMenu::rebuild() {
  // Later, not now: the entry being chosen may be what rebuilds the menu.
  for (QAction* old : menu_->actions()) {
    menu_->removeAction(old);
    old->deleteLater();
  }
  const QStringList list = files();
  if (list.isEmpty()) {
    menu_->addAction(QStringLiteral("No recent files"))->setEnabled(false);
    return;
  }
  int number = 1;
  for (const QString& path : list) {
    QString text = QDir::toNativeSeparators(path);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    text = QStringLiteral("&%1 %2").arg(number++).arg(text);
    if (!QFileInfo::exists(path)) text += QStringLiteral(" (missing)");
    QAction* act = menu_->addAction(text);
    act->setData(path);
    connect(act, &QAction::triggered, this, [this, path] { open(path); });
  }
}

}  // namespace ombrisk
