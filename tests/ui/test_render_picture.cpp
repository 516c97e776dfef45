// The whole client-area picture, pixel by pixel: the start-up picture, marker
// and legend places, the texts, the fast image path against the plain painter,
// and lattices that give no ordinary picture.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <limits>
#include <random>

#include "model/model_state.h"
#include "ui/lattice_picture.h"
#include "ui/lattice_view.h"
#include "ui/render_math.h"

using namespace ombrisk;

namespace {

QRgb rgb(Rgb c) { return qRgb(c.r, c.g, c.b); }
QRgb grey(int g) { return qRgb(g, g, g); }
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);

int text_height_of(const QFont& font) {
  QImage probe(1, 1, QImage::Format_RGB32);
  return QFontMetrics(font, &probe).height();
}

// The same picture through the painter, one fillRect per cell.
QImage painted_picture(const ModelState& m, QSize size, const QFont& font) {
  const int th = text_height_of(font);
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.setFont(font);
  paint_lattice_picture(painter, m, kClientHeightAboveStatus + th, th);
  return image;
}

QImage fast_picture(const ModelState& m, QSize size, const QFont& font) {
  const int th = text_height_of(font);
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  render_lattice_picture(image, m, kClientHeightAboveStatus + th, th, font);
  return image;
}

QString first_difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return QStringLiteral("sizes differ");
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixel(x, y) != b.pixel(x, y)) {
        return QStringLiteral("(%1, %2): %3 vs %4")
            .arg(x)
            .arg(y)
            .arg(a.pixel(x, y), 8, 16)
            .arg(b.pixel(x, y), 8, 16);
      }
    }
  }
  return {};
}

void make_square(ModelState& m, int side) {
  free_lattice(m);
  m.rows = side;
  m.cols = side;
  reset_lattice(m);
}

void set_stomata(ModelState& m, std::vector<int> cols, std::vector<int> rows,
                 std::vector<double> js) {
  m.stomata.stoma_count = static_cast<int>(cols.size());
  allocate_stoma_table(m);
  m.stomata.stoma_col = std::move(cols);
  m.stomata.stoma_row = std::move(rows);
  m.stomata.stoma_j = std::move(js);
}

bool in_rect(int x, int y, const PixelRect& r) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// Pixels of a colour family inside an area.
int count_pixels(const QImage& image, QRect area, bool (*match)(QRgb)) {
  int n = 0;
  area = area.intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) n += match(image.pixel(x, y)) ? 1 : 0;
  }
  return n;
}
bool reddish(QRgb c) { return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100; }
bool darkish(QRgb c) { return qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100; }

}  // namespace

class RenderPictureTest : public QObject {
  Q_OBJECT

 private slots:
  void start_up_picture() {
    ModelState m;
    start_up_model(m);
    std::timed_mutex lock;
    LatticeView view(m, lock);
    QCOMPARE(view.size(), QSize(850, 810 + view.text_height()));
    QCOMPARE(view.client_height(), 810 + view.text_height());
    const QImage image = view.render_picture();
    QCOMPARE(image.size(), view.size());

    // The lattice area pixel by pixel: grey 127 cells of 8 x 8, even columns
    // y 8 .. 808, odd 4 .. 804, x 40 .. 840, blue markers, white around.
    for (int y = 0; y < 810; ++y) {
      for (int x = 40; x < 850; ++x) {
        QRgb expected = kWhite;
        if (x >= 40 && x < 840) {
          const int k = (x - 40) / 8;
          const int top = (k % 2 == 0) ? 8 : 4;
          if (y >= top && y < top + 800) expected = grey(127);
        }
        for (int i = 0; i < kStartupStomaCount; ++i) {
          const int left = 40 + 8 * kStartupStomaCol[i] + 2;
          const int top = 8 * kStartupStomaRow[i] + ((kStartupStomaCol[i] % 2 == 0) ? 8 : 4) + 2;
          if (x >= left && x < left + 4 && y >= top && y < top + 4) expected = kBlue;
        }
        if (image.pixel(x, y) != expected) {
          QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) is %3").arg(x).arg(y).arg(
              image.pixel(x, y), 8, 16)));
        }
      }
    }

    // Status line: the red run-state word at x 5, black text where the step is.
    const int top = view.client_height() - view.text_height();
    QVERIFY(count_pixels(image, QRect(5, top, 175, view.text_height()), reddish) > 20);
    QCOMPARE(count_pixels(image, QRect(185, top, 665, view.text_height()), reddish), 0);
    QVERIFY(count_pixels(image, QRect(580, top, 270, view.text_height()), darkish) > 20);
    // The legend labels: above the top bar and below the bottom one.
    QVERIFY(count_pixels(image, QRect(3, 150 - view.text_height(), 37, view.text_height()),
                         darkish) > 10);
    QVERIFY(count_pixels(image, QRect(3, 665, 37, view.text_height()), darkish) > 10);
  }

  void running_word_and_texts_change_only_their_own_place() {
    ModelState m;
    start_up_model(m);
    const QFont font;
    const int th = text_height_of(font);
    const QImage stopped = lattice_picture(m, font);
    m.full_speed = 1;
    const QImage running = lattice_picture(m, font);
    const int top = kClientHeightAboveStatus;
    // Same red word area, but a different word; everything else the same.
    QVERIFY(count_pixels(running, QRect(5, top, 175, th), reddish) > 20);
    QVERIFY(running.copy(0, top, 180, th) != stopped.copy(0, top, 180, th));
    QVERIFY(running.copy(180, 0, 670, running.height()) ==
            stopped.copy(180, 0, 670, stopped.height()));

    m.full_speed = 0;
    m.step = 123456;
    const QImage stepped = lattice_picture(m, font);
    QVERIFY(stepped.copy(580, top, 270, th) != stopped.copy(580, top, 270, th));
    QVERIFY(stepped.copy(0, 0, 580, stepped.height()) == stopped.copy(0, 0, 580, stopped.height()));
  }

  void markers_on_one_pixel_cells() {
    ModelState m;
    start_up_model(m);
    make_square(m, 800);
    set_stomata(m, {0, 5, 6, 799}, {0, 7, 7, 799}, {0.0, 0.0, 0.0, 0.0});
    const QImage image = lattice_picture(m);
    // A stoma at column k, row r covers x 38 + k .. 41 + k, y 6 + r .. 9 + r.
    for (int i = 0; i < 4; ++i) {
      const int k = m.stomata.stoma_col[i];
      const int r = m.stomata.stoma_row[i];
      for (int y = 6 + r; y <= 9 + r; ++y) {
        for (int x = 38 + k; x <= 41 + k; ++x) QCOMPARE(image.pixel(x, y), kBlue);
      }
    }
    // The markers at the lattice's edge reach beyond it; the cell next to them
    // is still grey and the columns are not shifted.
    QCOMPARE(image.pixel(38, 6), kBlue);
    QCOMPARE(image.pixel(42, 8), grey(127));
    QCOMPARE(image.pixel(37, 6), kWhite);
    QCOMPARE(image.pixel(42, 13), grey(127));
    QCOMPARE(image.pixel(43, 12), grey(127));
    QCOMPARE(image.pixel(48, 16), grey(127));
    QCOMPARE(image.pixel(47, 17), grey(127));
    QCOMPARE(image.pixel(840, 808), kBlue);
    QCOMPARE(image.pixel(841, 808), kWhite);
    QCOMPARE(image.pixel(840, 809), kWhite);
    QCOMPARE(image.pixel(45, 8), grey(127));
    QCOMPARE(image.pixel(45, 7), kWhite);
    QCOMPARE(image.pixel(41, 807), grey(127));
    QCOMPARE(image.pixel(41, 808), kWhite);
  }

  void markers_on_large_and_four_pixel_cells() {
    ModelState m;
    start_up_model(m);
    make_square(m, 50);
    set_stomata(m, {1}, {0}, {0.0});
    QImage image = lattice_picture(m);
    for (int y = 0; y < 16; ++y) {
      for (int x = 56; x < 72; ++x) {
        const bool inside = x >= 62 && x <= 65 && y >= 6 && y <= 9;
        QCOMPARE(image.pixel(x, y), inside ? kBlue : grey(127));
      }
    }
    QCOMPARE(image.pixel(45, 7), kWhite);  // even columns begin at y 8

    // Four-pixel cells: a marker covers its cell exactly. Distinct J bounds and
    // a J in the middle give a colour that no other element has.
    make_square(m, 200);
    m.display.j_display_min = 0.0;
    m.display.j_display_max = 1.0;
    set_stomata(m, {3, 4}, {10, 10}, {0.5, 0.75});
    image = lattice_picture(m);
    const CellLayout l = cell_layout(800, 800, 200, 200);
    for (int i = 0; i < 2; ++i) {
      const PixelRect cell = cell_rect(l, 10, m.stomata.stoma_col[i]);
      const QRgb colour = rgb(j_colour_ramp(j_colour_index(m.stomata.stoma_j[i], 0.0, 1.0)));
      for (int y = int(cell.top) - 1; y <= cell.bottom; ++y) {
        for (int x = int(cell.left) - 1; x <= cell.right; ++x) {
          const bool in_other = in_rect(x, y, cell_rect(l, 10, m.stomata.stoma_col[1 - i]));
          if (in_other) continue;
          QCOMPARE(image.pixel(x, y), in_rect(x, y, cell) ? colour : grey(127));
        }
      }
    }
  }

  void later_marker_covers_earlier() {
    ModelState m;
    start_up_model(m);
    m.display.j_display_min = 0.0;
    m.display.j_display_max = 1.0;
    set_stomata(m, {10, 10}, {20, 20}, {1.0, 0.0});
    QCOMPARE(lattice_picture(m).pixel(40 + 80 + 2, 8 + 160 + 2), kBlue);
    set_stomata(m, {10, 10}, {20, 20}, {0.0, 1.0});
    QCOMPARE(lattice_picture(m).pixel(40 + 80 + 2, 8 + 160 + 2), qRgb(255, 3, 0));
  }

  void legend_bars() {
    ModelState m;
    start_up_model(m);
    m.stomata.stoma_count = 0;
    allocate_stoma_table(m);
    const QImage image = lattice_picture(m);
    const struct {
      int bar;
      QRgb colour;
    } bars[] = {{0, qRgb(0, 0, 255)},
                {64, qRgb(0, 255, 255)},
                {128, qRgb(0, 255, 0)},
                {192, qRgb(255, 255, 0)},
                {255, qRgb(255, 3, 0)}};
    for (const auto& b : bars) {
      for (int y = 150 + 2 * b.bar; y < 152 + 2 * b.bar; ++y) {
        QCOMPARE(image.pixel(14, y), b.colour);
        QCOMPARE(image.pixel(21, y), b.colour);
        QCOMPARE(image.pixel(13, y), kWhite);
        QCOMPARE(image.pixel(22, y), kWhite);
      }
    }
    QCOMPARE(image.pixel(17, 149), kWhite);
    QCOMPARE(image.pixel(17, 662), kWhite);
  }

  // The key check of the fast path: it must give exactly the pixels of the
  // obvious painter, on lattices of every size and shape, in pictures that
  // clip it, with values beyond the bounds and NaN.
  void fast_path_matches_painter() {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> value(-7.0, 7.0);
    const QFont font;
    const int client_height = kClientHeightAboveStatus + text_height_of(font);
    struct Shape {
      int rows, cols, view_width, view_height;
    };
    const Shape shapes[] = {{50, 50, 800, 800},   {100, 100, 800, 800}, {200, 200, 800, 800},
                            {400, 400, 800, 800}, {800, 800, 800, 800}, {30, 50, 800, 800},
                            {7, 9, 800, 800},     {3, 2, 800, 800},     {1000, 50, 800, 800},
                            {800, 800, 400, 400}, {50, 400, 800, 800},  {25, 25, 1000, 1000},
                            {1, 1, 800, 800},     {101, 99, 800, 790}};
    const QSize sizes[] = {QSize(850, client_height), QSize(300, 200), QSize(1200, 1100)};
    int round = 0;
    for (const Shape& s : shapes) {
      ModelState m;
      start_up_model(m);
      free_lattice(m);
      m.rows = s.rows;
      m.cols = s.cols;
      m.view_width = s.view_width;
      m.view_height = s.view_height;
      reset_lattice(m);
      for (double& p : m.p_current.values) p = value(gen);
      m.p_current[0][0] = std::numeric_limits<double>::quiet_NaN();
      m.display.p_display_min = -5.0 + round;
      m.display.p_display_max = 5.0 - 0.5 * round;
      const int n = 1 + (round * 997) % 3000;
      std::uniform_int_distribution<int> col(0, s.cols - 1), row(0, s.rows - 1);
      std::vector<int> cols, rows;
      std::vector<double> js;
      for (int i = 0; i < n; ++i) {
        cols.push_back(col(gen));
        rows.push_back(row(gen));
        js.push_back(value(gen) / 7.0);
      }
      set_stomata(m, cols, rows, js);
      m.display.j_display_min = -0.5;
      m.display.j_display_max = 0.5;
      m.paused = round % 2;
      m.step = round * 1000;
      for (const QSize& size : sizes) {
        const QString diff =
            first_difference(fast_picture(m, size, font), painted_picture(m, size, font));
        QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("%1 x %2 in %3 x %4: %5")
                                                .arg(s.rows)
                                                .arg(s.cols)
                                                .arg(size.width())
                                                .arg(size.height())
                                                .arg(diff)));
      }
      ++round;
    }
  }

  void cells_without_a_level_are_black() {
    ModelState m;
    start_up_model(m);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    m.p_current[0][0] = nan;
    QCOMPARE(lattice_picture(m).pixel(44, 12), grey(0));
    QCOMPARE(lattice_picture(m).pixel(52, 12), grey(127));
    m.display.p_display_max = nan;
    QCOMPARE(lattice_picture(m).pixel(52, 12), grey(0));
    m.display.p_display_min = 0.0;
    m.display.p_display_max = 1e-300;
    m.p_current[0][1] = 1e-301;
    QCOMPARE(lattice_picture(m).pixel(52, 12), grey(0));
  }

  void lattices_without_a_picture_do_not_crash() {
    const QFont font;
    ModelState m;
    start_up_model(m);

    // No rows and no columns: no cells, the rest as usual.
    free_lattice(m);
    m.rows = 0;
    m.cols = 0;
    reset_lattice(m);
    set_stomata(m, {0}, {0}, {0.0});
    QImage image = lattice_picture(m, font);
    QCOMPARE(image.pixel(100, 100), kWhite);
    QCOMPARE(image.pixel(14, 150), kBlue);

    // A grid caught while being rebuilt: no cells.
    m.rows = 100;
    m.cols = 100;
    image = lattice_picture(m, font);
    QCOMPARE(image.pixel(100, 100), kWhite);

    // Cells narrower than a pixel: nothing for them, the markers still drawn.
    ModelState narrow;
    start_up_model(narrow);
    make_square(narrow, 800);
    narrow.view_width = 400;
    narrow.view_height = 400;
    set_stomata(narrow, {400}, {300}, {0.0});
    image = lattice_picture(narrow, font);
    QCOMPARE(image.pixel(100, 100), kWhite);
    QCOMPARE(image.pixel(38, 6), kBlue);

    // Stomata far outside the picture, huge cells, a negative view size.
    ModelState wild;
    start_up_model(wild);
    set_stomata(wild, {-5, 1000000, 2147483647}, {-2147483647 - 1, 5, 2147483647},
                {0.0, 1.0, 2.0});
    wild.view_width = 2000000000;
    wild.view_height = 2000000000;
    image = lattice_picture(wild, font);
    QCOMPARE(image.pixel(100, 100), grey(127));
    QCOMPARE(image.pixel(14, 150), kBlue);
    wild.view_width = -800;
    image = lattice_picture(wild, font);
    QCOMPARE(image.pixel(100, 100), kWhite);
    // Stoma arrays shorter than the count: only the entries that exist.
    wild.stomata.stoma_count = 50;
    image = lattice_picture(wild, font);
    QCOMPARE(image.pixel(14, 150), kBlue);
  }

  void widget_paint_shows_the_picture() {
    ModelState m;
    start_up_model(m);
    m.p_current[3][4] = 4.0;
    std::timed_mutex lock;
    LatticeView view(m, lock);
    const QImage painted = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage rendered = view.render_picture();
    QCOMPARE(painted.size(), rendered.size());
    QVERIFY(first_difference(painted, rendered).isEmpty());
    QCOMPARE(rendered.pixel(40 + 4 * 8, 8 + 3 * 8), grey(229));
  }

  void lock_time_out_paints_and_then_tells_once() {
    ModelState m;
    start_up_model(m);
    std::timed_mutex lock;
    LatticeView view(m, lock);
    view.set_mutex_wait(std::chrono::milliseconds(20));
    lock.lock();
    const QImage image = view.render_picture();
    view.render_picture();
    lock.unlock();
    QCOMPARE(image.pixel(44, 12), grey(127));

    // The message comes after the paint, once for both time-outs.
    int boxes = 0;
    QString text, caption;
    QWidget* owner = reinterpret_cast<QWidget*>(1);
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        ++boxes;
        text = box->text();
        caption = box->windowTitle();
        owner = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
      }
    });
    closer.start(10);
    QTest::qWait(300);
    QCOMPARE(boxes, 1);
    QCOMPARE(text, QStringLiteral("Can't get mutex to repaint!!"));
    QCOMPARE(caption, QStringLiteral("Error"));
    QCOMPARE(owner, nullptr);

    // A later time-out tells again.
    lock.lock();
    view.render_picture();
    lock.unlock();
    QTest::qWait(300);
    QCOMPARE(boxes, 2);
  }
};

QTEST_MAIN(RenderPictureTest)
#include "test_render_picture.moc"
