// c_format: a printf of our own over std::to_chars, which formats exactly as
// printf does in the "C" locale, so that no locale or C library is involved.
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <type_traits>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

struct FormatFlags {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;  // -1: none given
};

enum class Length { none, hh, h, l, ll, j, z, t };

// The sign, the text and the padding of one conversion, padded as printf
// pads: spaces on the left by default, on the right with '-', zeros between
// the sign (and prefix) and the digits with '0'.
void pad(std::string& out, const FormatFlags& s, std::string_view prefix, std::string_view body,
         bool zero_fill) {
  const std::size_t length = prefix.size() + body.size();
  const std::size_t fill =
      s.width > 0 && static_cast<std::size_t>(s.width) > length ? s.width - length : 0;
  if (!s.left && !zero_fill) out.append(fill, ' ');
  out.append(prefix);
  if (!s.left && zero_fill) out.append(fill, '0');
  out.append(body);
  if (s.left) out.append(fill, ' ');
}

void format_unsigned(std::string& out, const FormatFlags& s, std::uint64_t value, char conversion,
                     std::string_view sign) {
  const int base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X') ? 16 : 10;
  char digits[32];
  char* end = digits;
  // An explicit precision of 0 prints no digits for 0.
  if (!(value == 0 && s.precision == 0)) {
    end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
  }
  if (conversion == 'X') {
    for (char* p = digits; p != end; ++p) {
      if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
    }
  }
  std::string body;
  const auto count = static_cast<std::size_t>(end - digits);
  if (s.precision > 0 && static_cast<std::size_t>(s.precision) > count) {
    body.assign(static_cast<std::size_t>(s.precision) - count, '0');
  }
  // '#' makes an octal number start with 0.
  if (conversion == 'o' && s.alternate && (body.empty() ? count == 0 || digits[0] != '0' : false)) {
    body.assign(1, '0');
  }
  body.append(digits, end);
  std::string prefix(sign);
  if (s.alternate && value != 0 && (conversion == 'x' || conversion == 'X')) {
    prefix += conversion == 'x' ? "0x" : "0X";
  }
  pad(out, s, prefix, body, s.zero && !s.left && s.precision < 0);
}

void format_signed(std::string& out, const FormatFlags& s, std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                           : static_cast<std::uint64_t>(value);
  const char* sign = negative ? "-" : s.plus ? "+" : s.space ? " " : "";
  format_unsigned(out, s, magnitude, 'd', sign);
}

// to_chars of a non-negative finite value into `text`.
void to_text(std::string& text, double magnitude, std::chars_format format, int precision) {
  text.resize(400 + static_cast<std::size_t>(precision));
  for (;;) {
    const auto result = std::to_chars(text.data(), text.data() + text.size(), magnitude, format,
                                      precision);
    if (result.ec == std::errc()) {
      text.resize(static_cast<std::size_t>(result.ptr - text.data()));
      return;
    }
    text.resize(text.size() * 2);
  }
}

// The decimal exponent printf's %e gives the value at `precision`.
int scientific_exponent(double magnitude, int precision) {
  std::string text;
  to_text(text, magnitude, std::chars_format::scientific, precision);
  const std::size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  exponent);
  return exponent;
}

void format_double(std::string& out, const FormatFlags& s, double value, char conversion) {
  const bool upper = conversion == 'F' || conversion == 'E' || conversion == 'G';
  const char kind = static_cast<char>(upper ? conversion - 'A' + 'a' : conversion);
  const char* sign = std::signbit(value) ? "-" : s.plus ? "+" : s.space ? " " : "";
  std::string body;
  if (!std::isfinite(value)) {
    body = std::isnan(value) ? "nan" : "inf";
  } else {
    const double magnitude = std::fabs(value);
    int precision = s.precision < 0 ? 6 : s.precision;
    if (kind == 'f') {
      to_text(body, magnitude, std::chars_format::fixed, precision);
      if (s.alternate && precision == 0) body += '.';
    } else if (kind == 'e') {
      to_text(body, magnitude, std::chars_format::scientific, precision);
      if (s.alternate && precision == 0) body.insert(body.find('e'), 1, '.');
    } else if (!s.alternate) {
      to_text(body, magnitude, std::chars_format::general, precision == 0 ? 1 : precision);
    } else {
      // %#g: the %g choice of style, trailing zeros and the point kept.
      if (precision == 0) precision = 1;
      const int exponent = scientific_exponent(magnitude, precision - 1);
      if (exponent < precision && exponent >= -4) {
        to_text(body, magnitude, std::chars_format::fixed, precision - 1 - exponent);
        if (body.find('.') == std::string::npos) body += '.';
      } else {
        to_text(body, magnitude, std::chars_format::scientific, precision - 1);
        if (body.find('.') == std::string::npos) body.insert(body.find('e'), 1, '.');
      }
    }
  }
  if (upper) {
    for (char& c : body) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
  }
  pad(out, s, sign, body, s.zero && !s.left && std::isfinite(value));
}

std::int64_t signed_argument(va_list& args, Length length) {
  switch (length) {
    case Length::hh: return static_cast<signed char>(va_arg(args, int));
    case Length::h: return static_cast<short>(va_arg(args, int));
    case Length::l: return va_arg(args, long);
    case Length::ll: return va_arg(args, long long);
    case Length::j: return va_arg(args, std::intmax_t);
    case Length::z: return va_arg(args, std::make_signed_t<std::size_t>);
    case Length::t: return va_arg(args, std::ptrdiff_t);
    case Length::none: break;
  }
  return va_arg(args, int);
}

std::uint64_t unsigned_argument(va_list& args, Length length) {
  switch (length) {
    case Length::hh: return static_cast<unsigned char>(va_arg(args, unsigned));
    case Length::h: return static_cast<unsigned short>(va_arg(args, unsigned));
    case Length::l: return va_arg(args, unsigned long);
    case Length::ll: return va_arg(args, unsigned long long);
    case Length::j: return va_arg(args, std::uintmax_t);
    case Length::z: return va_arg(args, std::size_t);
    case Length::t: return static_cast<std::uint64_t>(va_arg(args, std::ptrdiff_t));
    case Length::none: break;
  }
  return va_arg(args, unsigned);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int read_count(const char*& p) {
  int n = 0;
  for (; is_digit(*p); ++p) {
    if (n < 100000000) n = n * 10 + (*p - '0');
  }
  return n;
}

Length read_length(const char*& p) {
  switch (*p) {
    case 'h':
      ++p;
      if (*p == 'h') return ++p, Length::hh;
      return Length::h;
    case 'l':
      ++p;
      if (*p == 'l') return ++p, Length::ll;
      return Length::l;
    case 'j': return ++p, Length::j;
    case 'z': return ++p, Length::z;
    case 't': return ++p, Length::t;
    default: return Length::none;
  }
}

void format_all(std::string& out, const char* format, va_list& args) {
  const char* p = format;
  while (*p != '\0') {
    if (*p != '%') {
      const char* next = std::strchr(p, '%');
      if (next == nullptr) next = p + std::strlen(p);
      out.append(p, next);
      p = next;
      continue;
    }
    const char* const directive = p++;
    FormatFlags s;
    for (;; ++p) {
      if (*p == '-') s.left = true;
      else if (*p == '+') s.plus = true;
      else if (*p == ' ') s.space = true;
      else if (*p == '#') s.alternate = true;
      else if (*p == '0') s.zero = true;
      else break;
    }
    if (*p == '*') {
      ++p;
      s.width = va_arg(args, int);
      if (s.width < 0) {
        s.left = true;
        s.width = s.width == INT_MIN ? 0 : -s.width;
      }
    } else {
      s.width = read_count(p);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        ++p;
        s.precision = va_arg(args, int);
        if (s.precision < 0) s.precision = -1;  // as if none were given
      } else {
        s.precision = read_count(p);
      }
    }
    const Length length = read_length(p);
    const char conversion = *p;
    if (conversion != '\0') ++p;
    switch (conversion) {
      case 'd':
      case 'i': format_signed(out, s, signed_argument(args, length)); break;
      case 'u':
      case 'o':
      case 'x':
      case 'X': format_unsigned(out, s, unsigned_argument(args, length), conversion, ""); break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G': format_double(out, s, va_arg(args, double), conversion); break;
      case 'c': {
        const char c = static_cast<char>(va_arg(args, int));
        pad(out, s, "", std::string_view(&c, 1), false);
        break;
      }
      case 's': {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) text = "(null)";
        std::size_t n = std::strlen(text);
        if (s.precision >= 0 && static_cast<std::size_t>(s.precision) < n) n = s.precision;
        pad(out, s, "", std::string_view(text, n), false);
        break;
      }
      case '%': out += '%'; break;
      default:
        out.append(directive);  // not ours to guess at: the rest as it stands
        return;
    }
  }
}

}  // namespace

std::string c_format(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  format_all(out, format, args);
  va_end(args);
  return out;
}

}  // namespace ombrisk
