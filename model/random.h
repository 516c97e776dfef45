// The program's pseudo-random generator: a 32-bit linear congruential
// generator with a 15-bit output. Placement relies on its exact numbers.
#pragma once

#include <cstdint>

namespace ombrisk {

struct Random {
  std::uint32_t random_state = 0;
};

void seed_random(Random& random, std::uint32_t seed);

// Advances the state and returns bits 16 to 30 of it: 0 ... 32767.
int next_random(Random& random);

}  // namespace ombrisk
