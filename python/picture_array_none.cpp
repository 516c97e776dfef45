// A build without Qt draws no pictures: Model has no picture().
#include "python/picture_array.h"

namespace ombrisk::python {

void bind_picture(pybind11::module_&) {}

}  // namespace ombrisk::python
