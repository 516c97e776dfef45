// The Stomata dialog with the largest table, 20000 stomata on 800 x 800:
// writing and reading the 100,000-character lists, and opening the dialog
// until its lists are laid out and drawn.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>

#include "model/model_state.h"
#include "model/placement.h"
#include "model/random.h"
#include "ui/dialogs/stoma_lists.h"
#include "ui/dialogs/stomata_dialog.h"

using namespace ombrisk;

namespace {

ModelState crowded_model() {
  ModelState m;
  m.rows = m.cols = 800;
  m.dimension_choice = kDimension800;
  m.stomata.stoma_count = kMaxStomata;
  m.border = 0;
  m.spacing = 1.0;
  allocate_stoma_table(m);
  Random random;
  seed_random(random, 1);
  randomize_stomata(m, random);
  return m;
}

void BM_FormatList(benchmark::State& state) {
  const ModelState m = crowded_model();
  for (auto _ : state) {
    benchmark::DoNotOptimize(format_stoma_list(m.stomata.stoma_col, m.stomata.stoma_count));
  }
}
BENCHMARK(BM_FormatList)->Unit(benchmark::kMillisecond);

void BM_ReadList(benchmark::State& state) {
  const ModelState m = crowded_model();
  const std::string text = format_stoma_list(m.stomata.stoma_col, m.stomata.stoma_count);
  std::vector<int> values(m.stomata.stoma_count, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(read_stoma_list(text, values, m.stomata.stoma_count, m.cols));
  }
}
BENCHMARK(BM_ReadList)->Unit(benchmark::kMillisecond);

// Construction, showing and one full drawing of the dialog: what the user
// waits for before the dialog answers.
void BM_OpenDialog(benchmark::State& state) {
  ModelState m = crowded_model();
  Random random;
  for (auto _ : state) {
    StomataDialog dialog(m, random, {});
    dialog.show();
    benchmark::DoNotOptimize(dialog.grab());
    dialog.hide();
  }
}
BENCHMARK(BM_OpenDialog)->Unit(benchmark::kMillisecond);

// Opening and then OK, which reads both lists back from the edit boxes.
void BM_OpenAndAccept(benchmark::State& state) {
  ModelState m = crowded_model();
  Random random;
  for (auto _ : state) {
    StomataDialog dialog(m, random, {});
    dialog.show();
    benchmark::DoNotOptimize(dialog.grab());
    dialog.findChild<QPushButton*>(QStringLiteral("control_1"))->click();
    if (dialog.result() != QDialog::Accepted) state.SkipWithError("OK was refused");
  }
}
BENCHMARK(BM_OpenAndAccept)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
