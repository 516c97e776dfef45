// Runs the actions of an ombrisk-batch command line on a model, doing to it
// what the window's commands and dialogs do. Writes to the given streams, so
// the program and the tests call the same code.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "batch/command_line.h"
#include "model/model_state.h"
#include "model/observables.h"
#include "model/random.h"

namespace ombrisk::batch {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPlacementFailed = 3;

// The model as the window starts it, then the generator seeded with `seed`
// and one number drawn and thrown away.
void start_model(ModelState& m, Random& random, std::uint32_t seed);

struct RunOutput {
  std::ostream& out;    // --stats lines
  std::ostream& err;    // messages, progress
  bool progress = false;  // show the progress line of long --steps runs on `err`
  ObservableSettings observe{};  // the open threshold of --trace lines
  std::uint32_t seed = 0;        // named in the JSON of --fields
  std::string label{};           // before the divergence message, e.g. "row 3: "
};

// What a run did, for its summary row.
struct RunFacts {
  long long steps_run = 0;
  int diverged_step = -1;  // the first step after which the lattice had diverged; -1: never
};

// Runs the actions in order. Stops at the first file error (1) or refused
// stomata count (2); a placement that runs out of attempts is reported and
// the run goes on, ending with 3. The first step after which the lattice has
// diverged is reported once on `err`; the run goes on and its status is not
// changed by it. Files being written (--trace, --fields) are completed
// whichever way the run ends. Returns the exit status.
int run_actions(ModelState& m, Random& random, const std::vector<Action>& actions,
                RunOutput output, RunFacts* facts = nullptr);

// What one --trace line holds: the numbers, taken after a step, apart from
// their text, so a run can keep them and format many lines at once.
struct TraceRecord {
  int step = 0;
  double mean_p = 0.0;
  double p_display_min = 0.0, p_display_max = 0.0;
  double j_display_min = 0.0, j_display_max = 0.0;
  Observables leaf;
};
TraceRecord trace_record(const ModelState& m, const ObservableSettings& settings);

// The --trace header and one line.
std::string trace_header();
void append_trace_line(std::string& text, const TraceRecord& record);
std::string trace_line(const ModelState& m, const ObservableSettings& settings);

}  // namespace ombrisk::batch
