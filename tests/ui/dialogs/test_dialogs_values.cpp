// The Display and Parameters dialogs through their commands: the texts shown,
// what OK, Cancel and Esc leave in the model, how typed text is read, the
// stepping timer and the title afterwards.
#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <limits>
#include <thread>

#include "datafile/c_text.h"
#include "dialog_test_harness.h"
#include "ui/dialogs/display_dialog.h"
#include "ui/dialogs/parameters_dialog.h"
#include "ui/resources/command_ids.h"

using namespace ombrisk;
using namespace dialog_test;

namespace {

using Dis = DisplayDialog;
using Par = ParametersDialog;

QString q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// QCOMPARE on doubles is fuzzy; these values must be exact.
#define COMPARE_EXACT(actual, expected)                                              \
  QVERIFY2(static_cast<double>(actual) == static_cast<double>(expected),            \
           qPrintable(QString::asprintf("%.17g, expected %.17g", static_cast<double>(actual), \
                                        static_cast<double>(expected))))

namespace {

}  // namespace

class TestDialogsValues : public QObject {
  Q_OBJECT

  Harness h;
  ModelState& m() { return h.model(); }
  DisplaySettings& disp() { return m().display; }
  ModelParameters& par() { return m().params; }

 private slots:
  void init() { h.open(); }
  void cleanup() { h.close(); }

  void display_shows_fields_and_ok_keeps_untouched_values() {
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Display"));
      QCOMPARE(text(d, Dis::kTime), QStringLiteral("500"));
      QCOMPARE(text(d, Dis::kDisplayInterval), QStringLiteral("1"));
      QCOMPARE(text(d, Dis::kMinP), q(c_format("%4.1f", disp().p_display_min)));
      QCOMPARE(text(d, Dis::kMinJ), q(c_format("%4.3f", disp().j_display_min)));
      QVERIFY(control<QCheckBox>(d, Dis::kAutoP)->isChecked());
      QVERIFY(control<QPushButton>(d, Dis::kOk)->isDefault());
      QCOMPARE(tab_chain(d, Dis::kOk),
               (QList<int>{1, 2, 1011, 1012, 1013, 1000, 1017, 1024, 1025, 1026}));
    }));

    disp().p_display_min = -2.25;
    disp().p_display_max = 7.0;
    disp().j_display_min = 0.9955255;
    disp().j_display_max = kFloatMaxAsDouble;  // left so by a rebuild without stomata
    disp().auto_j_range = 0;
    const DisplaySettings before = disp();
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      QCOMPARE(text(d, Dis::kMinP), QStringLiteral("-2.2"));
      QCOMPARE(text(d, Dis::kMaxP), QStringLiteral(" 7.0"));
      QCOMPARE(text(d, Dis::kMinJ), QStringLiteral("0.996"));
      // The whole number: 39 digits and three decimals.
      QCOMPARE(text(d, Dis::kMaxJ), QStringLiteral("340282346638528859811704183484516925440.000"));
      QVERIFY(!control<QCheckBox>(d, Dis::kAutoJ)->isChecked());
      press(d, Dis::kOk);
    }));
    COMPARE_EXACT(disp().p_display_min, before.p_display_min);
    COMPARE_EXACT(disp().j_display_min, 0.9955255);
    COMPARE_EXACT(disp().j_display_max, kFloatMaxAsDouble);
    QCOMPARE(disp().auto_j_range, 0);
    QCOMPARE(disp().auto_p_range, 1);
  }

  void display_reads_typed_text() {
    // Only the first 30 characters are read: "12" of "12345".
    const QString thirty_then_more = QString(28, QLatin1Char(' ')) + QStringLiteral("12345");
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      type(d, Dis::kMinP, QStringLiteral("0.1"));
      type(d, Dis::kMaxP, QStringLiteral("1e39"));
      type(d, Dis::kMinJ, QStringLiteral(" 0.75abc"));
      type(d, Dis::kMaxJ, thirty_then_more);
      type(d, Dis::kTime, QStringLiteral("-1"));
      type(d, Dis::kDisplayInterval, QString());
      control<QCheckBox>(d, Dis::kAutoP)->click();
      press(d, Dis::kOk);
    }));
    COMPARE_EXACT(disp().p_display_min, 0.10000000149011612);
    COMPARE_EXACT(disp().p_display_max, std::numeric_limits<double>::infinity());
    COMPARE_EXACT(disp().j_display_min, 0.75);
    COMPARE_EXACT(disp().j_display_max, 12.0);
    QCOMPARE(disp().timer_interval_ms, 4294967295u);
    QCOMPARE(h.window->step_timer()->interval(), INT_MAX);
    QCOMPARE(disp().display_interval, 0);
    QCOMPARE(disp().auto_p_range, 0);
    QCOMPARE(disp().auto_j_range, 1);
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      QCOMPARE(text(d, Dis::kTime), QStringLiteral("4294967295"));
      QCOMPARE(text(d, Dis::kMaxP), QStringLiteral(" inf"));
    }));
  }

  void display_cancel_and_esc_change_nothing() {
    const DisplaySettings before = disp();
    QTimer* timer = h.window->step_timer();
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      type(d, Dis::kTime, QStringLiteral("20"));
      type(d, Dis::kMinP, QStringLiteral("3"));
      control<QCheckBox>(d, Dis::kAutoJ)->click();
      press(d, Dis::kCancel);
    }));
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      type(d, Dis::kTime, QStringLiteral("20"));
      QTest::keyClick(&d, Qt::Key_Escape);
      QVERIFY(!d.isVisible());
    }));
    QCOMPARE(disp().timer_interval_ms, before.timer_interval_ms);
    COMPARE_EXACT(disp().p_display_min, before.p_display_min);
    QCOMPARE(disp().auto_j_range, before.auto_j_range);
    QCOMPARE(timer->interval(), 500);
  }

  void display_restarts_the_timer_only_on_a_changed_interval() {
    QTimer* timer = h.window->step_timer();
    // Precise, so that the remaining time is not rounded to a coarse slot.
    timer->setTimerType(Qt::PreciseTimer);
    disp().timer_interval_ms = 100000;
    h.window->set_step_timer_interval(100000);
    // A restarted timer has its whole period to go; one left alone has less.
    auto ok_after_a_while = [&](int id, const QString& typed) {
      return h.run(kCmdDisplay, [&](QDialog& d) {
        QTest::qWait(120);
        type(d, id, typed);
        press(d, Dis::kOk);
      });
    };
    QVERIFY(ok_after_a_while(Dis::kDisplayInterval, QStringLiteral("5")));
    QCOMPARE(disp().display_interval, 5);
    QVERIFY(timer->remainingTime() <= 100000 - 100);
    QVERIFY(ok_after_a_while(Dis::kTime, QStringLiteral("100000")));
    QVERIFY(timer->remainingTime() <= 100000 - 200);
    QVERIFY(ok_after_a_while(Dis::kTime, QStringLiteral("250")));
    QCOMPARE(timer->interval(), 250);
    QVERIFY(timer->isActive());
    // 0 runs the timer at 10 ms; the field keeps what was typed.
    QVERIFY(ok_after_a_while(Dis::kTime, QStringLiteral("0")));
    QCOMPARE(disp().timer_interval_ms, 0u);
    QCOMPARE(timer->interval(), 10);
  }

  void display_ok_writes_under_the_model_lock() {
    std::atomic<bool> locked{false};
    std::atomic<bool> changed_while_locked{false};
    std::thread holder([&] {
      std::lock_guard<std::timed_mutex> hold(h.window->model_mutex());
      locked = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      changed_while_locked = std::atomic_ref<double>(disp().p_display_min).load() == 2.0;
    });
    while (!locked) std::this_thread::yield();
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      type(d, Dis::kMinP, QStringLiteral("2"));
      press(d, Dis::kOk);
    }));
    holder.join();
    QVERIFY(!changed_while_locked);
    COMPARE_EXACT(disp().p_display_min, 2.0);
  }

  // Display opens during a full-speed run; a fixed "Min P" below -10000 ends
  // the run after its next step.
  void display_during_a_full_speed_run() {
    QSignalSpy finished(h.window.get(), &MainWindow::full_speed_finished);
    h.window->handle_command(kCmdStartFullSpeed);
    QVERIFY(h.window->full_speed_running());
    QVERIFY(h.run(kCmdDisplay, [&](QDialog& d) {
      control<QCheckBox>(d, Dis::kAutoP)->click();
      type(d, Dis::kMinP, QStringLiteral("-20000"));
      press(d, Dis::kOk);
    }));
    QTRY_VERIFY_WITH_TIMEOUT(finished.count() == 1, 20000);
    QVERIFY(!h.window->full_speed_running());
    COMPARE_EXACT(disp().p_display_min, -20000.0);
    QCOMPARE(disp().auto_p_range, 0);
  }

  void parameters_shows_fields_and_ok_keeps_untouched_values() {
    QVERIFY(h.run(kCmdSetParams, [&](QDialog& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Parameters"));
      QCOMPARE(text(d, Par::kKepi), QStringLiteral("0.1000"));
      QCOMPARE(text(d, Par::kKin), QStringLiteral("0.01000"));
      QCOMPARE(text(d, Par::kJmax), QStringLiteral(" 1.00"));
      QCOMPARE(text(d, Par::kJo), QStringLiteral(" 0.01"));
      QCOMPARE(text(d, Par::kA), QStringLiteral("1.000"));
      QCOMPARE(text(d, Par::kPminj), QStringLiteral("-10.00"));
      QCOMPARE(text(d, Par::kLeafP), QStringLiteral(" 0.00"));
      QCOMPARE(text(d, Par::kFileName), QStringLiteral("output.dat"));
      QVERIFY(!control<QCheckBox>(d, Par::kOffsetFromMean)->isChecked());
      QVERIFY(control<QPushButton>(d, Par::kOk)->isDefault());
      QCOMPARE(tab_chain(d, Par::kOk),
               (QList<int>{1, 2, 1001, 1002, 1003, 1004, 1005, 1006, 1023, 1027, 1028}));
    }));

    par().kepi = 0.123456;
    par().kin = 0.0123456;
    par().Jo = 0.004;
    par().Jmax = 1e300;
    par().offset_from_mean = 1;
    const std::string long_name = "/data/" + std::string(250, 'x') + ".dat";  // 260 - 1
    m().data_file_name = long_name.substr(0, 259);
    QVERIFY(h.run(kCmdSetParams, [&](QDialog& d) {
      QCOMPARE(text(d, Par::kJo), QStringLiteral(" 0.00"));
      const QString jmax = text(d, Par::kJmax);
      QVERIFY(jmax.size() > 300);
      QCOMPARE(jmax, q(c_format("%5.2f", 1e300)));
      QCOMPARE(text(d, Par::kFileName), q(m().data_file_name));
      press(d, Par::kOk);
    }));
    COMPARE_EXACT(par().kepi, 0.123456);
    COMPARE_EXACT(par().kin, 0.0123456);
    COMPARE_EXACT(par().Jo, 0.004);
    COMPARE_EXACT(par().Jmax, 1e300);
    QCOMPARE(par().offset_from_mean, 1);
    QCOMPARE(m().data_file_name, long_name.substr(0, 259));
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Ombrisk - ") + q(long_name.substr(0, 259)));
  }

  void parameters_reads_typed_text_and_sets_the_title() {
    const ModelParameters before = par();
    const QString long_name = QStringLiteral("/tmp/") + QString(300, QLatin1Char('n'));
    QVERIFY(h.run(kCmdSetParams, [&](QDialog& d) {
      type(d, Par::kKepi, QStringLiteral("0.123456789"));
      type(d, Par::kJo, QStringLiteral("4e-3 per step"));
      type(d, Par::kA, QStringLiteral("x1"));
      type(d, Par::kFileName, long_name);
      control<QCheckBox>(d, Par::kOffsetFromMean)->click();
      press(d, Par::kOk);
    }));
    COMPARE_EXACT(par().kepi, 0.123456789);
    COMPARE_EXACT(par().Jo, 0.004);
    COMPARE_EXACT(par().a, 0.0);
    COMPARE_EXACT(par().kin, before.kin);
    QCOMPARE(par().offset_from_mean, 1);
    QCOMPARE(m().data_file_name, long_name.left(259).toStdString());
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Ombrisk - ") + long_name.left(259));

    QVERIFY(h.run(kCmdSetParams, [&](QDialog& d) {
      type(d, Par::kKepi, QStringLiteral("9"));
      type(d, Par::kFileName, QStringLiteral("other.dat"));
      QTest::keyClick(&d, Qt::Key_Escape);
    }));
    COMPARE_EXACT(par().kepi, 0.123456789);
    QCOMPARE(m().data_file_name, long_name.left(259).toStdString());
  }
};

QTEST_MAIN(TestDialogsValues)
#include "test_dialogs_values.moc"
