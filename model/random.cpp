#include "model/random.h"

namespace ombrisk {

namespace {

constexpr std::uint32_t kMultiplier = 214013u;
constexpr std::uint32_t kIncrement = 2531011u;

// The map x -> mul * x + add (mod 2^32); k generator steps are again such a map.
struct AffineStep {
  std::uint32_t mul = 1;
  std::uint32_t add = 0;
};

AffineStep steps(std::uint64_t count) {
  AffineStep total;
  AffineStep power{kMultiplier, kIncrement};
  while (count != 0) {
    if (count & 1u) total = {power.mul * total.mul, power.mul * total.add + power.add};
    power = {power.mul * power.mul, power.mul * power.add + power.add};
    count >>= 1;
  }
  return total;
}

int output_bits(std::uint32_t state) { return static_cast<int>((state >> 16) & 32767u); }

}  // namespace

void seed_random(Random& random, std::uint32_t seed) { random.random_state = seed; }

int next_random(Random& random) {
  random.random_state = random.random_state * kMultiplier + kIncrement;
  return output_bits(random.random_state);
}

void skip_random(Random& random, std::uint64_t count) {
  const AffineStep s = steps(count);
  random.random_state = s.mul * random.random_state + s.add;
}

void next_randoms(Random& random, std::uint16_t* out, std::size_t n) {
  // Eight interleaved sequences, each jumping eight steps at a time, so the
  // multiplications no longer wait for one another.
  constexpr std::size_t kLanes = 8;
  const std::size_t blocked = n - n % kLanes;
  if (blocked != 0) {
    std::uint32_t lane[kLanes];
    std::uint32_t s = random.random_state;
    for (std::size_t j = 0; j < kLanes; ++j) {
      s = s * kMultiplier + kIncrement;
      lane[j] = s;
    }
    const AffineStep jump = steps(kLanes);
    for (std::size_t i = 0; i < blocked; i += kLanes) {
      for (std::size_t j = 0; j < kLanes; ++j) {
        out[i + j] = static_cast<std::uint16_t>(output_bits(lane[j]));
        lane[j] = jump.mul * lane[j] + jump.add;
      }
    }
    skip_random(random, blocked);
  }
  for (std::size_t i = blocked; i < n; ++i) out[i] = static_cast<std::uint16_t>(next_random(random));
}

}  // namespace ombrisk
