// A full-speed run of the window against advance_step in a plain loop, on
// 800 x 800 cells with 20000 stomata. The window's run repaints every 250
// steps on the window thread, holding the model lock while it copies the
// picture's data; its rate should stay within a few per cent of the plain loop.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <chrono>
#include <memory>
#include <mutex>

#include "model/placement.h"
#include "model/time_step.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"

using namespace ombrisk;

namespace {

constexpr int kSide = 800;
constexpr int kStomata = 20000;

void set_up(ModelState& m, Random& random) {
  free_lattice(m);
  m.rows = m.cols = kSide;
  m.dimension_choice = dimension_choice_for_side(kSide);
  m.stomata.stoma_count = kStomata;
  m.spacing = 1.0;
  m.border = 1;
  reset_lattice(m);
  allocate_stoma_table(m);
  seed_random(random, 12345);
  randomize_stomata(m, random);
}

constexpr std::chrono::milliseconds kRunTime{1500};

// The two side by side in one iteration, on the same model and threads: a
// full-speed run of about kRunTime, then as many steps in a plain loop
// on the window thread. The machine's speed drifts over seconds (shared
// virtual cores), so alternating gives a fairer ratio than two separate
// benchmarks. Argument: the step's thread count (0 = the model's choice).
void BM_FullSpeedAgainstPlain(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  set_step_threads(static_cast<int>(state.range(0)));
  auto window = std::make_unique<MainWindow>();
  window->set_message_sink([](const QString&, const QString&, QMessageBox::Icon, QWidget*) {});
  set_up(window->model(), window->random());
  window->show();
  QApplication::processEvents();
  double window_s = 0, plain_s = 0;
  std::int64_t window_steps = 0, plain_steps = 0;
  for (auto _ : state) {
    const int start = window->model().step;
    const auto t0 = Clock::now();
    window->handle_command(kCmdStartFullSpeed);
    // Stopped by the clock, so that the benchmark never takes the model lock
    // during the run: what remains on the window thread is the window's own.
    bool stop_sent = false;
    while (window->full_speed_running()) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      if (!stop_sent && Clock::now() - t0 > kRunTime) {
        window->handle_command(kCmdStopFullSpeed);
        stop_sent = true;
      }
      QThread::msleep(10);
    }
    const auto t1 = Clock::now();
    const int made = window->model().step - start;
    {
      std::lock_guard<std::timed_mutex> lock(window->model_mutex());
      ModelState& m = window->model();
      for (int i = 0; i < made; ++i) {
        advance_step(m);
        m.step += 1;
      }
    }
    const auto t2 = Clock::now();
    window_s += std::chrono::duration<double>(t1 - t0).count();
    plain_s += std::chrono::duration<double>(t2 - t1).count();
    window_steps += made;
    plain_steps += made;
  }
  state.counters["window_steps_per_s"] = static_cast<double>(window_steps) / window_s;
  state.counters["plain_steps_per_s"] = static_cast<double>(plain_steps) / plain_s;
  state.counters["window_pct_of_plain"] =
      100.0 * (static_cast<double>(window_steps) / window_s) /
      (static_cast<double>(plain_steps) / plain_s);
}

}  // namespace

BENCHMARK(BM_FullSpeedAgainstPlain)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
