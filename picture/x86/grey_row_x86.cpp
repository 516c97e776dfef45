// Grey rows four cells at a time with AVX2, where the processor has it. The
// vector form makes the same choices in the same order on the same double
// values as grey_level, so it gives the same pixels as the plain loop.
#include <immintrin.h>

#include "picture/grey_row.h"

namespace ombrisk {

namespace {

__attribute__((target("avx2"))) void grey_row_avx2(const double* p, int n, const LevelMap& map,
                                                   std::uint32_t* out) {
  const __m256d lo = _mm256_set1_pd(map.lo);
  const __m256d hi = _mm256_set1_pd(map.hi);
  const __m256d scale = _mm256_set1_pd(static_cast<double>(map.scale));
  const __m256d zero = _mm256_setzero_pd();
  const __m256d top = _mm256_set1_pd(255.0);
  const __m256d limit = _mm256_set1_pd(256.0);
  const __m128i grey = _mm_set1_epi32(0x010101);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(kOpaque));
  int k = 0;
  for (; k + 4 <= n; k += 4) {
    const __m256d v = _mm256_loadu_pd(p + k);
    const __m256d x = _mm256_mul_pd(_mm256_sub_pd(v, lo), scale);
    const __m256d has_level =
        _mm256_and_pd(_mm256_cmp_pd(x, zero, _CMP_GE_OQ), _mm256_cmp_pd(x, limit, _CMP_LT_OQ));
    __m256d level = _mm256_and_pd(x, has_level);
    level = _mm256_blendv_pd(level, top, _mm256_cmp_pd(v, hi, _CMP_GE_OQ));
    level = _mm256_blendv_pd(level, zero, _mm256_cmp_pd(v, lo, _CMP_LE_OQ));
    const __m128i g = _mm256_cvttpd_epi32(level);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     _mm_or_si128(opaque, _mm_mullo_epi32(g, grey)));
  }
  grey_row_plain(p + k, n - k, map, out + k);
}

}  // namespace

void grey_row(const double* p, int n, const LevelMap& map, std::uint32_t* out) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    grey_row_avx2(p, n, map, out);
  } else {
    grey_row_plain(p, n, map, out);
  }
}

}  // namespace ombrisk
