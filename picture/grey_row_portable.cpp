// Processors without a vector path of their own draw rows with the plain loop.
#include "picture/grey_row.h"

namespace ombrisk {

void grey_row(const double* p, int n, const LevelMap& map, std::uint32_t* out) {
  grey_row_plain(p, n, map, out);
}

}  // namespace ombrisk
