// The command line of ombrisk-batch, read completely before anything runs so
// that a malformed action stops the program before the model is touched.
#pragma once

#include <cstdint>
#include <string>
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
};

struct Action {
  ActionKind kind = ActionKind::restart;
  std::string file;        // load, save, trace, png; the folder of frames
  long long number = 0;    // size, border, stomata, steps, every
  double value = 0.0;      // spacing, set
  const SettableField* field = nullptr;  // set
  std::string text;        // the action as typed, e.g. "--steps 100", for messages
};

struct CommandLine {
  bool help = false;
  bool seed_given = false;
  std::uint32_t seed = 0;
  int threads = 0;  // 0: the model chooses
  std::vector<Action> actions;
};

struct ParseResult {
  CommandLine line;
  std::string error;  // one line, empty when the command line is good
};

// Reads the arguments after the program name. --seed and --threads may stand
// anywhere; the actions keep their order. With --help anywhere the rest is not
// looked at. Without `pictures` (a build that cannot draw them) --png and
// --frames are refused.
ParseResult parse_command_line(const std::vector<std::string>& args, bool pictures = true);

// The text --help prints.
std::string usage_text();

}  // namespace ombrisk::batch
