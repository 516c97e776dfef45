// The ombrisk Python module: the stomata lattice model with its data as NumPy
// arrays.
#include <pybind11/pybind11.h>

#include "model/time_step.h"
#include "model/version.h"
#include "python/picture_array.h"
#include "python/python_model.h"

namespace py = pybind11;

PYBIND11_MODULE(ombrisk, module) {
  module.doc() = "Stomata on a hexagonal leaf lattice: the Ombrisk model in NumPy.";
  module.attr("__version__") = ombrisk::ombrisk_version();
  module.def("set_threads", &ombrisk::set_step_threads, py::arg("count"),
             "How many threads a step may use; 0 lets the model choose. Results never "
             "depend on it.");
  module.def("threads", &ombrisk::step_threads);
  ombrisk::python::bind_model(module);
  ombrisk::python::bind_picture(module);
}
