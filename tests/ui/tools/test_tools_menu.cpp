// The Tools popup on the main window: the saved picture is the window's
// picture, frames are named by the step they show and stop on "Stop
// recording" and on a rebuild, the plot follows the paints, and a dropped .dat
// file loads as "Load params" does.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>
#include <memory>
#include <vector>

#include "model/time_step.h"
#include "ui/tools/frame_recorder.h"
#include "ui/window/lattice_view.h"
#include "ui/window/main_window.h"
#include "ui/tools/mean_p_plot_window.h"
#include "ui/resources/command_ids.h"
#include "ui/tools/tools_menu.h"

using namespace ombrisk;

namespace {

struct Message {
  QString text;
  QString caption;
};

bool same_pixels(const QImage& a, const QImage& b) {
  return a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

QStringList frame_files(const QString& folder) {
  return QDir(folder).entryList({"frame_*.png"}, QDir::Files, QDir::Name);
}

// Sends a drag of `path` over the window and, when it is taken, the drop.
bool drop_file(MainWindow& w, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  const QPoint at(100, 100);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  QCoreApplication::processEvents();
  return drop.isAccepted();
}

}  // namespace

class TestToolsMenu : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> w;
  ToolsController* tools = nullptr;
  std::vector<Message> messages;
  QTemporaryDir dir;

  void paint() { w->lattice_view()->repaint(); }
  QString write_file(const QString& name, const QByteArray& text) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return {};
    return file.fileName();
  }
  void step_and_paint(int count) {
    for (int i = 0; i < count; ++i) {
      w->handle_command(kCmdStep);
      paint();
    }
  }

 private slots:
  void init() {
    messages.clear();
    w = std::make_unique<MainWindow>();
    w->set_message_sink([this](const QString& text, const QString& caption, QMessageBox::Icon, QWidget*) {
      messages.push_back({text, caption});
    });
    tools = install_tools(*w);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
  }

  void cleanup() { w.reset(); }

  void popup_sits_before_exit() {
    const QList<QAction*> bar = w->menuBar()->actions();
    const qsizetype exit = bar.indexOf(w->action(kCmdExit));
    QVERIFY(exit > 0);
    QCOMPARE(bar[exit - 1]->menu(), tools->menu());
    QCOMPARE(bar[exit - 1]->text(), QString("Tools"));
    QStringList items;
    for (QAction* item : tools->menu()->actions()) items << item->text();
    QCOMPARE(items, QStringList({"Save picture...", "Record frames...", "Mean p plot"}));
  }

  void saved_picture_is_the_window_picture() {
    step_and_paint(3);
    const QString path = dir.filePath("picture.png");
    tools->set_picture_file_chooser([&](QWidget*) { return path; });
    tools->save_picture_action()->trigger();
    QVERIFY(messages.empty());
    QVERIFY(same_pixels(QImage(path), w->lattice_view()->render_picture()));
    QVERIFY(same_pixels(QImage(path), w->lattice_view()->grab().toImage()));

    // Cancelled: nothing written; unwritable: the file message.
    tools->set_picture_file_chooser([](QWidget*) { return QString(); });
    tools->save_picture_action()->trigger();
    const QString nowhere = dir.filePath("no-folder/picture.png");
    tools->set_picture_file_chooser([&](QWidget*) { return nowhere; });
    tools->save_picture_action()->trigger();
    QCOMPARE(messages.size(), std::size_t{1});
    QCOMPARE(messages[0].caption, QString("Error"));
    QCOMPARE(messages[0].text, "Cannot write file " + nowhere);
  }

  void frames_follow_the_steps_until_stop() {
    QTemporaryDir folder;
    tools->set_frame_folder_chooser([&](QWidget*) { return folder.path(); });
    tools->record_frames_action()->trigger();
    QVERIFY(tools->recording());
    QCOMPARE(tools->record_frames_action()->text(), QString("Stop recording"));
    paint();
    paint();  // the same step again adds no frame
    step_and_paint(3);
    const QImage at_three = w->lattice_view()->render_picture();
    tools->record_frames_action()->trigger();
    QVERIFY(!tools->recording());
    QCOMPARE(tools->record_frames_action()->text(), QString("Record frames..."));
    QCOMPARE(frame_files(folder.path()),
             QStringList({"frame_000000.png", "frame_000001.png", "frame_000002.png", "frame_000003.png"}));
    QVERIFY(same_pixels(QImage(QDir(folder.path()).filePath("frame_000003.png")), at_three));

    step_and_paint(1);
    QCOMPARE(frame_files(folder.path()).size(), qsizetype(4));
    QVERIFY(messages.empty());
  }

  // At full speed the worker steps on between the repaint request and the
  // paint: each frame must still show the step it is named after.
  void full_speed_frames_show_their_step() {
    const ModelState start = w->model();
    QTemporaryDir folder;
    tools->set_frame_folder_chooser([&](QWidget*) { return folder.path(); });
    tools->record_frames_action()->trigger();
    paint();
    w->handle_command(kCmdStartFullSpeed);
    QTRY_VERIFY_WITH_TIMEOUT(frame_files(folder.path()).size() >= 2, 60000);
    w->handle_command(kCmdStopFullSpeed);
    QTRY_VERIFY_WITH_TIMEOUT(!w->full_speed_running(), 60000);
    tools->record_frames_action()->trigger();

    const QString second = frame_files(folder.path())[1];
    const int step = second.mid(6, second.size() - 10).toInt();
    QVERIFY(step > 0);
    ModelState replay = start;
    for (int i = 0; i < step; ++i) {
      advance_step(replay);
      replay.step += 1;
    }
    replay.full_speed = 1;  // "Running", as during the run
    w->model() = replay;
    QVERIFY(same_pixels(QImage(QDir(folder.path()).filePath(second)), w->lattice_view()->render_picture()));
  }

  void rebuild_ends_recording_and_restarts_the_plot() {
    QTemporaryDir folder;
    tools->set_frame_folder_chooser([&](QWidget*) { return folder.path(); });
    tools->record_frames_action()->trigger();
    paint();
    step_and_paint(2);
    w->handle_command(kCmdRestart);
    paint();
    QVERIFY(!tools->recording());
    QCOMPARE(tools->record_frames_action()->text(), QString("Record frames..."));
    step_and_paint(1);
    QCOMPARE(frame_files(folder.path()).size(), qsizetype(3));
    const auto& points = tools->plot_window()->series().points();
    QCOMPARE(points.size(), std::size_t{2});
    QCOMPARE(points[0].step, 0);
    QCOMPARE(points[1].step, 1);

    // A rebuild at step 0 that changes the lattice size ends it too.
    w->handle_command(kCmdRestart);
    paint();
    tools->record_frames_action()->trigger();
    paint();
    QVERIFY(tools->recording());
    ModelState& m = w->model();
    free_lattice(m);
    m.rows = m.cols = 50;
    reset_lattice(m);
    paint();
    QVERIFY(!tools->recording());

    // So does one at step 0 that moves a stoma; repainting the same lattice
    // does not.
    tools->record_frames_action()->trigger();
    paint();
    paint();
    QVERIFY(tools->recording());
    m.stomata.stoma_col[0] += 1;
    free_lattice(m);
    reset_lattice(m);
    paint();
    QVERIFY(!tools->recording());
  }

  void failed_frame_ends_recording_with_one_message() {
    const QString gone = dir.filePath("gone");
    tools->set_frame_folder_chooser([&](QWidget*) { return gone; });
    tools->record_frames_action()->trigger();
    paint();
    for (int i = 0; i < 20 && tools->recording(); ++i) {
      QTest::qWait(50);
      step_and_paint(1);
    }
    QVERIFY(!tools->recording());
    QTRY_COMPARE(messages.size(), std::size_t{1});
    QCOMPARE(messages[0].caption, QString("Error"));
    QVERIFY(messages[0].text.startsWith("Cannot write file " + QDir(gone).filePath("frame_0000")));
  }

  void plot_follows_every_painted_step() {
    std::vector<MeanPPoint> shown;
    paint();
    shown.push_back({w->model().step, w->model().mean_p});
    for (int i = 0; i < 5; ++i) {
      step_and_paint(1);
      shown.push_back({w->model().step, w->model().mean_p});
    }
    const auto& points = tools->plot_window()->series().points();
    QCOMPARE(points.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
      QCOMPARE(points[i].step, shown[i].step);
      QCOMPARE(points[i].mean_p, shown[i].mean_p);
    }
    tools->plot_action()->trigger();
    QVERIFY(tools->plot_window()->isVisible());
    QVERIFY(tools->plot_window()->isWindow());
    QVERIFY(!tools->plot_window()->isModal());
  }

  void dropped_data_file_loads_as_load_params() {
    // A good file (a 50 x 50 lattice, two stomata), loaded even while a
    // full-speed run goes on: the run ends first.
    const QString good = write_file("good.dat",
                                    "800 800 50 50 7\n1.0000e-01 1.0000e-02\n"
                                    "2 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n"
                                    "5 6 0.500000000\n7 8 0.250000000\n");
    w->handle_command(kCmdStartFullSpeed);
    QVERIFY(drop_file(*w, good));
    QVERIFY(!w->full_speed_running());
    QVERIFY(messages.empty());
    QCOMPARE(w->model().cols, 50);
    QCOMPARE(w->model().stomata.stoma_count, 2);
    QCOMPARE(w->model().step, 0);
    QCOMPARE(w->windowTitle(), "Ombrisk - " + good);
    QVERIFY(w->action(kCmdDimension)->isEnabled());

    // A refused one: the file message, and the model and title stay.
    step_and_paint(2);
    const QString bad = write_file("bad.dat",
                                   "800 800 128 128 0\n1.0000e-01 1.0000e-02\n"
                                   "1 1 1.00 1.0000 0.0100 1.0000 -10.0000 0.0000\n3 3 0.5\n");
    QVERIFY(drop_file(*w, bad));
    QCOMPARE(messages.size(), std::size_t{1});
    QCOMPARE(messages[0].caption, QString("Error"));
    QCOMPARE(messages[0].text, "Error in data file " + bad);
    QCOMPARE(w->model().cols, 50);
    QCOMPARE(w->model().stomata.stoma_count, 2);
    QCOMPARE(w->model().step, 2);
    QCOMPARE(w->windowTitle(), "Ombrisk - " + good);

    // Only a single .dat file is taken.
    QVERIFY(!drop_file(*w, dir.filePath("picture.png")));
    QCOMPARE(messages.size(), std::size_t{1});
  }
};

QTEST_MAIN(TestToolsMenu)
#include "test_tools_menu.moc"
