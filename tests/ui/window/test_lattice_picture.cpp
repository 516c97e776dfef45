// The whole client-area picture, pixel by pixel: the start-up picture, markers
// at the lattice's edge, the legend, the fast image path against the plain
// painter, lattices with no ordinary picture, and the lock time-out.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>

#include "model/model_state.h"
#include "picture/lattice_picture.h"
#include "ui/window/lattice_view.h"
#include "picture/levels.h"
#include "picture/picture_layout.h"

using namespace ombrisk;

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlue = qRgb(0, 0, 255);
QRgb grey(int g) { return qRgb(g, g, g); }

void set_stomata(ModelState& m, std::vector<int> cols, std::vector<int> rows,
                 std::vector<double> js) {
  m.stomata.stoma_count = static_cast<int>(cols.size());
  allocate_stoma_table(m);
  m.stomata.stoma_col = std::move(cols);
  m.stomata.stoma_row = std::move(rows);
  m.stomata.stoma_j = std::move(js);
}

void resize_lattice(ModelState& m, int rows, int cols) {
  free_lattice(m);
  m.rows = rows;
  m.cols = cols;
  reset_lattice(m);
}

int count_pixels(const QImage& image, QRect area, bool (*match)(QRgb)) {
  int n = 0;
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
    const int th = view.text_height();
    QCOMPARE(view.size(), QSize(850, 810 + th));
    const QImage image = view.render_picture();
    // The paint event shows the same picture.
    QVERIFY(view.grab().toImage().convertToFormat(QImage::Format_RGB32) == image);

    // Grey 127 cells of 8 x 8: even columns y 8 .. 808, odd 4 .. 804, x 40 .. 840;
    // blue markers; white around.
    for (int y = 0; y < 810; ++y) {
      for (int x = 40; x < 850; ++x) {
        QRgb expected = kWhite;
        const int k = (x - 40) / 8;
        const int top = (k % 2 == 0) ? 8 : 4;
        if (x < 840 && y >= top && y < top + 800) expected = grey(127);
        for (int i = 0; i < kStartupStomaCount; ++i) {
          const int mx = 40 + 8 * kStartupStomaCol[i] + 2;
          const int my = 8 * kStartupStomaRow[i] + (kStartupStomaCol[i] % 2 == 0 ? 8 : 4) + 2;
          if (x >= mx && x < mx + 4 && y >= my && y < my + 4) expected = kBlue;
        }
        if (image.pixel(x, y) != expected) {
          QFAIL(qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
        }
      }
    }
    // Red "Stopped" at x 5 and nowhere else on the line; text where the step is
    // and in both legend labels.
    const int top = view.client_height() - th;
    QVERIFY(count_pixels(image, QRect(5, top, 175, th), reddish) > 20);
    QCOMPARE(count_pixels(image, QRect(185, top, 665, th), reddish), 0);
    QVERIFY(count_pixels(image, QRect(580, top, 270, th), darkish) > 20);
    QVERIFY(count_pixels(image, QRect(3, 150 - th, 37, th), darkish) > 10);
    QVERIFY(count_pixels(image, QRect(3, 665, 37, th), darkish) > 10);

    // Only the step's own place changes with the step.
    m.step = 123456;
    const QImage stepped = view.render_picture();
    QVERIFY(stepped.copy(580, top, 270, th) != image.copy(580, top, 270, th));
    QVERIFY(stepped.copy(0, 0, 580, image.height()) == image.copy(0, 0, 580, image.height()));
  }

  void markers_reach_beyond_one_pixel_cells_and_lie_in_table_order() {
    ModelState m;
    start_up_model(m);
    resize_lattice(m, 800, 800);
    m.display.j_display_min = 0.0;
    m.display.j_display_max = 1.0;
    set_stomata(m, {0, 799, 5, 5}, {0, 799, 7, 7}, {0.0, 0.0, 0.0, 1.0});
    const QImage image = lattice_picture(m);
    QCOMPARE(image.pixel(38, 6), kBlue);
    QCOMPARE(image.pixel(37, 6), kWhite);
    QCOMPARE(image.pixel(840, 808), kBlue);
    QCOMPARE(image.pixel(841, 808), kWhite);
    QCOMPARE(image.pixel(41, 807), grey(127));
    QCOMPARE(image.pixel(41, 808), kWhite);
    QCOMPARE(image.pixel(43, 13), qRgb(255, 3, 0));  // the later stoma on top
    QCOMPARE(image.pixel(42, 13), grey(127));
  }

  void legend_bars() {
    ModelState m;
    start_up_model(m);
    set_stomata(m, {}, {}, {});
    const QImage image = lattice_picture(m);
    const int bars[] = {0, 64, 128, 192, 255};
    const QRgb colours[] = {kBlue, qRgb(0, 255, 255), qRgb(0, 255, 0), qRgb(255, 255, 0),
                            qRgb(255, 3, 0)};
    for (int i = 0; i < 5; ++i) {
      for (int y = 150 + 2 * bars[i]; y < 152 + 2 * bars[i]; ++y) {
        QCOMPARE(image.pixel(14, y), colours[i]);
        QCOMPARE(image.pixel(21, y), colours[i]);
        QCOMPARE(image.pixel(13, y), kWhite);
        QCOMPARE(image.pixel(22, y), kWhite);
      }
    }
  }

  // The fast path must give exactly the pixels of one fillRect per cell, on
  // lattices of every size and shape, clipped or not, with NaN and values
  // beyond the bounds.
  void fast_path_matches_painter() {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<double> value(-7.0, 7.0);
    const QFont font;
    QImage probe(1, 1, QImage::Format_RGB32);
    const int th = QFontMetrics(font, &probe).height();
    const int shapes[][4] = {{50, 50, 800, 800}, {100, 100, 800, 800}, {200, 200, 800, 800},
                             {400, 400, 800, 800}, {800, 800, 800, 800}, {30, 50, 800, 800},
                             {7, 9, 800, 800},     {1000, 50, 800, 800}, {800, 800, 400, 400},
                             {50, 400, 800, 800},  {25, 25, 1000, 1000}, {101, 99, 800, 790}};
    const QSize sizes[] = {QSize(850, 810 + th), QSize(300, 200), QSize(1200, 1100)};
    int round = 0;
    ModelState copy;  // reused across shapes, as a paint reuses its copy
    for (const auto& s : shapes) {
      ModelState m;
      start_up_model(m);
      resize_lattice(m, s[0], s[1]);
      m.view_width = s[2];
      m.view_height = s[3];
      for (double& p : m.p_current.values) p = value(gen);
      m.p_current[0][0] = std::numeric_limits<double>::quiet_NaN();
      m.display.p_display_min = -5.0 + round;
      m.display.p_display_max = 5.0 - 0.5 * round;
      m.display.j_display_min = -0.5;
      m.display.j_display_max = 0.5;
      // Values on and next to the bounds, infinities and a negative zero, where
      // the grey mapping turns.
      const double lo = m.display.p_display_min, hi = m.display.p_display_max;
      const double inf = std::numeric_limits<double>::infinity();
      const double edges[] = {lo, hi, std::nextafter(hi, -inf), std::nextafter(lo, inf),
                              inf, -inf, -0.0, std::nextafter(lo, -inf)};
      for (std::size_t i = 0; i < std::size(edges); ++i) {
        m.p_current.values[(1 + 7 * i) % m.p_current.values.size()] = edges[i];
      }
      m.step = 12345 * round;
      m.mean_p = -0.37 * round;
      m.paused = round % 2;
      m.full_speed = round % 3 == 0 ? 1 : 0;
      std::uniform_int_distribution<int> col(0, s[1] - 1), row(0, s[0] - 1);
      std::vector<int> cols, rows;
      std::vector<double> js;
      for (int i = 0; i < 1 + (round * 997) % 3000; ++i) {
        cols.push_back(col(gen));
        rows.push_back(row(gen));
        js.push_back(value(gen) / 7.0);
      }
      set_stomata(m, cols, rows, js);
      copy_picture_fields(m, copy);
      for (const QSize& size : sizes) {
        QImage fast(size, QImage::Format_RGB32);
        fast.fill(Qt::black);
        render_lattice_picture(fast, m, 810 + th, th, font);
        QImage painted(size, QImage::Format_RGB32);
        painted.fill(Qt::black);
        QPainter painter(&painted);
        painter.setFont(font);
        paint_lattice_picture(painter, m, 810 + th, th);
        painter.end();
        QImage from_copy(size, QImage::Format_RGB32);
        from_copy.fill(Qt::black);
        render_lattice_picture(from_copy, copy, 810 + th, th, font);
        QVERIFY2(from_copy == fast, "the copy a paint draws from shows another picture");
        QVERIFY2(fast == painted, qPrintable(QStringLiteral("%1 x %2 lattice in %3 x %4")
                                                 .arg(s[0]).arg(s[1])
                                                 .arg(size.width()).arg(size.height())));
      }
      ++round;
    }
  }

  void lattices_without_an_ordinary_picture() {
    ModelState m;
    start_up_model(m);
    m.p_current[0][0] = std::numeric_limits<double>::quiet_NaN();
    QImage image = lattice_picture(m);
    QCOMPARE(image.pixel(44, 12), grey(0));
    QCOMPARE(image.pixel(52, 12), grey(127));

    // No rows or columns, and a grid caught mid-rebuild: no cells, the rest drawn.
    resize_lattice(m, 0, 0);
    set_stomata(m, {0}, {0}, {0.0});
    QCOMPARE(lattice_picture(m).pixel(100, 100), kWhite);
    m.rows = 100;
    m.cols = 100;
    image = lattice_picture(m);
    QCOMPARE(image.pixel(100, 100), kWhite);
    QCOMPARE(image.pixel(14, 150), kBlue);

    // Stomata far outside, arrays shorter than the count, huge cells.
    ModelState wild;
    start_up_model(wild);
    set_stomata(wild, {-5, 2147483647}, {-2147483647 - 1, 2147483647}, {0.0, 2.0});
    wild.stomata.stoma_count = 50;
    wild.view_width = 2000000000;
    wild.view_height = 2000000000;
    QCOMPARE(lattice_picture(wild).pixel(100, 100), grey(127));
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

    int boxes = 0;
    QString text, caption;
    QWidget* owner = &view;
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
  }
};

QTEST_MAIN(RenderPictureTest)
#include "test_lattice_picture.moc"
