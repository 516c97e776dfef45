// A fresh directory under the system's temporary folder, removed with its
// contents when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace ombrisk::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device seed;
    std::mt19937_64 gen(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("ombrisk-df-" + std::to_string(gen()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string read_file(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace ombrisk::testing
