// One paint of the client area: the cells written straight into an image, as
// the window does, against the same picture drawn with one QPainter::fillRect
// per cell. 800 x 800 with 20000 stomata, and 100 x 100 with the ten start-up
// stomata. Run with QT_QPA_PLATFORM=offscreen (the default here).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <cmath>
#include <mutex>
#include <random>

#include "model/model_state.h"
#include "picture/lattice_picture.h"
#include "ui/window/lattice_view.h"

using namespace ombrisk;

namespace {

// A varied field over the whole grey scale and, for 800 x 800, 20000 stomata
// spread over the lattice with J across the colour scale.
void build_model(ModelState& m, int side) {
  start_up_model(m);
  if (side != 100) {
    free_lattice(m);
    m.rows = side;
    m.cols = side;
    reset_lattice(m);
  }
  for (int r = 0; r < side; ++r) {
    for (int k = 0; k < side; ++k) {
      m.p_current[r][k] = 6.0 * std::sin(r * 0.037) * std::cos(k * 0.053);
    }
  }
  if (side == 800) {
    m.stomata.stoma_count = kMaxStomata;
    allocate_stoma_table(m);
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> cell(0, side - 1);
    std::uniform_real_distribution<double> j(0.0, 1.0);
    for (int i = 0; i < kMaxStomata; ++i) {
      m.stomata.stoma_col[i] = cell(gen);
      m.stomata.stoma_row[i] = cell(gen);
      m.stomata.stoma_j[i] = j(gen);
    }
  } else {
    for (int i = 0; i < m.stomata.stoma_count; ++i) m.stomata.stoma_j[i] = 0.1 * i;
  }
  m.display.j_display_min = 0.0;
  m.display.j_display_max = 1.0;
  m.mean_p = -0.25;
  m.step = 12345;
}

// LatticeView::render_picture: lock, a new image, the picture.
void BM_ViewRenderPicture(benchmark::State& state) {
  ModelState m;
  build_model(m, static_cast<int>(state.range(0)));
  std::timed_mutex lock;
  LatticeView view(m, lock);
  for (auto _ : state) {
    QImage image = view.render_picture();
    benchmark::DoNotOptimize(image.constBits());
  }
}

// The widget's paint event into an offscreen image: the picture into the
// kept frame, then drawn at once.
void BM_ViewPaint(benchmark::State& state) {
  ModelState m;
  build_model(m, static_cast<int>(state.range(0)));
  std::timed_mutex lock;
  LatticeView view(m, lock);
  QImage target(view.size(), QImage::Format_RGB32);
  for (auto _ : state) {
    view.render(&target);
    benchmark::DoNotOptimize(target.constBits());
  }
}

// The obvious way: a painter and one fillRect per cell, marker and bar.
void BM_PerCellFillRect(benchmark::State& state) {
  ModelState m;
  build_model(m, static_cast<int>(state.range(0)));
  const QFont font;
  const int text_height = QFontMetrics(font).height();
  QImage target(kClientWidth, kClientHeightAboveStatus + text_height, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&target);
    painter.setFont(font);
    paint_lattice_picture(painter, m, target.height(), text_height);
    painter.end();
    benchmark::DoNotOptimize(target.constBits());
  }
}

BENCHMARK(BM_ViewRenderPicture)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewPaint)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PerCellFillRect)->Arg(100)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
