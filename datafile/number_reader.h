// Reads the numbers at the front of a text file one at a time, with scanf's
// "%i" and "%lf" rules in the "C" locale and a few refusals of its own,
// pulling the file in blocks only as far as the numbers asked for: the rest
// of a large file is never read.
#pragma once

#include <cstddef>
#include <string>

#include "datafile/input_file.h"

namespace ombrisk {

// No number this program writes comes near this length; a longer word (the
// text from the first character after white space up to the next white
// space or the end of the file) is refused rather than buffered whole.
inline constexpr std::size_t kMaxNumberWord = 64 * 1024;

class NumberReader {
 public:
  // Opens a file for reading; false when it cannot be opened.
  bool open(const std::string& path);

  // One number: white space (CR and LF included) is skipped, then the number
  // is taken; what follows it in the same word is left for the next one.
  // False, with `value` untouched, when there is none (the end of the file,
  // or text that is not a number), when the word is longer than
  // kMaxNumberWord, when reading fails, or when the text right after the
  // number goes on as no complete number does: an exponent or 0x without
  // digits ("1e", "1e+", "0x"), an unfinished "infinity" or "nan(...)".
  // read_int also refuses values outside the int range and integers that go
  // on as a fraction or exponent ("1.5", "2e3").
  bool read_int(int& value);
  bool read_double(double& value);

 private:
  // Skips white space and makes sure the next word is whole in the buffer, so
  // a conversion never stops at a block boundary; false at the end, on error
  // or for an over-long word.
  bool load_next_word();
  bool fill();

  const char* word_begin() const { return buffer_.data() + pos_; }
  const char* word_end() const { return buffer_.data() + word_end_; }

  InputFile file_;
  bool at_end_ = false;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::size_t word_end_ = 0;
};

}  // namespace ombrisk
