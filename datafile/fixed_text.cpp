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

// round(|value| * 10^precision), ties to even, from the exact binary value.
// The caller makes sure |value| < kFastLimit[precision] and value is finite.
std::uint64_t scaled_magnitude(double value, int precision) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int exponent_field = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent;
  if (exponent_field == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = exponent_field - 1075;
  }
  // value = mantissa * 2^exponent; the product below is below 2^87.
  const u128 scaled = static_cast<u128>(mantissa) * kPow10[precision];
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

// Writes the decimal digits of v ending just before `end`; returns the start.
char* digits_backwards(char* end, std::uint64_t v) {
  do {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  return end;
}

char* pad_and_copy(char* dest, const char* text, int length, int width) {
  for (int i = length; i < width; ++i) *dest++ = ' ';
  std::memcpy(dest, text, static_cast<std::size_t>(length));
  return dest + length;
}

}  // namespace

char* write_fixed_fast(char* dest, double value, int precision, int width) {
  if (width > kFixedFastMaxChars || precision < 0 || precision > 9) return nullptr;
  const bool negative = std::signbit(value);
  char buf[kFixedFastMaxChars];
  char* const end = buf + sizeof buf;
  char* start;
  if (std::isnan(value) || std::isinf(value)) {
    const char* word = std::isnan(value) ? "nan" : "inf";
    start = end - 3;
    std::memcpy(start, word, 3);
  } else {
    if (!(std::fabs(value) < kFastLimit[precision])) return nullptr;
    const std::uint64_t q = scaled_magnitude(value, precision);
    const std::uint64_t unit = kPow10[precision];
    std::uint64_t fraction = q % unit;
    start = end;
    for (int i = 0; i < precision; ++i) {
      *--start = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    if (precision > 0) *--start = '.';
    start = digits_backwards(start, q / unit);
  }
  if (negative) *--start = '-';
  return pad_and_copy(dest, start, static_cast<int>(end - start), width);
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
  char buf[12];
  char* const end = buf + sizeof buf;
  const bool negative = value < 0;
  // Through unsigned, so INT_MIN's magnitude does not overflow.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
               : static_cast<std::uint64_t>(value);
  char* start = digits_backwards(end, magnitude);
  if (negative) *--start = '-';
  const auto length = static_cast<std::size_t>(end - start);
  std::memcpy(dest, start, length);
  return dest + length;
}

}  // namespace ombrisk
