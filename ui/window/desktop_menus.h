// What a desktop program is expected to have beyond the window's own menu:
// "Save as..." and "Recent files" under the Run... popup's items, a "Help"
// popup with the About box after "Exit", and the window's place remembered
// between runs.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace ombrisk {

class MainWindow;
class RecentFilesMenu;

class DesktopMenus : public QObject {
  Q_OBJECT

 public:
  // Adds the items and puts the window where it was last; call before the
  // window is shown. A child of the window: goes with it.
  explicit DesktopMenus(MainWindow& window);

  // Where "Save as..." asks for a file (the current name is offered); the
  // save-file dialog unless replaced. Nothing means cancelled.
  using SaveChooser = std::function<std::optional<QString>(QWidget* owner, const QString& current)>;
  void set_save_chooser(SaveChooser chooser) { choose_save_file_ = std::move(chooser); }

  QAction* save_as_action() const { return save_as_; }
  QMenu* recent_menu() const { return recent_menu_; }
  RecentFilesMenu* recent_files() const { return recent_files_; }
  QMenu* help_menu() const { return help_menu_; }
  QAction* about_action() const { return about_; }

  void save_as();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MainWindow& window_;
  QAction* save_as_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  RecentFilesMenu* recent_files_ = nullptr;
  QMenu* help_menu_ = nullptr;
  QAction* about_ = nullptr;
  SaveChooser choose_save_file_;
};

// Puts the desktop items into `window`; owned by the window.
DesktopMenus* install_desktop_menus(MainWindow& window);

}  // namespace ombrisk
