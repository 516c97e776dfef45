// The mean p plot window: its series follows the repaints it is given, it
// saves that series as CSV, and a failed save says so.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "ui/tools/mean_p_plot_window.h"

using namespace ombrisk;

namespace {

// Answers the next modal message box with OK, noting its caption and text.
void answer_next_message(QString* caption, QString* text) {
  QTimer::singleShot(0, [caption, text] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      answer_next_message(caption, text);
      return;
    }
    *caption = box->windowTitle();
    *text = box->text();
    box->accept();
  });
}

int count_pixels(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
  return count;
}

}  // namespace

class TestToolsPlotWindow : public QObject {
  Q_OBJECT

 private slots:
  void series_follows_records_and_rebuilds() {
    MeanPPlotWindow window;
    for (int step = 0; step <= 2500; step += 250) window.record(step, step * 0.001);
    window.record(2500, 2.75);  // a second repaint of the same step
    const auto& points = window.series().points();
    QCOMPARE(points.size(), std::size_t{11});
    for (int i = 0; i < 10; ++i) {
      QCOMPARE(points[i].step, i * 250);
      QCOMPARE(points[i].mean_p, i * 0.25);
    }
    QCOMPARE(points.back().mean_p, 2.75);
    QVERIFY(window.header_text().startsWith("Step 2500    mean p 2.75    "));

    // Back to step 0 (a rebuilt lattice) starts a new series.
    window.record(0, 0.0);
    QCOMPARE(window.series().points().size(), std::size_t{1});
    window.record(1, 0.5);
    window.reset();
    QVERIFY(window.series().empty());
    QCOMPARE(window.steps_per_second(), 0.0);
  }

  void draws_the_line_only_when_there_is_a_series() {
    MeanPPlotWindow window;
    window.show();
    const QRgb line = qRgb(0, 110, 40);
    QCOMPARE(count_pixels(window.grab().toImage(), line), 0);
    for (int step = 0; step <= 100; ++step) window.record(step, (step % 20) * 0.1);
    QVERIFY(count_pixels(window.grab().toImage(), line) > 50);
  }

  void save_button_writes_the_series() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("series.csv");
    MeanPPlotWindow window;
    window.record(0, 0.0);
    window.record(250, 1.0 / 3.0);
    window.record(500, -2.5e-7);
    int asked = 0;
    window.set_file_chooser([&] {
      ++asked;
      return path;
    });
    window.save_button()->click();
    QCOMPARE(asked, 1);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("step,mean_p\n"
                                        "0,0\n"
                                        "250,0.33333333333333331\n"
                                        "500,-2.4999999999999999e-07\n"));

    // No name chosen: nothing is written.
    QVERIFY(QFile::remove(path));
    window.set_file_chooser([] { return QString(); });
    window.save_button()->click();
    QVERIFY(!QFile::exists(path));
  }

  void failed_save_shows_an_error() {
    QTemporaryDir dir;
    const QString path = dir.filePath("missing-folder/series.csv");
    MeanPPlotWindow window;
    window.record(0, 1.0);
    window.set_file_chooser([&] { return path; });
    QString caption, text;
    answer_next_message(&caption, &text);
    window.save_button()->click();
    QCOMPARE(caption, QString("Error"));
    QCOMPARE(text, "Cannot write file " + path);
    QVERIFY(!QFile::exists(path));
  }
};

QTEST_MAIN(TestToolsPlotWindow)
#include "test_tools_plot_window.moc"
