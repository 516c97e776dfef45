// --fields: the .npy arrays and the JSON read back with Python and numpy,
// compared bit for bit with the states of the same run made in this process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/command_line.h"
#include "datafile/npy_writer.h"
#include "program_run.h"

namespace {

using namespace ombrisk;

// Appends the model's p and J as little-endian doubles.
void dump(const ModelState& m, std::vector<double>& p, std::vector<double>& j) {
  p.insert(p.end(), m.p_current.values.begin(), m.p_current.values.end());
  j.insert(j.end(), m.stomata.stoma_j.begin(), m.stomata.stoma_j.end());
}

void run(ModelState& m, Random& random, const std::vector<std::string>& args) {
  const batch::ParseResult parsed = batch::parse_command_line(args);
  ASSERT_EQ(parsed.error, "");
  std::ostringstream sink;
  ASSERT_EQ(batch::run_actions(m, random, parsed.line.actions, {sink, sink, false}), 0);
}

TEST(Fields, ArraysAndJsonReadBackExactlyWithNumpy) {
  TempDir dir;
  const std::vector<std::string> setup = {"--size", "50", "--spacing", "2", "--stomata", "25",
                                          "--set", "kepi=0.5", "--set", "Jo=0.02"};
  // kepi 0.5 diverges within the run, so huge values and NaN are among those
  // compared.
  std::vector<std::string> args = {"--seed", "3"};
  args.insert(args.end(), setup.begin(), setup.end());
  args.insert(args.end(), {"--steps", "2", "--every", "25", "--fields", "f.npy", "--steps",
                           "598", "--set", "leaf_p=-1", "--steps", "27", "--stats"});
  const ProgramResult r = run_batch(dir.path(), args);
  ASSERT_EQ(r.status, 0) << r.err;

  ModelState m;
  Random random;
  batch::start_model(m, random, 3);
  run(m, random, setup);
  run(m, random, {"--steps", "2"});
  std::vector<double> p, j;
  std::string steps;
  bool saw_nan = false;
  for (int step = 25; step <= 625; step += 25) {
    if (step == 625) run(m, random, {"--set", "leaf_p=-1"});
    run(m, random, {"--steps", step == 25 ? "23" : "25"});
    ASSERT_EQ(m.step, step);
    dump(m, p, j);
    for (double v : m.p_current.values) saw_nan = saw_nan || v != v;
    steps += (steps.empty() ? "" : ", ") + std::to_string(step);
  }
  EXPECT_TRUE(saw_nan) << "the run should diverge, so that NaN is compared too";
  {
    std::ofstream ref(dir / "ref.bin", std::ios::binary);
    for (const std::vector<double>* v : {&p, &j})
      for (double x : *v) {
        std::uint64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        for (int b = 0; b < 8; ++b) ref.put(static_cast<char>(bits >> (8 * b)));
      }
  }
  std::string positions;
  for (int i = 0; i < m.stomata.stoma_count; ++i)
    positions += (i ? ", [" : "[") + std::to_string(m.stomata.stoma_col[i]) + ", " +
                 std::to_string(m.stomata.stoma_row[i]) + "]";
  std::ofstream(dir / "expected.json")
      << "{\"rows\": 50, \"cols\": 50, \"stomata\": 25, \"seed\": 3, \"frame_steps\": [" << steps
      << "], \"positions\": [" << positions
      << "], \"parameters\": {\"kepi\": 0.5, \"Jo\": 0.02, \"leaf_p\": 0.0, \"auto_p_range\": 1},"
      << " \"changes\": [{\"after_step\": 600, \"field\": \"leaf_p\", \"value\": -1}]}\n";

  const std::string command = OMBRISK_PYTHON " " OMBRISK_SOURCE_DIR "/tests/batch/check_fields.py " +
                              (dir / "f.npy") + " " + (dir / "ref.bin") + " " +
                              (dir / "expected.json") + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(Fields, RecordingEndsWithTheLatticeAndRefusesAFileItCannotWrite) {
  TempDir dir;
  ProgramResult r = run_batch(dir.path(), {"--fields", "g.npy", "--steps", "4", "--restart",
                                           "--steps", "3", "--fields", "h", "--steps", "2"});
  ASSERT_EQ(r.status, 0) << r.err;
  // Four frames of 100 x 100, then the rebuilt lattice is not recorded.
  const std::string g = read_file(dir.path() / "g.npy");
  EXPECT_EQ(g.substr(0, npy_header(4, {100, 100}).size()), npy_header(4, {100, 100}));
  EXPECT_EQ(g.size(), npy_header(4, {100, 100}).size() + 4 * 10000 * 8);
  EXPECT_EQ(read_file(dir.path() / "g_j.npy").size(), npy_header(4, {10}).size() + 4 * 10 * 8);
  // A name without .npy gets the others' names beside it all the same.
  EXPECT_EQ(read_file(dir.path() / "h").size(), npy_header(2, {100, 100}).size() + 2 * 10000 * 8);
  EXPECT_FALSE(read_file(dir.path() / "h_j.npy").empty());
  EXPECT_FALSE(read_file(dir.path() / "h.json").empty());

  r = run_batch(dir.path(), {"--fields", "no/such/f.npy", "--steps", "2", "--save", "x.dat"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Cannot write file no/such/f.npy"), std::string::npos) << r.err;
  EXPECT_TRUE(read_file(dir.path() / "x.dat").empty());
}

TEST(Fields, HeaderHasRoomForAnyCountAndKeepsTheDataAligned) {
  const std::string none = npy_header(0, {800, 800});
  const std::string most = npy_header(~std::size_t{0}, {800, 800});
  EXPECT_EQ(none.size(), most.size());
  EXPECT_EQ(none.size() % 64, 0u);
  EXPECT_EQ(none.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
  EXPECT_EQ(static_cast<unsigned char>(none[8]) + 256 * static_cast<unsigned char>(none[9]),
            none.size() - 10);
  EXPECT_NE(none.find("'shape': (0, 800, 800), }"), std::string::npos) << none;
  EXPECT_EQ(none.back(), '\n');
  EXPECT_NE(npy_header(7, {0}).find("'shape': (7, 0), }"), std::string::npos);
}

}  // namespace
