// The C library's way to exp_in_place and stoma_exponentials (exp_vector.h),
// one value at a time: what every path must match, and what runs where no
// vector exponential applies. Internal to the step code.
#pragma once

#include <cmath>

#include "model/pinned_ops.h"

namespace ombrisk::step_detail {

inline void exp_in_place_library(double* v, int n) {
  for (int i = 0; i < n; ++i) v[i] = std::exp(v[i]);
}

inline void stoma_exponentials_library(const double* p, const int* at, int n, double pminj,
                                       double a, double* j) {
  for (int k = 0; k < n; ++k) j[k] = std::exp(-mul_sd(sub_sd(p[at[k]], pminj), a));
}

}  // namespace ombrisk::step_detail
