// ombrisk-batch run as a program: files it writes, what it prints, how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// The stoma lines of a saved file, column then row, without the J.
std::vector<std::pair<int, int>> stoma_positions(const Lines& lines) {
  std::vector<std::pair<int, int>> positions;
  const int count = std::stoi(lines.at(2));
  for (int i = 0; i < count; ++i) {
    int col = -1, row = -1;
    std::sscanf(lines.at(3 + i).c_str(), "%d %d", &col, &row);
    positions.emplace_back(col, row);
  }
  return positions;
}

TEST(BatchProgram, StartUpModelSavedAtStepZero) {
  TempDir dir;
  const ProgramResult r = run_batch(dir.path(), {"--seed", "0", "--save", "start.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  const Lines lines = read_lines(dir.path() / "start.dat");
  ASSERT_EQ(lines.size(), 3u + 10u + 100u);
  EXPECT_EQ(lines[0], "800 800 100 100 0");
  EXPECT_EQ(lines[1], "1.0000e-01 1.0000e-02");
  EXPECT_EQ(lines[2], "10 1  1.00   1.0000   0.0100   1.0000 -10.0000   0.0000");
  EXPECT_EQ(lines[3], "10 20 0.995525518");
  EXPECT_EQ(lines[12], "80 70 0.995525518");
}

TEST(BatchProgram, SeededPlacementGivesTheKnownPositions) {
  TempDir dir;
  ProgramResult r = run_batch(dir.path(), {"--seed", "0", "--stomata", "3", "--save", "three.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines three = read_lines(dir.path() / "three.dat");
  EXPECT_EQ(stoma_positions(three), (std::vector<std::pair<int, int>>{{24, 64}, {8, 27}, {36, 26}}));

  r = run_batch(dir.path(),
                {"--seed", "0", "--spacing", "30", "--stomata", "5", "--save", "five.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines five = read_lines(dir.path() / "five.dat");
  EXPECT_EQ(five[2].substr(0, 10), "5 1 30.00 ");
  EXPECT_EQ(stoma_positions(five),
            (std::vector<std::pair<int, int>>{{24, 64}, {8, 27}, {97, 32}, {85, 4}, {48, 27}}));
  // Placement rebuilds the lattice: every p back to 0.
  EXPECT_EQ(five.size(), 3u + 5u + 100u);
  EXPECT_EQ(five.back().find_first_not_of(" 0.-"), std::string::npos);
}

// A loaded file is a set-up: stepping it gives what stepping the model that
// wrote it gave from step 0.
TEST(BatchProgram, LoadRestoresTheSetUp) {
  TempDir dir;
  const std::vector<std::string> setup = {"--seed",  "3",         "--size",    "50",
                                          "--set",   "kepi=0.25", "--stomata", "40"};
  std::vector<std::string> original = setup;
  original.insert(original.end(), {"--steps", "7", "--save", "run.dat", "--restart", "--steps",
                                   "20", "--stats"});
  const ProgramResult a = run_batch(dir.path(), original);
  ASSERT_EQ(a.status, 0) << a.err;

  const ProgramResult b = run_batch(
      dir.path(), {"--load", "run.dat", "--save", "again.dat", "--steps", "20", "--stats"});
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(b.out, a.out);

  const Lines saved = read_lines(dir.path() / "run.dat");
  const Lines again = read_lines(dir.path() / "again.dat");
  ASSERT_EQ(saved.size(), 3u + 40u + 50u);
  ASSERT_EQ(again.size(), saved.size());
  EXPECT_EQ(saved[0], "800 800 50 50 7");
  EXPECT_EQ(again[0], "800 800 50 50 0");
  EXPECT_EQ(again[1], "2.5000e-01 1.0000e-02");
  for (std::size_t i = 1; i < 3 + 40; ++i) EXPECT_EQ(again[i], saved[i]) << "line " << i + 1;
}

struct ErrorCase {
  std::vector<std::string> args;
  int status;
  std::string message;  // must appear on standard error
};

void expect_error(const TempDir& dir, const ErrorCase& c) {
  const ProgramResult r = run_batch(dir.path(), c.args);
  std::string shown;
  for (const std::string& a : c.args) shown += a + " ";
  EXPECT_EQ(r.status, c.status) << shown << "\n" << r.err;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\nstderr: " << r.err;
}

TEST(BatchProgram, MalformedCommandLinesExitTwoBeforeAnyAction) {
  TempDir dir;
  const std::vector<ErrorCase> cases = {
      {{"--steps", "5", "--bogus"}, 2, "--bogus"},
      {{"stray"}, 2, "stray"},
      {{}, 2, "no action"},
      {{"--steps"}, 2, "--steps needs a value"},
      {{"--load", "--stats"}, 2, "--load needs a value"},
      {{"--steps", "12x"}, 2, "--steps 12x"},
      {{"--steps", "-1"}, 2, "--steps -1"},
      {{"--steps", "99999999999999999999999"}, 2, "--steps 99999999999999999999999"},
      {{"--every", "0"}, 2, "--every 0"},
      {{"--size", "120"}, 2, "--size 120"},
      {{"--border", "two"}, 2, "--border two"},
      {{"--spacing", "1,5"}, 2, "--spacing 1,5"},
      {{"--spacing", "nan"}, 2, "--spacing nan"},
      {{"--set", "kepi=0.1junk"}, 2, "--set kepi=0.1junk"},
      {{"--set", "kepi"}, 2, "--set kepi"},
      {{"--set", "speed=1"}, 2, "speed"},
      {{"--set", "auto_p_range=2"}, 2, "--set auto_p_range=2"},
      {{"--seed", "-1", "--stats"}, 2, "--seed -1"},
      {{"--seed", "4294967296", "--stats"}, 2, "--seed 4294967296"},
      {{"--threads", "x", "--stats"}, 2, "--threads x"},
      {{"--stomata", "20001"}, 2, "Too many stomata!!"},
      {{"--stomata", "-1"}, 2, "Too many stomata!!"},
  };
  for (const ErrorCase& c : cases) expect_error(dir, c);

  // Nothing ran: an earlier --save wrote nothing, --stats printed nothing.
  const ProgramResult r =
      run_batch(dir.path(), {"--stats", "--save", "early.dat", "--steps", "ten"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(dir.path() / "early.dat"));
}

TEST(BatchProgram, FileErrorsStopTheRunWithStatusOne) {
  TempDir dir;
  const std::string missing = dir / "missing.dat";
  const std::string garbage = dir / "garbage.dat";
  const std::string wrong_size = dir / "wrong_size.dat";
  {
    std::ofstream(garbage) << "this is not a data file\n";
    std::ofstream(wrong_size) << "800 800 128 128 0\n1.0e-01 1.0e-02\n0 1 1.0 1 0.01 1 -10 0\n";
  }
  const std::string no_dir = dir / "no/such/dir/out.dat";
  const std::vector<ErrorCase> cases = {
      {{"--load", missing}, 1, "Cannot find file " + missing},
      {{"--load", garbage}, 1, "Error in data file " + garbage},
      {{"--load", wrong_size}, 1, "Error in data file " + wrong_size},
      {{"--save", no_dir}, 1, no_dir},
      {{"--trace", no_dir}, 1, no_dir},
      // A file error after a placement failure decides the status.
      {{"--spacing", "1000", "--stomata", "2", "--load", missing}, 1, "Cannot find file"},
  };
  for (const ErrorCase& c : cases) expect_error(dir, c);

  // The run stops at the error: what came before ran, what follows does not.
  const ProgramResult r =
      run_batch(dir.path(), {"--stats", "--load", missing, "--stats", "--save", "after.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "0 0 -5 5 0.9955255179295146 0.9955255179295146\n");
  EXPECT_FALSE(fs::exists(dir.path() / "after.dat"));
}

TEST(BatchProgram, CountOverTheLatticeLimitStopsWithStatusTwo) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--seed", "1", "--size", "50", "--save", "before.dat", "--stomata", "2501",
                   "--save", "after.dat"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Too many stomata!!"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "before.dat"));
  EXPECT_FALSE(fs::exists(dir.path() / "after.dat"));

  // 2500 passes the count test; only 48 x 48 cells lie inside the border.
  const ProgramResult full = run_batch(
      dir.path(), {"--seed", "1", "--size", "50", "--stomata", "2500", "--save", "full.dat"});
  EXPECT_EQ(full.status, 3);
  EXPECT_NE(full.err.find("Randomize Failure!!"), std::string::npos) << full.err;
}

TEST(BatchProgram, FailedPlacementGoesOnAndEndsWithStatusThree) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--seed", "0", "--spacing", "1000", "--stomata", "2", "--steps", "3",
                   "--save", "two.dat", "--stats"});
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.err.rfind("Randomize Failure!!", 0), 0u) << r.err;
  EXPECT_NE(r.out.find("3 "), std::string::npos);
  const Lines two = read_lines(dir.path() / "two.dat");
  ASSERT_GE(two.size(), 5u);
  EXPECT_EQ(two[0], "800 800 100 100 3");
  // The stoma that found no place still sits on a cell of the lattice.
  EXPECT_EQ(stoma_positions(two)[0], (std::pair<int, int>{24, 64}));
  const auto [col, row] = stoma_positions(two)[1];
  EXPECT_TRUE(col >= 0 && col < 100 && row >= 0 && row < 100) << col << " " << row;

  // A border that leaves no room places nothing, and says why.
  const ProgramResult b = run_batch(dir.path(), {"--border", "60", "--size", "50", "--stats"});
  EXPECT_EQ(b.status, 3);
  EXPECT_NE(b.err.find("border 60"), std::string::npos) << b.err;
  EXPECT_FALSE(b.out.empty());
}

TEST(BatchProgram, ThreadCountDoesNotChangeResults) {
  TempDir dir;
  auto run = [&](const std::string& threads, const std::string& file) {
    return run_batch(dir.path(), {"--threads", threads, "--seed", "11", "--size", "200",
                                  "--stomata", "600", "--set", "offset_from_mean=1", "--steps",
                                  "40", "--stats", "--steps", "3", "--stats", "--save", file});
  };
  const ProgramResult one = run("1", "one.dat");
  const ProgramResult two = run("2", "two.dat");
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(one.out, two.out);
  EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 2);
  const std::string a = read_file(dir.path() / "one.dat");
  EXPECT_FALSE(a.empty());
  EXPECT_TRUE(a == read_file(dir.path() / "two.dat"));
}

TEST(BatchProgram, SetTakesFullPrecisionAndStatsPrintsEveryDigit) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--set", "auto_p_range=0", "--set", "p_display_min=-0.123456789012345678",
                   "--set", "p_display_max=+1e-300", "--stats"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "0 0 -0.12345678901234568 1e-300 0.9955255179295146 "
            "0.9955255179295146\n");
}

// Each trace line holds the numbers --stats prints at that step.
TEST(BatchProgram, TraceWritesEveryKthStepAndSwitchesFiles) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--seed", "2", "--steps", "1", "--every", "3", "--trace", "a.csv", "--steps",
                   "8", "--stats", "--trace", "b.csv", "--every", "1", "--steps", "2", "--stats"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines a = read_lines(dir.path() / "a.csv");
  const Lines b = read_lines(dir.path() / "b.csv");
  ASSERT_EQ(a.size(), 4u);
  // The present columns come first, unchanged; the whole-leaf ones follow.
  const std::string present = "step,mean_p,p_min,p_max,j_min,j_max";
  EXPECT_EQ(a[0].substr(0, present.size() + 1), present + ",");
  EXPECT_EQ(a[1].substr(0, 2), "3,");
  EXPECT_EQ(a[2].substr(0, 2), "6,");
  EXPECT_EQ(a[3].substr(0, 2), "9,");
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(b[0], a[0]);
  EXPECT_EQ(b[1].substr(0, 3), "10,");
  EXPECT_EQ(b[2].substr(0, 3), "11,");

  std::string stats = r.out;
  for (char& c : stats)
    if (c == ' ') c = ',';
  // The first six columns of a line, as --stats prints them.
  const auto first_six = [](const std::string& line) {
    std::size_t at = 0;
    for (int i = 0; i < 6 && at != std::string::npos; ++i) at = line.find(',', at + 1);
    return line.substr(0, at);
  };
  EXPECT_EQ(stats, first_six(a[3]) + "\n" + first_six(b[2]) + "\n");
}

TEST(BatchProgram, HelpListsEveryActionAndAnExample) {
  TempDir dir;
  const ProgramResult r = run_batch(dir.path(), {"--steps", "bad", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  for (const char* name : {"--seed", "--threads", "--load", "--size", "--border", "--spacing",
                           "--stomata", "--randomize", "--set", "--steps", "--restart", "--save",
                           "--stats", "--trace", "--every", "--png", "--frames", "for "})
    EXPECT_NE(r.out.find(name), std::string::npos) << name;
}

#ifdef OMBRISK_BATCH_PICTURES
constexpr bool kPictures = true;
#else
constexpr bool kPictures = false;
#endif

std::vector<std::string> file_names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// One --every for --trace and --frames, from where it stands; frames end with
// the lattice they show.
TEST(BatchProgram, FramesEveryKthStepUntilTheLatticeIsRebuilt) {
  if (!kPictures) GTEST_SKIP() << "built without pictures";
  TempDir dir;
  ProgramResult r = run_batch(
      dir.path(), {"--steps", "1", "--frames", "f", "--every", "3", "--steps", "8", "--every",
                   "2", "--steps", "2", "--restart", "--steps", "4"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file_names(dir.path() / "f"),
            (std::vector<std::string>{"frame_000003.png", "frame_000006.png",
                                      "frame_000009.png", "frame_000010.png"}));

  r = run_batch(dir.path(), {"--seed", "1", "--frames", "g", "--steps", "2", "--stomata", "5",
                             "--steps", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(file_names(dir.path() / "g"),
            (std::vector<std::string>{"frame_000001.png", "frame_000002.png"}));
}

TEST(BatchProgram, PictureThatCannotBeWrittenStopsTheRunWithStatusOne) {
  if (!kPictures) GTEST_SKIP() << "built without pictures";
  TempDir dir;
  const std::string no_dir = dir / "no/such/dir/a.png";
  const std::string plain_file = dir / "plain";
  std::ofstream(plain_file) << "not a folder\n";
  // A folder where the frame of step 2 should go: that frame cannot be written.
  fs::create_directories(dir.path() / "frames" / "frame_000002.png");
  const std::string blocked = (fs::path("frames") / "frame_000002.png").string();
  const std::vector<ErrorCase> cases = {
      {{"--png", no_dir}, 1, "Cannot write file " + no_dir},
      {{"--frames", plain_file}, 1, "Cannot write folder " + plain_file},
      {{"--frames", "frames", "--steps", "5"}, 1, "Cannot write file " + blocked},
  };
  for (const ErrorCase& c : cases) expect_error(dir, c);

  const ProgramResult r = run_batch(
      dir.path(), {"--frames", "frames", "--steps", "5", "--stats", "--save", "after.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(dir.path() / "after.dat"));
  EXPECT_TRUE(fs::exists(dir.path() / "frames" / "frame_000001.png"));
  EXPECT_FALSE(fs::exists(dir.path() / "frames" / "frame_000003.png"));
  EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST(BatchProgram, RandomizeAndRestartRebuildTheLatticeKeepingTheCount) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--seed", "0", "--stomata", "3", "--steps", "4", "--randomize", "--stats",
                   "--save", "moved.dat", "--steps", "2", "--restart", "--save", "restarted.dat"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 7), "0 0 -5 ");
  const Lines moved = read_lines(dir.path() / "moved.dat");
  const Lines restarted = read_lines(dir.path() / "restarted.dat");
  EXPECT_EQ(moved[2].substr(0, 4), "3 1 ");
  // Placed anew from where the generator stood after the first three.
  EXPECT_NE(stoma_positions(moved),
            (std::vector<std::pair<int, int>>{{24, 64}, {8, 27}, {36, 26}}));
  EXPECT_EQ(moved, restarted);
}

}  // namespace
