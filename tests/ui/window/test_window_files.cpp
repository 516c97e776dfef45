// The window's data files as a desktop user meets them: the title always
// names the file "Save" writes (also after a refused load), "Save as..."
// writes and renames, and the recent files are ordered, bounded, kept across
// runs and offer a missing file for removal.
#include <QAction>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "desktop_test_support.h"
#include "ui/resources/command_ids.h"
#include "ui/window/file_chooser.h"
#include "ui/window/recent_files.h"

using namespace ombrisk;
using namespace ombrisk::testing;

class TestWindowFiles : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_dir;
  QTemporaryDir dir;
  DesktopWindow h;

  MainWindow& w() { return *h.window; }
  QString title() { return w().windowTitle(); }
  QString name() { return QString::fromStdString(w().model().data_file_name); }
  QStringList recent() { return h.desktop->recent_files()->files(); }
  void load(const QString& path) {
    w().set_file_chooser([path](QWidget*) { return std::optional<QString>(path); });
    w().handle_command(kCmdLoadParams);
  }
  void save_as(const QString& path) {
    h.desktop->set_save_chooser(
        [path](QWidget*, const QString&) { return std::optional<QString>(path); });
    h.desktop->save_as_action()->trigger();
  }
  QStringList menu_texts() {
    emit h.desktop->recent_menu()->aboutToShow();
    QStringList texts;
    for (QAction* a : h.desktop->recent_menu()->actions()) texts << a->text();
    return texts;
  }

 private slots:
  void initTestCase() {
    QVERIFY(settings_dir.isValid());
    QVERIFY(dir.isValid());
    use_scratch_settings(settings_dir.path());
  }

  void init() {
    clear_settings();
    h.create();
    w().show();
  }

  void cleanup() { h.destroy(); }

  void title_names_the_file_save_writes_after_a_refused_load() {
    const QString good = write_file(dir, "good.dat", kGoodDataFile);
    const QString refused = write_file(dir, "refused.dat", kRefusedDataFile);
    load(good);
    QCOMPARE(title(), "Ombrisk - " + good);

    load(refused);
    QCOMPARE(h.messages.size(), std::size_t{1});
    QCOMPARE(h.messages[0].text, "Error in data file " + refused);
    QCOMPARE(w().model().cols, 50);  // the rest of the load is as it was
    QCOMPARE(name(), refused);
    QCOMPARE(title(), "Ombrisk - " + refused);
    // The file the title names is the one Save writes.
    w().handle_command(kCmdSave);
    QCOMPARE(read_file(refused).left(17), QByteArray("800 800 50 50 0\n1"));

    // A name that does not exist: the same.
    const QString none = dir.filePath("none.dat");
    load(none);
    QCOMPARE(title(), "Ombrisk - " + none);
    w().handle_command(kCmdSave);
    QVERIFY(QFile::exists(none));
  }

  void save_as_writes_renames_and_keeps_save_gray_state() {
    const QString path = dir.filePath("saved_as.dat");
    QString offered;
    h.desktop->set_save_chooser([&](QWidget*, const QString& current) {
      offered = current;
      return std::optional<QString>(path);
    });
    w().handle_command(kCmdStep);
    h.desktop->save_as_action()->trigger();
    QCOMPARE(offered, QStringLiteral("output.dat"));
    QVERIFY(h.messages.empty());
    QCOMPARE(read_file(path).left(19), QByteArray("800 800 100 100 1\n1"));
    QCOMPARE(name(), path);
    QCOMPARE(title(), "Ombrisk - " + path);
    QCOMPARE(recent(), QStringList{path});
    // Save now writes there too.
    QVERIFY(QFile::remove(path));
    w().handle_command(kCmdSave);
    QVERIFY(QFile::exists(path));

    // Grayed with Save: during a timer run it asks nothing and writes nothing.
    w().handle_command(kCmdStart);
    QVERIFY(!h.desktop->save_as_action()->isEnabled());
    offered.clear();
    h.desktop->save_as();
    QVERIFY(offered.isEmpty());
    QVERIFY(!w().save_as(dir.filePath("during_run.dat")));
    QVERIFY(!QFile::exists(dir.filePath("during_run.dat")));
    w().handle_command(kCmdStop);
    QVERIFY(h.desktop->save_as_action()->isEnabled());

    // Cancelled: nothing changes.
    h.desktop->set_save_chooser([](QWidget*, const QString&) { return std::nullopt; });
    h.desktop->save_as();
    QCOMPARE(name(), path);
    QVERIFY(h.messages.empty());
  }

  void failed_save_as_keeps_the_name_and_title() {
    const QString bad = dir.filePath("no_such_folder/x.dat");
    save_as(bad);
    QCOMPARE(h.messages.size(), std::size_t{1});
    QCOMPARE(h.messages[0].text, "Cannot write file " + bad);
    QCOMPARE(h.messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(name(), QStringLiteral("output.dat"));
    QCOMPARE(title(), QStringLiteral("Ombrisk - output.dat"));
    QVERIFY(recent().isEmpty());
  }

  void save_dialog_asks_before_replacing_a_file() {
    const QString existing = write_file(dir, "existing.dat", "keep me\n");
    // Drives the save-file dialog: types the existing name, accepts, and
    // answers the question that follows with `replace`.
    auto drive = [&](bool replace, QString* question) {
      QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        QTimer::singleShot(0, [=] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (!box) return;
          *question = box->text();
          box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
          // Refused: the dialog stays open, and is cancelled.
          if (!replace) QTimer::singleShot(0, dialog, &QDialog::reject);
        });
        dialog->selectFile(existing);
        QMetaObject::invokeMethod(dialog, "accept");  // as the Save button does
      });
    };
    QString question;
    drive(false, &question);
    QCOMPARE(choose_save_data_file(nullptr, dir.filePath("output.dat")), std::nullopt);
    QVERIFY2(question.contains(QStringLiteral("existing.dat")), qPrintable(question));
    QCOMPARE(read_file(existing), QByteArray("keep me\n"));

    question.clear();
    drive(true, &question);
    const std::optional<QString> chosen =
        choose_save_data_file(nullptr, dir.filePath("output.dat"));
    QVERIFY(!question.isEmpty());
    QVERIFY(chosen.has_value());
    QCOMPARE(QFileInfo(*chosen), QFileInfo(existing));
  }

  void recent_list_is_ordered_and_bounded() {
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
      paths << write_file(dir, QStringLiteral("r%1.dat").arg(i), kGoodDataFile);
      if (i % 2 == 0) {
        load(paths.back());
      } else {
        save_as(paths.back());
      }
    }
    QVERIFY(h.messages.empty());
    QStringList expected;
    for (int i = 9; i >= 2; --i) expected << paths[i];
    QCOMPARE(recent(), expected);

    // An older one used again moves to the front, once; a name written
    // another way is the same file.
    load(dir.path() + "/./r5.dat");
    expected.removeAll(paths[5]);
    expected.prepend(paths[5]);
    QCOMPARE(recent(), expected);
    QCOMPARE(menu_texts().size(), kMaxRecentFiles);
    QCOMPARE(menu_texts().front(), "&1 " + QDir::toNativeSeparators(paths[5]));

    // Loads that fail leave the list alone; a plain Save counts.
    const QString refused = write_file(dir, "refused.dat", kRefusedDataFile);
    load(refused);
    load(dir.filePath("never.dat"));
    w().set_file_chooser([](QWidget*) { return std::nullopt; });
    w().handle_command(kCmdLoadParams);
    QCOMPARE(recent(), expected);
    w().handle_command(kCmdSave);  // writes never.dat, the name kept
    QCOMPARE(recent().front(), dir.filePath("never.dat"));
  }

  void recent_list_survives_a_restart_and_loads() {
    const QString a = write_file(dir, "a.dat", kGoodDataFile);
    const QString b = write_file(dir, "b & c.dat", kGoodDataFile);
    load(a);
    load(b);
    h.destroy();
    h.create();
    QCOMPARE(recent(), (QStringList{b, a}));
    const QStringList texts = menu_texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], "&1 " + QDir::toNativeSeparators(b).replace("&", "&&"));

    // Chosen from the menu: loaded as "Load params" loads it.
    h.desktop->recent_menu()->actions().at(1)->trigger();
    QVERIFY(h.messages.empty());
    QCOMPARE(w().model().cols, 50);
    QCOMPARE(title(), "Ombrisk - " + QDir::toNativeSeparators(a));
    QCOMPARE(recent(), (QStringList{a, b}));
  }

  void missing_recent_file_is_offered_for_removal() {
    const QString a = write_file(dir, "gone.dat", kGoodDataFile);
    const QString b = write_file(dir, "stays.dat", kGoodDataFile);
    load(a);
    load(b);
    QVERIFY(QFile::remove(a));
    QVERIFY(menu_texts().at(1).endsWith(QStringLiteral(" (missing)")));
    const int step_before = w().model().step;
    QStringList asked;
    bool answer = false;
    h.desktop->recent_files()->set_removal_question([&](QWidget*, const QString& text) {
      asked << text;
      return answer;
    });

    // Declined: kept, and nothing is loaded or shown.
    h.desktop->recent_menu()->actions().at(1)->trigger();
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].contains(QDir::toNativeSeparators(a)));
    QCOMPARE(recent(), (QStringList{b, a}));
    QVERIFY(h.messages.empty());
    QCOMPARE(name(), b);
    QCOMPARE(w().model().step, step_before);

    answer = true;
    h.desktop->recent_files()->open(a);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(recent(), QStringList{b});
    QCOMPARE(name(), b);
    h.desktop->recent_files()->open(b);  // present: loads, no question
    QCOMPARE(asked.size(), 2);
  }

  void unreadable_or_edited_store_is_ignored() {
    // Hand-edited: duplicates, blanks and too many entries are dropped.
    {
      auto settings = open_settings();
      QStringList stored;
      for (int i = 0; i < 12; ++i) stored << dir.filePath(QStringLiteral("e%1.dat").arg(i / 2));
      stored.insert(1, QString());
      settings->setValue("recent_files", stored);
      settings->sync();
    }
    QStringList expected;
    for (int i = 0; i < 6; ++i) expected << dir.filePath(QStringLiteral("e%1.dat").arg(i));
    QCOMPARE(recent(), expected);
  }

  void settings_file_is_a_folder() {
    // A store that cannot be read: no list, no crash, nothing written there.
    h.destroy();
    clear_settings();
    QVERIFY(QDir().mkpath(settings_file()));
    h.create();
    QVERIFY(recent().isEmpty());
    QCOMPARE(menu_texts(), QStringList{"No recent files"});
    const QString good = write_file(dir, "good.dat", kGoodDataFile);
    load(good);
    QCOMPARE(w().model().cols, 50);
    QVERIFY(recent().isEmpty());
    QVERIFY(QFileInfo(settings_file()).isDir());
    h.destroy();
    QVERIFY(QDir(settings_file()).removeRecursively());
  }
};

QTEST_MAIN(TestWindowFiles)
#include "test_window_files.moc"
