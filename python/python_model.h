// The model as the Python module holds it: the model record, its generator,
// and what the module needs to keep NumPy views of its storage safe.
#pragma once

#include <pybind11/pybind11.h>

#include <atomic>

#include "model/model_state.h"
#include "model/random.h"

namespace ombrisk::python {

struct PythonModel {
  ModelState m;
  Random random;
  std::uint32_t seed = 0;
  // NumPy arrays (and views of them) that look into m's storage.
  int live_views = 0;
  // Set while advance() runs without the GIL: nothing else may touch the model.
  std::atomic<bool> advancing{false};
};

// Raises RuntimeError while another thread advances the model.
void require_idle(const PythonModel& pm);

// Raises BufferError while a view lives: `what` would release the storage
// that the view looks into. Also requires the model idle.
void require_no_views(const PythonModel& pm, const char* what);

void bind_model(pybind11::module_& module);

}  // namespace ombrisk::python
