// Vector and scalar adds and multiplies with their operand order pinned.
// Internal to model/.
#pragma once

#include <immintrin.h>

namespace ombrisk::step_detail {

// a + b and a * b exactly as written. When both operands are NaN the result
// is the first one's NaN, and the compiler may swap the operands of a vector
// add or multiply (and clang turns -(x * a) into x * -a); pinning the order
// keeps every path, vector or scalar, giving the same NaN bits.
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

inline double add_sd(double a, double b) {
  asm("addsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
inline double mul_sd(double a, double b) {
  asm("mulsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}

}  // namespace ombrisk::step_detail
