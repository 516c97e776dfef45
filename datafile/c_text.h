// Formatting and reading numbers with the C library's printf/scanf/atof rules
// in the "C" locale (a point as decimal separator), whatever locale the
// process runs in. Qt sets the process locale from the environment, so the
// plain C library functions cannot be trusted to do this on their own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ombrisk {

// printf into a string of any length, in the "C" locale.
std::string c_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// atof: leading white space, then the longest prefix that forms a number;
// 0.0 when there is none.
double c_atof(std::string_view text);

// atoi: leading white space, optional sign, decimal digits; the nearest int
// limit when out of range; 0 when there is no number.
int c_atoi(std::string_view text);

// The first `limit` characters of a text: what a field of that size holds.
std::string_view first_chars(std::string_view text, std::size_t limit);

// One "%i" conversion at text[pos]: white space skipped, optional sign, then
// hexadecimal after 0x/0X, octal after a leading 0, else decimal. On success
// stores the value (clamped to the int range), moves pos past what was
// consumed and returns true; otherwise leaves both alone and returns false.
bool c_scan_int(const std::string& text, std::size_t& pos, int& value);

// One "%lf" conversion at text[pos], as c_scan_int.
bool c_scan_double(const std::string& text, std::size_t& pos, double& value);

}  // namespace ombrisk
