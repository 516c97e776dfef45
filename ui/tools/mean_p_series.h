// The run's mean p against the step, as the plot window shows it, and an
// estimate of the steps made per second. No Qt: plain data that the plot
// window feeds at every repaint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace ombrisk {

struct MeanPPoint {
  int step = 0;
  double mean_p = 0.0;
};

// The series since the last lattice rebuild, bounded in memory: a record is
// kept as a sample when it lies at least `stride()` steps after the previous
// sample; when more than `capacity` samples are kept, the stride doubles and
// the series is thinned to the new spacing, so a run of any length keeps at
// most capacity + 1 points and still spans the whole run from its first
// record. The newest record is always the last point, sample or not, so the
// plot reaches the step on screen.
class MeanPSeries {
 public:
  static constexpr std::size_t kDefaultCapacity = 4096;

  // A capacity below 2 is taken as 2.
  explicit MeanPSeries(std::size_t capacity = kDefaultCapacity);

  // A step below the newest one means the lattice was rebuilt: the series
  // starts again from this record. The same step again replaces its value.
  void record(int step, double mean_p);

  // Forgets everything (a rebuild that the step alone does not show, such as
  // one at step 0).
  void reset();

  const std::vector<MeanPPoint>& points() const { return points_; }
  bool empty() const { return points_.empty(); }
  std::size_t capacity() const { return capacity_; }
  // The least spacing of samples in steps, 1 until the series first fills.
  std::int64_t stride() const { return stride_; }

  // "step,mean_p" and one line per point; mean_p with 17 significant digits,
  // so it reads back to the same double.
  std::string csv() const;

 private:
  // Keeps the first sample and each later one at least `stride_` steps
  // after the previous kept one; the newest record stays as the tail.
  void thin();

  std::size_t capacity_;
  std::int64_t stride_ = 1;
  std::vector<MeanPPoint> points_;
  // True when the last point is the newest record but not a sample.
  bool tail_not_sample_ = false;
};

// Steps per second over the last few seconds of (step, time) pairs.
class StepRate {
 public:
  // Pairs older than this, counted back from the newest, are forgotten.
  static constexpr double kWindowSeconds = 5.0;

  // A step below the newest one (a rebuild) starts the estimate again.
  void add(int step, double seconds);
  void reset() { samples_.clear(); }

  // The rate at time `now`: 0 with fewer than two pairs, and 0 once no pair
  // has come for longer than the window or twice the last gap between pairs,
  // whichever is longer (the run has stopped).
  double per_second(double now) const;

 private:
  struct Sample {
    int step;
    double seconds;
  };
  std::deque<Sample> samples_;
};

}  // namespace ombrisk
