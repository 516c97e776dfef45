// Model.picture(), where the module is built with the picture library.
#pragma once

#include <pybind11/pybind11.h>

namespace ombrisk::python {

// Adds Model.picture() when this build can draw; otherwise adds nothing.
void bind_picture(pybind11::module_& module);

}  // namespace ombrisk::python
