// The vector adds and multiplies of the x86 paths with their operand order
// pinned, for the reason model/pinned_ops.h gives. Internal to the step code.
#pragma once

#include <immintrin.h>

#include "model/pinned_ops.h"

namespace ombrisk::step_detail {

inline __m128d add_pd(__m128d a, __m128d b) {
  asm("addpd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
inline __m128d mul_pd(__m128d a, __m128d b) {
  asm("mulpd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
__attribute__((target("avx2"))) inline __m256d add_pd(__m256d a, __m256d b) {
  __m256d r;
  asm("vaddpd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
  return r;
}
__attribute__((target("avx2"))) inline __m256d mul_pd(__m256d a, __m256d b) {
  __m256d r;
  asm("vmulpd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
  return r;
}

__attribute__((target("avx512f"))) inline __m512d add_pd(__m512d a, __m512d b) {
  __m512d r;
  asm("vaddpd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
  return r;
}
__attribute__((target("avx512f"))) inline __m512d mul_pd(__m512d a, __m512d b) {
  __m512d r;
  asm("vmulpd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
  return r;
}

}  // namespace ombrisk::step_detail
