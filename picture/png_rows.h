// Picture rows as the bytes of PNG scanlines, the per-pixel loops of the PNG
// writer. A processor with a vector path for the filtered rows gets it from a
// file of its own; every path gives the same bytes as sub_row_plain.
#pragma once

#include <cstdint>

namespace ombrisk {

// The room past a row's 3 * width bytes that sub_row may write into.
inline constexpr int kSubRowSlack = 16;

// The RGB bytes of `width` pixels 0xAARRGGBB, alpha dropped: filter type 0.
void rgb_row(const std::uint32_t* in, int width, unsigned char* out);

// The same bytes each less the same byte of the pixel to its left (black
// left of the row): filter type 1, which turns even stretches into zeros.
// From pixel `from` on, its bytes first at `out`.
void sub_row_plain(const std::uint32_t* in, int width, unsigned char* out, int from = 0);

// The bytes of sub_row_plain, on the fastest path this processor has; may
// write up to kSubRowSlack bytes past them.
void sub_row(const std::uint32_t* in, int width, unsigned char* out);

}  // namespace ombrisk
