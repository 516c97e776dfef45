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

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

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

bool replace_file_contents(const std::string& path, const char* data, std::size_t size) {
  if (path.empty()) return false;
  const std::string target = replacement_target(path);
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return false;
  // A read-only file stays protected, as if it had been opened for writing.
  if (exists && ::access(target.c_str(), W_OK) != 0) return false;

  std::string temporary;
  const int fd = create_temporary(target, temporary);
  if (fd < 0) return false;

  bool ok = write_all(fd, data, size);
  if (ok && exists) ::fchmod(fd, existing.st_mode & 07777);  // best effort
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace ombrisk
