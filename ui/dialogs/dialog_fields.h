// Showing model fields in dialog controls and reading them back on OK.
//
// A number is shown with its printf format in the "C" conventions. On OK a
// field is read only when the user has edited its text: a field left alone
// keeps its value exactly, instead of the value rounded to the shown
// precision. An edited field is read like atof / atoi on its first 30
// characters.
#pragma once

#include <cstddef>
#include <string>

class QCheckBox;
class QLineEdit;

namespace ombrisk {

// How many characters of a number field are read.
inline constexpr std::size_t kNumberFieldReadLimit = 30;

// Sets the text, marks the field as not edited and shows its beginning.
void show_text(QLineEdit* field, const std::string& text);

// The first kNumberFieldReadLimit characters of the field's text.
std::string number_field_text(const QLineEdit* field);

// The nearest single-precision value, widened back; values beyond the float
// range become the largest float or infinity as rounding to nearest gives.
double nearest_single(double value);

// Each writes `value` only when the field's text was edited.
void read_double(const QLineEdit* field, double& value);
// atof, then rounded to single precision.
void read_single(const QLineEdit* field, double& value);
void read_int(const QLineEdit* field, int& value);
// atoi, the int stored as its unsigned 32-bit pattern (-1 gives 4294967295).
void read_unsigned(const QLineEdit* field, unsigned int& value);
// The whole text, as UTF-8.
void read_text(const QLineEdit* field, std::string& value);

// Ticked when the flag is not 0; read back as 1 when ticked, else 0.
void show_flag(QCheckBox* box, int flag);
int checked_flag(const QCheckBox* box);

}  // namespace ombrisk
