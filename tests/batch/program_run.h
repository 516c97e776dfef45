// Runs ombrisk-batch as a child process in a directory of its own and
// collects what it wrote and how it ended.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ProgramResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

ProgramResult run_batch(const std::filesystem::path& dir, const std::vector<std::string>& args);

std::string read_file(const std::filesystem::path& file);
std::vector<std::string> read_lines(const std::filesystem::path& file);

// A fresh directory under the test temporary directory, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};
