// The reader: what a load puts into the model, what it tolerates, and that
// every refused file leaves the model exactly as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "datafile/data_file.h"
#include "temp_dir.h"

namespace ombrisk {
namespace {

using testing::TempDir;
using testing::write_file;

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool same_doubles(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Every field of the record, doubles compared bit for bit.
void expect_same_model(const ModelState& a, const ModelState& b) {
  EXPECT_EQ(a.rows, b.rows);
  EXPECT_EQ(a.cols, b.cols);
  EXPECT_EQ(a.cell_count, b.cell_count);
  EXPECT_EQ(a.p_current.rows, b.p_current.rows);
  EXPECT_EQ(a.p_current.cols, b.p_current.cols);
  EXPECT_TRUE(same_doubles(a.p_current.values, b.p_current.values));
  EXPECT_EQ(a.p_next.rows, b.p_next.rows);
  EXPECT_EQ(a.p_next.cols, b.p_next.cols);
  EXPECT_TRUE(same_doubles(a.p_next.values, b.p_next.values));
  EXPECT_EQ(a.step, b.step);
  for (auto [x, y] : {std::pair{a.params.kepi, b.params.kepi}, {a.params.kin, b.params.kin},
                      {a.params.Jmax, b.params.Jmax}, {a.params.Jo, b.params.Jo},
                      {a.params.a, b.params.a}, {a.params.pminj, b.params.pminj},
                      {a.params.leaf_p, b.params.leaf_p}, {a.target_p, b.target_p},
                      {a.mean_p, b.mean_p}, {a.spacing, b.spacing},
                      {a.saved_spacing, b.saved_spacing},
                      {a.display.p_display_min, b.display.p_display_min},
                      {a.display.p_display_max, b.display.p_display_max},
                      {a.display.j_display_min, b.display.j_display_min},
                      {a.display.j_display_max, b.display.j_display_max}}) {
    EXPECT_TRUE(same_bits(x, y)) << x << " vs " << y;
  }
  EXPECT_EQ(a.params.offset_from_mean, b.params.offset_from_mean);
  EXPECT_EQ(a.stomata.stoma_count, b.stomata.stoma_count);
  EXPECT_EQ(a.stomata.stoma_col, b.stomata.stoma_col);
  EXPECT_EQ(a.stomata.stoma_row, b.stomata.stoma_row);
  EXPECT_TRUE(same_doubles(a.stomata.stoma_j, b.stomata.stoma_j));
  EXPECT_EQ(a.stomata.backup_col, b.stomata.backup_col);
  EXPECT_EQ(a.stomata.backup_row, b.stomata.backup_row);
  EXPECT_EQ(a.border, b.border);
  EXPECT_EQ(a.display.timer_interval_ms, b.display.timer_interval_ms);
  EXPECT_EQ(a.display.display_interval, b.display.display_interval);
  EXPECT_EQ(a.display.auto_p_range, b.display.auto_p_range);
  EXPECT_EQ(a.display.auto_j_range, b.display.auto_j_range);
  EXPECT_EQ(a.view_width, b.view_width);
  EXPECT_EQ(a.view_height, b.view_height);
  EXPECT_EQ(a.dimension_choice, b.dimension_choice);
  EXPECT_EQ(a.data_file_name, b.data_file_name);
  EXPECT_EQ(a.saved_border, b.saved_border);
  EXPECT_EQ(a.paused, b.paused);
  EXPECT_EQ(a.full_speed, b.full_speed);
  EXPECT_EQ(a.dialog_accepted, b.dialog_accepted);
  EXPECT_EQ(a.load_succeeded, b.load_succeeded);
}

// A model that differs from a fresh load in every field a load touches.
ModelState running_model() {
  ModelState m;
  start_up_model(m);
  for (std::size_t i = 0; i < m.p_current.values.size(); ++i) m.p_current.values[i] = -0.001 * i;
  m.p_next.values = m.p_current.values;
  m.step = 1234;
  m.paused = 0;
  m.mean_p = -2.5;
  m.display.p_display_min = -7;
  m.display.p_display_max = 1;
  m.stomata.stoma_j[3] = 0.25;
  m.load_succeeded = 1;
  return m;
}

class DataFileRead : public ::testing::Test {
 protected:
  // Writes `text` as the data file of `m` and loads it.
  FileError load_text(ModelState& m, const std::string& text) {
    m.data_file_name = dir_.file("in.dat");
    write_file(m.data_file_name, text);
    return load_data_file(m);
  }
  TempDir dir_;
};

const char* const kHeader =
    "400 300 60 100 77\n"
    "2.5000e-01 3.0000e-03\n"
    "3 2  1.50   2.0000   0.0200   1.5000  -8.0000  -1.2500\n";
const char* const kStomata =
    "5 6 0.123456789\n"
    "99 59 0.5\n"
    "0 0 0.000000001\n";

void expect_loaded_header_and_stomata(const ModelState& m) {
  EXPECT_EQ(m.load_succeeded, 1);
  EXPECT_EQ(m.view_width, 400);
  EXPECT_EQ(m.view_height, 300);
  EXPECT_EQ(m.rows, 60);
  EXPECT_EQ(m.cols, 100);
  EXPECT_EQ(m.dimension_choice, kDimension100);
  EXPECT_EQ(m.params.kepi, 0.25);
  EXPECT_EQ(m.params.kin, 0.003);
  EXPECT_EQ(m.border, 2);
  EXPECT_EQ(m.spacing, 1.5);
  EXPECT_EQ(m.params.Jmax, 2.0);
  EXPECT_EQ(m.params.Jo, 0.02);
  EXPECT_EQ(m.params.a, 1.5);
  EXPECT_EQ(m.params.pminj, -8.0);
  EXPECT_EQ(m.params.leaf_p, -1.25);
  ASSERT_EQ(m.stomata.stoma_count, 3);
  EXPECT_EQ(m.stomata.stoma_col, (std::vector<int>{5, 99, 0}));
  EXPECT_EQ(m.stomata.stoma_row, (std::vector<int>{6, 59, 0}));
  EXPECT_EQ(m.stomata.stoma_j, (std::vector<double>{0.123456789, 0.5, 0.000000001}));
  EXPECT_EQ(m.stomata.backup_col.size(), 3u);
  // The rebuild: step 0, paused, every p 0, display bounds reset.
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.paused, 1);
  EXPECT_EQ(m.cell_count, 6000);
  EXPECT_EQ(m.mean_p, 0.0);
  EXPECT_EQ(m.p_current.values, std::vector<double>(6000, 0.0));
  EXPECT_EQ(m.p_next.values.size(), 6000u);
  EXPECT_EQ(m.display.p_display_min, -5.0);
  EXPECT_EQ(m.display.p_display_max, 5.0);
  const double j0 = stoma_flux(m.params, 0.0);  // with the file's parameters
  EXPECT_EQ(m.display.j_display_min, j0);
  EXPECT_EQ(m.display.j_display_max, j0);
  EXPECT_TRUE(stomata_inside_lattice(m));
}

TEST_F(DataFileRead, LoadTakesHeaderAndStomataAndRebuildsTheLattice) {
  ModelState m = running_model();
  const std::string grid(60, '\n');
  ASSERT_EQ(load_text(m, std::string(kHeader) + kStomata + grid), FileError::none);
  expect_loaded_header_and_stomata(m);
  EXPECT_EQ(m.data_file_name, dir_.file("in.dat"));
  // Left as they were: not in the file.
  EXPECT_EQ(m.display.timer_interval_ms, 500u);
}

TEST_F(DataFileRead, LayoutOfTheNumbersDoesNotMatter) {
  const std::string one_line_header =
      "400 300 60 100 77 2.5000e-01 3.0000e-03 3 2 1.50 2.0000 0.0200 1.5000 -8.0000 -1.2500 ";
  const std::string blank_lines =
      "\n\n400\n\n300 60\n100 77\n\n2.5000e-001\n3.0000e-003\n\n3 2 1.50 2.0000\n0.0200 "
      "1.5000 -8.0000 -1.2500\n\n5 6\n0.123456789\n\n99 59 0.5 0 0 0.000000001";
  std::string crlf;
  for (char c : std::string(kHeader) + kStomata) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  const std::string integers_in_octal_and_hex =
      "0620 0x12c 074 0X64 0\n2.5000e-01 3.0000e-03\n03 0x2 1.5 2 0.02 1.5 -8 -1.25\n"
      "05 06 0.123456789\n0x63 073 0.5\n00 -0 1e-9\n";
  for (const std::string& text :
       {one_line_header + kStomata, blank_lines, crlf + "\r\n", std::string(kHeader) + kStomata,
        std::string(kHeader) + kStomata + "garbage, not numbers \x01\xff nan\n",
        integers_in_octal_and_hex}) {
    ModelState m = running_model();
    ASSERT_EQ(load_text(m, text), FileError::none) << text;
    expect_loaded_header_and_stomata(m);
  }
}

TEST_F(DataFileRead, SaveThenLoadRestoresTheSetUpToTheFormatsPrecision) {
  ModelState saved = running_model();
  saved.params.kepi = 0.123456;  // five significant digits
  saved.params.Jo = 0.00004;     // four decimals: comes back as 0
  saved.spacing = 2.345;         // two decimals
  saved.stomata.stoma_j[0] = 0.1234567894;
  saved.view_width = 400;
  saved.view_height = 400;
  saved.data_file_name = dir_.file("round.dat");
  ASSERT_EQ(save_data_file(saved), FileError::none);

  ModelState m;
  start_up_model(m);
  m.data_file_name = saved.data_file_name;
  ASSERT_EQ(load_data_file(m), FileError::none);
  EXPECT_EQ(m.view_width, 400);
  EXPECT_EQ(m.view_height, 400);
  EXPECT_EQ(m.params.kepi, 0.12346);
  EXPECT_EQ(m.params.Jo, 0.0);
  EXPECT_EQ(m.spacing, 2.35);  // "%5.2f" of 2.345 (just below the tie in binary)
  EXPECT_EQ(m.stomata.stoma_col, saved.stomata.stoma_col);
  EXPECT_EQ(m.stomata.stoma_row, saved.stomata.stoma_row);
  EXPECT_EQ(m.stomata.stoma_j[0], 0.123456789);
  EXPECT_EQ(m.stomata.stoma_j[3], 0.25);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.paused, 1);
  EXPECT_EQ(m.p_current.values, std::vector<double>(10000, 0.0));

  // Saving the loaded model gives the same header but step 0, and zeros.
  ASSERT_EQ(save_data_file(m), FileError::none);
  const std::string again = testing::read_file(m.data_file_name);
  EXPECT_EQ(again.substr(0, again.find('\n')), "400 400 100 100 0");
}

TEST_F(DataFileRead, StomaFluxesThatAreNotFiniteAreTakenAsRead) {
  ModelState m = running_model();
  ASSERT_EQ(load_text(m, std::string(kHeader) + "5 6 nan\n99 59 -inf\n0 0 inf\n"),
            FileError::none);
  EXPECT_TRUE(std::isnan(m.stomata.stoma_j[0]));
  EXPECT_EQ(m.stomata.stoma_j[1], -std::numeric_limits<double>::infinity());
}

TEST_F(DataFileRead, MissingFileIsCannotFindAndChangesNothing) {
  ModelState m = running_model();
  m.data_file_name = dir_.file("nowhere.dat");
  const ModelState before = m;
  EXPECT_EQ(load_data_file(m), FileError::cannot_find);
  EXPECT_EQ(m.load_succeeded, 0);
  m.load_succeeded = 1;
  expect_same_model(m, before);

  m.data_file_name = dir_.path().string();  // a directory is no data file
  EXPECT_EQ(load_data_file(m), FileError::cannot_find);
}

TEST_F(DataFileRead, RefusedFilesLeaveTheModelExactlyAsItWas) {
  const std::string line2 = "2.5000e-01 3.0000e-03\n";
  const std::string line3 = "3 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n";
  const std::string rest = line2 + line3 + kStomata;
  const std::vector<std::string> refused = {
      "",
      "   \n\n",
      "400 300 60 100\n",                                   // line 1 short
      "400 300 60 100 77\n2.5e-01\n",                       // line 2 short
      "400 300 60 100 77\n" + line2 + "3 2 1.50 2.0 0.02 1.5 -8.0\n",  // line 3 short
      "400 300 60 128 77\n" + rest,                         // cols not a lattice size
      "400 300 60 0 77\n" + rest,
      "400 300 1 100 77\n" + rest,                          // rows below 2
      "400 300 -5 100 77\n" + rest,
      "400 300 4001 100 77\n" + rest,                       // rows above the limit
      "400 300 99999999999 100 77\n" + rest,
      "0 300 60 100 77\n" + rest,                           // drawing size
      "400 -1 60 100 77\n" + rest,
      "10001 300 60 100 77\n" + rest,
      "400 300 60 100 77\n" + line2 + "-1 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n",
      "400 300 60 100 77\n" + line2 + "20001 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n",
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n99 59\n",  // stoma line short
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n99 59 0.5\n",  // too few lines
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n100 59 0.5\n0 0 0\n",  // off the lattice
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n99 60 0.5\n0 0 0\n",
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n-1 0 0.5\n0 0 0\n",
      "400 300 60 100 77\n" + line2 + line3 + "5 6 0.1\n1 x 0.5\n0 0 0\n",
      "400 300 60 100 77\nnan 3.0e-03\n" + line3 + kStomata,   // not finite
      "400 300 60 100 77\n2.5e-01 inf\n" + line3 + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 inf 2.0 0.02 1.5 -8.0 -1.25\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1.5 nan 0.02 1.5 -8.0 -1.25\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1.5 2.0 -inf 1.5 -8.0 -1.25\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1.5 2.0 0.02 1e999 -8.0 -1.25\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1.5 2.0 0.02 1.5 nan -1.25\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1.5 2.0 0.02 1.5 -8.0 inf\n" + kStomata,
      "400 300 60 100 77\n" + line2 + "3 2 1,50 2.0 0.02 1.5 -8.0 -1.25\n" + kStomata,
  };
  for (const std::string& text : refused) {
    ModelState m = running_model();
    m.data_file_name = dir_.file("in.dat");
    const ModelState before = m;
    EXPECT_EQ(load_text(m, text), FileError::bad_data) << text;
    EXPECT_EQ(m.load_succeeded, 0);
    m.load_succeeded = before.load_succeeded;
    expect_same_model(m, before);
  }
}

TEST_F(DataFileRead, LargestAcceptedSizesLoad) {
  ModelState m = running_model();
  std::string text = "10000 10000 4000 800 0\n1e-1 1e-2\n1 1 1 1 0.01 1 -10 0\n799 3999 1\n";
  ASSERT_EQ(load_text(m, text), FileError::none);
  EXPECT_EQ(m.rows, 4000);
  EXPECT_EQ(m.dimension_choice, kDimension800);
  EXPECT_EQ(m.p_current.values.size(), 4000u * 800u);
  ASSERT_EQ(load_text(m, "1 1 2 50 0 1e-1 1e-2 0 1 1 1 0.01 1 -10 0"), FileError::none);
  EXPECT_EQ(m.stomata.stoma_count, 0);
  EXPECT_EQ(m.dimension_choice, kDimension50);
}

TEST_F(DataFileRead, ReadingStopsAfterTheStomaLines) {
  // Through a pipe whose writer holds back the grid until the load is over:
  // a reader that wanted more than the header and the stomata would wait.
  ModelState m = running_model();
  m.data_file_name = dir_.file("pipe.dat");
  ASSERT_EQ(::mkfifo(m.data_file_name.c_str(), 0600), 0);
  std::atomic<bool> loaded{false};
  std::atomic<bool> reader_waited{false};
  std::thread writer([&] {
    const int fd = ::open(m.data_file_name.c_str(), O_WRONLY);
    if (fd < 0) return;
    const std::string head = std::string(kHeader) + kStomata;
    (void)!::write(fd, head.data(), head.size());
    for (int i = 0; i < 500 && !loaded; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!loaded) {
      reader_waited = true;
      (void)!::write(fd, "  0.0000 \n", 10);
    }
    ::close(fd);
  });
  const FileError error = load_data_file(m);
  loaded = true;
  writer.join();
  EXPECT_FALSE(reader_waited);
  ASSERT_EQ(error, FileError::none);
  expect_loaded_header_and_stomata(m);
}

TEST_F(DataFileRead, NumbersSplitAcrossReadBlocksReadWhole) {
  for (std::size_t pad = 65536 - std::strlen(kHeader) - 12; pad < 65536 - std::strlen(kHeader); ++pad) {
    ModelState m = running_model();
    const std::string text = std::string(kHeader) + std::string(pad, ' ') + kStomata +
                             std::string(70000, 'x');
    ASSERT_EQ(load_text(m, text), FileError::none) << pad;
    expect_loaded_header_and_stomata(m);
  }
}

TEST_F(DataFileRead, OverlongWordsAreRefusedWithoutReadingThemWhole) {
  ModelState m = running_model();
  const ModelState before = m;
  // The last J is a word of 8 MiB (read whole, it would be inf and taken).
  EXPECT_EQ(load_text(m, std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 0 " +
                             std::string(8 << 20, '7')),
            FileError::bad_data);
  m.load_succeeded = before.load_succeeded;
  m.data_file_name = before.data_file_name;
  expect_same_model(m, before);
}

TEST(DataFileErrorText, NamesTheWholeFile) {
  const std::string name = "/some dir/with spaces/run 1.dat";
  EXPECT_EQ(file_error_text(FileError::cannot_find, name), "Cannot find file " + name);
  EXPECT_EQ(file_error_text(FileError::bad_data, name), "Error in data file " + name);
  EXPECT_EQ(file_error_text(FileError::cannot_write, name), "Cannot write file " + name);
  EXPECT_EQ(file_error_text(FileError::none, name), "");
}

}  // namespace
}  // namespace ombrisk
