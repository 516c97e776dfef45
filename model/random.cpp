#include "model/random.h"

namespace ombrisk {

void seed_random(Random& random, std::uint32_t seed) { random.random_state = seed; }

int next_random(Random& random) {
  random.random_state = random.random_state * 214013u + 2531011u;
  return static_cast<int>((random.random_state >> 16) & 32767u);
}

}  // namespace ombrisk
