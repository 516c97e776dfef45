// ombrisk-batch --png and --frames write the very picture the window shows
// for the same model: the program is run, and its files are compared pixel by
// pixel with a main window brought to the same state by its own commands.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"
#include "ui/window/lattice_view.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"

namespace {

namespace fs = std::filesystem;

QImage picture_file(const fs::path& file) {
  return QImage(QString::fromStdString(file.string())).convertToFormat(QImage::Format_RGB32);
}

QImage window_picture(ombrisk::MainWindow& w) {
  return w.lattice_view()->render_picture().convertToFormat(QImage::Format_RGB32);
}

void step_window(ombrisk::MainWindow& w, int count) {
  for (int i = 0; i < count; ++i) w.handle_command(ombrisk::kCmdStep);
}

TEST(BatchPictures, PngOfTheStartUpModelAfterStepsIsTheWindowsPicture) {
  TempDir dir;
  const ProgramResult r = run_batch(dir.path(), {"--png", "start.png", "--steps", "5",
                                                 "--png", "five.png"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");

  ombrisk::MainWindow w;
  const QImage start = picture_file(dir.path() / "start.png");
  ASSERT_FALSE(start.isNull());
  EXPECT_EQ(start, window_picture(w));
  step_window(w, 5);
  const QImage five = picture_file(dir.path() / "five.png");
  EXPECT_EQ(five, window_picture(w));
  EXPECT_NE(five, start);
}

// A loaded 50 x 50 set-up with its own display bounds: frames every 4th step
// from the first --steps, the last picture after the run.
TEST(BatchPictures, FramesAndPngOfALoadedModelAreTheWindowsPictures) {
  TempDir dir;
  const fs::path setup = dir.path() / "setup.dat";
  std::ofstream(setup) << "800 800 50 50 0\n2.0000e-01 1.0000e-02\n"
                          "3 1 1.00 1.5000 0.0200 2.0000 -8.0000 0.0000\n"
                          "5 6 0.500000000\n20 30 0.250000000\n44 10 0.750000000\n";
  const ProgramResult r =
      run_batch(dir.path(), {"--load", "setup.dat", "--every", "4", "--frames", "frames",
                             "--steps", "10", "--png", "ten.png"});
  ASSERT_EQ(r.status, 0) << r.err;

  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path() / "frames"))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frame_000004.png", "frame_000008.png"}));

  ombrisk::MainWindow w;
  const QString file = QString::fromStdString(setup.string());
  w.set_file_chooser([&](QWidget*) -> std::optional<QString> { return file; });
  w.handle_command(ombrisk::kCmdLoadParams);
  ASSERT_EQ(w.model().cols, 50);
  step_window(w, 4);
  EXPECT_EQ(picture_file(dir.path() / "frames" / "frame_000004.png"), window_picture(w));
  step_window(w, 4);
  EXPECT_EQ(picture_file(dir.path() / "frames" / "frame_000008.png"), window_picture(w));
  step_window(w, 2);
  EXPECT_EQ(picture_file(dir.path() / "ten.png"), window_picture(w));
}

}  // namespace

int main(int argc, char** argv) {
  // The window under test needs no display either.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
