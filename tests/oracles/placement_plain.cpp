#include "tests/oracles/placement_plain.h"

#include <cmath>
#include <cstdint>

namespace ombrisk {

PlacementOutcome randomize_stomata_plain(ModelState& m, Random& random) {
  PlacementOutcome out;
  StomaTable& st = m.stomata;
  if (st.stoma_count <= 0) return out;
  if (!placement_border_fits(m.border, m.rows, m.cols)) {
    out.status = PlacementStatus::border_invalid;
    return out;
  }
  const double col_span = m.cols - m.border - m.border;
  const double row_span = m.rows - m.border - m.border;
  int placed = 0;
  for (int attempts = 0; placed < st.stoma_count && attempts < kMaxPlacementAttempts; ++attempts) {
    const int u = next_random(random);
    const int col = m.border + static_cast<int>(std::floor(u * (1.0 / 32768.0) * col_span));
    const int w = next_random(random);
    const int row = m.border + static_cast<int>(std::floor(w * (1.0 / 32768.0) * row_span));
    bool accept = true;
    for (int k = 0; k < placed; ++k) {
      const std::int64_t dr = st.stoma_row[k] - row, dc = st.stoma_col[k] - col;
      if (m.spacing > std::sqrt(static_cast<double>(dr * dr + dc * dc))) {
        accept = false;
        break;
      }
    }
    if (accept) {
      st.stoma_col[placed] = col;
      st.stoma_row[placed] = row;
      ++placed;
    }
  }
  out.placed = placed;
  out.status = placed == st.stoma_count ? PlacementStatus::complete : PlacementStatus::out_of_attempts;
  return out;
}

}  // namespace ombrisk
