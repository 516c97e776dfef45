// Random placement of stomata inside a border, at least `spacing` apart.
#pragma once

#include "model/model_state.h"
#include "model/random.h"

namespace ombrisk {

inline constexpr int kMaxPlacementAttempts = 1000000;

enum class PlacementStatus {
  complete,        // every stoma placed
  out_of_attempts, // 1,000,000 candidates made, not all placed
  border_invalid,  // border < 0 or not below both sides: nothing drawn or placed
};

struct PlacementOutcome {
  PlacementStatus status = PlacementStatus::complete;
  int placed = 0;
};

// A border keeps every candidate inside the lattice exactly when
// 0 <= border < rows and border < cols.
bool placement_border_fits(int border, int rows, int cols);

// Places stoma_count stomata at random: per attempt a column and then a row
// from two generator numbers; a candidate closer than `spacing` to a stoma
// placed earlier in this call is rejected; at most kMaxPlacementAttempts
// attempts. Entries that get no new position keep what they held. Shows
// nothing: the caller reports a failure. Uses a map of rejected cells, so the
// cost does not grow with the number of stomata placed; numbers drawn,
// positions and outcome are exactly those of the direct comparison
// (randomize_stomata_plain).
PlacementOutcome randomize_stomata(ModelState& m, Random& random);

}  // namespace ombrisk
