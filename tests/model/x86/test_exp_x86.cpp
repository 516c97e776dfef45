// Where an x86-64 processor has a vector exponential the step uses it: a
// silent fall back to the library would cost the step its speed.
#include <gtest/gtest.h>

#include <cmath>

#include "model/step/exp_vector.h"
#include "model/step/step_rows.h"
#include "model/step/x86/processor_x86.h"

namespace {

using namespace ombrisk::step_detail;

struct LevelReset {
  ~LevelReset() { set_simd_level(SimdLevel::automatic); }
};

// A vector path passes its start-up check only against the C library it was
// made to match (the one this system ships); with another library it falls
// back to calling exp, and this test would say so.
TEST(ExpVector, VectorPathWhereTheProcessorHasOne) {
#ifndef __GLIBC__
  GTEST_SKIP() << "the vector exponentials are made to match the GNU C library's exp";
#endif
  LevelReset reset;
  if (processor_has_avx512f()) {
    set_simd_level(SimdLevel::avx512);
    EXPECT_TRUE(exp_vector_in_use()) << "eight at a time";
  }
  if (!processor_has_avx2() || !processor_has_fma()) {
    GTEST_SKIP() << "no AVX2 with multiply-add here";
  }
  set_simd_level(SimdLevel::avx2);
  EXPECT_TRUE(exp_vector_in_use()) << "four at a time";
  set_simd_level(SimdLevel::sse2);
  EXPECT_FALSE(exp_vector_in_use());
  set_simd_level(SimdLevel::plain);
  EXPECT_FALSE(exp_vector_in_use());
}

}  // namespace
