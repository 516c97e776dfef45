// The writer on POSIX systems: replacing a file and its permission bits,
// saves that cannot complete, symbolic links, devices and pipes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "datafile/data_file.h"
#include "saved_model.h"
#include "temp_dir.h"

namespace ombrisk {
namespace {

using testing::files_in;
using testing::lines_of;
using testing::read_file;
using testing::start_up;
using testing::TempDir;
using testing::write_file;

TEST(DataFileWrite, SaveStoresTheFormattedTextInPlaceOfTheOldFile) {
  // Larger than one of the chunks the save passes to the file, rows other
  // than columns, and a few values too large for the fast formatter.
  TempDir dir;
  ModelState m = start_up(1000, 800);
  for (std::size_t i = 0; i < m.p_current.values.size(); ++i) {
    m.p_current.values[i] = std::sin(static_cast<double>(i)) * 20.0;
  }
  m.p_current[400][799] = -1e200;
  m.p_current[999][0] = 1e20;
  m.data_file_name = dir.file("run.dat");
  write_file(m.data_file_name, "an older file\n");
  ::chmod(m.data_file_name.c_str(), 0640);
  ASSERT_EQ(save_data_file(m), FileError::none);
  const std::string text = format_data_file(m);
  EXPECT_EQ(read_file(m.data_file_name), text);
  EXPECT_EQ(lines_of(text).size(), 3u + 10u + 1000u);
  struct stat st;
  ASSERT_EQ(::stat(m.data_file_name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(files_in(dir.path()), 1u);

  // Through a symbolic link: the file it names is replaced, the link stays.
  std::filesystem::create_symlink(dir.file("run.dat"), dir.file("link.dat"));
  m = start_up();
  m.data_file_name = dir.file("link.dat");
  ASSERT_EQ(save_data_file(m), FileError::none);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.dat")));
  EXPECT_EQ(read_file(dir.file("run.dat")), format_data_file(m));
}

TEST(DataFileWrite, UnwritablePlacesReportCannotWriteAndKeepTheOldFile) {
  TempDir dir;
  ModelState m = start_up();
  for (const std::string& name : {dir.file("missing/run.dat"), std::string(), dir.path().string()}) {
    m.data_file_name = name;
    EXPECT_EQ(save_data_file(m), FileError::cannot_write) << name;
  }
  const std::string old_file = dir.file("locked/run.dat");
  std::filesystem::create_directory(dir.file("locked"));
  write_file(old_file, "keep me\n");
  m.data_file_name = old_file;
  if (::geteuid() != 0) {  // root writes anywhere
    ::chmod(dir.file("locked").c_str(), 0555);
    EXPECT_EQ(save_data_file(m), FileError::cannot_write);
    ::chmod(dir.file("locked").c_str(), 0755);
    ::chmod(old_file.c_str(), 0444);  // a read-only file is not replaced
    EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  }

  // A file size limit makes the writes fail once the file has 64 KiB, well
  // into the grid, as a full disk would.
  ::chmod(old_file.c_str(), 0644);
  m = start_up(400, 400);
  m.data_file_name = old_file;
  struct rlimit old_limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  if (old_limit.rlim_cur == RLIM_INFINITY || old_limit.rlim_cur >= 65536) {
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_limit;
    limit.rlim_cur = 65536;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const FileError error = save_data_file(m);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(error, FileError::cannot_write);
  }
  EXPECT_EQ(read_file(old_file), "keep me\n");
  EXPECT_EQ(files_in(dir.file("locked")), 1u);
}

// Whether a file exists as a symbolic link holding `text`.
bool is_link_to(const std::string& link, const std::string& text) {
  std::error_code ec;
  return std::filesystem::is_symlink(link, ec) &&
         std::filesystem::read_symlink(link, ec).string() == text;
}

ino_t inode_of(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(DataFileWrite, SymbolicLinksAreWrittenThroughAndStayLinks) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("data"));
  std::filesystem::create_directory(dir.file("links"));
  ModelState m = start_up();
  const std::string text = format_data_file(m);

  // A link to an existing file: the file is replaced by a new one (renamed
  // over it, so never half-written), the link keeps naming it.
  write_file(dir.file("data/old.dat"), "old\n");
  std::filesystem::create_symlink("../data/old.dat", dir.file("links/old.dat"));
  const ino_t before = inode_of(dir.file("data/old.dat"));
  m.data_file_name = dir.file("links/old.dat");
  ASSERT_EQ(save_data_file(m), FileError::none);
  EXPECT_TRUE(is_link_to(dir.file("links/old.dat"), "../data/old.dat"));
  EXPECT_EQ(read_file(dir.file("data/old.dat")), text);
  EXPECT_NE(inode_of(dir.file("data/old.dat")), before);

  // Broken links, relative (to the link's own folder) and absolute, and a
  // chain of them: the missing file is created where the last one points.
  std::filesystem::create_symlink("../data/new.dat", dir.file("links/broken.dat"));
  std::filesystem::create_symlink(dir.file("data/abs.dat"), dir.file("links/abs.dat"));
  std::filesystem::create_symlink("abs.dat", dir.file("links/chain.dat"));
  for (const char* link : {"links/broken.dat", "links/chain.dat"}) {
    m.data_file_name = dir.file(link);
    ASSERT_EQ(save_data_file(m), FileError::none) << link;
  }
  EXPECT_TRUE(is_link_to(dir.file("links/broken.dat"), "../data/new.dat"));
  EXPECT_TRUE(is_link_to(dir.file("links/chain.dat"), "abs.dat"));
  EXPECT_TRUE(is_link_to(dir.file("links/abs.dat"), dir.file("data/abs.dat")));
  EXPECT_EQ(read_file(dir.file("data/new.dat")), text);
  EXPECT_EQ(read_file(dir.file("data/abs.dat")), text);
  EXPECT_EQ(files_in(dir.file("data")), 3u);
  EXPECT_EQ(files_in(dir.file("links")), 4u);

  // A link into a missing folder, and links that go round: nothing is made.
  std::filesystem::create_symlink("../nowhere/run.dat", dir.file("links/lost.dat"));
  std::filesystem::create_symlink("loop2.dat", dir.file("links/loop1.dat"));
  std::filesystem::create_symlink("loop1.dat", dir.file("links/loop2.dat"));
  for (const char* link : {"links/lost.dat", "links/loop1.dat"}) {
    m.data_file_name = dir.file(link);
    EXPECT_EQ(save_data_file(m), FileError::cannot_write) << link;
  }
  EXPECT_TRUE(is_link_to(dir.file("links/lost.dat"), "../nowhere/run.dat"));
  EXPECT_TRUE(is_link_to(dir.file("links/loop1.dat"), "loop2.dat"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
  EXPECT_EQ(files_in(dir.file("links")), 7u);
  EXPECT_EQ(files_in(dir.path()), 2u);

  // A link to a device is written through to the device.
  std::filesystem::create_symlink("/dev/null", dir.file("links/null.dat"));
  m.data_file_name = dir.file("links/null.dat");
  EXPECT_EQ(save_data_file(m), FileError::none);
  EXPECT_TRUE(is_link_to(dir.file("links/null.dat"), "/dev/null"));
}

// Reads a pipe until its writer closes it, or only `limit` bytes before
// closing it early; opened before the save so that the save finds a reader.
class PipeReader {
 public:
  PipeReader(const std::string& name, std::size_t limit = SIZE_MAX) {
    fd_ = ::open(name.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd_ < 0) return;
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    thread_ = std::thread([this, limit] {
      char buf[4096];
      // Until the writer comes, read() reports the end: wait for data then.
      for (int idle = 0; text_.size() < limit && idle < 1000;) {
        const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, limit - text_.size()));
        if (n > 0) {
          text_.append(buf, static_cast<std::size_t>(n));
        } else if (n < 0 || !text_.empty()) {
          break;
        } else {
          ++idle;
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
      }
      ::close(fd_);
    });
  }
  ~PipeReader() { finish(); }
  const std::string& finish() {
    if (thread_.joinable()) thread_.join();
    return text_;
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::thread thread_;
  std::string text_;
};

TEST(DataFileWrite, DevicesAndPipesAreWrittenDirectly) {
  TempDir dir;
  ModelState m = start_up();
  const std::string text = format_data_file(m);

  m.data_file_name = "/dev/null";
  EXPECT_EQ(save_data_file(m), FileError::none);
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  if (::access("/dev/full", W_OK) == 0) {  // every write fails: no space left
    m.data_file_name = "/dev/full";
    EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  }

  // A pipe with a reader gets the whole text and stays a pipe; nothing else
  // is made in its folder.
  const std::string fifo = dir.file("pipe.dat");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  m.data_file_name = fifo;
  {
    PipeReader reader(fifo);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(save_data_file(m), FileError::none);
    EXPECT_EQ(reader.finish(), text);
  }
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // No reader: refused at once rather than waiting for one. A reader that
  // leaves early: a failed write, and the program goes on (no SIGPIPE).
  EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  {
    ModelState large = start_up(400, 400);  // far more than a pipe holds
    large.data_file_name = fifo;
    PipeReader reader(fifo, 100);
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(save_data_file(large), FileError::cannot_write);
    EXPECT_EQ(reader.finish(), format_data_file(large).substr(0, 100));
  }
  EXPECT_EQ(files_in(dir.path()), 1u);

  // /dev/stdout leads to whatever standard output is, here a pipe.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  std::string received;
  std::thread drain([&] {
    char buf[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;) {
      received.append(buf, static_cast<std::size_t>(n));
    }
  });
  std::fflush(stdout);
  const int saved_stdout = ::dup(1);
  ::dup2(pipe_fds[1], 1);
  ::close(pipe_fds[1]);
  m.data_file_name = "/dev/stdout";
  const FileError error = save_data_file(m);
  ::dup2(saved_stdout, 1);
  ::close(saved_stdout);
  drain.join();
  ::close(pipe_fds[0]);
  EXPECT_EQ(error, FileError::none);
  EXPECT_EQ(received, text);
}

}  // namespace
}  // namespace ombrisk
