// Where the desktop items sit (the original items keep their places), the
// About box, and the window's place kept between runs and never off-screen.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "desktop_test_support.h"
#include "model/version.h"
#include "ui/resources/command_ids.h"
#include "ui/window/about_box.h"
#include "ui/window/window_placement.h"

using namespace ombrisk;
using namespace ombrisk::testing;

namespace {

QStringList texts(const QList<QAction*>& actions) {
  QStringList result;
  for (QAction* a : actions) result << (a->isSeparator() ? QStringLiteral("-") : a->text());
  return result;
}

}  // namespace

class TestWindowDesktop : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir settings_dir;
  DesktopWindow h;

  MainWindow& w() { return *h.window; }
  void keep_frame(const QRect& frame) {
    auto settings = open_settings();
    settings->setValue("window/frame", frame);
    settings->sync();
  }

 private slots:
  void initTestCase() {
    QVERIFY(settings_dir.isValid());
    use_scratch_settings(settings_dir.path());
  }

  void init() { clear_settings(); }
  void cleanup() { h.destroy(); }

  void new_items_follow_the_original_ones() {
    h.create();
    const QList<QAction*> bar = w().menuBar()->actions();
    QCOMPARE(texts(bar), (QStringList{"Run...", "Dimension", "Stomata", "Set params",
                                      "Load params", "Display", "Exit", "Help"}));
    QCOMPARE(texts(bar[0]->menu()->actions()),
             (QStringList{"Start", "Stop", "Step", "Restart", "Save", "Start FullSpeed",
                          "Stop FullSpeed", "-", "Save as...", "Recent files"}));
    QCOMPARE(bar[0]->menu()->actions().at(9)->menu(), h.desktop->recent_menu());
    QCOMPARE(texts(h.desktop->help_menu()->actions()), QStringList{"About Ombrisk"});
    for (QAction* a : bar) QVERIFY2(a->isEnabled(), qPrintable(a->text()));
  }

  void about_box_shows_name_version_licence_and_qt() {
    h.create();
    const QString text = about_text();
    QVERIFY(text.contains(QStringLiteral("Ombrisk ") + QString::fromLatin1(ombrisk_version())));
    QVERIFY(text.contains(QStringLiteral("MIT")));
    QVERIFY(text.contains(QStringLiteral("hexagonal lattice")));
    QVERIFY(text.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
    QVERIFY(QString::fromLatin1(ombrisk_version()).contains(QLatin1Char('.')));

    // Through its menu item: a modal box over the window.
    QString shown, title;
    QWidget* parent = nullptr;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      shown = box->text();
      title = box->windowTitle();
      parent = box->parentWidget();
      box->accept();
    });
    h.desktop->about_action()->trigger();
    QCOMPARE(shown, text);
    QCOMPARE(title, QStringLiteral("About Ombrisk"));
    QCOMPARE(parent, static_cast<QWidget*>(h.window.get()));
  }

  void on_screen_position_rules() {
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    const QSize size(866, 870);
    // On one screen: where it is.
    QCOMPARE(on_screen_position(QRect(QPoint(100, 50), size), {left, right}), QPoint(100, 50));
    QCOMPARE(on_screen_position(QRect(QPoint(2000, 10), size), {left, right}), QPoint(2000, 10));
    // Partly off the right edge: pulled in.
    QCOMPARE(on_screen_position(QRect(QPoint(1500, 900), size), {left}), QPoint(1920 - 866, 1080 - 870));
    // Across two screens: onto the one it covers most.
    QCOMPARE(on_screen_position(QRect(QPoint(1700, 0), size), {left, right}), QPoint(1920, 0));
    // On a screen that has gone: onto the nearest one.
    QCOMPARE(on_screen_position(QRect(QPoint(2500, 100), size), {left}), QPoint(1920 - 866, 100));
    QCOMPARE(on_screen_position(QRect(QPoint(-5000, -5000), size), {left, right}), QPoint(0, 0));
    // Larger than the screen: the top-left corner, title bar in reach.
    const QRect small(0, 0, 800, 600);
    QCOMPARE(on_screen_position(QRect(QPoint(300, 200), size), {small}), QPoint(0, 0));
    // A screen left of and above the origin.
    const QRect negative(-1280, -200, 1280, 1024);
    QCOMPARE(on_screen_position(QRect(QPoint(-1300, -300), size), {negative}), QPoint(-1280, -200));
    // No screens to go by: left alone.
    QCOMPARE(on_screen_position(QRect(QPoint(7, 8), size), {}), QPoint(7, 8));
  }

  // Two screens side by side (see main): a wide one and a smaller one on its
  // right.
  void placement_is_kept_between_runs_data() {
    QTest::addColumn<QPoint>("place");
    QTest::newRow("left screen") << QPoint(100, 50);
    QTest::newRow("right screen") << QPoint(2000, 10);
  }
  void placement_is_kept_between_runs() {
    QFETCH(QPoint, place);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    h.create();
    w().move(place);
    w().show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    QTRY_COMPARE(w().pos(), place);
    const QRect frame = w().frameGeometry();
    w().close();  // Exit goes through the same close
    h.destroy();
    QCOMPARE(open_settings()->value("window/frame").toRect(), frame);

    h.create();
    QCOMPARE(w().pos(), place);
    w().show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    QCOMPARE(w().pos(), place);
  }

  void kept_place_off_screen_comes_back_data() {
    QTest::addColumn<QRect>("kept");
    QTest::addColumn<QPoint>("expected");
    // The right screen has gone or shrunk: the nearest one takes the window.
    QTest::newRow("far right") << QRect(9000, 100, 866, 870) << QPoint(3200 - 866, 100);
    QTest::newRow("below") << QRect(300, 5000, 866, 870) << QPoint(300, 1080 - 870);
    QTest::newRow("above left") << QRect(-4000, -4000, 866, 870) << QPoint(0, 0);
    QTest::newRow("half off the bottom") << QRect(2100, 600, 866, 870) << QPoint(2100, 1024 - 870);
  }
  void kept_place_off_screen_comes_back() {
    QFETCH(QRect, kept);
    QFETCH(QPoint, expected);
    keep_frame(kept);
    h.create();
    QCOMPARE(w().pos(), expected);
    w().show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    bool on_a_screen = false;
    for (QScreen* screen : QGuiApplication::screens()) {
      on_a_screen |= screen->availableGeometry().contains(w().frameGeometry());
    }
    QVERIFY2(on_a_screen, "the window is not wholly on a screen");
  }

  void nothing_kept_or_nonsense_kept_leaves_the_default() {
    h.create();
    const QPoint default_place = w().pos();
    h.destroy();
    for (const QVariant& kept : {QVariant(), QVariant(QStringLiteral("garbage")),
                                 QVariant(QRect(10, 10, 0, -5))}) {
      auto settings = open_settings();
      settings->setValue("window/frame", kept);
      settings->sync();
      h.create();
      QCOMPARE(w().pos(), default_place);
      h.destroy();
    }
  }
};

int main(int argc, char** argv) {
  // The offscreen platform with two screens of our own, to place a window on.
  QTemporaryDir config_dir;
  if (!config_dir.isValid()) return 1;
  const QString config = config_dir.filePath("screens.json");
  {
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    file.write(R"({"screens": [
      {"name": "left", "x": 0, "y": 0, "width": 1920, "height": 1080,
       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
      {"name": "right", "x": 1920, "y": 0, "width": 1280, "height": 1024,
       "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  }
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  TestWindowDesktop test;
  return QTest::qExec(&test, argc, argv);
}
#include "test_window_desktop.moc"
