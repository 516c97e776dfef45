// The reader: what a load puts into the model, what it tolerates, and that
// every refused file leaves the model exactly as it was.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <climits>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/number_reader.h"
#include "temp_dir.h"

namespace ombrisk {
namespace {

// Every field of the record.
auto fields(const ModelState& m) {
  const ModelParameters& p = m.params;
  const StomaTable& s = m.stomata;
  const DisplaySettings& d = m.display;
  return std::tie(m.rows, m.cols, m.cell_count, m.p_current.rows, m.p_current.cols,
                  m.p_current.values, m.p_next.rows, m.p_next.cols, m.p_next.values, m.step,
                  p.kepi, p.kin, p.Jmax, p.Jo, p.a, p.pminj, p.leaf_p, p.offset_from_mean,
                  m.target_p, m.mean_p, s.stoma_count, s.stoma_col, s.stoma_row, s.stoma_j,
                  s.backup_col, s.backup_row, m.spacing, m.border, d.timer_interval_ms,
                  d.display_interval, d.p_display_min, d.p_display_max, d.auto_p_range,
                  d.j_display_min, d.j_display_max, d.auto_j_range, m.view_width, m.view_height,
                  m.dimension_choice, m.data_file_name, m.saved_border, m.saved_spacing,
                  m.paused, m.full_speed, m.dialog_accepted, m.load_succeeded);
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

const char* const kHeader =
    "400 300 60 100 77\n"
    "2.5000e-01 3.0000e-03\n"
    "3 2  1.50   2.0000   0.0200   1.5000  -8.0000  -1.2500\n";
const char* const kStomata = "5 6 0.123456789\n99 59 0.500000000\n0 0 0.000000001\n";

class DataFileRead : public ::testing::Test {
 protected:
  // Writes `text` as the data file of `m` and loads it.
  FileError load_text(ModelState& m, const std::string& text) {
    m.data_file_name = dir_.file("in.dat");
    testing::write_file(m.data_file_name, text);
    return load_data_file(m);
  }

  // The model holds kHeader and kStomata, rebuilt: step 0, paused, every p 0,
  // display bounds reset, J bounds from the file's parameters.
  static void expect_loaded(const ModelState& m) {
    std::string zero_row;
    for (int c = 0; c < 100; ++c) zero_row += "  0.0000 ";
    std::string expected = "400 300 60 100 0" + std::string(kHeader).substr(17) + kStomata;
    for (int r = 0; r < 60; ++r) expected += zero_row + "\n";
    EXPECT_EQ(format_data_file(m), expected);
    EXPECT_EQ(m.load_succeeded, 1);
    EXPECT_EQ(m.paused, 1);
    EXPECT_EQ(m.dimension_choice, kDimension100);
    EXPECT_EQ(m.cell_count, 6000);
    EXPECT_EQ(m.p_next.values.size(), 6000u);
    EXPECT_EQ(m.mean_p, 0.0);
    EXPECT_EQ(m.display.p_display_min, -5.0);
    EXPECT_EQ(m.display.p_display_max, 5.0);
    EXPECT_EQ(m.display.j_display_min, stoma_flux(m.params, 0.0));
    EXPECT_EQ(m.display.j_display_max, stoma_flux(m.params, 0.0));
    EXPECT_EQ(m.stomata.backup_col.size(), 3u);
    EXPECT_EQ(m.display.timer_interval_ms, 500u);  // not in the file
  }

  // Loads `text` into a running model and expects it refused with the model
  // unchanged field for field.
  void expect_refused(const std::string& text) {
    ModelState m = running_model();
    m.data_file_name = dir_.file("in.dat");
    const ModelState before = m;
    EXPECT_EQ(load_text(m, text), FileError::bad_data) << text.substr(0, 200);
    EXPECT_EQ(m.load_succeeded, 0);
    m.load_succeeded = before.load_succeeded;
    EXPECT_TRUE(fields(m) == fields(before)) << text.substr(0, 200);
  }

  testing::TempDir dir_;
};

// The header with one field in place of the field at `index` (0..14).
std::string header_with(int index, const std::string& field) {
  std::vector<std::string> words = {"400", "300", "60", "100", "77", "2.5000e-01", "3.0000e-03",
                                    "3", "2", "1.50", "2.0000", "0.0200", "1.5000", "-8.0000",
                                    "-1.2500"};
  words[static_cast<std::size_t>(index)] = field;
  std::string text;
  for (const std::string& w : words) text += w + " ";
  return text + "\n";
}


TEST_F(DataFileRead, LayoutOfTheNumbersDoesNotMatter) {
  const std::string one_line_header =
      "400 300 60 100 77 2.5000e-01 3.0000e-03 3 2 1.50 2.0000 0.0200 1.5000 -8.0000 -1.2500 ";
  const std::string blank_lines =
      "\n\n400\n\n300 60\n100 77\n\n2.5000e-001\n3.0000e-003\n\n3 2 1.50 2.0000\n0.0200 "
      "1.5000 -8.0000 -1.2500\n\n5 6\n0.123456789\n\n99 59 0.5 0 0 0.000000001";
  std::string crlf;
  for (char c : std::string(kHeader) + kStomata) crlf += c == '\n' ? "\r\n" : std::string(1, c);
  const std::string octal_and_hex =
      "0620 0x12c 074 0X64 0\n2.5000e-01 3.0000e-03\n03 0x2 1.5 2 0.02 1.5 -8 -1.25\n"
      "05 06 0.123456789\n0x63 073 0.5\n00 -0 1e-9\n";
  const std::string saved = std::string(kHeader) + kStomata;
  for (const std::string& text :
       {saved, saved + std::string(60, '\n'), one_line_header + kStomata, blank_lines, crlf,
        saved + "garbage, not numbers \x01\xff nan\n", octal_and_hex}) {
    ModelState m = running_model();
    ASSERT_EQ(load_text(m, text), FileError::none) << text;
    expect_loaded(m);
  }
}

TEST_F(DataFileRead, SaveThenLoadRestoresTheSetUpToTheFormatsPrecision) {
  ModelState saved = running_model();
  saved.params.kepi = 0.123456;  // five significant digits
  saved.params.Jo = 0.00004;     // four decimals: comes back as 0
  saved.spacing = 2.345;         // two decimals
  saved.stomata.stoma_j[0] = 0.1234567894;
  saved.data_file_name = dir_.file("round.dat");
  ASSERT_EQ(save_data_file(saved), FileError::none);

  ModelState m;
  start_up_model(m);
  m.data_file_name = saved.data_file_name;
  ASSERT_EQ(load_data_file(m), FileError::none);
  EXPECT_EQ(m.params.kepi, 0.12346);
  EXPECT_EQ(m.params.Jo, 0.0);
  EXPECT_EQ(m.spacing, 2.35);
  EXPECT_EQ(m.stomata.stoma_col, saved.stomata.stoma_col);
  EXPECT_EQ(m.stomata.stoma_row, saved.stomata.stoma_row);
  EXPECT_EQ(m.stomata.stoma_j[0], 0.123456789);
  EXPECT_EQ(m.stomata.stoma_j[3], 0.25);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.p_current.values, std::vector<double>(10000, 0.0));
}

TEST_F(DataFileRead, AcceptedExtremes) {
  ModelState m = running_model();
  // Fluxes that are not finite are what a diverged model saved: taken as read.
  ASSERT_EQ(load_text(m, std::string(kHeader) + "5 6 nan\n99 59 -inf\n0 0 inf\n"),
            FileError::none);
  EXPECT_TRUE(std::isnan(m.stomata.stoma_j[0]));
  EXPECT_EQ(m.stomata.stoma_j[1], -INFINITY);
  ASSERT_EQ(load_text(m, "10000 10000 4000 800 0 .1 .01 1 1 1 1 .01 1 -10 0 799 3999 1"),
            FileError::none);
  EXPECT_EQ(m.p_current.values.size(), 4000u * 800u);
  EXPECT_EQ(m.dimension_choice, kDimension800);
  ASSERT_EQ(load_text(m, "1 1 2 50 0 .1 .01 0 1 1 1 .01 1 -10 0"), FileError::none);
  EXPECT_EQ(m.stomata.stoma_count, 0);
}

TEST_F(DataFileRead, RefusedFilesLeaveTheModelExactlyAsItWas) {
  const std::string l1 = "400 300 60 100 77\n";
  const std::string l2 = "2.5000e-01 3.0000e-03\n";
  const std::string l3 = "3 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n";
  const std::string rest = l2 + l3 + kStomata;
  const std::vector<std::string> refused = {
      "", "   \n\n", "400 300 60 100\n", l1 + "2.5e-01\n", l1 + l2 + "3 2 1.50 2.0 0.02 1.5 -8.0\n",
      // lattice size, drawing size, stoma count
      "400 300 60 128 77\n" + rest, "400 300 60 0 77\n" + rest, "400 300 1 100 77\n" + rest,
      "400 300 -5 100 77\n" + rest, "400 300 4001 100 77\n" + rest,
      "400 300 99999999999 100 77\n" + rest, "0 300 60 100 77\n" + rest,
      "400 -1 60 100 77\n" + rest, "10001 300 60 100 77\n" + rest,
      l1 + l2 + "-1 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n",
      l1 + l2 + "20001 2 1.50 2.0 0.02 1.5 -8.0 -1.25\n",
      // stoma lines: short, missing, off the lattice, not numbers
      l1 + l2 + l3 + "5 6 0.1\n99 59\n", l1 + l2 + l3 + "5 6 0.1\n99 59 0.5\n",
      l1 + l2 + l3 + "5 6 0.1\n100 59 0.5\n0 0 0\n", l1 + l2 + l3 + "5 6 0.1\n99 60 0.5\n0 0 0\n",
      l1 + l2 + l3 + "5 6 0.1\n-1 0 0.5\n0 0 0\n", l1 + l2 + l3 + "5 6 0.1\n1 x 0.5\n0 0 0\n",
      // parameters that are not finite, or not in the "C" form
      l1 + "nan 3.0e-03\n" + l3 + kStomata, l1 + "2.5e-01 inf\n" + l3 + kStomata,
      l1 + l2 + "3 2 inf 2.0 0.02 1.5 -8.0 -1.25\n" + kStomata,
      l1 + l2 + "3 2 1.5 nan 0.02 1.5 -8.0 -1.25\n" + kStomata,
      l1 + l2 + "3 2 1.5 2.0 -inf 1.5 -8.0 -1.25\n" + kStomata,
      l1 + l2 + "3 2 1.5 2.0 0.02 1e999 -8.0 -1.25\n" + kStomata,
      l1 + l2 + "3 2 1.5 2.0 0.02 1.5 nan -1.25\n" + kStomata,
      l1 + l2 + "3 2 1.5 2.0 0.02 1.5 -8.0 inf\n" + kStomata,
      l1 + l2 + "3 2 1,50 2.0 0.02 1.5 -8.0 -1.25\n" + kStomata,
      // the last J a word of 8 MiB: refused, not read whole (it would be inf)
      l1 + l2 + l3 + "5 6 0.1\n99 59 0.5\n0 0 " + std::string(8 << 20, '7'),
  };
  for (const std::string& text : refused) {
    ModelState m = running_model();
    m.data_file_name = dir_.file("in.dat");
    const ModelState before = m;
    EXPECT_EQ(load_text(m, text), FileError::bad_data) << text.substr(0, 200);
    EXPECT_EQ(m.load_succeeded, 0);
    m.load_succeeded = before.load_succeeded;
    EXPECT_TRUE(fields(m) == fields(before)) << text.substr(0, 200);
  }

  ModelState m = running_model();
  m.data_file_name = dir_.file("nowhere.dat");
  const ModelState before = m;
  EXPECT_EQ(load_data_file(m), FileError::cannot_find);
  EXPECT_EQ(m.load_succeeded, 0);
  m.load_succeeded = before.load_succeeded;
  EXPECT_TRUE(fields(m) == fields(before));
  m.data_file_name = dir_.path().string();  // a directory is no data file
  EXPECT_EQ(load_data_file(m), FileError::cannot_find);
}

TEST_F(DataFileRead, IntegerFieldsOutsideTheIntRangeAreRefused) {
  constexpr int kBorder = 8, kStep = 4, kWidth = 0;
  for (const auto& [index, field] : std::vector<std::pair<int, std::string>>{
           {kBorder, "2147483648"}, {kBorder, "-2147483649"}, {kBorder, "99999999999"},
           {kBorder, "0x80000000"}, {kBorder, "-0x80000001"}, {kBorder, "18446744073709551616"},
           {kStep, "2147483648"}, {kWidth, "4294967696"}, {kWidth, "0x100000190"}}) {
    expect_refused(header_with(index, field) + kStomata);
  }
  // 2^32 + 5 would be column 5 if cut to 32 bits.
  expect_refused(std::string(kHeader) + "4294967301 6 0.1\n99 59 0.5\n0 0 0\n");
  expect_refused(std::string(kHeader) + "5 -4294967290 0.1\n99 59 0.5\n0 0 0\n");

  // The limits themselves are ints.
  ModelState m = running_model();
  ASSERT_EQ(load_text(m, header_with(kBorder, "-2147483648") + kStomata), FileError::none);
  EXPECT_EQ(m.border, INT_MIN);
  ASSERT_EQ(load_text(m, header_with(kBorder, "0x7fffffff") + kStomata), FileError::none);
  EXPECT_EQ(m.border, INT_MAX);
  ASSERT_EQ(load_text(m, header_with(kStep, "2147483647") + kStomata), FileError::none);
  expect_loaded(m);
}

TEST_F(DataFileRead, IntegerWordsGoingOnAsFractionOrExponentAreRefused) {
  // A border of 1.5 with no stomata would load with spacing .5 and the
  // file's spacing as Jmax.
  expect_refused("400 300 60 100 77 2.5e-01 3.0e-03 0 1.5 1.00 1.0 0.01 1.0 -10.0 0.0\n");
  for (int index : {0, 1, 2, 3, 4, 7, 8}) {
    for (const char* run_on : {".5", ".0", ".", "e3", "E0", "e+1"}) {
      const std::string fields[] = {"400", "300", "60", "100", "77", "", "", "3", "2"};
      expect_refused(header_with(index, fields[index] + run_on) + kStomata);
    }
  }
  expect_refused(header_with(3, "0x64.8") + kStomata);
  expect_refused(std::string(kHeader) + "5.0 6 0.1\n99 59 0.5\n0 0 0\n");
  expect_refused(std::string(kHeader) + "5 6e0 0.1\n99 59 0.5\n0 0 0\n");
  expect_refused(std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 0.0 0\n");
}

TEST_F(DataFileRead, PrefixOnlyNumbersAreRefusedWhereverTheyStand) {
  const std::vector<std::string> prefixes = {"0x",  "0X", "-0x", "+0X", "1e",  "1e+", "1E-",
                                             "2.5e", "0x1p", "0x1P-", "infin", "-infinit", "nan(",
                                             "nan(1"};
  for (const std::string& p : prefixes) {
    // as a header number, the last header number with no stomata, a J, and the last J
    expect_refused(header_with(5, p) + kStomata);
    expect_refused(header_with(13, p) + kStomata);
    expect_refused("400 300 60 100 77 2.5e-01 3.0e-03 0 2 1.50 2.0 0.02 1.5 -8.0 " + p);
    expect_refused(std::string(kHeader) + "5 6 " + p + "\n99 59 0.5\n0 0 0\n");
    expect_refused(std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 0 " + p);
    expect_refused(std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 0 " + p + "\r\n");
  }
  for (const char* p : {"0x", "0X", "-0x"}) {
    expect_refused(header_with(3, p) + kStomata);
    expect_refused(std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 " + p + " 0\n");
  }

  // Complete numbers in those forms stay accepted.
  ModelState m = running_model();
  ASSERT_EQ(load_text(m, std::string(kHeader) + "5 6 0x1.8p-1\n99 59 1E-1\n0 0 infinity"),
            FileError::none);
  EXPECT_EQ(m.stomata.stoma_j, (std::vector<double>{0.75, 0.1, INFINITY}));
  ASSERT_EQ(load_text(m, std::string(kHeader) + "5 6 nan(7)\n99 59 -INF\n0 0 1e+0"),
            FileError::none);
  EXPECT_TRUE(std::isnan(m.stomata.stoma_j[0]));
  EXPECT_EQ(m.stomata.stoma_j[1], -INFINITY);
  EXPECT_EQ(m.stomata.stoma_j[2], 1.0);
}

TEST_F(DataFileRead, TheOverLongWordLimitIsOneLengthWhereverTheWordStarts) {
  // Words of the longest length accepted and one longer, as a header number
  // and as the last J, after blanks that put their start at the front of
  // the file, just before and across a read block's end, and deep in it.
  const std::string longest = "0." + std::string(kMaxNumberWord - 2, '0');
  const std::string too_long = longest + "0";
  const std::string digits_100k = std::string(100000, '1');
  const std::string stoma_head = std::string(kHeader) + "5 6 0.1\n99 59 0.5\n0 0 ";
  for (std::size_t blanks : {std::size_t{0}, std::size_t{1}, std::size_t{4000},
                             std::size_t{65536 - 300}, std::size_t{65536 - 20},
                             std::size_t{65536 + 1}, std::size_t{200000}}) {
    const std::string pad(blanks, ' ');
    expect_refused(stoma_head + pad + too_long);
    expect_refused(stoma_head + pad + too_long + "\n");
    expect_refused(stoma_head + pad + digits_100k + "\n");
    expect_refused(pad + header_with(6, too_long) + kStomata);
    expect_refused(pad + header_with(2, digits_100k) + kStomata);

    ModelState m = running_model();
    ASSERT_EQ(load_text(m, stoma_head + pad + longest), FileError::none) << blanks;
    EXPECT_EQ(m.stomata.stoma_j[2], 0.0);
    ASSERT_EQ(load_text(m, pad + header_with(6, longest) + kStomata), FileError::none) << blanks;
    EXPECT_EQ(m.params.kin, 0.0);
  }
}

#if !defined(_WIN32)  // a named pipe made with mkfifo
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
  expect_loaded(m);
}
#endif

TEST_F(DataFileRead, NumbersSplitAcrossReadBlocksReadWhole) {
  const std::size_t header = std::strlen(kHeader);
  for (std::size_t pad = 65536 - header - 12; pad < 65536 - header; ++pad) {
    ModelState m = running_model();
    const std::string text =
        std::string(kHeader) + std::string(pad, ' ') + kStomata + std::string(70000, 'x');
    ASSERT_EQ(load_text(m, text), FileError::none) << pad;
    expect_loaded(m);
  }
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
