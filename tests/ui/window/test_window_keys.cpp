// The keyboard: every command key triggers its command and does nothing
// while the command is grayed, the keys are shown in the menus, and the space
// bar toggles the run also right after a menu was closed with Esc.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <climits>

#include "desktop_test_support.h"
#include "ui/resources/command_ids.h"
#include "ui/window/command_shortcuts.h"

using namespace ombrisk;
using namespace ombrisk::testing;

class TestWindowKeys : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_dir;
  QTemporaryDir dir;
  DesktopWindow h;
  int chooser_calls = 0;

  MainWindow& w() { return *h.window; }
  QMenu* run_menu() { return w().menuBar()->actions().constFirst()->menu(); }
  bool run_set_grayed() {
    for (int id : {kCmdStart, kCmdStep, kCmdRestart, kCmdSave, kCmdDimension, kCmdStomata,
                   kCmdSetParams, kCmdStartFullSpeed, kCmdStopFullSpeed}) {
      if (w().action(id)->isEnabled()) return false;
    }
    return true;
  }
  // A key as the user types it: to whatever has the keyboard.
  void type(QKeySequence key) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keySequence(focus ? focus : h.window.get(), key);
  }
  void wait_for_worker_end() {
    QTRY_VERIFY_WITH_TIMEOUT(!w().full_speed_running(), 120000);
  }

 private slots:
  void initTestCase() {
    QVERIFY(settings_dir.isValid());
    QVERIFY(dir.isValid());
    use_scratch_settings(settings_dir.path());
  }

  void init() {
    clear_settings();
    chooser_calls = 0;
    h.create();
    w().set_file_chooser([this](QWidget*) {
      ++chooser_calls;
      return std::nullopt;
    });
    // No tick of its own during a test: runs are seen in the flags.
    w().set_step_timer_interval(INT_MAX);
    w().show();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
  }

  void cleanup() { h.destroy(); }

  void keys_are_distinct_and_leave_the_space_bar() {
    QList<QKeySequence> keys{h.desktop->save_as_action()->shortcut()};
    for (int id : {kCmdStart, kCmdStop, kCmdStep, kCmdRestart, kCmdSave, kCmdStartFullSpeed,
                   kCmdStopFullSpeed, kCmdLoadParams, kCmdExit}) {
      const QKeySequence key = w().action(id)->shortcut();
      QVERIFY2(!key.isEmpty(), qPrintable(w().action(id)->text()));
      QVERIFY2(!keys.contains(key), qPrintable(key.toString()));
      QVERIFY(key != QKeySequence(Qt::Key_Space));
      keys << key;
    }
    // The texts stay the original ones; the key is shown beside them.
    QCOMPARE(w().action(kCmdSave)->text(), QStringLiteral("Save"));
  }

  // Each key fires its own item once when it is enabled and not at all when
  // it is grayed, whoever grayed it.
  void each_key_triggers_its_item_only_when_enabled_data() {
    QTest::addColumn<int>("id");
    for (int id : {kCmdStart, kCmdStop, kCmdStep, kCmdRestart, kCmdSave, kCmdStartFullSpeed,
                   kCmdStopFullSpeed, kCmdLoadParams, kCmdExit}) {
      QTest::newRow(qPrintable(QString::number(id))) << id;
    }
  }
  void each_key_triggers_its_item_only_when_enabled() {
    QFETCH(int, id);
    w().model().data_file_name = dir.filePath("keys.dat").toStdString();
    QAction* act = w().action(id);
    QSignalSpy fired(act, &QAction::triggered);
    act->setEnabled(false);
    type(act->shortcut());
    QCOMPARE(fired.count(), 0);
    act->setEnabled(true);
    type(act->shortcut());
    QCOMPARE(fired.count(), 1);
    w().stop_full_speed_and_wait();
  }

  void run_keys_drive_the_model() {
    const QKeySequence step = command_shortcut(kCmdStep);
    type(step);
    type(step);
    QCOMPARE(w().model().step, 2);

    type(command_shortcut(kCmdStart));
    QCOMPARE(w().model().paused, 0);
    QVERIFY(run_set_grayed());
    // Grayed now: no step, no restart, no save beside the run.
    const QString path = dir.filePath("during_run.dat");
    w().model().data_file_name = path.toStdString();
    type(step);
    type(command_shortcut(kCmdRestart));
    type(command_shortcut(kCmdSave));
    type(h.desktop->save_as_action()->shortcut());
    QCOMPARE(w().model().step, 2);
    QVERIFY(!QFile::exists(path));

    type(command_shortcut(kCmdStop));
    QCOMPARE(w().model().paused, 1);
    QVERIFY(!run_set_grayed());
    type(command_shortcut(kCmdSave));
    QVERIFY(QFile::exists(path));
    type(command_shortcut(kCmdRestart));
    QCOMPARE(w().model().step, 0);

    type(command_shortcut(kCmdLoadParams));
    QCOMPARE(chooser_calls, 1);
    QCOMPARE(h.messages.size(), std::size_t{1});
    QCOMPARE(h.messages[0].text, QStringLiteral("Invalid File name!!"));
  }

  void full_speed_keys() {
    type(command_shortcut(kCmdStartFullSpeed));
    QVERIFY(w().full_speed_running());
    // Stop is grayed during a full-speed run: its key must not enable the
    // run set beside the worker.
    type(command_shortcut(kCmdStop));
    QVERIFY(!w().action(kCmdStart)->isEnabled());
    type(command_shortcut(kCmdStopFullSpeed));
    QCOMPARE(w().model().full_speed, 0);
    wait_for_worker_end();
    QVERIFY(w().action(kCmdStart)->isEnabled());

    // A timer run grays Start FullSpeed: its key starts no worker.
    type(command_shortcut(kCmdStart));
    type(command_shortcut(kCmdStartFullSpeed));
    QVERIFY(!w().full_speed_running());
    QCOMPARE(w().model().full_speed, 0);
  }

  void exit_key_closes_the_window() {
    type(command_shortcut(kCmdExit));
    QVERIFY(!w().isVisible());
  }

  void space_after_a_menu_closed_with_escape() {
    QMenuBar* bar = w().menuBar();
    for (int round = 0; round < 2; ++round) {
      bar->setActiveAction(bar->actions().constFirst());
      QTRY_VERIFY(run_menu()->isVisible());
      QTest::keyClick(run_menu(), Qt::Key_Escape);
      QTRY_VERIFY(!run_menu()->isVisible());
      const int paused = w().model().paused;
      type(QKeySequence(Qt::Key_Space));
      QCoreApplication::processEvents();
      QVERIFY2(!run_menu()->isVisible(), "the space bar opened the menu again");
      QCOMPARE(w().model().paused, paused == 1 ? 0 : 1);
      QCOMPARE(run_set_grayed(), paused == 1);
      // The keyboard is the window's again: the next press toggles too.
      type(QKeySequence(Qt::Key_Space));
      QCOMPARE(w().model().paused, paused);
      QVERIFY(!run_menu()->isVisible());
    }
  }
};

QTEST_MAIN(TestWindowKeys)
#include "test_window_keys.moc"
