// NumPy arrays that share the model's storage without a copy. Each keeps the
// Python model alive and counts itself in live_views while it (or any view
// made from it) exists, so that an operation that would reallocate the
// storage can refuse instead of leaving the array dangling.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "python/python_model.h"

namespace ombrisk::python {

// p_current as a writable (rows, cols) float64 array.
pybind11::array p_view(pybind11::object self);
// stoma_j as a writable (stomata,) float64 array.
pybind11::array stoma_j_view(pybind11::object self);
// The stoma columns or rows as read-only (stomata,) int32 arrays: positions
// are changed only through set_stomata, which checks them.
pybind11::array stoma_col_view(pybind11::object self);
pybind11::array stoma_row_view(pybind11::object self);

}  // namespace ombrisk::python
