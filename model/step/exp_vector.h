// The exponential of many values at once, bit for bit what the C library's
// exp gives for each of them. The step needs one per stoma, and calling the
// library 20000 times a step costs as much as a quarter of the lattice work.
#pragma once

namespace ombrisk::step_detail {

// v[i] = std::exp(v[i]) for i < n.
void exp_in_place(double* v, int n);

// j[k] = std::exp(-((p[at[k]] - pminj) * a)) for k < n: the exponentials of
// the stoma flux for stomata on cells at[0 .. n) of the values p (a row and
// its columns, or the lattice and its cells).
void stoma_exponentials(const double* p, const int* at, int n, double pminj, double a,
                        double* j);

// Whether exp_in_place and stoma_exponentials compute several values at a
// time here: on x86-64 eight with AVX-512, four with AVX2 and multiply-add,
// within the row code's vector level (step_rows.h), and only when, at the first call,
// that way gave the C library's own results on a set of trial values
// (otherwise they call the library, so results never depend on which path
// runs).
bool exp_vector_in_use();

}  // namespace ombrisk::step_detail
