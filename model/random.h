// The program's pseudo-random generator: a 32-bit linear congruential
// generator with a 15-bit output. Placement relies on its exact numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ombrisk {

struct Random {
  std::uint32_t random_state = 0;
};

void seed_random(Random& random, std::uint32_t seed);

// Advances the state and returns bits 16 to 30 of it: 0 ... 32767.
int next_random(Random& random);

// Leaves the state where `count` calls of next_random would leave it, in
// O(log count) steps.
void skip_random(Random& random, std::uint64_t count);

// Writes the next `n` numbers to out[0 ... n-1], exactly the numbers and the
// final state that `n` calls of next_random give, but several at a time.
void next_randoms(Random& random, std::uint16_t* out, std::size_t n);

}  // namespace ombrisk
