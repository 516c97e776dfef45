#include "ui/dialogs/stoma_lists.h"

#include <cstddef>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

// Never past the end of the array, whatever the count says.
int usable_count(const std::vector<int>& values, int count) {
  return count > 0 && static_cast<std::size_t>(count) > values.size()
             ? static_cast<int>(values.size())
             : count;
}

}  // namespace

std::string format_stoma_list(const std::vector<int>& values, int count) {
  std::string text;
  count = usable_count(values, count);
  if (count <= 0) return text;
  text.reserve(static_cast<std::size_t>(count) * 5);
  for (int i = 0; i < count; ++i) text += c_format("%5i", values[static_cast<std::size_t>(i)]);
  return text;
}

std::vector<int> read_stoma_list(const std::string& text, std::vector<int>& values, int count,
                                 int bound) {
  std::vector<int> illegal;
  std::size_t pos = 0;
  bool text_left = true;
  count = usable_count(values, count);
  for (int i = 0; i < count; ++i) {
    int& entry = values[static_cast<std::size_t>(i)];
    // Once a conversion has failed at a position, every later one fails there
    // too: skip the scans instead of repeating them.
    if (text_left) text_left = c_scan_int(text, pos, entry);
    if (entry < 0 || entry >= bound) illegal.push_back(i);
  }
  return illegal;
}

}  // namespace ombrisk
