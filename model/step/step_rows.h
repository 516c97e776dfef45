// Row-at-a-time pieces of the time step: the new values of one lattice row and
// the statistics of one finished row. Internal to model/; the tests include it
// to pin the vector path. The vector paths are the processor's own (x86/);
// every build also has the plain path (rows_plain.cpp), the only one on other
// processors.
#pragma once

namespace ombrisk::step_detail {

struct Coefficients {
  double kepi;
  double kin;
  double target;
};

// Which vector instructions the row code uses. `automatic` picks the widest
// the processor has; a level it lacks falls back to the widest it has. Every
// level gives the same bits. `plain` is the code without vector instructions
// of its own: the widest level on processors other than x86-64.
enum class SimdLevel { plain = 0, sse2 = 1, avx2 = 2, avx512 = 3, automatic = 4 };
void set_simd_level(SimdLevel level);
// The level in use after resolving `automatic`.
SimdLevel simd_level();

// Writes the exchange and relaxation result of every cell of row r into `out`,
// reading the lattice `grid` (rows x cols, row-major). Stomata are not applied.
void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out);

// What a row contributes to the statistics.
//
// Sum: sixteen partial sums, partial j holding the row's cells c with
// c % 16 == j added in column order starting from 0.0; then
// q_j = (s_j + s_(j+4)) + (s_(j+8) + s_(j+12)) for j < 4, and the row sum is
// (q0 + q1) + (q2 + q3).
//
// Bounds: the display bounds are running "not greater than" scans. Over a row
// with no NaN whose own scan (started from NaN) ends at m, a scan arriving with
// bound s leaves (m > s) ? s : m for the minimum and (s > m) ? s : m for the
// maximum. A NaN in the row resets the scan, so such a row leaves its own scan
// result whatever arrived: `*_resets` is then set and `lo`/`hi` is that result.
struct RowStats {
  double sum;
  double lo;
  double hi;
  bool lo_resets;
  bool hi_resets;
};

void row_stats(const double* v, int cols, bool bounds, RowStats& out);

// update_row, and when `prev` is not null, row_stats of the finished row
// `prev` (cols cells, not overlapping `out`) into *prev_stats: on the widest
// vector path both in one pass over the columns. With `prev` and `home`, the
// cells of `prev` are also copied to `home` (cols cells, not overlapping
// `out` or `prev`), which may be row r - 1 of `grid`: each cell is copied
// after its last read as a neighbour of row r.
void update_row_with_stats(const double* grid, int rows, int cols, int r,
                           const Coefficients& q, double* out, const double* prev, bool bounds,
                           RowStats* prev_stats, double* home = nullptr);

// The parameter terms of the stoma flux J(p) = numerator / (e * span + Jo),
// e = exp(-((p - pminj) * a)).
struct FluxTerms {
  double numerator;  // Jmax * Jo
  double span;       // Jmax - Jo
  double Jo;
};
// Replaces each of the n exponentials e in v by numerator / (e * span + Jo).
void flux_from_exp(double* v, int n, const FluxTerms& t);

// Folds a row's bound contribution into running bounds, in row order.
inline void fold_lower(double& bound, double row_lo, bool resets) {
  if (resets || !(row_lo > bound)) bound = row_lo;
}
inline void fold_upper(double& bound, double row_hi, bool resets) {
  if (resets || !(bound > row_hi)) bound = row_hi;
}

}  // namespace ombrisk::step_detail
