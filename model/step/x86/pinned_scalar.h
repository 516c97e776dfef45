// The pinned scalar operations (see model/pinned_ops.h) for x86-64: one SSE2
// instruction each, its operands in the order written.
#pragma once

namespace ombrisk::step_detail {

inline double add_sd(double a, double b) {
  asm("addsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
inline double sub_sd(double a, double b) {
  asm("subsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
inline double mul_sd(double a, double b) {
  asm("mulsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}
inline double div_sd(double a, double b) {
  asm("divsd %1, %0" : "+x"(a) : "x"(b));
  return a;
}

}  // namespace ombrisk::step_detail
