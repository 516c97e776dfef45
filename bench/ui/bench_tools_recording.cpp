// A full-speed run of the window on 800 x 800 cells with 20000 stomata, with
// and without recording frames (one every 250 steps there). Recording should
// cost the run no more than a tenth of its rate: the window thread draws one
// more picture per repaint and hands it over; a thread of its own encodes it.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "model/placement.h"
#include "model/time_step.h"
#include "ui/main_window.h"
#include "ui/resources/command_ids.h"
#include "ui/tools_menu.h"

using namespace ombrisk;

namespace {

constexpr int kSide = 800;
constexpr int kStomata = 20000;
constexpr int kStepsPerRun = 2000;

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

// One iteration: "Start FullSpeed", "Stop FullSpeed" after kStepsPerRun steps;
// the run ends on the next repaint boundary. Argument 1: recording frames.
void BM_FullSpeedRecording(benchmark::State& state) {
  const bool recording = state.range(0) != 0;
  QTemporaryDir folder;
  auto window = std::make_unique<MainWindow>();
  window->set_message_sink([](const QString&, const QString&, QMessageBox::Icon, QWidget*) {});
  ToolsController* tools = install_tools(*window);
  set_up(window->model(), window->random());
  window->show();
  QApplication::processEvents();
  if (recording) {
    tools->set_frame_folder_chooser([&](QWidget*) { return folder.path(); });
    tools->toggle_recording();
  }
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
        if (now - start > kStepsPerRun) {
          window->handle_command(kCmdStopFullSpeed);
          stop_sent = true;
        }
      }
      QThread::msleep(1);
    }
    steps += window->model().step - start;
  }
  if (recording) {
    tools->toggle_recording();
    state.counters["frames"] = double(QDir(folder.path()).entryList(QDir::Files).size());
  }
  state.SetItemsProcessed(steps);
  state.counters["steps_per_s"] = benchmark::Counter(double(steps), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_FullSpeedRecording)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
