// The plain loops of the PNG rows, which every vector path matches.
#include "picture/png_rows.h"

#include <initializer_list>

namespace ombrisk {

void rgb_row(const std::uint32_t* in, int width, unsigned char* out) {
  for (int x = 0; x < width; ++x) {
    *out++ = static_cast<unsigned char>(in[x] >> 16);
    *out++ = static_cast<unsigned char>(in[x] >> 8);
    *out++ = static_cast<unsigned char>(in[x]);
  }
}

void sub_row_plain(const std::uint32_t* in, int width, unsigned char* out, int from) {
  for (int x = from; x < width; ++x) {
    const std::uint32_t left = x > 0 ? in[x - 1] : 0;
    for (int shift : {16, 8, 0}) {
      *out++ = static_cast<unsigned char>((in[x] >> shift) - (left >> shift));
    }
  }
}

}  // namespace ombrisk
