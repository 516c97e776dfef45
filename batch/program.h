// The whole of an ombrisk-batch run after its command line is read: one run
// of the actions, or one fresh run per manifest row, each followed by its
// summary row when --summary is given.
#pragma once

#include <cstdint>
#include <ostream>

#include "batch/command_line.h"

namespace ombrisk::batch {

struct ProgramOutput {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;
  std::uint32_t clock_seed = 0;  // the seed when neither --seed nor the manifest gives one
};

// Returns the exit status: for manifest rows, the highest of the rows'
// statuses (each row runs whatever the one before it gave); a manifest that
// cannot be read is 1, one that is refused 2, and neither runs anything.
int run_program(const CommandLine& line, ProgramOutput output);

}  // namespace ombrisk::batch
