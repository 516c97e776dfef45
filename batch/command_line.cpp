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
    {"--frames", ActionKind::frames, true},
};

const ActionName* find_action(std::string_view name) {
  for (const ActionName& a : kActions)
    if (name == a.name) return &a;
  return nullptr;
}

std::string prefixed(const std::string& message) { return "ombrisk-batch: " + message; }

// Reads a whole number in [low, high]; on failure returns the message.
std::optional<std::string> whole_in_range(const std::string& what, const std::string& value,
                                          long long low, long long high, long long& out) {
  const NumberStatus st = parse_whole(value, out);
  if (st == NumberStatus::malformed)
    return prefixed(what + ": not a whole number");
  if (st == NumberStatus::out_of_range || out < low || out > high)
    return prefixed(what + ": must be from " + std::to_string(low) + " to " +
                    std::to_string(high));
  return std::nullopt;
}

// Fills the value of one action; returns the message when it is malformed.
std::optional<std::string> read_value(Action& action, const std::string& value) {
  const std::string& what = action.text;
  switch (action.kind) {
    case ActionKind::load:
    case ActionKind::save:
    case ActionKind::trace:
    case ActionKind::png:
    case ActionKind::frames:
      action.file = value;
      return std::nullopt;
    case ActionKind::size: {
      const NumberStatus st = parse_whole(value, action.number);
      if (st == NumberStatus::malformed) return prefixed(what + ": not a whole number");
      if (st == NumberStatus::out_of_range || action.number < INT_MIN ||
          action.number > INT_MAX ||
          dimension_choice_for_side(static_cast<int>(action.number)) == 0)
        return prefixed(what + ": the size must be 50, 100, 200, 400 or 800");
      return std::nullopt;
    }
    case ActionKind::border:
      return whole_in_range(what, value, INT_MIN, INT_MAX, action.number);
    case ActionKind::spacing:
      if (!parse_real(value, action.value)) return prefixed(what + ": not a number");
      return std::nullopt;
    case ActionKind::stomata: {
      // A count below 0 or above the table's limit fails whatever the
      // lattice is, so it is refused here; the lattice's own limit is tested
      // when the action runs.
      const NumberStatus st = parse_whole(value, action.number);
      if (st == NumberStatus::malformed) return prefixed(what + ": not a whole number");
      if (st == NumberStatus::out_of_range || action.number < 0 ||
          action.number > kMaxStomata)
        return prefixed(what + ": Too many stomata!!");
      return std::nullopt;
    }
    case ActionKind::steps:
      return whole_in_range(what, value, 0, INT_MAX, action.number);
    case ActionKind::every:
      return whole_in_range(what, value, 1, INT_MAX, action.number);
    case ActionKind::set: {
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos) return prefixed(what + ": expected NAME=VALUE");
      const SettableField* f = find_field(std::string_view(value).substr(0, eq));
      if (f == nullptr)
        return prefixed(what + ": unknown field " + value.substr(0, eq));
      action.field = f;
      const std::string number = value.substr(eq + 1);
      if (f->kind == FieldKind::flag) {
        // A flag is written as a whole number: "1.0" and "1e0" are refused.
        long long v = 0;
        if (parse_whole(number, v) != NumberStatus::ok) v = -1;
        action.value = static_cast<double>(v);
      } else if (!parse_real(number, action.value)) {
        return prefixed(what + ": not a number");
      }
      const std::string error = field_value_error(*f, action.value);
      if (!error.empty()) return prefixed(what + ": " + error);
      return std::nullopt;
    }
    case ActionKind::randomize:
    case ActionKind::restart:
    case ActionKind::stats:
      return std::nullopt;
  }
  return std::nullopt;
}

// A value must be there, and an argument that starts with "--" is the next
// option rather than a value.
bool value_present(const std::vector<std::string>& args, std::size_t i) {
  return i < args.size() && !args[i].empty() && args[i].rfind("--", 0) != 0;
}

}  // namespace

ParseResult parse_command_line(const std::vector<std::string>& args, bool pictures) {
  ParseResult result;
  CommandLine& line = result.line;
  for (const std::string& a : args) {
    if (a == "--help") {
      line.help = true;
      return result;
    }
  }

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--seed" || name == "--threads") {
      if (!value_present(args, i + 1)) {
        result.error = prefixed(name + " needs a value");
        return result;
      }
      const std::string& value = args[++i];
      long long v = 0;
      const bool seed = name == "--seed";
      const auto err = whole_in_range(name + " " + value, value, 0,
                                      seed ? 4294967295LL : kMaxThreads, v);
      if (err) {
        result.error = *err;
        return result;
      }
      if (seed) {
        line.seed_given = true;
        line.seed = static_cast<std::uint32_t>(v);
      } else {
        line.threads = static_cast<int>(v);
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
      if (auto err = read_value(action, value)) {
        result.error = *err;
        return result;
      }
    }
    line.actions.push_back(std::move(action));
  }

  if (line.actions.empty()) result.error = prefixed("no action given (see --help)");
  return result;
}

std::string usage_text() {
  return R"(Usage: ombrisk-batch [--seed N] [--threads N] ACTION...

Runs the stomata lattice model without a window. The model starts as the
window starts it (100 x 100 lattice, the ten start-up stomata, step 0, every
p 0); the generator is seeded with --seed (default: the time in seconds).
The actions then run in the order given; each may appear any number of times.

Options:
  --seed N            seed of the random generator, 0 to 4294967295
  --threads N         threads a time step may use (0: the model chooses);
                      results are the same for every N
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
  --trace FILE        from here on, write a CSV line to FILE every K-th step
                      (step,mean_p,p_min,p_max,j_min,j_max)
  --png FILE          write the picture the window shows for the model now
                      (lattice, stomata, legend and status line) as a PNG
  --frames DIR        from here on, write the picture every K-th step as
                      DIR/frame_NNNNNN.png (N: the step, six digits or more),
                      until the lattice is rebuilt (--load, --size,
                      --stomata, --randomize, --restart); DIR is made if
                      it is missing
  --every K           the K of --trace and --frames from here on (default 1):
                      lines and pictures at the steps whose number is a
                      multiple of K

Exit status: 0 done; 1 a file could not be read, was refused or could not be
written; 2 a bad command line or too many stomata; 3 a random placement ran
out of attempts (the run went on).

Pictures are drawn without a display (Qt's offscreen platform), in the
window's default font.

Example: mean p after 2000 steps for several stomata counts
  for n in 100 400 1600; do
    printf '%s ' "$n"
    ombrisk-batch --seed 7 --size 200 --spacing 3 --stomata "$n" \
                  --steps 2000 --stats
  done
)";
}

}  // namespace ombrisk::batch
