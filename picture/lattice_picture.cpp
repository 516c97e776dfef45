#include "picture/lattice_picture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "picture/grey_row.h"
#include "picture/levels.h"
#include "picture/picture_layout.h"

namespace ombrisk {

namespace {

// The run flag is also written by the full-speed worker outside the lock.
int read_full_speed(const ModelState& m) {
  return std::atomic_ref<int>(const_cast<int&>(m.full_speed)).load(std::memory_order_relaxed);
}

// A grid that does not match the lattice size (caught mid-rebuild) draws no cells.
bool grid_matches(const ModelState& m) {
  return m.rows > 0 && m.cols > 0 && m.p_current.rows == m.rows && m.p_current.cols == m.cols &&
         m.p_current.values.size() ==
             static_cast<std::size_t>(m.rows) * static_cast<std::size_t>(m.cols);
}

std::size_t marker_count(const ModelState& m) {
  const StomaTable& t = m.stomata;
  std::size_t n = t.stoma_count > 0 ? static_cast<std::size_t>(t.stoma_count) : 0;
  n = std::min({n, t.stoma_col.size(), t.stoma_row.size(), t.stoma_j.size()});
  return n;
}

// Intersection with [0, width) x [0, height).
PixelRect clipped(PixelRect r, int width, int height) {
  r.left = std::max<std::int64_t>(r.left, 0);
  r.top = std::max<std::int64_t>(r.top, 0);
  r.right = std::min<std::int64_t>(r.right, width);
  r.bottom = std::min<std::int64_t>(r.bottom, height);
  return r;
}

// Direct access to the pixel lines of a 32-bit image, taken once per picture.
struct Pixels {
  explicit Pixels(QImage& image)
      : bits(image.bits()),
        stride(image.bytesPerLine()),
        width(image.width()),
        height(image.height()) {}
  std::uint32_t* line(std::int64_t y) const {
    return reinterpret_cast<std::uint32_t*>(bits + y * stride);
  }
  uchar* bits;
  qsizetype stride;
  int width;
  int height;
};

void fill_pixels(const Pixels& px, const PixelRect& rect, std::uint32_t pixel) {
  const PixelRect r = clipped(rect, px.width, px.height);
  if (r.empty()) return;
  for (std::int64_t y = r.top; y < r.bottom; ++y) {
    std::fill(px.line(y) + r.left, px.line(y) + r.right, pixel);
  }
}

// Cells, in one pass over the part of the lattice that can reach into the
// image: each lattice row's colours once, then its even columns on their pixel
// lines and its odd columns, half a cell higher, on theirs. With one-pixel-high
// cells both parities share their lines and a row is one contiguous run.
void write_cells(const Pixels& px, const ModelState& m) {
  if (!grid_matches(m)) return;
  const CellLayout layout = cell_layout(m.view_width, m.view_height, m.cols, m.rows);
  const int cw = layout.cell_width;
  const int ch = layout.cell_height;
  const int width = px.width;
  const int height = px.height;
  if (cw <= 0 || ch <= 0 || width <= kLatticeLeft) return;

  const int visible_cols =
      static_cast<int>(std::min<std::int64_t>(m.cols, (std::int64_t{width} - kLatticeLeft + cw - 1) / cw));
  const int visible_rows = static_cast<int>(std::min<std::int64_t>(m.rows, height / ch + 2));

  const LevelMap map = level_map(m.display.p_display_min, m.display.p_display_max);
  thread_local std::vector<std::uint32_t> colours;
  colours.resize(static_cast<std::size_t>(visible_cols));
  std::uint32_t* const c = colours.data();
  const bool shared_lines = column_y_offset(0, ch) == column_y_offset(1, ch);

  for (int r = 0; r < visible_rows; ++r) {
    grey_row(m.p_current[r], visible_cols, map, c);
    for (int parity = 0; parity < (shared_lines ? 1 : 2); ++parity) {
      const std::int64_t top = static_cast<std::int64_t>(r) * ch + column_y_offset(parity, ch);
      const std::int64_t first = std::max<std::int64_t>(top, 0);
      const std::int64_t last = std::min<std::int64_t>(top + ch, height);
      const int k0 = shared_lines ? 0 : parity;
      const int dk = shared_lines ? 1 : 2;
      for (std::int64_t y = first; y < last; ++y) {
        std::uint32_t* line = px.line(y);
        if (cw == 1) {
          std::uint32_t* out = line + kLatticeLeft;
          if (dk == 1) {
            std::copy(c, c + visible_cols, out);
          } else {
            for (int k = k0; k < visible_cols; k += 2) out[k] = c[k];
          }
          continue;
        }
        for (int k = k0; k < visible_cols; k += dk) {
          const std::int64_t left = kLatticeLeft + static_cast<std::int64_t>(k) * cw;
          std::fill(line + left, line + std::min<std::int64_t>(left + cw, width), c[k]);
        }
      }
    }
  }
}

void write_markers(const Pixels& px, const ModelState& m) {
  const CellLayout layout = cell_layout(m.view_width, m.view_height, m.cols, m.rows);
  const LevelMap map = level_map(m.display.j_display_min, m.display.j_display_max);
  std::array<std::uint32_t, 256> ramp;
  for (int w = 0; w < 256; ++w) ramp[w] = kOpaque | rgb_value(j_colour_ramp(w));
  const StomaTable& t = m.stomata;
  const std::size_t n = marker_count(m);
  for (std::size_t i = 0; i < n; ++i) {
    fill_pixels(px, marker_rect(layout, t.stoma_row[i], t.stoma_col[i]),
                ramp[j_colour_index(t.stoma_j[i], map)]);
  }
}

void write_legend_bars(const Pixels& px) {
  for (int i = 0; i < kLegendBars; ++i) {
    fill_pixels(px, legend_bar_rect(i), kOpaque | rgb_value(j_colour_ramp(i)));
  }
}

bool is_32_bit(QImage::Format format) {
  return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
         format == QImage::Format_ARGB32_Premultiplied;
}

// For the painter: a rectangle limited to the painter's window, or empty.
QRect painter_rect(const PixelRect& rect, const QRect& window) {
  PixelRect r = rect;
  r.left = std::max<std::int64_t>(r.left, window.left());
  r.top = std::max<std::int64_t>(r.top, window.top());
  r.right = std::min<std::int64_t>(r.right, std::int64_t{window.right()} + 1);
  r.bottom = std::min<std::int64_t>(r.bottom, std::int64_t{window.bottom()} + 1);
  if (r.empty()) return {};
  return QRect(static_cast<int>(r.left), static_cast<int>(r.top),
               static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
}

QColor to_qcolor(Rgb c) { return QColor(c.r, c.g, c.b); }

}  // namespace

void render_lattice_picture(QImage& image, const ModelState& m, int client_height,
                            int text_height, const QFont& font) {
  if (image.isNull()) return;
  if (!is_32_bit(image.format())) image.convertTo(QImage::Format_RGB32);
  image.fill(Qt::white);
  const Pixels px(image);
  write_cells(px, m);
  write_markers(px, m);
  write_legend_bars(px);
  QPainter painter(&image);
  painter.setFont(font);
  draw_lattice_texts(painter, m, client_height, text_height);
}

void paint_lattice_picture(QPainter& painter, const ModelState& m, int client_height,
                           int text_height) {
  const QRect window = painter.window();
  painter.fillRect(window, Qt::white);
  const CellLayout layout = cell_layout(m.view_width, m.view_height, m.cols, m.rows);

  if (grid_matches(m)) {
    const LevelMap map = level_map(m.display.p_display_min, m.display.p_display_max);
    for (int r = 0; r < m.rows; ++r) {
      for (int k = 0; k < m.cols; ++k) {
        const QRect rect = painter_rect(cell_rect(layout, r, k), window);
        if (rect.isEmpty()) continue;
        const int g = grey_level(m.p_current[r][k], map);
        painter.fillRect(rect, QColor(g, g, g));
      }
    }
  }

  const LevelMap j_map = level_map(m.display.j_display_min, m.display.j_display_max);
  const StomaTable& t = m.stomata;
  const std::size_t n = marker_count(m);
  for (std::size_t i = 0; i < n; ++i) {
    const QRect rect = painter_rect(marker_rect(layout, t.stoma_row[i], t.stoma_col[i]), window);
    if (rect.isEmpty()) continue;
    painter.fillRect(rect, to_qcolor(j_colour_ramp(j_colour_index(t.stoma_j[i], j_map))));
  }

  for (int i = 0; i < kLegendBars; ++i) {
    painter.fillRect(painter_rect(legend_bar_rect(i), window), to_qcolor(j_colour_ramp(i)));
  }

  draw_lattice_texts(painter, m, client_height, text_height);
}

void draw_lattice_texts(QPainter& painter, const ModelState& m, int client_height,
                        int text_height) {
  painter.save();
  const QFontMetrics metrics = painter.fontMetrics();
  const auto draw = [&](int x, int top, const std::string& text, const QColor& colour) {
    const QString s = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    painter.fillRect(QRect(x, top, metrics.horizontalAdvance(s), text_height), Qt::white);
    painter.setPen(colour);
    painter.drawText(QPoint(x, top + metrics.ascent()), s);
  };

  draw(kLegendLabelX, legend_low_label_y(text_height),
       legend_label_text(m.display.j_display_min), Qt::black);
  draw(kLegendLabelX, kLegendHighLabelY, legend_label_text(m.display.j_display_max), Qt::black);

  const int y = status_line_y(client_height, text_height);
  draw(kStatusX[0], y, status_word(m.paused, read_full_speed(m)), QColor(255, 0, 0));
  draw(kStatusX[1], y, mean_p_text(m.mean_p), Qt::black);
  draw(kStatusX[2], y, min_p_text(m.display.p_display_min), Qt::black);
  draw(kStatusX[3], y, max_p_text(m.display.p_display_max), Qt::black);
  draw(kStatusX[4], y, step_text(m.step), Qt::black);
  painter.restore();
}

void copy_picture_fields(const ModelState& from, ModelState& to) {
  to.rows = from.rows;
  to.cols = from.cols;
  to.cell_count = from.cell_count;
  to.p_current.rows = from.p_current.rows;
  to.p_current.cols = from.p_current.cols;
  to.p_current.values.assign(from.p_current.values.begin(), from.p_current.values.end());
  to.step = from.step;
  to.mean_p = from.mean_p;
  const StomaTable& st = from.stomata;
  to.stomata.stoma_count = st.stoma_count;
  to.stomata.stoma_col.assign(st.stoma_col.begin(), st.stoma_col.end());
  to.stomata.stoma_row.assign(st.stoma_row.begin(), st.stoma_row.end());
  to.stomata.stoma_j.assign(st.stoma_j.begin(), st.stoma_j.end());
  to.display = from.display;
  to.view_width = from.view_width;
  to.view_height = from.view_height;
  to.paused = from.paused;
  to.full_speed = read_full_speed(from);
}

QImage lattice_picture(const ModelState& m, const QFont& font) {
  QImage probe(1, 1, QImage::Format_RGB32);
  const int text_height = QFontMetrics(font, &probe).height();
  const int client_height = kClientHeightAboveStatus + text_height;
  QImage image(kClientWidth, client_height, QImage::Format_RGB32);
  render_lattice_picture(image, m, client_height, text_height, font);
  return image;
}

}  // namespace ombrisk
