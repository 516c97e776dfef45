// Appending a summary row on a POSIX system: the file opened in append mode,
// locked while its first line is read and the row written, and the row (with
// the header, when the file is empty) written by one write() call.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "batch/summary.h"

namespace ombrisk::batch {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failure to close (a full disk on some file
  // systems) is seen.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

std::string failure(const std::string& path) {
  return "Cannot write file " + path + " (" + std::strerror(errno) + ")";
}

// The file's first `limit` bytes, or fewer up to its first line end.
std::string first_bytes(int fd, std::size_t limit) {
  std::string text(limit, '\0');
  ssize_t got = 0;
  std::size_t have = 0;
  while (have < limit && (got = ::pread(fd, text.data() + have, limit - have, off_t(have))) > 0) {
    have += std::size_t(got);
    if (text.find('\n') < have) break;
  }
  text.resize(have);
  return text;
}

}  // namespace

std::string append_summary(const std::string& path, const std::string& header,
                           const std::string& row) {
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  if (fd.get() < 0) return failure(path);
  // Another process may be looking at the same empty file: the lock makes
  // only one of them write the header.
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return failure(path);
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return failure(path);
  std::string text;
  if (st.st_size == 0) {
    text = header + row;
  } else {
    Descriptor reader(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (reader.get() < 0) return "Cannot read file " + path;
    if (!opens_with_header(first_bytes(reader.get(), header.find('\n') + 2), header))
      return other_columns_text(path);
    text = row;
  }
  const ssize_t written = ::write(fd.get(), text.data(), text.size());
  if (written != static_cast<ssize_t>(text.size())) {
    if (written >= 0) errno = ENOSPC;
    const std::string message = failure(path);
    // A part of a row would spoil the table: the file goes back to what it
    // held (the lock keeps other appenders waiting meanwhile).
    if (written > 0 && ::ftruncate(fd.get(), st.st_size) != 0)
      return message + "; it may end in part of a row";
    return message;
  }
  if (!fd.close()) return failure(path);
  return {};
}

}  // namespace ombrisk::batch
