#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/placement.h"
#include "tests/oracles/placement_plain.h"
#include "model/random.h"

namespace ombrisk {
namespace {

using Cell = std::pair<int, int>;  // (column, row)
using PlaceFn = PlacementOutcome (*)(ModelState&, Random&);

struct Placer {
  const char* name;
  PlaceFn place;
};

void PrintTo(const Placer& p, std::ostream* os) { *os << p.name; }

const Placer kPlacers[] = {{"indexed", randomize_stomata}, {"plain", randomize_stomata_plain}};

// A table of `count` entries, each holding a recognisable old position.
ModelState make_model(int rows, int cols, int border, double spacing, int count) {
  ModelState m;
  m.rows = rows;
  m.cols = cols;
  m.border = border;
  m.spacing = spacing;
  m.stomata.stoma_count = count;
  allocate_stoma_table(m);
  for (int i = 0; i < count; ++i) {
    m.stomata.stoma_col[i] = (3 * i + 1) % cols;
    m.stomata.stoma_row[i] = (7 * i + 2) % rows;
  }
  return m;
}

// The generator as the window leaves it: seeded, one number discarded.
Random started(std::uint32_t seed) {
  Random r;
  seed_random(r, seed);
  next_random(r);
  return r;
}

std::uint32_t state_after(Random r, long draws) {
  for (long i = 0; i < draws; ++i) next_random(r);
  return r.random_state;
}

std::vector<Cell> cells(const ModelState& m, int n) {
  std::vector<Cell> out;
  for (int i = 0; i < n; ++i) out.emplace_back(m.stomata.stoma_col[i], m.stomata.stoma_row[i]);
  return out;
}

std::int64_t squared_distance(Cell a, Cell b) {
  const std::int64_t dc = a.first - b.first, dr = a.second - b.second;
  return dc * dc + dr * dr;
}

class PlacementBothWays : public testing::TestWithParam<Placer> {};

TEST_P(PlacementBothWays, KnownRunsFromSeedZero) {
  ModelState m = make_model(100, 100, 1, 1.0, 3);
  Random r = started(0);
  PlacementOutcome o = GetParam().place(m, r);
  EXPECT_EQ(o.status, PlacementStatus::complete);
  EXPECT_EQ(o.placed, 3);
  EXPECT_EQ(cells(m, 3), (std::vector<Cell>{{24, 64}, {8, 27}, {36, 26}}));
  EXPECT_EQ(r.random_state, state_after(started(0), 2 * 3));

  m = make_model(100, 100, 1, 30.0, 5);
  r = started(0);
  o = GetParam().place(m, r);
  EXPECT_EQ(o.status, PlacementStatus::complete);
  EXPECT_EQ(o.placed, 5);
  EXPECT_EQ(cells(m, 5), (std::vector<Cell>{{24, 64}, {8, 27}, {97, 32}, {85, 4}, {48, 27}}));
  EXPECT_EQ(r.random_state, state_after(started(0), 2 * 8));
}

TEST_P(PlacementBothWays, DistanceExactlyEqualToSpacingIsAccepted) {
  // From seed 0 the first two candidates are (24, 64) and (8, 27): 1625 apart squared.
  const double exact = std::sqrt(1625.0);
  ModelState m = make_model(100, 100, 1, exact, 2);
  Random r = started(0);
  EXPECT_EQ(GetParam().place(m, r).placed, 2);
  EXPECT_EQ(cells(m, 2), (std::vector<Cell>{{24, 64}, {8, 27}}));
  EXPECT_EQ(r.random_state, state_after(started(0), 4));

  m = make_model(100, 100, 1, std::nextafter(exact, 100.0), 2);
  r = started(0);
  EXPECT_EQ(GetParam().place(m, r).placed, 2);
  EXPECT_NE(cells(m, 2)[1], Cell(8, 27));
  EXPECT_GT(squared_distance(cells(m, 2)[0], cells(m, 2)[1]), 1625);

  // On 4 columns x 5 rows only opposite corners are 5 apart (3 across, 4 down):
  // a second stoma fits exactly when the first sits in a corner.
  int corner_runs = 0;
  for (std::uint32_t seed = 0; seed < 12; ++seed) {
    for (double spacing : {5.0, std::nextafter(5.0, 6.0)}) {
      m = make_model(5, 4, 0, spacing, 2);
      r = started(seed);
      const PlacementOutcome o = GetParam().place(m, r);
      const Cell first = cells(m, 1)[0];
      const bool corner = (first.first == 0 || first.first == 3) &&
                          (first.second == 0 || first.second == 4);
      const bool fits = corner && spacing == 5.0;
      EXPECT_EQ(o.placed, fits ? 2 : 1) << "seed " << seed << " spacing " << spacing;
      if (fits) {
        EXPECT_EQ(squared_distance(first, cells(m, 2)[1]), 25);
        ++corner_runs;
      }
    }
  }
  EXPECT_GT(corner_runs, 0) << "no seed put the first stoma in a corner";
}

TEST_P(PlacementBothWays, CandidatesCoverTheWholeBandAndNoMore) {
  struct Case {
    int rows, cols, border;
    int col_lo, col_hi, row_lo, row_hi;
  };
  const Case cases[] = {
      {100, 100, 0, 0, 99, 0, 99},     // border 0: every edge cell
      {100, 100, 60, 40, 60, 40, 60},  // negative span: a band between the borders
      {60, 100, 59, 41, 59, 1, 59},    // a non-square lattice from a file
      {100, 100, 50, 50, 50, 50, 50},  // zero span: one cell
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.cols) + " border " +
                 std::to_string(c.border));
    const int count = 5000;
    ModelState m = make_model(c.rows, c.cols, c.border, 0.0, count);
    Random r = started(7);
    const PlacementOutcome o = GetParam().place(m, r);
    EXPECT_EQ(o.status, PlacementStatus::complete);
    EXPECT_EQ(r.random_state, state_after(started(7), 2 * count));
    // Every value of the band turns up, but for the border itself when the span
    // is negative: only the number 0 lands there.
    std::set<int> cols_seen, rows_seen;
    for (const Cell& s : cells(m, count)) {
      cols_seen.insert(s.first);
      rows_seen.insert(s.second);
    }
    EXPECT_GE(*cols_seen.begin(), c.col_lo);
    EXPECT_LE(*cols_seen.rbegin(), c.col_hi);
    EXPECT_GE(static_cast<int>(cols_seen.size()), c.col_hi - c.col_lo);
    EXPECT_GE(*rows_seen.begin(), c.row_lo);
    EXPECT_LE(*rows_seen.rbegin(), c.row_hi);
    EXPECT_GE(static_cast<int>(rows_seen.size()), c.row_hi - c.row_lo);
  }
}

TEST_P(PlacementBothWays, UnplaceableStomaUsesAllAttemptsAndKeepsItsOldPosition) {
  ModelState m = make_model(100, 100, 1, 1000.0, 2);
  m.stomata.stoma_col[1] = 5;
  m.stomata.stoma_row[1] = 6;
  Random r = started(3);
  const PlacementOutcome o = GetParam().place(m, r);
  EXPECT_EQ(o.status, PlacementStatus::out_of_attempts);
  EXPECT_EQ(o.placed, 1);
  EXPECT_EQ(cells(m, 2)[1], Cell(5, 6));
  EXPECT_EQ(r.random_state, state_after(started(3), 2L * kMaxPlacementAttempts));
}

TEST_P(PlacementBothWays, EmptyTableAndUnfitBordersDrawNothing) {
  ModelState m = make_model(100, 100, 1, 1.0, 0);
  Random r = started(5);
  PlacementOutcome o = GetParam().place(m, r);
  EXPECT_EQ(o.status, PlacementStatus::complete);
  EXPECT_EQ(o.placed, 0);
  EXPECT_EQ(r.random_state, started(5).random_state);

  struct Bad {
    int rows, cols, border;
  };
  for (const Bad& b : {Bad{100, 100, -1}, Bad{100, 100, 100}, Bad{100, 100, 250},
                       Bad{60, 100, 70}, Bad{100, 60, 60}, Bad{60, 100, 60}}) {
    SCOPED_TRACE(std::to_string(b.rows) + "x" + std::to_string(b.cols) + " border " +
                 std::to_string(b.border));
    m = make_model(b.rows, b.cols, b.border, 1.0, 4);
    const std::vector<Cell> before = cells(m, 4);
    r = started(5);
    o = GetParam().place(m, r);
    EXPECT_EQ(o.status, PlacementStatus::border_invalid);
    EXPECT_EQ(o.placed, 0);
    EXPECT_EQ(cells(m, 4), before);
    EXPECT_EQ(r.random_state, started(5).random_state);
  }
}

TEST_P(PlacementBothWays, DistancesOnVeryTallLatticesDoNotOverflow) {
  // Row differences beyond 46340 square past the int range.
  int pairs = 0;
  for (std::uint32_t seed = 0; seed < 6; ++seed) {
    ModelState m = make_model(100000, 50, 0, 60000.0, 2);
    Random r = started(seed);
    if (GetParam().place(m, r).placed == 2) {
      ++pairs;
      EXPECT_GE(squared_distance(cells(m, 2)[0], cells(m, 2)[1]), std::int64_t{60000} * 60000)
          << "seed " << seed;
    }
  }
  EXPECT_GT(pairs, 0);
}

INSTANTIATE_TEST_SUITE_P(Placement, PlacementBothWays, testing::ValuesIn(kPlacers),
                         [](const testing::TestParamInfo<Placer>& info) {
                           return std::string(info.param.name);
                         });

struct Config {
  int rows, cols, border;
  double spacing;
  int count;
  std::uint32_t seed;
};

std::string describe(const Config& c) {
  return std::to_string(c.rows) + "x" + std::to_string(c.cols) + " border " +
         std::to_string(c.border) + " spacing " + std::to_string(c.spacing) + " count " +
         std::to_string(c.count) + " seed " + std::to_string(c.seed);
}

void expect_same_as_plain(const Config& c) {
  SCOPED_TRACE(describe(c));
  ModelState indexed = make_model(c.rows, c.cols, c.border, c.spacing, c.count);
  ModelState plain = indexed;
  Random ri = started(c.seed), rp = started(c.seed);
  const PlacementOutcome oi = randomize_stomata(indexed, ri);
  const PlacementOutcome op = randomize_stomata_plain(plain, rp);
  EXPECT_EQ(oi.status, op.status);
  EXPECT_EQ(oi.placed, op.placed);
  EXPECT_EQ(ri.random_state, rp.random_state);
  EXPECT_EQ(indexed.stomata.stoma_col, plain.stomata.stoma_col);
  EXPECT_EQ(indexed.stomata.stoma_row, plain.stomata.stoma_row);
}

TEST(PlacementIndex, AgreesWithPlainComparisonAcrossSettings) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double spacings[] = {0.0,  -2.0, nan, 0.5,  1.0,  std::sqrt(2.0),
                             std::nextafter(std::sqrt(2.0), 0.0), 2.5, 5.0, 7.3, 1e9, inf};
  struct Lattice {
    int rows, cols;
  };
  const Lattice lattices[] = {{100, 100}, {60, 100}, {100, 60}, {7, 9}, {2, 50}, {50, 3}};
  std::uint32_t seed = 100;
  for (const Lattice& l : lattices) {
    const int side = std::min(l.rows, l.cols);
    for (int border : {0, 1, side - 1}) {
      for (double spacing : spacings) {
        for (int count : {3, 25}) expect_same_as_plain({l.rows, l.cols, border, spacing, count, seed++});
      }
    }
  }
}

TEST(PlacementIndex, AgreesWithPlainComparisonWhenCrowded) {
  const Config configs[] = {
      {5, 5, 0, 1.0, 26, 1},        // one more stoma than cells
      {5, 5, 0, 0.5, 30, 2},        // a stoma rejects only its own cell
      {30, 30, 0, 3.0, 200, 3},     // jams before the count is reached
      {100, 100, 1, 3.0, 300, 4},   // completes
      {200, 200, 2, 2.5, 2000, 5},  // completes with many stomata
      {120, 80, 3, 4.2, 400, 6},
      {800, 800, 1, 1000.0, 2, 7},  // large spacing on the largest lattice
      {100000, 50, 0, 60000.0, 2, 8},
  };
  for (const Config& c : configs) expect_same_as_plain(c);
}

}  // namespace
}  // namespace ombrisk
