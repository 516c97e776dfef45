// InputFile on POSIX systems: open, fstat and read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "datafile/input_file.h"

namespace ombrisk {

InputFile::~InputFile() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool InputFile::open(const std::string& path) {
  if (path.empty() || handle_ >= 0) return false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

std::int64_t InputFile::read_some(char* data, std::size_t size) {
  if (handle_ < 0) return -1;
  ssize_t n;
  do {
    n = ::read(static_cast<int>(handle_), data, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

}  // namespace ombrisk
