// Pictures and frames written as PNG files: names, pixels, flushing and
// failures.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "ui/tools/frame_recorder.h"
#include "picture/picture_file.h"

using namespace ombrisk;

namespace {

// A picture no two steps share: noise seeded by the step.
QImage picture_for(int step, QSize size = QSize(85, 83)) {
  QImage image(size, QImage::Format_RGB32);
  QRandomGenerator random(quint32(step) + 1);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, 0xff000000u | random.bounded(0x1000000u));
  return image;
}

// An 8-bit picture whose colours live only in its colour table.
QImage indexed_picture_for(int step) {
  QImage image(QSize(61, 47), QImage::Format_Indexed8);
  QRandomGenerator random(quint32(step) + 1);
  QList<QRgb> colours;
  for (int i = 0; i < 256; ++i) colours.push_back(0xff000000u | random.bounded(0x1000000u));
  image.setColorTable(colours);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, random.bounded(256u));
  return image;
}

bool same_pixels(const QImage& written, const QImage& given) {
  return written.convertToFormat(QImage::Format_RGB32) == given.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class TestToolsFrames : public QObject {
  Q_OBJECT

 private slots:
  void frame_names_carry_the_step() {
    QCOMPARE(FrameRecorder::frame_file_name(0), QString("frame_000000.png"));
    QCOMPARE(FrameRecorder::frame_file_name(250), QString("frame_000250.png"));
    QCOMPARE(FrameRecorder::frame_file_name(999999), QString("frame_999999.png"));
    QCOMPARE(FrameRecorder::frame_file_name(1234567), QString("frame_1234567.png"));
  }

  void picture_file_holds_the_pixels_given() {
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.png");
    const QImage image = picture_for(7, QSize(850, 830));
    QString error;
    QVERIFY(save_picture_png(image, path, &error));
    QVERIFY(error.isEmpty());
    QVERIFY(same_pixels(QImage(path), image));

    // A failed write names the file and leaves the one there untouched.
    QVERIFY(!save_picture_png(QImage(), path, &error));
    QVERIFY(error.contains(path));
    QVERIFY(same_pixels(QImage(path), image));
    const QString nowhere = dir.filePath("no-such-folder/picture.png");
    QVERIFY(!save_picture_png(image, nowhere, &error));
    QCOMPARE(error, "Cannot write file " + nowhere);
  }

  // A queue of one frame makes the window side wait for the writer; still
  // every frame arrives, named by its step and with its own pixels, also
  // when the picture changes size (the window was resized) or is an indexed
  // one between frames.
  void every_frame_written_by_step() {
    QTemporaryDir dir;
    std::vector<int> steps;
    for (int step = 0; step <= 5000; step += 250) steps.push_back(step);
    const auto size_at = [](int step) { return step == 2500 ? QSize(40, 120) : QSize(85, 83); };
    const auto given = [&](int step) {
      return step == 1000 ? indexed_picture_for(step) : picture_for(step, size_at(step));
    };
    {
      FrameRecorder recorder(dir.path(), 1);
      for (int step : steps) QVERIFY(recorder.add_frame(step, given(step)));
      recorder.stop();
      QCOMPARE(recorder.frames_written(), steps.size());
      QCOMPARE(recorder.frames_failed(), std::size_t{0});
      QCOMPARE(recorder.frames_dropped(), std::size_t{0});
      QVERIFY(recorder.take_error().isEmpty());
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), qsizetype(steps.size()));
    for (int step : steps) {
      const QImage written(QDir(dir.path()).filePath(FrameRecorder::frame_file_name(step)));
      QVERIFY2(same_pixels(written, given(step)), qPrintable(QString::number(step)));
    }
  }

  void stop_flushes_and_refuses_later_frames() {
    QTemporaryDir dir;
    FrameRecorder recorder(dir.path(), 64);
    for (int i = 0; i < 40; ++i) QVERIFY(recorder.add_frame(i, picture_for(i)));
    recorder.stop();
    QCOMPARE(recorder.frames_written(), std::size_t{40});
    QVERIFY(!recorder.add_frame(40, picture_for(40)));
    recorder.stop();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), qsizetype(40));

    // Destroying a recorder writes what it still holds.
    QTemporaryDir other;
    {
      FrameRecorder dropped_at_once(other.path(), 64);
      for (int i = 0; i < 10; ++i) dropped_at_once.add_frame(i, picture_for(i));
    }
    QCOMPARE(QDir(other.path()).entryList(QDir::Files).size(), qsizetype(10));
  }

  void failed_writes_reported_once() {
    QTemporaryDir dir;
    const QString folder = dir.filePath("gone");
    FrameRecorder recorder(folder);
    QVERIFY(recorder.add_frame(250, picture_for(250)));
    QVERIFY(recorder.add_frame(500, picture_for(500)));
    recorder.wait_until_written();
    QCOMPARE(recorder.frames_failed(), std::size_t{2});
    QCOMPARE(recorder.take_error(), "Cannot write file " + QDir(folder).filePath("frame_000250.png"));
    QVERIFY(recorder.take_error().isEmpty());
    QVERIFY(recorder.add_frame(750, picture_for(750)));
    recorder.stop();
    QCOMPARE(recorder.frames_failed(), std::size_t{3});
    QVERIFY(recorder.take_error().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestToolsFrames)
#include "test_tools_frames.moc"
