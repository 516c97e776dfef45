#include "batch/program.h"

#include <algorithm>

#include "batch/batch_run.h"
#include "batch/manifest.h"
#include "batch/summary.h"
#include "model/model_state.h"
#include "model/random.h"

namespace ombrisk::batch {

namespace {

struct OneRun {
  std::uint32_t seed = 0;
  long long row = 0;
  const std::vector<Action>* actions = nullptr;
  std::string summary;
  std::vector<std::string> extra_columns;
  std::vector<std::string> extra_values;
};

int run_one(const CommandLine& line, const ProgramOutput& output, const OneRun& one) {
  ModelState m;
  Random random;
  start_model(m, random, one.seed);
  RunOutput run{output.out, output.err, output.progress};
  run.observe.open_threshold = line.open_threshold;
  run.seed = one.seed;
  if (one.row > 0) run.label = "row " + std::to_string(one.row) + ": ";
  RunFacts facts;
  int status = run_actions(m, random, *one.actions, run, &facts);
  if (one.summary.empty()) return status;

  RunRecord record;
  record.status = status;
  record.seed = one.seed;
  record.manifest_row = one.row;
  record.facts = facts;
  record.observe = run.observe;
  record.extra_columns = one.extra_columns;
  record.extra_values = one.extra_values;
  const std::string error =
      append_summary(one.summary, summary_header(one.extra_columns), summary_row(m, record));
  if (!error.empty()) {
    output.err << error << '\n';
    status = std::max(status, kExitFileError);
  }
  return status;
}

}  // namespace

int run_program(const CommandLine& line, ProgramOutput output) {
  const std::uint32_t seed = line.seed_given ? line.seed : output.clock_seed;
  if (line.manifest.empty()) {
    return run_one(line, output, {seed, 0, &line.actions, line.summary, {}, {}});
  }

  Manifest manifest;
  bool unreadable = false;
  std::string error = read_manifest(line.manifest, manifest, unreadable);
  std::vector<ManifestRun> runs;
  if (error.empty()) error = manifest_runs(manifest, line, runs);
  if (!error.empty()) {
    output.err << error << '\n';
    return unreadable ? kExitFileError : kExitUsage;
  }
  int status = kExitDone;
  for (const ManifestRun& r : runs) {
    const OneRun one{r.seed_given ? r.seed : seed, r.row, &r.actions, r.summary,
                     r.extra_columns, r.extra_values};
    status = std::max(status, run_one(line, output, one));
  }
  return status;
}

}  // namespace ombrisk::batch
