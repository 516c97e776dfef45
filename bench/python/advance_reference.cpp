// The C++ side of the Python module's benchmark: the same set-up and steps
// as bench_advance.py, timed without Python. Loaded into the benchmark's own
// process (ctypes), so that both sides run with the same allocator and
// memory layout.
#include <chrono>

#include "model/commands.h"
#include "model/time_step.h"

// Runs `calls` times `steps` steps on a side x side lattice with `stomata`
// stomata (seed 1, after one warm step); returns the seconds the steps took
// and leaves the final mean p in *mean_p.
extern "C" double ombrisk_reference_run(int side, int stomata, long steps, long calls,
                                        double* mean_p) {
  using namespace ombrisk;
  ModelState m;
  Random random;
  start_model(m, random, 1);
  m.dimension_choice = dimension_choice_for_side(side);
  resize_to_dimension(m, random);
  place_new_stomata(m, random, stomata);
  restart_lattice(m);
  advance_step(m);
  m.step += 1;
  const auto start = std::chrono::steady_clock::now();
  for (long c = 0; c < calls; ++c) {
    for (long i = 0; i < steps; ++i) {
      advance_step(m);
      m.step += 1;
    }
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  *mean_p = m.mean_p;
  return took.count();
}
