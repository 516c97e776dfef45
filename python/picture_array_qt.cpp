// Model.picture(): the window's picture of the model, drawn on Qt's offscreen
// platform, as an (h, w, 3) uint8 array.
#include <pybind11/numpy.h>

#include <memory>

#include "picture/offscreen_picture.h"
#include "python/picture_array.h"
#include "python/python_model.h"

namespace py = pybind11;

namespace ombrisk::python {

void bind_picture(py::module_& module) {
  py::class_<PythonModel> cls = module.attr("Model");
  cls.def(
      "picture",
      [](const PythonModel& pm) {
        require_idle(pm);
        // Made once and kept: Qt wants its application to outlive every picture.
        static OffscreenGui* gui = new OffscreenGui("ombrisk");
        (void)gui;
        const QImage image = window_picture(pm.m).convertToFormat(QImage::Format_RGB888);
        py::array_t<std::uint8_t> out({image.height(), image.width(), 3});
        auto rows = out.mutable_unchecked<3>();
        for (int y = 0; y < image.height(); ++y) {
          const uchar* line = image.constScanLine(y);
          std::memcpy(rows.mutable_data(y, 0, 0), line, static_cast<std::size_t>(image.width()) * 3);
        }
        return out;
      },
      "The window's picture of the model (lattice, stomata, legend, status line) as an "
      "(h, w, 3) uint8 array.");
}

}  // namespace ombrisk::python
