#include <windows.h>

#include "batch/terminal.h"

namespace ombrisk::batch {

// A console, not merely a character device: _isatty also says yes for NUL,
// where the progress line would only be noise.
bool error_stream_is_terminal() {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return err != INVALID_HANDLE_VALUE && err != nullptr && GetConsoleMode(err, &mode) != 0;
}

}  // namespace ombrisk::batch
