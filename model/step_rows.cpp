#include "model/step_rows.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <immintrin.h>

namespace ombrisk::step_detail {

namespace {

std::atomic<SimdLevel> g_forced{SimdLevel::automatic};

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// a + b and a * b exactly as written. When both operands are NaN the result
// is the first one's NaN, and the compiler may swap the operands of a vector
// add or multiply; pinning the order keeps the two vector paths giving the same
// NaN bits.
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

// Any cell, edges and corners included: in-lattice neighbours in the order of
// the neighbour table, the corner form for the four corners.
double edge_cell(const double* grid, int rows, int cols, int r, int c, const Coefficients& q) {
  static const int even_dr[6] = {-1, 1, 0, 0, 1, 1};
  static const int even_dc[6] = {0, 0, -1, 1, -1, 1};
  static const int odd_dr[6] = {-1, 1, -1, -1, 0, 0};
  static const int odd_dc[6] = {0, 0, -1, 1, -1, 1};
  const auto at = [&](int rr, int cc) {
    return grid[static_cast<std::size_t>(rr) * cols + cc];
  };
  const double p = at(r, c);
  const int* dr = (c % 2 == 0) ? even_dr : odd_dr;
  const int* dc = (c % 2 == 0) ? even_dc : odd_dc;
  int k = 0;
  for (int i = 0; i < 6; ++i) {
    const int rr = r + dr[i], cc = c + dc[i];
    if (rr >= 0 && rr < rows && cc >= 0 && cc < cols) ++k;
  }
  double x = k * p;
  for (int i = 0; i < 6; ++i) {
    const int rr = r + dr[i], cc = c + dc[i];
    if (rr >= 0 && rr < rows && cc >= 0 && cc < cols) x = x - at(rr, cc);
  }
  const bool corner = (r == 0 || r == rows - 1) && (c == 0 || c == cols - 1);
  if (corner) return (p - x * q.kepi) + (q.target - p) * q.kin;
  double d = -(x * q.kepi);
  d = d + (q.target - p) * q.kin;
  return d + p;
}

// A cell of column c, 0 < c < cols - 1, of a row with (Up) or without a row
// above and (Down) or without a row below.
template <bool Up, bool Down>
inline double inner_cell(const double* u, const double* m, const double* d, int c,
                         const Coefficients& q) {
  const double p = m[c];
  double x;
  if ((c & 1) == 0) {
    constexpr int k = 2 + (Up ? 1 : 0) + (Down ? 3 : 0);
    x = k * p;
    if constexpr (Up) x = x - u[c];
    if constexpr (Down) x = x - d[c];
    x = x - m[c - 1];
    x = x - m[c + 1];
    if constexpr (Down) {
      x = x - d[c - 1];
      x = x - d[c + 1];
    }
  } else {
    constexpr int k = 2 + (Up ? 3 : 0) + (Down ? 1 : 0);
    x = k * p;
    if constexpr (Up) x = x - u[c];
    if constexpr (Down) x = x - d[c];
    if constexpr (Up) {
      x = x - u[c - 1];
      x = x - u[c + 1];
    }
    x = x - m[c - 1];
    x = x - m[c + 1];
  }
  double dd = -(x * q.kepi);
  dd = dd + (q.target - p) * q.kin;
  return dd + p;
}

template <bool Up, bool Down>
void inner_cells(const double* u, const double* m, const double* d, int c0, int c1,
                 const Coefficients& q, double* out) {
  for (int c = c0; c < c1; ++c) out[c] = inner_cell<Up, Down>(u, m, d, c, q);
}

// Interior row, columns [c0, c1), c0 even, (c1 - c0) even; two cells (one even,
// one odd column) at a time. Each lane does the scalar operations in the
// scalar order.
void inner_pairs_sse2(const double* u, const double* m, const double* d, int c0, int c1,
                      const Coefficients& q, double* out) {
  const __m128d six = _mm_set1_pd(6.0);
  const __m128d kepi = _mm_set1_pd(q.kepi);
  const __m128d kin = _mm_set1_pd(q.kin);
  const __m128d target = _mm_set1_pd(q.target);
  const __m128d sign = _mm_set1_pd(-0.0);
  for (int c = c0; c < c1; c += 2) {
    const __m128d p = _mm_loadu_pd(m + c);
    const __m128d ml = _mm_loadu_pd(m + c - 1), mr = _mm_loadu_pd(m + c + 1);
    const __m128d ul = _mm_loadu_pd(u + c - 1), ur = _mm_loadu_pd(u + c + 1);
    const __m128d dl = _mm_loadu_pd(d + c - 1), dr = _mm_loadu_pd(d + c + 1);
    // Even lane: [r][c-1], [r][c+1], [r+1][c-1], [r+1][c+1];
    // odd lane: [r-1][c-1], [r-1][c+1], [r][c-1], [r][c+1].
    const __m128d n3 = _mm_move_sd(ul, ml);
    const __m128d n4 = _mm_move_sd(ur, mr);
    const __m128d n5 = _mm_move_sd(ml, dl);
    const __m128d n6 = _mm_move_sd(mr, dr);
    __m128d x = mul_pd(six, p);
    x = _mm_sub_pd(x, _mm_loadu_pd(u + c));
    x = _mm_sub_pd(x, _mm_loadu_pd(d + c));
    x = _mm_sub_pd(x, n3);
    x = _mm_sub_pd(x, n4);
    x = _mm_sub_pd(x, n5);
    x = _mm_sub_pd(x, n6);
    __m128d dd = _mm_xor_pd(mul_pd(x, kepi), sign);
    dd = add_pd(dd, mul_pd(_mm_sub_pd(target, p), kin));
    _mm_storeu_pd(out + c, add_pd(dd, p));
  }
}

// As inner_pairs_sse2, four cells at a time; (c1 - c0) a multiple of 4.
__attribute__((target("avx2"))) void inner_quads_avx2(const double* u, const double* m,
                                                      const double* d, int c0, int c1,
                                                      const Coefficients& q, double* out) {
  const __m256d six = _mm256_set1_pd(6.0);
  const __m256d kepi = _mm256_set1_pd(q.kepi);
  const __m256d kin = _mm256_set1_pd(q.kin);
  const __m256d target = _mm256_set1_pd(q.target);
  const __m256d sign = _mm256_set1_pd(-0.0);
  for (int c = c0; c < c1; c += 4) {
    const __m256d p = _mm256_loadu_pd(m + c);
    const __m256d ml = _mm256_loadu_pd(m + c - 1), mr = _mm256_loadu_pd(m + c + 1);
    const __m256d ul = _mm256_loadu_pd(u + c - 1), ur = _mm256_loadu_pd(u + c + 1);
    const __m256d dl = _mm256_loadu_pd(d + c - 1), dr = _mm256_loadu_pd(d + c + 1);
    // Lanes 0 and 2 are even columns, 1 and 3 odd (0xA picks the second
    // operand in lanes 1 and 3).
    const __m256d n3 = _mm256_blend_pd(ml, ul, 0xA);
    const __m256d n4 = _mm256_blend_pd(mr, ur, 0xA);
    const __m256d n5 = _mm256_blend_pd(dl, ml, 0xA);
    const __m256d n6 = _mm256_blend_pd(dr, mr, 0xA);
    __m256d x = mul_pd(six, p);
    x = _mm256_sub_pd(x, _mm256_loadu_pd(u + c));
    x = _mm256_sub_pd(x, _mm256_loadu_pd(d + c));
    x = _mm256_sub_pd(x, n3);
    x = _mm256_sub_pd(x, n4);
    x = _mm256_sub_pd(x, n5);
    x = _mm256_sub_pd(x, n6);
    __m256d dd = _mm256_xor_pd(mul_pd(x, kepi), sign);
    dd = add_pd(dd, mul_pd(_mm256_sub_pd(target, p), kin));
    _mm256_storeu_pd(out + c, add_pd(dd, p));
  }
}

// Interior row, columns 1 .. cols-2.
void inner_row_full(const double* u, const double* m, const double* d, int cols,
                    const Coefficients& q, double* out, bool avx2) {
  const int last = cols - 1;  // first column not done here
  if (last <= 1) return;
  out[1] = inner_cell<true, true>(u, m, d, 1, q);
  int c = 2;
  if (avx2) {
    const int quads_end = c + ((last - c) / 4) * 4;
    inner_quads_avx2(u, m, d, c, quads_end, q, out);
    c = quads_end;
  }
  const int pairs_end = c + ((last - c) / 2) * 2;
  inner_pairs_sse2(u, m, d, c, pairs_end, q, out);
  inner_cells<true, true>(u, m, d, pairs_end, last, q, out);
}

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

// Lane j of `sum`, `lo`, `hi` takes cells c % 4 == j. MINPD(s, v) gives
// (s < v) ? s : v, which is exactly "replace s by v unless v > s" per lane
// (NaN included); MAXPD likewise for the upper bound.
struct Lanes {
  double sum[4];
  double lo[4];
  double hi[4];
};

void lanes_sse2(const double* v, int quads_end, bool bounds, Lanes& l) {
  __m128d s01 = _mm_setzero_pd(), s23 = _mm_setzero_pd();
  if (bounds) {
    __m128d lo01 = _mm_set1_pd(NAN), lo23 = lo01, hi01 = lo01, hi23 = lo01;
    for (int c = 0; c < quads_end; c += 4) {
      const __m128d a = _mm_loadu_pd(v + c), b = _mm_loadu_pd(v + c + 2);
      s01 = add_pd(s01, a);
      s23 = add_pd(s23, b);
      lo01 = _mm_min_pd(lo01, a);
      lo23 = _mm_min_pd(lo23, b);
      hi01 = _mm_max_pd(hi01, a);
      hi23 = _mm_max_pd(hi23, b);
    }
    _mm_storeu_pd(l.lo, lo01);
    _mm_storeu_pd(l.lo + 2, lo23);
    _mm_storeu_pd(l.hi, hi01);
    _mm_storeu_pd(l.hi + 2, hi23);
  } else {
    for (int c = 0; c < quads_end; c += 4) {
      s01 = add_pd(s01, _mm_loadu_pd(v + c));
      s23 = add_pd(s23, _mm_loadu_pd(v + c + 2));
    }
  }
  _mm_storeu_pd(l.sum, s01);
  _mm_storeu_pd(l.sum + 2, s23);
}

__attribute__((target("avx2"))) void lanes_avx2(const double* v, int quads_end, bool bounds,
                                                Lanes& l) {
  __m256d s = _mm256_setzero_pd();
  if (bounds) {
    __m256d lo = _mm256_set1_pd(NAN), hi = lo;
    for (int c = 0; c < quads_end; c += 4) {
      const __m256d a = _mm256_loadu_pd(v + c);
      s = add_pd(s, a);
      lo = _mm256_min_pd(lo, a);
      hi = _mm256_max_pd(hi, a);
    }
    _mm256_storeu_pd(l.lo, lo);
    _mm256_storeu_pd(l.hi, hi);
  } else {
    for (int c = 0; c < quads_end; c += 4) s = add_pd(s, _mm256_loadu_pd(v + c));
  }
  _mm256_storeu_pd(l.sum, s);
}

}  // namespace

void set_simd_level(SimdLevel level) { g_forced.store(level, std::memory_order_relaxed); }

SimdLevel simd_level() {
  const SimdLevel forced = g_forced.load(std::memory_order_relaxed);
  if (forced == SimdLevel::avx2 && !cpu_has_avx2()) return SimdLevel::sse2;
  if (forced != SimdLevel::automatic) return forced;
  return cpu_has_avx2() ? SimdLevel::avx2 : SimdLevel::sse2;
}

void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out) {
  const double* m = grid + static_cast<std::size_t>(r) * cols;
  const double* u = r > 0 ? m - cols : nullptr;
  const double* d = r + 1 < rows ? m + cols : nullptr;
  out[0] = edge_cell(grid, rows, cols, r, 0, q);
  const int last = cols - 1;
  if (u && d) {
    inner_row_full(u, m, d, cols, q, out, simd_level() == SimdLevel::avx2);
  } else if (d) {
    inner_cells<false, true>(u, m, d, 1, last, q, out);
  } else if (u) {
    inner_cells<true, false>(u, m, d, 1, last, q, out);
  } else {
    inner_cells<false, false>(u, m, d, 1, last, q, out);
  }
  if (last > 0) out[last] = edge_cell(grid, rows, cols, r, last, q);
}

void row_stats(const double* v, int cols, bool bounds, RowStats& out) {
  Lanes l;
  const int quads_end = (cols / 4) * 4;
  if (simd_level() == SimdLevel::avx2) {
    lanes_avx2(v, quads_end, bounds, l);
  } else {
    lanes_sse2(v, quads_end, bounds, l);
  }
  for (int c = quads_end; c < cols; ++c) {
    const int j = c - quads_end;
    l.sum[j] = l.sum[j] + v[c];
    if (bounds) {
      if (!(v[c] > l.lo[j])) l.lo[j] = v[c];
      if (!(l.hi[j] > v[c])) l.hi[j] = v[c];
    }
  }
  out.sum = (l.sum[0] + l.sum[1]) + (l.sum[2] + l.sum[3]);
  if (!bounds) return;
  // A row without NaN: the lane results are the row's values nearest each end,
  // and equal values have equal bits except +0.0 and -0.0. A NaN sum (a NaN
  // cell, or +inf with -inf), a zero bound or a lane without cells takes the
  // sequential scan instead.
  if (std::isnan(out.sum) || cols < 4) {
    scan_bounds(v, cols, out);
    return;
  }
  double lo = l.lo[0], hi = l.hi[0];
  for (int j = 1; j < 4; ++j) {
    if (l.lo[j] < lo) lo = l.lo[j];
    if (l.hi[j] > hi) hi = l.hi[j];
  }
  if (lo == 0.0 || hi == 0.0) {
    scan_bounds(v, cols, out);
    return;
  }
  out.lo = lo;
  out.hi = hi;
  out.lo_resets = false;
  out.hi_resets = false;
}

}  // namespace ombrisk::step_detail
