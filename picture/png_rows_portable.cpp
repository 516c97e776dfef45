// Processors without a vector path of their own filter rows with the plain loop.
#include "picture/png_rows.h"

namespace ombrisk {

void sub_row(const std::uint32_t* in, int width, unsigned char* out) {
  sub_row_plain(in, width, out);
}

}  // namespace ombrisk
