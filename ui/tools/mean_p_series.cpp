#include "ui/tools/mean_p_series.h"

#include <algorithm>

#include "datafile/c_text.h"

namespace ombrisk {

MeanPSeries::MeanPSeries(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 2)) {
  points_.reserve(capacity_ + 2);
}

void MeanPSeries::reset() {
  points_.clear();
  stride_ = 1;
  tail_not_sample_ = false;
}

void MeanPSeries::record(int step, double mean_p) {
  if (!points_.empty() && step < points_.back().step) reset();
  if (points_.empty()) {
    points_.push_back({step, mean_p});
    return;
  }
  if (step == points_.back().step) {
    points_.back().mean_p = mean_p;
    return;
  }
  if (tail_not_sample_) points_.pop_back();
  // The last point is now a sample (the first point always is).
  const bool is_sample = std::int64_t{step} - points_.back().step >= stride_;
  points_.push_back({step, mean_p});
  tail_not_sample_ = !is_sample;
  if (!tail_not_sample_) {
    while (points_.size() - (tail_not_sample_ ? 1 : 0) > capacity_) {
      stride_ *= 2;
      thin();
    }
  }
}

void MeanPSeries::thin() {
  const MeanPPoint newest = points_.back();
  if (tail_not_sample_) points_.pop_back();
  std::size_t kept = 1;
  for (std::size_t i = 1; i < points_.size(); ++i) {
    if (std::int64_t{points_[i].step} - points_[kept - 1].step >= stride_) {
      points_[kept++] = points_[i];
    }
  }
  points_.resize(kept);
  // The newest record stays, as the tail if the wider spacing dropped it.
  tail_not_sample_ = points_.back().step != newest.step;
  if (tail_not_sample_) points_.push_back(newest);
}

std::string MeanPSeries::csv() const {
  std::string text = "step,mean_p\n";
  for (const MeanPPoint& point : points_) {
    text += c_format("%d,%.17g\n", point.step, point.mean_p);
  }
  return text;
}

void StepRate::add(int step, double seconds) {
  if (!samples_.empty() && step < samples_.back().step) samples_.clear();
  samples_.push_back({step, seconds});
  while (samples_.size() > 2 && samples_.front().seconds < seconds - kWindowSeconds) {
    samples_.pop_front();
  }
}

double StepRate::per_second(double now) const {
  if (samples_.size() < 2) return 0.0;
  const Sample& newest = samples_.back();
  const Sample& previous = samples_[samples_.size() - 2];
  const double stale_after = std::max(kWindowSeconds, 2.0 * (newest.seconds - previous.seconds));
  if (now - newest.seconds > stale_after) return 0.0;
  const Sample& oldest = samples_.front();
  const double elapsed = newest.seconds - oldest.seconds;
  if (elapsed <= 0.0) return 0.0;
  return static_cast<double>(newest.step - oldest.step) / elapsed;
}

}  // namespace ombrisk
