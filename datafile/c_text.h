// Formatting and reading numbers with the C library's printf/atof/atoi rules
// in the "C" locale (a point as decimal separator), whatever locale the
// process runs in and whichever platform it runs on: the numbers go through
// std::to_chars and std::from_chars, never through the C library, so the
// same value gives the same text everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#if defined(__GNUC__)
#define OMBRISK_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define OMBRISK_PRINTF_FORMAT(f, a)
#endif

namespace ombrisk {

// printf into a string of any length, as printf does in the "C" locale, for
// the conversions d i u o x X c s f F e E g G and %% with their flags
// (- + space # 0), width and precision (numbers or *) and length modifiers
// (hh h l ll j z t). Any other conversion is copied as it stands together
// with the rest of the format, and no further argument is read.
std::string c_format(const char* format, ...) OMBRISK_PRINTF_FORMAT(1, 2);

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

// White space as the "C" locale's isspace has it.
inline bool is_c_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace ombrisk
