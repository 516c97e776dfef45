// The fast formatter against the C library's own printf ("C" locale, the
// test program's default) on values chosen to stress rounding.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "datafile/fixed_text.h"

namespace ombrisk {
namespace {

std::string printf_fixed(double v, int precision, int width) {
  char buf[512];
  // A nan is spelled as glibc spells it, with its sign, which the data files
  // keep on every platform (other C libraries drop the sign).
  if (std::isnan(v)) {
    std::snprintf(buf, sizeof buf, "%*s", width, std::signbit(v) ? "-nan" : "nan");
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%*.*f", width, precision, v);
  return buf;
}

std::string fast_fixed(double v, int precision, int width) {
  std::string out;
  append_fixed(out, v, precision, width);
  return out;
}

std::string fast_cell(double v) {
  char buf[kFixedFastMaxChars];
  char* end = write_cell_value(buf, v);
  return end == nullptr ? printf_fixed(v, 4, 8) : std::string(buf, end);
}

void expect_like_printf(double v) {
  ASSERT_EQ(fast_cell(v), printf_fixed(v, 4, 8)) << "cell value " << std::hexfloat << v;
  for (auto [precision, width] : {std::pair{4, 8}, std::pair{9, 11}, std::pair{2, 5},
                                  std::pair{0, 3}}) {
    ASSERT_EQ(fast_fixed(v, precision, width), printf_fixed(v, precision, width))
        << "value " << std::hexfloat << v << " precision " << precision;
  }
}

TEST(FixedText, RandomValuesAcrossMagnitudesMatchPrintf) {
  std::mt19937_64 gen(12345);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 20);
  for (int i = 0; i < 200000; ++i) expect_like_printf(std::ldexp(mantissa(gen), exponent(gen)));
  // Arbitrary bit patterns reach subnormals and the largest magnitudes.
  for (int i = 0; i < 50000; ++i) {
    const std::uint64_t bits = gen();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    expect_like_printf(v);
  }
}

TEST(FixedText, TiesAndTheirNeighboursMatchPrintf) {
  // Decimal ties (exact only when the binary value is) and the doubles just
  // beside them, at the four-decimal and nine-decimal positions.
  std::vector<double> values;
  for (double base : {0.00005, 1.00005, 2.50005, -0.00005, -1.00005, 0.5, 1.5, 2.5, 0.125,
                      0.0625, 0.03125, 0.00015625, 1e-10 * 5, 0.0000000005, 1.0000000005,
                      12345.67895, -99999.99995, 0.99995, 9.99995}) {
    values.push_back(base);
    values.push_back(std::nextafter(base, INFINITY));
    values.push_back(std::nextafter(base, -INFINITY));
  }
  for (int k = 0; k < 40000; ++k) values.push_back((2 * k + 1) / 2e4);  // n.nnnn5
  for (int k = 1; k < 64; ++k) values.push_back(std::ldexp(1.0, -k));  // exact binary ties
  for (double v : values) expect_like_printf(v);
}

TEST(FixedText, SignsZerosAndSpecialValuesMatchPrintf) {
  for (double v : {0.0, -0.0, -0.00004, -0.00005, -0.0000499999, 0.00004999, -1e-300,
                   std::numeric_limits<double>::denorm_min(),
                   -std::numeric_limits<double>::denorm_min(),
                   std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN(),
                   -std::numeric_limits<double>::quiet_NaN(), 1e15, -1e15,
                   std::nextafter(1e15, 0.0), 1e300, -1e300,
                   std::numeric_limits<double>::max()}) {
    expect_like_printf(v);
  }
  EXPECT_EQ(fast_fixed(-std::numeric_limits<double>::quiet_NaN(), 4, 8), "    -nan");
  EXPECT_EQ(fast_fixed(-0.00001, 4, 8), " -0.0000");
}

TEST(FixedText, IntegersMatchPrintf) {
  for (int v : {0, 7, -7, 10, 800, -2147483647, INT_MIN, INT_MAX, 1000000000}) {
    char buf[16];
    char* end = write_int(buf, v);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%i", v);
    EXPECT_EQ(std::string(buf, end), expected);
  }
}

}  // namespace
}  // namespace ombrisk
