#include "picture/levels.h"

#include <limits>

namespace ombrisk {

namespace {

// Rounds to the nearest float, including the values beyond the float range,
// which a plain conversion leaves undefined.
float nearest_float(double d) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  // FLT_MAX plus half its last place: from here on the nearest float is infinity.
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;
  if (std::isnan(d)) return std::numeric_limits<float>::quiet_NaN();
  if (d >= kRoundsToInfinity) return std::numeric_limits<float>::infinity();
  if (d <= -kRoundsToInfinity) return -std::numeric_limits<float>::infinity();
  if (d > kFloatMax) return std::numeric_limits<float>::max();
  if (d < -kFloatMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(d);
}

}  // namespace

float level_scale(double lo, double hi) {
  const float span = nearest_float(hi - lo);
  if (span == 0.0f) return std::copysign(std::numeric_limits<float>::infinity(), span);
  return 255.0f / span;
}

Rgb j_colour_ramp(int w) {
  if (w < 0) w = 0;
  if (w > 255) w = 255;
  if (w < 64) return {0, 4 * w, 255};
  if (w < 128) return {0, 255, 511 - 4 * w};
  if (w < 192) return {4 * w - 512, 255, 0};
  return {255, 1023 - 4 * w, 0};
}

}  // namespace ombrisk
