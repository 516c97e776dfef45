// Filtered PNG rows four pixels at a time with SSSE3, where the processor has
// it: one subtraction of the row from itself one pixel on, and one shuffle
// from B G R A to R G B, give the bytes of the plain loop.
#include <immintrin.h>

#include "picture/png_rows.h"

namespace ombrisk {

namespace {

// Pixels from 1 on while four are left; returns where it stopped, with `out`
// advanced. Writes up to 4 bytes past what it fills.
__attribute__((target("ssse3"))) int sub_row_ssse3(const std::uint32_t* in, int width,
                                                    unsigned char*& out) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int x = 1;
  for (; x + 4 <= width; x += 4) {
    const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x - 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(_mm_sub_epi8(now, left), order));
    out += 12;
  }
  return x;
}

}  // namespace

void sub_row(const std::uint32_t* in, int width, unsigned char* out) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (!ssse3) {
    sub_row_plain(in, width, out);
    return;
  }
  sub_row_plain(in, 1, out);  // the first pixel, less black
  out += 3;
  const int x = sub_row_ssse3(in, width, out);
  sub_row_plain(in, width, out, x);
}

}  // namespace ombrisk
