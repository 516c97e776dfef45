// Start values, the rebuild of the lattice and the stoma flux.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/model_state.h"

namespace {

using namespace ombrisk;

TEST(ModelState, StartUpValues) {
  ModelState m;
  m.rows = 7;  // start-up must not keep anything from before
  m.display.p_display_max = 123.0;
  start_up_model(m);
  EXPECT_EQ(m.rows, 100);
  EXPECT_EQ(m.cols, 100);
  EXPECT_EQ(m.cell_count, 10000);
  ASSERT_EQ(m.p_current.values.size(), 10000u);
  ASSERT_EQ(m.p_next.values.size(), 10000u);
  for (double v : m.p_current.values) ASSERT_EQ(v, 0.0);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.paused, 1);
  EXPECT_EQ(m.full_speed, 0);
  EXPECT_EQ(m.mean_p, 0.0);
  EXPECT_EQ(m.display.p_display_min, -5.0);
  EXPECT_EQ(m.display.p_display_max, 5.0);
  EXPECT_EQ(m.display.j_display_min, 0.9955255179295146);
  EXPECT_EQ(m.display.j_display_max, 0.9955255179295146);
  EXPECT_EQ(m.params.kepi, 0.1);
  EXPECT_EQ(m.params.kin, 0.01);
  EXPECT_EQ(m.params.Jmax, 1.0);
  EXPECT_EQ(m.params.Jo, 0.01);
  EXPECT_EQ(m.params.a, 1.0);
  EXPECT_EQ(m.params.pminj, -10.0);
  EXPECT_EQ(m.params.leaf_p, 0.0);
  EXPECT_EQ(m.params.offset_from_mean, 0);
  EXPECT_EQ(m.spacing, 1.0);
  EXPECT_EQ(m.border, 1);
  EXPECT_EQ(m.data_file_name, "output.dat");
  ASSERT_EQ(m.stomata.stoma_count, 10);
  ASSERT_TRUE(stomata_inside_lattice(m));
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(m.stomata.stoma_col[i], kStartupStomaCol[i]);
    EXPECT_EQ(m.stomata.stoma_row[i], kStartupStomaRow[i]);
    EXPECT_EQ(m.stomata.stoma_j[i], 0.9955255179295146);
  }
}

TEST(ModelState, StomaFlux) {
  ModelParameters p;
  EXPECT_EQ(stoma_flux(p, 0.0), 0.9955255179295146);
  EXPECT_DOUBLE_EQ(stoma_flux(p, p.pminj), p.Jo);
  EXPECT_NEAR(stoma_flux(p, 1000.0), p.Jmax, 1e-15);
  EXPECT_EQ(stoma_flux(p, -1000.0), 0.0);
  p.Jmax = p.Jo = 0.25;
  for (double x : {-30.0, -10.0, 0.0, 5.0, 700.0}) EXPECT_DOUBLE_EQ(stoma_flux(p, x), 0.25) << x;
}

TEST(ModelState, ResetRebuildsWhateverTheAutoFlags) {
  ModelState m;
  m.rows = 60;
  m.cols = 100;
  m.stomata.stoma_count = 3;
  allocate_stoma_table(m);
  m.stomata.stoma_col = {0, 99, 50};
  m.stomata.stoma_row = {0, 59, 30};
  m.display.auto_p_range = 0;
  m.display.auto_j_range = 0;
  m.display.p_display_min = 1.0;
  m.display.j_display_max = 9.0;
  m.step = 12;
  m.mean_p = 4.0;
  m.paused = 0;
  reset_lattice(m);
  EXPECT_EQ(m.cell_count, 6000);
  EXPECT_EQ(m.p_current.values.size(), 6000u);
  EXPECT_EQ(m.p_next.values.size(), 6000u);
  EXPECT_EQ(m.step, 0);
  EXPECT_EQ(m.mean_p, 0.0);
  EXPECT_EQ(m.paused, 1);
  EXPECT_EQ(m.display.p_display_min, -5.0);
  EXPECT_EQ(m.display.p_display_max, 5.0);
  const double j0 = stoma_flux(m.params, 0.0);
  EXPECT_EQ(m.display.j_display_min, j0);
  EXPECT_EQ(m.display.j_display_max, j0);
  for (double j : m.stomata.stoma_j) EXPECT_EQ(j, j0);
}

TEST(ModelState, ResetWithoutStomataLeavesTheEmptyJRange) {
  ModelState m;
  m.stomata.stoma_count = 0;
  allocate_stoma_table(m);
  reset_lattice(m);
  EXPECT_EQ(m.display.j_display_max, 0.0);
  EXPECT_EQ(m.display.j_display_min, kFloatMaxAsDouble);
}

TEST(ModelState, FreeLatticeReleasesBothGrids) {
  ModelState m;
  start_up_model(m);
  free_lattice(m);
  EXPECT_TRUE(m.p_current.empty());
  EXPECT_TRUE(m.p_next.empty());
}

TEST(ModelState, StomataInsideLattice) {
  ModelState m;
  start_up_model(m);
  EXPECT_TRUE(stomata_inside_lattice(m));
  m.stomata.stoma_col[3] = 100;
  EXPECT_FALSE(stomata_inside_lattice(m));
  m.stomata.stoma_col[3] = 99;
  m.stomata.stoma_row[3] = -1;
  EXPECT_FALSE(stomata_inside_lattice(m));
  m.stomata.stoma_row[3] = 0;
  EXPECT_TRUE(stomata_inside_lattice(m));
  m.stomata.stoma_count = 11;
  EXPECT_FALSE(stomata_inside_lattice(m));
}

}  // namespace
