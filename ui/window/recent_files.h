// The recent data files: the last ones loaded or saved, kept in the settings
// store, and their submenu, which loads a chosen one as "Load params" does.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QMenu;
class QSettings;
class QWidget;

namespace ombrisk {

class MainWindow;

inline constexpr int kMaxRecentFiles = 8;

// `list` with `path` (as its full, clean path) first and nowhere else, cut
// to kMaxRecentFiles.
QStringList with_recent_file(const QStringList& list, const QString& path);
// `list` without `path`.
QStringList without_recent_file(const QStringList& list, const QString& path);

// The stored list, most recent first. Whatever the store holds, the answer is
// a list of at most kMaxRecentFiles different, non-empty names; an unreadable
// store gives an empty one.
QStringList read_recent_files(QSettings& settings);
// Stores `list`; a store that cannot be written is left as it is.
void write_recent_files(QSettings& settings, const QStringList& list);

class RecentFilesMenu : public QObject {
  Q_OBJECT

 public:
  // Fills `menu` (kept by its owner) and keeps it up to date; takes note of
  // every file the window loads or saves. A child of `menu`.
  RecentFilesMenu(MainWindow& window, QMenu* menu);

  // Asks whether a file that no longer exists is to leave the list; a
  // question box unless replaced (tests answer without a box).
  using RemovalQuestion = std::function<bool(QWidget* owner, const QString& text)>;
  void set_removal_question(RemovalQuestion question) { ask_removal_ = std::move(question); }

  QStringList files() const;
  // The work of choosing an entry: loads it, or offers a missing one for
  // removal.
  void open(const QString& path);

 private:
  void add(const QString& path);
  void rebuild();

  MainWindow& window_;
  QMenu* menu_;
  RemovalQuestion ask_removal_;
};

}  // namespace ombrisk
