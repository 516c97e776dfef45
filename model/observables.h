// Whole-leaf quantities of the model after a step: the stomata's mean and
// total flux, the fraction of them open, mean p, the lattice's p bounds and
// whether the run has diverged. Computed only when asked for, from the stoma
// table and the lattice, so a step that nobody observes costs nothing.
#pragma once

#include <limits>

#include "model/model_state.h"

namespace ombrisk {

// A p below this ends the window's full-speed run as diverged.
inline constexpr double kDivergedBelow = -10000.0;

struct ObservableSettings {
  // A stoma is open when its J is above this; NaN stands for Jmax / 2 of the
  // model at the time it is observed.
  double open_threshold = std::numeric_limits<double>::quiet_NaN();
};

// The J above which a stoma counts as open for these settings and this model.
double open_threshold(const ModelState& m, const ObservableSettings& settings);

struct StomaObservables {
  double mean_j = 0.0;         // NaN without stomata: a mean over nothing
  double total_j = 0.0;
  double open_fraction = 0.0;  // NaN without stomata
};

struct Observables {
  StomaObservables stomata;
  double mean_p = 0.0;
  double p_min = 0.0;
  double p_max = 0.0;
  bool diverged = false;
};

// The stoma table alone: as cheap as one pass over the stomata. The total is
// summed in four lanes (stoma i in lane i % 4, the lanes added as
// (0 + 1) + (2 + 3)), a fixed order. A NaN J is not open and makes the mean
// and total NaN.
StomaObservables observe_stomata(const ModelState& m, const ObservableSettings& settings);

// Least and greatest p over the lattice. With the automatic p range after a
// step these are the step's own display bounds and nothing is read; otherwise
// (a range the user fixed, or step 0, where the bounds are the reset's) the
// lattice is scanned. A NaN cell takes no part in a scan.
void lattice_p_bounds(const ModelState& m, double& p_min, double& p_max);

// A p that is not finite, or below kDivergedBelow: a scan of the lattice.
bool lattice_diverged(const ModelState& m);

// The same answer as lattice_diverged, read from the step's own statistics
// where they decide it (finite mean p and the automatic p range); the lattice
// is scanned only when they do not. For calling after every step.
bool step_diverged(const ModelState& m);

// Every quantity at once.
Observables observe(const ModelState& m, const ObservableSettings& settings = {});

}  // namespace ombrisk
