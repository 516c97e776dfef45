#include "datafile/fixed_text.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

__extension__ typedef unsigned __int128 u128;

constexpr std::uint64_t kPow10[] = {1ull,         10ull,         100ull,      1000ull,
                                    10000ull,     100000ull,     1000000ull,  10000000ull,
                                    100000000ull, 1000000000ull, 10000000000ull};

// Limits of the fast path by precision: |value| * 10^precision stays below
// 1e19 < 2^64.
constexpr double kFastLimit[] = {1e19, 1e18, 1e17, 1e16, 1e15, 1e14,
                                 1e13, 1e12, 1e11, 1e10};

// "00" to "99": two digits per step.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// round(mantissa * 2^exponent * 10^precision), ties to even, from the exact
// binary value. The caller makes sure the result is below 1e19.
template <int Precision>
std::uint64_t scaled_magnitude(std::uint64_t mantissa, int exponent) {
  // The product is below 2^53 * 10^9 < 2^83.
  const u128 scaled = static_cast<u128>(mantissa) * kPow10[Precision];
  if (exponent >= 0) return static_cast<std::uint64_t>(scaled << exponent);
  const int shift = -exponent;
  if (shift >= 127) return 0;  // below a half, whatever the mantissa
  const u128 quotient = scaled >> shift;
  const u128 remainder = scaled - (quotient << shift);
  const u128 half = static_cast<u128>(1) << (shift - 1);
  std::uint64_t q = static_cast<std::uint64_t>(quotient);
  if (remainder > half || (remainder == half && (q & 1))) ++q;
  return q;
}

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

// The precision is a constant here so that every division is by a constant.
template <int precision>
char* write_fixed(char* dest, double value, int width) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int exponent_field = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);

  // Spaces first over the whole width; the text then overwrites the right end.
  std::memcpy(dest, kSpaces, kFixedFastMaxChars);

  if (exponent_field == 0x7ff) {
    const int length = 3 + (negative ? 1 : 0);
    char* p = dest + (width > length ? width - length : 0);
    if (negative) *p++ = '-';
    std::memcpy(p, mantissa != 0 ? "nan" : "inf", 3);
    return p + 3;
  }
  if (!(std::fabs(value) < kFastLimit[precision])) return nullptr;
  int exponent;
  if (exponent_field == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = exponent_field - 1075;
  }
  const std::uint64_t q = scaled_magnitude<precision>(mantissa, exponent);
  constexpr std::uint64_t unit = kPow10[precision];
  const std::uint64_t integer = q / unit;
  const int integer_digits = digit_count(integer);
  constexpr int decimals_length = precision > 0 ? 1 + precision : 0;
  const int length = (negative ? 1 : 0) + integer_digits + decimals_length;
  char* p = dest + (width > length ? width - length : 0);
  if (negative) *p++ = '-';
  p += integer_digits;
  digits_backwards(p, integer, integer_digits);
  if constexpr (precision > 0) {
    *p++ = '.';
    p += precision;
    digits_backwards(p, q - integer * unit, precision);
  }
  return p;
}

// The shared body of write_cell_value and write_cell_row, inlined into both.
inline __attribute__((always_inline)) char* cell_value(char* dest, double value) {
  // |value| * 10^4 in double precision is within 2^-14 of the exact product
  // for |value| below 1e6, so its rounding is the exact one unless the
  // fraction lies within 2^-10 of a half: those few go the exact way. No
  // branch depends on the digits, so random values cost no mispredictions.
  const double magnitude = std::fabs(value);
  if (!(magnitude < 1e6)) return write_fixed<4>(dest, value, 8);
  const double scaled = magnitude * 10000.0;
  const auto whole = static_cast<std::uint64_t>(scaled);
  const double fraction = scaled - static_cast<double>(whole);
  if (std::fabs(fraction - 0.5) <= 0x1p-10) return write_fixed<4>(dest, value, 8);
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
  if (width > kFixedFastMaxChars) return nullptr;
  switch (precision) {
    case 0: return write_fixed<0>(dest, value, width);
    case 1: return write_fixed<1>(dest, value, width);
    case 2: return write_fixed<2>(dest, value, width);
    case 3: return write_fixed<3>(dest, value, width);
    case 4: return write_fixed<4>(dest, value, width);
    case 5: return write_fixed<5>(dest, value, width);
    case 6: return write_fixed<6>(dest, value, width);
    case 7: return write_fixed<7>(dest, value, width);
    case 8: return write_fixed<8>(dest, value, width);
    case 9: return write_fixed<9>(dest, value, width);
    default: return nullptr;
  }
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
