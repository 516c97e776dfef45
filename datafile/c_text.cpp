#include "datafile/c_text.h"

#include "datafile/c_number_scan.h"

#include <string>

namespace ombrisk {

namespace {

const char* skip_space(const char* p, const char* last) {
  while (p != last && is_c_space(*p)) ++p;
  return p;
}

}  // namespace

double c_atof(std::string_view text) {
  const char* const last = text.data() + text.size();
  double value = 0.0;
  scan_c_double(skip_space(text.data(), last), last, value);
  return value;
}

int c_atoi(std::string_view text) {
  const char* const last = text.data() + text.size();
  return integer_clamped_to_int(scan_c_integer(skip_space(text.data(), last), last, 10));
}

std::string_view first_chars(std::string_view text, std::size_t limit) {
  return text.substr(0, limit);
}

bool c_scan_int(const std::string& text, std::size_t& pos, int& value) {
  if (pos >= text.size()) return false;
  const char* const last = text.data() + text.size();
  const char* const start = skip_space(text.data() + pos, last);
  const ScannedInteger n = scan_c_integer(start, last, 0);
  if (n.end == start) return false;
  value = integer_clamped_to_int(n);
  pos = static_cast<std::size_t>(n.end - text.data());
  return true;
}

bool c_scan_double(const std::string& text, std::size_t& pos, double& value) {
  if (pos >= text.size()) return false;
  const char* const last = text.data() + text.size();
  const char* const start = skip_space(text.data() + pos, last);
  const char* const end = scan_c_double(start, last, value);
  if (end == start) return false;
  pos = static_cast<std::size_t>(end - text.data());
  return true;
}

}  // namespace ombrisk
