// The time step written the plain way, one cell at a time, as the yardstick
// for the fast step: neighbours subtracted in the order of the neighbour
// table, stomata in table order with J from the old values, then a sequential
// copy-back that gathers the bounds. Used by tests and benchmarks only.
#pragma once

#include "model/model_state.h"

namespace ombrisk::reference {

// Sums the cells in the fixed order the fast step documents: per row sixteen
// partial sums (cell c into partial c % 16, in column order, from 0.0),
// q_j = (s_j + s_(j+4)) + (s_(j+8) + s_(j+12)), the row sum
// (q0 + q1) + (q2 + q3), rows added in row order from 0.0.
inline double documented_order_sum(const PGrid& g, int rows, int cols) {
  double total = 0.0;
  for (int r = 0; r < rows; ++r) {
    double s[16] = {};
    for (int c = 0; c < cols; ++c) s[c % 16] = s[c % 16] + g[r][c];
    double q[4];
    for (int j = 0; j < 4; ++j) q[j] = (s[j] + s[j + 4]) + (s[j + 8] + s[j + 12]);
    total = total + ((q[0] + q[1]) + (q[2] + q[3]));
  }
  return total;
}

// One plain step. `mean_p` comes from the row-major running sum when
// `documented_mean` is false, from documented_order_sum when it is true.
inline void reference_step(ModelState& m, bool documented_mean = true) {
  const ModelParameters& prm = m.params;
  DisplaySettings& d = m.display;
  const int rows = m.rows, cols = m.cols;
  m.target_p = prm.offset_from_mean == 1 ? prm.leaf_p + m.mean_p : prm.leaf_p;
  const double target = m.target_p;

  static const int even_dr[6] = {-1, 1, 0, 0, 1, 1};
  static const int even_dc[6] = {0, 0, -1, 1, -1, 1};
  static const int odd_dr[6] = {-1, 1, -1, -1, 0, 0};
  static const int odd_dc[6] = {0, 0, -1, 1, -1, 1};

  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const double p = m.p_current[r][c];
      const int* dr = (c % 2 == 0) ? even_dr : odd_dr;
      const int* dc = (c % 2 == 0) ? even_dc : odd_dc;
      int k = 0;
      for (int i = 0; i < 6; ++i) {
        const int rr = r + dr[i], cc = c + dc[i];
        if (rr >= 0 && rr < rows && cc >= 0 && cc < cols) ++k;
      }
      double x = k * p;
      for (int i = 0; i < 6; ++i) {
        const int rr = r + dr[i], cc = c + dc[i];
        if (rr >= 0 && rr < rows && cc >= 0 && cc < cols) x = x - m.p_current[rr][cc];
      }
      const bool corner = (r == 0 || r == rows - 1) && (c == 0 || c == cols - 1);
      double result;
      if (corner) {
        result = (p - x * prm.kepi) + (target - p) * prm.kin;
      } else {
        double dd = -(x * prm.kepi);
        dd = dd + (target - p) * prm.kin;
        result = dd + p;
      }
      m.p_next[r][c] = result;
    }
  }

  StomaTable& st = m.stomata;
  if (d.auto_j_range == 1) {
    d.j_display_max = 0.0;
    d.j_display_min = prm.Jmax;
  }
  for (int i = 0; i < st.stoma_count; ++i) {
    const int r = st.stoma_row[i], c = st.stoma_col[i];
    const double j = stoma_flux(prm, m.p_current[r][c]);
    st.stoma_j[i] = j;
    m.p_next[r][c] = m.p_next[r][c] - j;
    if (d.auto_j_range == 1) {
      if (!(j > d.j_display_min)) d.j_display_min = j;
      if (!(d.j_display_max > j)) d.j_display_max = j;
    }
  }

  if (d.auto_p_range == 1) {
    d.p_display_min = kFloatMaxAsDouble;
    d.p_display_max = -kFloatMaxAsDouble;
  }
  double sum = 0.0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const double v = m.p_next[r][c];
      m.p_current[r][c] = v;
      sum += v;
      if (d.auto_p_range == 1) {
        if (!(v > d.p_display_min)) d.p_display_min = v;
        if (!(d.p_display_max > v)) d.p_display_max = v;
      }
    }
  }
  if (documented_mean) sum = documented_order_sum(m.p_current, rows, cols);
  m.mean_p = sum / static_cast<double>(m.cell_count);
}

}  // namespace ombrisk::reference
