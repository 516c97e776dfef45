#include "picture/grey_row.h"

namespace ombrisk {

void grey_row_plain(const double* p, int n, const LevelMap& map, std::uint32_t* out) {
  for (int k = 0; k < n; ++k) {
    out[k] = kOpaque | (static_cast<std::uint32_t>(grey_level(p[k], map)) * 0x010101u);
  }
}

}  // namespace ombrisk
