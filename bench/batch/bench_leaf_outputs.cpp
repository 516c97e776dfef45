// What the run's own records cost, each against the same steps without
// them, timed in turns within one benchmark so that the machine's drift hits
// both sides alike; the counter `ratio` is the median over the pairs of
// recorded time / plain time (a busy machine slows single pairs), and
// `ratio_of_sums` the plain quotient of the totals.
//   Trace: --trace every step, 800 x 800 with 20000 stomata, start-up
//     display flags (automatic ranges). Target: ratio <= 1.05.
//   Fields: --fields every 250 steps on the same lattice, one recording of
//     four frames per chunk. Target: <= 1.10. Its files go to
//     OMBRISK_BENCH_DIR (default: the temporary folder), so the cost of
//     writing 5 MB a frame can be measured on the file system that matters.
//   Rows: --manifest --rows over 400 rows of 100 x 100, 200 steps each, with
//     a summary row each, against the same runs' steps alone in one loop.
//     Target: <= 1.10.
// Two 800 x 800 grids (10 MB) stay in a 32 MB last-level cache, so the
// 800 x 800 figures are for a lattice in cache; so is every 100 x 100 one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/command_line.h"
#include "batch/program.h"
#include "model/commands.h"
#include "model/time_step.h"

namespace {

using namespace ombrisk;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::vector<batch::Action> actions(const std::vector<std::string>& args) {
  const batch::ParseResult r = batch::parse_command_line(args);
  if (!r.error.empty()) std::fprintf(stderr, "%s\n", r.error.c_str());
  return r.line.actions;
}

fs::path scratch_dir() {
  const char* chosen = std::getenv("OMBRISK_BENCH_DIR");
  const fs::path dir =
      (chosen && *chosen ? fs::path(chosen) : fs::temp_directory_path()) / "ombrisk-bench-leaf";
  fs::create_directories(dir);
  return dir;
}

double seconds_of(const std::vector<batch::Action>& run, ModelState& m, Random& random) {
  std::ostringstream sink;
  const auto start = Clock::now();
  batch::run_actions(m, random, run, {sink, sink, false});
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// OMBRISK_BENCH_THREADS sets the step's thread count (default: the model's
// choice), to tell the records' own cost from what the pauses between steps
// do to the step's helper threads.
void build_large(ModelState& m, Random& random) {
  if (const char* threads = std::getenv("OMBRISK_BENCH_THREADS"))
    set_step_threads(std::atoi(threads));
  start_model(m, random, 1);
  std::ostringstream sink;
  batch::run_actions(m, random, actions({"--size", "800", "--stomata", "20000"}), {sink, sink, false});
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void report(benchmark::State& state, const std::vector<double>& ratios, double recorded_s,
            double plain_s) {
  state.counters["ratio"] = median(ratios);
  state.counters["ratio_of_sums"] = recorded_s / plain_s;
}

// Plain and recorded chunks of the same length in turns on one model, the
// order swapped every other pair.
void compare(benchmark::State& state, const std::vector<batch::Action>& plain,
             const std::vector<batch::Action>& recorded, long long steps_each) {
  ModelState m;
  Random random;
  build_large(m, random);
  double plain_s = 0.0, recorded_s = 0.0;
  std::vector<double> ratios;
  bool plain_first = true;
  for (auto _ : state) {
    double a = 0.0, b = 0.0;
    if (plain_first) {
      a = seconds_of(plain, m, random);
      b = seconds_of(recorded, m, random);
    } else {
      b = seconds_of(recorded, m, random);
      a = seconds_of(plain, m, random);
    }
    plain_first = !plain_first;
    plain_s += a;
    recorded_s += b;
    ratios.push_back(b / a);
    benchmark::DoNotOptimize(m.mean_p);
  }
  const double steps = static_cast<double>(state.iterations() * steps_each);
  state.counters["plain_ms_per_step"] = plain_s / steps * 1e3;
  state.counters["recorded_ms_per_step"] = recorded_s / steps * 1e3;
  report(state, ratios, recorded_s, plain_s);
}

void BM_TraceEveryStep(benchmark::State& state) {
  const std::string trace = (scratch_dir() / "trace.csv").string();
  // Chunks long enough that opening the file, once per chunk as once per
  // run, is not what is measured: emptying and closing an earlier trace on
  // a journalled disk takes about a millisecond, 2-3% of 200 steps.
  compare(state, actions({"--steps", "1000"}),
          actions({"--every", "1", "--trace", trace, "--steps", "1000"}), 1000);
}

void BM_FieldsEvery250(benchmark::State& state) {
  const std::string fields = (scratch_dir() / "fields.npy").string();
  // Each recorded chunk makes four frames and writes the JSON at its end.
  compare(state, actions({"--steps", "1000"}),
          actions({"--every", "250", "--fields", fields, "--steps", "1000"}), 1000);
}

// One trace line alone (the stomata's pass and the formatting), for reading
// the trace's share of a step.
void BM_TraceLine(benchmark::State& state) {
  ModelState m;
  Random random;
  build_large(m, random);
  std::ostringstream sink;
  batch::run_actions(m, random, actions({"--steps", "3"}), {sink, sink, false});
  for (auto _ : state) benchmark::DoNotOptimize(batch::trace_line(m, {}));
}

constexpr int kRows = 400;
constexpr int kRowSteps = 200;

void BM_ManifestRows(benchmark::State& state) {
  const fs::path dir = scratch_dir();
  const std::string manifest = (dir / "rows.csv").string();
  {
    std::ofstream out(manifest);
    out << "id,seed,size,stomata,kepi,steps\n";
    for (int i = 1; i <= kRows; ++i)
      out << "r" << i << "," << i << ",100," << 20 + i % 80 << "," << 0.05 + 0.0005 * i << ","
          << kRowSteps << "\n";
  }
  const std::string summary = (dir / "summary.csv").string();
  batch::ParseResult parsed = batch::parse_command_line(
      {"--manifest", manifest, "--rows", "1-" + std::to_string(kRows), "--summary", summary});

  double rows_s = 0.0, steps_s = 0.0;
  std::vector<double> ratios;
  for (auto _ : state) {
    fs::remove(summary);
    std::ostringstream sink;
    auto start = Clock::now();
    batch::run_program(parsed.line, {sink, sink, false, 0});
    const double rows_this = std::chrono::duration<double>(Clock::now() - start).count();
    rows_s += rows_this;
    double steps_this = 0.0;

    // The same runs set up untimed, their steps timed in one loop.
    for (int i = 1; i <= kRows; ++i) {
      ModelState m;
      Random random;
      start_model(m, random, static_cast<std::uint32_t>(i));
      batch::run_actions(m, random,
                         actions({"--size", "100", "--stomata", std::to_string(20 + i % 80),
                                  "--set", "kepi=" + std::to_string(0.05 + 0.0005 * i)}),
                         {sink, sink, false});
      start = Clock::now();
      for (int s = 0; s < kRowSteps; ++s) {
        advance_step(m);
        m.step += 1;
      }
      steps_this += std::chrono::duration<double>(Clock::now() - start).count();
      benchmark::DoNotOptimize(m.mean_p);
    }
    steps_s += steps_this;
    ratios.push_back(rows_this / steps_this);
  }
  const double runs = static_cast<double>(state.iterations() * kRows);
  state.counters["rows_ms_per_run"] = rows_s / runs * 1e3;
  state.counters["steps_ms_per_run"] = steps_s / runs * 1e3;
  report(state, ratios, rows_s, steps_s);
}

BENCHMARK(BM_TraceLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceEveryStep)->Unit(benchmark::kMillisecond)->Iterations(12)->UseRealTime();
BENCHMARK(BM_FieldsEvery250)->Unit(benchmark::kMillisecond)->Iterations(12)->UseRealTime();
BENCHMARK(BM_ManifestRows)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
