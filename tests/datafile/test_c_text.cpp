// The "C" number text of our own (c_format, c_atof, c_atoi and the strtod /
// strtol scanners) against the C library's, which the test program runs in
// its default "C" locale: the same bytes, values and lengths read.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "datafile/c_number_scan.h"
#include "datafile/c_text.h"

namespace ombrisk {
namespace {

TEST(CFormat, KnownTexts) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(c_format("%6.4e %6.4e", 0.1, 0.01), "1.0000e-01 1.0000e-02");
  EXPECT_EQ(c_format("%6.4e|%e|%.0e|%#.0E", 1e-300, 123456.0, 2.5, 3.5), "1.0000e-300|1.234560e+05|2e+00|4.E+00");
  EXPECT_EQ(c_format("%i %i %5.2f %8.4f %8.4f", 10, -1, 1.0, -10.0, -0.00001),
            "10 -1  1.00 -10.0000  -0.0000");
  EXPECT_EQ(c_format("%.17g|%.6g|%g|%g|%g|%#g", 0.1, 1e-5, 100000.0, 1e6, 0.0001, 1.0),
            "0.10000000000000001|1e-05|100000|1e+06|0.0001|1.00000");
  EXPECT_EQ(c_format("%f|%5.1f|%-6.1f|%+f|%F|%08.2f|%08.2f", nan, -nan, inf, inf, -inf, -inf, -1.5),
            "nan| -nan|inf   |+inf|-INF|    -inf|-0001.50");
  EXPECT_EQ(c_format("%.2f|%.0f|%.0f|%.3f", 2.675, 0.5, 1.5, 1e-4), "2.67|0|2|0.000");
  EXPECT_EQ(c_format("%d|%05d|%-4d|%+d|%x|%#X|%o|%u|%lld|%zu", -42, -42, 7, 7, 255u, 255u, 8u,
                     4294967295u, -9223372036854775807LL - 1, std::size_t{12}),
            "-42|-0042|7   |+7|ff|0XFF|10|4294967295|-9223372036854775808|12");
  EXPECT_EQ(c_format("%s=%3c|%%|%.1s", "key", 'v', "xyz"), "key=  v|%|x");
  EXPECT_EQ(c_format("%*.*f|%-*d|", 11, 9, 0.995525518, 4, 3), "0.995525518|3   |");
}

TEST(CNumberScan, KnownValuesAndLengths) {
  const auto length = [](const char* text, double expected) {
    double v = -7;
    const char* end = scan_c_double(text, text + std::strlen(text), v);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(v)) << text;
    } else {
      EXPECT_EQ(v, expected) << text;
      EXPECT_EQ(std::signbit(v), std::signbit(expected)) << text;
    }
    return end - text;
  };
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(length("2.5000e-01", 0.25), 10);
  EXPECT_EQ(length("+.5e1x", 5.0), 5);
  EXPECT_EQ(length("0x1.8p1", 3.0), 7);
  EXPECT_EQ(length("-0X.8P+1", -1.0), 8);
  EXPECT_EQ(length("0x", 0.0), 1);
  EXPECT_EQ(length("1e+", 1.0), 1);
  EXPECT_EQ(length("0x1p", 1.0), 3);
  EXPECT_EQ(length("1e400", inf), 5);
  EXPECT_EQ(length("-1e-400", -0.0), 7);
  EXPECT_EQ(length("0x1p-1080", 0.0), 9);
  EXPECT_EQ(length("3e-324", std::numeric_limits<double>::denorm_min()), 6);
  EXPECT_EQ(length("-Infinity", -inf), 9);
  EXPECT_EQ(length("infin", inf), 3);
  EXPECT_EQ(length("nan(x_1)", NAN), 8);
  EXPECT_EQ(length("nan(x", NAN), 3);
  double untouched = -7;
  for (const char* text : {"+-1", "-", ".", "e5", "in", "0x1"}) {
    // The last: only "0" lies within the range given, the rest is past its end.
    const char* last = text + (text[0] == '0' ? 1 : std::strlen(text));
    const char* end = scan_c_double(text, last, untouched);
    EXPECT_EQ(end, text[0] == '0' ? last : text) << text;
    EXPECT_EQ(untouched, text[0] == '0' ? 0.0 : -7.0) << text;
  }

  const auto integer = [](const char* text, int base, long long expected_value, int expected_length) {
    const ScannedInteger n = scan_c_integer(text, text + std::strlen(text), base);
    int v = 0;
    EXPECT_TRUE(integer_as_int(n, v)) << text;
    EXPECT_EQ(v, expected_value) << text;
    EXPECT_EQ(n.end - text, expected_length) << text;
  };
  integer("-0x10", 0, -16, 5);
  integer("0620", 0, 400, 4);
  integer("08", 0, 0, 1);
  integer("0x", 0, 0, 1);
  integer("0x10", 10, 0, 1);
  integer("+2147483647", 0, INT_MAX, 11);
  integer("-2147483648", 0, INT_MIN, 11);
  for (const char* text : {"2147483648", "-2147483649", "0x80000000", "99999999999999999999999"}) {
    const ScannedInteger n = scan_c_integer(text, text + std::strlen(text), 0);
    int v = 5;
    EXPECT_FALSE(integer_as_int(n, v)) << text;
    EXPECT_EQ(v, 5);
    EXPECT_EQ(integer_clamped_to_int(n), text[0] == '-' ? INT_MIN : INT_MAX) << text;
  }
  EXPECT_EQ(c_atoi("  -12abc"), -12);
  EXPECT_EQ(c_atof("\t 1,5"), 1.0);
}

TEST(CNumberScan, ScanningAtAPositionMovesPastTheNumberOrLeavesAllAlone) {
  const std::string text = "  12 -0x10\t077 2147483648 -99999999999 x 1.5e3 .25 inf";
  std::size_t pos = 0;
  int i = -1;
  for (int expected : {12, -16, 63, INT_MAX, INT_MIN}) {
    ASSERT_TRUE(c_scan_int(text, pos, i));
    EXPECT_EQ(i, expected);
  }
  const std::size_t at_x = pos;
  double untouched = -1;
  EXPECT_FALSE(c_scan_int(text, pos, i));
  EXPECT_FALSE(c_scan_double(text, pos, untouched));
  EXPECT_EQ(pos, at_x);
  EXPECT_EQ(i, INT_MIN);
  EXPECT_EQ(untouched, -1.0);
  pos = text.find(" x ") + 2;
  double d = -1;
  for (double expected : {1500.0, 0.25, double{INFINITY}}) {
    ASSERT_TRUE(c_scan_double(text, pos, d));
    EXPECT_EQ(d, expected);
  }
  EXPECT_EQ(pos, text.size());
  EXPECT_FALSE(c_scan_double(text, pos, d));
  EXPECT_FALSE(c_scan_int(text, pos, i));
  EXPECT_EQ(d, INFINITY);
}

// The C library itself is the reference where it is glibc, whose printf and
// strtod the data file's format came from.
#if defined(__GLIBC__)
std::string libc_format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string libc_format(const char* format, ...) {
  std::vector<char> buf(4096);
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf.data(), buf.size(), format, args);
  va_end(args);
  return buf.data();
}

std::vector<double> awkward_doubles() {
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, -2.5, 0.125, 1e-5, 0.00005, 0.99995,
                                9.5, 99.5, 1e15, 1e16, 1e21, 1e22, 1e300, -1e-300,
                                123456789.123456789, 0.1, 1.0 / 3.0, 2.0 / 3.0,
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                -std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 gen(2026);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-40, 70);
  for (int i = 0; i < 3000; ++i) values.push_back(std::ldexp(mantissa(gen), exponent(gen)));
  return values;
}

TEST(CFormat, FloatingConversionsMatchPrintf) {
  const char* const formats[] = {
      "%f", "%8.4f", "%5.2f", "%-9.3f", "%+.1f", "% .0f", "%#.0f", "%012.3f", "%-12.3F",
      "%6.4e", "%e", "%.0e", "%#.0E", "%+12.3e", "%-+12.3e", "%015.2e", "%.17g", "%g", "%.0g",
      "%.1g", "%.6G", "%12.4g", "%-12.4g", "%012.4g", "%#g", "%#.1g", "%#.3g", "%#12.6G",
      "%#.17g", "Mean p = %5.2f     "};
  for (double v : awkward_doubles()) {
    for (const char* format : formats) {
      ASSERT_EQ(c_format(format, v), libc_format(format, v)) << format << " " << v;
    }
    EXPECT_EQ(c_format("%*.*f", 11, 9, v), libc_format("%*.*f", 11, 9, v));
    EXPECT_EQ(c_format("%*.*f|%.*e", -9, 2, v, -1, v), libc_format("%*.*f|%.*e", -9, 2, v, -1, v));
  }
  const std::string huge = c_format("%.40f", 1e300);
  EXPECT_EQ(huge, libc_format("%.40f", 1e300));
  EXPECT_EQ(huge.size(), 301u + 41u);
}

TEST(CFormat, IntegerTextAndLiteralConversionsMatchPrintf) {
  for (long long v : {0LL, 1LL, -1LL, 7LL, 42LL, -42LL, 800LL, 2147483647LL, -2147483648LL,
                      4294967295LL, LLONG_MAX, LLONG_MIN}) {
    const int i = static_cast<int>(v);
    const unsigned u = static_cast<unsigned>(v);
    EXPECT_EQ(c_format("%d|%i|%5i|%-5d|%05d|%+d|% d|%.3d|%.0d|%8.3d|%-+6i", i, i, i, i, i, i, i, i,
                       i, i, i),
              libc_format("%d|%i|%5i|%-5d|%05d|%+d|% d|%.3d|%.0d|%8.3d|%-+6i", i, i, i, i, i, i, i,
                          i, i, i, i));
    EXPECT_EQ(c_format("%u|%x|%X|%#x|%#X|%o|%#o|%#.0o|%08x|%.0u|%06d", u, u, u, u, u, u, u, u, u,
                       u, i),
              libc_format("%u|%x|%X|%#x|%#X|%o|%#o|%#.0o|%08x|%.0u|%06d", u, u, u, u, u, u, u, u,
                          u, u, i));
    EXPECT_EQ(c_format("%lld|%llu|%ld|%hd|%hhu|%zu|%jd", v, static_cast<unsigned long long>(v),
                       static_cast<long>(v), static_cast<short>(v), static_cast<unsigned char>(v),
                       static_cast<std::size_t>(v), static_cast<std::intmax_t>(v)),
              libc_format("%lld|%llu|%ld|%hd|%hhu|%zu|%jd", v, static_cast<unsigned long long>(v),
                          static_cast<long>(v), static_cast<short>(v),
                          static_cast<unsigned char>(v), static_cast<std::size_t>(v),
                          static_cast<std::intmax_t>(v)));
  }
  EXPECT_EQ(c_format("frame_%06d.png", 17), "frame_000017.png");
  EXPECT_EQ(c_format("%s|%8s|%-8s|%.2s|%c|%3c|%%|100%%", "abc", "abc", "abc", "abc", 'x', 'y'),
            libc_format("%s|%8s|%-8s|%.2s|%c|%3c|%%|100%%", "abc", "abc", "abc", "abc", 'x', 'y'));
  const std::string long_text(5000, 'q');
  EXPECT_EQ(c_format("<%s>", long_text.c_str()), "<" + long_text + ">");
}

// strtod's value (bit for bit, sign of nan included) and length for each text.
void expect_like_strtod(const std::string& text) {
  char* end = nullptr;
  const double expected = std::strtod(text.c_str(), &end);
  double value = 12345.0;
  const char* ours = scan_c_double(text.data(), text.data() + text.size(), value);
  ASSERT_EQ(ours - text.data(), end - text.c_str()) << text;
  if (ours == text.data()) {
    EXPECT_EQ(value, 12345.0) << text;  // untouched
  } else if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(value)) << text;
    EXPECT_EQ(std::signbit(value), std::signbit(expected)) << text;
  } else {
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0)
        << text << ": " << value << " instead of " << expected;
  }
}

TEST(CNumberScan, DoublesReadAsStrtodReadsThem) {
  for (const char* text :
       {"", "+", "-", ".", "+.", "-.e5", "e5", "x", "1", "-1", "+1", "+-1", "-+1", "1.", ".5",
        "-.5", "1.e5", "1e5", "1E+05", "1e-5", "1e", "1e+", "1e-", "1ex", "1.5e+x", "00001.5",
        "0.1", "3.0000e-03", "2.5000e-001", "1,50", "1 5", "12abc", "1e400", "-1e400", "1e-400",
        "-1e-400", "2e-324", "3e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
        "4.9406564584124654e-324", "1.7976931348623157e308", "1.7976931348623159e308",
        "1e99999999999999999999", "1e-99999999999999999999", "0e99999999999",
        "0.000000000000000000000000000000000000000000000000001e-300",
        "123456789012345678901234567890", "0.30000000000000004", "9007199254740993",
        "0x", "0X", "-0x", "0xg", "0x1", "0x1.8p1", "0X1.8P1", "-0x.8", "0x1p", "0x1p+",
        "0x1.", "0x.", "0xp1", "0x1p-1080", "0x1p2000", "-0x1p2000", "0xfffffffffffffffffffffp0",
        "inf", "INF", "-Inf", "+inf", "infinity", "INFINITY", "infin", "infinit", "infinityx",
        "in", "i", "nan", "NaN", "-nan", "nan(", "nan()", "nan(123)", "nan(abc_9)", "nan(a b)",
        "nan(-)", "na", "n"}) {
    expect_like_strtod(text);
  }
  std::mt19937_64 gen(99);
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = gen();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    for (const char* format : {"%.17g", "%.9f", "%8.4f", "%a", "%.3e"}) {
      std::string text = libc_format(format, v);
      text.erase(0, text.find_first_not_of(' '));  // the scanners skip no white space
      expect_like_strtod(text);
    }
  }
}

void expect_like_strtol(const std::string& text, int base) {
  char* end = nullptr;
  errno = 0;
  const long long expected = std::strtoll(text.c_str(), &end, base);
  const bool out_of_range = errno == ERANGE;
  const ScannedInteger n = scan_c_integer(text.data(), text.data() + text.size(), base);
  ASSERT_EQ(n.end - text.data(), end - text.c_str()) << text;
  int value = 0;
  const bool fits = integer_as_int(n, value);
  const bool expected_fits = !out_of_range && expected >= INT_MIN && expected <= INT_MAX;
  EXPECT_EQ(fits, expected_fits) << text;
  if (fits) {
    EXPECT_EQ(value, expected) << text;
  }
  const long long clamped = out_of_range ? (expected < 0 ? INT_MIN : INT_MAX)
                                         : std::clamp<long long>(expected, INT_MIN, INT_MAX);
  EXPECT_EQ(integer_clamped_to_int(n), clamped) << text;
}

TEST(CNumberScan, IntegersReadAsStrtolReadsThem) {
  for (int base : {0, 10}) {
    for (const char* text :
         {"", "+", "-", "x", "0", "-0", "+0", "7", "-7", "+7", "+-7", "-+7", "- 7", "800",
          "0800", "08", "09", "0620", "-074", "0x12c", "0X64", "-0x10", "0x", "0xg", "0x 1",
          "0x7fffffff", "0x80000000", "-0x80000000", "-0x80000001", "2147483647", "2147483648",
          "-2147483648", "-2147483649", "99999999999", "-99999999999",
          "9223372036854775807", "9223372036854775808", "18446744073709551616",
          "000000000000000000000000000000005", "1.5", "2e3", "12abc", "1 2"}) {
      expect_like_strtol(text, base);
    }
  }
}

TEST(CNumberScan, AtofAndAtoiSkipLeadingSpaceAndTakeTheLongestNumber) {
  for (const char* text : {"", "   ", " \t\n\v\f\r 1.25xyz", "  -3.5e2", "abc", "1e", "0x1p3",
                           "  inf", " -nan", "1,5", "+.5", "99999999999"}) {
    const double ours = c_atof(text), theirs = std::atof(text);
    if (std::isnan(theirs)) {
      EXPECT_TRUE(std::isnan(ours)) << text;
    } else {
      EXPECT_EQ(ours, theirs) << text;
    }
  }
  for (const char* text : {"", "  ", "  42abc", "-17", "+8", "0x10", "010", " 2147483647",
                           "2147483648", "-2147483649", "99999999999999999999999", "1.9"}) {
    errno = 0;
    const long long v = std::strtoll(text, nullptr, 10);
    EXPECT_EQ(c_atoi(text), std::clamp<long long>(v, INT_MIN, INT_MAX)) << text;
  }
  // The text ends where the view does, not at a NUL.
  EXPECT_EQ(c_atoi(std::string_view("12345", 2)), 12);
  EXPECT_EQ(c_atof(std::string_view("1.2345", 3)), 1.2);
}

#endif  // __GLIBC__

}  // namespace
}  // namespace ombrisk
