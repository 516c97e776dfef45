// The writer: exact text of a saved model, and a save's bytes on every platform.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

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
TEST(DataFileWrite, SavedBytesAreTheFormattedTextWithLineFeedsOnly) {
  TempDir dir;
  ModelState m = start_up(60, 50);
  m.p_current[3][7] = -1.25;
  m.data_file_name = dir.file("run.dat");
  write_file(m.data_file_name, "an older file\r\n");
  ASSERT_EQ(save_data_file(m), FileError::none);
  const std::string saved = read_file(m.data_file_name);
  EXPECT_EQ(saved, format_data_file(m));
  EXPECT_EQ(saved.find('\r'), std::string::npos);
  EXPECT_EQ(lines_of(saved).size(), 3u + 10u + 60u);
  EXPECT_EQ(files_in(dir.path()), 1u);
  for (const std::string& name : {dir.file("missing/run.dat"), std::string(), dir.path().string()}) {
    m.data_file_name = name;
    EXPECT_EQ(save_data_file(m), FileError::cannot_write) << name;
  }
  EXPECT_EQ(read_file(dir.file("run.dat")), saved);
  EXPECT_EQ(files_in(dir.path()), 1u);
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
