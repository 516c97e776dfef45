// A file opened for reading by its name (UTF-8), read a piece at a time as
// the system hands it over, so that a pipe is never waited on for more than
// it has. Each platform has its own source file for this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ombrisk {

class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // False when the file cannot be opened for reading or is a directory.
  bool open(const std::string& path);

  // Reads at most `size` bytes: the count read, 0 at the end, -1 on failure.
  std::int64_t read_some(char* data, std::size_t size);

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace ombrisk
