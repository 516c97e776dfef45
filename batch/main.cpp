// ombrisk-batch: the lattice model from the command line.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "batch/batch_run.h"
#include "batch/command_line.h"
#include "batch/picture_output.h"
#include "batch/program.h"
#include "batch/terminal.h"
#include "model/time_step.h"
#include "model/version.h"

int main(int argc, char** argv) {
  using namespace ombrisk;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const batch::ParseResult parsed = batch::parse_command_line(args, batch::pictures_available());
  if (parsed.line.help) {
    std::cout << batch::usage_text();
    return batch::kExitDone;
  }
  if (parsed.line.version) {
    std::cout << "ombrisk-batch " << ombrisk_version() << '\n';
    return batch::kExitDone;
  }
  if (!parsed.error.empty()) {
    std::cerr << parsed.error << '\n';
    return batch::kExitUsage;
  }

  const batch::CommandLine& line = parsed.line;
  set_step_threads(line.threads);
  const auto clock_seed = static_cast<std::uint32_t>(std::time(nullptr));
  const bool progress = batch::error_stream_is_terminal();
  const int status = batch::run_program(line, {std::cout, std::cerr, progress, clock_seed});
  std::cout.flush();
  return status;
}
