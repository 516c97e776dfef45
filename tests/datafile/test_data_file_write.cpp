// The writer: exact text of a saved model, and saves that cannot complete.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <limits>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "datafile/data_file.h"
#include "temp_dir.h"

namespace ombrisk {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

ModelState start_up(int rows = 100, int cols = 100) {
  ModelState m;
  start_up_model(m);
  free_lattice(m);
  m.rows = rows;
  m.cols = cols;
  reset_lattice(m);
  return m;
}

std::size_t files_in(const std::filesystem::path& dir) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                 std::filesystem::directory_iterator()));
}

TEST(DataFileWrite, HeaderStomaLinesAndCellsAreExact) {
  ModelState m = start_up();
  std::vector<std::string> lines = lines_of(format_data_file(m));
  ASSERT_EQ(lines.size(), 3u + 10u + 100u);
  EXPECT_EQ(lines[0], "800 800 100 100 0");
  EXPECT_EQ(lines[1], "1.0000e-01 1.0000e-02");
  EXPECT_EQ(lines[2], "10 1  1.00   1.0000   0.0100   1.0000 -10.0000   0.0000");
  EXPECT_EQ(lines[3], "10 20 0.995525518");  // stoma_flux(0) with the start values
  std::string zero_row;
  for (int c = 0; c < 100; ++c) zero_row += "  0.0000 ";
  EXPECT_EQ(lines[112], zero_row);

  m.stomata.stoma_j[0] = 0.5;
  m.stomata.stoma_j[1] = -std::numeric_limits<double>::quiet_NaN();
  m.stomata.stoma_j[2] = std::numeric_limits<double>::infinity();
  const double cells[] = {-1.5, 1e300, -0.00001, std::numeric_limits<double>::quiet_NaN(),
                          -std::numeric_limits<double>::infinity(), 123.45678};
  std::string expected_row;
  for (std::size_t c = 0; c < 100; ++c) {
    if (c < std::size(cells)) m.p_current[0][c] = cells[c];
    char text[400];
    std::snprintf(text, sizeof text, "%8.4f ", m.p_current[0][c]);
    expected_row += text;
  }
  lines = lines_of(format_data_file(m));
  EXPECT_EQ(lines[3], "10 20 0.500000000");
  EXPECT_EQ(lines[4], "10 60        -nan");
  EXPECT_EQ(lines[5], "20 40         inf");
  EXPECT_EQ(lines[13].substr(0, 9), " -1.5000 ");
  EXPECT_EQ(lines[13], expected_row);
}

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

TEST(DataFileWrite, CommaDecimalLocaleStillWritesAndReadsPoints) {
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      found = name;
      break;
    }
  }
  if (found == nullptr) GTEST_SKIP() << "no comma-decimal locale installed";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  TempDir dir;
  ModelState m = start_up();
  m.p_current[0][0] = -1.5;
  m.data_file_name = dir.file("locale.dat");
  const FileError saved = save_data_file(m);
  ModelState loaded = start_up();
  loaded.params.kepi = 7;
  loaded.spacing = 7;
  loaded.data_file_name = m.data_file_name;
  const FileError load_error = load_data_file(loaded);
  std::setlocale(LC_ALL, "C");

  EXPECT_EQ(std::string(probe), "1,5") << found;
  EXPECT_EQ(saved, FileError::none);
  const std::vector<std::string> lines = lines_of(read_file(m.data_file_name));
  EXPECT_EQ(lines[1], "1.0000e-01 1.0000e-02");
  EXPECT_EQ(lines[2], "10 1  1.00   1.0000   0.0100   1.0000 -10.0000   0.0000");
  EXPECT_EQ(lines[3], "10 20 0.995525518");
  EXPECT_EQ(lines[13].substr(0, 18), " -1.5000   0.0000 ");
  EXPECT_EQ(load_error, FileError::none);
  EXPECT_EQ(loaded.params.kepi, 0.1);
  EXPECT_EQ(loaded.spacing, 1.0);
}

}  // namespace
}  // namespace ombrisk
