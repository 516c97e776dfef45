// A full-speed run of the window on 800 x 800 cells with 20000 stomata, with
// and without recording frames (one every 250 steps there). Recording should
// cost the run no more than a tenth of its rate: the window thread draws one
// more picture per repaint and hands it over; a thread of its own encodes it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <memory>

#include "model/placement.h"
#include "model/time_step.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"
#include "ui/tools/tools_menu.h"

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

// One full-speed run of about kRunTime, stopped by the clock so that the
// benchmark never takes the model lock beside the worker. Returns the steps
// made and adds the run's seconds to `seconds`.
constexpr std::chrono::milliseconds kRunTime{1500};

std::int64_t run_full_speed(MainWindow& window, double& seconds) {
  using Clock = std::chrono::steady_clock;
  const int start = window.model().step;
  const auto t0 = Clock::now();
  window.handle_command(kCmdStartFullSpeed);
  bool stop_sent = false;
  while (window.full_speed_running()) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!stop_sent && Clock::now() - t0 > kRunTime) {
      window.handle_command(kCmdStopFullSpeed);
      stop_sent = true;
    }
    QThread::msleep(10);
  }
  seconds += std::chrono::duration<double>(Clock::now() - t0).count();
  return window.model().step - start;
}

// Each iteration: a run without recording, then one recording frames, on the
// same window and model. The machine's speed drifts over seconds (shared
// virtual cores), so alternating gives a fairer ratio than two benchmarks.
void BM_FullSpeedRecording(benchmark::State& state) {
  QTemporaryDir folder;
  auto window = std::make_unique<MainWindow>();
  window->set_message_sink([](const QString&, const QString&, QMessageBox::Icon, QWidget*) {});
  ToolsController* tools = install_tools(*window);
  set_up(window->model(), window->random());
  window->show();
  QApplication::processEvents();
  tools->set_frame_folder_chooser([&](QWidget*) { return folder.path(); });
  double plain_s = 0, recording_s = 0;
  std::int64_t plain_steps = 0, recording_steps = 0;
  for (auto _ : state) {
    plain_steps += run_full_speed(*window, plain_s);
    tools->toggle_recording();
    recording_steps += run_full_speed(*window, recording_s);
    tools->toggle_recording();  // waits for the frames still queued: not part of the run
  }
  const double plain_rate = double(plain_steps) / plain_s;
  const double recording_rate = double(recording_steps) / recording_s;
  state.counters["frames"] = double(QDir(folder.path()).entryList(QDir::Files).size());
  state.counters["steps_per_s"] = plain_rate;
  state.counters["recording_steps_per_s"] = recording_rate;
  state.counters["recording_pct_of_plain"] = 100.0 * recording_rate / plain_rate;
}

}  // namespace

BENCHMARK(BM_FullSpeedRecording)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
