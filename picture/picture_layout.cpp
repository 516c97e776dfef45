#include "picture/picture_layout.h"

#include "datafile/c_text.h"

namespace ombrisk {

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
