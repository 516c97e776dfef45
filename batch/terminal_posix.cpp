#include <unistd.h>

#include "batch/terminal.h"

namespace ombrisk::batch {

bool error_stream_is_terminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace ombrisk::batch
