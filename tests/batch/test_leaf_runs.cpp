// ombrisk-batch as a program: the whole-leaf columns of --trace, the
// --summary rows, manifests, divergence reports and --version.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// One CSV line into cells; a quoted cell keeps its commas, without its quotes.
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> cells(1);
  bool quoted = false;
  for (const char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

// A CSV file as maps from column name to cell, one per row.
std::vector<std::map<std::string, std::string>> read_table(const fs::path& file) {
  const Lines lines = read_lines(file);
  std::vector<std::map<std::string, std::string>> rows;
  if (lines.empty()) return rows;
  const auto header = split(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto cells = split(lines[i]);
    EXPECT_EQ(cells.size(), header.size()) << "line " << i + 1 << ": " << lines[i];
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < header.size() && c < cells.size(); ++c) row[header[c]] = cells[c];
    rows.push_back(row);
  }
  return rows;
}

void write_text(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

const std::string kSummaryHeader =
    "version,exit_status,manifest_row,seed,rows,cols,stomata,border,spacing,kepi,kin,Jmax,Jo,a,"
    "pminj,leaf_p,offset_from_mean,auto_p_range,auto_j_range,p_display_min,p_display_max,"
    "j_display_min,j_display_max,open_threshold,steps_run,step,mean_j,total_j,open_fraction,"
    "mean_p,p_min,p_max,diverged,diverged_step";

TEST(LeafRuns, TraceKeepsItsColumnsAndAddsTheWholeLeafOnes) {
  TempDir dir;
  const ProgramResult r = run_batch(
      dir.path(), {"--seed", "4", "--size", "50", "--stomata", "30", "--every", "4", "--trace",
                   "t.csv", "--steps", "8", "--stats", "--set", "auto_p_range=0", "--set",
                   "p_display_min=-1", "--steps", "4", "--open-threshold", "0.99"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Lines t = read_lines(dir.path() / "t.csv");
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0],
            "step,mean_p,p_min,p_max,j_min,j_max,mean_j,total_j,open_fraction,lattice_p_min,"
            "lattice_p_max,diverged");
  // The first six columns are what --stats prints at that step.
  std::string stats = r.out;
  for (char& c : stats)
    if (c == ' ') c = ',';
  EXPECT_EQ(t[2].substr(0, stats.size() - 1) + "\n", stats);

  for (std::size_t i = 1; i < t.size(); ++i) {
    const auto c = split(t[i]);
    ASSERT_EQ(c.size(), 12u) << t[i];
    const double j_min = std::stod(c[4]), j_max = std::stod(c[5]);
    const double mean_j = std::stod(c[6]), total_j = std::stod(c[7]);
    const double open = std::stod(c[8]);
    EXPECT_LE(j_min, mean_j);
    EXPECT_LE(mean_j, j_max);
    EXPECT_NEAR(total_j, 30 * mean_j, 1e-12);
    // A fraction of 30 stomata, open above the threshold given.
    EXPECT_NEAR(open * 30, std::round(open * 30), 1e-9);
    if (j_max <= 0.99) {
      EXPECT_EQ(open, 0.0);
    }
    if (j_min > 0.99) {
      EXPECT_EQ(open, 1.0);
    }
    EXPECT_EQ(c[11], "0");
    if (i < 3) {
      // The automatic range is the lattice's own.
      EXPECT_EQ(c[9], c[2]);
      EXPECT_EQ(c[10], c[3]);
    }
  }
  // With the range fixed by hand, the lattice's bounds are its own.
  const auto last = split(t[3]);
  EXPECT_EQ(last[2], "-1");
  EXPECT_NE(last[9], "-1");
  EXPECT_LT(std::stod(last[9]), std::stod(last[10]));
}

TEST(LeafRuns, SummaryRowsAppendUnderOneHeader) {
  TempDir dir;
  ProgramResult r = run_batch(dir.path(), {"--seed", "9", "--size", "50", "--set", "kin=0.02",
                                           "--steps", "3", "--steps", "4", "--summary", "s.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = run_batch(dir.path(), {"--summary", "s.csv", "--seed", "10", "--spacing", "1000",
                             "--stomata", "2"});
  EXPECT_EQ(r.status, 3);
  const Lines lines = read_lines(dir.path() / "s.csv");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], kSummaryHeader);
  const auto rows = read_table(dir.path() / "s.csv");
  EXPECT_TRUE(std::regex_match(rows[0].at("version"), std::regex("[0-9]+\\.[0-9]+.*")));
  EXPECT_EQ(rows[0].at("exit_status"), "0");
  EXPECT_EQ(rows[0].at("manifest_row"), "");
  EXPECT_EQ(rows[0].at("seed"), "9");
  EXPECT_EQ(rows[0].at("rows"), "50");
  EXPECT_EQ(rows[0].at("stomata"), "10");
  EXPECT_EQ(rows[0].at("kin"), "0.02");
  EXPECT_EQ(rows[0].at("auto_p_range"), "1");
  EXPECT_EQ(rows[0].at("open_threshold"), "0.5");
  EXPECT_EQ(rows[0].at("steps_run"), "7");
  EXPECT_EQ(rows[0].at("step"), "7");
  EXPECT_EQ(rows[0].at("diverged"), "0");
  EXPECT_EQ(rows[0].at("diverged_step"), "");
  EXPECT_EQ(rows[1].at("exit_status"), "3");
  EXPECT_EQ(rows[1].at("seed"), "10");
  EXPECT_EQ(rows[1].at("spacing"), "1000");
  EXPECT_EQ(rows[1].at("steps_run"), "0");

  // An empty file gets the header; one with other columns is refused as it is.
  write_text(dir.path() / "empty.csv", "");
  r = run_batch(dir.path(), {"--summary", "empty.csv", "--steps", "1"});
  EXPECT_EQ(read_lines(dir.path() / "empty.csv").at(0), kSummaryHeader);
  write_text(dir.path() / "other.csv", "a,b\n1,2\n");
  r = run_batch(dir.path(), {"--summary", "other.csv", "--steps", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("other.csv"), std::string::npos) << r.err;
  EXPECT_EQ(read_file(dir.path() / "other.csv"), "a,b\n1,2\n");
  r = run_batch(dir.path(), {"--summary", "no/such/dir/s.csv", "--steps", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no/such/dir/s.csv"), std::string::npos) << r.err;
}

// Two processes append long rows to one file at once, one row per manifest
// row: every line is a whole row and none is lost.
TEST(LeafRuns, TwoProcessesAppendingAtOnceNeverMixTheirRows) {
  TempDir dir;
  constexpr int kRows = 150;
  std::string manifest = "size,steps,note\n";
  const std::string long_note(6000, 'x');
  for (int i = 1; i <= kRows; ++i) manifest += "50,0," + long_note + std::to_string(i) + "\n";
  write_text(dir.path() / "m.csv", manifest);

  std::vector<pid_t> children;
  for (const char* who : {"a", "b"}) {
    const pid_t pid = fork();
    if (pid == 0) {
      const ProgramResult r = run_batch(
          dir.path() / "..", {"--manifest", (dir.path() / "m.csv").string(), "--rows",
                              "1-" + std::to_string(kRows), "--seed", who[0] == 'a' ? "1" : "2",
                              "--summary", (dir.path() / "s.csv").string()});
      _exit(r.status == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (const pid_t pid : children) {
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const Lines lines = read_lines(dir.path() / "s.csv");
  ASSERT_EQ(lines.size(), 1u + 2 * kRows);
  EXPECT_EQ(lines[0], kSummaryHeader + ",note");
  std::map<std::string, int> seen;  // seed and row
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto cells = split(lines[i]);
    ASSERT_EQ(cells.size(), 35u) << "line " << i + 1;
    const std::string& row = cells[2];
    EXPECT_EQ(cells.back(), long_note + row) << "line " << i + 1;
    ++seen[cells[3] + "/" + row];
  }
  EXPECT_EQ(seen.size(), std::size_t{2 * kRows});
}

TEST(LeafRuns, ManifestRowIsTheSameRunAsTheCommandLine) {
  TempDir dir;
  write_text(dir.path() / "m.csv",
             "id,seed,size,border,spacing,stomata,kepi,leaf_p,offset_from_mean,steps,rep\n"
             "first,1,100,,,,,,,5,1\n"
             "\"k, 2\",5,50,2,3.5,20,0.15,-0.5,1,30,2\n");
  const ProgramResult m = run_batch(
      dir.path(), {"--manifest", "m.csv", "--row", "2", "--every", "10", "--trace", "t{row}.csv",
                   "--steps", "row", "--save", "row_{rep}.dat", "--summary", "s.csv"});
  ASSERT_EQ(m.status, 0) << m.err;
  const ProgramResult c = run_batch(
      dir.path(), {"--seed", "5", "--size", "50", "--border", "2", "--spacing", "3.5",
                   "--stomata", "20", "--set", "kepi=0.15", "--set", "leaf_p=-0.5", "--set",
                   "offset_from_mean=1", "--every", "10", "--trace", "t.csv", "--steps", "30",
                   "--save", "cli.dat", "--summary", "c.csv"});
  ASSERT_EQ(c.status, 0) << c.err;
  const std::string saved = read_file(dir.path() / "row_2.dat");
  ASSERT_FALSE(saved.empty());
  EXPECT_TRUE(saved == read_file(dir.path() / "cli.dat"));
  EXPECT_EQ(read_file(dir.path() / "t2.csv"), read_file(dir.path() / "t.csv"));

  // The same row, but the manifest's own columns carried to the end.
  const Lines ms = read_lines(dir.path() / "s.csv");
  const Lines cs = read_lines(dir.path() / "c.csv");
  ASSERT_EQ(ms.size(), 2u);
  ASSERT_EQ(cs.size(), 2u);
  EXPECT_EQ(ms[0], cs[0] + ",id,rep");
  auto mc = split(ms[1]);
  auto cc = split(cs[1]);
  EXPECT_EQ(mc[2], "2");
  mc[2] = "";
  EXPECT_EQ(std::vector<std::string>(mc.begin(), mc.end() - 2), cc);
  EXPECT_EQ(ms[1].substr(ms[1].size() - 9), ",\"k, 2\",2");
  EXPECT_EQ(mc[mc.size() - 2], "k, 2");

  // Without --steps row the row's steps come after the actions: the first
  // row, saved before its steps, is at step 0.
  const ProgramResult first =
      run_batch(dir.path(), {"--manifest", "m.csv", "--row", "1", "--save", "first.dat"});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(read_lines(dir.path() / "first.dat").at(0), "800 800 100 100 0");
}

TEST(LeafRuns, BadManifestsAreRefusedBeforeAnythingRuns) {
  TempDir dir;
  struct Case {
    std::string manifest;
    std::vector<std::string> extra;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"size,kepi\n50,0.1\n120,0.1\n", {}, "m.csv, row 2, column size:"},
      {"size,kepi\n50,0.1\n50,fast\n", {}, "m.csv, row 2, column kepi: not a number"},
      {"steps,offset_from_mean\n5,2\n", {}, "m.csv, row 1, column offset_from_mean:"},
      {"seed,steps\n-3,5\n", {}, "m.csv, row 1, column seed:"},
      {"stomata\n5\n30000\n", {}, "m.csv, row 2, column stomata: Too many stomata!!"},
      {"steps,border\n5,1.5\n", {}, "m.csv, row 1, column border: not a whole number"},
      {"size,steps\n50,5\n50\n", {}, "m.csv, row 2: 1 cells, the header has 2"},
      {"size,size\n50,50\n", {}, "column size is named twice"},
      {"size,\n50,1\n", {}, "a column without a name"},
      {"size\n50\n\n50\n", {}, "m.csv, row 2: an empty line"},
      {"id,size\n\"open,50\n", {}, "quote is left open"},
      {"size\n50\n", {"--save", "{nothing}.dat"}, "unknown placeholder {nothing}"},
      {"size\n50\n50\n", {"--rows", "2-3"}, "m.csv has 2 rows; row 3 was asked for"},
  };
  for (const Case& c : cases) {
    write_text(dir.path() / "m.csv", c.manifest);
    std::vector<std::string> args = {"--manifest", "m.csv", "--summary", "s.csv", "--save",
                                     "early.dat"};
    if (c.extra.empty() || c.extra[0] != "--rows") args.insert(args.end(), {"--rows", "1-1"});
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ProgramResult r = run_batch(dir.path(), args);
    EXPECT_EQ(r.status, 2) << c.manifest;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.manifest << "\n" << r.err;
    EXPECT_FALSE(fs::exists(dir.path() / "s.csv")) << c.manifest;
    EXPECT_FALSE(fs::exists(dir.path() / "early.dat")) << c.manifest;
  }

  const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
      {{"--row", "1", "--stats"}, "--row and --rows need --manifest"},
      {{"--manifest", "m.csv", "--stats"}, "--manifest needs --row N or --rows"},
      {{"--manifest", "m.csv", "--rows", "3-2"}, "--rows 3-2"},
      {{"--manifest", "m.csv", "--rows", "0-2"}, "--rows 0-2"},
      {{"--manifest", "m.csv", "--rows", "5"}, "expected FIRST-LAST"},
      {{"--steps", "row"}, "--steps row: only with --manifest"},
      {{"--open-threshold", "x", "--stats"}, "--open-threshold x: not a number"},
  };
  for (const auto& [args, message] : lines) {
    const ProgramResult r = run_batch(dir.path(), args);
    EXPECT_EQ(r.status, 2) << message;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  }
  const ProgramResult missing = run_batch(dir.path(), {"--manifest", "none.csv", "--row", "1"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("Cannot find file none.csv"), std::string::npos) << missing.err;
}

// The first step after which a p is not finite or below -10000, read from a
// trace of every step.
int first_diverged_step(const fs::path& trace) {
  const Lines t = read_lines(trace);
  for (std::size_t i = 1; i < t.size(); ++i) {
    const auto c = split(t[i]);
    const double mean_p = std::strtod(c[1].c_str(), nullptr);
    const double p_min = std::strtod(c[9].c_str(), nullptr);
    if (!std::isfinite(mean_p) || p_min < -10000.0 || std::isnan(p_min)) return std::stoi(c[0]);
  }
  return -1;
}

TEST(LeafRuns, DivergenceIsReportedOnceAtItsStepAndIsNoFailure) {
  TempDir dir;
  std::string manifest = "kepi,label\n";
  for (const char* kepi : {"0.2", "0.25", "0.3"}) manifest += std::string(kepi) + ",k" + kepi + "\n";
  write_text(dir.path() / "m.csv", manifest);
  const ProgramResult r = run_batch(
      dir.path(), {"--manifest", "m.csv", "--rows", "1-3", "--seed", "5", "--size", "50",
                   "--stomata", "20", "--trace", "t_{label}.csv", "--steps", "2000",
                   "--summary", "s.csv"});
  EXPECT_EQ(r.status, 0) << r.err;
  const auto rows = read_table(dir.path() / "s.csv");
  ASSERT_EQ(rows.size(), 3u);

  EXPECT_EQ(first_diverged_step(dir.path() / "t_k0.2.csv"), -1);
  EXPECT_EQ(rows[0].at("diverged"), "0");
  EXPECT_EQ(rows[0].at("diverged_step"), "");
  EXPECT_EQ(r.err.find("row 1:"), std::string::npos) << r.err;

  for (const int i : {1, 2}) {
    const std::string label = rows[i].at("label");
    const int step = first_diverged_step(dir.path() / ("t_" + label + ".csv"));
    ASSERT_GT(step, 1) << label;
    EXPECT_EQ(rows[i].at("diverged"), "1");
    EXPECT_EQ(rows[i].at("diverged_step"), std::to_string(step));
    EXPECT_EQ(rows[i].at("exit_status"), "0");
    EXPECT_EQ(rows[i].at("step"), "2000");
    const std::string message = "ombrisk-batch: row " + std::to_string(i + 1) +
                                ": diverged at step " + std::to_string(step) + " (";
    const std::size_t at = r.err.find(message);
    EXPECT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("row " + std::to_string(i + 1) + ":", at + message.size()),
              std::string::npos)
        << "reported twice: " << r.err;
  }
}

TEST(LeafRuns, VersionIsPrintedAndNothingRuns) {
  TempDir dir;
  const ProgramResult r = run_batch(dir.path(), {"--save", "x.dat", "--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex("ombrisk-batch [0-9]+\\.[0-9]+[^\n]*\n"))) << r.out;
  EXPECT_FALSE(fs::exists(dir.path() / "x.dat"));
}

}  // namespace
