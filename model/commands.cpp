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

std::string set_stoma_positions(ModelState& m, std::span<const int> cols,
                                std::span<const int> rows) {
  if (cols.size() != rows.size()) {
    return "the columns and rows differ in length (" + std::to_string(cols.size()) + " and " +
           std::to_string(rows.size()) + ")";
  }
  const int limit = stoma_count_limit(m);
  if (cols.size() > static_cast<std::size_t>(limit)) {
    return std::string(refusal_text(StomataRefusal::too_many)) + " (" +
           std::to_string(cols.size()) + " given, at most " + std::to_string(limit) +
           " on this lattice)";
  }
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i] < 0 || cols[i] >= m.cols || rows[i] < 0 || rows[i] >= m.rows) {
      return "Illegal location for stomata!! (stoma " + std::to_string(i) + " at column " +
             std::to_string(cols[i]) + ", row " + std::to_string(rows[i]) + " is off the " +
             std::to_string(m.rows) + " x " + std::to_string(m.cols) + " lattice)";
    }
  }
  StomaTable& t = m.stomata;
  t.stoma_count = static_cast<int>(cols.size());
  allocate_stoma_table(m);
  t.stoma_col.assign(cols.begin(), cols.end());
  t.stoma_row.assign(rows.begin(), rows.end());
  t.backup_col = t.stoma_col;
  t.backup_row = t.stoma_row;
  return {};
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
