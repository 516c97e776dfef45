// The mean p series behind the plot window and the steps-per-second estimate.
#include <QtTest>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/c_text.h"
#include "ui/tools/mean_p_series.h"

using namespace ombrisk;

namespace {

double value_at(int step) { return std::sin(step * 1e-3) + step * 1e-7; }

// Reads "step,mean_p" text back into points; fails the test on any bad line.
std::vector<MeanPPoint> parse_csv(const std::string& text) {
  std::vector<MeanPPoint> points;
  const std::string header = "step,mean_p\n";
  if (text.compare(0, header.size(), header) != 0) {
    QTest::qFail("CSV header missing", __FILE__, __LINE__);
    return points;
  }
  std::size_t pos = header.size();
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) {
      QTest::qFail("CSV line without newline", __FILE__, __LINE__);
      return points;
    }
    const std::string line = text.substr(pos, end - pos);
    std::size_t at = 0;
    MeanPPoint point;
    if (!c_scan_int(line, at, point.step) || at >= line.size() || line[at] != ',') {
      QTest::qFail(("bad CSV line: " + line).c_str(), __FILE__, __LINE__);
      return points;
    }
    point.mean_p = c_atof(std::string_view(line).substr(at + 1));
    points.push_back(point);
    pos = end + 1;
  }
  return points;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

class TestToolsSeries : public QObject {
  Q_OBJECT

 private slots:
  void keeps_every_record_below_capacity() {
    MeanPSeries series(64);
    for (int step = 1; step <= 64; ++step) series.record(step, value_at(step));
    QCOMPARE(series.points().size(), std::size_t{64});
    QCOMPARE(series.stride(), std::int64_t{1});
    for (int i = 0; i < 64; ++i) {
      QCOMPARE(series.points()[i].step, i + 1);
      QCOMPARE(series.points()[i].mean_p, value_at(i + 1));
    }
  }

  // Millions of records, one per step and one per 250 steps (a full-speed
  // run on the largest lattice): memory stays bounded, the series still
  // reaches from the first record to the newest, evenly spread, and every
  // kept point carries the value recorded at its step.
  void bounded_and_spanning_under_millions_of_records() {
    for (const int every : {1, 250}) {
      MeanPSeries series;
      const int last = every == 1 ? 3'000'000 : 1'000'000'000;
      std::size_t most = 0;
      for (int step = 0; step <= last; step += every) {
        series.record(step, value_at(step));
        most = std::max(most, series.points().size());
      }
      const auto& points = series.points();
      QVERIFY(most <= series.capacity() + 1);
      QVERIFY(points.size() >= series.capacity() / 2);
      QCOMPARE(points.front().step, 0);
      QCOMPARE(points.back().step, last);
      int widest_gap = 0;
      for (std::size_t i = 0; i < points.size(); ++i) {
        QCOMPARE(points[i].mean_p, value_at(points[i].step));
        QCOMPARE(points[i].step % every, 0);
        if (i > 0) {
          QVERIFY(points[i].step > points[i - 1].step);
          widest_gap = std::max(widest_gap, points[i].step - points[i - 1].step);
        }
      }
      // Evenly spread: no gap far wider than the run divided by the points.
      QVERIFY2(widest_gap <= 4 * (last / int(points.size())) + every,
               qPrintable(QString("widest gap %1 over %2 points").arg(widest_gap).arg(points.size())));
    }
  }

  // The newest record is always the last point, even between samples.
  void newest_record_is_always_shown() {
    MeanPSeries series(8);
    for (int step = 0; step <= 1000; ++step) {
      series.record(step, value_at(step));
      QCOMPARE(series.points().back().step, step);
      QCOMPARE(series.points().back().mean_p, value_at(step));
      QVERIFY(series.points().size() <= 9);
    }
  }

  void rebuild_and_repeated_steps() {
    MeanPSeries series(8);
    for (int step = 0; step <= 100; ++step) series.record(step, 1.0);
    QVERIFY(series.stride() > 1);

    // A repaint of the same step replaces its value instead of adding a point.
    const std::size_t size = series.points().size();
    series.record(100, 2.5);
    QCOMPARE(series.points().size(), size);
    QCOMPARE(series.points().back().mean_p, 2.5);

    // A step going back is a rebuilt lattice: the series starts again.
    series.record(0, 0.0);
    QCOMPARE(series.points().size(), std::size_t{1});
    QCOMPARE(series.stride(), std::int64_t{1});
    series.record(1, 0.5);
    QCOMPARE(series.points().size(), std::size_t{2});

    series.reset();
    QVERIFY(series.empty());
    QCOMPARE(series.csv(), std::string("step,mean_p\n"));
  }

  void csv_round_trips_every_double() {
    const std::vector<double> values = {0.0,        -0.0,   1.0 / 3.0, -2.0 / 7.0, 1e-300, 4.9e-324,
                                        1.7976931348623157e308, 123456789.12345679, -1e22, 0.1};
    MeanPSeries series;
    for (std::size_t i = 0; i < values.size(); ++i) series.record(int(i) * 250, values[i]);
    const std::vector<MeanPPoint> back = parse_csv(series.csv());
    QCOMPARE(back.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      QCOMPARE(back[i].step, int(i) * 250);
      QVERIFY2(same_bits(back[i].mean_p, values[i]), qPrintable(QString::number(values[i], 'g', 17)));
    }
  }

  void step_rate() {
    StepRate rate;
    QCOMPARE(rate.per_second(0.0), 0.0);
    rate.add(0, 10.0);
    QCOMPARE(rate.per_second(10.0), 0.0);

    // 250 steps every half second.
    for (int i = 1; i <= 40; ++i) rate.add(250 * i, 10.0 + 0.5 * i);
    QCOMPARE(rate.per_second(30.0), 500.0);

    // The rate follows a change once the old pairs are out of the window.
    for (int i = 1; i <= 12; ++i) rate.add(10000 + 100 * i, 30.0 + 0.5 * i);
    QCOMPARE(rate.per_second(36.0), 200.0);

    // No pairs for a while: the run has stopped.
    QCOMPARE(rate.per_second(36.0 + StepRate::kWindowSeconds + 0.1), 0.0);

    // Slow repaints (a large lattice) are not taken for a stop too early.
    StepRate slow;
    slow.add(0, 0.0);
    slow.add(250, 8.0);
    QCOMPARE(slow.per_second(20.0), 250.0 / 8.0);
    QCOMPARE(slow.per_second(24.5), 0.0);

    // A rebuild (the step going back) starts again.
    rate.add(0, 40.0);
    QCOMPARE(rate.per_second(40.0), 0.0);
    rate.add(30, 41.0);
    QCOMPARE(rate.per_second(41.0), 30.0);
  }
};

QTEST_APPLESS_MAIN(TestToolsSeries)
#include "test_tools_series.moc"
