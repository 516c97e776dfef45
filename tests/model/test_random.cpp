#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/random.h"

namespace ombrisk {
namespace {

std::vector<int> first_numbers(std::uint32_t seed, int n) {
  Random r;
  seed_random(r, seed);
  std::vector<int> out;
  for (int i = 0; i < n; ++i) out.push_back(next_random(r));
  return out;
}

TEST(Random, FirstNumbersOfKnownSeeds) {
  EXPECT_EQ(first_numbers(0, 5), (std::vector<int>{38, 7719, 21238, 2437, 8855}));
  EXPECT_EQ(first_numbers(1, 5), (std::vector<int>{41, 18467, 6334, 26500, 19169}));
}

TEST(Random, SkipLandsWhereSingleStepsLand) {
  for (std::uint64_t count : {0u, 1u, 2u, 7u, 8u, 9u, 1000u, 65537u, 2000000u}) {
    Random stepped, skipped;
    seed_random(stepped, 12345u);
    seed_random(skipped, 12345u);
    for (std::uint64_t i = 0; i < count; ++i) next_random(stepped);
    skip_random(skipped, count);
    EXPECT_EQ(skipped.random_state, stepped.random_state) << count;
  }
  // The period is 2^32: a full cycle returns to the start.
  Random r;
  seed_random(r, 987u);
  skip_random(r, std::uint64_t{1} << 32);
  EXPECT_EQ(r.random_state, 987u);
}

TEST(Random, BlockDrawsMatchSingleDraws) {
  for (std::size_t n : {0u, 1u, 7u, 8u, 9u, 16u, 23u, 2048u, 2049u}) {
    Random single, block;
    seed_random(single, 4242u + static_cast<std::uint32_t>(n));
    block = single;
    std::vector<std::uint16_t> got(n + 1, 0xFFFF);
    next_randoms(block, got.data(), n);
    for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(got[i], next_random(single)) << n << " " << i;
    EXPECT_EQ(got[n], 0xFFFF) << "wrote past the end";
    EXPECT_EQ(block.random_state, single.random_state) << n;
  }
}

}  // namespace
}  // namespace ombrisk
