#include "ui/dialogs/dialog_fields.h"

#include <QCheckBox>
#include <QLineEdit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "datafile/c_text.h"

namespace ombrisk {

void show_text(QLineEdit* field, const std::string& text) {
  field->setText(QString::fromStdString(text));
  field->setModified(false);
  field->setCursorPosition(0);
}

std::string number_field_text(const QLineEdit* field) {
  return field->text().left(static_cast<qsizetype>(kNumberFieldReadLimit)).toStdString();
}

double nearest_single(double value) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  // The largest float plus half its last place: from there on the nearest
  // float is infinity (the tie goes to the even side, which is infinity).
  constexpr double kRoundsToInfinity = 0x1.ffffffp127;
  constexpr double kInf = std::numeric_limits<double>::infinity();
  if (std::isnan(value)) return value;
  if (value >= kRoundsToInfinity) return kInf;
  if (value <= -kRoundsToInfinity) return -kInf;
  if (value > kFloatMax) return kFloatMax;
  if (value < -kFloatMax) return -kFloatMax;
  return static_cast<double>(static_cast<float>(value));
}

void read_double(const QLineEdit* field, double& value) {
  if (field->isModified()) value = c_atof(number_field_text(field));
}

void read_single(const QLineEdit* field, double& value) {
  if (field->isModified()) value = nearest_single(c_atof(number_field_text(field)));
}

void read_int(const QLineEdit* field, int& value) {
  if (field->isModified()) value = c_atoi(number_field_text(field));
}

void read_unsigned(const QLineEdit* field, unsigned int& value) {
  if (field->isModified()) {
    value = static_cast<unsigned int>(static_cast<std::uint32_t>(c_atoi(number_field_text(field))));
  }
}

void read_text(const QLineEdit* field, std::string& value) {
  if (field->isModified()) value = field->text().toStdString();
}

void show_flag(QCheckBox* box, int flag) { box->setChecked(flag != 0); }

int checked_flag(const QCheckBox* box) { return box->isChecked() ? 1 : 0; }

}  // namespace ombrisk
