#include "datafile/number_reader.h"

#include "datafile/c_number_scan.h"
#include "datafile/c_text.h"

namespace ombrisk {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Whether a "%i" or "%lf" conversion could start with c (a sign, a digit, a
// point, or the first letter of inf or nan).
bool may_start_number(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' ||
         c == 'n' || c == 'N';
}

bool is_one_of(char c, const char* set) {
  for (; *set != '\0'; ++set) {
    if (c == *set) return true;
  }
  return false;
}

// Whether the character after a number of this form starts a longer number
// that was left unfinished: the scanner takes every complete one, so such a
// character can only begin an exponent, a hexadecimal part or the rest of
// "infinity" or "nan(...)" that is not there.
bool continues_unfinished(NumberForm form, const char* number, const char* next) {
  switch (form) {
    case NumberForm::decimal:
      // "0x" with no hex digit is read as the 0 before it.
      return is_one_of(*next, "eE") ||
             (is_one_of(*next, "xX") && next[-1] == '0' &&
              (next - number == 1 || (next - number == 2 && is_one_of(number[0], "+-"))));
    case NumberForm::hexadecimal: return is_one_of(*next, "pP");
    case NumberForm::infinity: return is_one_of(*next, "iI");
    case NumberForm::nan: return *next == '(';
    case NumberForm::none: break;
  }
  return false;
}

}  // namespace

bool NumberReader::open(const std::string& path) { return file_.open(path); }

bool NumberReader::fill() {
  if (at_end_) return false;
  // Drop what was consumed once it is most of the buffer.
  if (pos_ > kBlock) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t old_size = buffer_.size();
  buffer_.resize(old_size + kBlock);
  const std::int64_t n = file_.read_some(buffer_.data() + old_size, kBlock);
  buffer_.resize(old_size + (n > 0 ? static_cast<std::size_t>(n) : 0));
  if (n <= 0) {
    at_end_ = true;
    return false;
  }
  return true;
}

bool NumberReader::load_next_word() {
  for (;;) {
    while (pos_ < buffer_.size() && is_c_space(buffer_[pos_])) ++pos_;
    if (pos_ < buffer_.size()) break;
    if (!fill()) return false;
  }
  // Text that cannot be a number fails its conversion as it is.
  if (!may_start_number(buffer_[pos_])) {
    word_end_ = pos_;
    return true;
  }
  std::size_t length = 0;
  for (;;) {
    const std::size_t available = buffer_.size() - pos_;
    while (length < available && length <= kMaxNumberWord && !is_c_space(buffer_[pos_ + length])) {
      ++length;
    }
    if (length > kMaxNumberWord) return false;
    if (length < available || !fill()) break;  // white space, or the end of the file
  }
  word_end_ = pos_ + length;
  return true;
}

bool NumberReader::read_int(int& value) {
  if (!load_next_word()) return false;
  const ScannedInteger n = scan_c_integer(word_begin(), word_end(), 0);
  if (n.end == word_begin()) return false;
  if (n.end != word_end() && is_one_of(*n.end, ".eExX")) return false;
  int v;
  if (!integer_as_int(n, v)) return false;
  value = v;
  pos_ = static_cast<std::size_t>(n.end - buffer_.data());
  return true;
}

bool NumberReader::read_double(double& value) {
  if (!load_next_word()) return false;
  NumberForm form = NumberForm::none;
  double v;
  const char* end = scan_c_double(word_begin(), word_end(), v, &form);
  if (end == word_begin()) return false;
  if (end != word_end() && continues_unfinished(form, word_begin(), end)) return false;
  value = v;
  pos_ = static_cast<std::size_t>(end - buffer_.data());
  return true;
}

}  // namespace ombrisk
