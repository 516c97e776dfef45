// FileReplacement on POSIX systems: a temporary file beside the target and
// rename(2), or the target itself for a device or a pipe.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "datafile/file_replace.h"

namespace ombrisk {

namespace {

// As the kernel limits the links followed in one name.
constexpr int kMaxLinksFollowed = 40;

// The absolute name of an existing file or folder, links resolved; empty
// when it does not exist.
std::string resolved(const std::string& path) {
  std::string name;
  if (char* r = ::realpath(path.c_str(), nullptr)) {
    name = r;
    ::free(r);
  }
  return name;
}

// Where a file that does not exist yet is created when `path` names it,
// perhaps through symbolic links whose destination is missing: the links are
// followed one by one, each relative to the folder it is in. Empty when a
// folder on the way does not exist or the links go round.
std::string missing_file_target(const std::string& path) {
  std::string name = path;
  for (int links = 0;; ++links) {
    // The folder through its own links and "..", then the last part in it.
    const std::size_t slash = name.rfind('/');
    const std::string folder =
        resolved(slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash));
    if (folder.empty()) return {};
    name = (folder == "/" ? folder : folder + "/") +
           (slash == std::string::npos ? name : name.substr(slash + 1));
    struct stat st;
    if (::lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    if (links == kMaxLinksFollowed) return {};
    std::string text(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256, '\0');
    ssize_t n;
    while ((n = ::readlink(name.c_str(), text.data(), text.size())) >= 0 &&
           static_cast<std::size_t>(n) == text.size()) {
      text.resize(text.size() * 2);  // the link grew since lstat
    }
    if (n <= 0) return {};
    text.resize(static_cast<std::size_t>(n));
    name = text[0] == '/' ? text : folder + "/" + text;
  }
}

// Opens a new file beside `target` that no one else has; the name goes to `name`.
int create_temporary(const std::string& target, std::string& name) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = target + ".tmp" + std::to_string(::getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
    // 0666 less the umask: what the file would get if it were created directly.
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      if (fd < 0) name.clear();
      return fd;
    }
  }
  name.clear();
  return -1;
}

bool written_directly(mode_t mode) { return S_ISCHR(mode) || S_ISFIFO(mode); }

// Opens a device or a pipe for writing. Without a reader a pipe would block
// the open until one comes: that is refused instead.
int open_direct(const std::string& target) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &st) != 0 || !written_directly(st.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A pipe whose reader has gone raises SIGPIPE, which would end the program:
// it is held back for the write and, when the write raised it, taken.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    was_pending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
    held_ = pthread_sigmask(SIG_BLOCK, &pipe_, &previous_) == 0;
  }
  ~SigpipeHeld() {
    if (!held_) return;
    sigset_t pending;
    sigemptyset(&pending);
    if (!was_pending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
      int taken;
      sigwait(&pipe_, &taken);  // returns at once: it is pending
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }
  SigpipeHeld(const SigpipeHeld&) = delete;
  SigpipeHeld& operator=(const SigpipeHeld&) = delete;

 private:
  sigset_t pipe_, previous_;
  bool was_pending_ = false;
  bool held_ = false;
};

}  // namespace

FileReplacement::FileReplacement(const std::string& path) {
  if (path.empty()) return;
  struct stat existing;
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && written_directly(existing.st_mode)) {
    // Opened by the name given: /dev/stdout and its like lead to a pipe
    // whose link text is no file name.
    target_ = path;
    handle_ = open_direct(path);
    return;
  }
  if (exists && !S_ISREG(existing.st_mode)) return;
  target_ = exists ? resolved(path) : missing_file_target(path);
  if (target_.empty()) return;
  // A read-only file stays protected, as if it had been opened for writing.
  if (exists && ::access(target_.c_str(), W_OK) != 0) return;
  const int fd = create_temporary(target_, temporary_);
  if (fd >= 0 && exists) ::fchmod(fd, existing.st_mode & 07777);  // best effort
  handle_ = fd;
}

FileReplacement::~FileReplacement() { discard(); }

void FileReplacement::discard() {
  if (handle_ != -1) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
}

bool FileReplacement::write(const char* data, std::size_t size) {
  if (!ok()) return false;
  const int fd = static_cast<int>(handle_);
  std::optional<SigpipeHeld> held;
  if (temporary_.empty()) held.emplace();
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
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
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  const bool closed = ::close(fd) == 0;
  if (temporary_.empty()) return closed;  // written directly
  if (!closed || std::rename(temporary_.c_str(), target_.c_str()) != 0) {
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace ombrisk
