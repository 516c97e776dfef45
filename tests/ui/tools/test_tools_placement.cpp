// Where the mean p plot window first opens: beside the main window on its
// screen, on the right when there is room, else on the left, else where it
// fits; worked out for given frames, and through the Tools menu on an
// offscreen screen with window frames.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "ui/tools/mean_p_plot_window.h"
#include "ui/tools/tools_menu.h"
#include "ui/tools/window_placement.h"
#include "ui/window/main_window.h"

using namespace ombrisk;

namespace {

constexpr QRect kScreen(0, 0, 1920, 1080);

}  // namespace

class TestToolsPlacement : public QObject {
  Q_OBJECT

 private slots:
  void right_then_left_then_where_it_fits() {
    const QSize tool(660, 450);
    // Room on the right: there, tops level.
    QCOMPARE(place_beside(QRect(100, 50, 870, 870), tool, kScreen), QPoint(970, 50));
    // Just room on the right, to the pixel.
    QCOMPARE(place_beside(QRect(390, 50, 870, 870), tool, kScreen), QPoint(1260, 50));
    // None on the right: on the left, also to the pixel.
    QCOMPARE(place_beside(QRect(1000, 50, 870, 870), tool, kScreen), QPoint(340, 50));
    QCOMPARE(place_beside(QRect(660, 50, 870, 870), tool, kScreen), QPoint(0, 50));
    // Room on neither side: as far right as stays on the screen.
    QCOMPARE(place_beside(QRect(500, 50, 870, 870), tool, kScreen), QPoint(1260, 50));
    // A main window low on the screen: the tool moves up just enough.
    QCOMPARE(place_beside(QRect(100, 800, 870, 870), tool, kScreen), QPoint(970, 630));
    // A main window partly off the screen's left or top.
    QCOMPARE(place_beside(QRect(-300, -40, 870, 870), tool, kScreen), QPoint(570, 0));
  }

  void other_screens_and_tools_larger_than_the_screen() {
    const QRect second(1920, 200, 1280, 1024);
    QCOMPARE(place_beside(QRect(1950, 250, 870, 870), QSize(300, 200), second),
             QPoint(2820, 250));
    QCOMPARE(place_beside(QRect(2400, 250, 870, 870), QSize(300, 200), second),
             QPoint(2100, 250));
    QCOMPARE(place_beside(QRect(100, 50, 870, 870), QSize(2000, 1200), kScreen), QPoint(0, 0));
  }

  void plot_opens_beside_the_main_window() {
    struct Case {
      QPoint main_at;
      bool on_the_right;
    };
    for (const Case& c : {Case{{40, 30}, true}, Case{{1000, 60}, false}}) {
      auto window = std::make_unique<MainWindow>();
      ToolsController* tools = install_tools(*window);
      window->move(c.main_at);
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window.get()));
      tools->plot_action()->trigger();
      MeanPPlotWindow* plot = tools->plot_window();
      QVERIFY(QTest::qWaitForWindowExposed(plot));

      const QRect main = window->frameGeometry();
      const QRect shown = plot->frameGeometry();
      const QRect area = window->screen()->availableGeometry();
      QVERIFY2(area.contains(shown), qPrintable(QStringLiteral("%1,%2").arg(shown.x()).arg(shown.y())));
      QVERIFY(!shown.intersects(main));
      QCOMPARE(shown.top(), main.top());
      if (c.on_the_right) {
        QCOMPARE(shown.left(), main.right() + 1);
      } else {
        QCOMPARE(shown.right(), main.left() - 1);
      }

      // Moved by the user, hidden and opened again: it stays where it was put.
      plot->move(shown.topLeft() + QPoint(5, 7));
      plot->hide();
      tools->plot_action()->trigger();
      QCOMPARE(plot->frameGeometry().topLeft(), shown.topLeft() + QPoint(5, 7));
    }
  }
};

int main(int argc, char** argv) {
  // A screen with room for the main window and the plot side by side, and
  // window frames, as a desktop has.
  QTemporaryDir dir;
  QFile config(dir.filePath(QStringLiteral("screen.json")));
  if (!config.open(QIODevice::WriteOnly)) return 1;
  config.write(R"({"windowFrameMargins": true, "screens": [{"name": "desk", "x": 0, "y": 0,
      "width": 1920, "height": 1080, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
  config.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
  QApplication app(argc, argv);
  TestToolsPlacement test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_tools_placement.moc"
