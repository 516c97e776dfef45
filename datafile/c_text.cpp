#include "datafile/c_text.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace ombrisk {

namespace {

locale_t c_locale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

// Switches the calling thread to the "C" locale for its lifetime.
class CLocaleScope {
 public:
  CLocaleScope() : previous_(uselocale(c_locale())) {}
  ~CLocaleScope() { uselocale(previous_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous_;
};

int clamp_to_int(long v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

std::string c_format(const char* format, ...) {
  CLocaleScope scope;
  char small[128];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  std::string out;
  if (n < 0) {
    va_end(again);
    return out;
  }
  if (static_cast<std::size_t>(n) < sizeof small) {
    out.assign(small, static_cast<std::size_t>(n));
  } else {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

double c_atof(std::string_view text) {
  const std::string s(text);
  CLocaleScope scope;
  return std::strtod(s.c_str(), nullptr);
}

int c_atoi(std::string_view text) {
  const std::string s(text);
  CLocaleScope scope;
  errno = 0;
  const long v = std::strtol(s.c_str(), nullptr, 10);
  return clamp_to_int(v);
}

std::string_view first_chars(std::string_view text, std::size_t limit) {
  return text.substr(0, limit);
}

bool c_scan_int(const std::string& text, std::size_t& pos, int& value) {
  if (pos >= text.size()) return false;
  const char* start = text.c_str() + pos;
  char* end = nullptr;
  CLocaleScope scope;
  errno = 0;
  const long v = std::strtol(start, &end, 0);
  if (end == start) return false;
  value = clamp_to_int(v);
  pos += static_cast<std::size_t>(end - start);
  return true;
}

bool c_scan_double(const std::string& text, std::size_t& pos, double& value) {
  if (pos >= text.size()) return false;
  const char* start = text.c_str() + pos;
  char* end = nullptr;
  CLocaleScope scope;
  const double v = std::strtod(start, &end);
  if (end == start) return false;
  value = v;
  pos += static_cast<std::size_t>(end - start);
  return true;
}

}  // namespace ombrisk
