// The plain C++ pinned operations give x86-64's NaN results on any
// processor: a new NaN is the negative quiet one, a NaN operand comes back
// made quiet, and of two NaN operands the first.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

#include "model/step/portable/pinned_scalar.h"

namespace {

using namespace ombrisk::step_detail;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }
double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

constexpr std::uint64_t kNewNaN = 0xfff8000000000000;
const double kInf = std::numeric_limits<double>::infinity();

TEST(PinnedPortable, InvalidOperationsGiveTheNegativeQuietNaN) {
  EXPECT_EQ(bits(add_sd(kInf, -kInf)), kNewNaN);
  EXPECT_EQ(bits(sub_sd(kInf, kInf)), kNewNaN);
  EXPECT_EQ(bits(sub_sd(-kInf, -kInf)), kNewNaN);
  EXPECT_EQ(bits(mul_sd(0.0, kInf)), kNewNaN);
  EXPECT_EQ(bits(mul_sd(-kInf, -0.0)), kNewNaN);
  EXPECT_EQ(bits(div_sd(0.0, -0.0)), kNewNaN);
  EXPECT_EQ(bits(div_sd(-kInf, kInf)), kNewNaN);
}

TEST(PinnedPortable, NaNOperandsComeBackQuietTheFirstOneFirst) {
  const double plus = from_bits(0x7ff8000000000123);
  const double minus = from_bits(0xfff8000000000456);
  const double signalling = from_bits(0x7ff0000000000789);
  for (double other : {1.5, -0.0, kInf}) {
    EXPECT_EQ(bits(add_sd(plus, other)), bits(plus));
    EXPECT_EQ(bits(add_sd(other, minus)), bits(minus));
    EXPECT_EQ(bits(sub_sd(other, plus)), bits(plus));
    EXPECT_EQ(bits(mul_sd(minus, other)), bits(minus));
    EXPECT_EQ(bits(div_sd(other, minus)), bits(minus));
  }
  EXPECT_EQ(bits(add_sd(plus, minus)), bits(plus));
  EXPECT_EQ(bits(add_sd(minus, plus)), bits(minus));
  EXPECT_EQ(bits(mul_sd(minus, plus)), bits(minus));
  EXPECT_EQ(bits(div_sd(plus, minus)), bits(plus));
  EXPECT_EQ(bits(sub_sd(signalling, 1.0)), 0x7ff8000000000789u);
  EXPECT_EQ(bits(mul_sd(signalling, minus)), 0x7ff8000000000789u);
}

TEST(PinnedPortable, OrdinaryResultsAreTheIeeeOnes) {
  EXPECT_EQ(bits(add_sd(0.1, 0.2)), bits(0.30000000000000004));
  EXPECT_EQ(bits(sub_sd(0.0, 0.0)), bits(0.0));
  EXPECT_EQ(bits(sub_sd(-0.0, 0.0)), bits(-0.0));
  EXPECT_EQ(bits(mul_sd(-2.0, 0.0)), bits(-0.0));
  EXPECT_EQ(bits(div_sd(1.0, -0.0)), bits(-kInf));
  EXPECT_EQ(bits(add_sd(1e308, 1e308)), bits(kInf));
}

}  // namespace
