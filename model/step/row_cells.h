// The new value of one cell, and of runs of cells, computed one at a time:
// the lattice's edges on every processor and every cell on the plain path.
// Internal to the step code.
#pragma once

#include "model/pinned_ops.h"
#include "model/step/step_rows.h"

namespace ombrisk::step_detail {

// Cell c of a row with or without a row above (Up), a row below (Down), a
// column to the left (Left) and to the right (Right): the in-lattice
// neighbours subtracted in the order of the neighbour table, and the corner
// form where the cell is a corner. The operations are pinned like the vector
// ones, so every column gives the same bits whichever code computes it.
template <bool Up, bool Down, bool Left, bool Right>
inline double cell(const double* u, const double* m, const double* d, int c,
                   const Coefficients& q) {
  const double p = m[c];
  double x;
  if ((c & 1) == 0) {
    constexpr int k = Up + Down + Left + Right + (Down && Left) + (Down && Right);
    x = mul_sd(k, p);
    if constexpr (Up) x = sub_sd(x, u[c]);
    if constexpr (Down) x = sub_sd(x, d[c]);
    if constexpr (Left) x = sub_sd(x, m[c - 1]);
    if constexpr (Right) x = sub_sd(x, m[c + 1]);
    if constexpr (Down && Left) x = sub_sd(x, d[c - 1]);
    if constexpr (Down && Right) x = sub_sd(x, d[c + 1]);
  } else {
    constexpr int k = Up + Down + (Up && Left) + (Up && Right) + Left + Right;
    x = mul_sd(k, p);
    if constexpr (Up) x = sub_sd(x, u[c]);
    if constexpr (Down) x = sub_sd(x, d[c]);
    if constexpr (Up && Left) x = sub_sd(x, u[c - 1]);
    if constexpr (Up && Right) x = sub_sd(x, u[c + 1]);
    if constexpr (Left) x = sub_sd(x, m[c - 1]);
    if constexpr (Right) x = sub_sd(x, m[c + 1]);
  }
  if constexpr ((!Up || !Down) && (!Left || !Right)) {
    return add_sd(sub_sd(p, mul_sd(x, q.kepi)), mul_sd(sub_sd(q.target, p), q.kin));
  } else {
    // -(x * kepi) + (target - p) * kin as one subtraction: a - b is a + (-b)
    // by definition and addition commutes, so the bits are the same (a NaN
    // may come out with the other sign), and the sign flip leaves the chain
    // of dependent operations that bounds the vector loops.
    const double dd = sub_sd(mul_sd(sub_sd(q.target, p), q.kin), mul_sd(x, q.kepi));
    return add_sd(dd, p);
  }
}

template <bool Up, bool Down>
inline void inner_cells(const double* u, const double* m, const double* d, int c0, int c1,
                        const Coefficients& q, double* out) {
  for (int c = c0; c < c1; ++c) out[c] = cell<Up, Down, true, true>(u, m, d, c, q);
}

// The first and last cells of a row; the cells between them are done elsewhere.
template <bool Up, bool Down>
inline void row_ends(const double* u, const double* m, const double* d, int cols,
                     const Coefficients& q, double* out) {
  if (cols == 1) {
    out[0] = cell<Up, Down, false, false>(u, m, d, 0, q);
    return;
  }
  out[0] = cell<Up, Down, false, true>(u, m, d, 0, q);
  out[cols - 1] = cell<Up, Down, true, false>(u, m, d, cols - 1, q);
}

}  // namespace ombrisk::step_detail
