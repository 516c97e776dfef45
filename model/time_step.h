// One explicit time step of the lattice model.
#pragma once

#include "model/model_state.h"

namespace ombrisk {

// Moves the model forward by one step: hexagonal exchange through kepi,
// relaxation toward target_p through kin, every stoma's flux taken out of its
// cell, then mean_p and (with the auto flags) the display bounds. Does not
// change `step`: the caller adds 1. Expects the grids built by
// reset_lattice; a p_current of another size than rows x cols is left alone
// (nothing changes), and a stoma off the lattice takes no part (its J stays).
void advance_step(ModelState& m);

// How many threads advance_step may use; 0 lets the model choose. Results are
// bit for bit the same for every count.
void set_step_threads(int count);
int step_threads();

}  // namespace ombrisk
