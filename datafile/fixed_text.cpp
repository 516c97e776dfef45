#include "datafile/fixed_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

// "00" to "99": two digits per step.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

int digit_count(std::uint64_t v) {
  int n = 1;
  while (v >= 10000) {
    v /= 10000;
    n += 4;
  }
  if (v >= 1000) return n + 3;
  if (v >= 100) return n + 2;
  if (v >= 10) return n + 1;
  return n;
}

// Writes the `count` low decimal digits of v ending just before `end`.
void digits_backwards(char* end, std::uint64_t v, int count) {
  while (count >= 2) {
    const auto pair = static_cast<std::size_t>(v % 100) * 2;
    v /= 100;
    end -= 2;
    std::memcpy(end, kDigitPairs + pair, 2);
    count -= 2;
  }
  if (count == 1) *--end = static_cast<char>('0' + v % 10);
}

constexpr char kSpaces[kFixedFastMaxChars + 1] = "                                ";

// std::to_chars rounds from the exact binary value as printf does; only nan
// and inf are spelled here, so that they read the same on every platform.
char* write_fixed(char* dest, double value, int precision, int width) {
  // Spaces first over the whole width; the text then overwrites the right end.
  std::memcpy(dest, kSpaces, kFixedFastMaxChars);
  if (!std::isfinite(value)) {
    const bool negative = std::signbit(value);
    const int length = 3 + (negative ? 1 : 0);
    char* p = dest + (width > length ? width - length : 0);
    if (negative) *p++ = '-';
    std::memcpy(p, std::isnan(value) ? "nan" : "inf", 3);
    return p + 3;
  }
  char text[kFixedFastMaxChars];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
  if (result.ec != std::errc()) return nullptr;
  const int length = static_cast<int>(result.ptr - text);
  char* p = dest + (width > length ? width - length : 0);
  std::memcpy(p, text, static_cast<std::size_t>(length));
  return p + length;
}

#if defined(_MSC_VER) && !defined(__clang__)
#define OMBRISK_ALWAYS_INLINE __forceinline
#else
#define OMBRISK_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

// The shared body of write_cell_value and write_cell_row, inlined into both.
OMBRISK_ALWAYS_INLINE char* cell_value(char* dest, double value) {
  // |value| * 10^4 in double precision is within 2^-14 of the exact product
  // for |value| below 1e6, so its rounding is the exact one unless the
  // fraction lies within 2^-10 of a half: those few go the exact way. No
  // branch depends on the digits, so random values cost no mispredictions.
  const double magnitude = std::fabs(value);
  if (!(magnitude < 1e6)) return write_fixed(dest, value, 4, 8);
  const double scaled = magnitude * 10000.0;
  const auto whole = static_cast<std::uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) <= 0x1p-10) return write_fixed(dest, value, 4, 8);
  const std::uint64_t q = whole + (fraction > 0.5 ? 1 : 0);
  const std::uint64_t integer = q / 10000;  // at most 10^6
  const std::uint64_t decimals = q % 10000;
  const int integer_digits = 1 + (integer >= 10) + (integer >= 100) + (integer >= 1000) +
                             (integer >= 10000) + (integer >= 100000) + (integer >= 1000000);
  const std::uint64_t negative = std::signbit(value) ? 1 : 0;

  const int length = static_cast<int>(negative) + integer_digits + 5;
  const int shown = length > 8 ? length : 8;
  // Built right-aligned in a scratch line: the integer part as eight digits,
  // the padding zeros then blanked, and the last `shown` characters copied.
  char line[48];
  char* const end = line + 32;
  std::memcpy(end, kSpaces, 16);  // copied past the text, overwritten later
  std::memcpy(end - 4, kDigitPairs + (decimals / 100) * 2, 2);
  std::memcpy(end - 2, kDigitPairs + (decimals % 100) * 2, 2);
  end[-5] = '.';
  const std::uint64_t high = integer / 10000;
  const std::uint64_t low = integer % 10000;
  std::memcpy(end - 13, kDigitPairs + (high / 100) * 2, 2);
  std::memcpy(end - 11, kDigitPairs + (high % 100) * 2, 2);
  std::memcpy(end - 9, kDigitPairs + (low / 100) * 2, 2);
  std::memcpy(end - 7, kDigitPairs + (low % 100) * 2, 2);
  char* const first_digit = end - 5 - integer_digits;
  std::memcpy(first_digit - 9, kSpaces, 9);
  first_digit[-1] = negative ? '-' : ' ';
  std::memcpy(dest, end - shown, 16);
  return dest + shown;
}

}  // namespace

char* write_cell_value(char* dest, double value) { return cell_value(dest, value); }

int write_cell_row(char*& dest, const double* values, int count) {
  char* p = dest;
  int i = 0;
  for (; i < count; ++i) {
    char* end = cell_value(p, values[i]);
    if (end == nullptr) break;
    *end = ' ';
    p = end + 1;
  }
  dest = p;
  return i;
}

char* write_fixed_fast(char* dest, double value, int precision, int width) {
  if (width > kFixedFastMaxChars || precision < 0 || precision > 9) return nullptr;
  return write_fixed(dest, value, precision, width);
}

void append_fixed(std::string& out, double value, int precision, int width) {
  char buf[kFixedFastMaxChars];
  if (char* end = write_fixed_fast(buf, value, precision, width)) {
    out.append(buf, end);
  } else {
    out += c_format("%*.*f", width, precision, value);
  }
}

char* write_int(char* dest, int value) {
  const bool negative = value < 0;
  // Through unsigned, so INT_MIN's magnitude does not overflow.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
               : static_cast<std::uint64_t>(value);
  if (negative) *dest++ = '-';
  const int count = digit_count(magnitude);
  digits_backwards(dest + count, magnitude, count);
  return dest + count;
}

}  // namespace ombrisk
