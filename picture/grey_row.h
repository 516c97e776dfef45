// The grey pixels of a row of cells, the hot loop of the picture. A processor
// with a vector path gets it from a file of its own; every path gives the same
// pixels as grey_row_plain.
#pragma once

#include <cstdint>

#include "picture/levels.h"

namespace ombrisk {

inline constexpr std::uint32_t kOpaque = 0xff000000u;

// The opaque grey pixel of each of n cells holding p: grey_level of each.
void grey_row_plain(const double* p, int n, const LevelMap& map, std::uint32_t* out);

// The same pixels, on the fastest path this processor has.
void grey_row(const double* p, int n, const LevelMap& map, std::uint32_t* out);

}  // namespace ombrisk
