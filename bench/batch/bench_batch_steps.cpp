// What --steps costs per step over calling advance_step in a loop, on the
// largest model: 800 x 800 with 20000 stomata. Each iteration makes ten
// steps; compare the per-step times (items are steps).
#include <benchmark/benchmark.h>

#include <ostream>
#include <sstream>
#include <streambuf>

#include "batch/batch_run.h"
#include "batch/command_line.h"
#include "model/commands.h"
#include "model/time_step.h"

namespace {

using namespace ombrisk;

constexpr int kStepsPerIteration = 10;

// Discards what is written, so the progress line costs only its formatting.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

std::vector<batch::Action> actions(const std::vector<std::string>& args) {
  return batch::parse_command_line(args).line.actions;
}

void build_large(ModelState& m, Random& random) {
  start_model(m, random, 1);
  std::ostringstream sink;
  batch::run_actions(m, random, actions({"--size", "800", "--stomata", "20000"}),
                     {sink, sink, false});
}

void BM_AdvanceStepLoop(benchmark::State& state) {
  ModelState m;
  Random random;
  build_large(m, random);
  for (auto _ : state) {
    for (int i = 0; i < kStepsPerIteration; ++i) {
      advance_step(m);
      m.step += 1;
    }
    benchmark::DoNotOptimize(m.mean_p);
  }
  state.SetItemsProcessed(state.iterations() * kStepsPerIteration);
}

// The batch action, with or without the progress line (which then reads the
// clock as on a terminal and writes to nowhere).
void BM_BatchStepsAction(benchmark::State& state) {
  ModelState m;
  Random random;
  build_large(m, random);
  const auto steps = actions({"--steps", std::to_string(kStepsPerIteration)});
  NullBuffer nothing;
  std::ostream null_stream(&nothing);
  const bool progress = state.range(0) != 0;
  for (auto _ : state) {
    batch::run_actions(m, random, steps, {null_stream, null_stream, progress});
    benchmark::DoNotOptimize(m.mean_p);
  }
  state.SetItemsProcessed(state.iterations() * kStepsPerIteration);
}

BENCHMARK(BM_AdvanceStepLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BatchStepsAction)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
