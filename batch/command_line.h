// The command line of ombrisk-batch, read completely before anything runs so
// that a malformed action stops the program before the model is touched.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/fields.h"

namespace ombrisk::batch {

enum class ActionKind {
  load,       // file
  size,       // number: 50, 100, 200, 400 or 800
  border,     // number
  spacing,    // value
  stomata,    // number
  randomize,
  set,        // field, value
  steps,      // number
  restart,
  save,       // file
  stats,
  trace,      // file
  every,      // number
  png,        // file
  frames,     // folder
  fields,     // file
};

struct Action {
  ActionKind kind = ActionKind::restart;
  std::string file;        // load, save, trace, png; the folder of frames
  long long number = 0;    // size, border, stomata, steps, every
  double value = 0.0;      // spacing, set
  const SettableField* field = nullptr;  // set
  std::string text;        // the action as typed, e.g. "--steps 100", for messages
  bool row_steps = false;  // steps: "--steps row", the manifest row's own steps
};

struct CommandLine {
  bool help = false;
  bool version = false;
  bool seed_given = false;
  std::uint32_t seed = 0;
  int threads = 0;  // 0: the model chooses
  double open_threshold = std::numeric_limits<double>::quiet_NaN();  // NaN: Jmax / 2
  std::string summary;   // --summary FILE, empty when not given
  std::string manifest;  // --manifest FILE, empty when not given
  long long first_row = 0;  // --row N or --rows A-B: rows A to B of the manifest, from 1
  long long last_row = 0;
  std::vector<Action> actions;
};

struct ParseResult {
  CommandLine line;
  std::string error;  // one line, empty when the command line is good
};

// Reads the arguments after the program name. The options (--seed,
// --threads, --summary, --manifest, --row, --rows, --open-threshold) may stand
// anywhere; the actions keep their order. With --help or --version anywhere
// the rest is not looked at. Without `pictures` (a build that cannot draw them) --png and
// --frames are refused.
ParseResult parse_command_line(const std::vector<std::string>& args, bool pictures = true);

// Fills the value of an action of the given kind from its text; returns why
// the value is refused (e.g. "not a whole number") or nothing. The manifest
// reads its cells through this, so a cell takes what the action takes.
std::optional<std::string> read_action_value(Action& action, const std::string& value);

// The action for a manifest column: size, border, spacing, stomata, steps,
// or a settable field (a --set); false for any other name.
bool manifest_column_action(std::string_view column, Action& action);

// The text --help prints.
std::string usage_text();

}  // namespace ombrisk::batch
