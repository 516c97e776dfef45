// The plain C++ pinned operations against the x86-64 instructions
// themselves, on every pair from a set of special and ordinary values.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

#include "model/step/portable/pinned_scalar.h"

namespace {

using namespace ombrisk::step_detail;

std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

// The SSE2 instruction for each operation, first operand first.
double hw_add(double a, double b) {
  asm("addsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
double hw_sub(double a, double b) {
  asm("subsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
double hw_mul(double a, double b) {
  asm("mulsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
double hw_div(double a, double b) {
  asm("divsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}

TEST(PinnedPortable, SameBitsAsTheX86Instructions) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values{0.0,  -0.0,  1.0,  -3.25, 1e308, -1e308, 5e-324, inf, -inf,
                             0.1, 7.0, -1e-300};
  for (std::uint64_t nan : {0x7ff8000000000000u, 0xfff8000000000000u, 0x7ff8000000000042u,
                            0xfff0000000000017u, 0x7ff0000000000001u}) {
    values.push_back(std::bit_cast<double>(nan));
  }
  int wrong = 0;
  for (double a : values) {
    for (double b : values) {
      const std::uint64_t got[] = {bits(add_sd(a, b)), bits(sub_sd(a, b)), bits(mul_sd(a, b)),
                                   bits(div_sd(a, b))};
      const std::uint64_t want[] = {bits(hw_add(a, b)), bits(hw_sub(a, b)), bits(hw_mul(a, b)),
                                    bits(hw_div(a, b))};
      for (int op = 0; op < 4; ++op) {
        if (got[op] != want[op] && ++wrong <= 10) {
          ADD_FAILURE() << "operation " << op << std::hex << " of " << bits(a) << " and "
                        << bits(b) << ": " << got[op] << " instead of " << want[op];
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
