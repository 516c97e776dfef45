// The Model class of the Python module: the same start, commands, fields and
// files as the window and ombrisk-batch, with refusals as Python exceptions.
#include "python/python_model.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <climits>
#include <filesystem>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "datafile/data_file.h"
#include "model/commands.h"
#include "model/fields.h"
#include "model/placement.h"
#include "model/time_step.h"
#include "python/model_views.h"

namespace py = pybind11;

namespace ombrisk::python {

void require_idle(const PythonModel& pm) {
  if (pm.advancing.load()) throw std::runtime_error("the model is advancing in another thread");
}

void require_no_views(const PythonModel& pm, const char* what) {
  require_idle(pm);
  if (pm.live_views > 0) {
    throw py::buffer_error(std::string(what) + " would release the model's storage while " +
                           std::to_string(pm.live_views) +
                           " NumPy array(s) share it: delete them first");
  }
}

namespace {

// A placement that could not place every stoma is not a refusal: the model
// holds what was placed, as in the window. It is told as a warning, which a
// script may turn into an error.
int placed_count(const PlacementOutcome& outcome, const ModelState& m) {
  if (const char* text = placement_text(outcome.status)) {
    std::string message = text;
    if (outcome.status == PlacementStatus::out_of_attempts) {
      message += " (" + std::to_string(outcome.placed) + " of " +
                 std::to_string(m.stomata.stoma_count) + " stomata placed)";
    }
    if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 1) != 0) {
      throw py::error_already_set();
    }
  }
  return outcome.placed;
}

void throw_file_error(FileError error, const std::string& name) {
  const std::string text = file_error_text(error, name);
  PyObject* kind = error == FileError::cannot_find ? PyExc_FileNotFoundError
                   : error == FileError::bad_data  ? PyExc_ValueError
                                                   : PyExc_OSError;
  PyErr_SetString(kind, text.c_str());
  throw py::error_already_set();
}

// Border and spacing as the Stomata dialog takes them before placing: a
// border that does not fit the lattice is refused with nothing changed.
void take_border_and_spacing(PythonModel& pm, std::optional<int> border,
                             std::optional<double> spacing) {
  const int b = border.value_or(pm.m.border);
  if (!placement_border_fits(b, pm.m.rows, pm.m.cols)) {
    throw py::value_error("Illegal border for this lattice!! (border " + std::to_string(b) +
                          " on the " + std::to_string(pm.m.rows) + " x " +
                          std::to_string(pm.m.cols) + " lattice)");
  }
  const double s = spacing.value_or(pm.m.spacing);
  if (!std::isfinite(s)) throw py::value_error("spacing: not a number");
  pm.m.border = b;
  pm.m.spacing = s;
}

void advance_steps(PythonModel& pm, long long n) {
  if (n < 0) throw py::value_error("advance: the number of steps must be 0 or more");
  if (pm.m.step > INT_MAX - n) {
    throw py::value_error("advance: the step counter would pass " + std::to_string(INT_MAX));
  }
  bool idle = false;
  if (!pm.advancing.compare_exchange_strong(idle, true)) {
    throw std::runtime_error("the model is advancing in another thread");
  }
  struct Done {
    std::atomic<bool>& flag;
    ~Done() { flag.store(false); }
  } done{pm.advancing};
  // Steps in pieces of about a fixed amount of work, so that Ctrl-C is
  // noticed between them.
  const long long cells = std::max<long long>(1, static_cast<long long>(pm.m.rows) * pm.m.cols);
  const long long piece = std::max<long long>(1, 20'000'000 / cells);
  long long left = n;
  while (left > 0) {
    const long long now = std::min(left, piece);
    {
      py::gil_scoped_release release;
      for (long long i = 0; i < now; ++i) {
        advance_step(pm.m);
        pm.m.step += 1;
      }
    }
    left -= now;
    if (left > 0 && PyErr_CheckSignals() != 0) throw py::error_already_set();
  }
}

void bind_fields(py::class_<PythonModel>& cls) {
  for (const SettableField& field : settable_fields()) {
    const SettableField* f = &field;
    py::cpp_function get;
    if (f->kind == FieldKind::flag) {
      get = py::cpp_function([f](const PythonModel& pm) { return static_cast<int>(f->get(pm.m)); });
    } else {
      get = py::cpp_function([f](const PythonModel& pm) { return f->get(pm.m); });
    }
    py::cpp_function set([f](PythonModel& pm, py::object value) {
      require_idle(pm);
      double v = 0.0;
      if (f->kind == FieldKind::flag && !py::isinstance<py::bool_>(value) &&
          !py::isinstance<py::int_>(value)) {
        throw py::value_error(std::string(f->name) + " must be 0 or 1");
      }
      try {
        v = value.cast<double>();
      } catch (const py::cast_error&) {
        throw py::value_error(std::string(f->name) + ": not a number");
      }
      const std::string error = set_field(pm.m, *f, v);
      if (error.empty()) return;
      const std::string name(f->name);
      throw py::value_error(error.rfind(name, 0) == 0 ? error : name + ": " + error);
    });
    cls.def_property(std::string(f->name).c_str(), get, set);
  }
}

}  // namespace

void bind_model(py::module_& module) {
  py::class_<PythonModel> cls(module, "Model", R"(The stomata lattice model.

Model(seed=None) starts as the window and ombrisk-batch start: a 100 x 100
lattice with ten fixed stomata, step 0, the generator seeded with `seed` (the
time in seconds when None).)");
  cls.def(py::init([](std::optional<std::uint32_t> seed) {
            auto pm = std::make_unique<PythonModel>();
            pm->seed = seed.value_or(static_cast<std::uint32_t>(std::time(nullptr)));
            start_model(pm->m, pm->random, pm->seed);
            return pm;
          }),
          py::kw_only(), py::arg("seed") = py::none());

  bind_fields(cls);

  cls.def_property_readonly("seed", [](const PythonModel& pm) { return pm.seed; });
  cls.def_property_readonly("rows", [](const PythonModel& pm) { return pm.m.rows; });
  cls.def_property_readonly("cols", [](const PythonModel& pm) { return pm.m.cols; });
  cls.def_property_readonly("step", [](const PythonModel& pm) { return pm.m.step; });
  cls.def_property_readonly("mean_p", [](const PythonModel& pm) { return pm.m.mean_p; });
  cls.def_property_readonly("border", [](const PythonModel& pm) { return pm.m.border; });
  cls.def_property_readonly("spacing", [](const PythonModel& pm) { return pm.m.spacing; });
  cls.def_property_readonly("stoma_count",
                            [](const PythonModel& pm) { return pm.m.stomata.stoma_count; });

  cls.def_property_readonly("p", &p_view, "p of every cell, (rows, cols) float64, shared");
  cls.def_property_readonly("stoma_j", &stoma_j_view, "J of every stoma, float64, shared");
  cls.def_property_readonly("stoma_cols", &stoma_col_view, "stoma columns, int32, read-only");
  cls.def_property_readonly("stoma_rows", &stoma_row_view, "stoma rows, int32, read-only");

  cls.def(
      "resize",
      [](PythonModel& pm, int side) {
        const int choice = dimension_choice_for_side(side);
        if (choice == 0) throw py::value_error("resize: the size must be 50, 100, 200, 400 or 800");
        require_no_views(pm, "resize");
        pm.m.dimension_choice = choice;
        const ResizeOutcome out = resize_to_dimension(pm.m, pm.random);
        return placed_count(out.placement, pm.m);
      },
      py::arg("n"),
      "A new n x n lattice with ten stomata at random; returns how many were placed.");

  cls.def(
      "place_stomata",
      [](PythonModel& pm, int count, std::optional<int> border, std::optional<double> spacing) {
        require_no_views(pm, "place_stomata");
        const StomataRefusal refusal = check_new_count(pm.m, count);
        if (refusal != StomataRefusal::none) {
          throw py::value_error(std::string(refusal_text(refusal)) + " (" +
                                std::to_string(count) + "; at most " +
                                std::to_string(stoma_count_limit(pm.m)) + " on this lattice)");
        }
        take_border_and_spacing(pm, border, spacing);
        const StomataOutcome out = place_new_stomata(pm.m, pm.random, count);
        restart_lattice(pm.m);
        return placed_count(out.placement, pm.m);
      },
      py::arg("count"), py::kw_only(), py::arg("border") = py::none(),
      py::arg("spacing") = py::none(),
      "`count` new stomata at random at least `spacing` apart inside `border`, then a "
      "restarted lattice; returns how many were placed.");

  cls.def(
      "randomize",
      [](PythonModel& pm, std::optional<int> border, std::optional<double> spacing) {
        require_no_views(pm, "randomize");
        const StomataRefusal refusal = check_stoma_count(pm.m);
        if (refusal != StomataRefusal::none) throw py::value_error(refusal_text(refusal));
        take_border_and_spacing(pm, border, spacing);
        const PlacementOutcome out = randomize_stomata(pm.m, pm.random);
        restart_lattice(pm.m);
        return placed_count(out, pm.m);
      },
      py::kw_only(), py::arg("border") = py::none(), py::arg("spacing") = py::none(),
      "The present stomata at new random places, then a restarted lattice.");

  cls.def(
      "restart",
      [](PythonModel& pm) {
        require_no_views(pm, "restart");
        restart_lattice(pm.m);
      },
      "The lattice anew: step 0, every p 0.");

  cls.def(
      "set_stomata",
      [](PythonModel& pm, const py::array_t<long long, py::array::forcecast>& cols,
         const py::array_t<long long, py::array::forcecast>& rows) {
        if (cols.ndim() != 1 || rows.ndim() != 1) {
          throw py::value_error("set_stomata: the columns and rows must be 1-D");
        }
        auto narrow = [](const py::array_t<long long, py::array::forcecast>& a) {
          std::vector<int> out(static_cast<std::size_t>(a.size()));
          auto r = a.unchecked<1>();
          for (py::ssize_t i = 0; i < a.size(); ++i) {
            const long long v = r(i);
            out[static_cast<std::size_t>(i)] = v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX
                                                                                 : static_cast<int>(v);
          }
          return out;
        };
        const std::vector<int> c = narrow(cols);
        const std::vector<int> r = narrow(rows);
        require_no_views(pm, "set_stomata");
        const std::string error = set_stoma_positions(pm.m, c, r);
        if (!error.empty()) throw py::value_error("set_stomata: " + error);
        restart_lattice(pm.m);
      },
      py::arg("cols"), py::arg("rows"),
      "Stoma i on column cols[i], row rows[i] (checked as a whole), then a restarted lattice.");

  cls.def(
      "load",
      [](PythonModel& pm, const std::filesystem::path& file) {
        const std::string path = file.string();
        require_no_views(pm, "load");
        const std::string before = pm.m.data_file_name;
        pm.m.data_file_name = path;
        const FileError error = load_data_file(pm.m);
        if (error != FileError::none) {
          pm.m.data_file_name = before;
          throw_file_error(error, path);
        }
      },
      py::arg("path"),
      "The header and stomata of a data file, on a restarted lattice (as \"Load params\").");

  cls.def(
      "save",
      [](PythonModel& pm, const std::filesystem::path& file) {
        const std::string path = file.string();
        require_idle(pm);
        const std::string before = pm.m.data_file_name;
        pm.m.data_file_name = path;
        const FileError error = save_data_file(pm.m);
        if (error != FileError::none) {
          pm.m.data_file_name = before;
          throw_file_error(error, path);
        }
      },
      py::arg("path"), "The whole model as a data file, byte for byte as \"Save\" writes it.");

  cls.def("advance", &advance_steps, py::arg("n") = 1,
          "n time steps, without the GIL: other Python threads run meanwhile, but must not "
          "write the model's arrays until it returns.");
}

}  // namespace ombrisk::python
