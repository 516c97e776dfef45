#include "model/commands.h"

namespace ombrisk {

void start_model(ModelState& m, Random& random, std::uint32_t seed) {
  start_up_model(m);
  seed_random(random, seed);
  next_random(random);
}

int stoma_count_limit(const ModelState& m) {
  const int side = dimension_side(m.dimension_choice);
  const long long cells = side > 0 ? static_cast<long long>(side) * side
                                   : static_cast<long long>(m.rows) * m.cols;
  return cells < kMaxStomata ? static_cast<int>(cells < 0 ? 0 : cells) : kMaxStomata;
}

void restart_lattice(ModelState& m) {
  free_lattice(m);
  reset_lattice(m);
}

ResizeOutcome resize_to_dimension(ModelState& m, Random& random) {
  ResizeOutcome out;
  const int side = dimension_side(m.dimension_choice);
  if (side == 0) return out;
  free_lattice(m);
  m.rows = side;
  m.cols = side;
  m.stomata.stoma_count = 10;
  reset_lattice(m);
  allocate_stoma_table(m);
  out.resized = true;
  out.placement = randomize_stomata(m, random);
  return out;
}

StomataOutcome place_new_stomata(ModelState& m, Random& random, int count) {
  StomataOutcome out;
  out.refusal = check_new_count(m, count);
  if (out.refusal != StomataRefusal::none) return out;
  StomaTable& t = m.stomata;
  t.stoma_count = count;
  // New entries sit on cell (0, 0), so those that placement cannot fill are
  // still inside the lattice.
  allocate_stoma_table(m);
  out.placement = randomize_stomata(m, random);
  t.backup_col = t.stoma_col;
  t.backup_row = t.stoma_row;
  return out;
}

StomataRefusal check_new_count(const ModelState& m, int count) {
  if (count > stoma_count_limit(m)) return StomataRefusal::too_many;
  if (count < 0) return StomataRefusal::negative_count;
  return StomataRefusal::none;
}

StomataRefusal check_stoma_count(const ModelState& m) {
  return m.stomata.stoma_count > stoma_count_limit(m) ? StomataRefusal::too_many
                                                      : StomataRefusal::none;
}

const char* refusal_text(StomataRefusal refusal) {
  switch (refusal) {
    case StomataRefusal::none: return nullptr;
    case StomataRefusal::too_many: return "Too many stomata!!";
    case StomataRefusal::negative_count: return "Illegal number of stomata!!";
  }
  return nullptr;
}

const char* placement_text(PlacementStatus status) {
  switch (status) {
    case PlacementStatus::complete: return nullptr;
    case PlacementStatus::out_of_attempts: return "Randomize Failure!!";
    case PlacementStatus::border_invalid: return "Illegal border for this lattice!!";
  }
  return nullptr;
}

}  // namespace ombrisk
