#include "model/step/row_stats_parts.h"

#include <cmath>

#include "model/pinned_ops.h"

namespace ombrisk::step_detail {

namespace {

// The sequential scans, started from NaN (the first value always replaces it).
void scan_bounds(const double* v, int cols, RowStats& out) {
  double lo = NAN, hi = NAN;
  bool any_nan = false;
  for (int c = 0; c < cols; ++c) {
    const double x = v[c];
    if (!(x > lo)) lo = x;
    if (!(hi > x)) hi = x;
    any_nan |= std::isnan(x);
  }
  out.lo = lo;
  out.hi = hi;
  out.lo_resets = any_nan;
  out.hi_resets = any_nan;
}

// The last cell of the row that equals zero; the row has one.
double last_zero(const double* v, int cols) {
  for (int c = cols - 1; c > 0; --c) {
    if (v[c] == 0.0) return v[c];
  }
  return v[0];
}

}  // namespace

void combine_lane_bounds(const double* los, const double* his, int n, double& lo, double& hi) {
  lo = los[0];
  hi = his[0];
  for (int j = 1; j < n; ++j) {
    if (los[j] < lo) lo = los[j];
    if (his[j] > hi) hi = his[j];
  }
}

void finish_stats(const double* v, int cols, const double* sum, double lo, double hi,
                  bool bounds, bool scan, RowStats& out) {
  double quarter[4];
  for (int j = 0; j < 4; ++j) {
    quarter[j] = add_sd(add_sd(sum[j], sum[j + 4]), add_sd(sum[j + 8], sum[j + 12]));
  }
  out.sum = add_sd(add_sd(quarter[0], quarter[1]), add_sd(quarter[2], quarter[3]));
  if (!bounds) return;
  // A row without NaN: the lanes hold the row's values nearest each end, and
  // equal values have equal bits except +0.0 and -0.0. Where a bound is zero,
  // the scan ends on the last zero of the row (ties go to the later value).
  // A NaN sum (a NaN cell, or +inf with -inf) or a lane without cells takes
  // the sequential scan instead.
  if (std::isnan(out.sum) || scan) {
    scan_bounds(v, cols, out);
    return;
  }
  out.lo = lo == 0.0 ? last_zero(v, cols) : lo;
  out.hi = hi == 0.0 ? last_zero(v, cols) : hi;
  out.lo_resets = false;
  out.hi_resets = false;
}

void finish_fused_stats(const double* prev, int cols, int c0, int c1, const double* lanes,
                        const double* los, const double* his, int bound_lanes, bool bounds,
                        RowStats& out) {
  double sum[kSumLanes];
  for (int i = 0; i < kSumLanes; ++i) sum[(c0 + i) % kSumLanes] = lanes[i];
  for (int c = c1; c < cols; ++c) sum[c % kSumLanes] = add_sd(sum[c % kSumLanes], prev[c]);
  double lo = 0.0, hi = 0.0;
  if (bounds) {
    combine_lane_bounds(los, his, bound_lanes, lo, hi);
    const auto take = [&](double x) {
      if (x < lo) lo = x;
      if (x > hi) hi = x;
    };
    for (int c = 0; c < c0; ++c) take(prev[c]);
    for (int c = c1; c < cols; ++c) take(prev[c]);
  }
  finish_stats(prev, cols, sum, lo, hi, bounds, false, out);
}

void finish_lane_stats(const double* v, int cols, int end, bool bounds, Lanes& l, RowStats& out) {
  for (int c = end; c < cols; ++c) {
    const int j = c - end;
    l.sum[j] = add_sd(l.sum[j], v[c]);
    if (bounds) {
      if (v[c] < l.lo) l.lo = v[c];
      if (v[c] > l.hi) l.hi = v[c];
    }
  }
  finish_stats(v, cols, l.sum, l.lo, l.hi, bounds, end == 0, out);
}

}  // namespace ombrisk::step_detail
