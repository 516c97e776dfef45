// The scalar parts of a row's statistics that every path shares: the sixteen
// partial sums' layout, combining bound lanes, and finishing a row's
// RowStats from its lanes. Internal to the step code.
#pragma once

#include "model/step/step_rows.h"

namespace ombrisk::step_detail {

// Partial sum j takes the cells c % 16 == j (16 independent chains keep the
// adds from waiting on each other). The bound lanes may take the cells in any
// grouping: they are only used when the row has no NaN, and then only their
// smallest and largest values count. Each bound lane is "replace s by v
// unless v > s" (the minimum; the maximum likewise), NaN included: (s < v) ?
// s : v, which is what the x86 minimum instructions give.
constexpr int kSumLanes = 16;

struct Lanes {
  double sum[kSumLanes];
  double lo;
  double hi;
};

// The smallest and largest of n bound lanes (no NaN among them when used).
void combine_lane_bounds(const double* los, const double* his, int n, double& lo, double& hi);

// The row's sum and bounds from its sixteen partial sums and its lane bounds
// (see RowStats). `scan` when no vector lanes saw the row.
void finish_stats(const double* v, int cols, const double* sum, double lo, double hi,
                  bool bounds, bool scan, RowStats& out);

// The cells [end, cols) that no vector took, added to the lanes (cell c to
// partial sum c - end, as the vector lanes leave them), then finish_stats.
void finish_lane_stats(const double* v, int cols, int end, bool bounds, Lanes& l, RowStats& out);

// finish_stats for a row whose columns [c0, c1) went through the fused pass:
// sum lane i holds partial (c0 + i) % 16 (the columns before c0 included),
// and `bound_lanes` lanes of bounds cover the same columns.
void finish_fused_stats(const double* prev, int cols, int c0, int c1, const double* lanes,
                        const double* los, const double* his, int bound_lanes, bool bounds,
                        RowStats& out);

}  // namespace ombrisk::step_detail
