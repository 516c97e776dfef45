#include "datafile/c_text.h"

#include "datafile/c_number_scan.h"

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

}  // namespace ombrisk
