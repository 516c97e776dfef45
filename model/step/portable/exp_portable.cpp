// The exponentials where there is no vector path: the C library's.
#include "model/step/exp_library.h"
#include "model/step/exp_vector.h"

namespace ombrisk::step_detail {

void exp_in_place(double* v, int n) { exp_in_place_library(v, n); }

void stoma_exponentials(const double* p, const int* at, int n, double pminj, double a,
                        double* j) {
  stoma_exponentials_library(p, at, n, pminj, a, j);
}

bool exp_vector_in_use() { return false; }

}  // namespace ombrisk::step_detail
