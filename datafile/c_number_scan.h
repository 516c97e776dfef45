// Reading one number at the front of a text as the C library's strtod and
// strtol do in the "C" locale, built on std::from_chars so that no locale
// and no platform's C library takes part: the same text gives the same value
// everywhere.
#pragma once

#include <cstdint>

namespace ombrisk {

// An integer as strtol reads it, its magnitude saturated rather than clamped
// to a type so that the caller chooses what out of range means.
struct ScannedInteger {
  const char* end = nullptr;  // past the number; the start when there is none
  bool negative = false;
  std::uint64_t magnitude = 0;  // UINT64_MAX when it does not fit
};

// strtol(text, &end, base) for base 0 (hexadecimal after 0x/0X when a hex
// digit follows, octal after a leading 0, else decimal) or 10: optional sign,
// then digits. No white space is skipped. `end` is `first` when there is no
// number.
ScannedInteger scan_c_integer(const char* first, const char* last, int base);

// The value of a scanned integer when it lies in the int range.
bool integer_as_int(const ScannedInteger& n, int& value);

// The value of a scanned integer, the nearest int limit when out of range.
int integer_clamped_to_int(const ScannedInteger& n);

// What scan_c_double found, for callers that judge what follows it.
enum class NumberForm { none, decimal, hexadecimal, infinity, nan };

// strtod(text, &end): optional sign, then a decimal or hexadecimal (0x)
// number with optional point and exponent, inf, infinity or nan with an
// optional (n-char-sequence), letters in either case. Values are correctly
// rounded; beyond the largest double they are infinite and below the
// smallest they are zero, with the sign. A nan's n-char-sequence is read
// past but gives no payload. Returns the end of the number, `first` when
// there is none (value then untouched).
const char* scan_c_double(const char* first, const char* last, double& value,
                          NumberForm* form = nullptr);

}  // namespace ombrisk
