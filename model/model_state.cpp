#include "model/model_state.h"

#include <cmath>

#include "model/pinned_ops.h"

namespace ombrisk {

int dimension_side(int dimension_choice) {
  switch (dimension_choice) {
    case kDimension50: return 50;
    case kDimension100: return 100;
    case kDimension200: return 200;
    case kDimension400: return 400;
    case kDimension800: return 800;
    default: return 0;
  }
}

int dimension_choice_for_side(int side) {
  switch (side) {
    case 50: return kDimension50;
    case 100: return kDimension100;
    case 200: return kDimension200;
    case 400: return kDimension400;
    case 800: return kDimension800;
    default: return 0;
  }
}

double stoma_flux(const ModelParameters& params, double p) {
  using step_detail::add_sd, step_detail::div_sd, step_detail::mul_sd, step_detail::sub_sd;
  const double e = std::exp(-mul_sd(sub_sd(p, params.pminj), params.a));
  return div_sd(mul_sd(params.Jmax, params.Jo),
                add_sd(mul_sd(e, sub_sd(params.Jmax, params.Jo)), params.Jo));
}

static void build_grid(PGrid& grid, int rows, int cols) {
  grid.rows = rows;
  grid.cols = cols;
  grid.values.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols), 0.0);
}

void reset_lattice(ModelState& m) {
  build_grid(m.p_current, m.rows, m.cols);
  build_grid(m.p_next, m.rows, m.cols);
  StomaTable& st = m.stomata;
  st.stoma_j.assign(static_cast<std::size_t>(st.stoma_count), 0.0);

  DisplaySettings& d = m.display;
  d.j_display_max = 0.0;
  d.j_display_min = kFloatMaxAsDouble;
  const double j0 = stoma_flux(m.params, 0.0);
  for (int i = 0; i < st.stoma_count; ++i) {
    st.stoma_j[i] = j0;
    if (!(st.stoma_j[i] > d.j_display_min)) d.j_display_min = st.stoma_j[i];
    if (!(d.j_display_max > st.stoma_j[i])) d.j_display_max = st.stoma_j[i];
  }

  m.step = 0;
  m.paused = 1;
  m.cell_count = m.cols * m.rows;
  m.mean_p = 0.0;
  d.p_display_min = -5.0;
  d.p_display_max = 5.0;
}

void free_lattice(ModelState& m) {
  m.p_current = PGrid{};
  m.p_next = PGrid{};
}

void allocate_stoma_table(ModelState& m) {
  StomaTable& st = m.stomata;
  const std::size_t n = st.stoma_count > 0 ? static_cast<std::size_t>(st.stoma_count) : 0;
  st.stoma_col.assign(n, 0);
  st.stoma_row.assign(n, 0);
  st.backup_col.assign(n, 0);
  st.backup_row.assign(n, 0);
  st.stoma_j.assign(n, stoma_flux(m.params, 0.0));
}

void place_startup_stomata(ModelState& m) {
  for (int i = 0; i < kStartupStomaCount; ++i) {
    m.stomata.stoma_col[i] = kStartupStomaCol[i];
    m.stomata.stoma_row[i] = kStartupStomaRow[i];
  }
}

void start_up_model(ModelState& m) {
  m = ModelState{};
  reset_lattice(m);
  allocate_stoma_table(m);
  place_startup_stomata(m);
}

bool stomata_inside_lattice(const ModelState& m) {
  const StomaTable& st = m.stomata;
  if (st.stoma_count < 0) return false;
  const auto n = static_cast<std::size_t>(st.stoma_count);
  if (st.stoma_col.size() != n || st.stoma_row.size() != n || st.stoma_j.size() != n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (st.stoma_col[i] < 0 || st.stoma_col[i] >= m.cols) return false;
    if (st.stoma_row[i] < 0 || st.stoma_row[i] >= m.rows) return false;
  }
  return true;
}

}  // namespace ombrisk
