// The fast time step against the plain one-cell-at-a-time step, bit for bit,
// for every lattice shape, thread count and vector path; and the step's
// behaviour on small hand-made lattices.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/model_state.h"
#include "model/step/step_rows.h"
#include "model/time_step.h"
#include "tests/oracles/reference_step.h"

namespace {

using namespace ombrisk;
using step_detail::SimdLevel;

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Restores the step's thread count and vector path after a test.
struct StepSettings {
  int threads = step_threads();
  ~StepSettings() {
    set_step_threads(threads);
    step_detail::set_simd_level(SimdLevel::automatic);
  }
};

const SimdLevel kLevels[] = {SimdLevel::plain, SimdLevel::sse2, SimdLevel::avx2,
                             SimdLevel::avx512};
std::string level_name(SimdLevel level) {
  return level == SimdLevel::avx512 ? " avx512"
         : level == SimdLevel::avx2 ? " avx2"
         : level == SimdLevel::sse2 ? " sse2"
                                    : " plain";
}

// The levels of kLevels that are distinct paths here: a level the processor
// lacks runs the widest it has, which is already among them.
std::vector<SimdLevel> distinct_levels() {
  std::vector<SimdLevel> out;
  for (SimdLevel level : kLevels) {
    step_detail::set_simd_level(level);
    const SimdLevel here = step_detail::simd_level();
    if (std::find(out.begin(), out.end(), here) == out.end()) out.push_back(here);
  }
  step_detail::set_simd_level(SimdLevel::automatic);
  return out;
}

ModelState make_lattice(int rows, int cols, int stomata) {
  ModelState m;
  m.rows = rows;
  m.cols = cols;
  m.stomata.stoma_count = stomata;
  reset_lattice(m);
  allocate_stoma_table(m);
  return m;
}

struct Setup {
  int rows;
  int cols;
  int stomata;
  bool specials;  // NaN, infinities and signed zeros among the start values
  bool auto_flags;
  bool offset_from_mean;
};

ModelState random_model(const Setup& s, std::uint64_t seed) {
  ModelState m = make_lattice(s.rows, s.cols, s.stomata);
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> value(-10.0, 10.0);
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             0.0,
                             -0.0};
  for (double& v : m.p_current.values) {
    v = value(rng);
    if (s.specials && rng() % 97 == 0) v = specials[rng() % 6];
  }
  // Stomata anywhere, a quarter of them on the edges and corners, and some
  // sharing a cell with the one before.
  StomaTable& st = m.stomata;
  for (int i = 0; i < st.stoma_count; ++i) {
    int r = static_cast<int>(rng() % s.rows), c = static_cast<int>(rng() % s.cols);
    switch (rng() % 8) {
      case 0: r = (rng() % 2) ? 0 : s.rows - 1; break;
      case 1: c = (rng() % 2) ? 0 : s.cols - 1; break;
      case 2:
        if (i > 0) {
          r = st.stoma_row[i - 1];
          c = st.stoma_col[i - 1];
        }
        break;
      default: break;
    }
    st.stoma_row[i] = r;
    st.stoma_col[i] = c;
  }
  m.display.auto_p_range = s.auto_flags ? 1 : 0;
  m.display.auto_j_range = s.auto_flags ? 1 : 0;
  m.display.p_display_min = -3.0;
  m.display.p_display_max = 7.0;
  m.display.j_display_min = 0.25;
  m.display.j_display_max = 0.5;
  m.params.offset_from_mean = s.offset_from_mean ? 1 : 0;
  m.params.leaf_p = 0.5;
  if (seed % 2 == 1) {  // other flux and conductance values for half the runs
    m.params.Jmax = 2.5;
    m.params.Jo = 0.3;
    m.params.a = 0.7;
    m.params.pminj = -3.0;
    m.params.kepi = 0.13;
    m.params.kin = 0.031;
  }
  m.mean_p = 0.125;
  return m;
}

// Bit for bit, except that a NaN matches any NaN: the compiler is free to
// pick which operand's NaN an operation passes on (and does, differently in
// different places: -a + b may become b - a), so the plain step itself has
// no fixed NaN sign.
bool same(double a, double b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

// Every value the step writes.
void expect_same(const ModelState& fast, const ModelState& ref, const std::string& where) {
  ASSERT_EQ(fast.p_current.values.size(), ref.p_current.values.size()) << where;
  const std::size_t n = ref.p_current.values.size();
  std::size_t first_diff = n;
  for (std::size_t i = 0; i < n && first_diff == n; ++i) {
    if (!same(fast.p_current.values[i], ref.p_current.values[i])) first_diff = i;
  }
  EXPECT_EQ(first_diff, n) << where << ": cell " << first_diff / ref.cols << ","
                           << first_diff % ref.cols << " "
                           << (first_diff < n ? fast.p_current.values[first_diff] : 0.0) << " vs "
                           << (first_diff < n ? ref.p_current.values[first_diff] : 0.0);
  ASSERT_EQ(fast.stomata.stoma_j.size(), ref.stomata.stoma_j.size()) << where;
  for (std::size_t i = 0; i < ref.stomata.stoma_j.size(); ++i) {
    ASSERT_TRUE(same(fast.stomata.stoma_j[i], ref.stomata.stoma_j[i])) << where << " J " << i;
  }
  EXPECT_TRUE(same(fast.display.p_display_min, ref.display.p_display_min))
      << where << " " << fast.display.p_display_min << " vs " << ref.display.p_display_min;
  EXPECT_TRUE(same(fast.display.p_display_max, ref.display.p_display_max))
      << where << " " << fast.display.p_display_max << " vs " << ref.display.p_display_max;
  EXPECT_TRUE(same(fast.display.j_display_min, ref.display.j_display_min)) << where;
  EXPECT_TRUE(same(fast.display.j_display_max, ref.display.j_display_max)) << where;
  EXPECT_TRUE(same(fast.mean_p, ref.mean_p)) << where << " " << fast.mean_p << " vs "
                                             << ref.mean_p;
  EXPECT_TRUE(same(fast.target_p, ref.target_p)) << where;
}

// The fast step against itself: every bit, NaN included, is the same for
// every thread count and vector path.
void expect_identical(const ModelState& a, const ModelState& b, const std::string& where) {
  const std::size_t n = a.p_current.values.size();
  std::size_t first_diff = n;
  for (std::size_t i = 0; i < n && first_diff == n; ++i) {
    if (bits(a.p_current.values[i]) != bits(b.p_current.values[i])) first_diff = i;
  }
  EXPECT_EQ(first_diff, n) << where << ": cell " << first_diff / a.cols << ","
                           << first_diff % a.cols;
  EXPECT_EQ(0, std::memcmp(a.stomata.stoma_j.data(), b.stomata.stoma_j.data(),
                           a.stomata.stoma_j.size() * sizeof(double)))
      << where;
  const double av[] = {a.mean_p, a.display.p_display_min, a.display.p_display_max,
                       a.display.j_display_min, a.display.j_display_max};
  const double bv[] = {b.mean_p, b.display.p_display_min, b.display.p_display_max,
                       b.display.j_display_min, b.display.j_display_max};
  EXPECT_EQ(0, std::memcmp(av, bv, sizeof av)) << where;
}

void compare_steps(const Setup& s, std::uint64_t seed, int steps) {
  StepSettings keep;
  const ModelState start = random_model(s, seed);
  std::vector<ModelState> first;  // the first path's model after each step
  for (SimdLevel level : distinct_levels()) {
    for (int threads : {1, 2, 3}) {
      step_detail::set_simd_level(level);
      set_step_threads(threads);
      const bool is_first = first.empty();
      ModelState fast = start, ref = start;
      for (int i = 0; i < steps; ++i) {
        advance_step(fast);
        reference::reference_step(ref);
        if (is_first) {
          first.push_back(fast);
        } else {
          expect_identical(fast, first[i],
                           "paths differ at step " + std::to_string(i + 1) + " threads " +
                               std::to_string(threads) +
                               level_name(level));
        }
        expect_same(fast, ref,
                    std::to_string(s.rows) + "x" + std::to_string(s.cols) + " seed " +
                        std::to_string(seed) + " step " + std::to_string(i + 1) + " threads " +
                        std::to_string(threads) +
                        level_name(level));
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

const std::pair<int, int> kShapes[] = {{50, 50},   {100, 100}, {200, 200}, {400, 400},
                                       {800, 800}, {60, 100},  {2, 50},    {9, 7}};

TEST(TimeStep, MatchesPlainStepOnEveryShape) {
  std::uint64_t seed = 1;
  for (auto [rows, cols] : kShapes) {
    const int stomata = std::min(20000, rows * cols / 4);
    compare_steps({rows, cols, stomata, false, true, false}, seed++, 3);
    compare_steps({rows, cols, stomata, false, false, true}, seed++, 2);
  }
}

// Rows go back into the lattice as soon as no one needs their old values,
// chunk edges later: over many steps, with the threads finishing their
// chunks in every order, several threads give what one gives. The row count
// leaves a short last unit of rows.
TEST(TimeStep, ThreadsAgreeWithOneThreadOverManySteps) {
  StepSettings keep;
  const ModelState start = random_model({263, 30, 400, false, true, true}, 77);
  ModelState one = start;
  set_step_threads(1);
  std::vector<ModelState> expected;
  for (int i = 0; i < 40; ++i) {
    advance_step(one);
    expected.push_back(one);
  }
  for (int threads : {2, 3, 4}) {
    set_step_threads(threads);
    ModelState m = start;
    for (int i = 0; i < 40; ++i) {
      advance_step(m);
      expect_identical(m, expected[i], std::to_string(threads) + " threads, step " +
                                           std::to_string(i + 1));
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(TimeStep, MatchesPlainStepWithNaNInfinitiesAndSignedZeros) {
  std::uint64_t seed = 100;
  for (auto [rows, cols] : kShapes) {
    if (rows * cols > 200 * 200) continue;
    compare_steps({rows, cols, rows * cols / 8, true, true, true}, seed++, 4);
  }
}

TEST(TimeStep, MatchesPlainStepOnAllZeroLatticeWithNegativeZeros) {
  // Ties between +0.0 and -0.0 decide which bits the bounds keep.
  StepSettings keep;
  for (int variant = 0; variant < 4; ++variant) {
    // With these a cell ends at -0.0 when it is -0.0 with a -0.0 neighbour,
    // else at +0.0.
    ModelState start = make_lattice(20, 24, 0);
    start.params.kepi = 0.0;
    start.params.kin = -0.0;
    start.params.leaf_p = -0.0;
    std::mt19937_64 rng(variant);
    for (double& v : start.p_current.values) v = (rng() % (2 + variant) == 0) ? 0.0 : -0.0;
    {
      ModelState probe = start;
      reference::reference_step(probe);
      int negative = 0;
      for (double v : probe.p_current.values) negative += std::signbit(v) ? 1 : 0;
      ASSERT_GT(negative, 0);
      ASSERT_LT(negative, static_cast<int>(probe.p_current.values.size()));
    }
    for (SimdLevel level : distinct_levels()) {
      for (int threads : {1, 2, 3}) {
        step_detail::set_simd_level(level);
        set_step_threads(threads);
        ModelState fast = start, ref = start;
        advance_step(fast);
        reference::reference_step(ref);
        expect_same(fast, ref, "zeros " + std::to_string(variant));
      }
    }
  }
}

TEST(TimeStep, MeanIsTheDocumentedOrderSum) {
  StepSettings keep;
  ModelState m = random_model({60, 100, 300, false, true, false}, 7);
  advance_step(m);
  EXPECT_EQ(bits(m.mean_p),
            bits(reference::documented_order_sum(m.p_current, m.rows, m.cols) / m.cell_count));
}

// Bounds of rows folded in row order equal one sequential scan, whatever the
// split into rows and the bounds the scan starts from.
TEST(TimeStep, RowBoundsFoldLikeOneSequentialScan) {
  StepSettings keep;
  const double pool[] = {0.0,  -0.0, 1.5, -1.5, 2.0, std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN(),
                         -std::numeric_limits<double>::quiet_NaN(), 3.25, -7.0};
  std::mt19937_64 rng(42);
  for (int trial = 0; trial < 3000; ++trial) {
    const int cols = 1 + static_cast<int>(rng() % 40);  // below and above one vector pass
    const int rows = 1 + static_cast<int>(rng() % 5);
    std::vector<double> v(static_cast<std::size_t>(rows) * cols);
    const int kinds = 2 + static_cast<int>(rng() % 10);  // 2 .. 11 kinds of value
    for (double& x : v) x = pool[rng() % kinds];
    const double start_lo = pool[rng() % 11], start_hi = pool[rng() % 11];
    double lo = start_lo, hi = start_hi;
    for (double x : v) {
      if (!(x > lo)) lo = x;
      if (!(hi > x)) hi = x;
    }
    for (SimdLevel level : distinct_levels()) {
      step_detail::set_simd_level(level);
      double flo = start_lo, fhi = start_hi;
      for (int r = 0; r < rows; ++r) {
        step_detail::RowStats rs;
        step_detail::row_stats(v.data() + static_cast<std::size_t>(r) * cols, cols, true, rs);
        step_detail::fold_lower(flo, rs.lo, rs.lo_resets);
        step_detail::fold_upper(fhi, rs.hi, rs.hi_resets);
      }
      ASSERT_EQ(bits(flo), bits(lo)) << "trial " << trial;
      ASSERT_EQ(bits(fhi), bits(hi)) << "trial " << trial;
    }
  }
}

TEST(TimeStep, SingleStomaOnInteriorCell) {
  ModelState m = make_lattice(50, 50, 1);
  m.params.kin = 0.0;
  m.stomata.stoma_row[0] = 20;
  m.stomata.stoma_col[0] = 30;  // even column
  const double j0 = stoma_flux(m.params, 0.0);
  const std::pair<int, int> neighbours[] = {{19, 30}, {21, 30}, {20, 29},
                                            {20, 31}, {21, 29}, {21, 31}};
  advance_step(m);
  EXPECT_EQ(m.p_current[20][30], -j0);
  for (auto [r, c] : neighbours) EXPECT_EQ(m.p_current[r][c], 0.0) << r << "," << c;
  EXPECT_EQ(m.mean_p, -j0 / m.cell_count);
  EXPECT_EQ(m.stomata.stoma_j[0], j0);
  advance_step(m);
  for (auto [r, c] : neighbours) {
    EXPECT_EQ(m.p_current[r][c], -m.params.kepi * j0) << r << "," << c;
  }
  EXPECT_EQ(m.p_current[19][29], 0.0);  // not a neighbour of an even column
}

// Positions are checked where they are written, but the step does not rely on
// it: a stoma off the lattice takes no part and keeps its J, and a grid whose
// size does not match the lattice is not touched at all.
TEST(TimeStep, StomaOffTheLatticeAndMismatchedGridAreLeftAlone) {
  StepSettings keep;
  set_step_threads(2);
  ModelState with_stray = make_lattice(220, 100, 3);
  ModelState without = make_lattice(220, 100, 2);
  const int rows[] = {0, 219, 220}, cols[] = {0, 99, -1};
  for (int i = 0; i < 3; ++i) {
    with_stray.stomata.stoma_row[i] = rows[i];
    with_stray.stomata.stoma_col[i] = cols[i];
    if (i < 2) without.stomata.stoma_row[i] = rows[i], without.stomata.stoma_col[i] = cols[i];
  }
  with_stray.stomata.stoma_j[2] = 123.0;
  for (int step = 0; step < 3; ++step) {
    advance_step(with_stray);
    advance_step(without);
  }
  EXPECT_EQ(with_stray.p_current.values, without.p_current.values);
  EXPECT_EQ(with_stray.stomata.stoma_j[2], 123.0);
  EXPECT_EQ(with_stray.stomata.stoma_j[0], without.stomata.stoma_j[0]);

  ModelState mismatched = make_lattice(60, 100, 5);
  mismatched.p_current.values.resize(59 * 100, 0.5);
  const ModelState before = mismatched;
  advance_step(mismatched);
  EXPECT_EQ(mismatched.p_current.values, before.p_current.values);
  EXPECT_EQ(mismatched.mean_p, before.mean_p);
  EXPECT_EQ(mismatched.stomata.stoma_j, before.stomata.stoma_j);
}

// One cell at 1, everything else 0: after a step the cell holds 1 - k * kepi
// and exactly its neighbours have moved.
TEST(TimeStep, NeighbourSetsOfEdgesAndCorners) {
  struct Case {
    int r, c, k;
    std::vector<std::pair<int, int>> neighbours;
  };
  const int R = 10, C = 12;
  const std::vector<Case> cases = {
      {4, 6, 6, {{3, 6}, {5, 6}, {4, 5}, {4, 7}, {5, 5}, {5, 7}}},
      {4, 7, 6, {{3, 7}, {5, 7}, {3, 6}, {3, 8}, {4, 6}, {4, 8}}},
      {0, 4, 5, {{1, 4}, {0, 3}, {0, 5}, {1, 3}, {1, 5}}},
      {0, 5, 3, {{1, 5}, {0, 4}, {0, 6}}},
      {R - 1, 4, 3, {{R - 2, 4}, {R - 1, 3}, {R - 1, 5}}},
      {R - 1, 5, 5, {{R - 2, 5}, {R - 2, 4}, {R - 2, 6}, {R - 1, 4}, {R - 1, 6}}},
      {4, 0, 4, {{3, 0}, {5, 0}, {4, 1}, {5, 1}}},
      {4, C - 1, 4, {{3, C - 1}, {5, C - 1}, {3, C - 2}, {4, C - 2}}},
      {0, 0, 3, {{1, 0}, {0, 1}, {1, 1}}},
      {0, C - 1, 2, {{1, C - 1}, {0, C - 2}}},
      {R - 1, 0, 2, {{R - 2, 0}, {R - 1, 1}}},
      {R - 1, C - 1, 3, {{R - 2, C - 1}, {R - 2, C - 2}, {R - 1, C - 2}}},
  };
  StepSettings keep;
  for (SimdLevel level : distinct_levels()) {
    step_detail::set_simd_level(level);
    for (const Case& k : cases) {
      ModelState m = make_lattice(R, C, 0);
      m.params.kepi = 1.0 / 64;  // exact products
      m.params.kin = 0.0;
      m.p_current[k.r][k.c] = 1.0;
      advance_step(m);
      EXPECT_EQ(m.p_current[k.r][k.c], 1.0 - k.k / 64.0) << k.r << "," << k.c;
      std::set<std::pair<int, int>> moved;
      for (int r = 0; r < R; ++r) {
        for (int c = 0; c < C; ++c) {
          if ((r != k.r || c != k.c) && m.p_current[r][c] != 0.0) {
            EXPECT_EQ(m.p_current[r][c], 1.0 / 64) << r << "," << c;
            moved.insert({r, c});
          }
        }
      }
      const std::set<std::pair<int, int>> expected(k.neighbours.begin(), k.neighbours.end());
      EXPECT_EQ(moved, expected) << k.r << "," << k.c;
    }
  }
}

TEST(TimeStep, WithoutInnerConductanceOrStomataTheSumStays) {
  ModelState m = make_lattice(60, 100, 0);
  m.params.kin = 0.0;
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> value(0.0, 1.0);
  for (double& v : m.p_current.values) v = value(rng);
  const double before = reference::documented_order_sum(m.p_current, m.rows, m.cols);
  for (int i = 0; i < 10; ++i) advance_step(m);
  EXPECT_NEAR(m.mean_p * m.cell_count, before, 1e-9 * before);
}

TEST(TimeStep, UniformLatticeAtTargetStaysPut) {
  ModelState m = make_lattice(50, 50, 0);
  m.params.leaf_p = 0.0;
  advance_step(m);
  for (double v : m.p_current.values) ASSERT_EQ(bits(v), bits(0.0));
  EXPECT_EQ(m.mean_p, 0.0);
}

TEST(TimeStep, BoundsFollowTheAutoFlags) {
  ModelState m = make_lattice(50, 50, 0);
  m.display.auto_j_range = 1;
  m.display.auto_p_range = 0;
  m.display.p_display_min = -2.5;
  m.display.p_display_max = 9.0;
  m.params.Jmax = 3.5;
  advance_step(m);
  EXPECT_EQ(m.display.j_display_min, 3.5);
  EXPECT_EQ(bits(m.display.j_display_max), bits(0.0));
  EXPECT_EQ(m.display.p_display_min, -2.5);
  EXPECT_EQ(m.display.p_display_max, 9.0);

  m.display.auto_j_range = 0;
  m.display.j_display_min = 0.125;
  m.display.j_display_max = 0.75;
  m.display.auto_p_range = 1;
  m.p_current[3][3] = 4.0;
  advance_step(m);
  EXPECT_EQ(m.display.j_display_min, 0.125);
  EXPECT_EQ(m.display.j_display_max, 0.75);
  EXPECT_EQ(m.display.p_display_max, m.p_current[3][3]);
  EXPECT_EQ(bits(m.display.p_display_min), bits(0.0));
}

TEST(TimeStep, TargetFollowsThePreviousMean) {
  ModelState m = make_lattice(50, 50, 20);
  for (int i = 0; i < 20; ++i) {
    m.stomata.stoma_row[i] = 2 * i + 3;
    m.stomata.stoma_col[i] = i + 5;
  }
  m.params.offset_from_mean = 1;
  m.params.leaf_p = -0.75;
  double previous = m.mean_p;
  for (int i = 0; i < 4; ++i) {
    advance_step(m);
    EXPECT_EQ(m.target_p, -0.75 + previous);
    previous = m.mean_p;
  }
}

TEST(TimeStep, NaNCellDecidesTheLowerBoundOnlyWhenLastInRowOrder) {
  ModelState m = make_lattice(50, 50, 0);
  m.p_current[0][0] = std::numeric_limits<double>::quiet_NaN();
  advance_step(m);
  EXPECT_FALSE(std::isnan(m.display.p_display_min));
  EXPECT_TRUE(std::isnan(m.mean_p));

  ModelState last = make_lattice(50, 50, 0);
  last.p_current[49][49] = std::numeric_limits<double>::quiet_NaN();
  advance_step(last);
  EXPECT_TRUE(std::isnan(last.display.p_display_min));
  EXPECT_TRUE(std::isnan(last.display.p_display_max));
}

// The new values go back into p_current's own storage; p_next is not needed
// and is left as it was.
TEST(TimeStep, UpdatesInPlaceAndLeavesTheSecondGridAlone) {
  StepSettings keep;
  set_step_threads(2);
  ModelState m = make_lattice(200, 200, 10);
  for (std::size_t i = 0; i < m.p_next.values.size(); ++i) m.p_next.values[i] = 0.25 * i;
  const std::vector<double> next_before = m.p_next.values;
  const double* storage = m.p_current.values.data();
  advance_step(m);
  EXPECT_EQ(m.p_current.values.data(), storage);
  EXPECT_EQ(m.p_next.values, next_before);
}

TEST(TimeStep, TableChangedBetweenStepsIsFollowed) {
  StepSettings keep;
  set_step_threads(2);
  ModelState fast = random_model({100, 100, 500, false, true, false}, 9);
  ModelState ref = fast;
  for (int i = 0; i < 3; ++i) {
    advance_step(fast);
    reference::reference_step(ref);
    fast.stomata.stoma_row[i * 7] = ref.stomata.stoma_row[i * 7] = (i * 31) % 100;
    fast.stomata.stoma_col[i * 7] = ref.stomata.stoma_col[i * 7] = 99;
  }
  fast.stomata.stoma_count = ref.stomata.stoma_count = 200;
  advance_step(fast);
  reference::reference_step(ref);
  expect_same(fast, ref, "changed table");
}

// The stomata grouping is kept between steps only while the table and the
// lattice shape stay the same: a moved column, a moved row and a new shape
// with the same table are each followed at once.
TEST(TimeStep, StomataRegroupedWhenTableOrShapeChanges) {
  StepSettings keep;
  set_step_threads(1);
  ModelState fast = random_model({60, 100, 300, false, true, false}, 11);
  ModelState ref = fast;
  const auto step_both = [&](const std::string& where) {
    advance_step(fast);
    reference::reference_step(ref);
    expect_same(fast, ref, where);
  };
  step_both("first");
  fast.stomata.stoma_col[5] = ref.stomata.stoma_col[5] = (fast.stomata.stoma_col[5] + 3) % 100;
  step_both("column moved");
  fast.stomata.stoma_row[9] = ref.stomata.stoma_row[9] = (fast.stomata.stoma_row[9] + 1) % 60;
  step_both("row moved");
  std::swap(fast.stomata.stoma_row[0], fast.stomata.stoma_row[1]);
  std::swap(ref.stomata.stoma_row[0], ref.stomata.stoma_row[1]);
  step_both("rows swapped");

  // The same table on a 100 x 60 lattice: same cell count, other rows.
  ModelState other = make_lattice(100, 60, 300);
  for (int i = 0; i < 300; ++i) {
    other.stomata.stoma_row[i] = fast.stomata.stoma_row[i];
    other.stomata.stoma_col[i] = fast.stomata.stoma_col[i] % 60;
  }
  for (int i = 0; i < 300; ++i) other.stomata.stoma_row[i] = (other.stomata.stoma_row[i] * 7) % 60;
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (double& v : other.p_current.values) v = value(rng);
  ModelState other_ref = other;
  advance_step(other);
  reference::reference_step(other_ref);
  expect_same(other, other_ref, "other shape");
}

// The fused interior-and-statistics pass against the two separate passes, for
// every alignment of the rows in memory and row lengths with and without a
// whole octet, NaN, infinities and signed zeros included.
TEST(TimeStep, FusedRowPassMatchesSeparatePassesAtEveryAlignment) {
  StepSettings keep;
  // NaNs of both signs: where two meet in a sum, which one the sum keeps
  // depends on the order of the operands, and every path must keep the same.
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), 0.0, -0.0};
  std::mt19937_64 rng(77);
  std::uniform_real_distribution<double> value(-4.0, 4.0);
  const step_detail::Coefficients q{0.13, 0.031, 0.5};
  for (SimdLevel level : distinct_levels()) {
    step_detail::set_simd_level(level);
    for (int cols : {2, 8, 10, 16, 18, 26, 50, 64, 130}) {
      for (int offset = 0; offset < 8; ++offset) {
        for (int variant = 0; variant < 4; ++variant) {
          const bool bounds = variant % 2 == 0, specials_in = variant >= 2;
          // 64-byte aligned storage, rows starting `offset` cells later.
          std::vector<double> store(static_cast<std::size_t>(6 * cols + 64));
          double* base = store.data();
          while (reinterpret_cast<std::uintptr_t>(base) % 64 != 0) ++base;
          double* grid = base + offset;  // 3 rows
          double* prev = grid + 3 * cols + (7 - offset);
          for (int i = 0; i < 3 * cols; ++i) grid[i] = value(rng);
          for (int i = 0; i < cols; ++i) {
            prev[i] = value(rng);
            if (specials_in && rng() % 7 == 0) prev[i] = specials[rng() % 6];
            if (specials_in && rng() % 11 == 0) grid[cols + i] = specials[rng() % 6];
          }
          std::vector<double> fused(cols), plain(cols);
          step_detail::RowStats fs{}, ps{};
          step_detail::update_row_with_stats(grid, 3, cols, 1, q, fused.data(), prev, bounds,
                                             &fs);
          step_detail::update_row(grid, 3, cols, 1, q, plain.data());
          step_detail::row_stats(prev, cols, bounds, ps);
          const std::string where = "cols " + std::to_string(cols) + " offset " +
                                    std::to_string(offset) + " variant " +
                                    std::to_string(variant) + level_name(level);
          for (int c = 0; c < cols; ++c) {
            ASSERT_EQ(bits(fused[c]), bits(plain[c])) << where << " column " << c;
          }
          ASSERT_EQ(bits(fs.sum), bits(ps.sum)) << where;
          if (bounds) {
            ASSERT_EQ(bits(fs.lo), bits(ps.lo)) << where;
            ASSERT_EQ(bits(fs.hi), bits(ps.hi)) << where;
            ASSERT_EQ(fs.lo_resets, ps.lo_resets) << where;
            ASSERT_EQ(fs.hi_resets, ps.hi_resets) << where;
          }
          // With the finished row going home into the row above, which the
          // new row reads: the same new values, and the row above ends as
          // `prev`.
          {
            std::vector<double> saved(grid, grid + 3 * cols);
            std::vector<double> in_place(cols);
            step_detail::RowStats hs{};
            step_detail::update_row_with_stats(grid, 3, cols, 1, q, in_place.data(), prev,
                                               bounds, &hs, grid);
            for (int c = 0; c < cols; ++c) {
              ASSERT_EQ(bits(in_place[c]), bits(plain[c])) << where << " in place, column " << c;
              ASSERT_EQ(bits(grid[c]), bits(prev[c])) << where << " home, column " << c;
            }
            ASSERT_EQ(bits(hs.sum), bits(ps.sum)) << where;
            std::copy(saved.begin(), saved.end(), grid);
          }
          // Without a row to gather, only the new values.
          std::vector<double> alone(cols);
          step_detail::update_row_with_stats(grid, 3, cols, 1, q, alone.data(), nullptr, bounds,
                                             nullptr);
          for (int c = 0; c < cols; ++c) {
            ASSERT_EQ(bits(alone[c]), bits(plain[c])) << where << " column " << c;
          }
        }
      }
    }
  }
}

}  // namespace
