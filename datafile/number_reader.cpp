#include "datafile/number_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

// No number this program writes comes near this length; a longer word is
// refused rather than buffered whole.
constexpr std::size_t kMaxWord = 64 * 1024;

// White space as the "C" locale's isspace has it.
bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Whether a "%i" or "%lf" conversion could start with c (a sign, a digit, a
// point, or the first letter of inf or nan).
bool may_start_number(char c) {
  return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == 'i' || c == 'I' ||
         c == 'n' || c == 'N';
}

}  // namespace

NumberReader::~NumberReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool NumberReader::open(const std::string& path) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

bool NumberReader::fill() {
  if (at_end_ || fd_ < 0) return false;
  // Drop what was consumed once it is most of the buffer.
  if (pos_ > kBlock) {
    buffer_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t old_size = buffer_.size();
  buffer_.resize(old_size + kBlock);
  ssize_t n;
  do {
    n = ::read(fd_, buffer_.data() + old_size, kBlock);
  } while (n < 0 && errno == EINTR);
  buffer_.resize(old_size + (n > 0 ? static_cast<std::size_t>(n) : 0));
  if (n <= 0) {
    at_end_ = true;
    return false;
  }
  return true;
}

bool NumberReader::load_next_word() {
  for (;;) {
    while (pos_ < buffer_.size() && is_space(buffer_[pos_])) ++pos_;
    if (pos_ < buffer_.size()) break;
    if (!fill()) return false;
  }
  // Text that cannot be a number fails its conversion as it is.
  if (!may_start_number(buffer_[pos_])) return true;
  std::size_t scan = pos_;
  for (;;) {
    while (scan < buffer_.size() && !is_space(buffer_[scan])) ++scan;
    if (scan < buffer_.size()) return true;
    const std::size_t offset = scan - pos_;
    if (offset > kMaxWord) return false;
    if (!fill()) return true;  // the word runs to the end of the file
    scan = pos_ + offset;      // fill may have moved the start of the buffer
  }
}

bool NumberReader::read_int(int& value) {
  return load_next_word() && c_scan_int(buffer_, pos_, value);
}

bool NumberReader::read_double(double& value) {
  return load_next_word() && c_scan_double(buffer_, pos_, value);
}

}  // namespace ombrisk
