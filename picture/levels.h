// The display levels of the picture, free of any toolkit so that they can be
// checked directly: p to grey, J to colour, and the colour ramp.
#pragma once

#include <cmath>
#include <cstdint>

namespace ombrisk {

// 255 / (hi - lo) in single precision: the difference is formed in double
// precision and rounded to the nearest float, the division done in float.
// Infinite when the rounded difference is 0 or so small that the quotient
// overflows; NaN when a bound is NaN.
float level_scale(double lo, double hi);

// Two display bounds and their scale, worked out once per picture.
struct LevelMap {
  double lo = 0.0;
  double hi = 0.0;
  float scale = 0.0f;
};
inline LevelMap level_map(double lo, double hi) { return {lo, hi, level_scale(lo, hi)}; }

// The grey level 0 (black) .. 255 (white) of a cell holding p, for the bounds
// lo (black) and hi (white): p <= lo is 0, p >= hi is 255, anything between is
// (p - lo) * scale truncated toward zero. Where that formula gives no level in
// 0 .. 255 (p or a bound NaN, an overflowing scale) the cell is black.
// Written as selects rather than early returns: the picture runs it on every
// cell, and values near the bounds would otherwise defeat branch prediction.
inline int grey_level(double p, const LevelMap& map) {
  const double x = (p - map.lo) * static_cast<double>(map.scale);
  // NaN, an overflowed scale or a scale rounded far off: no level, so black.
  const bool has_level = (x >= 0.0) & (x < 256.0);
  int level = static_cast<int>(has_level ? x : 0.0);
  level = (p >= map.hi) ? 255 : level;
  level = (p <= map.lo) ? 0 : level;
  return level;
}
inline int grey_level(double p, double lo, double hi) { return grey_level(p, level_map(lo, hi)); }

// The colour index 0 .. 255 of a stoma with flux j for the bounds lo and hi:
// (j - lo) * scale truncated toward zero and limited to 0 .. 255; 0 when that
// is not a finite number (equal bounds, NaN j).
inline int j_colour_index(double j, const LevelMap& map) {
  const double x = (j - map.lo) * static_cast<double>(map.scale);
  if (!std::isfinite(x)) return 0;
  if (x <= 0.0) return 0;
  if (x >= 255.0) return 255;
  return static_cast<int>(x);
}
inline int j_colour_index(double j, double lo, double hi) {
  return j_colour_index(j, level_map(lo, hi));
}

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Blue through cyan, green and yellow to red in four quarters of 64 indices.
// An index outside 0 .. 255 is taken as the nearest end.
Rgb j_colour_ramp(int w);

// 0xRRGGBB, the layout of a 32-bit pixel without alpha.
inline std::uint32_t rgb_value(Rgb c) {
  return (static_cast<std::uint32_t>(c.r) << 16) | (static_cast<std::uint32_t>(c.g) << 8) |
         static_cast<std::uint32_t>(c.b);
}

}  // namespace ombrisk
