// The writer: exact text of a saved model, and saves that cannot complete.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cmath>
#include <filesystem>
#include <limits>
#include <sstream>
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

ModelState start_up() {
  ModelState m;
  start_up_model(m);
  return m;
}

TEST(DataFileWrite, StartUpModelHeaderStomataAndGrid) {
  const ModelState m = start_up();
  const std::string text = format_data_file(m);
  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), 3u + 10u + 100u);
  EXPECT_EQ(lines[0], "800 800 100 100 0");
  EXPECT_EQ(lines[1], "1.0000e-01 1.0000e-02");
  EXPECT_EQ(lines[2], "10 1  1.00   1.0000   0.0100   1.0000 -10.0000   0.0000");
  EXPECT_EQ(lines[3], "10 20 0.995525518");  // stoma_flux(0) with the start values
  EXPECT_EQ(lines[12], "80 70 0.995525518");
  std::string zero_row;
  for (int c = 0; c < 100; ++c) zero_row += "  0.0000 ";
  EXPECT_EQ(lines[13], zero_row);
  EXPECT_EQ(lines[112], zero_row);
  EXPECT_EQ(text.back(), '\n');
}

TEST(DataFileWrite, StomaLineAndCellTextsAreExact) {
  ModelState m = start_up();
  m.stomata.stoma_col[0] = 10;
  m.stomata.stoma_row[0] = 20;
  m.stomata.stoma_j[0] = 0.5;
  m.stomata.stoma_j[1] = -std::numeric_limits<double>::quiet_NaN();
  m.stomata.stoma_j[2] = std::numeric_limits<double>::infinity();
  m.p_current[0][0] = -1.5;
  m.p_current[0][1] = 1e300;  // printf prints every digit
  m.p_current[0][2] = -0.00001;
  m.p_current[0][3] = std::numeric_limits<double>::quiet_NaN();
  m.p_current[0][4] = -std::numeric_limits<double>::infinity();
  m.p_current[99][99] = 123.45678;
  const std::vector<std::string> lines = lines_of(format_data_file(m));
  EXPECT_EQ(lines[3], "10 20 0.500000000");
  EXPECT_EQ(lines[4], "10 60        -nan");
  EXPECT_EQ(lines[5], "20 40         inf");
  char huge[400];
  std::snprintf(huge, sizeof huge, "%8.4f ", 1e300);
  EXPECT_EQ(lines[13].substr(0, 9), " -1.5000 ");
  EXPECT_EQ(lines[13].substr(9, std::string(huge).size()), huge);
  EXPECT_EQ(lines[13].substr(9 + std::string(huge).size(), 27), " -0.0000      nan     -inf ");
  EXPECT_EQ(lines[112].substr(99 * 9), "123.4568 ");
}

TEST(DataFileWrite, RowsOtherThanColumnsGiveOneLinePerRow) {
  ModelState m = start_up();
  free_lattice(m);
  m.rows = 60;
  reset_lattice(m);
  const std::vector<std::string> lines = lines_of(format_data_file(m));
  EXPECT_EQ(lines.size(), 3u + 10u + 60u);
  EXPECT_EQ(lines[0], "800 800 60 100 0");
}

TEST(DataFileWrite, SaveWritesTheFormattedTextAndReplacesAnOldFile) {
  TempDir dir;
  ModelState m = start_up();
  m.data_file_name = dir.file("run.dat");
  write_file(m.data_file_name, "an older, longer file that must disappear entirely\n");
  ::chmod(m.data_file_name.c_str(), 0640);
  ASSERT_EQ(save_data_file(m), FileError::none);
  EXPECT_EQ(read_file(m.data_file_name), format_data_file(m));
  struct stat st;
  ASSERT_EQ(::stat(m.data_file_name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing else is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(DataFileWrite, SaveThroughASymbolicLinkReplacesTheFileItNames) {
  TempDir dir;
  ModelState m = start_up();
  write_file(dir.file("real.dat"), "old\n");
  std::filesystem::create_symlink(dir.file("real.dat"), dir.file("link.dat"));
  m.data_file_name = dir.file("link.dat");
  ASSERT_EQ(save_data_file(m), FileError::none);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.dat")));
  EXPECT_EQ(read_file(dir.file("real.dat")), format_data_file(m));
}

TEST(DataFileWrite, UnwritablePlacesReportCannotWriteAndKeepTheOldFile) {
  TempDir dir;
  ModelState m = start_up();

  m.data_file_name = dir.file("missing/run.dat");
  EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  m.data_file_name = "";
  EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  m.data_file_name = dir.path().string();  // a directory
  EXPECT_EQ(save_data_file(m), FileError::cannot_write);

  const std::string old_file = dir.file("locked/run.dat");
  std::filesystem::create_directory(dir.file("locked"));
  write_file(old_file, "keep me\n");
  ::chmod(dir.file("locked").c_str(), 0555);
  m.data_file_name = old_file;
  if (::geteuid() != 0) {  // root writes anywhere
    EXPECT_EQ(save_data_file(m), FileError::cannot_write);
    EXPECT_EQ(read_file(old_file), "keep me\n");
  }
  ::chmod(dir.file("locked").c_str(), 0755);

  ::chmod(old_file.c_str(), 0444);  // a read-only file is not replaced
  if (::geteuid() != 0) {
    EXPECT_EQ(save_data_file(m), FileError::cannot_write);
    EXPECT_EQ(read_file(old_file), "keep me\n");
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("locked")),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(DataFileWrite, WriteFailingPartWayKeepsTheOldFile) {
  // A file size limit makes the writes fail once the file has 64 KiB, well
  // into the grid, as a full disk would.
  TempDir dir;
  ModelState m = start_up();
  free_lattice(m);
  m.rows = m.cols = 400;
  reset_lattice(m);
  m.data_file_name = dir.file("run.dat");
  write_file(m.data_file_name, "keep me\n");

  struct rlimit old_limit;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  if (old_limit.rlim_cur != RLIM_INFINITY && old_limit.rlim_cur < 65536) GTEST_SKIP();
  void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit;
  limit.rlim_cur = 65536;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const FileError error = save_data_file(m);
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(error, FileError::cannot_write);
  EXPECT_EQ(read_file(m.data_file_name), "keep me\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(DataFileWrite, SaveWritesTheSameBytesAsFormat) {
  // The save passes the text to the file in chunks; a grid larger than one
  // chunk, with a few huge values, must come out whole.
  TempDir dir;
  ModelState m = start_up();
  free_lattice(m);
  m.rows = m.cols = 800;
  reset_lattice(m);
  for (std::size_t i = 0; i < m.p_current.values.size(); ++i) {
    m.p_current.values[i] = std::sin(static_cast<double>(i)) * 20.0;
  }
  m.p_current[400][799] = -1e200;
  m.p_current[799][0] = 1e20;
  m.data_file_name = dir.file("big.dat");
  ASSERT_EQ(save_data_file(m), FileError::none);
  const std::string text = format_data_file(m);
  EXPECT_EQ(read_file(m.data_file_name), text);
  EXPECT_EQ(lines_of(text).size(), 3u + 10u + 800u);
}

TEST(DataFileWrite, CommaDecimalLocaleStillWritesAndReadsPoints) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE", "fr_FR"};
  const char* found = nullptr;
  for (const char* name : names) {
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
  const std::string text = format_data_file(m);
  m.data_file_name = dir.file("locale.dat");
  const FileError saved = save_data_file(m);
  ModelState loaded = start_up();
  loaded.params.kepi = 7;
  loaded.spacing = 7;
  loaded.data_file_name = m.data_file_name;
  const FileError load_error = load_data_file(loaded);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(saved, FileError::none);
  EXPECT_EQ(load_error, FileError::none);
  EXPECT_EQ(loaded.params.kepi, 0.1);
  EXPECT_EQ(loaded.spacing, 1.0);
  EXPECT_EQ(std::string(probe), "1,5") << found;
  const std::vector<std::string> lines = lines_of(text);
  EXPECT_EQ(lines[1], "1.0000e-01 1.0000e-02");
  EXPECT_EQ(lines[2], "10 1  1.00   1.0000   0.0100   1.0000 -10.0000   0.0000");
  EXPECT_EQ(lines[3], "10 20 0.995525518");
  EXPECT_EQ(lines[13].substr(0, 18), " -1.5000   0.0000 ");
}

}  // namespace
}  // namespace ombrisk
