#include "model/step/rows_plain.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "model/pinned_ops.h"
#include "model/step/row_cells.h"
#include "model/step/row_stats_parts.h"

namespace ombrisk::step_detail::plain {

void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out) {
  const double* m = grid + static_cast<std::size_t>(r) * cols;
  const double* u = r > 0 ? m - cols : nullptr;
  const double* d = r + 1 < rows ? m + cols : nullptr;
  const int last = cols - 1;
  if (u && d) {
    row_ends<true, true>(u, m, d, cols, q, out);
    inner_cells<true, true>(u, m, d, 1, last, q, out);
  } else if (d) {
    row_ends<false, true>(u, m, d, cols, q, out);
    inner_cells<false, true>(u, m, d, 1, last, q, out);
  } else if (u) {
    row_ends<true, false>(u, m, d, cols, q, out);
    inner_cells<true, false>(u, m, d, 1, last, q, out);
  } else {
    row_ends<false, false>(u, m, d, cols, q, out);
    inner_cells<false, false>(u, m, d, 1, last, q, out);
  }
}

void row_stats(const double* v, int cols, bool bounds, RowStats& out) {
  Lanes l;
  const int end = (cols / kSumLanes) * kSumLanes;
  for (double& s : l.sum) s = 0.0;
  for (int c = 0; c < end; c += kSumLanes) {
    for (int j = 0; j < kSumLanes; ++j) l.sum[j] = add_sd(l.sum[j], v[c + j]);
  }
  if (bounds) {
    // The lanes as the vector minimum and maximum take them: a lane keeps
    // its value only while that is below (above) the cell, NaN included.
    double los[kSumLanes], his[kSumLanes];
    for (int j = 0; j < kSumLanes; ++j) los[j] = his[j] = NAN;
    for (int c = 0; c < end; c += kSumLanes) {
      for (int j = 0; j < kSumLanes; ++j) {
        const double x = v[c + j];
        los[j] = los[j] < x ? los[j] : x;
        his[j] = his[j] > x ? his[j] : x;
      }
    }
    combine_lane_bounds(los, his, kSumLanes, l.lo, l.hi);
  }
  finish_lane_stats(v, cols, end, bounds, l, out);
}

void update_row_with_stats(const double* grid, int rows, int cols, int r,
                           const Coefficients& q, double* out, const double* prev, bool bounds,
                           RowStats* prev_stats, double* home) {
  plain::update_row(grid, rows, cols, r, q, out);
  if (!prev) return;
  plain::row_stats(prev, cols, bounds, *prev_stats);
  // Only now: the row's cells read the row above, which `home` may be.
  if (home) std::memcpy(home, prev, static_cast<std::size_t>(cols) * sizeof(double));
}

void flux_from_exp(double* v, int n, const FluxTerms& t) {
  for (int i = 0; i < n; ++i) v[i] = div_sd(t.numerator, add_sd(mul_sd(v[i], t.span), t.Jo));
}

}  // namespace ombrisk::step_detail::plain
