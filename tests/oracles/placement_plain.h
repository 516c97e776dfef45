// The direct form of random placement: every candidate is compared with every
// stoma placed before it in the same call. Slow for many stomata; kept as the
// reference that the indexed placement must match draw for draw.
#pragma once

#include "model/placement.h"

namespace ombrisk {

// Same contract and results as randomize_stomata.
PlacementOutcome randomize_stomata_plain(ModelState& m, Random& random);

}  // namespace ombrisk
