// On a scaled screen the lattice picture is enlarged pixel by pixel, never
// smoothed: each picture pixel becomes a block of one colour.
#include <QApplication>
#include <QtTest>
#include <cmath>

#include "model/time_step.h"
#include "ui/window/lattice_view.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"

using namespace ombrisk;

class TestToolsHiDpi : public QObject {
  Q_OBJECT

 private slots:
  void scaled_view_shows_unsmoothed_pixels() {
    MainWindow w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < 3; ++i) w.handle_command(kCmdStep);
    LatticeView& view = *w.lattice_view();
    const qreal ratio = view.devicePixelRatioF();
    QCOMPARE(ratio, qreal(2));

    const QImage picture = view.render_picture().convertToFormat(QImage::Format_RGB32);
    const QImage shown = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), picture.size() * 2);
    // Smoothing would blend neighbours at every edge between two colours,
    // and the grey map has such edges everywhere.
    int edges = 0;
    for (int y = 0; y < picture.height(); ++y) {
      for (int x = 0; x < picture.width(); ++x) {
        const QRgb want = picture.pixel(x, y);
        if (x + 1 < picture.width() && picture.pixel(x + 1, y) != want) ++edges;
        for (int dy = 0; dy < 2; ++dy) {
          for (int dx = 0; dx < 2; ++dx) {
            if (shown.pixel(2 * x + dx, 2 * y + dy) != want) {
              QFAIL(qPrintable(QStringLiteral("pixel %1,%2 of the picture is not shown as a "
                                              "block of its colour")
                                   .arg(x)
                                   .arg(y)));
            }
          }
        }
      }
    }
    QVERIFY(edges > 1000);
  }
};

int main(int argc, char** argv) {
  // A screen scaled by 2, as a high-DPI display is.
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  TestToolsHiDpi test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_tools_hidpi.moc"
