#include "datafile/file_replace.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

namespace ombrisk {

namespace {

// The file actually replaced: a symbolic link is followed, so the link stays.
std::string replacement_target(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      std::string target(resolved);
      ::free(resolved);
      return target;
    }
  }
  return path;
}

// Opens a new file beside `target` that no one else has; the name goes to `name`.
int create_temporary(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
    // 0666 less the umask: what the file would get if it were created directly.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) {
  if (path.empty()) return;
  target_ = replacement_target(path);
  struct stat existing;
  const bool exists = ::stat(target_.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return;
  // A read-only file stays protected, as if it had been opened for writing.
  if (exists && ::access(target_.c_str(), W_OK) != 0) return;
  fd_ = create_temporary(target_, temporary_);
  if (fd_ >= 0 && exists) ::fchmod(fd_, existing.st_mode & 07777);  // best effort
}

FileReplacement::~FileReplacement() { discard(); }

void FileReplacement::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

bool FileReplacement::write(const char* data, std::size_t size) {
  if (!ok()) return false;
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok_ = false;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool FileReplacement::commit() {
  if (!ok()) {
    discard();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

bool replace_file_contents(const std::string& path, const char* data, std::size_t size) {
  FileReplacement file(path);
  file.write(data, size);
  return file.commit();
}

}  // namespace ombrisk
