#include "model/step/x86/processor_x86.h"

#include "model/step/processor.h"

namespace ombrisk::step_detail {

bool processor_has_avx2() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}

bool processor_has_fma() {
  static const bool yes = __builtin_cpu_supports("fma");
  return yes;
}

bool processor_has_avx512f() {
  static const bool yes = __builtin_cpu_supports("avx512f");
  return yes;
}

SimdLevel widest_simd_level() {
  // SSE2 is part of x86-64.
  return processor_has_avx512f() ? SimdLevel::avx512
         : processor_has_avx2()  ? SimdLevel::avx2
                                 : SimdLevel::sse2;
}

}  // namespace ombrisk::step_detail
