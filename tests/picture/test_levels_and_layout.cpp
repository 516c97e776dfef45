// The toolkit-free arithmetic of the picture: grey levels, colour indices and
// ramp, marker places, the status texts.
#include <QtTest>
#include <limits>

#include "picture/levels.h"
#include "picture/picture_layout.h"

using namespace ombrisk;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
}  // namespace

class RenderMathTest : public QObject {
  Q_OBJECT

 private slots:
  void grey_levels() {
    // The float scale 849.99994 gives 84; a double scale would give 85.
    QCOMPARE(grey_level(0.1, 0.0, 0.3), 84);
    QCOMPARE(grey_level(0.0, -5.0, 5.0), 127);
    QCOMPARE(grey_level(-5.0, -5.0, 5.0), 0);
    QCOMPARE(grey_level(5.0, -5.0, 5.0), 255);
    QCOMPARE(grey_level(-kInf, -5.0, 5.0), 0);
    QCOMPARE(grey_level(kInf, -5.0, 5.0), 255);
    // Upper bound below the lower: black up to the lower bound, white above.
    QCOMPARE(grey_level(0.0, 0.0, -2.0), 0);
    QCOMPARE(grey_level(1e-9, 0.0, -2.0), 255);
  }

  void grey_levels_without_a_level_are_black() {
    QCOMPARE(grey_level(kNaN, -5.0, 5.0), 0);
    QCOMPARE(grey_level(0.0, kNaN, 5.0), 0);
    QCOMPARE(grey_level(0.0, -5.0, kNaN), 0);
    // Spans too small for the float scale, as a normal float, a subnormal one
    // and below the float range; and a span beyond it (scale 0).
    QCOMPARE(grey_level(0.5e-37, 0.0, 1e-37), 0);
    QCOMPARE(grey_level(0.5e-40, 0.0, 1e-40), 0);
    QCOMPARE(grey_level(0.5e-300, 0.0, 1e-300), 0);
    QCOMPARE(grey_level(0.0, -1e300, 1e300), 0);
    QCOMPARE(grey_level(0.5e-35, 0.0, 1e-35), 127);
  }

  void colours() {
    const double js[] = {0.0, 0.25, 0.5, 0.75, 1.0};
    const int ws[] = {0, 63, 127, 191, 255};
    const Rgb cs[] = {{0, 0, 255}, {0, 252, 255}, {0, 255, 3}, {252, 255, 0}, {255, 3, 0}};
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(j_colour_index(js[i], 0.0, 1.0), ws[i]);
      QCOMPARE(j_colour_ramp(ws[i]), cs[i]);
    }
    QCOMPARE(j_colour_index(0.3, 0.0, 0.3), 254);
    QCOMPARE(j_colour_ramp(254), (Rgb{255, 7, 0}));
    QCOMPARE(j_colour_ramp(64), (Rgb{0, 255, 255}));
    QCOMPARE(j_colour_ramp(128), (Rgb{0, 255, 0}));
    QCOMPARE(j_colour_ramp(192), (Rgb{255, 255, 0}));
    // Outside the bounds, however far.
    QCOMPARE(j_colour_index(1e6, 0.0, 1.0), 255);
    QCOMPARE(j_colour_index(-1e6, 0.0, 1.0), 0);
    // Equal bounds (also J at the bound), NaN and infinite J: blue.
    const double j0 = 0.9955255179295146;
    QCOMPARE(j_colour_index(j0, j0, j0), 0);
    QCOMPARE(j_colour_index(2.0, j0, j0), 0);
    QCOMPARE(j_colour_index(kNaN, 0.0, 1.0), 0);
    QCOMPARE(j_colour_index(kInf, 0.0, 1.0), 0);
  }

  void places() {
    // 800 x 800: x 38 + k .. 41 + k, y 6 + r .. 9 + r inclusive, no column shift.
    const CellLayout l800 = cell_layout(800, 800, 800, 800);
    QCOMPARE(marker_rect(l800, 7, 5), (PixelRect{43, 13, 47, 17}));
    QCOMPARE(marker_rect(l800, 7, 6), (PixelRect{44, 13, 48, 17}));
    // 50 x 50: odd columns begin at y 0.
    const CellLayout l50 = cell_layout(800, 800, 50, 50);
    QCOMPARE(cell_rect(l50, 0, 1), (PixelRect{56, 0, 72, 16}));
    QCOMPARE(marker_rect(l50, 0, 1), (PixelRect{62, 6, 66, 10}));
    // 200 x 200: a marker is its cell.
    const CellLayout l200 = cell_layout(800, 800, 200, 200);
    for (int k : {0, 1, 199}) QCOMPARE(marker_rect(l200, 199, k), cell_rect(l200, 199, k));
    // No cells narrower than a pixel, no division by an empty lattice.
    QCOMPARE(cell_layout(400, 400, 800, 800).cell_width, 0);
    QCOMPARE(cell_layout(800, 800, 0, 0).cell_height, 0);
  }

  void status_texts() {
    QCOMPARE(status_word(1, 0), "Stopped");
    QCOMPARE(status_word(0, 0), "Running");
    QCOMPARE(status_word(1, 1), "Running");
    QCOMPARE(status_word(0, 1), "Running");
    QCOMPARE(mean_p_text(-123.456), std::string("Mean p = -123.46     "));
    QCOMPARE(min_p_text(-5.0), std::string("Min p = -5.00             "));
    QCOMPARE(max_p_text(5.0), std::string("Max p =  5.00             "));
    QCOMPARE(step_text(0), std::string("Time step = 0          "));
    QCOMPARE(legend_label_text(0.9955255179295146), std::string("0.996"));
  }
};

QTEST_MAIN(RenderMathTest)
#include "test_levels_and_layout.moc"
