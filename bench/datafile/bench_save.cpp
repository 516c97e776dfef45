// Saving an 800 x 800 model: the data file writer against the obvious way,
// one fprintf per value, writing the same bytes to the same place.
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "datafile/data_file.h"

namespace {

using ombrisk::ModelState;

// A model after some steps: p spread over the range a run produces.
ModelState busy_model(int side) {
  ModelState m;
  ombrisk::start_up_model(m);
  ombrisk::free_lattice(m);
  m.rows = m.cols = side;
  ombrisk::reset_lattice(m);
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> p(-12.0, 3.0);
  for (double& v : m.p_current.values) v = p(gen);
  return m;
}

std::string scratch_file() {
  static const std::string dir = [] {
    std::string pattern = "/tmp/ombrisk-bench-XXXXXX";
    return std::string(::mkdtemp(pattern.data()));
  }();
  return dir + "/bench.dat";
}

void save_with_fprintf(const ModelState& m, const char* name) {
  std::FILE* f = std::fopen(name, "w");
  if (f == nullptr) return;
  std::fprintf(f, "%i %i %i %i %i\n", m.view_width, m.view_height, m.rows, m.cols, m.step);
  std::fprintf(f, "%6.4e %6.4e\n", m.params.kepi, m.params.kin);
  std::fprintf(f, "%i %i %5.2f %8.4f %8.4f %8.4f %8.4f %8.4f\n", m.stomata.stoma_count, m.border,
               m.spacing, m.params.Jmax, m.params.Jo, m.params.a, m.params.pminj, m.params.leaf_p);
  for (int i = 0; i < m.stomata.stoma_count; ++i) {
    std::fprintf(f, "%i %i %11.9f\n", m.stomata.stoma_col[i], m.stomata.stoma_row[i],
                 m.stomata.stoma_j[i]);
  }
  for (int r = 0; r < m.rows; ++r) {
    for (int c = 0; c < m.cols; ++c) std::fprintf(f, "%8.4f ", m.p_current[r][c]);
    std::fprintf(f, "\n");
  }
  std::fclose(f);
}

void BM_SaveDataFile(benchmark::State& state) {
  ModelState m = busy_model(static_cast<int>(state.range(0)));
  m.data_file_name = scratch_file();
  for (auto _ : state) {
    if (ombrisk::save_data_file(m) != ombrisk::FileError::none) state.SkipWithError("save failed");
  }
  ::unlink(m.data_file_name.c_str());
}

void BM_FormatDataFile(benchmark::State& state) {
  const ModelState m = busy_model(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(ombrisk::format_data_file(m));
}

void BM_SaveFprintfPerValue(benchmark::State& state) {
  const ModelState m = busy_model(static_cast<int>(state.range(0)));
  const std::string name = scratch_file();
  for (auto _ : state) save_with_fprintf(m, name.c_str());
  ::unlink(name.c_str());
}

BENCHMARK(BM_SaveDataFile)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatDataFile)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFprintfPerValue)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
