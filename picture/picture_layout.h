// The places of the picture's elements and the texts of its labels and status
// line, free of any toolkit so that they can be checked directly.
#pragma once

#include <cstdint>
#include <string>

namespace ombrisk {

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
