// Helpers of the writer tests: a start-up model of a chosen size, a text's
// lines, and a folder's entries.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "model/model_state.h"

namespace ombrisk::testing {

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline ModelState start_up(int rows = 100, int cols = 100) {
  ModelState m;
  start_up_model(m);
  free_lattice(m);
  m.rows = rows;
  m.cols = cols;
  reset_lattice(m);
  return m;
}

inline std::size_t files_in(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                 std::filesystem::directory_iterator()));
}

}  // namespace ombrisk::testing
