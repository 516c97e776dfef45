// Runs the actions of an ombrisk-batch command line on a model, doing to it
// what the window's commands and dialogs do. Writes to the given streams, so
// the program and the tests call the same code.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "batch/command_line.h"
#include "model/model_state.h"
#include "model/random.h"

namespace ombrisk::batch {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPlacementFailed = 3;

struct RunOutput {
  std::ostream& out;    // --stats lines
  std::ostream& err;    // messages, progress
  bool progress = false;  // show the progress line of long --steps runs on `err`
};

// Runs the actions in order. Stops at the first file error (1) or refused
// stomata count (2); a placement that runs out of attempts is reported and
// the run goes on, ending with 3. Returns the exit status.
int run_actions(ModelState& m, Random& random, const std::vector<Action>& actions,
                RunOutput output);

}  // namespace ombrisk::batch
