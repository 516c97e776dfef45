// The arithmetic of the client-area picture, free of any toolkit so that it can
// be checked directly: the p-to-grey and J-to-colour mappings, the colour ramp,
// the places of every element and the texts of the labels and the status line.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

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

// A filled rectangle in client pixels: left and top included, right and bottom
// excluded. 64-bit so that no view size or index from a file can overflow it.
struct PixelRect {
  std::int64_t left = 0;
  std::int64_t top = 0;
  std::int64_t right = 0;
  std::int64_t bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Cell sizes, by truncating division of the drawing size by the lattice size.
// A lattice with no rows or columns, or a size that leaves less than a pixel,
// gives 0: such cells are not drawn.
struct CellLayout {
  int cell_width = 0;
  int cell_height = 0;
};
CellLayout cell_layout(int view_width, int view_height, int cols, int rows);

inline constexpr int kLatticeLeft = 40;
inline constexpr int kLatticeTop = 8;

// Top of column k's first cell: odd columns stand half a cell higher, which
// gives the hexagonal arrangement of the neighbour rule.
inline int column_y_offset(int k, int cell_height) {
  return (k % 2 == 0) ? kLatticeTop : kLatticeTop - cell_height / 2;
}

inline PixelRect cell_rect(const CellLayout& layout, int row, int col) {
  const std::int64_t w = layout.cell_width;
  const std::int64_t h = layout.cell_height;
  PixelRect rect;
  rect.left = kLatticeLeft + col * w;
  rect.right = rect.left + w;
  rect.top = row * h + column_y_offset(col, layout.cell_height);
  rect.bottom = rect.top + h;
  return rect;
}

// 4 x 4 pixels, its top-left corner 2 pixels left of and above the centre of
// the stoma's cell.
inline PixelRect marker_rect(const CellLayout& layout, int row, int col) {
  const PixelRect cell = cell_rect(layout, row, col);
  PixelRect rect;
  rect.left = cell.left + (layout.cell_width / 2 - 2);
  rect.right = rect.left + 4;
  rect.top = cell.top + (layout.cell_height / 2 - 2);
  rect.bottom = rect.top + 4;
  return rect;
}

inline constexpr int kLegendBars = 256;
// Bar i of the J legend: x 14 .. 22, y 150 + 2i .. 152 + 2i.
PixelRect legend_bar_rect(int i);

// Top-left corners of the two legend labels.
inline constexpr int kLegendLabelX = 3;
inline int legend_low_label_y(int text_height) { return 150 - text_height; }
inline constexpr int kLegendHighLabelY = 665;

// The status line: left edges of its five texts; their top is
// client_height - text_height.
inline constexpr int kStatusX[5] = {5, 185, 330, 455, 580};
inline int status_line_y(int client_height, int text_height) {
  return client_height - text_height;
}

// "Stopped" only when paused and not at full speed; otherwise "Running".
const char* status_word(int paused, int full_speed);

// The texts, each with its trailing blanks: drawn opaque, the blanks cover
// what a longer earlier text left behind.
std::string mean_p_text(double mean_p);
std::string min_p_text(double p_display_min);
std::string max_p_text(double p_display_max);
std::string step_text(int step);
std::string legend_label_text(double j_bound);

}  // namespace ombrisk
