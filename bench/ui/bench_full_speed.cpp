// A full-speed run of the window against advance_step in a plain loop, on
// 800 x 800 cells with 20000 stomata. The window's run repaints every 250
// steps on the window thread, holding the model lock while it draws; its rate
// should stay within a few per cent of the plain loop.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <memory>

#include "model/placement.h"
#include "model/time_step.h"
#include "ui/main_window.h"
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

// Argument: the step's thread count (0 = the model's choice). One thread
// compares the two with the least disturbance from other processes.
void BM_PlainLoop(benchmark::State& state) {
  set_step_threads(static_cast<int>(state.range(0)));
  ModelState m;
  Random random;
  start_up_model(m);
  set_up(m, random);
  for (auto _ : state) {
    advance_step(m);
    m.step += 1;
  }
  benchmark::DoNotOptimize(m.mean_p);
  state.SetItemsProcessed(state.iterations());
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// One iteration: "Start FullSpeed", then "Stop FullSpeed" once kRunSteps
// steps are made; the run ends on the next repaint boundary. Counts the steps
// made. The run is long enough that starting and ending it cost little, and
// the step count is looked at only every 10 ms, as a user's eye would, so the
// benchmark's own lock takes hardly any time from the worker.
constexpr int kRunSteps = 6000;
void BM_FullSpeedWindow(benchmark::State& state) {
  set_step_threads(static_cast<int>(state.range(0)));
  auto window = std::make_unique<MainWindow>();
  window->set_message_sink([](const QString&, const QString&, QMessageBox::Icon, QWidget*) {});
  set_up(window->model(), window->random());
  window->show();
  QApplication::processEvents();
  std::int64_t steps = 0;
  for (auto _ : state) {
    const int start = window->model().step;
    window->handle_command(kCmdStartFullSpeed);
    bool stop_sent = false;
    while (window->full_speed_running()) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      if (!stop_sent) {
        int now;
        {
          std::lock_guard<std::timed_mutex> lock(window->model_mutex());
          now = window->model().step;
        }
        if (now - start > kRunSteps) {
          window->handle_command(kCmdStopFullSpeed);
          stop_sent = true;
        }
      }
      QThread::msleep(10);
    }
    steps += window->model().step - start;
  }
  state.SetItemsProcessed(steps);
  state.counters["steps_per_s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_PlainLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_FullSpeedWindow)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
