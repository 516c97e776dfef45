// The whole-leaf quantities against a plain computation from the stoma table
// and the lattice, and the divergence rule at its edges.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "model/commands.h"
#include "model/observables.h"
#include "model/random.h"
#include "model/time_step.h"

namespace {

using namespace ombrisk;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

ModelState stepped_model(int side, int stomata, int steps, double kepi = 0.1) {
  ModelState m;
  start_up_model(m);
  Random random;
  seed_random(random, 5);
  m.dimension_choice = dimension_choice_for_side(side);
  resize_to_dimension(m, random);
  place_new_stomata(m, random, stomata);
  m.params.kepi = kepi;
  restart_lattice(m);
  for (int i = 0; i < steps; ++i) {
    advance_step(m);
    m.step += 1;
  }
  return m;
}

TEST(Observables, StomaQuantitiesMatchThePlainSums) {
  ModelState m = stepped_model(50, 123, 300);  // not a multiple of eight
  // Stomata on either side of Jmax / 2 after 300 steps, so the fraction is
  // neither 0 nor 1 for some threshold; the test tries several.
  for (const double threshold : {kNaN, 0.0, 0.3, 0.9, 2.0}) {
    ObservableSettings s;
    s.open_threshold = threshold;
    const double limit = std::isnan(threshold) ? m.params.Jmax / 2 : threshold;
    // The sum's documented order: eight lanes, i % 8, added pairwise.
    double l[8] = {};
    int open = 0;
    for (int i = 0; i < m.stomata.stoma_count; ++i) {
      l[i % 8] += m.stomata.stoma_j[i];
      if (m.stomata.stoma_j[i] > limit) ++open;
    }
    const double total = ((l[0] + l[1]) + (l[2] + l[3])) + ((l[4] + l[5]) + (l[6] + l[7]));
    const Observables o = observe(m, s);
    EXPECT_EQ(o.stomata.total_j, total);
    EXPECT_EQ(o.stomata.mean_j, total / 123);
    EXPECT_EQ(o.stomata.open_fraction, open / 123.0) << threshold;
    EXPECT_EQ(o.mean_p, m.mean_p);
    EXPECT_FALSE(o.diverged);
  }
  EXPECT_EQ(open_threshold(m, {}), 0.5);
  m.params.Jmax = 3.0;
  EXPECT_EQ(open_threshold(m, {}), 1.5);
}

TEST(Observables, SomeStomataOpenAndSomeShut) {
  // Guards the test above from passing on a fraction that is always 0 or 1.
  const ModelState m = stepped_model(50, 120, 300);
  const double f = observe_stomata(m, {}).open_fraction;
  EXPECT_GT(f, 0.0);
  EXPECT_LT(f, 1.0);
}

TEST(Observables, NoStomata) {
  ModelState m = stepped_model(50, 0, 3);
  const StomaObservables o = observe_stomata(m, {});
  EXPECT_EQ(o.total_j, 0.0);
  EXPECT_TRUE(std::isnan(o.mean_j));
  EXPECT_TRUE(std::isnan(o.open_fraction));
}

TEST(Observables, PBoundsFromTheStepOrFromTheLattice) {
  ModelState m = stepped_model(50, 40, 20);
  double low = 1e300, high = -1e300;
  for (double p : m.p_current.values) {
    low = std::min(low, p);
    high = std::max(high, p);
  }
  Observables o = observe(m);
  EXPECT_EQ(o.p_min, low);
  EXPECT_EQ(o.p_max, high);

  // A fixed display range is not the lattice's: the lattice is scanned.
  m.display.auto_p_range = 0;
  m.display.p_display_min = -123.0;
  m.display.p_display_max = 456.0;
  o = observe(m);
  EXPECT_EQ(o.p_min, low);
  EXPECT_EQ(o.p_max, high);

  // At step 0 the bounds are the reset's -5 and 5, the lattice all 0.
  restart_lattice(m);
  m.display.auto_p_range = 1;
  o = observe(m);
  EXPECT_EQ(o.p_min, 0.0);
  EXPECT_EQ(o.p_max, 0.0);
}

TEST(Observables, DivergedWhenAPIsNotFiniteOrBelowTheWindowsLimit) {
  ModelState m = stepped_model(50, 20, 5);
  EXPECT_FALSE(lattice_diverged(m));
  EXPECT_FALSE(step_diverged(m));

  for (const double bad : {kNaN, std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(), -10000.5}) {
    ModelState d = m;
    // The last cell, where the automatic bound of a NaN would be kept, and
    // the first, where the next ordinary value replaces it.
    for (const std::size_t at : {std::size_t{0}, d.p_current.values.size() - 1}) {
      d.p_current.values = m.p_current.values;
      d.p_current.values[at] = bad;
      EXPECT_TRUE(lattice_diverged(d)) << bad << " at " << at;
    }
  }
  // Exactly at the limit is not below it.
  ModelState edge = m;
  edge.p_current.values[7] = kDivergedBelow;
  EXPECT_FALSE(lattice_diverged(edge));
}

// The cheap per-step rule agrees with the scan on a real run that diverges,
// at every step, with the automatic range and with a fixed one.
TEST(Observables, StepRuleAgreesWithTheScanThroughADivergingRun) {
  for (const int auto_range : {1, 0}) {
    ModelState m = stepped_model(50, 20, 0, 0.3);
    m.display.auto_p_range = auto_range;
    int first = -1;
    for (int i = 0; i < 2000 && first < 0; ++i) {
      advance_step(m);
      m.step += 1;
      const bool scan = lattice_diverged(m);
      ASSERT_EQ(step_diverged(m), scan) << "step " << m.step;
      if (scan) first = m.step;
    }
    EXPECT_GT(first, 1) << auto_range;
  }
}

// Watching for divergence while stepping leaves the model bit for bit as the
// plain step does, a hand-set p range included, and gives the scan's answer.
TEST(Observables, SteppingWhileWatchingIsThePlainStep) {
  for (const int auto_range : {1, 0}) {
    ModelState watched = stepped_model(50, 20, 0, 0.3);
    watched.display.auto_p_range = auto_range;
    watched.display.p_display_min = -7.0;
    watched.display.p_display_max = 3.0;
    ModelState plain = watched;
    bool seen = false;
    for (int i = 0; i < 2000; ++i) {
      const bool diverged = advance_step_watching(watched);
      advance_step(plain);
      watched.step += 1;
      plain.step += 1;
      ASSERT_EQ(diverged, lattice_diverged(plain)) << "step " << plain.step;
      seen = seen || diverged;
      ASSERT_EQ(std::memcmp(watched.p_current.values.data(), plain.p_current.values.data(),
                            plain.p_current.values.size() * sizeof(double)),
                0);
      ASSERT_EQ(std::memcmp(&watched.mean_p, &plain.mean_p, sizeof(double)), 0);
      const DisplaySettings& w = watched.display;
      const DisplaySettings& d = plain.display;
      for (const auto field : {&DisplaySettings::p_display_min, &DisplaySettings::p_display_max,
                               &DisplaySettings::j_display_min, &DisplaySettings::j_display_max})
        ASSERT_EQ(std::memcmp(&(w.*field), &(d.*field), sizeof(double)), 0);
      ASSERT_EQ(w.auto_p_range, d.auto_p_range);
    }
    EXPECT_TRUE(seen);
  }
}

}  // namespace
