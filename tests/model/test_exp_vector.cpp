// The step's exponentials are the C library's, bit for bit, for every kind of
// value and every vector path (that the processor's vector paths are used is
// held in x86/test_exp_x86.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "model/step/exp_vector.h"
#include "model/step/step_rows.h"

namespace {

using ombrisk::step_detail::exp_in_place;

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

using ombrisk::step_detail::SimdLevel;

struct LevelReset {
  ~LevelReset() { ombrisk::step_detail::set_simd_level(SimdLevel::automatic); }
};

// The row code levels that are distinct paths here: a level the processor
// lacks runs the widest it has, which is already among them.
std::vector<SimdLevel> distinct_levels() {
  std::vector<SimdLevel> out;
  for (SimdLevel level :
       {SimdLevel::plain, SimdLevel::sse2, SimdLevel::avx2, SimdLevel::avx512}) {
    ombrisk::step_detail::set_simd_level(level);
    const SimdLevel here = ombrisk::step_detail::simd_level();
    if (std::find(out.begin(), out.end(), here) == out.end()) out.push_back(here);
  }
  ombrisk::step_detail::set_simd_level(SimdLevel::automatic);
  return out;
}

void expect_library_bits_here(const std::vector<double>& values) {
  std::vector<double> got = values;
  std::size_t at = 0;
  for (int piece = 1; at < got.size(); piece = piece % 17 + 1) {
    const int n = static_cast<int>(std::min<std::size_t>(piece, got.size() - at));
    exp_in_place(got.data() + at, n);
    at += static_cast<std::size_t>(n);
  }
  int wrong = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double want = std::exp(values[i]);
    if (bits(got[i]) != bits(want) && !(std::isnan(got[i]) && std::isnan(want))) {
      if (++wrong <= 5) {
        ADD_FAILURE() << std::hexfloat << "exp(" << values[i] << "): " << got[i] << " instead of "
                      << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

// Every value of `values` through exp_in_place against std::exp, in pieces of
// every length from 1 to 17 so that partial quads and octets are covered, at
// every vector level.
void expect_library_bits(const std::vector<double>& values) {
  LevelReset reset;
  for (SimdLevel level : distinct_levels()) {
    SCOPED_TRACE(static_cast<int>(level));
    ombrisk::step_detail::set_simd_level(level);
    expect_library_bits_here(values);
  }
}

TEST(ExpVector, LibraryBitsAcrossTheRange) {
  std::mt19937_64 gen(7);
  std::vector<double> values;
  for (double range : {1e-12, 1e-3, 0.02, 1.0, 30.0, 511.9, 709.0, 745.0}) {
    std::uniform_real_distribution<double> pick(-range, range);
    for (int i = 0; i < 250000; ++i) values.push_back(pick(gen));
  }
  // Any bit pattern: huge, tiny, subnormal, NaN and infinite arguments.
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t b = gen();
    double v;
    std::memcpy(&v, &b, sizeof v);
    values.push_back(v);
  }
  expect_library_bits(values);
}

TEST(ExpVector, LibraryBitsAtTheEdges) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {0.0,     -0.0,    inf,      -inf,    std::nan(""), -std::nan(""),
                                0x1p-54, -0x1p-54, 0x1p-55, 0x1.fffffffffffffp-55, 512.0,
                                -512.0,  0x1.fffffffffffffp8, -0x1.fffffffffffffp8, 709.78,
                                709.79,  -745.13, -745.14, 1e-310, -1e-310, 1024.0, -1024.0};
  // Each table entry's middle and both ends.
  for (int k = -1300; k <= 1300; ++k) {
    const double x = k * (std::log(2.0) / 128);
    for (double d : {-0x1p-9, 0.0, 0x1p-9, std::log(2.0) / 256}) values.push_back(x + d);
  }
  expect_library_bits(values);
}

// The stoma exponents gathered from a row: every count of stomata from 0 to
// 40, columns repeated and at both ends of the row.
TEST(ExpVector, StomaExponentialsAreTheLibrarys) {
  LevelReset reset;
  for (SimdLevel level : distinct_levels()) {
    SCOPED_TRACE(static_cast<int>(level));
    ombrisk::step_detail::set_simd_level(level);
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> pick(-40.0, 40.0);
    std::vector<double> row(50);
    for (double& p : row) p = pick(gen);
    row[7] = std::nan("");
    row[9] = std::numeric_limits<double>::infinity();
    row[11] = 1e300;
    for (int n = 0; n <= 40; ++n) {
      std::vector<int> cols(static_cast<std::size_t>(n));
      for (int& c : cols) c = static_cast<int>(gen() % row.size());
      if (n > 1) cols[0] = 0, cols[1] = static_cast<int>(row.size()) - 1;
      std::vector<double> j(static_cast<std::size_t>(n) + 1, -1.0);
      ombrisk::step_detail::stoma_exponentials(row.data(), cols.data(), n, -10.0, 0.7, j.data());
      for (int k = 0; k < n; ++k) {
        const double want = std::exp(-((row[static_cast<std::size_t>(cols[k])] + 10.0) * 0.7));
        EXPECT_TRUE(bits(j[k]) == bits(want) || (std::isnan(j[k]) && std::isnan(want)))
            << "n " << n << " k " << k;
      }
      EXPECT_EQ(j[static_cast<std::size_t>(n)], -1.0) << "wrote past the end, n " << n;
    }
  }
}

// A NaN parameter gives a NaN exponent; its sign and payload must not depend
// on the path either (the compiler may reorder -(x * a) where it is left to it).
TEST(ExpVector, StomaExponentialsOfNaNParametersHaveTheSameBitsOnEveryPath) {
  LevelReset reset;
  double payload_a, payload_p;
  const std::uint64_t a_bits = 0x7ff8000000000abcull, p_bits = 0xfff8000000000123ull;
  std::memcpy(&payload_a, &a_bits, sizeof payload_a);
  std::memcpy(&payload_p, &p_bits, sizeof payload_p);
  std::vector<double> row = {1.0, -3.5, payload_p, 0.0, 7.25, -0.0, 2.0, payload_p, 4.0};
  std::vector<int> cols(row.size());
  for (std::size_t k = 0; k < cols.size(); ++k) cols[k] = static_cast<int>(k);
  const int n = static_cast<int>(cols.size());
  struct Parameters {
    double pminj, a;
  };
  for (const Parameters& prm : {Parameters{-10.0, payload_a}, Parameters{payload_a, 1.0},
                                Parameters{payload_a, payload_a}}) {
    std::vector<std::vector<double>> by_level;
    for (SimdLevel level : distinct_levels()) {
      ombrisk::step_detail::set_simd_level(level);
      by_level.emplace_back(row.size());
      ombrisk::step_detail::stoma_exponentials(row.data(), cols.data(), n, prm.pminj, prm.a,
                                               by_level.back().data());
    }
    for (std::size_t level = 1; level < by_level.size(); ++level) {
      for (int k = 0; k < n; ++k) {
        EXPECT_EQ(bits(by_level[level][k]), bits(by_level[0][k]))
            << std::hex << "level " << level << " cell " << k << " pminj bits " << bits(prm.pminj)
            << " a bits " << bits(prm.a);
      }
    }
  }
}

}  // namespace
