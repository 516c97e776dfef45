// The command sequences that every front-end performs, and the table of
// settable fields.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "model/commands.h"
#include "model/fields.h"
#include "model/time_step.h"

namespace {

using namespace ombrisk;

ModelState started(std::uint32_t seed, Random& random) {
  ModelState m;
  start_up_model(m);
  seed_random(random, seed);
  return m;
}

TEST(ModelCommands, CountLimitFollowsTheChosenSizeOrTheLatticeItself) {
  ModelState m;
  start_up_model(m);
  m.dimension_choice = kDimension50;
  EXPECT_EQ(stoma_count_limit(m), 2500);
  m.dimension_choice = kDimension200;
  EXPECT_EQ(stoma_count_limit(m), 20000);  // 40000 cells, the table's maximum first
  // A loaded lattice of no listed size: its own cells.
  m.dimension_choice = 0;
  m.rows = 30;
  m.cols = 40;
  EXPECT_EQ(stoma_count_limit(m), 1200);
}

TEST(ModelCommands, RefusedNewStomataChangeNothing) {
  Random random;
  ModelState m = started(7, random);
  m.dimension_choice = kDimension50;
  const StomaTable before = m.stomata;
  Random random_before = random;
  EXPECT_EQ(place_new_stomata(m, random, 2501).refusal, StomataRefusal::too_many);
  EXPECT_EQ(place_new_stomata(m, random, -1).refusal, StomataRefusal::negative_count);
  EXPECT_EQ(m.stomata.stoma_count, before.stoma_count);
  EXPECT_EQ(m.stomata.stoma_col, before.stoma_col);
  EXPECT_EQ(m.stomata.backup_col, before.backup_col);
  EXPECT_EQ(next_random(random), next_random(random_before));
  EXPECT_STREQ(refusal_text(StomataRefusal::too_many), "Too many stomata!!");
  EXPECT_STREQ(refusal_text(StomataRefusal::negative_count), "Illegal number of stomata!!");
  EXPECT_EQ(refusal_text(StomataRefusal::none), nullptr);
}

TEST(ModelCommands, NewStomataArePlacedAsThePlacementPlacesThemAndBackedUp) {
  Random random;
  ModelState m = started(11, random);
  Random direct_random;
  ModelState direct = started(11, direct_random);

  m.border = direct.border = 3;
  m.spacing = direct.spacing = 2.5;
  const StomataOutcome out = place_new_stomata(m, random, 150);
  direct.stomata.stoma_count = 150;
  allocate_stoma_table(direct);
  const PlacementOutcome expected = randomize_stomata(direct, direct_random);

  EXPECT_EQ(out.refusal, StomataRefusal::none);
  EXPECT_EQ(out.placement.status, expected.status);
  EXPECT_EQ(out.placement.placed, 150);
  EXPECT_EQ(m.stomata.stoma_col, direct.stomata.stoma_col);
  EXPECT_EQ(m.stomata.stoma_row, direct.stomata.stoma_row);
  EXPECT_EQ(m.stomata.backup_col, m.stomata.stoma_col);
  EXPECT_EQ(m.stomata.backup_row, m.stomata.stoma_row);
}

TEST(ModelCommands, ResizeBuildsTheChosenLatticeWithTenStomataAtStepZero) {
  Random random;
  ModelState m = started(3, random);
  for (int i = 0; i < 5; ++i) {
    advance_step(m);
    m.step += 1;
  }
  m.dimension_choice = kDimension200;
  const ResizeOutcome out = resize_to_dimension(m, random);
  EXPECT_TRUE(out.resized);
  EXPECT_EQ(out.placement.status, PlacementStatus::complete);
  EXPECT_EQ(m.rows, 200);
  EXPECT_EQ(m.cols, 200);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.stomata.stoma_count, 10);
  EXPECT_TRUE(stomata_inside_lattice(m));
  ASSERT_EQ(m.p_current.values.size(), 40000u);

  // A choice that names no size leaves the lattice alone.
  m.dimension_choice = 4711;
  EXPECT_FALSE(resize_to_dimension(m, random).resized);
  EXPECT_EQ(m.rows, 200);
}

TEST(ModelCommands, ABorderThatDoesNotFitIsReportedAndLeavesStomataInside) {
  Random random;
  ModelState m = started(3, random);
  m.border = 500;
  m.dimension_choice = kDimension50;
  const ResizeOutcome out = resize_to_dimension(m, random);
  EXPECT_EQ(out.placement.status, PlacementStatus::border_invalid);
  EXPECT_STREQ(placement_text(out.placement.status), "Illegal border for this lattice!!");
  EXPECT_TRUE(stomata_inside_lattice(m));
}

TEST(ModelCommands, RestartReturnsToStepZeroWithEveryPZeroAndKeepsTheStomata) {
  Random random;
  ModelState m = started(3, random);
  for (int i = 0; i < 20; ++i) {
    advance_step(m);
    m.step += 1;
  }
  const auto cols = m.stomata.stoma_col;
  restart_lattice(m);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.paused, 1);
  for (double p : m.p_current.values) ASSERT_EQ(p, 0.0);
  EXPECT_EQ(m.stomata.stoma_col, cols);
}

TEST(ModelFields, EveryFieldSetsItsOwnSlotAndNoOther) {
  std::set<std::string_view> names;
  for (const SettableField& f : settable_fields()) {
    EXPECT_TRUE(names.insert(f.name).second) << f.name;
    EXPECT_EQ(find_field(f.name), &f);
    ModelState m;
    const double value = f.kind == FieldKind::flag ? 1.0 - f.get(m) : f.get(m) + 0.375;
    EXPECT_EQ(set_field(m, f, value), "") << f.name;
    EXPECT_EQ(f.get(m), value) << f.name;
    const ModelState fresh;
    for (const SettableField& other : settable_fields()) {
      if (&other == &f) continue;
      EXPECT_EQ(other.get(m), other.get(fresh)) << f.name << " moved " << other.name;
    }
  }
  EXPECT_EQ(find_field("Kepi"), nullptr);
  EXPECT_EQ(find_field(""), nullptr);
  EXPECT_NE(field_names().find("offset_from_mean"), std::string::npos);
}

TEST(ModelFields, RefusedValuesLeaveTheModelAsItWas) {
  const SettableField& kepi = *find_field("kepi");
  const SettableField& offset = *find_field("offset_from_mean");
  ModelState m;
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(),
                     -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(set_field(m, kepi, bad), "not a number");
    EXPECT_EQ(m.params.kepi, 0.1);
  }
  for (double bad : {0.5, 2.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(set_field(m, offset, bad), "offset_from_mean must be 0 or 1");
    EXPECT_EQ(m.params.offset_from_mean, 0);
  }
}

}  // namespace

namespace {

using namespace ombrisk;

TEST(ModelCommands, StomaPositionsAreTakenWholeOrNotAtAll) {
  ModelState m;
  start_up_model(m);
  m.dimension_choice = kDimension100;
  const StomaTable before = m.stomata;
  auto unchanged = [&] {
    EXPECT_EQ(m.stomata.stoma_count, before.stoma_count);
    EXPECT_EQ(m.stomata.stoma_col, before.stoma_col);
    EXPECT_EQ(m.stomata.stoma_row, before.stoma_row);
  };
  const std::vector<int> three{1, 2, 3};
  const std::vector<int> two{1, 2};
  EXPECT_NE(set_stoma_positions(m, three, two).find("differ in length"), std::string::npos);
  unchanged();
  const std::vector<int> off{5, 100, 7};  // column 100 is one past the last
  const std::string error = set_stoma_positions(m, off, three);
  EXPECT_EQ(error.rfind("Illegal location for stomata!!", 0), 0u) << error;
  EXPECT_NE(error.find("stoma 1"), std::string::npos) << error;
  unchanged();
  const std::vector<int> negative_row{1, 2, -1};
  EXPECT_FALSE(set_stoma_positions(m, three, negative_row).empty());
  unchanged();
  const std::vector<int> many(20001, 0);
  EXPECT_EQ(set_stoma_positions(m, many, many).rfind("Too many stomata!!", 0), 0u);
  unchanged();

  const std::vector<int> cols{0, 99, 42};
  const std::vector<int> rows{99, 0, 42};
  EXPECT_EQ(set_stoma_positions(m, cols, rows), "");
  EXPECT_EQ(m.stomata.stoma_count, 3);
  EXPECT_EQ(m.stomata.stoma_col, cols);
  EXPECT_EQ(m.stomata.backup_row, rows);
  EXPECT_EQ(m.stomata.stoma_j.size(), 3u);
  EXPECT_TRUE(stomata_inside_lattice(m));
}

}  // namespace
