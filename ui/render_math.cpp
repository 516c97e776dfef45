#include "ui/render_math.h"

#include <cmath>
#include <limits>

#include "datafile/c_text.h"

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

CellLayout cell_layout(int view_width, int view_height, int cols, int rows) {
  CellLayout layout;
  if (cols > 0 && view_width > 0) layout.cell_width = view_width / cols;
  if (rows > 0 && view_height > 0) layout.cell_height = view_height / rows;
  return layout;
}

PixelRect legend_bar_rect(int i) {
  return {14, 150 + 2 * static_cast<std::int64_t>(i), 22, 152 + 2 * static_cast<std::int64_t>(i)};
}

const char* status_word(int paused, int full_speed) {
  return (paused != 0 && full_speed != 1) ? "Stopped" : "Running";
}

std::string mean_p_text(double mean_p) { return c_format("Mean p = %5.2f     ", mean_p); }

std::string min_p_text(double p_display_min) {
  return c_format("Min p = %5.2f             ", p_display_min);
}

std::string max_p_text(double p_display_max) {
  return c_format("Max p = %5.2f             ", p_display_max);
}

std::string step_text(int step) { return c_format("Time step = %i          ", step); }

std::string legend_label_text(double j_bound) { return c_format("%4.3f", j_bound); }

}  // namespace ombrisk
