// The row code's entry points where there is no vector path: the plain one.
#include "model/step/rows_plain.h"
#include "model/step/step_rows.h"

namespace ombrisk::step_detail {

void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out) {
  plain::update_row(grid, rows, cols, r, q, out);
}

void row_stats(const double* v, int cols, bool bounds, RowStats& out) {
  plain::row_stats(v, cols, bounds, out);
}

void update_row_with_stats(const double* grid, int rows, int cols, int r,
                           const Coefficients& q, double* out, const double* prev, bool bounds,
                           RowStats* prev_stats, double* home) {
  plain::update_row_with_stats(grid, rows, cols, r, q, out, prev, bounds, prev_stats, home);
}

void flux_from_exp(double* v, int n, const FluxTerms& t) { plain::flux_from_exp(v, n, t); }

}  // namespace ombrisk::step_detail
