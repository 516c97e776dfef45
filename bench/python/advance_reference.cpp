// The C++ side of the Python module's benchmark: the same set-up and steps
// as bench_advance.py, timed here without Python.
//
//   advance_reference SIDE STOMATA STEPS CALLS
//
// runs CALLS times STEPS steps and prints the seconds the steps took.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "model/commands.h"
#include "model/time_step.h"

int main(int argc, char** argv) {
  using namespace ombrisk;
  if (argc != 5) {
    std::fprintf(stderr, "usage: advance_reference SIDE STOMATA STEPS CALLS\n");
    return 2;
  }
  const int side = std::atoi(argv[1]);
  const int stomata = std::atoi(argv[2]);
  const long steps = std::atol(argv[3]);
  const long calls = std::atol(argv[4]);
  ModelState m;
  Random random;
  start_model(m, random, 1);
  m.dimension_choice = dimension_choice_for_side(side);
  resize_to_dimension(m, random);
  place_new_stomata(m, random, stomata);
  restart_lattice(m);
  advance_step(m);  // warm: the thread pool and the caches
  const auto start = std::chrono::steady_clock::now();
  for (long c = 0; c < calls; ++c) {
    for (long i = 0; i < steps; ++i) {
      advance_step(m);
      m.step += 1;
    }
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%.9f %.17g\n", took.count(), m.mean_p);
  return 0;
}
