// Reads the numbers at the front of a text file one conversion at a time, with
// scanf's "%i" and "%lf" rules in the "C" locale, pulling the file in blocks
// only as far as the numbers asked for: the rest of a large file is never read.
#pragma once

#include <cstddef>
#include <string>

namespace ombrisk {

class NumberReader {
 public:
  NumberReader() = default;
  ~NumberReader();
  NumberReader(const NumberReader&) = delete;
  NumberReader& operator=(const NumberReader&) = delete;

  // Opens a regular file for reading; false when it cannot be opened.
  bool open(const std::string& path);

  // One conversion: white space (CR and LF included) is skipped, then the
  // number is taken. False when there is none (the end of the file, or text
  // that is not a number), when the word is longer than 64 KiB, or when
  // reading fails.
  bool read_int(int& value);
  bool read_double(double& value);

 private:
  // Skips white space and makes sure the next word is whole in the buffer, so
  // a conversion never stops at a block boundary; false at the end or on error.
  bool load_next_word();
  bool fill();

  int fd_ = -1;
  bool at_end_ = false;
  std::string buffer_;
  std::size_t pos_ = 0;
};

}  // namespace ombrisk
