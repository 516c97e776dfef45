#include "model/observables.h"

#include <algorithm>
#include <cmath>

namespace ombrisk {

double open_threshold(const ModelState& m, const ObservableSettings& settings) {
  return std::isnan(settings.open_threshold) ? m.params.Jmax / 2.0 : settings.open_threshold;
}

StomaObservables observe_stomata(const ModelState& m, const ObservableSettings& settings) {
  const StomaTable& t = m.stomata;
  const int count = std::min<int>(t.stoma_count, static_cast<int>(t.stoma_j.size()));
  const double threshold = open_threshold(m, settings);
  StomaObservables out;
  // Four running sums, lane i % 4, added pairwise at the end: a fixed order,
  // so the total is the same on every build and thread count, and one that
  // does not wait for each addition before the next.
  double lane[4] = {0.0, 0.0, 0.0, 0.0};
  int open = 0;
  const double* j = t.stoma_j.data();
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    for (int k = 0; k < 4; ++k) {
      lane[k] += j[i + k];
      open += j[i + k] > threshold ? 1 : 0;
    }
  }
  for (; i < count; ++i) {
    lane[i % 4] += j[i];
    open += j[i] > threshold ? 1 : 0;
  }
  out.total_j = (lane[0] + lane[1]) + (lane[2] + lane[3]);
  if (count == 0) {
    out.mean_j = std::numeric_limits<double>::quiet_NaN();
    out.open_fraction = std::numeric_limits<double>::quiet_NaN();
  } else {
    out.mean_j = out.total_j / count;
    out.open_fraction = static_cast<double>(open) / count;
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

Observables observe(const ModelState& m, const ObservableSettings& settings) {
  Observables out;
  out.stomata = observe_stomata(m, settings);
  out.mean_p = m.mean_p;
  lattice_p_bounds(m, out.p_min, out.p_max);
  out.diverged = step_diverged(m);
  return out;
}

}  // namespace ombrisk
