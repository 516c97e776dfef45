#include "python/model_views.h"

#include <cstddef>
#include <vector>

namespace py = pybind11;

namespace ombrisk::python {

namespace {

// The base object of every view: holds a reference to the Python model and
// counts itself as a live view until NumPy drops the last array on it.
py::capsule view_owner(py::object self) {
  PythonModel& pm = self.cast<PythonModel&>();
  pm.live_views += 1;
  PyObject* model = self.release().ptr();  // the capsule's own reference
  void (*release)(void*) = [](void* p) {
    auto* held = static_cast<PyObject*>(p);
    py::handle(held).cast<PythonModel&>().live_views -= 1;
    Py_DECREF(held);
  };
  return py::capsule(static_cast<const void*>(model), release);
}

template <typename T>
py::array vector_view(py::object self, std::vector<T>& values, bool writable) {
  py::capsule owner = view_owner(self);
  py::array_t<T> array({static_cast<py::ssize_t>(values.size())}, {sizeof(T)}, values.data(),
                       owner);
  if (!writable) {
    py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  }
  return array;
}

}  // namespace

py::array p_view(py::object self) {
  PythonModel& pm = self.cast<PythonModel&>();
  PGrid& grid = pm.m.p_current;
  py::capsule owner = view_owner(self);
  const auto rows = static_cast<py::ssize_t>(grid.rows);
  const auto cols = static_cast<py::ssize_t>(grid.cols);
  return py::array_t<double>({rows, cols},
                             {cols * static_cast<py::ssize_t>(sizeof(double)),
                              static_cast<py::ssize_t>(sizeof(double))},
                             grid.values.data(), owner);
}

py::array stoma_j_view(py::object self) {
  return vector_view(self, self.cast<PythonModel&>().m.stomata.stoma_j, true);
}

py::array stoma_col_view(py::object self) {
  return vector_view(self, self.cast<PythonModel&>().m.stomata.stoma_col, false);
}

py::array stoma_row_view(py::object self) {
  return vector_view(self, self.cast<PythonModel&>().m.stomata.stoma_row, false);
}

}  // namespace ombrisk::python
