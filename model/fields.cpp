#include "model/fields.h"

#include <array>
#include <cmath>

namespace ombrisk {

namespace {

#define OMBRISK_REAL(group, field)                                                     \
  SettableField {                                                                      \
    #field, FieldKind::real, [](const ModelState& m) { return m.group.field; },         \
        [](ModelState& m, double v) { m.group.field = v; }                             \
  }
#define OMBRISK_FLAG(group, field)                                                     \
  SettableField {                                                                      \
    #field, FieldKind::flag,                                                           \
        [](const ModelState& m) { return static_cast<double>(m.group.field); },        \
        [](ModelState& m, double v) { m.group.field = static_cast<int>(v); }           \
  }

constexpr std::array kFields = {
    OMBRISK_REAL(params, kepi),
    OMBRISK_REAL(params, kin),
    OMBRISK_REAL(params, Jmax),
    OMBRISK_REAL(params, Jo),
    OMBRISK_REAL(params, a),
    OMBRISK_REAL(params, pminj),
    OMBRISK_REAL(params, leaf_p),
    OMBRISK_FLAG(params, offset_from_mean),
    OMBRISK_FLAG(display, auto_p_range),
    OMBRISK_FLAG(display, auto_j_range),
    OMBRISK_REAL(display, p_display_min),
    OMBRISK_REAL(display, p_display_max),
    OMBRISK_REAL(display, j_display_min),
    OMBRISK_REAL(display, j_display_max),
};

#undef OMBRISK_REAL
#undef OMBRISK_FLAG

}  // namespace

std::span<const SettableField> settable_fields() { return kFields; }

const SettableField* find_field(std::string_view name) {
  for (const SettableField& f : kFields)
    if (f.name == name) return &f;
  return nullptr;
}

std::string field_value_error(const SettableField& field, double value) {
  switch (field.kind) {
    case FieldKind::real:
      if (!std::isfinite(value)) return "not a number";
      return {};
    case FieldKind::flag:
      if (value != 0.0 && value != 1.0) return std::string(field.name) + " must be 0 or 1";
      return {};
  }
  return {};
}

std::string set_field(ModelState& m, const SettableField& field, double value) {
  std::string error = field_value_error(field, value);
  if (error.empty()) field.put(m, value);
  return error;
}

std::string field_names() {
  std::string names;
  for (const SettableField& f : kFields) {
    if (!names.empty()) names += ", ";
    names += f.name;
  }
  return names;
}

}  // namespace ombrisk
