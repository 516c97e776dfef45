// One time step on 800 x 800 with 20000 stomata, against a plain memcpy of one
// 800 x 800 grid into another (the memory-speed yardstick) and against the
// plain one-cell-at-a-time step.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "model/model_state.h"
#include "model/step/step_rows.h"
#include "model/time_step.h"
#include "tests/oracles/reference_step.h"

namespace {

using namespace ombrisk;

constexpr int kSide = 800;
constexpr int kStomata = 20000;

// A side x side lattice with as many stomata per cell as 20000 on 800 x 800.
ModelState busy_lattice(int side = kSide) {
  ModelState m;
  m.rows = m.cols = side;
  const int stomata = static_cast<int>(static_cast<long>(kStomata) * side * side / (kSide * kSide));
  m.stomata.stoma_count = stomata;
  reset_lattice(m);
  allocate_stoma_table(m);
  std::mt19937 rng(2024);
  for (int i = 0; i < stomata; ++i) {
    m.stomata.stoma_row[i] = static_cast<int>(rng() % side);
    m.stomata.stoma_col[i] = static_cast<int>(rng() % side);
  }
  return m;
}

void BM_Memcpy800(benchmark::State& state) {
  std::vector<double> a(static_cast<std::size_t>(kSide) * kSide, 1.0), b(a.size(), 2.0);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(double));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<long>(a.size() * sizeof(double)));
}
BENCHMARK(BM_Memcpy800)->Unit(benchmark::kMicrosecond);

// Arguments: thread count, vector path (0 automatic, 1 SSE2 only).
void BM_Step800(benchmark::State& state) {
  const int saved = step_threads();
  set_step_threads(static_cast<int>(state.range(0)));
  step_detail::set_simd_level(state.range(1) == 1 ? step_detail::SimdLevel::sse2
                                                  : step_detail::SimdLevel::automatic);
  ModelState m = busy_lattice();
  for (int i = 0; i < 5; ++i) advance_step(m);
  for (auto _ : state) {
    advance_step(m);
    benchmark::DoNotOptimize(m.mean_p);
  }
  set_step_threads(saved);
  step_detail::set_simd_level(step_detail::SimdLevel::automatic);
}
BENCHMARK(BM_Step800)
    ->ArgNames({"threads", "sse2"})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The smaller lattices, for the automatic thread count (threads 0): it should
// be no slower than the faster of 1 and 2.
void BM_StepSide(benchmark::State& state) {
  const int saved = step_threads();
  set_step_threads(static_cast<int>(state.range(1)));
  ModelState m = busy_lattice(static_cast<int>(state.range(0)));
  for (int i = 0; i < 5; ++i) advance_step(m);
  for (auto _ : state) {
    advance_step(m);
    benchmark::DoNotOptimize(m.mean_p);
  }
  set_step_threads(saved);
}
BENCHMARK(BM_StepSide)
    ->ArgNames({"side", "threads"})
    ->ArgsProduct({{100, 200, 400}, {1, 2, 0}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The step's and the copy's mean times and their ratio, as counters.
void report_step_over_copy(benchmark::State& state, double copy_s, double step_s,
                           std::int64_t rounds) {
  state.counters["memcpy_us"] = 1e6 * copy_s / static_cast<double>(rounds);
  state.counters["step_us"] = 1e6 * step_s / static_cast<double>(rounds);
  state.counters["step_over_memcpy"] = step_s / copy_s;
}

// The target in one figure: the step (automatic thread count) over the copy,
// the two timed in alternation, ten of each per iteration, so that the
// machine's drift in speed (shared virtual cores) falls on both alike. Each
// block starts with one untimed run, so that both are timed warm, as they
// are in a loop of their own.
void BM_StepOverMemcpy800(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const int saved = step_threads();
  set_step_threads(0);
  ModelState m = busy_lattice();
  for (int i = 0; i < 50; ++i) advance_step(m);  // past the start, when most cells are 0
  std::vector<double> a(static_cast<std::size_t>(kSide) * kSide, 1.0), b(a.size(), 2.0);
  double copy_s = 0, step_s = 0;
  std::int64_t rounds = 0;
  const auto copy = [&] {
    std::memcpy(b.data(), a.data(), a.size() * sizeof(double));
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  };
  const auto step = [&] {
    advance_step(m);
    benchmark::DoNotOptimize(m.mean_p);
  };
  for (auto _ : state) {
    copy();
    const auto t0 = Clock::now();
    for (int i = 0; i < 10; ++i) copy();
    const auto t1 = Clock::now();
    step();
    const auto t2 = Clock::now();
    for (int i = 0; i < 10; ++i) step();
    const auto t3 = Clock::now();
    copy_s += std::chrono::duration<double>(t1 - t0).count();
    step_s += std::chrono::duration<double>(t3 - t2).count();
    rounds += 10;
  }
  report_step_over_copy(state, copy_s, step_s, rounds);
  set_step_threads(saved);
}
BENCHMARK(BM_StepOverMemcpy800)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same comparison out of the caches: each side works in turn on one of
// kSets lattices (or pairs of grids), together far larger than a last-level
// cache, so both read and write main memory. (All the lattices have the same
// stomata, so the step's grouping of them stays valid.) Argument: the step's
// thread count (0 automatic).
void BM_StepOverMemcpy800Uncached(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  constexpr int kSets = 16;  // 80 MB of lattices, 160 MB of grids to copy
  const int saved = step_threads();
  set_step_threads(static_cast<int>(state.range(0)));
  std::vector<ModelState> models;
  for (int k = 0; k < kSets; ++k) {
    models.push_back(busy_lattice());
    for (int i = 0; i < 50; ++i) advance_step(models.back());
  }
  std::vector<std::vector<double>> from, to;
  for (int k = 0; k < kSets; ++k) {
    from.emplace_back(static_cast<std::size_t>(kSide) * kSide, 1.0);
    to.emplace_back(from.back().size(), 2.0);
  }
  double copy_s = 0, step_s = 0;
  std::int64_t rounds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int k = 0; k < kSets; ++k) {
      std::memcpy(to[k].data(), from[k].data(), from[k].size() * sizeof(double));
      benchmark::DoNotOptimize(to[k].data());
      benchmark::ClobberMemory();
    }
    const auto t1 = Clock::now();
    for (ModelState& m : models) {
      advance_step(m);
      benchmark::DoNotOptimize(m.mean_p);
    }
    const auto t2 = Clock::now();
    copy_s += std::chrono::duration<double>(t1 - t0).count();
    step_s += std::chrono::duration<double>(t2 - t1).count();
    rounds += kSets;
  }
  report_step_over_copy(state, copy_s, step_s, rounds);
  set_step_threads(saved);
}
BENCHMARK(BM_StepOverMemcpy800Uncached)
    ->ArgName("threads")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_ReferenceStep800(benchmark::State& state) {
  ModelState m = busy_lattice();
  for (auto _ : state) {
    reference::reference_step(m, false);
    benchmark::DoNotOptimize(m.mean_p);
  }
}
BENCHMARK(BM_ReferenceStep800)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
