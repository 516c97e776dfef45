// The toolkit-free arithmetic of the picture: grey levels, colour indices, the
// colour ramp, the places of cells, markers and legend bars, the status texts.
#include <QtTest>
#include <cmath>
#include <limits>

#include "ui/render_math.h"

using namespace ombrisk;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class RenderMathTest : public QObject {
  Q_OBJECT

 private slots:
  void grey_level_uses_a_single_precision_scale() {
    // 255 / 0.3 in float is 849.99994; in double the level would be 85.
    QCOMPARE(level_scale(0.0, 0.3), 849.99994f);
    QCOMPARE(grey_level(0.1, 0.0, 0.3), 84);
    // The start-up picture: bounds -5 and 5, every p 0: 5 * 25.5 = 127.5.
    QCOMPARE(grey_level(0.0, -5.0, 5.0), 127);
    QCOMPARE(grey_level(4.99, -5.0, 5.0), 254);
  }

  void grey_level_at_and_beyond_the_bounds() {
    QCOMPARE(grey_level(-5.0, -5.0, 5.0), 0);
    QCOMPARE(grey_level(5.0, -5.0, 5.0), 255);
    QCOMPARE(grey_level(-1e300, -5.0, 5.0), 0);
    QCOMPARE(grey_level(1e300, -5.0, 5.0), 255);
    QCOMPARE(grey_level(-kInf, -5.0, 5.0), 0);
    QCOMPARE(grey_level(kInf, -5.0, 5.0), 255);
    // Upper bound below the lower: black up to the lower bound, white above.
    QCOMPARE(grey_level(0.0, 0.0, -2.0), 0);
    QCOMPARE(grey_level(-1.0, 0.0, -2.0), 0);
    QCOMPARE(grey_level(1e-9, 0.0, -2.0), 255);
    // Equal bounds.
    QCOMPARE(grey_level(1.0, 1.0, 1.0), 0);
    QCOMPARE(grey_level(1.5, 1.0, 1.0), 255);
  }

  void grey_level_without_a_level_is_black() {
    QCOMPARE(grey_level(kNaN, -5.0, 5.0), 0);
    QCOMPARE(grey_level(0.0, kNaN, 5.0), 0);
    QCOMPARE(grey_level(0.0, -5.0, kNaN), 0);
    QCOMPARE(grey_level(kNaN, kNaN, kNaN), 0);
    // A positive span too small for the float scale: it overflows to infinity,
    // whether the span is a normal float, subnormal or below the float range.
    QVERIFY(std::isinf(level_scale(0.0, 1e-37)));
    QCOMPARE(grey_level(0.5e-37, 0.0, 1e-37), 0);
    QCOMPARE(grey_level(0.5e-40, 0.0, 1e-40), 0);
    QCOMPARE(grey_level(0.5e-300, 0.0, 1e-300), 0);
    // A span beyond the float range: the scale is 0, every inner p is level 0.
    QCOMPARE(grey_level(0.0, -1e300, 1e300), 0);
    // Just above the overflow the scale is finite and levels are ordinary.
    QCOMPARE(grey_level(0.5e-35, 0.0, 1e-35), 127);
  }

  void every_level_lies_in_range() {
    const double bounds[][2] = {{-5, 5}, {0, 0.3}, {1e-30, 1e-30 + 1e-36}, {-1e-300, 1e-300},
                                {-3, -3}, {7, -7}};
    for (const auto& b : bounds) {
      const LevelMap map = level_map(b[0], b[1]);
      for (int i = -100; i <= 100; ++i) {
        const double p = b[0] + (b[1] - b[0]) * (i / 80.0);
        const int g = grey_level(p, map);
        QVERIFY2(g >= 0 && g <= 255, qPrintable(QString::number(p)));
        const int w = j_colour_index(p, map);
        QVERIFY2(w >= 0 && w <= 255, qPrintable(QString::number(p)));
      }
    }
  }

  void colour_examples() {
    struct Case {
      double j;
      int w;
      Rgb colour;
    };
    const Case cases[] = {{0.0, 0, {0, 0, 255}},
                          {0.25, 63, {0, 252, 255}},
                          {0.5, 127, {0, 255, 3}},
                          {0.75, 191, {252, 255, 0}},
                          {1.0, 255, {255, 3, 0}}};
    for (const Case& c : cases) {
      const int w = j_colour_index(c.j, 0.0, 1.0);
      QCOMPARE(w, c.w);
      QCOMPARE(j_colour_ramp(w), c.colour);
    }
    // The float scale falls just short at the top.
    QCOMPARE(j_colour_index(0.3, 0.0, 0.3), 254);
    QCOMPARE(j_colour_ramp(254), (Rgb{255, 7, 0}));
  }

  void colour_index_outside_the_bounds_and_without_a_scale() {
    QCOMPARE(j_colour_index(1e6, 0.0, 1.0), 255);
    QCOMPARE(j_colour_index(-1e6, 0.0, 1.0), 0);
    QCOMPARE(j_colour_index(1.0 + 1e-9, 0.0, 1.0), 255);
    // Equal bounds: every stoma blue, also one exactly at the bound.
    const double j0 = 0.9955255179295146;
    QCOMPARE(j_colour_index(j0, j0, j0), 0);
    QCOMPARE(j_colour_index(2.0, j0, j0), 0);
    QCOMPARE(j_colour_index(-2.0, j0, j0), 0);
    // Not a finite number.
    QCOMPARE(j_colour_index(kNaN, 0.0, 1.0), 0);
    QCOMPARE(j_colour_index(kInf, 0.0, 1.0), 0);
    QCOMPARE(j_colour_index(0.5, kNaN, 1.0), 0);
  }

  void ramp_quarters_and_range() {
    QCOMPARE(j_colour_ramp(64), (Rgb{0, 255, 255}));
    QCOMPARE(j_colour_ramp(128), (Rgb{0, 255, 0}));
    QCOMPARE(j_colour_ramp(191), (Rgb{252, 255, 0}));
    QCOMPARE(j_colour_ramp(192), (Rgb{255, 255, 0}));
    QCOMPARE(j_colour_ramp(-7), j_colour_ramp(0));
    QCOMPARE(j_colour_ramp(300), j_colour_ramp(255));
    for (int w = 0; w < 256; ++w) {
      const Rgb c = j_colour_ramp(w);
      QVERIFY(c.r >= 0 && c.r <= 255 && c.g >= 0 && c.g <= 255 && c.b >= 0 && c.b <= 255);
      if (w > 0) {
        // Neighbours differ by one ramp step in one component only.
        const Rgb p = j_colour_ramp(w - 1);
        const int change = std::abs(c.r - p.r) + std::abs(c.g - p.g) + std::abs(c.b - p.b);
        QVERIFY2(change >= 3 && change <= 4, qPrintable(QString::number(w)));
      }
    }
    QCOMPARE(rgb_value({255, 3, 0}), 0xff0300u);
  }

  void cell_sizes() {
    const CellLayout l100 = cell_layout(800, 800, 100, 100);
    QCOMPARE(l100.cell_width, 8);
    QCOMPARE(l100.cell_height, 8);
    const CellLayout l800 = cell_layout(800, 800, 800, 800);
    QCOMPARE(l800.cell_width, 1);
    QCOMPARE(l800.cell_height, 1);
    const CellLayout narrow = cell_layout(400, 400, 800, 800);
    QCOMPARE(narrow.cell_width, 0);
    QCOMPARE(narrow.cell_height, 0);
    const CellLayout none = cell_layout(800, 800, 0, 0);
    QCOMPARE(none.cell_width, 0);
    QCOMPARE(none.cell_height, 0);
    const CellLayout negative = cell_layout(-800, 800, 100, -5);
    QCOMPARE(negative.cell_width, 0);
    QCOMPARE(negative.cell_height, 0);
    const CellLayout oblong = cell_layout(800, 800, 50, 30);
    QCOMPARE(oblong.cell_width, 16);
    QCOMPARE(oblong.cell_height, 26);
  }

  void cells_in_shifted_columns() {
    const CellLayout l = cell_layout(800, 800, 100, 100);
    QCOMPARE(cell_rect(l, 0, 0), (PixelRect{40, 8, 48, 16}));
    QCOMPARE(cell_rect(l, 0, 1), (PixelRect{48, 4, 56, 12}));
    QCOMPARE(cell_rect(l, 99, 98), (PixelRect{824, 800, 832, 808}));
    QCOMPARE(cell_rect(l, 99, 99), (PixelRect{832, 796, 840, 804}));
    // One-pixel cells: no shift.
    const CellLayout l800 = cell_layout(800, 800, 800, 800);
    QCOMPARE(cell_rect(l800, 3, 1), (PixelRect{41, 11, 42, 12}));
    // Sixteen-pixel cells: odd columns begin at y 0.
    const CellLayout l50 = cell_layout(800, 800, 50, 50);
    QCOMPARE(cell_rect(l50, 0, 1), (PixelRect{56, 0, 72, 16}));
    // No index or view size can overflow the coordinates.
    const CellLayout huge = cell_layout(2000000000, 2000000000, 2, 2);
    QCOMPARE(cell_rect(huge, 1, 1).right, 40 + 2 * std::int64_t{1000000000});
  }

  void marker_places() {
    const CellLayout l800 = cell_layout(800, 800, 800, 800);
    // x 38 + k .. 41 + k and y 6 + r .. 9 + r inclusive.
    QCOMPARE(marker_rect(l800, 7, 5), (PixelRect{43, 13, 47, 17}));
    QCOMPARE(marker_rect(l800, 7, 6), (PixelRect{44, 13, 48, 17}));
    const CellLayout l50 = cell_layout(800, 800, 50, 50);
    QCOMPARE(marker_rect(l50, 0, 1), (PixelRect{62, 6, 66, 10}));
    const CellLayout l200 = cell_layout(800, 800, 200, 200);
    for (int r : {0, 1, 199}) {
      for (int k : {0, 1, 198, 199}) QCOMPARE(marker_rect(l200, r, k), cell_rect(l200, r, k));
    }
  }

  void legend_bars() {
    QCOMPARE(legend_bar_rect(0), (PixelRect{14, 150, 22, 152}));
    QCOMPARE(legend_bar_rect(255), (PixelRect{14, 660, 22, 662}));
    QCOMPARE(legend_low_label_y(16), 134);
  }

  void status_word_rule() {
    QCOMPARE(status_word(1, 0), "Stopped");
    QCOMPARE(status_word(0, 0), "Running");
    QCOMPARE(status_word(1, 1), "Running");
    QCOMPARE(status_word(0, 1), "Running");
  }

  void status_and_label_texts() {
    QCOMPARE(mean_p_text(0.0), std::string("Mean p =  0.00     "));
    QCOMPARE(mean_p_text(-123.456), std::string("Mean p = -123.46     "));
    QCOMPARE(min_p_text(-5.0), std::string("Min p = -5.00             "));
    QCOMPARE(max_p_text(5.0), std::string("Max p =  5.00             "));
    QCOMPARE(max_p_text(kNaN).substr(0, 11), std::string("Max p =   n"));
    QCOMPARE(step_text(0), std::string("Time step = 0          "));
    QCOMPARE(step_text(2147483647), std::string("Time step = 2147483647          "));
    QCOMPARE(legend_label_text(0.9955255179295146), std::string("0.996"));
    QCOMPARE(legend_label_text(12.5), std::string("12.500"));
  }
};

QTEST_MAIN(RenderMathTest)
#include "test_render_math.moc"
