// The row code's x86-64 paths: SSE2 pairs, AVX2 quads and AVX-512 octets,
// each lane doing the plain path's operations in its order, with the
// statistics of the row before and its way back into the lattice riding
// along on the two widest.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <immintrin.h>

#include "model/step/row_cells.h"
#include "model/step/row_stats_parts.h"
#include "model/step/rows_plain.h"
#include "model/step/step_rows.h"
#include "model/step/x86/pinned_vector.h"

namespace ombrisk::step_detail {

namespace {

// Interior row, columns [c0, c1), c0 even, (c1 - c0) even; two cells (one even,
// one odd column) at a time. Each lane does the scalar operations in the
// scalar order.
void inner_pairs_sse2(const double* u, const double* m, const double* d, int c0, int c1,
                      const Coefficients& q, double* out) {
  const __m128d six = _mm_set1_pd(6.0);
  const __m128d kepi = _mm_set1_pd(q.kepi);
  const __m128d kin = _mm_set1_pd(q.kin);
  const __m128d target = _mm_set1_pd(q.target);
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
    const __m128d dd = _mm_sub_pd(mul_pd(_mm_sub_pd(target, p), kin), mul_pd(x, kepi));
    _mm_storeu_pd(out + c, add_pd(dd, p));
  }
}

// Sum lanes and bound lanes of a finished row whose statistics ride along
// with the next row's interior: sum[4k .. 4k + 4) takes the quads
// c0 + 4k + 16t, so sum[4k + i] is partial (c0 + 4k + i) % 16. Kept in memory
// between calls, so that no vector register is live in the scalar code
// around them.
struct QuadStats {
  double sum[16];
  double lo[4], hi[4];
};

// Four cells [c, c + 4) of an interior row, c even, c + 4 < cols, into out;
// each lane does the scalar operations in the scalar order. Lanes 0 and 2
// are even columns, 1 and 3 odd. With Stats, the finished row prev's quad at
// c is added to acc and the bounds, and with Home stored there, after this
// quad's last read of home (the row above) at those columns.
template <bool Stats, bool Bounds, bool Home>
__attribute__((target("avx2"), always_inline)) inline void quad_step(
    const double* u, const double* m, const double* d, int c, const __m256d* k, double* out,
    const double* prev, double* home, __m256d& m_left, __m256d& acc, __m256d& lo,
    __m256d& hi) {
  const __m256d uc = _mm256_loadu_pd(u + c), mc = _mm256_loadu_pd(m + c),
                dc = _mm256_loadu_pd(d + c), m_right = _mm256_loadu_pd(m + c + 2);
  // Even lanes: [r][c-1], [r][c+1], [r+1][c-1], [r+1][c+1];
  // odd lanes: [r-1][c-1], [r-1][c+1], [r][c-1], [r][c+1]. Each is the odd
  // elements of one row and the even elements of another, two columns apart:
  // one shuffle of two loads. (The loads at c + 2 read a cell past the row's
  // end, the next row's first, which exists since the row is interior and
  // which no lane uses.)
  // m + c - 2 is the last quad's m + c + 2, carried in m_left.
  const __m256d n3 = _mm256_shuffle_pd(m_left, uc, 0x5);
  const __m256d n4 = _mm256_shuffle_pd(mc, _mm256_loadu_pd(u + c + 2), 0x5);
  const __m256d n5 = _mm256_shuffle_pd(_mm256_loadu_pd(d + c - 2), mc, 0x5);
  const __m256d n6 = _mm256_shuffle_pd(dc, m_right, 0x5);
  m_left = m_right;
  __m256d x = mul_pd(k[0], mc);
  x = _mm256_sub_pd(x, uc);
  x = _mm256_sub_pd(x, dc);
  x = _mm256_sub_pd(x, n3);
  x = _mm256_sub_pd(x, n4);
  x = _mm256_sub_pd(x, n5);
  x = _mm256_sub_pd(x, n6);
  const __m256d dd = _mm256_sub_pd(mul_pd(_mm256_sub_pd(k[3], mc), k[2]), mul_pd(x, k[1]));
  _mm256_storeu_pd(out + c, add_pd(dd, mc));
  if constexpr (Stats) {
    const __m256d v = _mm256_loadu_pd(prev + c);
    if constexpr (Home) _mm256_storeu_pd(home + c, v);
    acc = add_pd(acc, v);
    if constexpr (Bounds) {
      lo = _mm256_min_pd(lo, v);
      hi = _mm256_max_pd(hi, v);
    }
  }
}

// Quads [c0, c1) of an interior row, c0 even, (c1 - c0) a multiple of 4,
// c1 < cols; with Stats, those of prev gathered into qs on the way.
template <bool Stats, bool Bounds, bool Home>
__attribute__((target("avx2"), noinline)) void quads_avx2(const double* u, const double* m,
                                                const double* d, int c0, int c1,
                                                const Coefficients& q, double* out,
                                                const double* prev, double* home,
                                                QuadStats& qs) {
  const __m256d k[4] = {_mm256_set1_pd(6.0), _mm256_set1_pd(q.kepi), _mm256_set1_pd(q.kin),
                        _mm256_set1_pd(q.target)};
  __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0, lo = a0, hi = a0;
  if constexpr (Stats) {
    a0 = _mm256_loadu_pd(qs.sum);
    a1 = _mm256_loadu_pd(qs.sum + 4);
    a2 = _mm256_loadu_pd(qs.sum + 8);
    a3 = _mm256_loadu_pd(qs.sum + 12);
    lo = _mm256_loadu_pd(qs.lo);
    hi = _mm256_loadu_pd(qs.hi);
  }
  __m256d m_left = _mm256_loadu_pd(m + c0 - 2);
  int c = c0;
  // The row after d, read as d by the next row but one: asked for now, it is
  // at hand then (the processor's own prefetcher follows it less far ahead).
  const auto ahead = reinterpret_cast<std::uintptr_t>(d) + (reinterpret_cast<std::uintptr_t>(d) -
                                                            reinterpret_cast<std::uintptr_t>(m));
  for (; c + 16 <= c1; c += 16) {
    if constexpr (Stats) {
      _mm_prefetch(reinterpret_cast<const char*>(ahead + 8 * c), _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(ahead + 8 * c + 64), _MM_HINT_T0);
    }
    quad_step<Stats, Bounds, Home>(u, m, d, c, k, out, prev, home, m_left, a0, lo, hi);
    quad_step<Stats, Bounds, Home>(u, m, d, c + 4, k, out, prev, home, m_left, a1, lo, hi);
    quad_step<Stats, Bounds, Home>(u, m, d, c + 8, k, out, prev, home, m_left, a2, lo, hi);
    quad_step<Stats, Bounds, Home>(u, m, d, c + 12, k, out, prev, home, m_left, a3, lo, hi);
  }
  if (c < c1) quad_step<Stats, Bounds, Home>(u, m, d, c, k, out, prev, home, m_left, a0, lo, hi);
  if (c + 4 < c1) {
    quad_step<Stats, Bounds, Home>(u, m, d, c + 4, k, out, prev, home, m_left, a1, lo, hi);
  }
  if (c + 8 < c1) {
    quad_step<Stats, Bounds, Home>(u, m, d, c + 8, k, out, prev, home, m_left, a2, lo, hi);
  }
  if constexpr (Stats) {
    _mm256_storeu_pd(qs.sum, a0);
    _mm256_storeu_pd(qs.sum + 4, a1);
    _mm256_storeu_pd(qs.sum + 8, a2);
    _mm256_storeu_pd(qs.sum + 12, a3);
    _mm256_storeu_pd(qs.lo, lo);
    _mm256_storeu_pd(qs.hi, hi);
  }
  // The callers' code is scalar and SSE, which runs slowly while the upper
  // halves of the vector registers are dirty.
  _mm256_zeroupper();
}

// As inner_pairs_sse2, four cells at a time; (c1 - c0) a multiple of 4,
// c1 < cols.
__attribute__((target("avx2"))) void inner_quads_avx2(const double* u, const double* m,
                                                      const double* d, int c0, int c1,
                                                      const Coefficients& q, double* out) {
  QuadStats unused;  // not touched without Stats
  quads_avx2<false, false, false>(u, m, d, c0, c1, q, out, nullptr, nullptr, unused);
}

// x[c-1 .. c+6] from x[c-8 .. c-1] and x[c .. c+7]. (The full-mask forms
// here and below are the same instructions; GCC 12 warns about the unmasked
// intrinsics' undefined source.)
__attribute__((target("avx512f"))) inline __m512d left(__m512d prev, __m512d cur) {
  return _mm512_castsi512_pd(
      _mm512_mask_alignr_epi64(_mm512_castpd_si512(cur), 0xFF, _mm512_castpd_si512(cur),
                               _mm512_castpd_si512(prev), 7));
}
// x[c+1 .. c+8] from x[c .. c+7] and x[c+8 .. c+15].
__attribute__((target("avx512f"))) inline __m512d right(__m512d cur, __m512d next) {
  return _mm512_castsi512_pd(
      _mm512_mask_alignr_epi64(_mm512_castpd_si512(cur), 0xFF, _mm512_castpd_si512(next),
                               _mm512_castpd_si512(cur), 1));
}

// B[j] = u[j] for even j, m[j] for odd j; D[j] = d[j] for odd j, m[j] for
// even j. With c even, the four side neighbours of lane i are B[c+i-1],
// B[c+i+1], D[c+i-1] and D[c+i+1] (even lanes: [r][c-1], [r][c+1],
// [r+1][c-1], [r+1][c+1]; odd lanes: [r-1][c-1], [r-1][c+1], [r][c-1],
// [r][c+1]), so two blends and four shifts make them.
struct Octets {
  __m512d uc, mc, dc;  // the present octet of each row
  __m512d bp, bc;      // B before and at the present octet
  __m512d dp, dcb;     // D likewise
};

// Sum lanes, bounds lanes and the source of the row whose statistics ride
// along with the interior of the next one.
struct StatLanes {
  __m512d even, odd;  // sums of the octets at c0 + 16k and c0 + 16k + 8
  __m512d lo, hi;
};

template <bool Stats, bool Bounds, bool Home, bool Odd>
__attribute__((target("avx512f"), always_inline)) inline void octet_step(
    const double* u, const double* m, const double* d, int c, int cols, const __m512d* k,
    Octets& o, double* out, const double* prev, double* home, StatLanes& sl) {
  const __mmask8 even = 0x55, odd = 0xAA;
  __m512d un, mn, dn;
  const int ahead = cols - (c + 8);  // cells left in the row after this octet
  if (ahead >= 8) {
    un = _mm512_loadu_pd(u + c + 8);
    mn = _mm512_loadu_pd(m + c + 8);
    dn = _mm512_loadu_pd(d + c + 8);
  } else {
    const __mmask8 next_mask = static_cast<__mmask8>((1u << ahead) - 1);
    un = _mm512_maskz_loadu_pd(next_mask, u + c + 8);
    mn = _mm512_maskz_loadu_pd(next_mask, m + c + 8);
    dn = _mm512_maskz_loadu_pd(next_mask, d + c + 8);
  }
  const __m512d bn = _mm512_mask_blend_pd(even, mn, un);
  const __m512d dnb = _mm512_mask_blend_pd(odd, mn, dn);
  const __m512d n3 = left(o.bp, o.bc);
  const __m512d n4 = right(o.bc, bn);
  const __m512d n5 = left(o.dp, o.dcb);
  const __m512d n6 = right(o.dcb, dnb);
  __m512d x = mul_pd(k[0], o.mc);
  x = _mm512_sub_pd(x, o.uc);
  x = _mm512_sub_pd(x, o.dc);
  x = _mm512_sub_pd(x, n3);
  x = _mm512_sub_pd(x, n4);
  x = _mm512_sub_pd(x, n5);
  x = _mm512_sub_pd(x, n6);
  const __m512d dd = _mm512_sub_pd(mul_pd(_mm512_sub_pd(k[3], o.mc), k[2]), mul_pd(x, k[1]));
  _mm512_storeu_pd(out + c, add_pd(dd, o.mc));
  if constexpr (Stats) {
    const __m512d v = _mm512_loadu_pd(prev + c);
    if constexpr (Home) _mm512_storeu_pd(home + c, v);
    if constexpr (Odd) {
      sl.odd = add_pd(sl.odd, v);
    } else {
      sl.even = add_pd(sl.even, v);
    }
    if constexpr (Bounds) {
      sl.lo = _mm512_mask_min_pd(sl.lo, 0xFF, sl.lo, v);
      sl.hi = _mm512_mask_max_pd(sl.hi, 0xFF, sl.hi, v);
    }
  }
  o.uc = un;
  o.mc = mn;
  o.dc = dn;
  o.bp = o.bc;
  o.bc = bn;
  o.dp = o.dcb;
  o.dcb = dnb;
}

// Interior octets [c0, c1) of a row (c0 even, c1 - c0 a multiple of 8,
// c1 < cols), best with m and out 64-byte aligned at c0, with the statistics of
// `prev` over the same columns gathered on the way.
template <bool Stats, bool Bounds, bool Home>
__attribute__((target("avx512f"))) void aligned_octets_avx512(
    const double* u, const double* m, const double* d, int c0, int c1, int cols,
    const Coefficients& q, double* out, const double* prev, double* home, StatLanes& sl) {
  const __m512d k[4] = {_mm512_set1_pd(6.0), _mm512_set1_pd(q.kepi), _mm512_set1_pd(q.kin),
                        _mm512_set1_pd(q.target)};
  const __mmask8 only_last = 0x80;
  Octets o;
  o.uc = _mm512_loadu_pd(u + c0);
  o.mc = _mm512_loadu_pd(m + c0);
  o.dc = _mm512_loadu_pd(d + c0);
  o.bc = _mm512_mask_blend_pd(0x55, o.mc, o.uc);
  o.dcb = _mm512_mask_blend_pd(0xAA, o.mc, o.dc);
  // Lane 7 of the octet before: column c0 - 1 is odd, so B is m and D is d
  // there.
  o.bp = _mm512_maskz_loadu_pd(only_last, m + c0 - 8);
  o.dp = _mm512_maskz_loadu_pd(only_last, d + c0 - 8);
  int c = c0;
  for (; c + 16 <= c1; c += 16) {
    octet_step<Stats, Bounds, Home, false>(u, m, d, c, cols, k, o, out, prev, home, sl);
    octet_step<Stats, Bounds, Home, true>(u, m, d, c + 8, cols, k, o, out, prev, home, sl);
  }
  if (c < c1) octet_step<Stats, Bounds, Home, false>(u, m, d, c, cols, k, o, out, prev, home, sl);
}

// Interior row, columns 1 .. cols-2.
void inner_row_full(const double* u, const double* m, const double* d, int cols,
                    const Coefficients& q, double* out, SimdLevel level) {
  const int last = cols - 1;  // first column not done here
  if (last <= 1) return;
  out[1] = cell<true, true, true, true>(u, m, d, 1, q);
  int c = 2;
  if (level == SimdLevel::avx512 || level == SimdLevel::avx2) {
    const int quads_end = c + ((last - c) / 4) * 4;
    inner_quads_avx2(u, m, d, c, quads_end, q, out);
    c = quads_end;
  }
  const int pairs_end = c + ((last - c) / 2) * 2;
  inner_pairs_sse2(u, m, d, c, pairs_end, q, out);
  inner_cells<true, true>(u, m, d, pairs_end, last, q, out);
}


void lanes_sse2(const double* v, int end, bool bounds, Lanes& l) {
  __m128d s[8];
  for (__m128d& a : s) a = _mm_setzero_pd();
  for (int c = 0; c < end; c += 16) {
    for (int k = 0; k < 8; ++k) s[k] = add_pd(s[k], _mm_loadu_pd(v + c + 2 * k));
  }
  for (int k = 0; k < 8; ++k) _mm_storeu_pd(l.sum + 2 * k, s[k]);
  if (!bounds) return;
  __m128d lo[4], hi[4];
  for (int k = 0; k < 4; ++k) lo[k] = hi[k] = _mm_set1_pd(NAN);
  for (int c = 0; c < end; c += 8) {
    for (int k = 0; k < 4; ++k) {
      const __m128d a = _mm_loadu_pd(v + c + 2 * k);
      lo[k] = _mm_min_pd(lo[k], a);
      hi[k] = _mm_max_pd(hi[k], a);
    }
  }
  double los[8], his[8];
  for (int k = 0; k < 4; ++k) {
    _mm_storeu_pd(los + 2 * k, lo[k]);
    _mm_storeu_pd(his + 2 * k, hi[k]);
  }
  combine_lane_bounds(los, his, 8, l.lo, l.hi);
}

__attribute__((target("avx2"))) void lanes_avx2(const double* v, int end, bool bounds,
                                                Lanes& l) {
  __m256d s[4];
  for (__m256d& a : s) a = _mm256_setzero_pd();
  if (bounds) {
    __m256d lo[4], hi[4];
    for (int k = 0; k < 4; ++k) lo[k] = hi[k] = _mm256_set1_pd(NAN);
    for (int c = 0; c < end; c += 16) {
      for (int k = 0; k < 4; ++k) {
        const __m256d a = _mm256_loadu_pd(v + c + 4 * k);
        s[k] = add_pd(s[k], a);
        lo[k] = _mm256_min_pd(lo[k], a);
        hi[k] = _mm256_max_pd(hi[k], a);
      }
    }
    double los[16], his[16];
    for (int k = 0; k < 4; ++k) {
      _mm256_storeu_pd(los + 4 * k, lo[k]);
      _mm256_storeu_pd(his + 4 * k, hi[k]);
    }
    combine_lane_bounds(los, his, 16, l.lo, l.hi);
  } else {
    for (int c = 0; c < end; c += 16) {
      for (int k = 0; k < 4; ++k) s[k] = add_pd(s[k], _mm256_loadu_pd(v + c + 4 * k));
    }
  }
  for (int k = 0; k < 4; ++k) _mm256_storeu_pd(l.sum + 4 * k, s[k]);
}

__attribute__((target("avx512f"))) void lanes_avx512(const double* v, int end, bool bounds,
                                                     Lanes& l) {
  __m512d s0 = _mm512_setzero_pd(), s1 = s0;
  constexpr __mmask8 kAll = 0xFF;
  if (bounds) {
    __m512d lo0 = _mm512_set1_pd(NAN), lo1 = lo0, hi0 = lo0, hi1 = lo0;
    for (int c = 0; c < end; c += 16) {
      const __m512d a = _mm512_loadu_pd(v + c), b = _mm512_loadu_pd(v + c + 8);
      s0 = add_pd(s0, a);
      s1 = add_pd(s1, b);
      lo0 = _mm512_mask_min_pd(lo0, kAll, lo0, a);
      lo1 = _mm512_mask_min_pd(lo1, kAll, lo1, b);
      hi0 = _mm512_mask_max_pd(hi0, kAll, hi0, a);
      hi1 = _mm512_mask_max_pd(hi1, kAll, hi1, b);
    }
    double los[16], his[16];
    _mm512_storeu_pd(los, lo0);
    _mm512_storeu_pd(los + 8, lo1);
    _mm512_storeu_pd(his, hi0);
    _mm512_storeu_pd(his + 8, hi1);
    combine_lane_bounds(los, his, 16, l.lo, l.hi);
  } else {
    for (int c = 0; c < end; c += 16) {
      s0 = add_pd(s0, _mm512_loadu_pd(v + c));
      s1 = add_pd(s1, _mm512_loadu_pd(v + c + 8));
    }
  }
  _mm512_storeu_pd(l.sum, s0);
  _mm512_storeu_pd(l.sum + 8, s1);
}


// The first even column from 2 at which the row's octets start on a 64-byte
// boundary (the row length is usually a multiple of 8, so every row has the
// same one), or 2 when there is none.
int octet_start(const double* m) {
  const auto a = reinterpret_cast<std::uintptr_t>(m);
  for (int c = 2; c < 10; c += 2) {
    if ((a + 8 * static_cast<std::uintptr_t>(c)) % 64 == 0) return c;
  }
  return 2;
}

// The interior of a row (columns 1 .. cols-2) with the aligned octets and, when
// `prev` is given, the statistics of that finished row gathered alongside:
// the loads of a row just written hit the first-level cache and the adds of
// the sums, which wait on each other, hide behind the interior's work. The
// sums take every cell in the order RowStats documents: the partial of column
// c gets the columns before the octets first, then the octets (whose lanes
// are the partials of their columns), then the rest. Returns false, having
// done nothing, when the row is too short for an octet. With a `home`, the
// cells of `prev` are also stored there, each after the row's last read of
// it: the caller has done the first and last cells of the row already.
__attribute__((target("avx512f"))) bool inner_row_fused(const double* u, const double* m,
                                                        const double* d, int cols,
                                                        const Coefficients& q, double* out,
                                                        const double* prev, bool bounds,
                                                        RowStats* prev_stats, double* home) {
  const int last = cols - 1;  // first column not done here
  const int c0 = octet_start(m);
  if (last - c0 < 8) return false;
  const int c1 = c0 + ((last - c0) / 8) * 8;
  inner_cells<true, true>(u, m, d, 1, c0, q, out);
  StatLanes sl{_mm512_setzero_pd(), _mm512_setzero_pd(), _mm512_set1_pd(NAN),
               _mm512_set1_pd(NAN)};
  if (prev) {
    // Partials 0 .. 7 after the columns before c0 (c0 <= 8; 0.0 + x as the
    // scalar sum does it), partials 8 .. 15 still 0.0; then the lanes of the
    // octets at c0 + 16k take partials c0 .. c0 + 7, the others the rest.
    const __m512d zero = _mm512_setzero_pd();
    const __mmask8 head = static_cast<__mmask8>((1u << c0) - 1);
    const __m512d low = _mm512_mask_add_pd(zero, head, zero, _mm512_maskz_loadu_pd(head, prev));
    const __m512i lane = _mm512_set_epi64(7, 6, 5, 4, 3, 2, 1, 0);
    const __m512i fifteen = _mm512_set1_epi64(15);
    const __m512i at_even = _mm512_and_epi64(_mm512_add_epi64(lane, _mm512_set1_epi64(c0)), fifteen);
    const __m512i at_odd =
        _mm512_and_epi64(_mm512_add_epi64(lane, _mm512_set1_epi64(c0 + 8)), fifteen);
    sl.even = _mm512_permutex2var_pd(low, at_even, zero);
    sl.odd = _mm512_permutex2var_pd(low, at_odd, zero);
    if (bounds && home) {
      aligned_octets_avx512<true, true, true>(u, m, d, c0, c1, cols, q, out, prev, home, sl);
    } else if (bounds) {
      aligned_octets_avx512<true, true, false>(u, m, d, c0, c1, cols, q, out, prev, home, sl);
    } else if (home) {
      aligned_octets_avx512<true, false, true>(u, m, d, c0, c1, cols, q, out, prev, home, sl);
    } else {
      aligned_octets_avx512<true, false, false>(u, m, d, c0, c1, cols, q, out, prev, home, sl);
    }
  } else {
    aligned_octets_avx512<false, false, false>(u, m, d, c0, c1, cols, q, out, prev, home, sl);
  }
  const int quads_end = c1 + ((last - c1) / 4) * 4;
  inner_quads_avx2(u, m, d, c1, quads_end, q, out);
  const int pairs_end = quads_end + ((last - quads_end) / 2) * 2;
  inner_pairs_sse2(u, m, d, quads_end, pairs_end, q, out);
  inner_cells<true, true>(u, m, d, pairs_end, last, q, out);
  if (!prev) return true;
  if (home) {
    // The columns outside the octets (at most eight on each side), now that
    // the row's own cells have read them.
    const __mmask8 head_mask = static_cast<__mmask8>((1u << c0) - 1);
    const __mmask8 tail_mask = static_cast<__mmask8>((1u << (cols - c1)) - 1);
    _mm512_mask_storeu_pd(home, head_mask, _mm512_maskz_loadu_pd(head_mask, prev));
    _mm512_mask_storeu_pd(home + c1, tail_mask, _mm512_maskz_loadu_pd(tail_mask, prev + c1));
  }

  double lanes[2 * 8], los[8], his[8];
  _mm512_storeu_pd(lanes, sl.even);
  _mm512_storeu_pd(lanes + 8, sl.odd);
  _mm512_storeu_pd(los, sl.lo);
  _mm512_storeu_pd(his, sl.hi);
  // GCC leaves the upper register halves dirty here, and scalar SSE code
  // after that (the stomata's exp among it) runs at half speed.
  _mm256_zeroupper();
  finish_fused_stats(prev, cols, c0, c1, lanes, los, his, 8, bounds, *prev_stats);
  return true;
}

// The first even column from 2 at which the row's quads start on a 32-byte
// boundary, or 2 when there is none.
int quad_start(const double* m) {
  const auto a = reinterpret_cast<std::uintptr_t>(m);
  return (a + 16) % 32 == 0 ? 2 : (a + 32) % 32 == 0 ? 4 : 2;
}

// inner_row_fused with quads, for processors without AVX-512.
bool inner_row_fused_avx2(const double* u, const double* m, const double* d, int cols,
                          const Coefficients& q, double* out, const double* prev, bool bounds,
                          RowStats* prev_stats, double* home) {
  const int last = cols - 1;  // first column not done here
  const int c0 = quad_start(m);
  if (last - c0 < 4) return false;
  const int c1 = c0 + ((last - c0) / 4) * 4;
  inner_cells<true, true>(u, m, d, 1, c0, q, out);
  QuadStats qs;  // set below where the statistics are wanted
  if (!prev) {
    quads_avx2<false, false, false>(u, m, d, c0, c1, q, out, prev, home, qs);
  } else {
    // Partials 0 .. c0 - 1 start with the columns before c0 (0.0 + x as the
    // scalar sum does it), the rest from 0.0.
    for (int i = 0; i < kSumLanes; ++i) {
      const int j = (c0 + i) % kSumLanes;
      qs.sum[i] = j < c0 ? add_sd(0.0, prev[j]) : 0.0;
    }
    for (int i = 0; i < 4; ++i) qs.lo[i] = qs.hi[i] = NAN;
    if (bounds && home) {
      quads_avx2<true, true, true>(u, m, d, c0, c1, q, out, prev, home, qs);
    } else if (bounds) {
      quads_avx2<true, true, false>(u, m, d, c0, c1, q, out, prev, home, qs);
    } else if (home) {
      quads_avx2<true, false, true>(u, m, d, c0, c1, q, out, prev, home, qs);
    } else {
      quads_avx2<true, false, false>(u, m, d, c0, c1, q, out, prev, home, qs);
    }
  }
  const int pairs_end = c1 + ((last - c1) / 2) * 2;
  inner_pairs_sse2(u, m, d, c1, pairs_end, q, out);
  inner_cells<true, true>(u, m, d, pairs_end, last, q, out);
  if (!prev) return true;
  if (home) {
    // The columns outside the quads, now that the row's own cells have read
    // them.
    for (int c = 0; c < c0; ++c) home[c] = prev[c];
    for (int c = c1; c < cols; ++c) home[c] = prev[c];
  }
  finish_fused_stats(prev, cols, c0, c1, qs.sum, qs.lo, qs.hi, 4, bounds, *prev_stats);
  return true;
}

__attribute__((target("avx512f"))) int flux_octets_avx512(double* v, int n,
                                                          const FluxTerms& t) {
  const __m512d numerator = _mm512_set1_pd(t.numerator), span = _mm512_set1_pd(t.span),
                jo = _mm512_set1_pd(t.Jo);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m512d e = _mm512_loadu_pd(v + i);
    _mm512_storeu_pd(v + i, _mm512_div_pd(numerator, add_pd(mul_pd(e, span), jo)));
  }
  _mm256_zeroupper();
  return i;
}

__attribute__((target("avx2"))) int flux_quads_avx2(double* v, int n, const FluxTerms& t) {
  const __m256d numerator = _mm256_set1_pd(t.numerator), span = _mm256_set1_pd(t.span),
                jo = _mm256_set1_pd(t.Jo);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m256d e = _mm256_loadu_pd(v + i);
    _mm256_storeu_pd(v + i, _mm256_div_pd(numerator, add_pd(mul_pd(e, span), jo)));
  }
  _mm256_zeroupper();
  return i;
}

}  // namespace

void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out) {
  const SimdLevel level = simd_level();
  if (level == SimdLevel::plain) {
    plain::update_row(grid, rows, cols, r, q, out);
    return;
  }
  const double* m = grid + static_cast<std::size_t>(r) * cols;
  const double* u = r > 0 ? m - cols : nullptr;
  const double* d = r + 1 < rows ? m + cols : nullptr;
  const int last = cols - 1;
  if (u && d) {
    row_ends<true, true>(u, m, d, cols, q, out);
    // The widest path needs a whole octet in the row; shorter rows take the
    // next one.
    if (level != SimdLevel::avx512 ||
        !inner_row_fused(u, m, d, cols, q, out, nullptr, false, nullptr, nullptr)) {
      inner_row_full(u, m, d, cols, q, out, level);
    }
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
  const SimdLevel level = simd_level();
  if (level == SimdLevel::plain) {
    plain::row_stats(v, cols, bounds, out);
    return;
  }
  Lanes l;
  const int end = (cols / kSumLanes) * kSumLanes;
  switch (level) {
    case SimdLevel::avx512: lanes_avx512(v, end, bounds, l); break;
    case SimdLevel::avx2: lanes_avx2(v, end, bounds, l); break;
    default: lanes_sse2(v, end, bounds, l); break;
  }
  finish_lane_stats(v, cols, end, bounds, l, out);
}

void update_row_with_stats(const double* grid, int rows, int cols, int r,
                           const Coefficients& q, double* out, const double* prev, bool bounds,
                           RowStats* prev_stats, double* home) {
  const double* m = grid + static_cast<std::size_t>(r) * cols;
  const SimdLevel level = simd_level();
  if (r > 0 && r + 1 < rows && (level == SimdLevel::avx2 || level == SimdLevel::avx512)) {
    // The ends first: they read the row above, which `home` may be. Should
    // the row be too short for the fused pass, update_row does them again.
    row_ends<true, true>(m - cols, m, m + cols, cols, q, out);
    const auto fused = level == SimdLevel::avx512 ? inner_row_fused : inner_row_fused_avx2;
    if (fused(m - cols, m, m + cols, cols, q, out, prev, bounds, prev_stats,
              prev ? home : nullptr)) {
      return;
    }
  }
  update_row(grid, rows, cols, r, q, out);
  if (prev) row_stats(prev, cols, bounds, *prev_stats);
  // Only now: the row's cells read the row above, which `home` may be.
  if (prev && home) std::memcpy(home, prev, static_cast<std::size_t>(cols) * sizeof(double));
}

void flux_from_exp(double* v, int n, const FluxTerms& t) {
  const SimdLevel level = simd_level();
  if (level == SimdLevel::plain) {
    plain::flux_from_exp(v, n, t);
    return;
  }
  int i = level == SimdLevel::avx512 ? flux_octets_avx512(v, n, t)
          : level == SimdLevel::avx2 ? flux_quads_avx2(v, n, t)
                                     : 0;
  const __m128d numerator = _mm_set1_pd(t.numerator), span = _mm_set1_pd(t.span),
                jo = _mm_set1_pd(t.Jo);
  for (; i + 2 <= n; i += 2) {
    const __m128d e = _mm_loadu_pd(v + i);
    _mm_storeu_pd(v + i, _mm_div_pd(numerator, add_pd(mul_pd(e, span), jo)));
  }
  for (; i < n; ++i) v[i] = div_sd(t.numerator, add_sd(mul_sd(v[i], t.span), t.Jo));
}

}  // namespace ombrisk::step_detail
