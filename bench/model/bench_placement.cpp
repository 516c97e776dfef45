// Random placement: the indexed placement against the direct comparison with
// every placed stoma, on the same settings and generator start.
#include <benchmark/benchmark.h>

#include "model/placement.h"
#include "tests/oracles/placement_plain.h"
#include "model/random.h"

namespace {

using namespace ombrisk;

using PlaceFn = PlacementOutcome (*)(ModelState&, Random&);

void run_placement(benchmark::State& state, PlaceFn place, int side, int border, double spacing,
                   int count) {
  ModelState m;
  m.rows = m.cols = side;
  m.border = border;
  m.spacing = spacing;
  m.stomata.stoma_count = count;
  allocate_stoma_table(m);
  PlacementOutcome outcome;
  for (auto _ : state) {
    Random random;
    seed_random(random, 12345u);
    next_random(random);
    outcome = place(m, random);
    benchmark::DoNotOptimize(m.stomata.stoma_col.data());
  }
  state.counters["placed"] = outcome.placed;
  state.counters["complete"] = outcome.status == PlacementStatus::complete ? 1 : 0;
}

// 20000 stomata, 800 x 800, border 1, spacing 5: runs out of attempts near 18,100.
void BM_Crowded800_Indexed(benchmark::State& s) { run_placement(s, randomize_stomata, 800, 1, 5.0, 20000); }
void BM_Crowded800_Plain(benchmark::State& s) { run_placement(s, randomize_stomata_plain, 800, 1, 5.0, 20000); }
BENCHMARK(BM_Crowded800_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crowded800_Plain)->Unit(benchmark::kMillisecond)->Iterations(1);

// 2000 stomata, 200 x 200, border 1, spacing 3: completes.
void BM_Medium200_Indexed(benchmark::State& s) { run_placement(s, randomize_stomata, 200, 1, 3.0, 2000); }
void BM_Medium200_Plain(benchmark::State& s) { run_placement(s, randomize_stomata_plain, 200, 1, 3.0, 2000); }
BENCHMARK(BM_Medium200_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Medium200_Plain)->Unit(benchmark::kMillisecond);

// Two stomata 1000 apart: the second never fits, 1,000,000 attempts (on 800 x 800
// it could, near the far corner, but not from this start; see the counters).
void BM_Unplaceable100_Indexed(benchmark::State& s) { run_placement(s, randomize_stomata, 100, 1, 1000.0, 2); }
void BM_Unplaceable100_Plain(benchmark::State& s) { run_placement(s, randomize_stomata_plain, 100, 1, 1000.0, 2); }
void BM_Unplaceable800_Indexed(benchmark::State& s) { run_placement(s, randomize_stomata, 800, 1, 1000.0, 2); }
void BM_Unplaceable800_Plain(benchmark::State& s) { run_placement(s, randomize_stomata_plain, 800, 1, 1000.0, 2); }
BENCHMARK(BM_Unplaceable100_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unplaceable100_Plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unplaceable800_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unplaceable800_Plain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
