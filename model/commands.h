// The model sequences behind the front-ends' commands (the window's menus and
// dialogs, ombrisk-batch's actions, the Python module), each written once here.
// They show nothing: each returns what happened, and the caller shows it.
#pragma once

#include <span>
#include <string>

#include "model/model_state.h"
#include "model/placement.h"
#include "model/random.h"

namespace ombrisk {

// The model as the window starts it, then the generator seeded with `seed`
// and one number drawn and thrown away, as the window's start-up does.
void start_model(ModelState& m, Random& random, std::uint32_t seed);

// The most stomata a new set may have: the table's maximum, and no more than
// the chosen lattice size has cells. A lattice whose size is not one of the
// five choices (a loaded file's) is limited by its own cells.
int stoma_count_limit(const ModelState& m);

enum class StomataRefusal {
  none,
  too_many,        // above stoma_count_limit
  negative_count,  // below 0
};

struct StomataOutcome {
  StomataRefusal refusal = StomataRefusal::none;
  PlacementOutcome placement;  // when not refused
};

// The lattice anew: every p 0, step 0, paused, J from p. The run must not be
// stepping meanwhile (the grids are released).
void restart_lattice(ModelState& m);

struct ResizeOutcome {
  bool resized = false;  // false when dimension_choice names no size: nothing changed
  PlacementOutcome placement;
};

// A new side x side lattice for m.dimension_choice, with ten stomata placed at
// random with the present border and spacing. Stomata that cannot be placed
// stay on cell (0, 0), inside the lattice.
ResizeOutcome resize_to_dimension(ModelState& m, Random& random);

// `count` new stomata at random with the present border and spacing; the
// positions become the table's backup (what Cancel in the Stomata dialog goes
// back to). A refused count changes nothing. The lattice is not rebuilt: the
// caller restarts it when the new set is taken.
StomataOutcome place_new_stomata(ModelState& m, Random& random, int count);

// Whether `count` new stomata may be placed; place_new_stomata asks the same.
StomataRefusal check_new_count(const ModelState& m, int count);

// Whether the present table may go on a rebuilt lattice: a file may have
// brought more stomata than the chosen size allows.
StomataRefusal check_stoma_count(const ModelState& m);

// Puts stoma i on column cols[i], row rows[i], as a typed list of positions
// does, and makes them the backup. Refused as a whole, with the reason and
// nothing changed, when the lists differ in length, hold more stomata than
// stoma_count_limit allows, or name a cell off the lattice. J and the grid
// are left to the restart that takes the new table.
std::string set_stoma_positions(ModelState& m, std::span<const int> cols,
                                std::span<const int> rows);

// The system's own texts for what went wrong; nullptr when nothing did.
const char* refusal_text(StomataRefusal refusal);
const char* placement_text(PlacementStatus status);

}  // namespace ombrisk
