#include "model/observables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/time_step.h"

namespace ombrisk {

double open_threshold(const ModelState& m, const ObservableSettings& settings) {
  return std::isnan(settings.open_threshold) ? m.params.Jmax / 2.0 : settings.open_threshold;
}

namespace {

double pairwise_sum(const double (&lane)[8]) {
  return ((lane[0] + lane[1]) + (lane[2] + lane[3])) + ((lane[4] + lane[5]) + (lane[6] + lane[7]));
}

}  // namespace

StomaObservables observe_stomata(const ModelState& m, const ObservableSettings& settings) {
  const StomaTable& t = m.stomata;
  const int count = std::min<int>(t.stoma_count, static_cast<int>(t.stoma_j.size()));
  const double threshold = open_threshold(m, settings);
  StomaObservables out;
  // Eight running sums, lane i % 8, folded pairwise at the end: a fixed
  // order, so the total is the same on every build and thread count. The
  // lanes are held two by two in vectors of the compiler's own (its vector
  // extension, the processor's own width on every processor we build for),
  // whose lanes are added independently, so they give the plain loop's
  // bits. Open stomata are counted the same way, in doubles (exact far
  // beyond any stoma count).
  typedef double Pair __attribute__((vector_size(2 * sizeof(double))));
  const Pair limit = Pair{} + threshold;
  const Pair one = Pair{} + 1.0;
  const Pair none = {};
  Pair sum[4] = {};
  Pair open[4] = {};
  const double* j = t.stoma_j.data();
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    for (int k = 0; k < 4; ++k) {
      Pair v;
      std::memcpy(&v, j + i + 2 * k, sizeof v);
      sum[k] += v;
      open[k] += v > limit ? one : none;
    }
  }
  double sum_lane[8];
  double open_lane[8];
  std::memcpy(sum_lane, sum, sizeof sum_lane);
  std::memcpy(open_lane, open, sizeof open_lane);
  for (; i < count; ++i) {
    sum_lane[i % 8] += j[i];
    open_lane[i % 8] += j[i] > threshold ? 1.0 : 0.0;
  }
  out.total_j = pairwise_sum(sum_lane);
  const double open_count = pairwise_sum(open_lane);
  if (count == 0) {
    out.mean_j = std::numeric_limits<double>::quiet_NaN();
    out.open_fraction = std::numeric_limits<double>::quiet_NaN();
  } else {
    out.mean_j = out.total_j / count;
    out.open_fraction = open_count / count;
  }
  return out;
}

void lattice_p_bounds(const ModelState& m, double& p_min, double& p_max) {
  if (m.display.auto_p_range == 1 && m.step > 0) {
    p_min = m.display.p_display_min;
    p_max = m.display.p_display_max;
    return;
  }
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const double p : m.p_current.values) {
    // Two plain comparisons skip a NaN.
    if (p < low) low = p;
    if (p > high) high = p;
  }
  if (low > high) low = high = std::numeric_limits<double>::quiet_NaN();
  p_min = low;
  p_max = high;
}

bool lattice_diverged(const ModelState& m) {
  for (const double p : m.p_current.values)
    if (!std::isfinite(p) || p < kDivergedBelow) return true;
  return false;
}

bool step_diverged(const ModelState& m) {
  // A cell that is not finite makes the sum, and so mean p, not finite; with
  // every cell finite, the automatic bound is the true least p.
  if (std::isfinite(m.mean_p) && m.display.auto_p_range == 1 && m.step > 0)
    return m.display.p_display_min < kDivergedBelow;
  return lattice_diverged(m);
}

bool advance_step_watching(ModelState& m) {
  DisplaySettings& d = m.display;
  if (d.auto_p_range == 1) {
    advance_step(m);
  } else {
    // The bounds play no part in the new p values or mean p.
    const double low = d.p_display_min;
    const double high = d.p_display_max;
    d.auto_p_range = 1;
    advance_step(m);
    d.auto_p_range = 0;
    const double step_low = d.p_display_min;
    d.p_display_min = low;
    d.p_display_max = high;
    if (std::isfinite(m.mean_p)) return step_low < kDivergedBelow;
    return lattice_diverged(m);
  }
  return std::isfinite(m.mean_p) ? d.p_display_min < kDivergedBelow : lattice_diverged(m);
}

Observables observe(const ModelState& m, const ObservableSettings& settings) {
  Observables out;
  out.stomata = observe_stomata(m, settings);
  out.mean_p = m.mean_p;
  lattice_p_bounds(m, out.p_min, out.p_max);
  out.diverged = step_diverged(m);
  return out;
}

}  // namespace ombrisk
