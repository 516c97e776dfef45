// The row code without vector instructions of the processor's own: each cell
// and each partial sum one at a time, in the order the vector paths keep, so
// it gives their bits. The only row code on processors without vector paths
// here, and the `plain` level on those with them. Internal to the step code.
#pragma once

#include "model/step/step_rows.h"

namespace ombrisk::step_detail::plain {

void update_row(const double* grid, int rows, int cols, int r, const Coefficients& q,
                double* out);
void row_stats(const double* v, int cols, bool bounds, RowStats& out);
void update_row_with_stats(const double* grid, int rows, int cols, int r,
                           const Coefficients& q, double* out, const double* prev, bool bounds,
                           RowStats* prev_stats, double* home);
void flux_from_exp(double* v, int n, const FluxTerms& t);

}  // namespace ombrisk::step_detail::plain
