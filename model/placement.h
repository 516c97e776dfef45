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

// Places stoma_count stomata at random. Entries that get no new position keep
// what they held. Shows nothing: the caller reports a failure.
PlacementOutcome randomize_stomata(ModelState& m, Random& random);

}  // namespace ombrisk
