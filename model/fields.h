// The model fields that a front-end may set by name (ombrisk-batch's --set,
// the Python module's attributes): one table, so that a new parameter is
// added here once and every front-end offers it.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "model/model_state.h"

namespace ombrisk {

enum class FieldKind {
  real,  // any finite double
  flag,  // 0 or 1
};

struct SettableField {
  std::string_view name;  // the model's own name, e.g. "kepi"
  FieldKind kind;
  double (*get)(const ModelState&);
  void (*put)(ModelState&, double);  // unchecked: use set_field
};

// Every settable field, in the order --help lists them.
std::span<const SettableField> settable_fields();

// nullptr for a name that is not in the table.
const SettableField* find_field(std::string_view name);

// Empty when `value` is accepted for the field, otherwise why not
// ("not a number", "offset_from_mean must be 0 or 1").
std::string field_value_error(const SettableField& field, double value);

// Sets the field when the value is accepted; otherwise returns the reason and
// leaves the model as it was.
std::string set_field(ModelState& m, const SettableField& field, double value);

// The names joined by ", ", for usage texts and messages.
std::string field_names();

}  // namespace ombrisk
