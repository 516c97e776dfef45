#include "datafile/c_number_scan.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <system_error>

namespace ombrisk {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_hex_digit(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether [p, last) starts with `word` in either case.
bool starts_with_word(const char* p, const char* last, const char* word) {
  for (; *word != '\0'; ++p, ++word) {
    if (p == last || lower(*p) != *word) return false;
  }
  return true;
}

// Whether the number in [first, last) (digits, an optional point, an
// optional exponent; already known to be out of range) is at least one, so
// beyond the largest double rather than below the smallest.
bool out_of_range_is_large(const char* first, const char* last, bool hex) {
  const int digit_weight = hex ? 4 : 1;  // the exponent counts bits or tens
  long long order = 0;                  // of the first non-zero digit
  bool seen_point = false, seen_nonzero = false;
  const char* p = first;
  for (; p != last; ++p) {
    const char c = *p;
    if (c == '.') {
      seen_point = true;
      continue;
    }
    if (!(hex ? is_hex_digit(c) : is_digit(c))) break;
    if (!seen_nonzero) {
      if (c != '0') {
        seen_nonzero = true;
        if (seen_point) order -= digit_weight;
      } else if (seen_point) {
        order -= digit_weight;
      }
    } else if (!seen_point) {
      order += digit_weight;
    }
  }
  long long exponent = 0;
  if (p != last && (lower(*p) == (hex ? 'p' : 'e'))) {
    ++p;
    bool negative = false;
    if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    for (; p != last && is_digit(*p); ++p) {
      if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
    }
    if (negative) exponent = -exponent;
  }
  return order + exponent >= 0;
}

}  // namespace

ScannedInteger scan_c_integer(const char* first, const char* last, int base) {
  ScannedInteger n;
  n.end = first;
  const char* p = first;
  if (p != last && (*p == '+' || *p == '-')) n.negative = *p++ == '-';
  if (p == last || !is_digit(*p)) return n;  // also refuses a second sign
  if (base == 0) {
    base = 10;
    if (*p == '0') {
      base = 8;
      if (last - p > 2 && lower(p[1]) == 'x' && is_hex_digit(p[2])) {
        base = 16;
        p += 2;
      }
    }
  }
  std::uint64_t magnitude = 0;
  const auto result = std::from_chars(p, last, magnitude, base);
  if (result.ptr == p) return n;
  n.magnitude = result.ec == std::errc::result_out_of_range
                    ? std::numeric_limits<std::uint64_t>::max()
                    : magnitude;
  n.end = result.ptr;
  return n;
}

bool integer_as_int(const ScannedInteger& n, int& value) {
  const std::uint64_t limit =
      n.negative ? std::uint64_t{1} + INT_MAX : static_cast<std::uint64_t>(INT_MAX);
  if (n.magnitude > limit) return false;
  const auto magnitude = static_cast<std::int64_t>(n.magnitude);
  value = static_cast<int>(n.negative ? -magnitude : magnitude);
  return true;
}

int integer_clamped_to_int(const ScannedInteger& n) {
  int value;
  if (integer_as_int(n, value)) return value;
  return n.negative ? INT_MIN : INT_MAX;
}

const char* scan_c_double(const char* first, const char* last, double& value,
                          NumberForm* form) {
  NumberForm found = NumberForm::none;
  const char* p = first;
  bool negative = false;
  if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* end = first;
  double magnitude = 0;
  if (starts_with_word(p, last, "inf")) {
    found = NumberForm::infinity;
    magnitude = std::numeric_limits<double>::infinity();
    end = p + (starts_with_word(p, last, "infinity") ? 8 : 3);
  } else if (starts_with_word(p, last, "nan")) {
    found = NumberForm::nan;
    magnitude = std::numeric_limits<double>::quiet_NaN();
    end = p + 3;
    // "(" letters, digits and underscores ")" belongs to the nan; anything
    // else leaves the nan alone.
    const char* q = end;
    if (q != last && *q == '(') {
      for (++q; q != last && (is_digit(*q) || (lower(*q) >= 'a' && lower(*q) <= 'z') || *q == '_');
           ++q) {
      }
      if (q != last && *q == ')') end = q + 1;
    }
  } else if (p != last && (is_digit(*p) || *p == '.')) {
    // from_chars takes no sign of its own here (one was taken above) and no
    // 0x prefix: the hexadecimal form is read after it.
    const bool hex = last - p > 2 && p[0] == '0' && lower(p[1]) == 'x' &&
                     (is_hex_digit(p[2]) || (p[2] == '.' && last - p > 3 && is_hex_digit(p[3])));
    const char* digits = hex ? p + 2 : p;
    const auto result = std::from_chars(digits, last, magnitude,
                                        hex ? std::chars_format::hex : std::chars_format::general);
    if (result.ptr != digits) {
      found = hex ? NumberForm::hexadecimal : NumberForm::decimal;
      end = result.ptr;
      if (result.ec == std::errc::result_out_of_range) {
        magnitude = out_of_range_is_large(digits, result.ptr, hex)
                        ? std::numeric_limits<double>::infinity()
                        : 0.0;
      }
    }
  }
  if (found == NumberForm::none) return first;
  value = negative ? -magnitude : magnitude;
  if (form != nullptr) *form = found;
  return end;
}

}  // namespace ombrisk
