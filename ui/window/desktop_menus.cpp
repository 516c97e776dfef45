#include "ui/window/desktop_menus.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

#include "ui/resources/command_ids.h"
#include "ui/window/about_box.h"
#include "ui/window/command_shortcuts.h"
#include "ui/window/file_chooser.h"
#include "ui/window/main_window.h"
#include "ui/window/recent_files.h"
#include "ui/window/settings_store.h"
#include "ui/window/window_placement.h"

namespace ombrisk {

DesktopMenus::DesktopMenus(MainWindow& window)
    : QObject(&window), window_(window), choose_save_file_(choose_save_data_file) {
  // Under the Run... popup's own items, which keep their places: it holds
  // "Save", the one file item of a popup, and it is where a user looks for
  // the file items that go with it.
  QAction* save = window.action(kCmdSave);
  QMenu* run = window.menuBar()->actions().constFirst()->menu();
  run->addSeparator();
  save_as_ = run->addAction(QStringLiteral("Save as..."));
  save_as_->setShortcut(save_as_shortcut());
  // Grayed with "Save", by whatever grays it.
  save_as_->setEnabled(save->isEnabled());
  connect(save, &QAction::enabledChanged, save_as_, &QAction::setEnabled);
  connect(save_as_, &QAction::triggered, this, [this] { save_as(); });
  recent_menu_ = run->addMenu(QStringLiteral("Recent files"));
  recent_files_ = new RecentFilesMenu(window, recent_menu_);

  // Last on the bar, where every desktop program keeps it.
  help_menu_ = window.menuBar()->addMenu(QStringLiteral("Help"));
  about_ = help_menu_->addAction(QStringLiteral("About Ombrisk"));
  connect(about_, &QAction::triggered, this, [this] { show_about_box(&window_); });

  const auto settings = open_settings();
  restore_placement(*settings, window);
  window.installEventFilter(this);
}

void DesktopMenus::save_as() {
  if (!save_as_->isEnabled() || !choose_save_file_) return;
  const std::optional<QString> path =
      choose_save_file_(&window_, QString::fromStdString(window_.model().data_file_name));
  if (path) window_.save_as(*path);
}

bool DesktopMenus::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && event->type() == QEvent::Close) {
    const auto settings = open_settings();
    remember_placement(*settings, window_);
  }
  return QObject::eventFilter(watched, event);
}

DesktopMenus* install_desktop_menus(MainWindow& window) { return new DesktopMenus(window); }

}  // namespace ombrisk
