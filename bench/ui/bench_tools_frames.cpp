// Recording frames: what the window thread pays per frame (handing the
// picture over) and what the writing thread pays (the PNG encoding).
#include <benchmark/benchmark.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>

#include "ui/tools/frame_recorder.h"
#include "picture/picture_file.h"

using namespace ombrisk;

namespace {

// A picture like the client area over an 800 x 800 lattice: a smooth grey
// field, one pixel per cell, under a white strip for the status line.
QImage lattice_like_picture(int seed) {
  QImage image(850, 830, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 0; y < 800; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < 800; ++x) {
      const double v = 0.5 + 0.25 * std::sin((x + seed) * 0.021) * std::cos(y * 0.017) +
                       0.2 * std::sin((x * 0.7 + y * 1.3) * 0.05);
      const int grey = std::clamp(int(v * 255.0), 0, 255);
      line[x] = qRgb(grey, grey, grey);
    }
  }
  return image;
}

void BM_AddFrame(benchmark::State& state) {
  QTemporaryDir dir;
  FrameRecorder recorder(dir.path());
  // A fresh picture per frame, as the window renders one per repaint.
  std::vector<QImage> pictures;
  for (std::size_t i = 0; i < FrameRecorder::kDefaultQueueLimit; ++i)
    pictures.push_back(lattice_like_picture(int(i)));
  int step = 0;
  std::size_t queued = 0;
  for (auto _ : state) {
    if (queued == FrameRecorder::kDefaultQueueLimit) {
      state.PauseTiming();
      recorder.wait_until_written();
      queued = 0;
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(recorder.add_frame(step, pictures[queued]));
    step += 250;
    ++queued;
  }
  recorder.stop();
}
// A set count: each pause to let the writer catch up costs a few encodes.
BENCHMARK(BM_AddFrame)->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_EncodeFrame(benchmark::State& state) {
  QTemporaryDir dir;
  const QImage picture = lattice_like_picture(0);
  const QString path = QDir(dir.path()).filePath("frame.png");
  for (auto _ : state) {
    QString error;
    benchmark::DoNotOptimize(save_picture_png(picture, path, &error, int(state.range(0))));
  }
}
// -1: "Save picture..."; FrameRecorder::kPngQuality: recorded frames.
BENCHMARK(BM_EncodeFrame)->Arg(-1)->Arg(FrameRecorder::kPngQuality)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
