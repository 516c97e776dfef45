// The parts of the child-process harness every system shares.
#include "program_run.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> read_lines(const std::filesystem::path& file) {
  std::istringstream in(read_file(file));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TempDir::TempDir() {
  // create_directory says whether it made the directory, so a name another
  // process took at the same moment is passed over.
  std::random_device seed;
  std::mt19937_64 pick(seed());
  const std::filesystem::path base(testing::TempDir());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << "ombrisk-batch-" << std::hex << pick();
    std::error_code error;
    if (std::filesystem::create_directory(base / name.str(), error)) {
      path_ = base / name.str();
      return;
    }
  }
  throw std::runtime_error("no temporary directory could be made in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}
