// The --summary row: one CSV line per run with everything that produced it
// (parameters, display flags, seed, lattice, stomata, steps) and what came of
// it (the final whole-leaf quantities, divergence, exit status).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "model/model_state.h"
#include "model/observables.h"

namespace ombrisk::batch {

struct RunRecord {
  int status = 0;
  std::uint32_t seed = 0;
  long long manifest_row = 0;  // 0: not from a manifest
  RunFacts facts;
  ObservableSettings observe;
  // The manifest's own columns, carried through unchanged, after the
  // summary's columns.
  std::vector<std::string> extra_columns;
  std::vector<std::string> extra_values;  // as they stood in the manifest
};

// The header line, with a line end.
std::string summary_header(const std::vector<std::string>& extra_columns);

// The row for the model as the run left it, with a line end.
std::string summary_row(const ModelState& m, const RunRecord& record);

// A CSV cell as written: quoted when it holds a comma, a quote or a line end.
std::string csv_cell(const std::string& value);

// For the platform's append_summary: whether `start`, the first bytes of a
// summary file, opens with this header's first line (CR LF taken as LF), and
// the refusal when it does not.
bool opens_with_header(std::string start, const std::string& header);
std::string other_columns_text(const std::string& path);

// Appends `row` to `path` in one write, with `header` first when the file is
// new or empty; refuses a file whose first line is another header (rows of
// other columns would be misread). Several processes may append to one file
// on a local file system at once: a row never mixes with another. Returns
// the message on failure, empty on success.
std::string append_summary(const std::string& path, const std::string& header,
                           const std::string& row);

}  // namespace ombrisk::batch
