// The main window: start-up state, menu sets, the run modes and the commands
// that read and write files, driven through the command handler, the menu
// actions and key presses on the offscreen platform.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "model/model_state.h"
#include "ui/window/full_speed_worker.h"
#include "ui/window/lattice_view.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"

using namespace ombrisk;

namespace {

struct Message {
  QString text;
  QString caption;
  QMessageBox::Icon icon;
  QWidget* owner;
};

const std::vector<int> kAllCommands = {kCmdStart,     kCmdStop,       kCmdStep,
                                       kCmdRestart,   kCmdSave,       kCmdStartFullSpeed,
                                       kCmdStopFullSpeed, kCmdDimension, kCmdStomata,
                                       kCmdSetParams, kCmdLoadParams, kCmdDisplay,
                                       kCmdExit};
const std::vector<int> kRunSet = {kCmdStart,    kCmdStep,    kCmdRestart,
                                  kCmdSave,     kCmdDimension, kCmdStomata,
                                  kCmdSetParams, kCmdStartFullSpeed, kCmdStopFullSpeed};
const std::vector<int> kFullSpeedSet = {kCmdStart,    kCmdStop,    kCmdStep,
                                        kCmdRestart,  kCmdSave,    kCmdDimension,
                                        kCmdStomata,  kCmdSetParams, kCmdStartFullSpeed};

bool contains(const std::vector<int>& ids, int id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Every command outside `grayed` is enabled, every one inside is grayed.
QString menu_state_mismatch(MainWindow& w, const std::vector<int>& grayed) {
  for (int id : kAllCommands) {
    if (w.action(id)->isEnabled() == contains(grayed, id)) {
      return QStringLiteral("%1 (%2) is %3").arg(w.action(id)->text()).arg(id)
          .arg(w.action(id)->isEnabled() ? "enabled" : "grayed");
    }
  }
  return {};
}

bool all_p_zero(const ModelState& m) {
  for (double v : m.p_current.values)
    if (v != 0.0) return false;
  return true;
}

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> w;
  std::vector<Message> messages;
  QTemporaryDir dir;

  void use_lattice(int side) {
    ModelState& m = w->model();
    free_lattice(m);
    m.rows = m.cols = side;
    m.stomata.stoma_count = 10;
    reset_lattice(m);
    allocate_stoma_table(m);
  }

  QString write_file(const QString& name, const QByteArray& text) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(text);
    return path;
  }

  // Ends a full-speed run within a generous limit, so a hang fails the test.
  bool wait_for_worker_end() {
    QElapsedTimer t;
    t.start();
    while (w->full_speed_running() && t.elapsed() < 120000) QTest::qWait(5);
    return !w->full_speed_running();
  }

 private slots:
  void init() {
    QVERIFY(dir.isValid());
    messages.clear();
    w = std::make_unique<MainWindow>();
    w->set_message_sink([this](const QString& text, const QString& caption,
                               QMessageBox::Icon icon, QWidget* owner) {
      messages.push_back({text, caption, icon, owner});
    });
    w->show();
  }

  void cleanup() { w.reset(); }

  void start_up_state() {
    QCOMPARE(w->windowTitle(), QStringLiteral("Ombrisk - output.dat"));
    QCOMPARE(w->objectName(), QStringLiteral("Tavrel"));

    QList<QAction*> bar = w->menuBar()->actions();
    QStringList bar_texts;
    for (QAction* a : bar) bar_texts << a->text();
    QCOMPARE(bar_texts, (QStringList{"Run...", "Dimension", "Stomata", "Set params",
                                     "Load params", "Display", "Exit"}));
    QMenu* run = bar.front()->menu();
    QVERIFY(run);
    QStringList run_texts;
    QList<int> run_ids;
    for (QAction* a : run->actions()) {
      run_texts << a->text();
      run_ids << a->data().toInt();
    }
    QCOMPARE(run_texts, (QStringList{"Start", "Stop", "Step", "Restart", "Save",
                                     "Start FullSpeed", "Stop FullSpeed"}));
    QCOMPARE(run_ids, (QList<int>{32772, 32773, 32774, 32776, 32775, 32780, 32781}));
    QList<int> bar_ids;
    for (int i = 1; i < bar.size(); ++i) bar_ids << bar[i]->data().toInt();
    QCOMPARE(bar_ids, (QList<int>{32771, 32778, 32779, 32782, 32777, 105}));
    QCOMPARE(menu_state_mismatch(*w, {}), QString());

    const ModelState& m = w->model();
    QCOMPARE(m.step, 0);
    QCOMPARE(m.paused, 1);
    QCOMPARE(m.full_speed, 0);
    QCOMPARE(m.rows, 100);
    QCOMPARE(m.cols, 100);
    QCOMPARE(m.stomata.stoma_count, 10);
    for (int i = 0; i < 10; ++i) {
      QCOMPARE(m.stomata.stoma_col[i], kStartupStomaCol[i]);
      QCOMPARE(m.stomata.stoma_row[i], kStartupStomaRow[i]);
    }
    QVERIFY(all_p_zero(m));
    QVERIFY(w->step_timer()->isActive());
    QCOMPARE(w->step_timer()->interval(), 500);

    // Fixed size, the drawing as the whole client area.
    QCOMPARE(w->centralWidget(), static_cast<QWidget*>(w->lattice_view()));
    QCOMPARE(w->minimumSize(), w->maximumSize());
  }

  void start_stop_and_space_bar() {
    w->action(kCmdStart)->trigger();
    QCOMPARE(w->model().paused, 0);
    QCOMPARE(menu_state_mismatch(*w, kRunSet), QString());
    // Grayed items do nothing, also when called through the handler.
    w->handle_command(kCmdStep);
    QCOMPARE(w->model().step, 0);

    w->action(kCmdStop)->trigger();
    QCOMPARE(w->model().paused, 1);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());

    QTest::keyClick(w.get(), Qt::Key_Space);
    QCOMPARE(w->model().paused, 0);
    QCOMPARE(menu_state_mismatch(*w, kRunSet), QString());
    // Also when the drawing has the keyboard.
    QTest::keyClick(w->lattice_view(), Qt::Key_Space);
    QCOMPARE(w->model().paused, 1);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());
    // Any other character changes nothing.
    QTest::keyClick(w.get(), Qt::Key_A);
    QCOMPARE(w->model().paused, 1);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());
  }

  void step_and_restart() {
    w->handle_command(kCmdStep);
    w->handle_command(kCmdStep);
    QCOMPARE(w->model().step, 2);
    QVERIFY(!all_p_zero(w->model()));
    QCOMPARE(w->model().paused, 1);

    w->model().paused = 0;
    w->handle_command(kCmdRestart);
    QCOMPARE(w->model().step, 0);
    QCOMPARE(w->model().paused, 1);
    QVERIFY(all_p_zero(w->model()));
    QCOMPARE(w->model().stomata.stoma_count, 10);
  }

  void timer_steps_only_while_running() {
    w->set_step_timer_interval(1);
    QTest::qWait(60);
    QCOMPARE(w->model().step, 0);  // paused: ticks make no step

    // 0 must not divide by zero; a negative interval is accepted as well.
    for (int interval : {0, -3, 7}) {
      w->handle_command(kCmdRestart);
      w->model().display.display_interval = interval;
      w->handle_command(kCmdStart);
      QTRY_VERIFY_WITH_TIMEOUT(w->model().step >= 10, 20000);
      w->handle_command(kCmdStop);
      const int stopped_at = w->model().step;
      QTest::qWait(30);
      QCOMPARE(w->model().step, stopped_at);
    }
  }

  void timer_interval_clamp() {
    w->set_step_timer_interval(0);
    QCOMPARE(w->step_timer()->interval(), 10);
    w->set_step_timer_interval(4000000000u);
    QCOMPARE(w->step_timer()->interval(), std::numeric_limits<int>::max());
    w->set_step_timer_interval(250);
    QCOMPARE(w->step_timer()->interval(), 250);
    QVERIFY(w->step_timer()->isActive());
  }

  void full_speed_runs_to_a_multiple_of_the_period() {
    QSignalSpy finished(w.get(), &MainWindow::full_speed_finished);
    w->set_step_timer_interval(1);
    w->action(kCmdStartFullSpeed)->trigger();
    QVERIFY(w->full_speed_running());
    QCOMPARE(menu_state_mismatch(*w, kFullSpeedSet), QString());
    QVERIFY(w->action(kCmdStopFullSpeed)->isEnabled());

    w->action(kCmdStopFullSpeed)->trigger();
    QCOMPARE(w->model().full_speed, 0);
    // Until the worker has ended the run still counts as full speed: the
    // space bar is ignored and the timer makes no step of its own.
    QTest::keyClick(w.get(), Qt::Key_Space);
    QCOMPARE(w->model().paused, 1);

    QVERIFY(wait_for_worker_end());
    QCOMPARE(finished.count(), 1);
    QVERIFY(w->model().step > 0);
    QCOMPARE(w->model().step % 10000, 0);  // 100 x 100 repaints every 10000 steps
    QCOMPARE(menu_state_mismatch(*w, {}), QString());
    QTest::qWait(30);
    QCOMPARE(w->model().step % 10000, 0);
  }

  void repaint_period_by_lattice_size() {
    QCOMPARE(full_speed_repaint_period(50, 50), 10000);
    QCOMPARE(full_speed_repaint_period(100, 100), 10000);
    QCOMPARE(full_speed_repaint_period(200, 200), 2500);
    QCOMPARE(full_speed_repaint_period(400, 400), 1000);
    QCOMPARE(full_speed_repaint_period(800, 800), 250);
    QCOMPARE(full_speed_repaint_period(100, 60), 1000);   // a loaded odd size
    QCOMPARE(full_speed_repaint_period(800, 100000), 1000);
  }

  void full_speed_ends_itself_below_the_lowest_p() {
    use_lattice(50);
    w->model().display.auto_p_range = 0;
    w->model().display.p_display_min = -20000.0;
    w->handle_command(kCmdStartFullSpeed);
    QVERIFY(wait_for_worker_end());
    QCOMPARE(w->model().step, 1);
    QCOMPARE(w->model().full_speed, 0);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());

    w->model().display.p_display_min = std::numeric_limits<double>::quiet_NaN();
    w->handle_command(kCmdStartFullSpeed);
    QVERIFY(wait_for_worker_end());
    QCOMPARE(w->model().step, 2);
  }

  void step_counter_never_overflows() {
    use_lattice(50);
    const int last = std::numeric_limits<int>::max();
    w->model().step = last - 3;
    w->handle_command(kCmdStartFullSpeed);
    QVERIFY(wait_for_worker_end());
    QCOMPARE(w->model().step, last);
    QCOMPARE(w->model().full_speed, 0);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());
    w->handle_command(kCmdStep);
    QCOMPARE(w->model().step, last);
  }

  void mutex_time_out_is_reported_without_blocking() {
    use_lattice(50);
    w->handle_command(kCmdStartFullSpeed);
    {
      // A paint holding the lock for longer than the worker waits.
      std::lock_guard<std::timed_mutex> hold(w->model_mutex());
      QThread::msleep(5300);
    }
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), std::size_t{1}, 10000);
    QCOMPARE(messages[0].text, QStringLiteral("Can't get mutex to move!!"));
    QCOMPARE(messages[0].caption, QStringLiteral("Error"));
    QVERIFY(messages[0].owner == nullptr);
    // The worker went on once the lock was free; Exit now must not hang.
    QVERIFY(w->full_speed_running());
    w->handle_command(kCmdExit);
    QVERIFY(!w->full_speed_running());
  }

  void save_writes_and_reports_failure() {
    const QString path = dir.filePath("run.dat");
    w->model().data_file_name = path.toStdString();
    w->handle_command(kCmdStep);
    w->handle_command(kCmdSave);
    QVERIFY(messages.empty());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readLine(), QByteArray("800 800 100 100 1\n"));

    const QString bad = dir.filePath("missing/run.dat");
    w->model().data_file_name = bad.toStdString();
    w->handle_command(kCmdSave);
    QCOMPARE(messages.size(), std::size_t{1});
    QCOMPARE(messages[0].text, QStringLiteral("Cannot write file ") + bad);
    QCOMPARE(messages[0].caption, QStringLiteral("Error"));
    QVERIFY(messages[0].owner == nullptr);
    QCOMPARE(w->windowTitle(), QStringLiteral("Ombrisk - output.dat"));
  }

  void load_params_through_the_chooser() {
    const QString good = write_file("good.dat",
                                    "800 800 50 50 7\n1.0000e-01 1.0000e-02\n"
                                    "2 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n"
                                    "5 6 0.500000000\n7 8 0.250000000\n");
    QVERIFY(!good.isEmpty());
    w->set_file_chooser([&](QWidget*) { return std::optional<QString>(good); });
    // During a timer run: the load pauses it; the four settings items come
    // back while the rest of the run set stays grayed.
    w->handle_command(kCmdStart);
    w->handle_command(kCmdLoadParams);
    QVERIFY(messages.empty());
    const ModelState& m = w->model();
    QCOMPARE(m.cols, 50);
    QCOMPARE(m.rows, 50);
    QCOMPARE(m.step, 0);
    QCOMPARE(m.paused, 1);
    QCOMPARE(m.stomata.stoma_count, 2);
    QCOMPARE(m.stomata.stoma_col[1], 7);
    QCOMPARE(w->windowTitle(), QStringLiteral("Ombrisk - ") + good);
    QCOMPARE(menu_state_mismatch(*w, {kCmdStart, kCmdStep, kCmdRestart, kCmdSave,
                                      kCmdStartFullSpeed, kCmdStopFullSpeed}),
             QString());
    w->handle_command(kCmdStop);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());

    // A refused file: model and title stay, the name is kept for Save.
    const QString bad = write_file("bad.dat",
                                   "800 800 128 128 0\n1.0000e-01 1.0000e-02\n"
                                   "1 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n3 3 0.5\n");
    w->set_file_chooser([&](QWidget*) { return std::optional<QString>(bad); });
    w->handle_command(kCmdLoadParams);
    QCOMPARE(messages.size(), std::size_t{1});
    QCOMPARE(messages[0].text, QStringLiteral("Error in data file ") + bad);
    QCOMPARE(messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(messages[0].icon, QMessageBox::Critical);
    QVERIFY(messages[0].owner == nullptr);
    QCOMPARE(m.cols, 50);
    QCOMPARE(m.stomata.stoma_count, 2);
    QCOMPARE(w->windowTitle(), QStringLiteral("Ombrisk - ") + good);
    QCOMPARE(QString::fromStdString(m.data_file_name), bad);

    // A name that does not exist.
    const QString none = dir.filePath("none.dat");
    w->set_file_chooser([&](QWidget*) { return std::optional<QString>(none); });
    w->handle_command(kCmdLoadParams);
    QCOMPARE(messages.size(), std::size_t{2});
    QCOMPARE(messages[1].text, QStringLiteral("Cannot find file ") + none);

    // Cancelled.
    w->set_file_chooser([](QWidget*) { return std::nullopt; });
    w->handle_command(kCmdLoadParams);
    QCOMPARE(messages.size(), std::size_t{3});
    QCOMPARE(messages[2].text, QStringLiteral("Invalid File name!!"));
    QCOMPARE(messages[2].caption, QStringLiteral("Error"));
    QCOMPARE(messages[2].icon, QMessageBox::Information);
    QCOMPARE(messages[2].owner, static_cast<QWidget*>(w.get()));
    QCOMPARE(QString::fromStdString(m.data_file_name), none);
  }

  void cancelled_chooser_shows_a_real_message_box() {
    w->set_message_sink({});
    w->set_file_chooser([](QWidget*) { return std::nullopt; });
    QString text, caption;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      text = box->text();
      caption = box->windowTitle();
      parent = box->parentWidget();
      box->accept();
    });
    w->handle_command(kCmdLoadParams);
    QCOMPARE(text, QStringLiteral("Invalid File name!!"));
    QCOMPARE(caption, QStringLiteral("Error"));
    QCOMPARE(parent, static_cast<QWidget*>(w.get()));
  }

  void load_during_full_speed_ends_the_run_first() {
    const QString good = write_file("small.dat",
                                    "800 800 50 50 0\n1.0000e-01 1.0000e-02\n"
                                    "1 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n3 4 0.5\n");
    w->set_file_chooser([&](QWidget*) { return std::optional<QString>(good); });
    w->handle_command(kCmdStartFullSpeed);
    QTest::qWait(20);
    w->handle_command(kCmdLoadParams);
    QVERIFY(!w->full_speed_running());
    QCOMPARE(w->model().cols, 50);
    QCOMPARE(w->model().step, 0);
    QCOMPARE(w->model().full_speed, 0);
    QCOMPARE(menu_state_mismatch(*w, {}), QString());
    // Nothing of the ended worker is left to act later.
    QTest::qWait(30);
    QCOMPARE(w->model().step, 0);
  }

  void exit_and_destruction_during_full_speed() {
    w->handle_command(kCmdStartFullSpeed);
    QTest::qWait(20);
    w->action(kCmdExit)->trigger();
    QVERIFY(!w->full_speed_running());
    QVERIFY(!w->isVisible());

    // Destroyed while running: the worker is ended before the model goes.
    auto other = std::make_unique<MainWindow>();
    other->handle_command(kCmdStartFullSpeed);
    QVERIFY(other->full_speed_running());
    other.reset();
    QTest::qWait(20);  // nothing of the ended worker is left to run
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
