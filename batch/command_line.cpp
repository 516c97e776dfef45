#include "batch/command_line.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <system_error>

#include "model/model_state.h"

namespace ombrisk::batch {

namespace {

constexpr int kMaxThreads = 1024;

enum class NumberStatus { ok, malformed, out_of_range };

// A whole decimal number, optionally signed, and nothing else: no blanks, no
// trailing text, no other base. std::from_chars ignores the locale.
NumberStatus parse_whole(const std::string& text, long long& out) {
  std::string_view s(text);
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || (plus && s.front() == '-')) return NumberStatus::malformed;
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (*first == '-' && (s.size() == 1 || first[1] < '0' || first[1] > '9'))
    return NumberStatus::malformed;
  long long v = 0;
  const auto [end, ec] = std::from_chars(first, last, v, 10);
  if (end != last) {
    // A number too large for long long still consumes every digit.
    return NumberStatus::malformed;
  }
  if (ec == std::errc::result_out_of_range) return NumberStatus::out_of_range;
  if (ec != std::errc{}) return NumberStatus::malformed;
  out = v;
  return NumberStatus::ok;
}

// A finite decimal number with a point as separator, optionally signed, in
// full: "1e-3", "-2.5", ".5". Infinities and NaN are refused.
bool parse_real(const std::string& text, double& out) {
  std::string_view s(text);
  const bool plus = !s.empty() && s.front() == '+';
  if (plus) s.remove_prefix(1);
  if (s.empty() || (plus && s.front() == '-')) return false;
  const char* last = s.data() + s.size();
  double v = 0.0;
  const auto [end, ec] = std::from_chars(s.data(), last, v, std::chars_format::general);
  if (ec != std::errc{} || end != last || !std::isfinite(v)) return false;
  out = v;
  return true;
}


struct ActionName {
  const char* name;
  ActionKind kind;
  bool takes_value;
};

constexpr ActionName kActions[] = {
    {"--load", ActionKind::load, true},       {"--size", ActionKind::size, true},
    {"--border", ActionKind::border, true},   {"--spacing", ActionKind::spacing, true},
    {"--stomata", ActionKind::stomata, true}, {"--randomize", ActionKind::randomize, false},
    {"--set", ActionKind::set, true},         {"--steps", ActionKind::steps, true},
    {"--restart", ActionKind::restart, false}, {"--save", ActionKind::save, true},
    {"--stats", ActionKind::stats, false},    {"--trace", ActionKind::trace, true},
    {"--every", ActionKind::every, true},     {"--png", ActionKind::png, true},
    {"--frames", ActionKind::frames, true},   {"--fields", ActionKind::fields, true},
};

const ActionName* find_action(std::string_view name) {
  for (const ActionName& a : kActions)
    if (name == a.name) return &a;
  return nullptr;
}

std::string prefixed(const std::string& message) { return "ombrisk-batch: " + message; }

// Reads a whole number in [low, high]; on failure returns why not.
std::optional<std::string> whole_in_range(const std::string& value, long long low,
                                          long long high, long long& out) {
  const NumberStatus st = parse_whole(value, out);
  if (st == NumberStatus::malformed) return "not a whole number";
  if (st == NumberStatus::out_of_range || out < low || out > high)
    return "must be from " + std::to_string(low) + " to " + std::to_string(high);
  return std::nullopt;
}

bool is_option(const std::string& name) {
  return name == "--seed" || name == "--threads" || name == "--summary" ||
         name == "--manifest" || name == "--row" || name == "--rows" ||
         name == "--open-threshold";
}

// A row range "A-B" (inclusive) or a single row "N", rows from 1.
std::optional<std::string> read_rows(const std::string& value, bool range, long long& first,
                                     long long& last) {
  const std::size_t dash = range ? value.find('-', 1) : std::string::npos;
  const std::string a = dash == std::string::npos ? value : value.substr(0, dash);
  const std::string b = dash == std::string::npos ? value : value.substr(dash + 1);
  if (range && dash == std::string::npos) return "expected FIRST-LAST, e.g. 1-40";
  if (auto err = whole_in_range(a, 1, INT_MAX, first)) return err;
  if (auto err = whole_in_range(b, 1, INT_MAX, last)) return err;
  if (last < first) return "the last row comes before the first";
  return std::nullopt;
}

std::optional<std::string> read_option(CommandLine& line, const std::string& name,
                                       const std::string& value) {
  long long v = 0;
  if (name == "--seed") {
    if (auto err = whole_in_range(value, 0, 4294967295LL, v)) return err;
    line.seed_given = true;
    line.seed = static_cast<std::uint32_t>(v);
  } else if (name == "--threads") {
    if (auto err = whole_in_range(value, 0, kMaxThreads, v)) return err;
    line.threads = static_cast<int>(v);
  } else if (name == "--open-threshold") {
    if (!parse_real(value, line.open_threshold)) return "not a number";
  } else if (name == "--summary") {
    line.summary = value;
  } else if (name == "--manifest") {
    line.manifest = value;
  } else {
    if (line.first_row != 0) return "only one --row or --rows";
    return read_rows(value, name == "--rows", line.first_row, line.last_row);
  }
  return std::nullopt;
}

std::string check_combination(const CommandLine& line) {
  const bool manifest = !line.manifest.empty();
  if (manifest && line.first_row == 0)
    return prefixed("--manifest needs --row N or --rows FIRST-LAST");
  if (!manifest && line.first_row != 0) return prefixed("--row and --rows need --manifest");
  int row_steps = 0;
  for (const Action& a : line.actions) {
    if (!a.row_steps) continue;
    if (!manifest) return prefixed(a.text + ": only with --manifest");
    ++row_steps;
  }
  if (row_steps > 1) return prefixed("--steps row may be given once");
  // A manifest run, or one that writes only its summary, needs no action.
  if (line.actions.empty() && !manifest) return prefixed("no action given (see --help)");
  return {};
}

// A value must be there, and an argument that starts with "--" is the next
// option rather than a value.
bool value_present(const std::vector<std::string>& args, std::size_t i) {
  return i < args.size() && !args[i].empty() && args[i].rfind("--", 0) != 0;
}

}  // namespace

std::optional<std::string> read_action_value(Action& action, const std::string& value) {
  switch (action.kind) {
    case ActionKind::load:
    case ActionKind::save:
    case ActionKind::trace:
    case ActionKind::png:
    case ActionKind::frames:
    case ActionKind::fields:
      action.file = value;
      return std::nullopt;
    case ActionKind::size: {
      const NumberStatus st = parse_whole(value, action.number);
      if (st == NumberStatus::malformed) return "not a whole number";
      if (st == NumberStatus::out_of_range || action.number < INT_MIN ||
          action.number > INT_MAX ||
          dimension_choice_for_side(static_cast<int>(action.number)) == 0)
        return "the size must be 50, 100, 200, 400 or 800";
      return std::nullopt;
    }
    case ActionKind::border:
      return whole_in_range(value, INT_MIN, INT_MAX, action.number);
    case ActionKind::spacing:
      if (!parse_real(value, action.value)) return "not a number";
      return std::nullopt;
    case ActionKind::stomata: {
      // A count below 0 or above the table's limit fails whatever the
      // lattice is, so it is refused here; the lattice's own limit is tested
      // when the action runs.
      const NumberStatus st = parse_whole(value, action.number);
      if (st == NumberStatus::malformed) return "not a whole number";
      if (st == NumberStatus::out_of_range || action.number < 0 ||
          action.number > kMaxStomata)
        return "Too many stomata!!";
      return std::nullopt;
    }
    case ActionKind::steps:
      return whole_in_range(value, 0, INT_MAX, action.number);
    case ActionKind::every:
      return whole_in_range(value, 1, INT_MAX, action.number);
    case ActionKind::set: {
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos) return "expected NAME=VALUE";
      const SettableField* f = find_field(std::string_view(value).substr(0, eq));
      if (f == nullptr) return "unknown field " + value.substr(0, eq);
      action.field = f;
      const std::string number = value.substr(eq + 1);
      if (f->kind == FieldKind::flag) {
        // A flag is written as a whole number: "1.0" and "1e0" are refused.
        long long v = 0;
        if (parse_whole(number, v) != NumberStatus::ok) v = -1;
        action.value = static_cast<double>(v);
      } else if (!parse_real(number, action.value)) {
        return "not a number";
      }
      const std::string error = field_value_error(*f, action.value);
      if (!error.empty()) return error;
      return std::nullopt;
    }
    case ActionKind::randomize:
    case ActionKind::restart:
    case ActionKind::stats:
      return std::nullopt;
  }
  return std::nullopt;
}

bool manifest_column_action(std::string_view column, Action& action) {
  static constexpr std::pair<std::string_view, ActionKind> kColumns[] = {
      {"size", ActionKind::size},       {"border", ActionKind::border},
      {"spacing", ActionKind::spacing}, {"stomata", ActionKind::stomata},
      {"steps", ActionKind::steps},
  };
  for (const auto& [name, kind] : kColumns) {
    if (column == name) {
      action.kind = kind;
      return true;
    }
  }
  if (find_field(column) == nullptr) return false;
  action.kind = ActionKind::set;
  return true;
}

ParseResult parse_command_line(const std::vector<std::string>& args, bool pictures) {
  ParseResult result;
  CommandLine& line = result.line;
  for (const std::string& a : args) {
    if (a == "--help") {
      line.help = true;
      return result;
    }
  }
  for (const std::string& a : args) {
    if (a == "--version") {
      line.version = true;
      return result;
    }
  }

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (is_option(name)) {
      if (!value_present(args, i + 1)) {
        result.error = prefixed(name + " needs a value");
        return result;
      }
      if (auto err = read_option(line, name, args[++i])) {
        result.error = prefixed(name + " " + args[i] + ": " + *err);
        return result;
      }
      continue;
    }

    const ActionName* known = find_action(name);
    if (known == nullptr) {
      result.error = name.rfind("--", 0) == 0 ? prefixed("unknown action " + name)
                                              : prefixed("unexpected argument " + name);
      return result;
    }
    if (!pictures && (known->kind == ActionKind::png || known->kind == ActionKind::frames)) {
      result.error = prefixed(name + ": pictures are not available in this build (it has no Qt)");
      return result;
    }
    Action action;
    action.kind = known->kind;
    action.text = name;
    if (known->takes_value) {
      if (!value_present(args, i + 1)) {
        result.error = prefixed(name + " needs a value");
        return result;
      }
      const std::string& value = args[++i];
      action.text += " " + value;
      if (known->kind == ActionKind::steps && value == "row") {
        action.row_steps = true;
      } else if (auto err = read_action_value(action, value)) {
        result.error = prefixed(action.text + ": " + *err);
        return result;
      }
    }
    line.actions.push_back(std::move(action));
  }

  result.error = check_combination(line);
  return result;
}

std::string usage_text() {
  return R"(Usage: ombrisk-batch [OPTION...] ACTION...
       ombrisk-batch --manifest FILE --row N|--rows A-B [OPTION...] [ACTION...]

Runs the stomata lattice model without a window. The model starts as the
window starts it (100 x 100 lattice, the ten start-up stomata, step 0, every
p 0); the generator is seeded with --seed (default: the time in seconds).
The actions then run in the order given; each may appear any number of times.

Options:
  --seed N            seed of the random generator, 0 to 4294967295
  --threads N         threads a time step may use (0: the model chooses);
                      results are the same for every N
  --summary FILE      at the end of the run, append one CSV row to FILE (the
                      header first when FILE is new or empty): version,
                      exit_status, manifest_row, seed, rows, cols, stomata,
                      border, spacing, every field of --set, open_threshold,
                      steps_run, step, mean_j, total_j, open_fraction,
                      mean_p, p_min, p_max, diverged (0 or 1),
                      diverged_step, then the manifest's own columns
  --open-threshold J  a stoma counts as open when its J is above J
                      (default: Jmax / 2)
  --manifest FILE     take runs from the rows of a CSV file (see Manifests)
  --row N             run row N of the manifest (rows from 1: the first line
                      after the header)
  --rows FIRST-LAST   run rows FIRST to LAST, both included, each as a fresh
                      run in this one process, one summary row each
  --version           the program's version
  --help              this text

Actions:
  --load FILE         take the header and the stomata of a data file;
                      every p 0, step 0
  --size N            N x N lattice (50, 100, 200, 400 or 800), ten stomata
                      placed at random, step 0
  --border N          border kept free by random placement
  --spacing X         least distance between stomata placed at random
  --stomata N         N stomata placed at random, then the lattice rebuilt
                      (step 0, every p 0)
  --randomize         the present stomata placed anew, then the lattice rebuilt
  --set NAME=VALUE    set one field: kepi, kin, Jmax, Jo, a, pminj, leaf_p,
                      offset_from_mean (0 or 1), auto_p_range, auto_j_range
                      (0 or 1), p_display_min, p_display_max, j_display_min,
                      j_display_max
  --steps N           N time steps
  --restart           rebuild the lattice: step 0, every p 0, stomata kept
  --save FILE         write the model to a data file
  --stats             print: step mean_p p_display_min p_display_max
                      j_display_min j_display_max
  --trace FILE        from here on, write a CSV line to FILE every K-th step:
                      step,mean_p,p_min,p_max,j_min,j_max (as --stats), then
                      mean_j,total_j,open_fraction (J of the stomata),
                      lattice_p_min,lattice_p_max (over the lattice),
                      diverged (0 or 1)
  --png FILE          write the picture the window shows for the model now
                      (lattice, stomata, legend and status line) as a PNG
  --frames DIR        from here on, write the picture every K-th step as
                      DIR/frame_NNNNNN.png (N: the step, six digits or more),
                      until the lattice is rebuilt (--load, --size,
                      --stomata, --randomize, --restart); DIR is made if
                      it is missing
  --fields FILE.npy   from here on, p at every K-th step as a float64 array
                      (frames, rows, cols) in FILE.npy, the stomata's J at
                      the same steps as (frames, stomata) in FILE_j.npy, and
                      FILE.json with the parameters, the seed, the stoma
                      positions and the frames' steps; until the lattice is
                      rebuilt (as --frames) or the run ends
  --every K           the K of --trace, --frames and --fields from here on
                      (default 1): lines, pictures and frames at the steps
                      whose number is a multiple of K

A run whose lattice diverges (a p not finite or below -10000) is reported
once on standard error with the step after which it happened; the run goes
on and its exit status does not change.

Manifests: the header names the columns; seed, size, border, spacing,
stomata, steps and the fields of --set are settings, every other column
(ids, replicates) is carried through to the summary row unchanged. An empty
cell leaves that setting as the start-up model has it. Each row runs from the
start-up model: the row's size, border, spacing and stomata in that order,
its fields (as --set), then the actions of the command line, with
"--steps row" standing for the row's steps (without it, they run last). The
seed is the row's, else --seed's, else the time. In the file names of the
actions and of --summary, {row} stands for the row number and {NAME} for
the row's value in column NAME. The whole manifest is checked before
anything runs: a bad value stops the program with status 2, naming the row
and the column. With several rows the status is the highest of the rows'.

Exit status: 0 done (a diverged run included); 1 a file could not be read,
was refused or could not be written; 2 a bad command line or manifest, or
too many stomata; 3 a random placement ran out of attempts (the run went on).

Pictures are drawn without a display (Qt's offscreen platform), in the
window's default font.

Example: mean p after 2000 steps for several stomata counts
  for n in 100 400 1600; do
    printf '%s ' "$n"
    ombrisk-batch --seed 7 --size 200 --spacing 3 --stomata "$n" \
                  --steps 2000 --stats
  done

Example: a sweep over kepi from a manifest, one summary row per run
  printf '%s\n' id,seed,size,stomata,kepi,steps a,5,50,20,0.2,2000 \
                b,5,50,20,0.3,2000 > m.csv
  ombrisk-batch --manifest m.csv --rows 1-2 --summary sweep.csv \
                --every 100 --trace 'trace_{id}.csv'
)";
}

}  // namespace ombrisk::batch
